#include "ui/dui/UILabel.h"

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

namespace {
void ApplyAlignWords(UINT& style, const std::wstring& value, const wchar_t* const (&words)[3], const UINT (&bits)[3]) {
    for (int i = 0; i < 3; ++i) {
        if (value.find(words[i]) != std::wstring::npos) style = (style & ~(bits[0] | bits[1] | bits[2])) | bits[i];
    }
}
}  // namespace

void ApplyHorizontalAlign(UINT& style, const std::wstring& value) {
    ApplyAlignWords(style, value, {L"left", L"center", L"right"}, {DT_LEFT, DT_CENTER, DT_RIGHT});
}

void ApplyVerticalAlign(UINT& style, const std::wstring& value, LPCTSTR centerWord) {
    ApplyAlignWords(style, value, {L"top", centerWord, L"bottom"}, {DT_TOP, DT_VCENTER, DT_BOTTOM});
}

void SetStyleFlag(UINT& style, UINT flag, bool on) { style = on ? (style | flag) : (style & ~flag); }

// ---- CLabelUI ------------------------------------------------------------------------

CLabelUI::CLabelUI() = default;

LPCTSTR CLabelUI::GetClass() const { return L"LabelUI"; }
LPVOID CLabelUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Label") == 0) return static_cast<CLabelUI*>(this);
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextStyle(UINT style) { SetLook(textStyle_, style); }
UINT CLabelUI::GetTextStyle() const { return textStyle_; }
void CLabelUI::SetTextColor(DWORD textColor) { SetLook(textColor_, textColor); }
DWORD CLabelUI::GetTextColor() const { return textColor_; }
void CLabelUI::SetDisabledTextColor(DWORD textColor) { SetLook(disabledTextColor_, textColor); }
DWORD CLabelUI::GetDisabledTextColor() const { return disabledTextColor_; }
void CLabelUI::SetFont(int index) { SetLook(font_, index); }
int CLabelUI::GetFont() const { return font_; }
RECT CLabelUI::GetTextPadding() const { return DpiScale(rcTextPadding_); }
void CLabelUI::SetTextPadding(RECT rc) { SetLook(rcTextPadding_, rc); }
bool CLabelUI::IsShowHtml() const { return showHtml_; }
void CLabelUI::SetShowHtml(bool showHtml) { SetLook(showHtml_, showHtml); }

SIZE CLabelUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy == 0 && manager_) {
        return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(font_)->tm.tmHeight + DpiScale(4))};
    }
    return CControlUI::EstimateSize(szAvailable);
}

void CLabelUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    DWORD color;
    if (n == L"align") {
        // "align" takes both axes; its vertical centre is "vcenter".
        ApplyHorizontalAlign(textStyle_, value);
        ApplyVerticalAlign(textStyle_, value, L"vcenter");
    } else if (n == L"valign") {
        ApplyVerticalAlign(textStyle_, value);
    } else if (n == L"endellipsis") {
        SetStyleFlag(textStyle_, DT_END_ELLIPSIS, detail::ParseBool(value));
    } else if (n == L"wordbreak" || n == L"multiline") {
        if (detail::ParseBool(value)) {
            textStyle_ = (textStyle_ & ~DT_SINGLELINE) | DT_WORDBREAK;
        } else {
            textStyle_ = (textStyle_ & ~DT_WORDBREAK) | DT_SINGLELINE;
        }
    } else if (n == L"disabledtextcolor") {
        if (detail::ParseColor(value, color)) SetDisabledTextColor(color);
    } else if (!SetTextLookAttribute(*this, n, value)) {
        CControlUI::SetAttribute(name, value);
    }
}

void CLabelUI::PaintText(HDC hDC) {
    if (text_.empty() || !manager_) return;
    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    DWORD disabled = disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    if (showHtml_) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), IsEnabled() ? color : disabled, nullptr, nullptr,
                                    links, textStyle_);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), IsEnabled() ? color : disabled, font_, textStyle_);
    }
}

// ---- CTextUI -------------------------------------------------------------------------

CTextUI::CTextUI() { textStyle_ = DT_WORDBREAK; }
CTextUI::~CTextUI() = default;

