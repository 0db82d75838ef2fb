#include "ui/dui/UIList.h"

#include <algorithm>

#include "ui/dui/UIDlgBuilder.h"
#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"
#include "ui/dui/UIScrollBar.h"

namespace winhush::dui {

bool SetListInfoAttribute(TListInfoUI& info, const std::wstring& n, LPCTSTR value) {
    DWORD color;
    RECT rc;
    int number;
    if (n == L"itemfont") {
        if (detail::ParseInt(value, number)) info.nFont = number;
    } else if (n == L"itemalign") {
        ApplyHorizontalAlign(info.uTextStyle, value);
    } else if (n == L"itemendellipsis") {
        SetStyleFlag(info.uTextStyle, DT_END_ELLIPSIS, detail::ParseBool(value));
    } else if (n == L"itemtextpadding") {
        if (detail::ParseRect(value, rc)) info.rcTextPadding = rc;
    } else if (n == L"itemtextcolor") {
        if (detail::ParseColor(value, color)) info.dwTextColor = color;
    } else if (n == L"itembkcolor") {
        if (detail::ParseColor(value, color)) info.dwBkColor = color;
    } else if (n == L"itembkimage") {
        info.sBkImage = value;
    } else if (n == L"itemaltbk") {
        info.bAlternateBk = detail::ParseBool(value);
    } else if (n == L"itemselectedtextcolor") {
        if (detail::ParseColor(value, color)) info.dwSelectedTextColor = color;
    } else if (n == L"itemselectedbkcolor") {
        if (detail::ParseColor(value, color)) info.dwSelectedBkColor = color;
    } else if (n == L"itemselectedimage") {
        info.sSelectedImage = value;
    } else if (n == L"itemhottextcolor") {
        if (detail::ParseColor(value, color)) info.dwHotTextColor = color;
    } else if (n == L"itemhotbkcolor") {
        if (detail::ParseColor(value, color)) info.dwHotBkColor = color;
    } else if (n == L"itemhotimage") {
        info.sHotImage = value;
    } else if (n == L"itemdisabledtextcolor") {
        if (detail::ParseColor(value, color)) info.dwDisabledTextColor = color;
    } else if (n == L"itemdisabledbkcolor") {
        if (detail::ParseColor(value, color)) info.dwDisabledBkColor = color;
    } else if (n == L"itemdisabledimage") {
        info.sDisabledImage = value;
    } else if (n == L"itemlinecolor") {
        if (detail::ParseColor(value, color)) info.dwLineColor = info.dwHLineColor = color;
    } else if (n == L"itemhlinesize") {
        if (detail::ParseInt(value, number)) info.iHLineSize = std::max(number, 0);
    } else if (n == L"itemhlinecolor") {
        if (detail::ParseColor(value, color)) info.dwHLineColor = color;
    } else if (n == L"itemvlinesize") {
        if (detail::ParseInt(value, number)) info.iVLineSize = std::max(number, 0);
    } else if (n == L"itemvlinecolor") {
        if (detail::ParseColor(value, color)) info.dwVLineColor = color;
    } else if (n == L"itemshowhtml") {
        info.bShowHtml = detail::ParseBool(value);
    } else {
        return false;
    }
    return true;
}

IListItemUI* AsListItem(CControlUI* control) {
    return control ? static_cast<IListItemUI*>(control->GetInterface(L"ListItem")) : nullptr;
}

void DeselectRow(const IContainerUI& owner, int& index) {
    if (index < 0) return;
    if (IListItemUI* item = AsListItem(owner.GetItemAt(index))) item->Select(false, false);
    index = -1;
}

namespace {

// Background of a row by state: disabled > selected > hot > normal or alternate.
void DrawRowBk(HDC hDC, CControlUI* row, const RECT& rc, TListInfoUI* info, bool selected, UINT state, int index) {
    if (!info) return;
    DWORD color = 0;
    const CDuiString* image = nullptr;
    if (!row->IsEnabled()) {
        color = info->dwDisabledBkColor;
        image = &info->sDisabledImage;
    } else if (selected) {
        color = info->dwSelectedBkColor;
        image = &info->sSelectedImage;
    } else if (state & UISTATE_HOT) {
        color = info->dwHotBkColor;
        image = &info->sHotImage;
    } else {
        color = info->dwBkColor;
        if (info->bAlternateBk && index % 2 == 1 && color) {
            // Alternate rows slightly darker than the normal background.
            BYTE r = static_cast<BYTE>(((color >> 16) & 0xFF) * 97 / 100);
            BYTE g = static_cast<BYTE>(((color >> 8) & 0xFF) * 97 / 100);
            BYTE b = static_cast<BYTE>((color & 0xFF) * 97 / 100);
            color = (color & 0xFF000000) | (r << 16) | (g << 8) | b;
        }
        image = &info->sBkImage;
    }
    CRenderEngine::DrawColor(hDC, rc, color);
    if (image && !image->empty()) row->DrawImage(hDC, image->c_str());
    if (info->iHLineSize > 0) {
        int size = row->DpiScale(info->iHLineSize);
        CRenderEngine::DrawColor(hDC, {rc.left, rc.bottom - size, rc.right, rc.bottom}, info->dwHLineColor);
    }
}

}  // namespace

// ---- CListUI -------------------------------------------------------------------------

CListUI::CListUI() {
    header_ = new CListHeaderUI;
    list_ = new CListBodyUI(this);
    scrollBody_ = list_;
    CVerticalLayoutUI::AddAt(header_, 0);
    CVerticalLayoutUI::AddAt(list_, 1);
}

LPCTSTR CListUI::GetClass() const { return L"ListUI"; }
UINT CListUI::GetControlFlags() const { return UIFLAG_TABSTOP; }
LPVOID CListUI::GetInterface(LPCTSTR name) {
    if (!name) return nullptr;
    if (wcscmp(name, L"List") == 0) return static_cast<CListUI*>(this);
    if (wcscmp(name, L"IList") == 0) return static_cast<IListUI*>(this);
    if (wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::GetScrollSelect() const { return scrollSelect_; }
void CListUI::SetScrollSelect(bool scrollSelect) { scrollSelect_ = scrollSelect; }
int CListUI::GetCurSel() const { return curSel_; }
CListHeaderUI* CListUI::GetHeader() const { return header_; }
CContainerUI* CListUI::GetList() const { return list_; }
TListInfoUI* CListUI::GetListInfo() { return &listInfo_; }

CControlUI* CListUI::GetItemAt(int index) const { return list_->GetItemAt(index); }
int CListUI::GetItemIndex(CControlUI* pControl) const {
    if (pControl && pControl->GetInterface(L"ListHeader")) return CVerticalLayoutUI::GetItemIndex(pControl);
    if (pControl && pControl->GetInterface(L"ListHeaderItem")) return header_->GetItemIndex(pControl);
    return list_->GetItemIndex(pControl);
}

static void Reindex(CContainerUI* body, int from) {
    for (int i = std::max(from, 0); i < body->GetCount(); ++i) {
        auto* item = static_cast<IListItemUI*>(body->GetItemAt(i)->GetInterface(L"ListItem"));
        if (item) item->SetIndex(i);
    }
}

bool CListUI::SetItemIndex(CControlUI* pControl, int index) {
    int old = list_->GetItemIndex(pControl);
    if (old < 0 || !list_->SetItemIndex(pControl, index)) return false;
    Reindex(list_, std::min(old, index));
    return true;
}

int CListUI::GetCount() const { return list_->GetCount(); }

bool CListUI::AddAt(CControlUI* pControl, int index) {
    if (!pControl) return false;
    if (pControl->GetInterface(L"ListHeader")) return ReplaceHeader(header_, pControl);
    if (pControl->GetInterface(L"ListHeaderItem")) return header_->Add(pControl);
    if (!list_->AddAt(pControl, index)) return false;
    if (auto* item = static_cast<IListItemUI*>(pControl->GetInterface(L"ListItem"))) item->SetOwner(this);
    Reindex(list_, index);
    if (curSel_ >= index) ++curSel_;
    return true;
}

bool CListUI::Remove(CControlUI* pControl) {
    if (pControl && pControl->GetInterface(L"ListHeader")) return CVerticalLayoutUI::Remove(pControl);
    if (pControl && pControl->GetInterface(L"ListHeaderItem")) return header_->Remove(pControl);
    int index = list_->GetItemIndex(pControl);
    return index >= 0 && RemoveAt(index);
}

bool CListUI::RemoveAt(int index) {
    if (!list_->RemoveAt(index)) return false;
    Reindex(list_, index);
    if (index == curSel_) {
        curSel_ = -1;
    } else if (index < curSel_) {
        --curSel_;
    }
    return true;
}

void CListUI::RemoveAll() {
    curSel_ = -1;
    list_->RemoveAll();
}

bool CListUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index == curSel_) return true;
    int old = curSel_;
    DeselectRow(*this, curSel_);
    if (index < 0) return false;
    CControlUI* control = GetItemAt(index);
    if (!control || !control->IsVisible() || !control->IsEnabled()) return false;
    auto* item = static_cast<IListItemUI*>(control->GetInterface(L"ListItem"));
    if (!item) return false;
    curSel_ = index;
    if (!item->Select(true, false)) {
        curSel_ = -1;
        return false;
    }
    EnsureVisible(index);
    if (takeFocus) control->SetFocus();
    if (triggerEvent && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, curSel_, old);
    return true;
}

void CListUI::EnsureVisible(int index) {
    CControlUI* control = GetItemAt(index);
    if (!control) return;
    RECT item = control->GetPos();
    RECT body = list_->GetPos();
    RECT inset = list_->GetInset();
    body.top += inset.top;
    body.bottom -= inset.bottom;
    if (list_->GetHorizontalScrollBar() && list_->GetHorizontalScrollBar()->IsVisible()) {
        body.bottom -= list_->GetHorizontalScrollBar()->GetFixedHeight();
    }
    int dy = 0;
    if (item.top < body.top) dy = item.top - body.top;
    if (item.bottom > body.bottom) dy = item.bottom - body.bottom;
    if (dy) Scroll(0, dy);
}

void CListUI::Scroll(int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    SIZE sz = list_->GetScrollPos();
    list_->SetScrollPos({sz.cx + dx, sz.cy + dy});
}

CDuiString CListUI::GetContainerItemXML() const { return containerItemXml_; }
void CListUI::SetContainerItemXML(LPCTSTR layoutName) { containerItemXml_ = layoutName ? layoutName : L""; }

CControlUI* CListUI::AddContainerItem(IDialogBuilderCallback* callback) {
    if (containerItemXml_.empty()) return nullptr;
    CDialogBuilder builder;
    CControlUI* row = builder.Create(containerItemXml_.c_str(), nullptr, callback, manager_, nullptr);
    if (!row) return nullptr;
    if (!Add(row)) {
        delete row;
        return nullptr;
    }
    return row;
}

void CListUI::SetPos(RECT rc, bool needInvalidate) {
    CVerticalLayoutUI::SetPos(rc, needInvalidate);
    if (!header_) return;
    ReadColumns(header_, listInfo_);
    if (!header_->IsVisible()) {
        for (int i = 0; i < listInfo_.nColumns; ++i) {
            listInfo_.rcColumn[i].top = rc.top;
            listInfo_.rcColumn[i].bottom = rc.top;
        }
    }
}

void CListUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SCROLLWHEEL && scrollSelect_ && IsMouseEnabled()) {
        bool up = LOWORD(event.wParam) == SB_LINEUP;
        SelectItem(up ? list_->FindSelectable(curSel_ - 1, false) : list_->FindSelectable(curSel_ + 1, true), true);
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN) {
        switch (event.chKey) {
            case VK_UP:
                SelectItem(list_->FindSelectable(curSel_ - 1, false), true);
                return;
            case VK_DOWN:
                SelectItem(list_->FindSelectable(curSel_ + 1, true), true);
                return;
            case VK_HOME:
                SelectItem(list_->FindSelectable(0, true), true);
                return;
            case VK_END:
                SelectItem(list_->FindSelectable(GetCount() - 1, false), true);
                return;
            case VK_RETURN:
                if (curSel_ >= 0 && GetItemAt(curSel_)) GetItemAt(curSel_)->Activate();
                return;
            default:
                break;
        }
    }
    if (DoFrameEvent(event, true)) return;
    CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    if (n == L"header") {
        header_->SetVisible(wcscmp(value, L"hidden") != 0 && wcscmp(value, L"false") != 0);
    } else if (n == L"scrollselect") {
        SetScrollSelect(detail::ParseBool(value));
    } else if (n == L"containeritemxml") {
        SetContainerItemXML(value);
    } else if (!SetFrameAttribute(header_, listInfo_, name, value)) {
        CVerticalLayoutUI::SetAttribute(name, value);
    }
}

