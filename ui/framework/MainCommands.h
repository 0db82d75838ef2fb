// What other windows may ask of the main window. Senders post WM_COMMAND with one of these
// ids in the low word of wParam and the main window's own handle as lParam; the handle is
// how the main window tells these commands from notifications of its child controls, so a
// WM_COMMAND with any other lParam is not treated as a command.
#pragma once

#include <windows.h>

namespace winhush::ui {

enum MainCommand : WORD {
    ID_TOGGLE_BLOCK = 1,   // tray menu: blocking on/off
    ID_OPEN_LOCATE = 2,    // show the main window, then the window picker
    ID_OPEN_RECORDS = 3,   // show the main window, then the record dialog
    ID_OPEN_RULES = 4,     // show the main window and open the rule list at once
    ID_OPEN_SETTINGS = 5,  // settings dialog at once, main window left as it is
    ID_UPDATE_TRAY = 6,    // "HideTray" changed: show or remove the tray icon
    ID_EXIT = 7,           // ask, then end the program
};

// Posts a command to the main window; false when it is not there.
inline bool PostMainCommand(HWND mainWindow, MainCommand id) {
    if (!mainWindow || !::IsWindow(mainWindow)) return false;
    return ::PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(mainWindow)) != FALSE;
}

}  // namespace winhush::ui
