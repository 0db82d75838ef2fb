// The modal loop of dialogs and message boxes: it pumps the thread's messages while the
// dialog exists, with the owner disabled, and hands activation back to the owner before
// the dialog closes, so that the user does not land in another program's window.
#pragma once

#include <windows.h>

#include "ui/framework/MessageLoop.h"

namespace winhush::ui {

struct ModalLoopEnd {
    bool quit = false;  // the loop ended on WM_QUIT (which has been posted again)
    int quitCode = 0;
};

// Shows the dialog, disables its owner and runs until the dialog window is gone or WM_QUIT
// arrives; `loop` supplies the idle handlers and the first message filters, then the
// thread's own loop (which stays the thread's loop) gets the message for its filters.
ModalLoopEnd RunModalLoop(HWND dialog, CMessageLoop& loop);

}  // namespace winhush::ui