// ---- CListFrameUI --------------------------------------------------------------------

SIZE CListFrameUI::GetScrollPos() const { return scrollBody_->GetScrollPos(); }
SIZE CListFrameUI::GetScrollRange() const { return scrollBody_->GetScrollRange(); }
void CListFrameUI::SetScrollPos(SIZE szPos) { scrollBody_->SetScrollPos(szPos); }
void CListFrameUI::LineUp() { scrollBody_->LineUp(); }
void CListFrameUI::LineDown() { scrollBody_->LineDown(); }
void CListFrameUI::PageUp() { scrollBody_->PageUp(); }
void CListFrameUI::PageDown() { scrollBody_->PageDown(); }
void CListFrameUI::HomeUp() { scrollBody_->HomeUp(); }
void CListFrameUI::EndDown() { scrollBody_->EndDown(); }
void CListFrameUI::LineLeft() { scrollBody_->LineLeft(); }
void CListFrameUI::LineRight() { scrollBody_->LineRight(); }
void CListFrameUI::PageLeft() { scrollBody_->PageLeft(); }
void CListFrameUI::PageRight() { scrollBody_->PageRight(); }
void CListFrameUI::HomeLeft() { scrollBody_->HomeLeft(); }
void CListFrameUI::EndRight() { scrollBody_->EndRight(); }
void CListFrameUI::EnableScrollBar(bool enableVertical, bool enableHorizontal) {
    scrollBody_->EnableScrollBar(enableVertical, enableHorizontal);
}
CScrollBarUI* CListFrameUI::GetVerticalScrollBar() const { return scrollBody_->GetVerticalScrollBar(); }
CScrollBarUI* CListFrameUI::GetHorizontalScrollBar() const { return scrollBody_->GetHorizontalScrollBar(); }

