#include "ui/dui/UIContainer.h"

#include <algorithm>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"
#include "ui/dui/UIScrollBar.h"

namespace winhush::dui {

namespace {
int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }
}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    delayedDestroy_ = false;
    RemoveAll();
    delete verticalScrollBar_;
    delete horizontalScrollBar_;
}

LPCTSTR CContainerUI::GetClass() const { return L"ContainerUI"; }

LPVOID CContainerUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"IContainer") == 0) return static_cast<IContainerUI*>(this);
    if (name && wcscmp(name, L"Container") == 0) return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const { return static_cast<CControlUI*>(items_.GetAt(index)); }
int CContainerUI::GetItemIndex(CControlUI* pControl) const { return items_.Find(pControl); }

bool CContainerUI::SetItemIndex(CControlUI* pControl, int index) {
    int current = items_.Find(pControl);
    if (current < 0 || index < 0 || index >= items_.GetSize()) return false;
    items_.Remove(current);
    items_.InsertAt(index, pControl);
    NeedUpdate();
    return true;
}

int CContainerUI::GetCount() const { return items_.GetSize(); }

// At the end of what GetCount counts: a list appends a row after its rows.
bool CContainerUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CContainerUI::AddAt(CControlUI* pControl, int index) {
    if (!pControl || index < 0 || index > items_.GetSize()) return false;
    if (manager_) {
        manager_->InitControls(pControl, this);
    } else {
        pControl->SetManager(nullptr, this, false);
    }
    // Always set: a control taken out of a hidden container and put back (virtual-list rows
    // are) must not keep the hidden state of where it was.
    pControl->SetInternVisible(IsVisible());
    items_.InsertAt(index, pControl);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* pControl) {
    int index = items_.Find(pControl);
    if (index < 0) return false;
    return CContainerUI::RemoveAt(index);  // by own child index, whatever derived classes count
}

bool CContainerUI::RemoveAt(int index) {
    CControlUI* control = GetChildAt(index);
    if (!control) return false;
    items_.Remove(index);
    NeedUpdate();
    if (autoDestroy_) {
        // Deferred by default: the control may be removing itself from its own handler.
        if (delayedDestroy_ && manager_) {
            manager_->AddDelayedCleanup(control);
        } else {
            delete control;
        }
    }
    return true;
}

void CContainerUI::RemoveAll() {
    while (!items_.IsEmpty()) {
        CControlUI* control = GetChildAt(items_.GetSize() - 1);
        items_.Remove(items_.GetSize() - 1);
        if (autoDestroy_) {
            if (delayedDestroy_ && manager_) {
                manager_->AddDelayedCleanup(control);
            } else {
                delete control;
            }
        }
    }
    NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const { return autoDestroy_; }
void CContainerUI::SetAutoDestroy(bool autoDestroy) { autoDestroy_ = autoDestroy; }
bool CContainerUI::IsDelayedDestroy() const { return delayedDestroy_; }
void CContainerUI::SetDelayedDestroy(bool delayed) { delayedDestroy_ = delayed; }
bool CContainerUI::IsMouseChildEnabled() const { return mouseChildEnabled_; }
void CContainerUI::SetMouseChildEnabled(bool enable) { mouseChildEnabled_ = enable; }

RECT CContainerUI::GetInset() const { return DpiScale(rcInset_); }
void CContainerUI::SetInset(RECT rcInset) {
    rcInset_ = rcInset;
    NeedUpdate();
}
int CContainerUI::GetChildPadding() const { return DpiScale(childPadding_); }
void CContainerUI::SetChildPadding(int padding) {
    childPadding_ = std::max(padding, 0);
    NeedUpdate();
}

void CContainerUI::SetVisible(bool visible) {
    if (visible_ == visible) return;
    CControlUI::SetVisible(visible);
    for (int i = 0; i < items_.GetSize(); ++i) GetChildAt(i)->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    for (int i = 0; i < items_.GetSize(); ++i) GetChildAt(i)->SetInternVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool enable) {
    if (verticalScrollBar_) verticalScrollBar_->SetMouseEnabled(enable);
    if (horizontalScrollBar_) horizontalScrollBar_->SetMouseEnabled(enable);
    CControlUI::SetMouseEnabled(enable);
}

int CContainerUI::FindSelectable(int index, bool forward) const {
    int count = GetCount();
    if (count == 0) return -1;
    index = Clamp(index, 0, count - 1);
    auto selectable = [&](int i) {
        CControlUI* c = GetChildAt(i);
        return c->GetInterface(L"ListItem") && c->IsVisible() && c->IsEnabled();
    };
    if (forward) {
        for (int i = index; i < count; ++i) {
            if (selectable(i)) return i;
        }
        return -1;
    }
    for (int i = index; i >= 0; --i) {
        if (selectable(i)) return i;
    }
    for (int i = 0; i < count; ++i) {
        if (selectable(i)) return i;
    }
    return -1;
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event)) return;
    if (event.Type == UIEVENT_SETFOCUS) {
        focused_ = true;
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        focused_ = false;
        return;
    }
    if (ScrollByInput(event)) return;
    CControlUI::DoEvent(event);
}

