#include "ui/dui/UIParse.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cwchar>
#include <cwctype>
#include <mutex>

namespace winhush::dui::detail {

bool ParseColor(const wchar_t* text, DWORD& color) {
    if (!text) return false;
    while (*text == L' ') ++text;
    if (*text == L'#') {
        ++text;
    } else if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        text += 2;
    }
    DWORD value = 0;
    int digits = 0;
    for (; *text; ++text) {
        wchar_t ch = *text;
        int digit;
        if (ch >= L'0' && ch <= L'9') {
            digit = ch - L'0';
        } else if (ch >= L'a' && ch <= L'f') {
            digit = ch - L'a' + 10;
        } else if (ch >= L'A' && ch <= L'F') {
            digit = ch - L'A' + 10;
        } else if (ch == L' ') {
            break;
        } else {
            return false;
        }
        if (++digits > 8) return false;
        value = (value << 4) | static_cast<DWORD>(digit);
    }
    while (*text == L' ') ++text;
    if (digits == 0 || *text) return false;
    color = value;
    return true;
}

namespace {

// Reads one optionally signed decimal integer; advances text.
bool ReadInt(const wchar_t*& text, int& value) {
    while (*text == L' ') ++text;
    const wchar_t* start = text;
    bool negative = false;
    if (*text == L'-' || *text == L'+') {
        negative = *text == L'-';
        ++text;
    }
    if (!iswdigit(*text)) {
        text = start;
        return false;
    }
    long long result = 0;
    while (iswdigit(*text)) {
        result = result * 10 + (*text - L'0');
        if (result > 0x7FFFFFFF) return false;
        ++text;
    }
    while (*text == L' ') ++text;
    value = static_cast<int>(negative ? -result : result);
    return true;
}

bool ReadInts(const wchar_t* text, int* values, int count) {
    if (!text) return false;
    for (int i = 0; i < count; ++i) {
        if (!ReadInt(text, values[i])) return false;
        if (i + 1 < count) {
            if (*text != L',') return false;
            ++text;
        }
    }
    return *text == L'\0';
}

}  // namespace

bool ParseInt(const wchar_t* text, int& value) { return ReadInts(text, &value, 1); }

bool ParseRect(const wchar_t* text, RECT& rc) {
    int values[4];
    if (!ReadInts(text, values, 4)) return false;
    rc = {values[0], values[1], values[2], values[3]};
    return true;
}

bool ParseSize(const wchar_t* text, SIZE& size) {
    int values[2];
    if (!ReadInts(text, values, 2)) return false;
    size = {values[0], values[1]};
    return true;
}

bool ParseAttributeList(const wchar_t* text, std::vector<std::pair<std::wstring, std::wstring>>& pairs) {
    if (!text) return true;
    for (;;) {
        while (*text == L' ' || *text == L'\t' || *text == L'\r' || *text == L'\n') ++text;
        if (!*text) return true;
        std::wstring name;
        while (*text && *text != L'=' && *text != L' ') name.push_back(*text++);
        while (*text == L' ') ++text;
        if (name.empty() || *text != L'=') return false;
        ++text;
        while (*text == L' ') ++text;
        wchar_t quote = *text;
        if (quote != L'"' && quote != L'\'') return false;
        ++text;
        std::wstring value;
        while (*text && *text != quote) value.push_back(*text++);
        if (*text != quote) return false;
        ++text;
        pairs.emplace_back(std::move(name), std::move(value));
    }
}

bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
        if (x != y) return false;
    }
    return true;
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t\r\n");
    if (begin == std::wstring::npos) return std::wstring();
    size_t end = text.find_last_not_of(L" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

namespace {
std::mutex gGdiplusLock;
ULONG_PTR gGdiplusToken = 0;
}  // namespace

void EnsureGdiplus() {
    std::lock_guard<std::mutex> guard(gGdiplusLock);
    if (gGdiplusToken) return;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&gGdiplusToken, &input, nullptr);
}

void ShutdownGdiplus() {
    std::lock_guard<std::mutex> guard(gGdiplusLock);
    if (!gGdiplusToken) return;
    Gdiplus::GdiplusShutdown(gGdiplusToken);
    gGdiplusToken = 0;
}

}  // namespace winhush::dui::detail
