// CComboUI: a button-like control whose children are the choices; it paints the selected
// item's text and opens a drop list in a pop-up window below (or above) itself.
#pragma once

#include "ui/dui/UIList.h"

namespace winhush::dui {

class CComboWnd;

class CComboUI : public CContainerUI, public IListOwnerUI {
    friend class CComboWnd;

public:
    CComboUI();
    ~CComboUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;

    void DoInit() override;
    CDuiString GetText() const override;
    void SetEnabled(bool enable = true) override;

    CDuiString GetDropBoxAttributeList();
    void SetDropBoxAttributeList(LPCTSTR list);
    SIZE GetDropBoxSize() const;  // pixels; cx 0 = the combo's width
    void SetDropBoxSize(SIZE szDropBox);  // 96-DPI units
    bool IsDropped() const { return window_ != nullptr; }
    // Closes the drop list; restoreSelection puts back the selection it was opened with.
    void CloseDropList(bool restoreSelection = false);

    int GetCurSel() const override;
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;
    TListInfoUI* GetListInfo() override;

    bool SetItemIndex(CControlUI* pControl, int index) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    bool Activate() override;
    // Items are hidden while the list is closed, so only their enabled state counts here.
    int FindSelectable(int index, bool forward = true) const override;

    RECT GetTextPadding() const;
    void SetTextPadding(RECT rc);
    LPCTSTR GetNormalImage() const;
    void SetNormalImage(LPCTSTR image);
    LPCTSTR GetHotImage() const;
    void SetHotImage(LPCTSTR image);
    LPCTSTR GetPushedImage() const;
    void SetPushedImage(LPCTSTR image);
    LPCTSTR GetFocusedImage() const;
    void SetFocusedImage(LPCTSTR image);
    LPCTSTR GetDisabledImage() const;
    void SetDisabledImage(LPCTSTR image);

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    CComboWnd* window_ = nullptr;
    int curSel_ = -1;
    int selBeforeDrop_ = -1;
    RECT rcTextPadding_ = {};
    CDuiString dropBoxAttributes_;
    SIZE szDropBox_ = {0, 150};
    UINT buttonState_ = 0;
    CDuiString normalImage_;
    CDuiString hotImage_;
    CDuiString pushedImage_;
    CDuiString focusedImage_;
    CDuiString disabledImage_;
    TListInfoUI listInfo_;
};

}  // namespace winhush::dui