SIZE CContainerUI::GetScrollPos() const {
    SIZE sz = {0, 0};
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) sz.cy = verticalScrollBar_->GetScrollPos();
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) sz.cx = horizontalScrollBar_->GetScrollPos();
    return sz;
}

SIZE CContainerUI::GetScrollRange() const {
    SIZE sz = {0, 0};
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) sz.cy = verticalScrollBar_->GetScrollRange();
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) sz.cx = horizontalScrollBar_->GetScrollRange();
    return sz;
}

void CContainerUI::SetScrollPos(SIZE szPos) {
    int cx = 0, cy = 0;
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        int last = verticalScrollBar_->GetScrollPos();
        verticalScrollBar_->SetScrollPos(szPos.cy);
        cy = verticalScrollBar_->GetScrollPos() - last;
    }
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) {
        int last = horizontalScrollBar_->GetScrollPos();
        horizontalScrollBar_->SetScrollPos(szPos.cx);
        cx = horizontalScrollBar_->GetScrollPos() - last;
    }
    if (cx == 0 && cy == 0) return;
    for (int i = 0; i < items_.GetSize(); ++i) {
        CControlUI* control = GetChildAt(i);
        if (!control->IsVisible() || control->IsFloat()) continue;
        RECT rc = control->GetPos();
        ::OffsetRect(&rc, -cx, -cy);
        control->SetPos(rc, false);
    }
    Invalidate();
}

namespace {
// Keys and wheel notches as scroll moves; false for input that does not scroll.
bool InputScrollMove(const TEventUI& event, CContainerUI::ScrollMove& move) {
    using Move = CContainerUI::ScrollMove;
    if (event.Type == UIEVENT_KEYDOWN) {
        switch (event.chKey) {
            case VK_UP: move = Move::LineBack; return true;
            case VK_DOWN: move = Move::LineForward; return true;
            case VK_PRIOR: move = Move::PageBack; return true;
            case VK_NEXT: move = Move::PageForward; return true;
            case VK_HOME: move = Move::Start; return true;
            case VK_END: move = Move::End; return true;
            default: return false;
        }
    }
    if (event.Type != UIEVENT_SCROLLWHEEL) return false;
    switch (LOWORD(event.wParam)) {
        case SB_LINEUP: move = Move::LineBack; return true;
        case SB_LINEDOWN: move = Move::LineForward; return true;
        default: return false;
    }
}
}  // namespace

bool CContainerUI::ScrollByInput(const TEventUI& event) {
    // Along the vertical bar when it is up and usable, otherwise along the horizontal one.
    auto usable = [](CScrollBarUI* bar) { return bar && bar->IsVisible() && bar->IsEnabled(); };
    bool vertical = usable(verticalScrollBar_);
    if (!vertical && !usable(horizontalScrollBar_)) return false;
    ScrollMove move;
    if (!InputScrollMove(event, move)) return false;
    // Through the step methods, so that a container that scrolls another way has its say.
    using Step = void (CContainerUI::*)();
    static constexpr Step kSteps[2][6] = {
        {&CContainerUI::LineLeft, &CContainerUI::LineRight, &CContainerUI::PageLeft, &CContainerUI::PageRight,
         &CContainerUI::HomeLeft, &CContainerUI::EndRight},
        {&CContainerUI::LineUp, &CContainerUI::LineDown, &CContainerUI::PageUp, &CContainerUI::PageDown,
         &CContainerUI::HomeUp, &CContainerUI::EndDown}};
    (this->*kSteps[vertical ? 1 : 0][static_cast<int>(move)])();
    return true;
}

