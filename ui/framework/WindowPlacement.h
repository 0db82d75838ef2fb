// Where dialogs, message boxes and companion windows go on screen: centring over an owner
// (or the work area when the owner cannot be seen), kept inside the work area.
#pragma once

#include <windows.h>

namespace winhush::ui {

// The rectangle `size` gets when centred over `anchor` and then clamped into `workArea`
// (left and top win when the window is larger than the work area).
RECT CenteredRect(const RECT& anchor, SIZE size, const RECT& workArea);

// Centres the window over its owner when the owner is visible and not minimised, else over
// the work area of the owner's monitor (the window's own without an owner), clamped into
// that work area; never resizes, re-orders or activates it.
bool CenterWindowOverOwner(HWND window);

}  // namespace winhush::ui