bool CListFrameUI::DoFrameEvent(TEventUI& event, bool pageKeys) {
    if (PassMouseWhenDisabled(event)) return true;
    switch (event.Type) {
        case UIEVENT_SETFOCUS:
        case UIEVENT_KILLFOCUS:
            // Unlike a container, a list shows its focus: the control's handling.
            CControlUI::DoEvent(event);
            return true;
        case UIEVENT_KEYDOWN:
            if (!pageKeys || (event.chKey != VK_PRIOR && event.chKey != VK_NEXT)) return false;
            if (event.chKey == VK_PRIOR) {
                PageUp();
            } else {
                PageDown();
            }
            return true;
        case UIEVENT_SCROLLWHEEL:
            if (LOWORD(event.wParam) == SB_LINEUP) {
                LineUp();
            } else {
                LineDown();
            }
            return true;
        default:
            return false;
    }
}

bool CListFrameUI::SetFrameAttribute(CListHeaderUI* header, TListInfoUI& info, LPCTSTR name, LPCTSTR value) {
    std::wstring n = name;
    if (n == L"headerbkimage") {
        header->SetBkImage(value);
    } else if (n == L"vscrollbar" || n == L"hscrollbar" || n == L"vscrollbarstyle" || n == L"hscrollbarstyle") {
        scrollBody_->SetAttribute(name, value);
    } else if (SetListInfoAttribute(info, n, value)) {
        Invalidate();
    } else {
        return false;
    }
    return true;
}

