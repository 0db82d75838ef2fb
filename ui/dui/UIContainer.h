// Containers: CContainerUI (children overlap, each gets the whole client area), the
// vertical and horizontal linear layouts, and the tab layout that shows one page. All of
// them own their children (deleted after the current message when removed), clip their
// painting, and scroll with optional scrollbars.
#pragma once

#include "ui/dui/UIControl.h"

namespace winhush::dui {

class CScrollBarUI;

class IContainerUI {
public:
    virtual ~IContainerUI() = default;
    virtual CControlUI* GetItemAt(int index) const = 0;
    virtual int GetItemIndex(CControlUI* pControl) const = 0;
    virtual bool SetItemIndex(CControlUI* pControl, int index) = 0;
    virtual int GetCount() const = 0;
    virtual bool Add(CControlUI* pControl) = 0;
    virtual bool AddAt(CControlUI* pControl, int index) = 0;
    virtual bool Remove(CControlUI* pControl) = 0;
    virtual bool RemoveAt(int index) = 0;
    virtual void RemoveAll() = 0;
};

class CContainerUI : public CControlUI, public IContainerUI {
public:
    CContainerUI();
    ~CContainerUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    CControlUI* GetItemAt(int index) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    bool SetItemIndex(CControlUI* pControl, int index) override;
    int GetCount() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    void DoEvent(TEventUI& event) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetMouseEnabled(bool enable = true) override;

    virtual RECT GetInset() const;  // pixels
    virtual void SetInset(RECT rcInset);  // 96-DPI units
    virtual int GetChildPadding() const;  // pixels
    virtual void SetChildPadding(int padding);  // 96-DPI units
    virtual bool IsAutoDestroy() const;
    virtual void SetAutoDestroy(bool autoDestroy);
    virtual bool IsDelayedDestroy() const;
    virtual void SetDelayedDestroy(bool delayed);
    virtual bool IsMouseChildEnabled() const;
    virtual void SetMouseChildEnabled(bool enable = true);

    // Finds the index of the next/previous selectable (visible, enabled) child.
    virtual int FindSelectable(int index, bool forward = true) const;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init = true) override;
    CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;

    // The container's own children, whatever GetItemAt answers in derived classes (a list
    // answers its rows, but its children are its header and body).
    CControlUI* GetChildAt(int index) const { return static_cast<CControlUI*>(items_.GetAt(index)); }
    int GetChildCount() const { return items_.GetSize(); }

    bool SetSubControlText(LPCTSTR subControlName, LPCTSTR text);
    CControlUI* FindSubControl(LPCTSTR subControlName);

    virtual SIZE GetScrollPos() const;
    virtual SIZE GetScrollRange() const;
    virtual void SetScrollPos(SIZE szPos);
    virtual void LineUp();
    virtual void LineDown();
    virtual void PageUp();
    virtual void PageDown();
    virtual void HomeUp();
    virtual void EndDown();
    virtual void LineLeft();
    virtual void LineRight();
    virtual void PageLeft();
    virtual void PageRight();
    virtual void HomeLeft();
    virtual void EndRight();
    virtual void EnableScrollBar(bool enableVertical = true, bool enableHorizontal = false);
    virtual CScrollBarUI* GetVerticalScrollBar() const;
    virtual CScrollBarUI* GetHorizontalScrollBar() const;

    // The moves of the step methods above, the same on either axis.
    enum class ScrollMove { LineBack, LineForward, PageBack, PageForward, Start, End };

protected:
    // One step along an axis: what LineUp ... EndRight do, each on its own axis.
    void ScrollStep(bool vertical, ScrollMove move);
    // Arrow keys, page keys, Home, End and the wheel scroll the container; true when the
    // event scrolled it.
    bool ScrollByInput(const TEventUI& event);
    // Places float children relative to the container's outer rectangle.
    virtual void SetFloatPos(int index);
    // Shows/hides the scrollbars for content of size cxRequired x cyRequired inside rc.
    virtual void ProcessScrollBar(RECT rc, int cxRequired, int cyRequired);
    // ProcessScrollBar on one axis; true when the bar appeared or went away, which lays
    // the container out again and ends the pass.
    bool ProcessScrollBarAxis(bool vertical, const RECT& rc, int required);
    // Stacks the children along one axis inside client: what the vertical and horizontal
    // layouts do, with the axes swapped.
    void LayOutLine(RECT client, bool vertical);
    // The rectangle children are laid out in: item minus inset minus visible scrollbars.
    RECT GetClientRect() const;
    int ScrollLine(bool vertical) const;  // pixels of one line step
    int ScrollPage(bool vertical) const;  // pixels of one page step

    CDuiPtrArray items_;
    RECT rcInset_ = {};  // 96-DPI units
    int childPadding_ = 0;
    bool autoDestroy_ = true;
    bool delayedDestroy_ = true;
    bool mouseChildEnabled_ = true;
    bool scrollProcess_ = false;  // re-entrancy guard of ProcessScrollBar
    CScrollBarUI* verticalScrollBar_ = nullptr;
    CScrollBarUI* horizontalScrollBar_ = nullptr;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    void SetPos(RECT rc, bool needInvalidate = true) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    void RemoveAll() override;
    int GetCurSel() const;
    virtual bool SelectItem(int index);
    virtual bool SelectItem(CControlUI* pControl);

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    int curSel_ = -1;
};

}  // namespace winhush::dui
