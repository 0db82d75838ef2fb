#include "ui/dui/UIControl.h"

#include <algorithm>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    OnDestroy(this);
    if (manager_) manager_->ForgetControl(this);
}

CDuiString CControlUI::GetName() const { return name_; }
void CControlUI::SetName(LPCTSTR name) { name_ = name ? name : L""; }
LPCTSTR CControlUI::GetClass() const { return L"ControlUI"; }

LPVOID CControlUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"Control") == 0) return this;
    return nullptr;
}

UINT CControlUI::GetControlFlags() const { return 0; }

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

CPaintManagerUI* CControlUI::GetManager() const { return manager_; }

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init) {
    manager_ = pManager;
    parent_ = pParent;
    if (init) Init();
}

CControlUI* CControlUI::GetParent() const { return parent_; }

CDuiString CControlUI::GetText() const { return text_; }

void CControlUI::SetText(LPCTSTR text) { SetLook(text_, text); }

int CControlUI::DpiScale(int value) const { return manager_ ? manager_->ScaleValue(value) : value; }
RECT CControlUI::DpiScale(const RECT& rc) const { return manager_ ? manager_->ScaleRect(rc) : rc; }

void CControlUI::SetBkColor(DWORD color) { SetLook(bkColor_, color); }
void CControlUI::SetBkColor2(DWORD color) { SetLook(bkColor2_, color); }
void CControlUI::SetBkColor3(DWORD color) { SetLook(bkColor3_, color); }
LPCTSTR CControlUI::GetBkImage() { return bkImage_.c_str(); }
void CControlUI::SetBkImage(LPCTSTR image) { SetLook(bkImage_, image); }
void CControlUI::SetFocusBorderColor(DWORD color) { SetLook(focusBorderColor_, color); }
SIZE CControlUI::GetBorderRound() const {
    return manager_ ? manager_->ScaleSize(cxyBorderRound_) : cxyBorderRound_;
}
void CControlUI::SetBorderRound(SIZE round) { SetLook(cxyBorderRound_, round); }

bool CControlUI::DrawImage(HDC hDC, LPCTSTR image, LPCTSTR modify) {
    return CRenderEngine::DrawImageString(hDC, manager_, rcItem_, rcPaint_, image, modify);
}

int CControlUI::GetBorderSize() const { return DpiScale(borderSize_); }
void CControlUI::SetBorderSize(int size) {
    if (size < 0) return;
    borderSize_ = size;
    borderPerSide_ = false;
    Invalidate();
}
void CControlUI::SetBorderSize(RECT rc) {
    rcBorderSize_ = rc;
    borderPerSide_ = true;
    Invalidate();
}
void CControlUI::SetBorderColor(DWORD color) { SetLook(borderColor_, color); }
void CControlUI::SetBorderStyle(int style) { SetLook(borderStyle_, style); }

const RECT& CControlUI::GetPos() const { return rcItem_; }

void CControlUI::SetPos(RECT rc, bool needInvalidate) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    CDuiRect invalidateRc = rcItem_;
    if (::IsRectEmpty(&invalidateRc)) invalidateRc = rc;
    rcItem_ = rc;
    if (!manager_) return;
    if (!setPos_) {
        setPos_ = true;
        OnSize(this);
        setPos_ = false;
    }
    updateNeeded_ = false;
    if (needInvalidate && IsVisible()) {
        invalidateRc.Join(rcItem_);
        for (CControlUI* parent = parent_; parent; parent = parent->GetParent()) {
            RECT parentRc = parent->GetPos();
            if (!::IntersectRect(&invalidateRc, &invalidateRc, &parentRc)) return;
        }
        manager_->Invalidate(invalidateRc);
    }
}

int CControlUI::GetWidth() const { return rcItem_.right - rcItem_.left; }
int CControlUI::GetHeight() const { return rcItem_.bottom - rcItem_.top; }
int CControlUI::GetX() const { return rcItem_.left; }
int CControlUI::GetY() const { return rcItem_.top; }

