// Lists: CListUI (a header of columns over a scrolling body of rows), the header and its
// items, and the row elements: CListLabelElementUI (a text row, also the item type of
// combo boxes) and CListContainerElementUI (a row holding arbitrary controls, usually
// built from a row template layout named by "containeritemxml").
#pragma once

#include "ui/dui/UIContainer.h"
#include "ui/dui/UILabel.h"

namespace winhush::dui {

constexpr int UILIST_MAX_COLUMNS = 32;

// Item appearance shared by a list (or combo) and all its rows.
struct TListInfoUI {
    int nColumns = 0;
    RECT rcColumn[UILIST_MAX_COLUMNS] = {};

    int nFont = -1;
    UINT uTextStyle = DT_VCENTER;
    RECT rcTextPadding = {};  // 96-DPI units
    DWORD dwTextColor = 0xFF000000;
    DWORD dwBkColor = 0;
    CDuiString sBkImage;
    bool bAlternateBk = false;
    DWORD dwSelectedTextColor = 0xFF000000;
    DWORD dwSelectedBkColor = 0xFFC1E3FF;
    CDuiString sSelectedImage;
    DWORD dwHotTextColor = 0xFF000000;
    DWORD dwHotBkColor = 0xFFE9F5FF;
    CDuiString sHotImage;
    DWORD dwDisabledTextColor = 0xFFCCCCCC;
    DWORD dwDisabledBkColor = 0xFFFFFFFF;
    CDuiString sDisabledImage;
    DWORD dwLineColor = 0;
    int iHLineSize = 0;  // 96-DPI units
    DWORD dwHLineColor = 0xFF3C3C3C;
    int iVLineSize = 0;
    DWORD dwVLineColor = 0xFF3C3C3C;
    bool bShowHtml = false;
    bool bMultiExpandable = false;
};

// Applies one list-wide item attribute ("itemfont", "itemtextcolor", ...) to `info`; false
// when the name is not one of them. Shared by every list that owns a TListInfoUI.
bool SetListInfoAttribute(TListInfoUI& info, const std::wstring& name, LPCTSTR value);

class IListOwnerUI {
public:
    virtual ~IListOwnerUI() = default;
    virtual TListInfoUI* GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) = 0;
    virtual void DoEvent(TEventUI& event) = 0;
};

class CListHeaderUI;

class IListUI : public IListOwnerUI {
public:
    virtual CListHeaderUI* GetHeader() const = 0;
    virtual CContainerUI* GetList() const = 0;
};

class IListItemUI {
public:
    virtual ~IListItemUI() = default;
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int index) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* pOwner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool select = true, bool triggerEvent = true) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool expand = true) = 0;
    virtual void DrawItemText(HDC hDC, const RECT& rcItem) = 0;
};

// The row interface of a control; null for null or a control that is not a list row.
IListItemUI* AsListItem(CControlUI* control);
// Takes the selection off the row at `index` of a list without a notification and sets
// `index` to -1 (nothing when it already is negative).
void DeselectRow(const IContainerUI& owner, int& index);

class CListBodyUI;

// What the lists share: a header over a body that scrolls. The list's scroll operations,
// scrollbars and scrollbar attributes are the body's; the header's columns are read into
// the item appearance after every layout.
class CListFrameUI : public CVerticalLayoutUI {
public:
    SIZE GetScrollPos() const override;
    SIZE GetScrollRange() const override;
    void SetScrollPos(SIZE szPos) override;
    void LineUp() override;
    void LineDown() override;
    void PageUp() override;
    void PageDown() override;
    void HomeUp() override;
    void EndDown() override;
    void LineLeft() override;
    void LineRight() override;
    void PageLeft() override;
    void PageRight() override;
    void HomeLeft() override;
    void EndRight() override;
    void EnableScrollBar(bool enableVertical = true, bool enableHorizontal = false) override;
    CScrollBarUI* GetVerticalScrollBar() const override;
    CScrollBarUI* GetHorizontalScrollBar() const override;

protected:
    // What every list does with an event before its own keys: mouse input of a list that
    // takes none goes to its parent, focus changes are shown, the page keys (when
    // pageKeys) page the body and the wheel scrolls it a line; true when it was handled.
    bool DoFrameEvent(TEventUI& event, bool pageKeys);
    // "headerbkimage", the body's scrollbar attributes and the list-wide item attributes;
    // false for any other name.
    bool SetFrameAttribute(CListHeaderUI* header, TListInfoUI& info, LPCTSTR name, LPCTSTR value);
    // Column rectangles of the header's laid-out items, moved with the body's horizontal
    // scroll.
    void ReadColumns(CListHeaderUI* header, TListInfoUI& info) const;
    // Puts `replacement` in the header's place; false when it already is the header.
    bool ReplaceHeader(CListHeaderUI*& header, CControlUI* replacement);

