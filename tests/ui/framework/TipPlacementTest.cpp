// Where the tips go for each taskbar edge (pure rule, table-driven), and a real tip-sized
// window placed on the Wine test desktop, whose taskbar is at the bottom.
#include <gtest/gtest.h>
#include <windows.h>

#include "TestSupport.h"
#include "ui/framework/TipPlacement.h"

using namespace winhush::ui;
using namespace winhush::test;

namespace {

struct PlacementCase {
    const char* name;
    bool hasTaskbar;
    RECT workArea;
    SIZE fullScreenClient;
    POINT expected;
};

// Screen 1280x800, tip window 300x150 with shadow margins 8/6/10/12, so 318x168 outside.
// Full-screen client metrics are the work area less a 23-pixel caption.
const PlacementCase kCases[] = {
    {"bottom taskbar: 10 px below the metrics", true, {0, 0, 1280, 780}, {1280, 757}, {962, 599}},
    {"right taskbar: 10 px below the metrics", true, {0, 0, 1220, 800}, {1220, 777}, {902, 619}},
    {"left taskbar: the screen's corner", true, {60, 0, 1280, 800}, {1220, 777}, {962, 632}},
    {"top taskbar: the screen's corner", true, {0, 20, 1280, 800}, {1280, 757}, {962, 632}},
    {"taskbar hidden (work area is the screen)", true, {0, 0, 1280, 800}, {1280, 777}, {962, 632}},
    {"no taskbar window: the metrics alone", false, {0, 0, 1280, 800}, {1280, 777}, {962, 609}},
    {"no taskbar window ignores the work area", false, {0, 0, 1280, 780}, {1280, 757}, {962, 589}},
    // Wine answers a full-screen client height taller than the screen.
    {"metrics beyond the work area: kept above the taskbar", true, {0, 0, 1280, 780}, {1280, 811}, {962, 618}},
    {"metrics wider than the work area: kept left of it", true, {0, 0, 1220, 800}, {1290, 777}, {910, 619}},
};

TEST(TipPlacement, FollowsTheTaskbarEdge) {
    const RECT window{100, 40, 400, 190};
    const TipMargins margins{8, 6, 10, 12};
    for (const auto& c : kCases) {
        TipScreenGeometry screen;
        screen.hasTaskbar = c.hasTaskbar;
        screen.workArea = c.workArea;
        screen.screen = SIZE{1280, 800};
        screen.fullScreenClient = c.fullScreenClient;
        POINT at = ComputeTipPosition(window, margins, screen);
        EXPECT_EQ(at.x, c.expected.x) << c.name;
        EXPECT_EQ(at.y, c.expected.y) << c.name;
    }
}

TEST(TipPlacement, PlacesARealWindowAboveTheBottomTaskbarWithoutActivatingIt) {
    HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(taskbar, nullptr) << "the Wine test desktop has no taskbar";
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT bar{};
    ::GetWindowRect(taskbar, &bar);
    ASSERT_EQ(bar.top, work.bottom) << "this test expects the taskbar at the bottom";

    HWND tip = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"tip", WS_POPUP, 5, 5, 320, 140, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(tip, nullptr);
    ::ShowWindow(tip, SW_SHOWNOACTIVATE);
    HWND other = ::CreateWindowExW(0, L"STATIC", L"foreground", WS_POPUP | WS_VISIBLE, 10, 10, 100, 60, nullptr,
                                   nullptr, nullptr, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == other; }, 1s));

    const TipMargins margins{10, 8, 12, 14};
    ASSERT_TRUE(PlaceTipWindow(tip, margins));

    RECT placed{};
    ::GetWindowRect(tip, &placed);
    EXPECT_EQ(placed.right - placed.left, 320);
    EXPECT_EQ(placed.bottom - placed.top, 140);
    EXPECT_EQ(placed.left, ::GetSystemMetrics(SM_CXFULLSCREEN) - (320 + 10 + 12));
    // 10 pixels below the metrics' spot, unless that spot would reach under the taskbar
    // (Wine's full-screen height exceeds the screen): then the shadow ends on its edge.
    const int metricsSpot = ::GetSystemMetrics(SM_CYFULLSCREEN) - (140 + 8 + 14) + 10;
    if (metricsSpot + 140 + 14 <= work.bottom)
        EXPECT_EQ(placed.top, metricsSpot);
    else
        EXPECT_EQ(placed.bottom + 14, work.bottom);
    EXPECT_TRUE(::GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    PumpFor(100ms);
    EXPECT_EQ(::GetForegroundWindow(), other);

    ::DestroyWindow(tip);
    ::DestroyWindow(other);
}

}  // namespace