RECT CControlUI::GetPadding() const { return DpiScale(rcPadding_); }
void CControlUI::SetPadding(RECT rcPadding) {
    rcPadding_ = rcPadding;
    NeedParentUpdate();
}
SIZE CControlUI::GetFixedXY() const { return {DpiScale(cXY_.cx), DpiScale(cXY_.cy)}; }
void CControlUI::SetFixedXY(SIZE szXY) {
    cXY_ = szXY;
    if (!float_) {
        NeedParentUpdate();
    } else {
        NeedUpdate();
    }
}
int CControlUI::GetFixedWidth() const { return DpiScale(cxyFixed_.cx); }
void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0) return;
    cxyFixed_.cx = cx;
    NeedParentUpdate();
}
int CControlUI::GetFixedHeight() const { return DpiScale(cxyFixed_.cy); }
void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0) return;
    cxyFixed_.cy = cy;
    NeedParentUpdate();
}
int CControlUI::GetMinWidth() const { return DpiScale(cxyMin_.cx); }
void CControlUI::SetMinWidth(int cx) {
    if (cxyMin_.cx == cx || cx < 0) return;
    cxyMin_.cx = cx;
    NeedParentUpdate();
}
int CControlUI::GetMaxWidth() const { return DpiScale(cxyMax_.cx); }
void CControlUI::SetMaxWidth(int cx) {
    if (cxyMax_.cx == cx || cx < 0) return;
    cxyMax_.cx = cx;
    NeedParentUpdate();
}
int CControlUI::GetMinHeight() const { return DpiScale(cxyMin_.cy); }
void CControlUI::SetMinHeight(int cy) {
    if (cxyMin_.cy == cy || cy < 0) return;
    cxyMin_.cy = cy;
    NeedParentUpdate();
}
int CControlUI::GetMaxHeight() const { return DpiScale(cxyMax_.cy); }
void CControlUI::SetMaxHeight(int cy) {
    if (cxyMax_.cy == cy || cy < 0) return;
    cxyMax_.cy = cy;
    NeedParentUpdate();
}

CDuiString CControlUI::GetToolTip() const { return toolTip_; }
void CControlUI::SetToolTip(LPCTSTR text) {
    toolTip_ = text ? text : L"";
    toolTip_.Replace(L"<n>", L"\r\n");
}
void CControlUI::SetToolTipWidth(int width) { toolTipWidth_ = width; }
int CControlUI::GetToolTipWidth() const { return toolTipWidth_; }
TCHAR CControlUI::GetShortcut() const { return shortcut_; }
void CControlUI::SetShortcut(TCHAR ch) { shortcut_ = ch; }
bool CControlUI::IsContextMenuUsed() const { return menuUsed_; }
void CControlUI::SetContextMenuUsed(bool menuUsed) { menuUsed_ = menuUsed; }
const CDuiString& CControlUI::GetUserData() { return userData_; }
void CControlUI::SetUserData(LPCTSTR text) { userData_ = text ? text : L""; }
UINT_PTR CControlUI::GetTag() const { return tag_; }
void CControlUI::SetTag(UINT_PTR tag) { tag_ = tag; }

bool CControlUI::IsVisible() const { return visible_ && internVisible_; }

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible) return;
    bool wasVisible = IsVisible();
    visible_ = visible;
    if (focused_) focused_ = false;
    if (!visible && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
    if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
    internVisible_ = visible;
    if (!visible && manager_ && manager_->GetFocus() == this) manager_->SetFocus(nullptr);
}

bool CControlUI::IsEnabled() const { return enabled_; }
void CControlUI::SetEnabled(bool enable) {
    if (enabled_ == enable) return;
    enabled_ = enable;
    Invalidate();
}
bool CControlUI::IsMouseEnabled() const { return mouseEnabled_; }
void CControlUI::SetMouseEnabled(bool enable) { mouseEnabled_ = enable; }
bool CControlUI::IsKeyboardEnabled() const { return keyboardEnabled_; }
void CControlUI::SetKeyboardEnabled(bool enable) { keyboardEnabled_ = enable; }
bool CControlUI::IsFocused() const { return focused_; }
void CControlUI::SetFocus() {
    if (manager_) manager_->SetFocus(this);
}
bool CControlUI::IsFloat() const { return float_; }
void CControlUI::SetFloat(bool isFloat) {
    if (float_ == isFloat) return;
    float_ = isFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) &&
        (!mouseEnabled_ || !::PtInRect(&rcItem_, *static_cast<const POINT*>(data)))) {
        return nullptr;
    }
    return proc(this, data);
}

void CControlUI::Invalidate() {
    if (!IsVisible() || !manager_) return;
    RECT rc = rcItem_;
    for (CControlUI* parent = parent_; parent; parent = parent->GetParent()) {
        RECT parentRc = parent->GetPos();
        if (!::IntersectRect(&rc, &rc, &parentRc)) return;
    }
    manager_->Invalidate(rc);
}

bool CControlUI::IsUpdateNeeded() const { return updateNeeded_; }

void CControlUI::NeedUpdate() {
    if (!IsVisible()) return;
    updateNeeded_ = true;
    Invalidate();
    if (manager_) manager_->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
    if (parent_) {
        parent_->NeedUpdate();
        parent_->Invalidate();
    } else {
        NeedUpdate();
    }
    if (manager_) manager_->NeedUpdate();
}

