#include "ui/dialogs/RowTexts.h"

#include "monitor/WndInfo.h"

namespace winhush::ui {

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
