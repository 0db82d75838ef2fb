#include "ui/controls/VirtualList.h"

#include <algorithm>
#include <climits>

#include "ui/dui/UIParse.h"
#include "ui/dui/UIRender.h"
#include "ui/dui/UIScrollBar.h"

namespace winhush::ui {

using namespace winhush::dui;

// ---- CVListBodyUI ----------------------------------------------------------------------

CVListBodyUI::CVListBodyUI(CVListUI* listOwner) : owner(listOwner) {}

CVListBodyUI::~CVListBodyUI() { delete spareRow_; }

LPCTSTR CVListBodyUI::GetClass() const { return L"VirtualListBodyUI"; }

LPVOID CVListBodyUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"VirtualListBody") == 0) return static_cast<CVListBodyUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

CControlUI* CVListBodyUI::FindRow(int index) const {
    if (index < 0) return nullptr;
    for (int i = 0; i < GetChildCount(); ++i) {
        IListItemUI* item = AsListItem(GetChildAt(i));
        if (item && item->GetIndex() == index) return GetChildAt(i);
    }
    return nullptr;
}

void CVListBodyUI::ClearPool() {
    delete spareRow_;
    spareRow_ = nullptr;
    CContainerUI::RemoveAll();
    topIndex = 0;
}

SIZE CVListBodyUI::GetRowSize() {
    CControlUI* row = GetChildAt(0);
    if (!row) {
        row = spareRow_ ? spareRow_ : owner->CreateRow();
        spareRow_ = nullptr;
        if (!row) return {0, 0};
        if (!CContainerUI::AddAt(row, 0)) {
            delete row;
            return {0, 0};
        }
    }
    // Rows span the inner width (so nothing of theirs hides under the vertical scrollbar)
    // or the whole scrollable width.
    RECT inner = GetClientRect();
    int available = inner.right - inner.left;
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) available += horizontalScrollBar_->GetScrollRange();
    SIZE size = row->EstimateSize({available, inner.bottom - inner.top});
    if (size.cx < 1) size.cx = available;
    return size;
}

int CVListBodyUI::ContentWidth(const RECT& inner, SIZE row) const {
    CListHeaderUI* header = owner->GetHeader();
    if (!header || header->GetCount() == 0) return row.cx;
    SIZE innerSize = {inner.right - inner.left, inner.bottom - inner.top};
    int width = header->EstimateSize(innerSize).cx;
    if (width > 0) return width;
    // A header without a fixed width is as wide as its columns, unless one of them
    // stretches, in which case it fits the list.
    width = 0;
    for (int i = 0; i < header->GetCount(); ++i) {
        CControlUI* item = header->GetItemAt(i);
        if (!item->IsVisible() || item->IsFloat()) continue;
        int cx = item->EstimateSize(innerSize).cx;
        if (cx <= 0) return innerSize.cx;
        RECT padding = item->GetPadding();
        width += cx + padding.left + padding.right;
    }
    return std::max(width, 0);
}

void CVListBodyUI::SetItemCount(int count) {
    count = std::max(count, 0);
    if (count == itemCount) return;
    itemCount = count;
    if (itemCount < topIndex) {
        // Everything the view showed is gone: back to the top.
        topIndex = 0;
        if (verticalScrollBar_) verticalScrollBar_->SetScrollPos(0);
    }
    SetPos(rcItem_, false);
    Invalidate();
}

bool CVListBodyUI::FitScrollBar(bool vertical, const RECT& inner, int required) {
    CScrollBarUI* bar = vertical ? verticalScrollBar_ : horizontalScrollBar_;
    if (!bar) return false;
    int viewport = vertical ? inner.bottom - inner.top : inner.right - inner.left;
    bool changed = false;
    if (required > viewport) {
        if (!bar->IsVisible()) {
            bar->SetVisible(true);
            // Across, a new bar starts at the left; down, the position survives while it
            // still fits the new range.
            if (!vertical) bar->SetScrollPos(0);
            changed = true;
        }
        bar->SetScrollRange(required - viewport);
    } else if (bar->IsVisible() || bar->GetScrollPos() != 0) {
        bar->SetVisible(false);
        bar->SetScrollRange(0);
        bar->SetScrollPos(0);
        changed = true;
    }
    return changed;
}