LPCTSTR CTextUI::GetClass() const { return L"TextUI"; }
LPVOID CTextUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Text") == 0) return static_cast<CTextUI*>(this);
    return CLabelUI::GetInterface(name);
}
UINT CTextUI::GetControlFlags() const { return IsEnabled() && links_ > 0 ? UIFLAG_SETCURSOR : 0; }

CDuiString* CTextUI::GetLinkContent(int index) {
    return index >= 0 && index < links_ ? &linkTargets_[index] : nullptr;
}

void CTextUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event)) return;
    auto linkAt = [&](POINT pt) {
        for (int i = 0; i < links_; ++i) {
            if (::PtInRect(&rcLinks_[i], pt)) return i;
        }
        return -1;
    };
    if (event.Type == UIEVENT_SETCURSOR) {
        if (linkAt(event.ptMouse) >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return;
        }
    }
    if ((event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) && IsEnabled()) return;
    if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
        int link = linkAt(event.ptMouse);
        if (link >= 0 && manager_) manager_->SendNotify(this, DUI_MSGTYPE_LINK, link);
        return;
    }
    if (event.Type == UIEVENT_MOUSEMOVE || event.Type == UIEVENT_MOUSELEAVE) {
        int link = event.Type == UIEVENT_MOUSELEAVE ? -1 : linkAt(event.ptMouse);
        if (link != hoverLink_) {
            hoverLink_ = link;
            Invalidate();
        }
        if (event.Type == UIEVENT_MOUSEMOVE) return;
    }
    CLabelUI::DoEvent(event);
}

SIZE CTextUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy != 0 || !manager_) return CControlUI::EstimateSize(szAvailable);
    RECT padding = GetTextPadding();
    int width = GetFixedWidth() ? GetFixedWidth() : szAvailable.cx;
    RECT rc = {0, 0, width - padding.left - padding.right, 9999};
    if (showHtml_) {
        int links = 0;
        CRenderEngine::DrawHtmlText(manager_->GetPaintDC(), manager_, rc, text_.c_str(), 0, nullptr, nullptr, links,
                                    DT_CALCRECT | textStyle_);
    } else {
        CRenderEngine::DrawText(manager_->GetPaintDC(), manager_, rc, text_.c_str(), 0, font_, DT_CALCRECT | textStyle_);
    }
    return {GetFixedWidth(), rc.bottom - rc.top + padding.top + padding.bottom};
}

void CTextUI::PaintText(HDC hDC) {
    if (text_.empty() || !manager_) {
        links_ = 0;
        return;
    }
    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    DWORD disabled = disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    links_ = kMaxLinks;
    if (showHtml_) {
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), IsEnabled() ? color : disabled, rcLinks_,
                                    linkTargets_, links_, textStyle_);
    } else {
        links_ = 0;
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), IsEnabled() ? color : disabled, font_, textStyle_);
    }
}

// ---- CButtonUI -----------------------------------------------------------------------

CButtonUI::CButtonUI() { textStyle_ = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

LPCTSTR CButtonUI::GetClass() const { return L"ButtonUI"; }
LPVOID CButtonUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Button") == 0) return static_cast<CButtonUI*>(this);
    return CLabelUI::GetInterface(name);
}
UINT CButtonUI::GetControlFlags() const {
    return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!enable) buttonState_ = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event) || TrackHotState(event, buttonState_)) return;
    // Focus changes go to the base, which records and repaints them.
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        if (IsKeyboardEnabled() && (event.chKey == VK_SPACE || event.chKey == VK_RETURN)) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (::PtInRect(&rcItem_, event.ptMouse) && IsEnabled()) {
            buttonState_ |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (buttonState_ & UISTATE_CAPTURED) {
            if (::PtInRect(&rcItem_, event.ptMouse)) {
                buttonState_ |= UISTATE_PUSHED;
            } else {
                buttonState_ &= ~UISTATE_PUSHED;
            }
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        // State first: the click handler may tear the window down.
        if (ReleaseCapturedState(buttonState_) && ::PtInRect(&rcItem_, event.ptMouse)) Activate();
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsContextMenuUsed() && manager_) manager_->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
        return;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return;
    default: break;
    }
    CLabelUI::DoEvent(event);
}

