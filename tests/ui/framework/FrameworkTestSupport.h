// Shared by the framework's window tests: the UI resources (layouts and rendered artwork)
// copied into a temporary folder the engine reads from, and small helpers to drive real
// windows with synthetic mouse messages.
#pragma once

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "ui/dui/UIControl.h"
#include "ui/dui/UIManager.h"

namespace winhush::test {

// Points the engine at a folder holding every layout of resources/ui and every rendered
// image; lives for the whole test program.
void UseProjectUiResources();

// Client-coordinate centre of a control.
POINT CentreOf(dui::CControlUI* control);

// A press and release of the left button at a client point, delivered through the window's
// queue and pumped (as a real click would be, minus the hardware).
void ClickAt(HWND hwnd, POINT client);

// Sends WM_NCHITTEST for a client point and returns the answer.
LRESULT HitTestAt(HWND hwnd, POINT client);

// Makes the window lay out and paint now (ShowWindow does not paint by itself).
void ShowAndPaint(HWND hwnd, int command = SW_SHOWNOACTIVATE);

}  // namespace winhush::test