bool CVListBodyUI::ProcessScrollBars(const RECT& inner, int cxRequired, int cyRequired) {
    bool changed = FitScrollBar(false, inner, cxRequired);
    if (FitScrollBar(true, inner, cyRequired)) changed = true;
    if (changed && !scrollProcess_) {
        // A scrollbar that appeared or went away changes the inner rectangle.
        scrollProcess_ = true;
        SetPos(rcItem_, false);
        scrollProcess_ = false;
        return true;
    }
    return false;
}

void CVListBodyUI::ResizePool(int wanted) {
    // Rows are added and dropped at the end only, so the rows that stay keep their state
    // (a running switch animation, hover) while the pool follows the height.
    while (GetChildCount() > wanted) {
        if (!spareRow_) {
            spareRow_ = GetChildAt(GetChildCount() - 1);
            bool autoDestroy = autoDestroy_;
            autoDestroy_ = false;
            CContainerUI::RemoveAt(GetChildCount() - 1);
            autoDestroy_ = autoDestroy;
        } else {
            CContainerUI::RemoveAt(GetChildCount() - 1);
        }
    }
    while (GetChildCount() < wanted) {
        CControlUI* row = spareRow_ ? spareRow_ : owner->CreateRow();
        spareRow_ = nullptr;
        if (!row) break;
        if (!CContainerUI::AddAt(row, GetChildCount())) {
            delete row;
            break;
        }
    }
}

void CVListBodyUI::ArrangeRows(const RECT& inner, SIZE row) {
    int h = row.cy;
    int w = row.cx;
    int top = inner.top;
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        int pos = verticalScrollBar_->GetScrollPos();
        topIndex = pos / h;
        top -= pos % h;
    } else {
        topIndex = 0;
    }
    int left = inner.left;
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) left -= horizontalScrollBar_->GetScrollPos();
    IVListCallbackUI* callback = owner->GetCallback();
    int selected = owner->GetCurSel();
    for (int i = 0; i < GetChildCount(); ++i) {
        CControlUI* control = GetChildAt(i);
        int index = topIndex + i;
        if (IListItemUI* item = AsListItem(control)) {
            item->SetIndex(index);
            item->Select(index == selected, false);
        }
        if (!control->IsVisible()) continue;
        if (control->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        RECT rc = {left, top, left + w, top + h};
        if (callback) callback->OnRowPlaced(control, rc.left, rc.top, rc.right, rc.bottom);
        control->SetPos(rc, false);
        top += h;
    }
}

void CVListBodyUI::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    RECT inner = GetClientRect();
    int innerHeight = inner.bottom - inner.top;
    SIZE row = {0, 0};
    if (itemCount >= 1) {
        row = GetRowSize();
        if (row.cy <= 0) {
            // No template, or a row without height: nothing to lay out.
            fullRows = 0;
            updateNeeded_ = false;
            return;
        }
        fullRows = innerHeight / row.cy;
    } else {
        fullRows = 0;
    }
    long long total = static_cast<long long>(row.cy) * itemCount;
    int totalHeight = static_cast<int>(std::min<long long>(total, INT_MAX));
    int contentWidth = itemCount >= 1 ? ContentWidth(inner, row) : 0;
    if (ProcessScrollBars(inner, contentWidth, totalHeight)) return;  // laid out again inside

    int wanted = 0;
    if (itemCount >= 1 && innerHeight > 0) {
        // Enough rows to cover the height from wherever the first one starts: a row cut
        // at the top needs one more at the bottom.
        int offset =
            (verticalScrollBar_ && verticalScrollBar_->IsVisible()) ? verticalScrollBar_->GetScrollPos() % row.cy : 0;
        int cover = (innerHeight + offset + row.cy - 1) / row.cy;
        wanted = std::min(cover, itemCount);
    }
    ResizePool(wanted);
    if (wanted > 0) ArrangeRows(inner, row);

    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        verticalScrollBar_->SetPos(
            {inner.right, inner.top, inner.right + verticalScrollBar_->GetFixedWidth(), inner.bottom}, false);
    }
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) {
        horizontalScrollBar_->SetPos(
            {inner.left, inner.bottom, inner.right, inner.bottom + horizontalScrollBar_->GetFixedHeight()}, false);
    }
    // Pool changes flag the body again; this layout already accounts for them.
    updateNeeded_ = false;
}

