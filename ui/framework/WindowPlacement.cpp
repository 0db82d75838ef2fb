#include "ui/framework/WindowPlacement.h"

namespace winhush::ui {

RECT CenteredRect(const RECT& anchor, SIZE size, const RECT& workArea) {
    LONG left = anchor.left + ((anchor.right - anchor.left) - size.cx) / 2;
    LONG top = anchor.top + ((anchor.bottom - anchor.top) - size.cy) / 2;
    // Right and bottom first, so that the left and top edges win for an oversized window:
    // its caption and close button stay reachable.
    if (left + size.cx > workArea.right) left = workArea.right - size.cx;
    if (top + size.cy > workArea.bottom) top = workArea.bottom - size.cy;
    if (left < workArea.left) left = workArea.left;
    if (top < workArea.top) top = workArea.top;
    return RECT{left, top, left + size.cx, top + size.cy};
}

bool CenterWindowOverOwner(HWND window) {
    if (!::IsWindow(window)) return false;
    HWND owner = ::GetWindow(window, GW_OWNER);
    bool overOwner = owner && ::IsWindowVisible(owner) && !::IsIconic(owner);

    // The owner's monitor even when the owner is hidden in the tray: that is where the
    // user last saw the program, wherever the new window was first put.
    HMONITOR monitor = ::MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info = {sizeof(info)};
    if (!::GetMonitorInfoW(monitor, &info)) return false;

    RECT self = {};
    ::GetWindowRect(window, &self);
    RECT anchor = info.rcWork;
    if (overOwner) ::GetWindowRect(owner, &anchor);
    RECT placed = CenteredRect(anchor, SIZE{self.right - self.left, self.bottom - self.top}, info.rcWork);
    return ::SetWindowPos(window, nullptr, placed.left, placed.top, 0, 0, SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOSIZE) !=
           FALSE;
}

}  // namespace winhush::ui
