// CEditUI: a single-line text field. While it has focus a native EDIT child window sits
// over it (so IME, selection, clipboard and caret are the system's); otherwise the
// control paints its text itself. Sends "textchanged" and "return".
#pragma once

#include "ui/dui/UILabel.h"

namespace winhush::dui {

class CEditWnd;

class CEditUI : public CLabelUI {
    friend class CEditWnd;

public:
    CEditUI();
    ~CEditUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    UINT GetControlFlags() const override;

    void SetEnabled(bool enable = true) override;
    void SetText(LPCTSTR text) override;
    void SetMaxChar(UINT max);
    UINT GetMaxChar() const;
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const;
    void SetPasswordMode(bool passwordMode);
    bool IsPasswordMode() const;
    void SetNumberOnly(bool numberOnly);
    bool IsNumberOnly() const;
    void SetSel(long startChar, long endChar);
    void SetSelAll();
    void SetNativeEditBkColor(DWORD color);
    DWORD GetNativeEditBkColor() const;
    void SetPromptText(LPCTSTR text);  // grey hint shown while empty
    HWND GetNativeWindow() const;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    void OpenNativeEdit();
    RECT NativeEditRect() const;

    CEditWnd* window_ = nullptr;
    UINT maxChar_ = 255;
    bool readOnly_ = false;
    bool passwordMode_ = false;
    bool numberOnly_ = false;
    DWORD editBkColor_ = 0xFFFFFFFF;
    UINT buttonState_ = 0;
    CDuiString promptText_;
    DWORD promptColor_ = 0xFFA0A4AB;
    CDuiString normalImage_;
    CDuiString hotImage_;
    CDuiString focusedImage_;
    CDuiString disabledImage_;
    long selStart_ = 0;
    long selEnd_ = -1;
};

}  // namespace winhush::dui
