// Text controls: CLabelUI (one line of plain or HTML-style text), CTextUI (multi-line,
// links), CButtonUI (hot/pushed/focused/disabled images or colours, "click" on
// activation) and COptionUI (a selectable button, optionally in a named group where
// exactly one member is selected).
#pragma once

#include "ui/dui/UIControl.h"
#include "ui/dui/UIParse.h"

namespace winhush::dui {

// The text alignment words of the layouts, horizontal "left", "center", "right" and
// vertical "top", centerWord, "bottom". Each word found replaces the alignment on its axis,
// checked in that order; a value without any of them leaves the style as it is.
void ApplyHorizontalAlign(UINT& style, const std::wstring& value);
void ApplyVerticalAlign(UINT& style, const std::wstring& value, LPCTSTR centerWord = L"center");
void SetStyleFlag(UINT& style, UINT flag, bool on);

// Attributes that controls with the same setters take alike; false for any other name.
// The text look of labels and list header items:
template <class T>
bool SetTextLookAttribute(T& control, const std::wstring& n, LPCTSTR value) {
    DWORD color;
    RECT rc;
    int number;
    if (n == L"font") {
        if (detail::ParseInt(value, number)) control.SetFont(number);
    } else if (n == L"textcolor") {
        if (detail::ParseColor(value, color)) control.SetTextColor(color);
    } else if (n == L"textpadding") {
        if (detail::ParseRect(value, rc)) control.SetTextPadding(rc);
    } else if (n == L"showhtml") {
        control.SetShowHtml(detail::ParseBool(value));
    } else {
        return false;
    }
    return true;
}
// the state images of buttons and combo boxes:
template <class T>
bool SetStateImageAttribute(T& control, const std::wstring& n, LPCTSTR value) {
    if (n == L"normalimage") {
        control.SetNormalImage(value);
    } else if (n == L"hotimage") {
        control.SetHotImage(value);
    } else if (n == L"pushedimage") {
        control.SetPushedImage(value);
    } else if (n == L"focusedimage") {
        control.SetFocusedImage(value);
    } else if (n == L"disabledimage") {
        control.SetDisabledImage(value);
    } else {
        return false;
    }
    return true;
}

class CLabelUI : public CControlUI {
public:
    CLabelUI();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetTextStyle(UINT style);
    UINT GetTextStyle() const;
    void SetTextColor(DWORD textColor);
    DWORD GetTextColor() const;
    void SetDisabledTextColor(DWORD textColor);
    DWORD GetDisabledTextColor() const;
    void SetFont(int index);
    int GetFont() const;
    RECT GetTextPadding() const;  // pixels
    void SetTextPadding(RECT rc);  // 96-DPI units
    bool IsShowHtml() const;
    void SetShowHtml(bool showHtml = true);

    SIZE EstimateSize(SIZE szAvailable) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintText(HDC hDC) override;

protected:
    DWORD textColor_ = 0;
    DWORD disabledTextColor_ = 0;
    int font_ = -1;
    UINT textStyle_ = DT_VCENTER | DT_SINGLELINE;
    RECT rcTextPadding_ = {};  // 96-DPI units
    bool showHtml_ = false;
};

class CTextUI : public CLabelUI {
public:
    CTextUI();
    ~CTextUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;

    CDuiString* GetLinkContent(int index);
    void DoEvent(TEventUI& event) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintText(HDC hDC) override;

protected:
    enum { kMaxLinks = 8 };
    int links_ = 0;
    RECT rcLinks_[kMaxLinks] = {};
    CDuiString linkTargets_[kMaxLinks];
    int hoverLink_ = -1;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;

    bool Activate() override;
    void SetEnabled(bool enable = true) override;
    void DoEvent(TEventUI& event) override;

    LPCTSTR GetNormalImage();
    void SetNormalImage(LPCTSTR image);
    LPCTSTR GetHotImage();
    void SetHotImage(LPCTSTR image);
    LPCTSTR GetPushedImage();
    void SetPushedImage(LPCTSTR image);
    LPCTSTR GetFocusedImage();
    void SetFocusedImage(LPCTSTR image);
    LPCTSTR GetDisabledImage();
    void SetDisabledImage(LPCTSTR image);
    LPCTSTR GetForeImage();
    void SetForeImage(LPCTSTR image);
    LPCTSTR GetHotForeImage();
    void SetHotForeImage(LPCTSTR image);

    void SetHotBkColor(DWORD color);
    DWORD GetHotBkColor() const;
    void SetPushedBkColor(DWORD color);
    DWORD GetPushedBkColor() const;
    void SetHotTextColor(DWORD color);
    DWORD GetHotTextColor() const;
    void SetPushedTextColor(DWORD color);
    DWORD GetPushedTextColor() const;
    void SetFocusedTextColor(DWORD color);
    DWORD GetFocusedTextColor() const;
    UINT GetButtonState() const { return buttonState_; }

    SIZE EstimateSize(SIZE szAvailable) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintText(HDC hDC) override;
    void PaintStatusImage(HDC hDC) override;

protected:
    UINT buttonState_ = 0;
    DWORD hotBkColor_ = 0;
    DWORD pushedBkColor_ = 0;
    DWORD hotTextColor_ = 0;
    DWORD pushedTextColor_ = 0;
    DWORD focusedTextColor_ = 0;
    CDuiString normalImage_;
    CDuiString hotImage_;
    CDuiString hotForeImage_;
    CDuiString pushedImage_;
    CDuiString pushedForeImage_;
    CDuiString focusedImage_;
    CDuiString disabledImage_;
    CDuiString foreImage_;
};

class COptionUI : public CButtonUI {
public:
    COptionUI();
    ~COptionUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool init = true) override;
    bool Activate() override;
    void SetEnabled(bool enable = true) override;

    LPCTSTR GetSelectedImage();
    void SetSelectedImage(LPCTSTR image);
    LPCTSTR GetSelectedHotImage();
    void SetSelectedHotImage(LPCTSTR image);
    void SetSelectedTextColor(DWORD textColor);
    DWORD GetSelectedTextColor() const;
    void SetSelectedBkColor(DWORD bkColor);
    DWORD GetSelectBkColor() const;
    LPCTSTR GetForeImage();
    void SetForeImage(LPCTSTR image);

    LPCTSTR GetGroup() const;
    void SetGroup(LPCTSTR groupName = nullptr);
    bool IsSelected() const;
    // triggerEvent false changes the state silently (used for the other group members).
    virtual void Selected(bool selected, bool triggerEvent = true);

    SIZE EstimateSize(SIZE szAvailable) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    bool selected_ = false;
    CDuiString groupName_;
    DWORD selectedBkColor_ = 0;
    DWORD selectedTextColor_ = 0;
    CDuiString selectedImage_;
    CDuiString selectedHotImage_;
    CDuiString selectedForeImage_;
};

}  // namespace winhush::dui