void CVListBodyUI::SetScrollPos(SIZE szPos) {
    int oldX = 0, oldY = 0, newX = 0, newY = 0;
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        oldY = verticalScrollBar_->GetScrollPos();
        verticalScrollBar_->SetScrollPos(szPos.cy);
        newY = verticalScrollBar_->GetScrollPos();
    }
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) {
        oldX = horizontalScrollBar_->GetScrollPos();
        horizontalScrollBar_->SetScrollPos(szPos.cx);
        newX = horizontalScrollBar_->GetScrollPos();
    }
    if (oldX == newX && oldY == newY) return;
    // Scrolling moves no row far: the same rows take the new data indexes.
    SetPos(rcItem_, false);
    Invalidate();
    if (oldX != newX) owner->NeedUpdate();  // header columns follow
}

void CVListBodyUI::EnsureVisible(int index) {
    if (index < 0 || index >= itemCount) return;
    SIZE row = GetRowSize();
    if (row.cy <= 0) return;
    RECT inner = GetClientRect();
    int innerHeight = inner.bottom - inner.top;
    SIZE pos = GetScrollPos();
    if (index <= topIndex) {
        pos.cy = row.cy * index;
    } else if (index >= topIndex + fullRows) {
        // The row's bottom meets the bottom of the visible area.
        pos.cy = row.cy * (index + 1) - innerHeight;
    } else {
        return;
    }
    SetScrollPos(pos);
}

void CVListBodyUI::DoEvent(TEventUI& event) { owner->DoEvent(event); }

void CVListBodyUI::DoPaint(HDC hDC, const RECT& rcPaint) {
    RECT area;
    if (!::IntersectRect(&area, &rcPaint, &rcItem_)) return;
    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, area, clip);
    rcPaint_ = area;
    PaintLayers(hDC, false);

    IVListCallbackUI* callback = owner->GetCallback();
    if (GetChildCount() > 0 && callback) {
        RECT inner = GetClientRect();
        callback->OnVisibleRange(topIndex, topIndex + GetChildCount());
        RECT rowsArea;
        if (::IntersectRect(&rowsArea, &rcPaint, &inner)) {
            CRenderClip rowsClip;
            CRenderClip::GenerateClip(hDC, rowsArea, rowsClip);
            for (int i = 0; i < GetChildCount(); ++i) {
                CControlUI* row = GetChildAt(i);
                if (!row->IsVisible()) continue;
                RECT pos = row->GetPos();
                RECT hit;
                if (!::IntersectRect(&hit, &rcPaint, &pos)) continue;
                bool floating = row->IsFloat();
                if (!::IntersectRect(&hit, floating ? &rcItem_ : &inner, &pos)) continue;
                IListItemUI* item = AsListItem(row);
                if (item) callback->FillRow(row, item->GetIndex());
                // What the fill changed (visibility, sizes) is laid out before it is seen.
                row->SetPos(row->GetPos(), false);
                if (floating) {
                    CRenderClip::UseOldClipBegin(hDC, rowsClip);
                    row->DoPaint(hDC, rcPaint);
                    CRenderClip::UseOldClipEnd(hDC, rowsClip);
                } else {
                    row->DoPaint(hDC, rcPaint);
                }
            }
        }
    }
    rcPaint_ = area;
    PaintBorder(hDC);
    RECT hit;
    if (verticalScrollBar_ && verticalScrollBar_->IsVisible()) {
        RECT pos = verticalScrollBar_->GetPos();
        if (::IntersectRect(&hit, &rcPaint, &pos)) verticalScrollBar_->DoPaint(hDC, rcPaint);
    }
    if (horizontalScrollBar_ && horizontalScrollBar_->IsVisible()) {
        RECT pos = horizontalScrollBar_->GetPos();
        if (::IntersectRect(&hit, &rcPaint, &pos)) horizontalScrollBar_->DoPaint(hDC, rcPaint);
    }
}