    CContainerUI* scrollBody_ = nullptr;  // set by the derived list once its body exists
};

class CListUI : public CListFrameUI, public IListUI {
public:
    CListUI();

    LPCTSTR GetClass() const override;
    UINT GetControlFlags() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    bool GetScrollSelect() const;
    void SetScrollSelect(bool scrollSelect);
    int GetCurSel() const override;
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;

    CListHeaderUI* GetHeader() const override;
    CContainerUI* GetList() const override;
    TListInfoUI* GetListInfo() override;

    // Items of the body; header items are routed to the header.
    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    bool SetItemIndex(CControlUI* pControl, int index) override;
    int GetCount() const override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    void EnsureVisible(int index);
    void Scroll(int dx, int dy);

    // Name of the row template layout ("containeritemxml").
    CDuiString GetContainerItemXML() const;
    void SetContainerItemXML(LPCTSTR layoutName);
    // Builds one row from the template and adds it; null when there is no template or it
    // cannot be built.
    CControlUI* AddContainerItem(IDialogBuilderCallback* callback = nullptr);

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    bool scrollSelect_ = false;
    int curSel_ = -1;
    CListBodyUI* list_ = nullptr;
    CListHeaderUI* header_ = nullptr;
    TListInfoUI listInfo_;
    CDuiString containerItemXml_;
};

class CListBodyUI : public CVerticalLayoutUI {
public:
    explicit CListBodyUI(CListUI* owner);
    void SetScrollPos(SIZE szPos) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;

protected:
    CListUI* owner_;
};

class CListHeaderUI : public CHorizontalLayoutUI {
public:
    CListHeaderUI();
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    SIZE EstimateSize(SIZE szAvailable) override;
};

class CListHeaderItemUI : public CControlUI {
public:
    CListHeaderItemUI();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;

    void SetEnabled(bool enable = true) override;
    bool IsDragable() const;
    void SetDragable(bool dragable);
    DWORD GetSepWidth() const;
    void SetSepWidth(int width);
    void SetTextStyle(UINT style);
    void SetTextColor(DWORD color);
    void SetSepColor(DWORD color);
    void SetTextPadding(RECT rc);
    void SetFont(int index);
    void SetShowHtml(bool showHtml = true);

    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void DoEvent(TEventUI& event) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    RECT GetThumbRect() const;
    void PaintText(HDC hDC) override;
    void PaintBorder(HDC hDC) override;

protected:
    POINT lastMouse_ = {};
    bool dragable_ = false;
    UINT buttonState_ = 0;
    int sepWidth_ = 0;  // 96-DPI units; > 0 means the right edge resizes the column
    DWORD textColor_ = 0;
    DWORD sepColor_ = 0;
    int font_ = -1;
    UINT textStyle_ = DT_VCENTER | DT_CENTER | DT_SINGLELINE;
    bool showHtml_ = false;
    RECT rcTextPadding_ = {};
};

// What both row classes share on top of the control class they extend: index, owner,
// selection, "itemactivate", the row's click and hover handling and its background. Rows
// that draw a text (CListLabelElementUI) and rows that hold controls
// (CListContainerElementUI) differ only in what they paint.
template <class TBase>
class CListItemBaseUI : public TBase, public IListItemUI {
public:
    UINT GetControlFlags() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetEnabled(bool enable = true) override;
    int GetIndex() const override;
    void SetIndex(int index) override;
    IListOwnerUI* GetOwner() override;
    void SetOwner(CControlUI* pOwner) override;
    void SetVisible(bool visible = true) override;
    bool IsSelected() const override;
    bool Select(bool select = true, bool triggerEvent = true) override;
    bool IsExpanded() const override;
    bool Expand(bool expand = true) override;

    void Invalidate();
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void DrawItemBk(HDC hDC, const RECT& rcItem);

protected:
    // Everything a row does not take itself goes to its list.
    void PassToOwner(TEventUI& event);

    int index_ = -1;
    bool selected_ = false;
    UINT buttonState_ = 0;
    IListOwnerUI* owner_ = nullptr;
};

extern template class CListItemBaseUI<CControlUI>;
extern template class CListItemBaseUI<CContainerUI>;

class CListElementUI : public CListItemBaseUI<CControlUI> {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
};

class CListLabelElementUI : public CListElementUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    SIZE EstimateSize(SIZE szAvailable) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void DrawItemText(HDC hDC, const RECT& rcItem) override;
};

class CListContainerElementUI : public CListItemBaseUI<CContainerUI> {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void DrawItemText(HDC hDC, const RECT& rcItem) override;
};

}  // namespace winhush::dui
