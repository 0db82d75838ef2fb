// CNativeCtrl: a place in a layout for a native child window (an edit box, a picture the
// engine cannot draw). The control keeps the window on its rectangle and in step with its
// own visibility; it never owns the window, so detaching or destroying the control leaves
// the window alive. When it becomes visible without a window it asks its owner for one
// with "nativectrl_init".
#pragma once

#include "ui/dui/UIControl.h"

namespace winhush::ui {

class CNativeCtrl : public dui::CControlUI {
public:
    CNativeCtrl();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetVisible(bool visible = true) override;
    void SetInternVisible(bool visible = true) override;
    void SetFocus() override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;

    // Hosts `window` (detaching any previous one) on the control's rectangle. With
    // printOnMove the window is rendered once through WM_PRINT at its next placement, which
    // makes windows that paint lazily produce their picture before they are first seen.
    void Attach(HWND window, bool printOnMove = false);
    // Lets go of the hosted window without touching it; returns it.
    HWND Detach();
    HWND GetHostedWindow() const { return hostedWnd; }
    bool IsPrintPending() const { return printOnMove; }

private:
    void PlaceWindow();
    void ApplyVisibility();
    bool PrintOnce();

    HWND hostedWnd = nullptr;
    bool printOnMove = false;
};

}  // namespace winhush::ui
