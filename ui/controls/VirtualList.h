// CVListUI: a list for long, uniform data that stays with its owner. Only as many row
// controls exist as fit in the visible height (one more while a row is cut at the top),
// all built from one row template ("containeritemxml"). Scrolling re-assigns data indexes
// to the same rows; just before a row is painted the owner's IVListCallbackUI fills it for
// the index it currently stands for. So the cost of a list of 100,000 items is that of a
// screenful of rows.
//
// Owners must map a row back to its data through the list (GetItemIndex, or
// GetRowIndexOf for a control inside a row), never through the row's place in the pool:
// the same row shows other data after every scroll.
#pragma once

#include <memory>

#include "ui/dui/UIDlgBuilder.h"
#include "ui/dui/UIList.h"

namespace winhush::ui {

// The data source of a virtual list, implemented by the window that owns the data.
class IVListCallbackUI {
public:
    virtual ~IVListCallbackUI() = default;
    // Before the rows are painted: the data indexes [first, end) the pool stands for.
    virtual void OnVisibleRange(int first, int end) {
        (void)first;
        (void)end;
    }
    // Sets the row's texts, images and states for data item `index`.
    virtual void FillRow(dui::CControlUI* row, int index) = 0;
    // Before a row is moved to its rectangle.
    virtual void OnRowPlaced(dui::CControlUI* row, int left, int top, int right, int bottom) {
        (void)row;
        (void)left;
        (void)top;
        (void)right;
        (void)bottom;
    }
    // Not used by the list itself; room for owners that share one source between lists.
    virtual bool QueryItem(int index) {
        (void)index;
        return false;
    }
    virtual void OnSourceChanged() {}
};

class CVListUI;

class CVListBodyUI : public dui::CVerticalLayoutUI {
public:
    explicit CVListBodyUI(CVListUI* owner);
    ~CVListBodyUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetScrollPos(SIZE szPos) override;
    void DoEvent(dui::TEventUI& event) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;

    int GetTopIndex() const { return topIndex; }
    int GetFullRows() const { return fullRows; }
    int GetItemCount() const { return itemCount; }
    void SetItemCount(int count);
    // The pooled row standing for data index `index`, or null.
    dui::CControlUI* FindRow(int index) const;
    // Width and height of one row for the current inner width; {0, 0} without a template.
    SIZE GetRowSize();
    // Scrolls so that data index `index` is fully visible (nothing if it already is).
    void EnsureVisible(int index);
    // Drops every pooled row (for a new template); the next layout builds them again.
    void ClearPool();

private:
    // Shows, hides and sizes the scrollbars for content of cx x cy in `inner`; true when
    // their visibility changed and the layout ran again.
    bool ProcessScrollBars(const RECT& inner, int cxRequired, int cyRequired);
    // One bar of ProcessScrollBars; true when it appeared or went away.
    bool FitScrollBar(bool vertical, const RECT& inner, int required);
    void ResizePool(int wanted);
    void ArrangeRows(const RECT& inner, SIZE row);
    int ContentWidth(const RECT& inner, SIZE row) const;

    CVListUI* owner;
    // The row that covers the bottom while the first row is cut at the top, kept out of the
    // pool in between so that scrolling never builds rows from the template.
    dui::CControlUI* spareRow_ = nullptr;
    int topIndex = 0;
    int fullRows = 0;
    int itemCount = 0;
};

class CVListUI : public dui::CListFrameUI, public dui::IListOwnerUI {
public:
    CVListUI();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;
    void DoInit() override;

    void SetCallback(IVListCallbackUI* source) { callback = source; }
    IVListCallbackUI* GetCallback() const { return callback; }
    void SetBuilderCallback(dui::IDialogBuilderCallback* factory) { builderCallback = factory; }
    dui::IDialogBuilderCallback* GetBuilderCallback() const { return builderCallback; }
    const dui::CDuiString& GetItemXml() const { return itemXml; }
    void SetItemXml(LPCTSTR layoutName);

    // Number of data items; the pool follows at once.
    void SetItemCount(int count);
    int GetItemCount() const;
    // Data index of the row holding `control` (the row itself or anything inside it), -1
    // when the control is not inside a row of this list.
    int GetRowIndexOf(dui::CControlUI* control) const;

    dui::CListHeaderUI* GetHeader() const { return header; }
    CVListBodyUI* GetBody() const { return body; }
    bool IsListFocused() const { return focused; }
    // Builds one row from the template, owned by this list; null without a usable one.
    dui::CControlUI* CreateRow();

    // IListOwnerUI
    dui::TListInfoUI* GetListInfo() override;
    int GetCurSel() const override;
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    void DoEvent(dui::TEventUI& event) override;

    // Rows are data indexes, the header is position 0 of the list, header items their
    // column; GetCount is the size of the pool, not the number of data items.
    dui::CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(dui::CControlUI* pControl) const override;
    bool SetItemIndex(dui::CControlUI* pControl, int index) override;
    int GetCount() const override;
    // Only a header or header items can be added; rows come from the template.
    bool Add(dui::CControlUI* pControl) override;
    bool AddAt(dui::CControlUI* pControl, int index) override;
    bool Remove(dui::CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    // Empties the list: no data items, no selection.
    void RemoveAll() override;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

    // Also marks the bar as chosen by the layout, so that DoInit leaves it alone.
    void EnableScrollBar(bool enableVertical = true, bool enableHorizontal = false) override;

private:
    dui::CListHeaderUI* header = nullptr;
    CVListBodyUI* body = nullptr;
    dui::TListInfoUI listInfo;
    int curSel = -1;
    IVListCallbackUI* callback = nullptr;
    dui::IDialogBuilderCallback* builderCallback = nullptr;
    dui::CDuiString itemXml;
    bool focused = false;

    // The template is parsed once and built again for every new row.
    std::unique_ptr<dui::CDialogBuilder> rowBuilder_;
    dui::CDuiString rowBuilderXml_;
    bool verticalBarConfigured_ = false;
    bool headerConfigured_ = false;
};

}  // namespace winhush::ui