LPCTSTR CButtonUI::GetNormalImage() { return normalImage_.c_str(); }
void CButtonUI::SetNormalImage(LPCTSTR image) { SetLook(normalImage_, image); }
LPCTSTR CButtonUI::GetHotImage() { return hotImage_.c_str(); }
void CButtonUI::SetHotImage(LPCTSTR image) { SetLook(hotImage_, image); }
LPCTSTR CButtonUI::GetPushedImage() { return pushedImage_.c_str(); }
void CButtonUI::SetPushedImage(LPCTSTR image) { SetLook(pushedImage_, image); }
LPCTSTR CButtonUI::GetFocusedImage() { return focusedImage_.c_str(); }
void CButtonUI::SetFocusedImage(LPCTSTR image) { SetLook(focusedImage_, image); }
LPCTSTR CButtonUI::GetDisabledImage() { return disabledImage_.c_str(); }
void CButtonUI::SetDisabledImage(LPCTSTR image) { SetLook(disabledImage_, image); }
LPCTSTR CButtonUI::GetForeImage() { return foreImage_.c_str(); }
void CButtonUI::SetForeImage(LPCTSTR image) { SetLook(foreImage_, image); }
LPCTSTR CButtonUI::GetHotForeImage() { return hotForeImage_.c_str(); }
void CButtonUI::SetHotForeImage(LPCTSTR image) { SetLook(hotForeImage_, image); }
void CButtonUI::SetHotBkColor(DWORD color) { SetLook(hotBkColor_, color); }
DWORD CButtonUI::GetHotBkColor() const { return hotBkColor_; }
void CButtonUI::SetPushedBkColor(DWORD color) { SetLook(pushedBkColor_, color); }
DWORD CButtonUI::GetPushedBkColor() const { return pushedBkColor_; }
void CButtonUI::SetHotTextColor(DWORD color) { SetLook(hotTextColor_, color); }
DWORD CButtonUI::GetHotTextColor() const { return hotTextColor_; }
void CButtonUI::SetPushedTextColor(DWORD color) { SetLook(pushedTextColor_, color); }
DWORD CButtonUI::GetPushedTextColor() const { return pushedTextColor_; }
void CButtonUI::SetFocusedTextColor(DWORD color) { SetLook(focusedTextColor_, color); }
DWORD CButtonUI::GetFocusedTextColor() const { return focusedTextColor_; }

SIZE CButtonUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy == 0 && manager_) {
        return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(font_)->tm.tmHeight + DpiScale(8))};
    }
    return CControlUI::EstimateSize(szAvailable);
}

void CButtonUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    if (SetStateImageAttribute(*this, n, value)) return;
    DWORD color;
    if (n == L"foreimage") {
        SetForeImage(value);
    } else if (n == L"hotforeimage") {
        SetHotForeImage(value);
    } else if (n == L"hotbkcolor") {
        if (detail::ParseColor(value, color)) SetHotBkColor(color);
    } else if (n == L"pushedbkcolor") {
        if (detail::ParseColor(value, color)) SetPushedBkColor(color);
    } else if (n == L"hottextcolor") {
        if (detail::ParseColor(value, color)) SetHotTextColor(color);
    } else if (n == L"pushedtextcolor") {
        if (detail::ParseColor(value, color)) SetPushedTextColor(color);
    } else if (n == L"focusedtextcolor") {
        if (detail::ParseColor(value, color)) SetFocusedTextColor(color);
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

static void FillState(HDC hDC, CControlUI* control, DWORD color) {
    SIZE round = control->GetBorderRound();
    if (round.cx > 0 || round.cy > 0) {
        CRenderEngine::FillRoundRect(hDC, control->GetPos(), round.cx, round.cy, color);
    } else {
        CRenderEngine::DrawColor(hDC, control->GetPos(), color);
    }
}

void CButtonUI::PaintText(HDC hDC) {
    if (text_.empty() || !manager_) return;
    if (IsFocused()) {
        buttonState_ |= UISTATE_FOCUSED;
    } else {
        buttonState_ &= ~UISTATE_FOCUSED;
    }
    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    if (!IsEnabled()) {
        color = disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
    } else if ((buttonState_ & UISTATE_PUSHED) && pushedTextColor_) {
        color = pushedTextColor_;
    } else if ((buttonState_ & (UISTATE_HOT | UISTATE_PUSHED)) && hotTextColor_) {
        color = hotTextColor_;
    } else if ((buttonState_ & UISTATE_FOCUSED) && focusedTextColor_) {
        color = focusedTextColor_;
    }
    RECT padding = GetTextPadding();
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    if (showHtml_) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), color, nullptr, nullptr, links, textStyle_);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), color, font_, textStyle_);
    }
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    if (IsFocused()) {
        buttonState_ |= UISTATE_FOCUSED;
    } else {
        buttonState_ &= ~UISTATE_FOCUSED;
    }
    if (!IsEnabled()) {
        buttonState_ |= UISTATE_DISABLED;
    } else {
        buttonState_ &= ~UISTATE_DISABLED;
    }
    bool drawn = false;
    if (buttonState_ & UISTATE_DISABLED) {
        drawn = !disabledImage_.empty() && DrawImage(hDC, disabledImage_.c_str());
    } else if (buttonState_ & UISTATE_PUSHED) {
        if (!pushedImage_.empty()) {
            drawn = DrawImage(hDC, pushedImage_.c_str());
        } else if (pushedBkColor_) {
            FillState(hDC, this, pushedBkColor_);
            drawn = true;
        }
        // Without a pushed look, a pushed button keeps its hover look.
        if (!drawn && !hotImage_.empty()) drawn = DrawImage(hDC, hotImage_.c_str());
        if (!drawn && hotBkColor_) {
            FillState(hDC, this, hotBkColor_);
            drawn = true;
        }
    } else if (buttonState_ & UISTATE_HOT) {
        if (!hotImage_.empty()) {
            drawn = DrawImage(hDC, hotImage_.c_str());
        } else if (hotBkColor_) {
            FillState(hDC, this, hotBkColor_);
            drawn = true;
        }
    } else if (buttonState_ & UISTATE_FOCUSED) {
        drawn = !focusedImage_.empty() && DrawImage(hDC, focusedImage_.c_str());
    }
    if (!drawn && !normalImage_.empty()) DrawImage(hDC, normalImage_.c_str());

    if ((buttonState_ & UISTATE_HOT) && !hotForeImage_.empty()) {
        DrawImage(hDC, hotForeImage_.c_str());
    } else if (!foreImage_.empty()) {
        DrawImage(hDC, foreImage_.c_str());
    }
}

// ---- COptionUI -----------------------------------------------------------------------

COptionUI::COptionUI() = default;

COptionUI::~COptionUI() {
    if (!groupName_.empty() && manager_) manager_->RemoveOptionGroup(groupName_.c_str(), this);
}

LPCTSTR COptionUI::GetClass() const { return L"OptionUI"; }
LPVOID COptionUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Option") == 0) return static_cast<COptionUI*>(this);
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init) {
    if (manager_ && manager_ != pManager && !groupName_.empty()) manager_->RemoveOptionGroup(groupName_.c_str(), this);
    CControlUI::SetManager(pManager, pParent, init);
    if (init && manager_ && !groupName_.empty()) manager_->AddOptionGroup(groupName_.c_str(), this);
}

LPCTSTR COptionUI::GetGroup() const { return groupName_.c_str(); }

void COptionUI::SetGroup(LPCTSTR groupName) {
    std::wstring name = groupName ? groupName : L"";
    if (name == groupName_) return;
    if (!groupName_.empty() && manager_) manager_->RemoveOptionGroup(groupName_.c_str(), this);
    groupName_ = name;
    if (!groupName_.empty() && manager_) manager_->AddOptionGroup(groupName_.c_str(), this);
}

bool COptionUI::IsSelected() const { return selected_; }

