// The program's main window is the skinned CMainDlg. It lives on the heap and frees itself
// after its last message, which comes when the exit command destroys it and the message
// loop ends.
#include "app/MainWindowHost.h"
#include "ui/main/DialogRunners.h"
#include "ui/main/MainDlg.h"

namespace winhush {

HWND CreateMainWindow(HINSTANCE /*instance*/) {
    // Before the window exists: its first run may ask for the rule list straight away.
    ui::RegisterDialogRunners();
    auto* window = new ui::CMainDlg();
    HWND hwnd = window->CreateMainWindow();
    if (!hwnd) {
        delete window;
        return nullptr;
    }
    // Only a window that exists may take its object with it.
    window->DeleteWhenGone();
    return hwnd;
}

}  // namespace winhush
