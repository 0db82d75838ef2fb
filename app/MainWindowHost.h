// The main window as the shell sees it: created, shown and run on the UI thread.
#pragma once

#include <windows.h>

namespace winhush {

// Creates the main window (not shown); null on failure. Its creation starts the workers.
HWND CreateMainWindow(HINSTANCE instance);

}  // namespace winhush