void COptionUI::Selected(bool selected, bool triggerEvent) {
    if (selected_ == selected) return;
    selected_ = selected;
    if (selected) {
        buttonState_ |= UISTATE_SELECTED;
    } else {
        buttonState_ &= ~UISTATE_SELECTED;
    }
    if (manager_) {
        if (!groupName_.empty()) {
            if (selected_) {
                if (CDuiPtrArray* group = manager_->GetOptionGroup(groupName_.c_str())) {
                    // Copy: a member's handler may change the group.
                    std::vector<COptionUI*> members;
                    for (int i = 0; i < group->GetSize(); ++i) members.push_back(static_cast<COptionUI*>(group->GetAt(i)));
                    for (COptionUI* member : members) {
                        if (member != this) member->Selected(false, false);
                    }
                }
                if (triggerEvent) manager_->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
            }
        } else if (triggerEvent) {
            manager_->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
        }
    }
    Invalidate();
}

bool COptionUI::Activate() {
    if (!CButtonUI::Activate()) return false;
    if (!groupName_.empty()) {
        Selected(true);
    } else {
        Selected(!selected_);
    }
    return true;
}

void COptionUI::SetEnabled(bool enable) {
    CButtonUI::SetEnabled(enable);
    if (selected_) buttonState_ |= UISTATE_SELECTED;
}

LPCTSTR COptionUI::GetSelectedImage() { return selectedImage_.c_str(); }
void COptionUI::SetSelectedImage(LPCTSTR image) { SetLook(selectedImage_, image); }
LPCTSTR COptionUI::GetSelectedHotImage() { return selectedHotImage_.c_str(); }
void COptionUI::SetSelectedHotImage(LPCTSTR image) { SetLook(selectedHotImage_, image); }
void COptionUI::SetSelectedTextColor(DWORD textColor) { SetLook(selectedTextColor_, textColor); }
DWORD COptionUI::GetSelectedTextColor() const { return selectedTextColor_; }
void COptionUI::SetSelectedBkColor(DWORD bkColor) { SetLook(selectedBkColor_, bkColor); }
DWORD COptionUI::GetSelectBkColor() const { return selectedBkColor_; }
LPCTSTR COptionUI::GetForeImage() { return selectedForeImage_.c_str(); }
void COptionUI::SetForeImage(LPCTSTR image) { SetLook(selectedForeImage_, image); }

SIZE COptionUI::EstimateSize(SIZE szAvailable) { return CButtonUI::EstimateSize(szAvailable); }

void COptionUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    DWORD color;
    if (n == L"group") {
        SetGroup(value);
    } else if (n == L"selected") {
        Selected(detail::ParseBool(value));
    } else if (n == L"selectedimage") {
        SetSelectedImage(value);
    } else if (n == L"selectedhotimage") {
        SetSelectedHotImage(value);
    } else if (n == L"selectedforeimage") {
        SetForeImage(value);
    } else if (n == L"selectedtextcolor") {
        if (detail::ParseColor(value, color)) SetSelectedTextColor(color);
    } else if (n == L"selectedbkcolor") {
        if (detail::ParseColor(value, color)) SetSelectedBkColor(color);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void COptionUI::PaintStatusImage(HDC hDC) {
    if (selected_ && IsEnabled()) {
        bool drawn = false;
        if ((buttonState_ & UISTATE_HOT) && !selectedHotImage_.empty()) drawn = DrawImage(hDC, selectedHotImage_.c_str());
        if (!drawn && !selectedImage_.empty()) drawn = DrawImage(hDC, selectedImage_.c_str());
        if (!drawn && selectedBkColor_) {
            FillState(hDC, this, selectedBkColor_);
            drawn = true;
        }
        if (drawn) {
            if (!selectedForeImage_.empty()) {
                DrawImage(hDC, selectedForeImage_.c_str());
            } else if (!foreImage_.empty()) {
                DrawImage(hDC, foreImage_.c_str());
            }
            return;
        }
    }
    CButtonUI::PaintStatusImage(hDC);
}

void COptionUI::PaintText(HDC hDC) {
    if (selected_ && selectedTextColor_ && IsEnabled()) {
        DWORD saved = textColor_;
        DWORD savedHot = hotTextColor_;
        textColor_ = selectedTextColor_;
        hotTextColor_ = 0;
        CButtonUI::PaintText(hDC);
        textColor_ = saved;
        hotTextColor_ = savedHot;
        return;
    }
    CButtonUI::PaintText(hDC);
}

}  // namespace winhush::dui
