// What every dialog shots program shares: the real main window in its normal phase (see
// MainWindowShots), once its automatic check is done, and a dialog shown over it as the
// main window shows it (lock overlay on, framed, centred) but without a modal loop, so that
// the program can pump, change the dialog and photograph it.
//
//   <program>.exe <resource folder> <output folder> [shot name ...]
#pragma once

#include <windows.h>

#include <chrono>

#include "MainWindowShots.h"
#include "ui/framework/FramedDialog.h"

namespace winhush::ui::shots {

class DialogShotSession : public MainWindowShots {
public:
    // False (with a message on stderr) when the arguments or the main window are not usable.
    bool Start(int argc, wchar_t** argv, const wchar_t* program);

    // Shows `dialog` over the main window as its runners do, without running its loop.
    template <class T>
    bool Open(T& dialog) {
        Main().LockOn();
        if (!CreateFramedDialog(dialog, Main().m_hWnd)) {
            Main().LockOff();
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
        Main().LockOff();
        Pump(std::chrono::milliseconds(100));
    }
};

}  // namespace winhush::ui::shots