void CListFrameUI::ReadColumns(CListHeaderUI* header, TListInfoUI& info) const {
    int column = 0;
    int shift = scrollBody_->GetScrollPos().cx;
    for (int i = 0; i < header->GetCount() && column < UILIST_MAX_COLUMNS; ++i) {
        CControlUI* item = header->GetItemAt(i);
        if (!item->IsVisible() || item->IsFloat()) continue;
        RECT pos = item->GetPos();
        ::OffsetRect(&pos, -shift, 0);
        info.rcColumn[column++] = pos;
    }
    info.nColumns = column;
}

bool CListFrameUI::ReplaceHeader(CListHeaderUI*& header, CControlUI* replacement) {
    if (replacement == header) return false;
    CVerticalLayoutUI::Remove(header);
    header = static_cast<CListHeaderUI*>(replacement);
    return CVerticalLayoutUI::AddAt(replacement, 0);
}

// ---- CListBodyUI ---------------------------------------------------------------------

CListBodyUI::CListBodyUI(CListUI* owner) : owner_(owner) {}

void CListBodyUI::SetScrollPos(SIZE szPos) {
    int oldX = GetScrollPos().cx;
    CVerticalLayoutUI::SetScrollPos(szPos);
    if (GetScrollPos().cx != oldX && owner_) owner_->NeedUpdate();  // header columns follow
}