void CControlUI::Init() {
    DoInit();
    OnInit(this);
}

void CControlUI::DoInit() {}

void CControlUI::Event(TEventUI& event) {
    if (OnEvent(&event)) DoEvent(event);
}

bool CControlUI::PassMouseWhenDisabled(TEventUI& event, CControlUI* target) {
    if (IsMouseEnabled() || !IsMouseEvent(event.Type)) return false;
    if (target) {
        target->DoEvent(event);
    } else {
        CControlUI::DoEvent(event);
    }
    return true;
}

bool CControlUI::TrackHotState(const TEventUI& event, UINT& state) {
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (!IsEnabled()) return true;
        state |= UISTATE_HOT;
    } else if (event.Type == UIEVENT_MOUSELEAVE) {
        if (!(state & UISTATE_HOT)) return true;
        state &= ~UISTATE_HOT;
    } else {
        return false;
    }
    Invalidate();
    return true;
}

bool CControlUI::ReleaseCapturedState(UINT& state) {
    if (!(state & UISTATE_CAPTURED)) return false;
    state &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
    Invalidate();
    return true;
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
        return;
    case UIEVENT_SETFOCUS:
        focused_ = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        focused_ = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_TIMER, event.wParam, event.lParam);
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsContextMenuUsed()) {
            if (manager_) manager_->SendNotify(this, DUI_MSGTYPE_MENU, event.wParam, event.lParam);
            return;
        }
        break;
    default: break;
    }
    if (parent_) parent_->DoEvent(event);
}

CDuiString CControlUI::GetAttribute(LPCTSTR name) const {
    if (!name) return CDuiString();
    if (wcscmp(name, L"name") == 0) return name_;
    if (wcscmp(name, L"text") == 0) return text_;
    if (wcscmp(name, L"tooltip") == 0) return toolTip_;
    if (wcscmp(name, L"userdata") == 0) return userData_;
    return CDuiString();
}

void CControlUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    RECT rc;
    SIZE sz;
    DWORD color;
    int number;
    if (n == L"pos") {
        if (detail::ParseRect(value, rc)) {
            SetFixedXY({rc.left, rc.top});
            SetFixedWidth(rc.right - rc.left);
            SetFixedHeight(rc.bottom - rc.top);
        }
    } else if (n == L"padding") {
        if (detail::ParseRect(value, rc)) SetPadding(rc);
    } else if (n == L"bkcolor" || n == L"bkcolor1") {
        if (detail::ParseColor(value, color)) SetBkColor(color);
    } else if (n == L"bkcolor2") {
        if (detail::ParseColor(value, color)) SetBkColor2(color);
    } else if (n == L"bkcolor3") {
        if (detail::ParseColor(value, color)) SetBkColor3(color);
    } else if (n == L"bordercolor") {
        if (detail::ParseColor(value, color)) SetBorderColor(color);
    } else if (n == L"focusbordercolor") {
        if (detail::ParseColor(value, color)) SetFocusBorderColor(color);
    } else if (n == L"bordersize") {
        if (detail::ParseRect(value, rc)) {
            SetBorderSize(rc);
        } else if (detail::ParseInt(value, number)) {
            SetBorderSize(number);
        }
    } else if (n == L"borderround") {
        if (detail::ParseSize(value, sz) && sz.cx >= 0 && sz.cy >= 0) SetBorderRound(sz);
    } else if (n == L"borderstyle") {
        if (detail::ParseInt(value, number)) SetBorderStyle(number);
    } else if (n == L"bkimage") {
        SetBkImage(value);
    } else if (n == L"width") {
        if (detail::ParseInt(value, number)) SetFixedWidth(number);
    } else if (n == L"height") {
        if (detail::ParseInt(value, number)) SetFixedHeight(number);
    } else if (n == L"minwidth") {
        if (detail::ParseInt(value, number)) SetMinWidth(number);
    } else if (n == L"minheight") {
        if (detail::ParseInt(value, number)) SetMinHeight(number);
    } else if (n == L"maxwidth") {
        if (detail::ParseInt(value, number)) SetMaxWidth(number);
    } else if (n == L"maxheight") {
        if (detail::ParseInt(value, number)) SetMaxHeight(number);
    } else if (n == L"name") {
        SetName(value);
    } else if (n == L"text") {
        SetText(value);
    } else if (n == L"tooltip") {
        SetToolTip(value);
    } else if (n == L"userdata") {
        SetUserData(value);
    } else if (n == L"enabled") {
        SetEnabled(detail::ParseBool(value));
    } else if (n == L"mouse") {
        SetMouseEnabled(detail::ParseBool(value));
    } else if (n == L"keyboard") {
        SetKeyboardEnabled(detail::ParseBool(value));
    } else if (n == L"visible") {
        SetVisible(detail::ParseBool(value));
    } else if (n == L"float") {
        SetFloat(detail::ParseBool(value));
    } else if (n == L"shortcut") {
        SetShortcut(value[0]);
    } else if (n == L"menu") {
        SetContextMenuUsed(detail::ParseBool(value));
    } else if (n == L"virtualwnd") {
        virtualWnd_ = value;
    } else if (n == L"tooltipwidth") {
        if (detail::ParseInt(value, number) && number > 0) SetToolTipWidth(number);
    }
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR list) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    detail::ParseAttributeList(list, pairs);
    for (auto& pair : pairs) SetAttribute(pair.first.c_str(), pair.second.c_str());
    return this;
}