int CContainerUI::ScrollLine(bool vertical) const {
    // A line is a text line down the page and a fixed small step across it.
    if (!vertical) return DpiScale(8);
    return manager_ ? manager_->GetDefaultFontInfo()->tm.tmHeight + DpiScale(8) : 8;
}

int CContainerUI::ScrollPage(bool vertical) const {
    // A page is the inner extent, less the other axis's scrollbar lying across it.
    RECT inset = GetInset();
    CScrollBarUI* across = vertical ? horizontalScrollBar_ : verticalScrollBar_;
    int page = vertical ? GetHeight() - inset.top - inset.bottom : GetWidth() - inset.left - inset.right;
    if (across && across->IsVisible()) page -= vertical ? across->GetFixedHeight() : across->GetFixedWidth();
    return page;
}

void CContainerUI::ScrollStep(bool vertical, ScrollMove move) {
    SIZE sz = GetScrollPos();
    LONG& pos = vertical ? sz.cy : sz.cx;
    switch (move) {
        case ScrollMove::LineBack:
            pos = std::max(0, static_cast<int>(pos) - ScrollLine(vertical));
            break;
        case ScrollMove::LineForward:
            pos += ScrollLine(vertical);
            break;
        case ScrollMove::PageBack:
            pos = std::max(0, static_cast<int>(pos) - ScrollPage(vertical));
            break;
        case ScrollMove::PageForward:
            pos += ScrollPage(vertical);
            break;
        case ScrollMove::Start:
            pos = 0;
            break;
        case ScrollMove::End: {
            SIZE range = GetScrollRange();
            pos = vertical ? range.cy : range.cx;
            break;
        }
    }
    SetScrollPos(sz);
}

void CContainerUI::LineUp() { ScrollStep(true, ScrollMove::LineBack); }
void CContainerUI::LineDown() { ScrollStep(true, ScrollMove::LineForward); }
void CContainerUI::PageUp() { ScrollStep(true, ScrollMove::PageBack); }
void CContainerUI::PageDown() { ScrollStep(true, ScrollMove::PageForward); }
void CContainerUI::HomeUp() { ScrollStep(true, ScrollMove::Start); }
void CContainerUI::EndDown() { ScrollStep(true, ScrollMove::End); }
void CContainerUI::LineLeft() { ScrollStep(false, ScrollMove::LineBack); }
void CContainerUI::LineRight() { ScrollStep(false, ScrollMove::LineForward); }
void CContainerUI::PageLeft() { ScrollStep(false, ScrollMove::PageBack); }
void CContainerUI::PageRight() { ScrollStep(false, ScrollMove::PageForward); }
void CContainerUI::HomeLeft() { ScrollStep(false, ScrollMove::Start); }
void CContainerUI::EndRight() { ScrollStep(false, ScrollMove::End); }

void CContainerUI::EnableScrollBar(bool enableVertical, bool enableHorizontal) {
    // A new bar starts hidden, styled by the window's default for its kind.
    auto follow = [this](CScrollBarUI*& bar, bool enable, bool horizontal) {
        if (enable && !bar) {
            bar = new CScrollBarUI;
            if (horizontal) bar->SetHorizontal(true);
            bar->SetOwner(this);
            bar->SetManager(manager_, nullptr, false);
            bar->SetVisible(false);
            if (manager_) {
                if (LPCTSTR defaults = manager_->GetDefaultAttributeList(horizontal ? L"HScrollBar" : L"VScrollBar")) {
                    bar->ApplyAttributeList(defaults);
                }
            }
        } else if (!enable && bar) {
            delete bar;
            bar = nullptr;
        }
    };
    follow(verticalScrollBar_, enableVertical, false);
    follow(horizontalScrollBar_, enableHorizontal, true);
    NeedUpdate();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const { return verticalScrollBar_; }
CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const { return horizontalScrollBar_; }

RECT CContainerUI::GetClientRect() const {
    RECT rc = rcItem_;
    RECT inset = GetInset();
    rc.left += inset.left;
    rc.top += inset.top;
    rc.right -= inset.right;
    rc.bottom -= inset.bottom;
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) rc.right -= verticalScrollBar_->GetFixedWidth();
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) rc.bottom -= horizontalScrollBar_->GetFixedHeight();
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

void CContainerUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    if (items_.IsEmpty()) return;
    RECT client = GetClientRect();
    for (int i = 0; i < items_.GetSize(); ++i) {
        CControlUI* control = GetChildAt(i);
        if (!control->IsVisible()) continue;
        if (control->IsFloat()) {
            SetFloatPos(i);
        } else {
            control->SetPos(client, false);
        }
    }
}

void CContainerUI::SetFloatPos(int index) {
    CControlUI* control = GetChildAt(index);
    if (!control || !control->IsVisible() || !control->IsFloat()) return;
    SIZE xy = control->GetFixedXY();
    SIZE size = {control->GetFixedWidth(), control->GetFixedHeight()};
    RECT rc;
    // A negative offset anchors the control's right/bottom edge to the container's.
    if (xy.cx >= 0) {
        rc.left = rcItem_.left + xy.cx;
        rc.right = rc.left + size.cx;
    } else {
        rc.right = rcItem_.right + xy.cx;
        rc.left = rc.right - size.cx;
    }
    if (xy.cy >= 0) {
        rc.top = rcItem_.top + xy.cy;
        rc.bottom = rc.top + size.cy;
    } else {
        rc.bottom = rcItem_.bottom + xy.cy;
        rc.top = rc.bottom - size.cy;
    }
    control->SetPos(rc, false);
}

void CContainerUI::ProcessScrollBar(RECT rc, int cxRequired, int cyRequired) {
    if (ProcessScrollBarAxis(false, rc, cxRequired)) return;
    ProcessScrollBarAxis(true, rc, cyRequired);
}

bool CContainerUI::ProcessScrollBarAxis(bool vertical, const RECT& rc, int required) {
    CScrollBarUI* bar = vertical ? verticalScrollBar_ : horizontalScrollBar_;
    if (!bar) return false;
    auto relayout = [&]() {
        if (scrollProcess_) return;
        scrollProcess_ = true;
        SetPos(rcItem_, false);
        scrollProcess_ = false;
    };
    int viewport = vertical ? rc.bottom - rc.top : rc.right - rc.left;
    if (required <= viewport) {
        if (!bar->IsVisible()) return false;
        bar->SetVisible(false);
        bar->SetScrollRange(0);
        bar->SetScrollPos(0);
        relayout();
        return true;
    }
    int range = required - viewport;
    if (!bar->IsVisible()) {
        bar->SetVisible(true);
        bar->SetScrollRange(range);
        bar->SetScrollPos(0);
        relayout();
        return true;
    }
    // The vertical bar stands right of the client area, the horizontal one below it.
    RECT pos = vertical ? RECT{rc.right, rc.top, rc.right + bar->GetFixedWidth(), rc.bottom}
                        : RECT{rc.left, rc.bottom, rc.right, rc.bottom + bar->GetFixedHeight()};
    bar->SetPos(pos, false);
    if (bar->GetScrollRange() != range) {
        int last = bar->GetScrollPos();
        bar->SetScrollRange(range);
        if (last > bar->GetScrollPos()) relayout();
    }
    return false;
}

void CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT rcTemp;
    if (!::IntersectRect(&rcTemp, &rcPaint, &rcItem_)) return;
    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, rcTemp, clip);
    rcPaint_ = rcTemp;
    PaintLayers(hDC, false);

    if (!items_.IsEmpty()) {
        RECT client = GetClientRect();
        RECT childArea;
        if (!::IntersectRect(&childArea, &rcPaint, &client)) {
            // Only float children can show outside the client area.
            for (int i = 0; i < items_.GetSize(); ++i) {
                CControlUI* control = GetChildAt(i);
                if (!control->IsVisible() || !control->IsFloat()) continue;
                RECT pos = control->GetPos();
                if (!::IntersectRect(&rcTemp, &rcPaint, &pos)) continue;
                control->DoPaint(hDC, rcPaint);
            }
        } else {
            CRenderClip childClip;
            CRenderClip::GenerateClip(hDC, childArea, childClip);
            for (int i = 0; i < items_.GetSize(); ++i) {
                CControlUI* control = GetChildAt(i);
                if (!control->IsVisible()) continue;
                RECT pos = control->GetPos();
                if (!::IntersectRect(&rcTemp, &rcPaint, &pos)) continue;
                if (control->IsFloat()) {
                    if (!::IntersectRect(&rcTemp, &rcItem_, &pos)) continue;
                    CRenderClip::UseOldClipBegin(hDC, childClip);
                    control->DoPaint(hDC, rcPaint);
                    CRenderClip::UseOldClipEnd(hDC, childClip);
                } else {
                    if (!::IntersectRect(&rcTemp, &client, &pos)) continue;
                    control->DoPaint(hDC, rcPaint);
                }
            }
        }
    }
    rcPaint_ = rcTemp;
    ::IntersectRect(&rcPaint_, &rcPaint, &rcItem_);
    PaintBorder(hDC);
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        RECT pos = verticalScrollBar_->GetPos();
        if (::IntersectRect(&rcTemp, &rcPaint, &pos)) verticalScrollBar_->DoPaint(hDC, rcPaint);
    }
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) {
        RECT pos = horizontalScrollBar_->GetPos();
        if (::IntersectRect(&rcTemp, &rcPaint, &pos)) horizontalScrollBar_->DoPaint(hDC, rcPaint);
    }
}

void CContainerUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    RECT rc;
    int number;
    if (n == L"inset") {
        if (detail::ParseRect(value, rc)) SetInset(rc);
    } else if (n == L"mousechild") {
        SetMouseChildEnabled(detail::ParseBool(value));
    } else if (n == L"vscrollbar") {
        EnableScrollBar(detail::ParseBool(value), GetHorizontalScrollBar() != nullptr);
    } else if (n == L"vscrollbarstyle") {
        EnableScrollBar(true, GetHorizontalScrollBar() != nullptr);
        if (GetVerticalScrollBar()) GetVerticalScrollBar()->ApplyAttributeList(value);
    } else if (n == L"hscrollbar") {
        EnableScrollBar(GetVerticalScrollBar() != nullptr, detail::ParseBool(value));
    } else if (n == L"hscrollbarstyle") {
        EnableScrollBar(GetVerticalScrollBar() != nullptr, true);
        if (GetHorizontalScrollBar()) GetHorizontalScrollBar()->ApplyAttributeList(value);
    } else if (n == L"childpadding") {
        if (detail::ParseInt(value, number)) SetChildPadding(number);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init) {
    for (int i = 0; i < items_.GetSize(); ++i) GetChildAt(i)->SetManager(pManager, this, init);
    if (verticalScrollBar_) verticalScrollBar_->SetManager(pManager, this, init);
    if (horizontalScrollBar_) horizontalScrollBar_->SetManager(pManager, this, init);
    CControlUI::SetManager(pManager, pParent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
    if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((flags & UIFIND_HITTEST) && !::PtInRect(&rcItem_, *static_cast<const POINT*>(data))) return nullptr;
    if ((flags & UIFIND_HITTEST) && !mouseChildEnabled_) {
        CControlUI* result = nullptr;
        if (verticalScrollBar_) result = verticalScrollBar_->FindControl(proc, data, flags);
        if (!result && horizontalScrollBar_) result = horizontalScrollBar_->FindControl(proc, data, flags);
        if (!result) result = CControlUI::FindControl(proc, data, flags);
        return result;
    }
    if (flags & UIFIND_ME_FIRST) {
        if (CControlUI* result = CControlUI::FindControl(proc, data, flags)) return result;
    }
    if (verticalScrollBar_) {
        if (CControlUI* result = verticalScrollBar_->FindControl(proc, data, flags)) return result;
    }
    if (horizontalScrollBar_) {
        if (CControlUI* result = horizontalScrollBar_->FindControl(proc, data, flags)) return result;
    }
    RECT client = GetClientRect();
    int count = items_.GetSize();
    for (int k = 0; k < count; ++k) {
        int i = (flags & UIFIND_TOP_FIRST) ? count - 1 - k : k;
        CControlUI* control = GetChildAt(i);
        if (!control) continue;
        if ((flags & UIFIND_HITTEST) && !control->IsFloat() && !::PtInRect(&client, *static_cast<const POINT*>(data))) {
            continue;
        }
        if (CControlUI* result = control->FindControl(proc, data, flags)) return result;
    }
    if (!(flags & UIFIND_ME_FIRST)) return CControlUI::FindControl(proc, data, flags);
    return nullptr;
}

bool CContainerUI::SetSubControlText(LPCTSTR subControlName, LPCTSTR text) {
    CControlUI* control = FindSubControl(subControlName);
    if (!control) return false;
    control->SetText(text);
    return true;
}

CControlUI* CContainerUI::FindSubControl(LPCTSTR subControlName) {
    return manager_ ? manager_->FindSubControlByName(this, subControlName) : nullptr;
}

// ---- linear layouts ------------------------------------------------------------------

LPCTSTR CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }
LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    LayOutLine(GetClientRect(), true);
}

