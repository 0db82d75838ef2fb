#include "ui/dialogs/RowTexts.h"

#include "monitor/WndInfo.h"

namespace winhush::ui {

// Puts integers in place of the "%d" (also "%u", "%i", with an optional zero flag and
// width) conversions of a format text from a layout, in order; "%%" is a percent sign.
// Anything else is copied as written: layout texts are data and must never make the
// program read arguments that were not passed.
std::wstring FormatInts(const std::wstring& format, std::initializer_list<long long> values) {
    std::wstring out;
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
        bool zero = false;
        if (format[j] == L'0') {
            zero = true;
            ++j;
        }
        int width = 0;
        while (j < format.size() && format[j] >= L'0' && format[j] <= L'9' && width < 64)
            width = width * 10 + (format[j++] - L'0');
        if (j < format.size() && (format[j] == L'd' || format[j] == L'u' || format[j] == L'i') &&
            next != values.end()) {
            long long v = *next++;
            std::wstring digits = std::to_wstring(v < 0 ? -v : v);
            std::wstring sign = v < 0 ? L"-" : L"";
            size_t used = sign.size() + digits.size();
            if (static_cast<size_t>(width) > used) {
                std::wstring fill(static_cast<size_t>(width) - used, zero ? L'0' : L' ');
                out += zero ? sign + fill + digits : fill + sign + digits;
            } else {
                out += sign + digits;
            }
            i = j;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::wstring FormatRowCount(const std::wstring& format, uint32_t blockCnt) {
    if (blockCnt >= 1000) return L"999+";
    return FormatInts(format, {static_cast<long long>(blockCnt)});
}

const wchar_t* PositionText(int positionClass) {
    switch (positionClass) {
        case monitor::kPositionLeftTop:
            return L"左上弹窗";
        case monitor::kPositionLeftBottom:
            return L"左下弹窗";
        case monitor::kPositionCenter:
            return L"中央弹窗";
        case monitor::kPositionRightTop:
            return L"右上弹窗";
        case monitor::kPositionRightBottom:
            return L"右下弹窗";
        default:
            return L"位置未知";
    }
}

}  // namespace winhush::ui