// ---- CVListUI --------------------------------------------------------------------------

CVListUI::CVListUI() {
    // The engine's defaults are the list's: black texts, light blue selected and hot
    // backgrounds, grey disabled text, dark lines of size 0, vertically centred text.
    listInfo.uTextStyle = DT_VCENTER;
    header = new CListHeaderUI;
    body = new CVListBodyUI(this);
    scrollBody_ = body;
    CVerticalLayoutUI::AddAt(header, 0);
    CVerticalLayoutUI::AddAt(body, 1);
}

LPCTSTR CVListUI::GetClass() const { return L"VirtualListUI"; }

LPVOID CVListUI::GetInterface(LPCTSTR name) {
    if (!name) return nullptr;
    if (wcscmp(name, L"IVirtualList") == 0) return static_cast<CVListUI*>(this);
    if (wcscmp(name, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
    return CVerticalLayoutUI::GetInterface(name);
}

UINT CVListUI::GetControlFlags() const { return UIFLAG_TABSTOP; }

void CVListUI::DoInit() {
    CVerticalLayoutUI::DoInit();
    // A virtual list exists to scroll; its bar is on unless the layout says otherwise.
    // Made here rather than in the constructor so that the window's scrollbar style applies.
    if (!verticalBarConfigured_) body->EnableScrollBar(true, body->GetHorizontalScrollBar() != nullptr);
    // An empty header would take a share of the height.
    if (!headerConfigured_ && header->GetCount() == 0) header->SetVisible(false);
}

void CVListUI::SetItemXml(LPCTSTR layoutName) {
    CDuiString name = layoutName ? layoutName : L"";
    if (name == itemXml) return;
    itemXml = name;
    body->ClearPool();
    NeedUpdate();
}

CControlUI* CVListUI::CreateRow() {
    if (itemXml.empty()) return nullptr;
    CControlUI* row = nullptr;
    if (rowBuilder_ && rowBuilderXml_ == itemXml && rowBuilder_->IsValid()) {
        row = rowBuilder_->Create(builderCallback, manager_, nullptr);
    } else {
        rowBuilder_ = std::make_unique<CDialogBuilder>();
        rowBuilderXml_ = itemXml;
        row = rowBuilder_->Create(itemXml.c_str(), nullptr, builderCallback, manager_, nullptr);
    }
    if (!row) return nullptr;
    IListItemUI* item = AsListItem(row);
    if (!item) {
        // A template that is not a list row cannot be selected or indexed.
        delete row;
        return nullptr;
    }
    item->SetOwner(this);
    return row;
}

void CVListUI::SetItemCount(int count) { body->SetItemCount(count); }
int CVListUI::GetItemCount() const { return body->GetItemCount(); }

int CVListUI::GetRowIndexOf(CControlUI* control) const {
    for (CControlUI* c = control; c; c = c->GetParent()) {
        if (c->GetParent() == body) {
            IListItemUI* item = AsListItem(c);
            return item ? item->GetIndex() : -1;
        }
    }
    return -1;
}

TListInfoUI* CVListUI::GetListInfo() { return &listInfo; }
int CVListUI::GetCurSel() const { return curSel; }

bool CVListUI::SelectItem(int index, bool takeFocus, bool triggerEvent) {
    if (index == curSel) return true;
    int old = curSel;
    DeselectRow(*this, curSel);
    if (index < 0) return false;
    CControlUI* row = body->FindRow(index);
    IListItemUI* item = AsListItem(row);
    if (!row || !row->IsVisible() || !row->IsEnabled() || !item) return false;
    curSel = index;
    if (!item->Select(true, triggerEvent)) {
        curSel = -1;
        return false;
    }
    body->EnsureVisible(index);
    if (takeFocus) {
        // Scrolling may have handed the data index to another row of the pool.
        if (CControlUI* shown = body->FindRow(index)) shown->SetFocus();
    }
    if (triggerEvent && manager_) manager_->SendNotify(this, DUI_MSGTYPE_ITEMSELECT, index, old);
    return true;
}

void CVListUI::DoEvent(TEventUI& event) {
    bool keys = IsKeyboardEnabled() && IsEnabled();
    if (event.Type == UIEVENT_KEYDOWN && keys) {
        switch (event.chKey) {
            // No keyboard selection in a virtual list: the keys are taken, nothing moves.
            case VK_RETURN:
            case VK_END:
            case VK_HOME:
            case VK_UP:
            case VK_DOWN:
                return;
            default:
                break;
        }
    }
    if (DoFrameEvent(event, keys)) {
        if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) focused = focused_;
        return;
    }
    CVerticalLayoutUI::DoEvent(event);
}

CControlUI* CVListUI::GetItemAt(int index) const { return body->FindRow(index); }

int CVListUI::GetItemIndex(CControlUI* pControl) const {
    if (!pControl) return -1;
    if (pControl == header || pControl->GetInterface(L"ListHeader")) return CVerticalLayoutUI::GetItemIndex(pControl);
    if (pControl->GetInterface(L"ListHeaderItem")) return header->GetItemIndex(pControl);
    if (pControl->GetParent() == body) {
        IListItemUI* item = AsListItem(pControl);
        return item ? item->GetIndex() : -1;
    }
    return -1;
}

bool CVListUI::SetItemIndex(CControlUI*, int) { return false; }  // rows follow the data
int CVListUI::GetCount() const { return body->GetCount(); }

bool CVListUI::Add(CControlUI* pControl) {
    // Header items are appended to the header, whatever the pool holds.
    if (pControl && pControl->GetInterface(L"ListHeaderItem")) return AddAt(pControl, header->GetCount());
    return AddAt(pControl, GetCount());
}

bool CVListUI::AddAt(CControlUI* pControl, int index) {
    if (!pControl) return false;
    if (pControl->GetInterface(L"ListHeader")) return ReplaceHeader(header, pControl);
    if (pControl->GetInterface(L"ListHeaderItem")) {
        if (!header->IsVisible() && !headerConfigured_) header->SetVisible(true);
        return header->AddAt(pControl, std::clamp(index, 0, header->GetCount()));
    }
    return false;
}

bool CVListUI::Remove(CControlUI* pControl) {
    if (pControl && pControl->GetInterface(L"ListHeaderItem")) return header->Remove(pControl);
    return false;
}

bool CVListUI::RemoveAt(int) { return false; }

void CVListUI::RemoveAll() {
    SelectItem(-1);
    curSel = -1;
    SetItemCount(0);
}

void CVListUI::SetPos(RECT rc, bool needInvalidate) {
    CVerticalLayoutUI::SetPos(rc, needInvalidate);
    ReadColumns(header, listInfo);
}

void CVListUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    if (n == L"header") {
        headerConfigured_ = true;
        header->SetVisible(wcscmp(value, L"false") != 0);
    } else if (n == L"containeritemxml") {
        SetItemXml(value);
    } else {
        if (n == L"vscrollbar" || n == L"vscrollbarstyle") verticalBarConfigured_ = true;
        if (!SetFrameAttribute(header, listInfo, name, value)) CVerticalLayoutUI::SetAttribute(name, value);
    }
}

void CVListUI::EnableScrollBar(bool enableVertical, bool enableHorizontal) {
    verticalBarConfigured_ = true;
    CListFrameUI::EnableScrollBar(enableVertical, enableHorizontal);
}

}  // namespace winhush::ui
