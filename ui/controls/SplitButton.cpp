#include "ui/controls/SplitButton.h"

#include <algorithm>
#include <vector>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::ui {

using namespace winhush::dui;

CSplitButton::CSplitButton() = default;

LPCTSTR CSplitButton::GetClass() const { return L"SplitButton"; }

LPVOID CSplitButton::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"SplitButton") == 0) return static_cast<CSplitButton*>(this);
    return CComboUI::GetInterface(name);
}

CDuiString CSplitButton::GetText() const { return text_; }

RECT CSplitButton::GetTextInsets() const { return DpiScale(textInsets_); }

void CSplitButton::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    if (SetCaptionAttribute(name, value)) {
        Invalidate();
    } else {
        CComboUI::SetAttribute(name, value);
    }
}

bool CSplitButton::SetCaptionAttribute(const std::wstring& n, LPCTSTR value) {
    // The caption is the button's own; the combo's text attributes are its items'.
    if (n == L"align") {
        ApplyHorizontalAlign(textStyle_, value);
    } else if (n == L"valign") {
        ApplyVerticalAlign(textStyle_, value);
    } else if (n == L"singleline" || n == L"pathellipsis" || n == L"endellipsis") {
        UINT flag = n == L"singleline" ? DT_SINGLELINE : n == L"pathellipsis" ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS;
        SetStyleFlag(textStyle_, flag, detail::ParseBool(value));
    } else if (n == L"font") {
        int number;
        if (detail::ParseInt(value, number)) font_ = number;
    } else if (n == L"textcolor" || n == L"disabledtextcolor") {
        DWORD color;
        if (detail::ParseColor(value, color)) (n == L"textcolor" ? textColor_ : disabledTextColor_) = color;
    } else if (n == L"textpadding") {
        detail::ParseRect(value, textInsets_);
    } else if (n == L"showhtml") {
        showHtml_ = detail::ParseBool(value);
    } else {
        return false;
    }
    return true;
}

SIZE CSplitButton::EstimateSize(SIZE szAvailable) {
    SIZE fixed = {GetFixedWidth(), GetFixedHeight()};
    if (fixed.cx > 0 && fixed.cy > 0) return fixed;
    if (!manager_) return fixed;
    RECT insets = GetTextInsets();
    int width = std::max(0, static_cast<int>(szAvailable.cx - insets.left - insets.right));
    RECT measured = {0, 0, width, 9999};
    if (!text_.empty()) {
        if (showHtml_) {
            int links = 0;
            CRenderEngine::DrawHtmlText(manager_->GetPaintDC(), manager_, measured, text_.c_str(), 0, nullptr, nullptr,
                                        links, textStyle_ | DT_CALCRECT);
        } else {
            CRenderEngine::DrawText(manager_->GetPaintDC(), manager_, measured, text_.c_str(), 0, font_,
                                    textStyle_ | DT_CALCRECT);
        }
    } else {
        measured.right = measured.bottom = 0;
    }
    SIZE size = {measured.right - measured.left + insets.left + insets.right,
                 measured.bottom - measured.top + insets.top + insets.bottom};
    if (fixed.cx > 0) size.cx = fixed.cx;
    if (fixed.cy > 0) size.cy = fixed.cy;
    return size;
}

void CSplitButton::DoEvent(TEventUI& event) {
    // A combo moves its choice with the wheel and the arrow keys; here a choice is an
    // action, which must never run because the wheel passed over the button.
    if (event.Type == UIEVENT_SCROLLWHEEL && IsMouseEnabled()) {
        if (parent_) parent_->DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN) {
        switch (event.chKey) {
            case VK_UP:
            case VK_DOWN:
            case VK_PRIOR:
            case VK_NEXT:
            case VK_HOME:
            case VK_END:
                return;
            case VK_SPACE:
            case VK_RETURN:
                // Pressed like a button: open the actions.
                if (IsKeyboardEnabled() && IsEnabled()) Activate();
                return;
            default:
                break;
        }
    }
    CComboUI::DoEvent(event);
}

bool CSplitButton::Activate() {
    // The engine's drop list sizes itself from the items that are visible, but keeps them
    // hidden while it is closed, so it would open two pixels high. The items are shown for
    // the opening; the drop list hides them again when it closes.
    bool wasDropped = IsDropped();
    std::vector<CControlUI*> shown;
    if (!wasDropped) {
        for (int i = 0; i < GetCount(); ++i) {
            CControlUI* item = GetItemAt(i);
            if (!item->IsVisible()) {
                item->SetInternVisible(true);
                shown.push_back(item);
            }
        }
    }
    bool opened = CComboUI::Activate();
    if (!IsDropped()) {
        for (CControlUI* item : shown) item->SetInternVisible(false);
    }
    return opened;
}

void CSplitButton::PaintText(HDC hDC) {
    if (text_.empty() || !manager_) return;
    RECT insets = GetTextInsets();
    RECT rc = {rcItem_.left + insets.left, rcItem_.top + insets.top, rcItem_.right - insets.right,
               rcItem_.bottom - insets.bottom};
    DWORD color = IsEnabled() ? (textColor_ ? textColor_ : manager_->GetDefaultFontColor())
                              : (disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor());
    UINT style = textStyle_ | DT_SINGLELINE;
    if (showHtml_) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), color, nullptr, nullptr, links, style);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), color, font_, style);
    }
}

bool CSplitButton::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    int count = GetCount();
    if (index < 0 || count == 0) return false;
    index = std::min(index, count - 1);
    CControlUI* control = GetItemAt(index);
    auto* item = control ? static_cast<IListItemUI*>(control->GetInterface(L"ListItem")) : nullptr;
    // A disabled action cannot be chosen by a click; it cannot be chosen from code either.
    if (!item || !control->IsEnabled()) return false;
    // The pick is announced, not kept: the button always shows its own caption.
    item->Select(false, false);
    curSel_ = -1;
    if (takeFocus) control->SetFocus();
    if (triggerEvent && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, index, -1);
    if (!control->IsVisible()) Invalidate();
    return true;
}

}  // namespace winhush::ui
