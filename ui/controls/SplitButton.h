// CSplitButton: a button with a drop-down list of actions ("btn_append" of the main
// window). It is a combo box that never keeps a choice: picking an item announces it with
// "itemselect" (wParam = the item's index, lParam = -1) and the button goes on showing its
// own caption, so the same action can be picked twice in a row.
#pragma once

#include "ui/dui/UICombo.h"

namespace winhush::ui {

class CSplitButton : public dui::CComboUI {
public:
    CSplitButton();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    // The button's own caption, never an item's.
    dui::CDuiString GetText() const override;

    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void DoEvent(dui::TEventUI& event) override;
    bool Activate() override;
    void PaintText(HDC hDC) override;
    bool SelectItem(int index, bool takeFocus = false, bool triggerEvent = true) override;

    DWORD GetTextColor() const { return textColor_; }
    DWORD GetDisabledTextColor() const { return disabledTextColor_; }
    int GetFont() const { return font_; }
    UINT GetTextStyle() const { return textStyle_; }
    bool IsShowHtml() const { return showHtml_; }
    RECT GetTextInsets() const;  // pixels

private:
    // The caption's text attributes; false for any other name.
    bool SetCaptionAttribute(const std::wstring& n, LPCTSTR value);

    DWORD textColor_ = 0;
    DWORD disabledTextColor_ = 0;
    bool showHtml_ = false;
    int font_ = -1;
    UINT textStyle_ = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT textInsets_ = {};  // 96-DPI units
};

}  // namespace winhush::ui
