#include "ui/controls/SplitButton.h"

#include <algorithm>
#include <vector>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::ui {

using namespace winhush::dui;

namespace {
constexpr UINT kHorizontalBits = DT_LEFT | DT_CENTER | DT_RIGHT;
constexpr UINT kVerticalBits = DT_TOP | DT_VCENTER | DT_BOTTOM;

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

void SetBit(UINT& style, UINT bit, bool on) { style = on ? (style | bit) : (style & ~bit); }
}  // namespace

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
    std::wstring n = name;
    std::wstring v = value;
    DWORD color;
    RECT rc;
    int number;
    if (n == L"align") {
        if (Contains(v, L"left")) textStyle_ &= ~kHorizontalBits;
        if (Contains(v, L"center")) textStyle_ = (textStyle_ & ~kHorizontalBits) | DT_CENTER;
        if (Contains(v, L"right")) textStyle_ = (textStyle_ & ~kHorizontalBits) | DT_RIGHT;
        Invalidate();
    } else if (n == L"valign") {
        if (Contains(v, L"top")) textStyle_ &= ~kVerticalBits;
        if (Contains(v, L"center")) textStyle_ = (textStyle_ & ~kVerticalBits) | DT_VCENTER;
        if (Contains(v, L"bottom")) textStyle_ = (textStyle_ & ~kVerticalBits) | DT_BOTTOM;
        Invalidate();
    } else if (n == L"singleline") {
        SetBit(textStyle_, DT_SINGLELINE, detail::ParseBool(value));
        Invalidate();
    } else if (n == L"pathellipsis") {
        SetBit(textStyle_, DT_PATH_ELLIPSIS, detail::ParseBool(value));
        Invalidate();
    } else if (n == L"endellipsis") {
        SetBit(textStyle_, DT_END_ELLIPSIS, detail::ParseBool(value));
        Invalidate();
    } else if (n == L"font") {
        if (detail::ParseInt(value, number)) font_ = number;
        Invalidate();
    } else if (n == L"textcolor") {
        if (detail::ParseColor(value, color)) textColor_ = color;
        Invalidate();
    } else if (n == L"disabledtextcolor") {
        if (detail::ParseColor(value, color)) disabledTextColor_ = color;
        Invalidate();
    } else if (n == L"textpadding") {
        if (detail::ParseRect(value, rc)) textInsets_ = rc;
        Invalidate();
    } else if (n == L"showhtml") {
        showHtml_ = detail::ParseBool(value);
        Invalidate();
    } else {
        CComboUI::SetAttribute(name, value);
    }
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
