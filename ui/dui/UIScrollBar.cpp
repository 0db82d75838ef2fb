#include "ui/dui/UIScrollBar.h"

#include <algorithm>

#include "ui/dui/UIContainer.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"

namespace winhush::dui {

namespace {
enum Part { kBk, kButton1, kButton2, kThumb, kRail };
enum State { kNormal, kHot, kPushed, kDisabled };
const wchar_t* const kPartNames[] = {L"bk", L"button1", L"button2", L"thumb", L"rail"};
const wchar_t* const kStateNames[] = {L"normal", L"hot", L"pushed", L"disabled"};
constexpr int kRepeatStartTicks = 5;
}  // namespace

CScrollBarUI::CScrollBarUI() {
    cxyFixed_ = {kDefaultThickness, kDefaultThickness};
    thumbColor_ = 0xFFC9CED6;
    thumbHotColor_ = 0xFFA3AAB4;
}

LPCTSTR CScrollBarUI::GetClass() const { return L"ScrollBarUI"; }
LPVOID CScrollBarUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ScrollBar") == 0) return this;
    return CControlUI::GetInterface(name);
}

CContainerUI* CScrollBarUI::GetOwner() const { return owner_; }
void CScrollBarUI::SetOwner(CContainerUI* pOwner) { owner_ = pOwner; }

void CScrollBarUI::SetVisible(bool visible) {
    // The owner lays itself out around its scrollbars; no parent relayout from here.
    if (visible_ == visible) return;
    visible_ = visible;
    if (focused_) focused_ = false;
}

void CScrollBarUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!enable) button1State_ = button2State_ = thumbState_ = 0;
}

void CScrollBarUI::SetFocus() {
    if (owner_) {
        owner_->SetFocus();
    } else {
        CControlUI::SetFocus();
    }
}

bool CScrollBarUI::IsHorizontal() const { return horizontal_; }
void CScrollBarUI::SetHorizontal(bool horizontal) {
    if (horizontal_ == horizontal) return;
    horizontal_ = horizontal;
    if (owner_) owner_->NeedUpdate();
}

int CScrollBarUI::GetScrollRange() const { return range_; }
void CScrollBarUI::SetScrollRange(int range) {
    range = std::max(range, 0);
    if (range_ == range) return;
    range_ = range;
    pos_ = std::clamp(pos_, 0, range_);
    SetPos(rcItem_, true);
}

int CScrollBarUI::GetScrollPos() const { return pos_; }
void CScrollBarUI::SetScrollPos(int pos) {
    pos = std::clamp(pos, 0, range_);
    if (pos_ == pos) return;
    pos_ = pos;
    SetPos(rcItem_, true);
}

int CScrollBarUI::GetLineSize() const { return DpiScale(lineSize_); }
void CScrollBarUI::SetLineSize(int size) {
    if (size > 0) lineSize_ = size;
}
void CScrollBarUI::SetShowButton1(bool show) {
    showButton1_ = show;
    SetPos(rcItem_, true);
}
void CScrollBarUI::SetShowButton2(bool show) {
    showButton2_ = show;
    SetPos(rcItem_, true);
}

void CScrollBarUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    rc = rcItem_;
    if (!horizontal_) {
        int button = rc.right - rc.left;
        int top = rc.top, bottom = rc.bottom;
        rcButton1_ = showButton1_ ? RECT{rc.left, rc.top, rc.right, rc.top + button} : RECT{rc.left, rc.top, rc.right, rc.top};
        rcButton2_ = showButton2_ ? RECT{rc.left, rc.bottom - button, rc.right, rc.bottom}
                                  : RECT{rc.left, rc.bottom, rc.right, rc.bottom};
        top = rcButton1_.bottom;
        bottom = rcButton2_.top;
        int track = bottom - top;
        if (range_ > 0 && track > 0) {
            int viewport = rc.bottom - rc.top;
            int thumb = static_cast<int>(static_cast<long long>(track) * viewport / (range_ + viewport));
            thumb = std::min(std::max(thumb, button), track);
            int offset = static_cast<int>(static_cast<long long>(track - thumb) * pos_ / range_);
            rcThumb_ = {rc.left, top + offset, rc.right, top + offset + thumb};
        } else {
            rcThumb_ = {};
        }
    } else {
        int button = rc.bottom - rc.top;
        rcButton1_ = showButton1_ ? RECT{rc.left, rc.top, rc.left + button, rc.bottom}
                                  : RECT{rc.left, rc.top, rc.left, rc.bottom};
        rcButton2_ = showButton2_ ? RECT{rc.right - button, rc.top, rc.right, rc.bottom}
                                  : RECT{rc.right, rc.top, rc.right, rc.bottom};
        int left = rcButton1_.right, right = rcButton2_.left;
        int track = right - left;
        if (range_ > 0 && track > 0) {
            int viewport = rc.right - rc.left;
            int thumb = static_cast<int>(static_cast<long long>(track) * viewport / (range_ + viewport));
            thumb = std::min(std::max(thumb, button), track);
            int offset = static_cast<int>(static_cast<long long>(track - thumb) * pos_ / range_);
            rcThumb_ = {left + offset, rc.top, left + offset + thumb, rc.bottom};
        } else {
            rcThumb_ = {};
        }
    }
}

// part: 1 line, 2 page; direction -1 up/left, +1 down/right.
void CScrollBarUI::ScrollBy(int part, int direction) {
    if (owner_) {
        if (!horizontal_) {
            if (part == 1) {
                direction < 0 ? owner_->LineUp() : owner_->LineDown();
            } else {
                direction < 0 ? owner_->PageUp() : owner_->PageDown();
            }
        } else {
            if (part == 1) {
                direction < 0 ? owner_->LineLeft() : owner_->LineRight();
            } else {
                direction < 0 ? owner_->PageLeft() : owner_->PageRight();
            }
        }
        return;
    }
    int step = part == 1 ? GetLineSize() : (horizontal_ ? GetWidth() : GetHeight());
    int before = pos_;
    SetScrollPos(pos_ + direction * step);
    if (pos_ != before && manager_) manager_->SendNotify(this, DUI_MSGTYPE_SCROLL);
}

void CScrollBarUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event, owner_)) return;
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK: {
        if (!IsEnabled()) return;
        lastScrollOffset_ = 0;
        scrollRepeatDelay_ = 0;
        if (manager_) manager_->SetTimer(this, kRepeatTimerId, 50);
        POINT pt = event.ptMouse;
        if (::PtInRect(&rcButton1_, pt)) {
            button1State_ |= UISTATE_PUSHED;
            ScrollBy(1, -1);
        } else if (::PtInRect(&rcButton2_, pt)) {
            button2State_ |= UISTATE_PUSHED;
            ScrollBy(1, +1);
        } else if (::PtInRect(&rcThumb_, pt)) {
            thumbState_ |= UISTATE_CAPTURED | UISTATE_PUSHED;
            lastMouse_ = pt;
            lastScrollPos_ = pos_;
        } else {
            bool before = horizontal_ ? pt.x < rcThumb_.left : pt.y < rcThumb_.top;
            ScrollBy(2, before ? -1 : +1);
        }
        Invalidate();
        return;
    }
    case UIEVENT_BUTTONUP:
        if (manager_) manager_->KillTimer(this, kRepeatTimerId);
        thumbState_ &= ~(UISTATE_CAPTURED | UISTATE_PUSHED);
        button1State_ &= ~UISTATE_PUSHED;
        button2State_ &= ~UISTATE_PUSHED;
        Invalidate();
        return;
    case UIEVENT_MOUSEMOVE:
        if (thumbState_ & UISTATE_CAPTURED) {
            int track, thumb, delta;
            if (!horizontal_) {
                track = rcButton2_.top - rcButton1_.bottom;
                thumb = rcThumb_.bottom - rcThumb_.top;
                delta = event.ptMouse.y - lastMouse_.y;
            } else {
                track = rcButton2_.left - rcButton1_.right;
                thumb = rcThumb_.right - rcThumb_.left;
                delta = event.ptMouse.x - lastMouse_.x;
            }
            if (track - thumb > 0) {
                lastScrollOffset_ = static_cast<int>(static_cast<long long>(delta) * range_ / (track - thumb));
                int target = lastScrollPos_ + lastScrollOffset_;
                if (owner_) {
                    SIZE sz = owner_->GetScrollPos();
                    if (horizontal_) {
                        sz.cx = target;
                    } else {
                        sz.cy = target;
                    }
                    owner_->SetScrollPos(sz);
                } else {
                    int before = pos_;
                    SetScrollPos(target);
                    if (pos_ != before && manager_) manager_->SendNotify(this, DUI_MSGTYPE_SCROLL);
                }
            }
            Invalidate();
        } else {
            UINT hot = ::PtInRect(&rcThumb_, event.ptMouse) ? UISTATE_HOT : 0;
            if ((thumbState_ & UISTATE_HOT) != hot) {
                thumbState_ = (thumbState_ & ~UISTATE_HOT) | hot;
                Invalidate();
            }
        }
        return;
    case UIEVENT_TIMER:
        if (event.wParam != kRepeatTimerId) break;
        if (++scrollRepeatDelay_ < kRepeatStartTicks) return;
        if (button1State_ & UISTATE_PUSHED) {
            ScrollBy(1, -1);
        } else if (button2State_ & UISTATE_PUSHED) {
            ScrollBy(1, +1);
        } else if (!(thumbState_ & UISTATE_CAPTURED) && manager_) {
            POINT pt = manager_->GetMousePos();
            if (::PtInRect(&rcItem_, pt) && !::PtInRect(&rcThumb_, pt) && !::PtInRect(&rcButton1_, pt) &&
                !::PtInRect(&rcButton2_, pt)) {
                bool before = horizontal_ ? pt.x < rcThumb_.left : pt.y < rcThumb_.top;
                ScrollBy(2, before ? -1 : +1);
            }
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (IsEnabled()) {
            button1State_ |= UISTATE_HOT;
            button2State_ |= UISTATE_HOT;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        button1State_ &= ~UISTATE_HOT;
        button2State_ &= ~UISTATE_HOT;
        thumbState_ &= ~UISTATE_HOT;
        Invalidate();
        return;
    case UIEVENT_SCROLLWHEEL:
        if (owner_) {
            owner_->DoEvent(event);
        } else {
            ScrollBy(1, LOWORD(event.wParam) == SB_LINEUP ? -1 : +1);
        }
        return;
    default: break;
    }
    if (owner_) {
        owner_->DoEvent(event);
    } else {
        CControlUI::DoEvent(event);
    }
}

void CScrollBarUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    int number;
    DWORD color;
    for (int part = 0; part < 5; ++part) {
        for (int state = 0; state < 4; ++state) {
            if (n == std::wstring(kPartNames[part]) + kStateNames[state] + L"image") {
                images_[part][state] = value;
                Invalidate();
                return;
            }
        }
    }
    if (n == L"hor") {
        SetHorizontal(detail::ParseBool(value));
    } else if (n == L"linesize") {
        if (detail::ParseInt(value, number)) SetLineSize(number);
    } else if (n == L"range") {
        if (detail::ParseInt(value, number)) SetScrollRange(number);
    } else if (n == L"value") {
        if (detail::ParseInt(value, number)) SetScrollPos(number);
    } else if (n == L"showbutton1") {
        SetShowButton1(detail::ParseBool(value));
    } else if (n == L"showbutton2") {
        SetShowButton2(detail::ParseBool(value));
    } else if (n == L"thumbcolor") {
        if (detail::ParseColor(value, color)) thumbColor_ = color;
    } else if (n == L"thumbhotcolor") {
        if (detail::ParseColor(value, color)) thumbHotColor_ = color;
    } else if (n == L"railcolor") {
        if (detail::ParseColor(value, color)) railColor_ = color;
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

bool CScrollBarUI::AnyImageOrColour() const { return false; }

static int StateIndex(UINT state, bool enabled) {
    if (!enabled) return kDisabled;
    if (state & UISTATE_PUSHED) return kPushed;
    if (state & UISTATE_HOT) return kHot;
    return kNormal;
}

void CScrollBarUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    if (!::IntersectRect(&rcPaint_, &rcPaint, &rcItem_)) return;
    PaintBk(hDC);
    PaintButton1(hDC);
    PaintButton2(hDC);
    PaintThumb(hDC);
    PaintRail(hDC);
}

void CScrollBarUI::PaintBk(HDC hDC) {
    PaintBkColor(hDC);
    const CDuiString& image = images_[kBk][IsEnabled() ? kNormal : kDisabled];
    if (!image.empty()) DrawImage(hDC, image.c_str());
}

void CScrollBarUI::PaintButton1(HDC hDC) {
    if (!showButton1_) return;
    int state = StateIndex(button1State_, IsEnabled());
    const CDuiString& image = images_[kButton1][state].empty() ? images_[kButton1][kNormal] : images_[kButton1][state];
    if (image.empty()) return;
    CRenderEngine::DrawImageString(hDC, manager_, rcButton1_, rcPaint_, image.c_str(), nullptr);
}

void CScrollBarUI::PaintButton2(HDC hDC) {
    if (!showButton2_) return;
    int state = StateIndex(button2State_, IsEnabled());
    const CDuiString& image = images_[kButton2][state].empty() ? images_[kButton2][kNormal] : images_[kButton2][state];
    if (image.empty()) return;
    CRenderEngine::DrawImageString(hDC, manager_, rcButton2_, rcPaint_, image.c_str(), nullptr);
}

void CScrollBarUI::PaintThumb(HDC hDC) {
    if (::IsRectEmpty(&rcThumb_)) return;
    int state = StateIndex(thumbState_, IsEnabled());
    const CDuiString& image = images_[kThumb][state].empty() ? images_[kThumb][kNormal] : images_[kThumb][state];
    if (!image.empty()) {
        CRenderEngine::DrawImageString(hDC, manager_, rcThumb_, rcPaint_, image.c_str(), nullptr);
        return;
    }
    // Default look: a slim rounded thumb in the middle of the bar.
    RECT thumb = rcThumb_;
    int inset = DpiScale(4);
    if (!horizontal_) {
        thumb.left += inset;
        thumb.right -= inset;
        thumb.top += DpiScale(2);
        thumb.bottom -= DpiScale(2);
    } else {
        thumb.top += inset;
        thumb.bottom -= inset;
        thumb.left += DpiScale(2);
        thumb.right -= DpiScale(2);
    }
    int radius = horizontal_ ? thumb.bottom - thumb.top : thumb.right - thumb.left;
    DWORD color = (thumbState_ & (UISTATE_HOT | UISTATE_PUSHED)) ? thumbHotColor_ : thumbColor_;
    CRenderEngine::FillRoundRect(hDC, thumb, radius, radius, color);
}

void CScrollBarUI::PaintRail(HDC hDC) {
    if (::IsRectEmpty(&rcThumb_)) return;
    int state = StateIndex(thumbState_, IsEnabled());
    const CDuiString& image = images_[kRail][state].empty() ? images_[kRail][kNormal] : images_[kRail][state];
    if (!image.empty()) CRenderEngine::DrawImageString(hDC, manager_, rcThumb_, rcPaint_, image.c_str(), nullptr);
}

}  // namespace winhush::dui