void CListBodyUI::SetPos(RECT rc, bool needInvalidate) { CVerticalLayoutUI::SetPos(rc, needInvalidate); }

void CListBodyUI::DoEvent(TEventUI& event) {
    if (owner_) {
        owner_->DoEvent(event);
    } else {
        CVerticalLayoutUI::DoEvent(event);
    }
}

// ---- header --------------------------------------------------------------------------

CListHeaderUI::CListHeaderUI() = default;
LPCTSTR CListHeaderUI::GetClass() const { return L"ListHeaderUI"; }
LPVOID CListHeaderUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListHeader") == 0) return this;
    return CHorizontalLayoutUI::GetInterface(name);
}

SIZE CListHeaderUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy != 0 || !manager_) return CHorizontalLayoutUI::EstimateSize(szAvailable);
    if (GetCount() == 0) return {0, 0};
    int height = manager_->GetDefaultFontInfo()->tm.tmHeight + DpiScale(6);
    for (int i = 0; i < GetCount(); ++i)
        height = std::max(height, static_cast<int>(GetItemAt(i)->EstimateSize(szAvailable).cy));
    return {GetFixedWidth(), height};
}

CListHeaderItemUI::CListHeaderItemUI() = default;
LPCTSTR CListHeaderItemUI::GetClass() const { return L"ListHeaderItemUI"; }
LPVOID CListHeaderItemUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListHeaderItem") == 0) return this;
    return CControlUI::GetInterface(name);
}
UINT CListHeaderItemUI::GetControlFlags() const { return IsEnabled() && sepWidth_ != 0 ? UIFLAG_SETCURSOR : 0; }
void CListHeaderItemUI::SetEnabled(bool enable) {
    CControlUI::SetEnabled(enable);
    if (!enable) buttonState_ = 0;
}
bool CListHeaderItemUI::IsDragable() const { return dragable_; }
void CListHeaderItemUI::SetDragable(bool dragable) { dragable_ = dragable; }
DWORD CListHeaderItemUI::GetSepWidth() const { return static_cast<DWORD>(DpiScale(sepWidth_)); }
void CListHeaderItemUI::SetSepWidth(int width) { sepWidth_ = width; }
void CListHeaderItemUI::SetTextStyle(UINT style) { textStyle_ = style; }
void CListHeaderItemUI::SetTextColor(DWORD color) { textColor_ = color; }
void CListHeaderItemUI::SetSepColor(DWORD color) { sepColor_ = color; }
void CListHeaderItemUI::SetTextPadding(RECT rc) { rcTextPadding_ = rc; }
void CListHeaderItemUI::SetFont(int index) { font_ = index; }
void CListHeaderItemUI::SetShowHtml(bool showHtml) { showHtml_ = showHtml; }

void CListHeaderItemUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    std::wstring v = value;
    DWORD color;
    int number;
    if (n == L"dragable") {
        SetDragable(detail::ParseBool(value));
    } else if (n == L"sepwidth") {
        if (detail::ParseInt(value, number)) SetSepWidth(number);
    } else if (n == L"align") {
        textStyle_ &= ~(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (v.find(L"left") != std::wstring::npos) textStyle_ |= DT_LEFT;
        if (v.find(L"center") != std::wstring::npos) textStyle_ |= DT_CENTER;
        if (v.find(L"right") != std::wstring::npos) textStyle_ |= DT_RIGHT;
    } else if (n == L"endellipsis") {
        SetStyleFlag(textStyle_, DT_END_ELLIPSIS, detail::ParseBool(value));
    } else if (n == L"sepcolor") {
        if (detail::ParseColor(value, color)) SetSepColor(color);
    } else if (!SetTextLookAttribute(*this, n, value)) {
        CControlUI::SetAttribute(name, value);
    }
}

RECT CListHeaderItemUI::GetThumbRect() const {
    int sep = DpiScale(sepWidth_);
    if (sep >= 0) return {rcItem_.right - sep, rcItem_.top, rcItem_.right, rcItem_.bottom};
    return {rcItem_.left, rcItem_.top, rcItem_.left - sep, rcItem_.bottom};
}

void CListHeaderItemUI::DoEvent(TEventUI& event) {
    if (PassMouseWhenDisabled(event)) return;
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK: {
            if (!IsEnabled()) return;
            RECT thumb = GetThumbRect();
            if (dragable_ && sepWidth_ != 0 && ::PtInRect(&thumb, event.ptMouse)) {
                buttonState_ |= UISTATE_CAPTURED;
                lastMouse_ = event.ptMouse;
            }
            return;
        }
        case UIEVENT_BUTTONUP:
            buttonState_ &= ~UISTATE_CAPTURED;
            return;
        case UIEVENT_MOUSEMOVE:
            if (buttonState_ & UISTATE_CAPTURED) {
                // Column resize; the stored width is in 96-DPI units.
                int width = GetWidth() + (event.ptMouse.x - lastMouse_.x);
                lastMouse_ = event.ptMouse;
                UINT dpi = manager_ ? manager_->GetDPI() : 96;
                int design = ::MulDiv(std::max(width, 16), 96, static_cast<int>(dpi));
                SetFixedWidth(design);
            }
            return;
        case UIEVENT_SETCURSOR: {
            RECT thumb = GetThumbRect();
            if (dragable_ && sepWidth_ != 0 && IsEnabled() && ::PtInRect(&thumb, event.ptMouse)) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
                return;
            }
            break;
        }
        default:
            break;
    }
    CControlUI::DoEvent(event);
}

SIZE CListHeaderItemUI::EstimateSize(SIZE szAvailable) {
    if (cxyFixed_.cy == 0 && manager_) {
        return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(font_)->tm.tmHeight + DpiScale(14))};
    }
    return CControlUI::EstimateSize(szAvailable);
}

void CListHeaderItemUI::PaintText(HDC hDC) {
    if (text_.empty() || !manager_) return;
    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    RECT padding = DpiScale(rcTextPadding_);
    RECT rc = {rcItem_.left + padding.left, rcItem_.top + padding.top, rcItem_.right - padding.right,
               rcItem_.bottom - padding.bottom};
    if (showHtml_) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), color, nullptr, nullptr, links,
                                    DT_SINGLELINE | textStyle_);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), color, font_, DT_SINGLELINE | textStyle_);
    }
}

