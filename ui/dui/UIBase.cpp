#include "ui/dui/UIBase.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>
#include <cwctype>

namespace winhush::dui {

int CDuiString::Format(const wchar_t* format, ...) {
    if (!format) {
        clear();
        return 0;
    }
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int written = _vsnwprintf(buffer.data(), buffer.size() - 1, format, args);
        va_end(args);
        if (written >= 0) {
            buffer[written] = L'\0';
            assign(buffer.data(), written);
            return written;
        }
        if (buffer.size() >= 65536) {
            buffer.back() = L'\0';
            assign(buffer.data());
            return GetLength();
        }
        buffer.resize(buffer.size() * 2);
    }
}

int CDuiString::Compare(const wchar_t* other) const { return wcscmp(c_str(), other ? other : L""); }

int CDuiString::CompareNoCase(const wchar_t* other) const { return _wcsicmp(c_str(), other ? other : L""); }

void CDuiString::MakeUpper() {
    for (auto& ch : *this) ch = static_cast<wchar_t>(towupper(ch));
}

void CDuiString::MakeLower() {
    for (auto& ch : *this) ch = static_cast<wchar_t>(towlower(ch));
}

CDuiString CDuiString::Left(int length) const {
    length = std::clamp(length, 0, GetLength());
    return CDuiString(substr(0, length));
}

CDuiString CDuiString::Mid(int start, int length) const {
    start = std::clamp(start, 0, GetLength());
    int available = GetLength() - start;
    if (length < 0 || length > available) length = available;
    return CDuiString(substr(start, length));
}

CDuiString CDuiString::Right(int length) const {
    length = std::clamp(length, 0, GetLength());
    return CDuiString(substr(size() - length));
}

int CDuiString::Find(wchar_t ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    auto pos = find(ch, start);
    return pos == npos ? -1 : static_cast<int>(pos);
}

int CDuiString::Find(const wchar_t* text, int start) const {
    if (!text || start < 0 || start > GetLength()) return -1;
    auto pos = find(text, start);
    return pos == npos ? -1 : static_cast<int>(pos);
}

int CDuiString::ReverseFind(wchar_t ch) const {
    auto pos = rfind(ch);
    return pos == npos ? -1 : static_cast<int>(pos);
}

int CDuiString::Replace(const wchar_t* from, const wchar_t* to) {
    if (!from || !*from) return 0;
    std::wstring replacement = to ? to : L"";
    size_t fromLength = wcslen(from);
    int count = 0;
    size_t pos = 0;
    while ((pos = find(from, pos)) != npos) {
        replace(pos, fromLength, replacement);
        pos += replacement.size();
        ++count;
    }
    return count;
}

void CDuiRect::Join(const RECT& rc) {
    left = std::min(left, rc.left);
    top = std::min(top, rc.top);
    right = std::max(right, rc.right);
    bottom = std::max(bottom, rc.bottom);
}

void CDuiRect::Normalize() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
}

void CDuiPtrArray::Resize(int size) {
    items_.assign(size > 0 ? size : 0, nullptr);
}

int CDuiPtrArray::Find(void* item) const {
    for (int i = 0; i < GetSize(); ++i) {
        if (items_[i] == item) return i;
    }
    return -1;
}

bool CDuiPtrArray::Add(void* item) {
    items_.push_back(item);
    return true;
}

bool CDuiPtrArray::SetAt(int index, void* item) {
    if (index < 0 || index >= GetSize()) return false;
    items_[index] = item;
    return true;
}

bool CDuiPtrArray::InsertAt(int index, void* item) {
    if (index < 0 || index > GetSize()) return false;
    items_.insert(items_.begin() + index, item);
    return true;
}

bool CDuiPtrArray::Remove(int index, int count) {
    if (index < 0 || count <= 0 || index + count > GetSize()) return false;
    items_.erase(items_.begin() + index, items_.begin() + index + count);
    return true;
}

}  // namespace winhush::dui
