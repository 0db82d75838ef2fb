// Opening a framed modal dialog over an owner window, the same way for every dialog of the
// program: a dialog-framed tool window owned by the owner, centred over it (or over the
// work area of the owner's monitor while the owner is hidden) and kept inside that work
// area, the owner's lock overlay up while it runs, and its own modal loop. A dialog class
// brings its frame and modal loop (CDuiFrameWndImpl, CDuiDialogImpl) and, when it derives
// from CWndWithLace, its shadow frame, which then follows it by itself.
//
//     CInRuleDlg dialog;
//     RunFramedDialog(dialog, owner);
#pragma once

#include <windows.h>

#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"
#include "ui/framework/ModalLoop.h"
#include "ui/framework/WindowPlacement.h"

namespace winhush::ui {

// The lock overlay of `owner` for the scope of a modal dialog: raised when the owner has
// one and it is not up already (the main window raises its own around its dialog runners,
// and lowers it itself), lowered again only by the scope that raised it.
class CScopedOwnerLock {
public:
    explicit CScopedOwnerLock(HWND owner);
    ~CScopedOwnerLock();
    CScopedOwnerLock(const CScopedOwnerLock&) = delete;
    CScopedOwnerLock& operator=(const CScopedOwnerLock&) = delete;

private:
    HWND owner_ = nullptr;
    bool raised_ = false;
};

// Creates and centres `dialog`'s window owned by `owner`; false (nothing shown) when the
// window or its layout could not be made. The title is never drawn (the layout has its own);
// it names the window for accessibility tools and automation.
template <class T>
bool CreateFramedDialog(T& dialog, HWND owner, const wchar_t* title = nullptr) {
    if (!dialog.Create(owner, CWindow::rcDefault, title, kDialogStyle, WS_EX_TOOLWINDOW)) return false;
    if (!dialog.IsLayoutLoaded()) {
        dialog.DestroyWindow();
        return false;
    }
    CenterWindowOverOwner(dialog.m_hWnd);
    return true;
}

// Runs `dialog` modally over `owner` and returns once its window is gone. A loop that ended
// on WM_QUIT (posted again for the outer loop) leaves a window behind, destroyed here, so
// that the object can go out of scope right after.
template <class T>
ModalLoopEnd RunFramedDialog(T& dialog, HWND owner, const wchar_t* title = nullptr) {
    if (!CreateFramedDialog(dialog, owner, title)) return {};
    ModalLoopEnd end;
    {
        CScopedOwnerLock lock(owner);
        end = dialog.RunModalLoop();
    }
    if (dialog.IsWindow()) dialog.DestroyWindow();
    return end;
}

}  // namespace winhush::ui