void CListHeaderItemUI::PaintBorder(HDC hDC) {
    CControlUI::PaintBorder(hDC);
    if (sepColor_ && sepWidth_ != 0) {
        int line = DpiScale(1);
        int margin = GetHeight() / 4;
        CRenderEngine::DrawColor(
            hDC, {rcItem_.right - line, rcItem_.top + margin, rcItem_.right, rcItem_.bottom - margin}, sepColor_);
    }
}

// ---- rows ------------------------------------------------------------------------------

template <class TBase>
UINT CListItemBaseUI<TBase>::GetControlFlags() const {
    return UIFLAG_WANTRETURN;
}
template <class TBase>
LPVOID CListItemBaseUI<TBase>::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListItem") == 0) return static_cast<IListItemUI*>(this);
    return TBase::GetInterface(name);
}
template <class TBase>
void CListItemBaseUI<TBase>::SetEnabled(bool enable) {
    TBase::SetEnabled(enable);
    if (!enable) buttonState_ = 0;
}
template <class TBase>
int CListItemBaseUI<TBase>::GetIndex() const {
    return index_;
}
template <class TBase>
void CListItemBaseUI<TBase>::SetIndex(int index) {
    index_ = index;
}
template <class TBase>
IListOwnerUI* CListItemBaseUI<TBase>::GetOwner() {
    return owner_;
}
template <class TBase>
void CListItemBaseUI<TBase>::SetOwner(CControlUI* pOwner) {
    owner_ = pOwner ? static_cast<IListOwnerUI*>(pOwner->GetInterface(L"IListOwner")) : nullptr;
}
template <class TBase>
void CListItemBaseUI<TBase>::SetVisible(bool visible) {
    if (this->visible_ == visible) return;
    TBase::SetVisible(visible);
    if (!this->IsVisible() && selected_) {
        selected_ = false;
        if (owner_) owner_->SelectItem(-1);
    }
}
template <class TBase>
bool CListItemBaseUI<TBase>::IsSelected() const {
    return selected_;
}
template <class TBase>
bool CListItemBaseUI<TBase>::Select(bool select, bool triggerEvent) {
    if (!this->IsEnabled()) return false;
    if (select == selected_) return true;
    selected_ = select;
    if (select && owner_) owner_->SelectItem(index_, false, triggerEvent);
    Invalidate();
    return true;
}
template <class TBase>
bool CListItemBaseUI<TBase>::IsExpanded() const {
    return false;
}
template <class TBase>
bool CListItemBaseUI<TBase>::Expand(bool) {
    return false;
}
template <class TBase>
void CListItemBaseUI<TBase>::Invalidate() {
    TBase::Invalidate();
}

template <class TBase>
bool CListItemBaseUI<TBase>::Activate() {
    if (!TBase::Activate()) return false;
    if (this->manager_) this->manager_->SendNotify(this, DUI_MSGTYPE_ITEMACTIVATE);
    return true;
}

template <class TBase>
void CListItemBaseUI<TBase>::PassToOwner(TEventUI& event) {
    if (owner_) {
        owner_->DoEvent(event);
    } else {
        TBase::DoEvent(event);
    }
}

template <class TBase>
void CListItemBaseUI<TBase>::DoEvent(TEventUI& event) {
    if (!this->IsMouseEnabled() && CControlUI::IsMouseEvent(event.Type)) {
        PassToOwner(event);
        return;
    }
    if (this->TrackHotState(event, buttonState_)) return;
    switch (event.Type) {
        case UIEVENT_DBLCLICK:
            if (this->IsEnabled()) Activate();
            return;
        case UIEVENT_KEYDOWN:
            if (this->IsEnabled() && event.chKey == VK_RETURN) {
                Activate();
                return;
            }
            break;
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_RBUTTONDOWN:
            // "itemclick" comes before the selection and its "itemselect".
            if (this->IsEnabled()) {
                if (this->manager_) this->manager_->SendNotify(this, DUI_MSGTYPE_ITEMCLICK);
                Select();
                Invalidate();
            }
            return;
        case UIEVENT_BUTTONUP:
        case UIEVENT_MOUSEMOVE:
            return;
        default:
            break;
    }
    PassToOwner(event);
}

