// Where the two notification tips sit: above the notification area in the bottom-right
// corner, taking the taskbar's edge into account. The rule is a pure function of the
// tip's size with its shadow and of the screen geometry, so it can be checked for every
// taskbar edge without moving a real taskbar; PlaceTipWindow applies it to a window.
#pragma once

#include <windows.h>

namespace winhush::ui {

// The taskbar's window class; the tray icon looks for it too.
inline constexpr wchar_t kTaskbarWindowClass[] = L"Shell_TrayWnd";

// The screen as the placement sees it (primary monitor).
struct TipScreenGeometry {
    bool hasTaskbar = false;  // a "Shell_TrayWnd" window exists
    RECT workArea{};          // SPI_GETWORKAREA
    SIZE screen{};            // SM_CXSCREEN, SM_CYSCREEN
    SIZE fullScreenClient{};  // SM_CXFULLSCREEN, SM_CYFULLSCREEN
};

// Shadow-frame margins around a tip window.
struct TipMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

TipScreenGeometry ReadTipScreenGeometry();

// Top-left corner for a tip whose window rectangle is `window` and whose shadow frame adds
// `margins` around it.
POINT ComputeTipPosition(const RECT& window, const TipMargins& margins, const TipScreenGeometry& screen);

// Moves the window there (size kept), topmost, without activating it.
bool PlaceTipWindow(HWND tip, const TipMargins& margins);

}  // namespace winhush::ui
