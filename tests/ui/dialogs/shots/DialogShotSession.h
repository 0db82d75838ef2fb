// What every dialog shots program shares: the process set up like the program (DPI
// awareness, GDI+, the UI resources, the thread's message loop, the window monitor on a
// scratch data folder, quiet settings), the real main window in its normal phase in the
// middle of a backdrop, and a dialog shown over it as the main window shows it (lock
// overlay on, framed, centred) but without a modal loop, so that the program can pump,
// change the dialog and photograph it.
//
//   <program>.exe <resource folder> <output folder> [shot name ...]
//
// Without shot names every shot is taken; with names only those (names of other programs
// are ignored, as scripts/shots hands every program the same list).
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>

#include "ShotSupport.h"
#include "ui/framework/Companions.h"
#include "ui/framework/FramedDialog.h"
#include "ui/framework/MessageLoop.h"
#include "ui/main/MainDlg.h"

namespace winhush::ui::shots {

class DialogShotSession {
public:
    // False (with a message on stderr) when the arguments or the main window are not usable.
    bool Start(int argc, wchar_t** argv, const wchar_t* program);
    // The program's exit code: the number of failed shots.
    int Finish();

    bool Wanted(const std::wstring& name) const { return wanted_.empty() || wanted_.count(name) != 0; }
    void Pump(std::chrono::milliseconds duration);
    // Saves the screen rectangle as <output folder>\<name>.png and reports it.
    void Shoot(const std::wstring& name, RECT rc);
    void Fail(const wchar_t* what);

    CMainDlg& Main() { return *main_; }
    // The main window with its shadow and whatever lies over it (the dialog, the lock).
    RECT MainArea(int grow = 24) const;

    // Shows `dialog` over the main window as its runners do, without running its loop.
    template <class T>
    bool Open(T& dialog) {
        main_->LockOn();
        if (!CreateFramedDialog(dialog, main_->m_hWnd)) {
            main_->LockOff();
            Fail(L"the dialog cannot be created");
            return false;
        }
        dialog.ShowWindow(SW_SHOWNORMAL);
        // The pointer out of the way: no hover state, no tooltip in the picture.
        ::SetCursorPos(4, 4);
        Pump(std::chrono::milliseconds(400));
        return true;
    }
    template <class T>
    void Close(T& dialog) {
        if (dialog.IsWindow()) dialog.DestroyWindow();
        main_->LockOff();
        Pump(std::chrono::milliseconds(100));
    }

private:
    std::set<std::wstring> wanted_;
    std::wstring outDir_;
    std::wstring program_;
    std::wstring dataDir_;
    int failures_ = 0;
    ULONG_PTR gdiplusToken_ = 0;
    CMessageLoop loop_;
    CBackdrop backdrop_;
    CMainDlg* main_ = nullptr;
};

}  // namespace winhush::ui::shots