LPCTSTR CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }
LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    LayOutLine(GetClientRect(), false);
}

void CContainerUI::LayOutLine(RECT client, bool vertical) {
    if (items_.IsEmpty()) {
        ProcessScrollBar(client, 0, 0);
        return;
    }
    // "Main" is the stacking axis, "cross" the other one.
    auto mainOf = [vertical](SIZE& size) -> LONG& { return vertical ? size.cy : size.cx; };
    auto crossOf = [vertical](SIZE& size) -> LONG& { return vertical ? size.cx : size.cy; };
    auto mainMin = [vertical](CControlUI* c) { return vertical ? c->GetMinHeight() : c->GetMinWidth(); };
    auto mainMax = [vertical](CControlUI* c) { return vertical ? c->GetMaxHeight() : c->GetMaxWidth(); };
    auto crossMin = [vertical](CControlUI* c) { return vertical ? c->GetMinWidth() : c->GetMinHeight(); };
    auto crossMax = [vertical](CControlUI* c) { return vertical ? c->GetMaxWidth() : c->GetMaxHeight(); };
    auto mainPadding = [vertical](const RECT& p) { return vertical ? p.top + p.bottom : p.left + p.right; };
    auto crossPadding = [vertical](const RECT& p) { return vertical ? p.left + p.right : p.top + p.bottom; };

    SIZE available = {client.right - client.left, client.bottom - client.top};
    // Children may span the scrolled-away part of the cross axis.
    CScrollBarUI* crossBar = vertical ? horizontalScrollBar_ : verticalScrollBar_;
    if (crossBar && crossBar->IsVisible()) crossOf(available) += crossBar->GetScrollRange();
    int childPadding = GetChildPadding();

    // Pass 1: fixed extents and the number of stretching children.
    int stretchCount = 0, fixedTotal = 0, counted = 0;
    for (int i = 0; i < items_.GetSize(); ++i) {
        CControlUI* control = GetChildAt(i);
        if (!control->IsVisible() || control->IsFloat()) continue;
        SIZE sz = control->EstimateSize(available);
        if (mainOf(sz) == 0) {
            ++stretchCount;
        } else {
            fixedTotal += Clamp(mainOf(sz), mainMin(control), mainMax(control));
        }
        fixedTotal += mainPadding(control->GetPadding());
        ++counted;
    }
    if (counted > 1) fixedTotal += (counted - 1) * childPadding;
    int stretchSpace = std::max(0, static_cast<int>(mainOf(available)) - fixedTotal);
    int share = stretchCount > 0 ? stretchSpace / stretchCount : 0;

    // Pass 2: placement.
    SIZE scroll = GetScrollPos();
    int x = client.left - scroll.cx;
    int y = client.top - scroll.cy;
    int& cursor = vertical ? y : x;
    int stretchSeen = 0, stretchLeft = stretchSpace, mainNeeded = 0, crossNeeded = 0, placed = 0;
    for (int i = 0; i < items_.GetSize(); ++i) {
        CControlUI* control = GetChildAt(i);
        if (!control->IsVisible()) continue;
        if (control->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        RECT padding = control->GetPadding();
        SIZE sz = control->EstimateSize(available);
        LONG& main = mainOf(sz);
        if (main == 0) {
            ++stretchSeen;
            main = stretchSeen == stretchCount ? stretchLeft : share;
            main = Clamp(main, mainMin(control), mainMax(control));
            stretchLeft = std::max(0, stretchLeft - static_cast<int>(main));
        } else {
            main = Clamp(main, mainMin(control), mainMax(control));
        }
        LONG& cross = crossOf(sz);
        if (cross == 0) cross = crossOf(available) - crossPadding(padding);
        cross = Clamp(cross, crossMin(control), crossMax(control));
        if (cross < 0) cross = 0;
        RECT rcCtrl = {x + padding.left, y + padding.top, x + padding.left + sz.cx, y + padding.top + sz.cy};
        control->SetPos(rcCtrl, false);
        int extent = mainPadding(padding) + main;
        cursor += extent + childPadding;
        mainNeeded += extent;
        crossNeeded = std::max(crossNeeded, static_cast<int>(crossPadding(padding) + cross));
        ++placed;
    }
    if (placed > 1) mainNeeded += (placed - 1) * childPadding;
    ProcessScrollBar(client, vertical ? crossNeeded : mainNeeded, vertical ? mainNeeded : crossNeeded);
}

// ---- tab layout ----------------------------------------------------------------------

LPCTSTR CTabLayoutUI::GetClass() const { return L"TabLayoutUI"; }
LPVOID CTabLayoutUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"TabLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* pControl) { return AddAt(pControl, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* pControl, int index) {
    if (!CContainerUI::AddAt(pControl, index)) return false;
    if (curSel_ == -1 && pControl->IsVisible()) {
        curSel_ = index;
    } else {
        if (curSel_ >= index) ++curSel_;  // inserted before the current page
        pControl->SetVisible(false);
    }
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    if (index < 0) return false;
    if (!CContainerUI::RemoveAt(index)) return false;
    if (curSel_ == index) {
        if (GetCount() > 0) {
            curSel_ = 0;
            GetChildAt(0)->SetVisible(true);
        } else {
            curSel_ = -1;
        }
        NeedParentUpdate();
    } else if (curSel_ > index) {
        --curSel_;
    }
    return true;
}

void CTabLayoutUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
    NeedParentUpdate();
}

int CTabLayoutUI::GetCurSel() const { return curSel_; }

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == curSel_) return true;
    int old = curSel_;
    curSel_ = index;
    // The keyboard focus follows the page only in a window that has it: a page switched by
    // a timer must not pull the focus from a menu or dialog the user is in.
    bool windowHasFocus = manager_ && manager_->GetPaintWindow() && ::GetFocus() == manager_->GetPaintWindow();
    for (int i = 0; i < GetCount(); ++i) {
        if (i == index) {
            GetChildAt(i)->SetVisible(true);
            if (windowHasFocus) GetChildAt(i)->SetFocus();
        } else {
            GetChildAt(i)->SetVisible(false);
        }
    }
    NeedParentUpdate();
    if (manager_) {
        if (windowHasFocus) manager_->SetNextTabControl();
        manager_->SendNotify(this, DUI_MSGTYPE_TABSELECT, curSel_, old);
    }
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    return index >= 0 && SelectItem(index);
}

void CTabLayoutUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    int number;
    if (name && value && wcscmp(name, L"selectedid") == 0) {
        if (detail::ParseInt(value, number)) SelectItem(number);
        return;
    }
    CContainerUI::SetAttribute(name, value);
}

void CTabLayoutUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    RECT client = GetClientRect();
    for (int i = 0; i < items_.GetSize(); ++i) {
        CControlUI* control = GetChildAt(i);
        if (!control->IsVisible()) continue;
        if (control->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        if (i != curSel_) continue;
        RECT padding = control->GetPadding();
        RECT area = {client.left + padding.left, client.top + padding.top, client.right - padding.right,
                     client.bottom - padding.bottom};
        SIZE available = {area.right - area.left, area.bottom - area.top};
        SIZE sz = control->EstimateSize(available);
        if (sz.cx == 0) sz.cx = std::max(0, static_cast<int>(available.cx));
        if (sz.cy == 0) sz.cy = std::max(0, static_cast<int>(available.cy));
        sz.cx = Clamp(sz.cx, control->GetMinWidth(), control->GetMaxWidth());
        sz.cy = Clamp(sz.cy, control->GetMinHeight(), control->GetMaxHeight());
        control->SetPos({area.left, area.top, area.left + sz.cx, area.top + sz.cy}, false);
    }
}

}  // namespace winhush::dui
