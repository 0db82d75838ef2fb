#include "ui/framework/TipPlacement.h"

namespace winhush::ui {

TipScreenGeometry ReadTipScreenGeometry() {
    TipScreenGeometry screen;
    screen.hasTaskbar = ::FindWindowW(kTaskbarWindowClass, nullptr) != nullptr;
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen.workArea, 0))
        screen.workArea = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    screen.screen = SIZE{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    screen.fullScreenClient = SIZE{::GetSystemMetrics(SM_CXFULLSCREEN), ::GetSystemMetrics(SM_CYFULLSCREEN)};
    return screen;
}

namespace {

POINT PlaceByTaskbarEdge(int outerWidth, int outerHeight, const TipScreenGeometry& screen) {
    // The full-screen client metrics leave out the taskbar and one caption height.
    POINT aboveTaskbar{screen.fullScreenClient.cx - outerWidth, screen.fullScreenClient.cy - outerHeight};
    if (!screen.hasTaskbar) return aboveTaskbar;

    const RECT& work = screen.workArea;
    const bool workAtOrigin = work.left <= 0 && work.top <= 0;
    const bool workSmaller = (work.right - work.left) < screen.screen.cx || (work.bottom - work.top) < screen.screen.cy;
    if (workAtOrigin && workSmaller) {
        // Taskbar at the bottom or on the right: closer to it than the caption gap.
        return POINT{aboveTaskbar.x, aboveTaskbar.y + 10};
    }
    // Taskbar on the left, at the top, or hidden: the screen's own corner is free.
    return POINT{screen.screen.cx - outerWidth, screen.screen.cy - outerHeight};
}

}  // namespace

POINT ComputeTipPosition(const RECT& window, const TipMargins& margins, const TipScreenGeometry& screen) {
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    POINT at = PlaceByTaskbarEdge(width + margins.left + margins.right, height + margins.top + margins.bottom, screen);
    // Where the metrics agree with the work area the spot above already fits. Wine reports a
    // full-screen client height taller than the screen itself, which would push the tip
    // under the taskbar: keep the window and its right and bottom shadow inside the work area.
    const RECT& work = screen.workArea;
    if (work.right > work.left && work.bottom > work.top) {
        if (at.x + width + margins.right > work.right) at.x = work.right - width - margins.right;
        if (at.y + height + margins.bottom > work.bottom) at.y = work.bottom - height - margins.bottom;
    }
    return at;
}

bool PlaceTipWindow(HWND tip, const TipMargins& margins) {
    RECT window{};
    if (!::GetWindowRect(tip, &window)) return false;
    POINT at = ComputeTipPosition(window, margins, ReadTipScreenGeometry());
    return ::SetWindowPos(tip, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE) != FALSE;
}

}  // namespace winhush::ui
