#include "ui/framework/FormatText.h"

#include <cstdint>

namespace winhush::ui {

namespace {

// Digits of a width are read only while it is below this, so that a text such as
// "%999999999d" cannot ask for a gigantic string: it is copied as written instead.
constexpr int kMaxWidth = 64;

std::wstring PaddedInteger(long long value, int width, bool zero) {
    // Unsigned negation: the most negative value has no positive counterpart.
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::wstring digits = std::to_wstring(magnitude);
    std::wstring sign = value < 0 ? L"-" : L"";
    size_t used = sign.size() + digits.size();
    if (static_cast<size_t>(width) <= used) return sign + digits;
    std::wstring fill(static_cast<size_t>(width) - used, zero ? L'0' : L' ');
    return zero ? sign + fill + digits : fill + sign + digits;
}

}  // namespace

std::wstring FormatLayoutText(const std::wstring& format, std::initializer_list<long long> values) {
    std::wstring out;
    out.reserve(format.size() + 11 * values.size());
    auto next = values.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        if (format[i + 1] == L'%') {
            out.push_back(L'%');
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool zero = format[j] == L'0';
        if (zero) ++j;
        int width = 0;
        while (j < format.size() && format[j] >= L'0' && format[j] <= L'9' && width < kMaxWidth)
            width = width * 10 + (format[j++] - L'0');
        const bool integer = j < format.size() && (format[j] == L'd' || format[j] == L'u' || format[j] == L'i');
        if (integer && next != values.end()) {
            out += PaddedInteger(*next++, width, zero);
            i = j;
            continue;
        }
        // Not filled in: the percent sign and what follows are copied as they stand.
        out.push_back(c);
    }
    return out;
}

std::wstring FormatCounterText(DWORD count, int digits) {
    if (digits <= 0) return L"";
    // Ten or more digits hold any 32-bit count.
    bool fits = digits >= 10;
    if (!fits) {
        unsigned long long limit = 1;
        for (int i = 0; i < digits; ++i) limit *= 10;
        fits = limit > count;
    }
    if (fits) return PaddedInteger(static_cast<long long>(count), digits, true);
    static const std::wstring kTail = std::wstring(36, L'9') + L"+";
    return kTail.substr(kTail.size() - static_cast<size_t>(digits));
}

std::wstring FormatRowCount(const std::wstring& format, uint32_t count) {
    if (count >= 1000) return L"999+";
    return FormatLayoutText(format, {static_cast<long long>(count)});
}

}  // namespace winhush::ui