SIZE CControlUI::EstimateSize(SIZE) { return {GetFixedWidth(), GetFixedHeight()}; }

void CControlUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    if (!::IntersectRect(&rcPaint_, &rcPaint, &rcItem_)) return;
    PaintLayers(hDC, true);
}

void CControlUI::PaintLayers(HDC hDC, bool withBorder) {
    SIZE round = GetBorderRound();
    if (round.cx > 0 || round.cy > 0) {
        // Colour fill and border are drawn anti-aliased; images and text are clipped to
        // the rounded shape.
        if (bkColor2_ == 0) CRenderEngine::FillRoundRect(hDC, rcItem_, round.cx, round.cy, bkColor_);
        {
            CRenderClip roundClip;
            CRenderClip::GenerateRoundClip(hDC, rcPaint_, rcItem_, round.cx, round.cy, roundClip);
            if (bkColor2_ != 0) PaintBkColor(hDC);
            PaintBkImage(hDC);
            PaintStatusImage(hDC);
            PaintText(hDC);
        }
        if (withBorder) PaintBorder(hDC);
        return;
    }
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    if (withBorder) PaintBorder(hDC);
}

void CControlUI::PaintBkColor(HDC hDC) {
    if (bkColor_ == 0) return;
    if (bkColor2_ != 0) {
        if (bkColor3_ != 0) {
            RECT upper = rcItem_;
            upper.bottom = (rcItem_.top + rcItem_.bottom) / 2;
            RECT lower = rcItem_;
            lower.top = upper.bottom;
            CRenderEngine::DrawGradient(hDC, upper, bkColor_, bkColor2_, true, 8);
            CRenderEngine::DrawGradient(hDC, lower, bkColor2_, bkColor3_, true, 8);
        } else {
            CRenderEngine::DrawGradient(hDC, rcItem_, bkColor_, bkColor2_, true, 16);
        }
    } else {
        CRenderEngine::DrawColor(hDC, rcItem_, bkColor_);
    }
}

void CControlUI::PaintBkImage(HDC hDC) {
    if (bkImage_.empty()) return;
    DrawImage(hDC, bkImage_.c_str());
}

void CControlUI::PaintStatusImage(HDC) {}
void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
    DWORD color = (focused_ && focusBorderColor_ != 0) ? focusBorderColor_ : borderColor_;
    if (color == 0) return;
    SIZE round = GetBorderRound();
    if (borderPerSide_) {
        RECT sides = DpiScale(rcBorderSize_);
        if (sides.left > 0) CRenderEngine::DrawColor(hDC, {rcItem_.left, rcItem_.top, rcItem_.left + sides.left, rcItem_.bottom}, color);
        if (sides.top > 0) CRenderEngine::DrawColor(hDC, {rcItem_.left, rcItem_.top, rcItem_.right, rcItem_.top + sides.top}, color);
        if (sides.right > 0) CRenderEngine::DrawColor(hDC, {rcItem_.right - sides.right, rcItem_.top, rcItem_.right, rcItem_.bottom}, color);
        if (sides.bottom > 0) CRenderEngine::DrawColor(hDC, {rcItem_.left, rcItem_.bottom - sides.bottom, rcItem_.right, rcItem_.bottom}, color);
        return;
    }
    int size = GetBorderSize();
    if (size <= 0) return;
    if (round.cx > 0 || round.cy > 0) {
        CRenderEngine::DrawRoundRect(hDC, rcItem_, round.cx, round.cy, size, color, borderStyle_);
    } else {
        CRenderEngine::DrawRect(hDC, rcItem_, size, color, borderStyle_);
    }
}

void CControlUI::DoPostPaint(HDC, const RECT&) {}

}  // namespace winhush::dui