template <class TBase>
void CListItemBaseUI<TBase>::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name && value && wcscmp(name, L"selected") == 0) {
        Select(detail::ParseBool(value));
        return;
    }
    TBase::SetAttribute(name, value);
}

template <class TBase>
void CListItemBaseUI<TBase>::DrawItemBk(HDC hDC, const RECT& rcItem) {
    DrawRowBk(hDC, this, rcItem, owner_ ? owner_->GetListInfo() : nullptr, selected_, buttonState_, index_);
}

template class CListItemBaseUI<CControlUI>;
template class CListItemBaseUI<CContainerUI>;

LPCTSTR CListElementUI::GetClass() const { return L"ListElementUI"; }
LPVOID CListElementUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListElement") == 0) return static_cast<CListElementUI*>(this);
    return CListItemBaseUI<CControlUI>::GetInterface(name);
}

LPCTSTR CListLabelElementUI::GetClass() const { return L"ListLabelElementUI"; }
LPVOID CListLabelElementUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListLabelElement") == 0) return this;
    return CListElementUI::GetInterface(name);
}

SIZE CListLabelElementUI::EstimateSize(SIZE szAvailable) {
    if (!owner_ || !manager_) return {0, 0};
    if (cxyFixed_.cy != 0) return CControlUI::EstimateSize(szAvailable);
    TListInfoUI* info = owner_->GetListInfo();
    RECT padding = DpiScale(info->rcTextPadding);
    return {GetFixedWidth(), static_cast<LONG>(manager_->GetFontInfo(info->nFont)->tm.tmHeight + DpiScale(8) +
                                               padding.top + padding.bottom)};
}

void CListLabelElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    if (!::IntersectRect(&rcPaint_, &rcPaint, &rcItem_)) return;
    DrawItemBk(hDC, rcItem_);
    DrawItemText(hDC, rcItem_);
    PaintBorder(hDC);
}

void CListLabelElementUI::DrawItemText(HDC hDC, const RECT& rcItem) {
    if (text_.empty() || !owner_ || !manager_) return;
    TListInfoUI* info = owner_->GetListInfo();
    DWORD color = info->dwTextColor;
    if (buttonState_ & UISTATE_HOT) color = info->dwHotTextColor;
    if (selected_) color = info->dwSelectedTextColor;
    if (!IsEnabled()) color = info->dwDisabledTextColor;
    RECT padding = DpiScale(info->rcTextPadding);
    RECT rc = {rcItem.left + padding.left, rcItem.top + padding.top, rcItem.right - padding.right,
               rcItem.bottom - padding.bottom};
    if (info->bShowHtml) {
        int links = 0;
        CRenderEngine::DrawHtmlText(hDC, manager_, rc, text_.c_str(), color, nullptr, nullptr, links,
                                    DT_SINGLELINE | info->uTextStyle);
    } else {
        CRenderEngine::DrawText(hDC, manager_, rc, text_.c_str(), color, info->nFont, DT_SINGLELINE | info->uTextStyle);
    }
}

LPCTSTR CListContainerElementUI::GetClass() const { return L"ListContainerElementUI"; }
LPVOID CListContainerElementUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"ListContainerElement") == 0) return static_cast<CListContainerElementUI*>(this);
    return CListItemBaseUI<CContainerUI>::GetInterface(name);
}

void CListContainerElementUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT rc;
    if (!::IntersectRect(&rc, &rcPaint, &rcItem_)) return;
    rcPaint_ = rc;
    DrawItemBk(hDC, rcItem_);
    CContainerUI::DoPaint(hDC, rcPaint);
}

void CListContainerElementUI::DrawItemText(HDC, const RECT&) {}

}  // namespace winhush::dui
