// The two notification tips in real windows under the test desktop, whose taskbar sits at
// the bottom: where they land, that they stay on top without taking activation, their
// buttons, and that a closed tip comes back as a new window on the next show.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ForegroundWindow.h"
#include "UiTestSupport.h"
#include "settings/StartupConfig.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/framework/FormatText.h"
#include "ui/framework/MainCommands.h"

using namespace winhush::ui;
using namespace winhush::test;
namespace dui = winhush::dui;

namespace {

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

// Waits until the window has laid out its controls (its first paint).
template <class Tip>
dui::CControlUI* LaidOutControl(Tip& tip, const wchar_t* name) {
    dui::CControlUI* control = nullptr;
    bool laidOut = WaitUntil(
        [&] {
            control = tip.m_pm.FindControl(name);
            if (!control) return false;
            const RECT& pos = control->GetPos();
            return pos.right > pos.left && pos.bottom > pos.top;
        },
        2000ms);
    return laidOut ? control : nullptr;
}

class TipTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseProjectUiResources();
        if (!::FindWindowW(L"Shell_TrayWnd", nullptr)) GTEST_SKIP() << "the test desktop has no taskbar";
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        if (work.bottom >= ::GetSystemMetrics(SM_CYSCREEN) || work.top != 0)
            GTEST_SKIP() << "the taskbar of the test desktop is expected at the bottom";
        workArea = work;
    }
    void TearDown() override {
        blockTip.DestroyTip();
        newTip.DestroyTip();
        winhush::SetMainWindowHandle(nullptr);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    RECT workArea{};
    CBlockTipWnd blockTip;
    CNewWndTipWnd newTip;
};

TEST_F(TipTest, BlockTipSitsAboveTheBottomTaskbarInTheCornerTopmostAndLeavesTheForegroundAlone) {
    ForegroundWindow foreground;
    ASSERT_TRUE(foreground.TakeForeground());

    ASSERT_TRUE(blockTip.ShowTip());
    ASSERT_TRUE(blockTip.IsWindow());
    PumpFor(100ms);
    EXPECT_TRUE(blockTip.IsWindowVisible());
    EXPECT_EQ(::GetForegroundWindow(), foreground.hwnd()) << "the tip took activation";
    EXPECT_NE(::GetActiveWindow(), blockTip.m_hWnd);
    EXPECT_TRUE(blockTip.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(blockTip.GetExStyle() & WS_EX_TOOLWINDOW) << "a tip must not get a taskbar button";
    EXPECT_EQ(blockTip.GetOwner(), nullptr);

    // The layout's size with the shadow frame's margins around it (12, 10, 12, 14 at 96 DPI).
    CWndLace& lace = blockTip.GetLace();
    ASSERT_GT(lace.left, 0);
    ASSERT_GT(lace.bottom, 0);
    RECT rc = WindowRect(blockTip);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    EXPECT_EQ(width, 336);
    EXPECT_EQ(height, 184);
    const int outerWidth = width + lace.left + lace.right;
    const int outerHeight = height + lace.top + lace.bottom;
    // Bottom taskbar: 10 pixels below where the full-screen metrics alone would put it, but
    // never with the window or its shadow under the taskbar.
    const int expectedLeft = std::min(::GetSystemMetrics(SM_CXFULLSCREEN) - outerWidth,
                                      static_cast<int>(workArea.right) - width - lace.right);
    const int expectedTop = std::min(::GetSystemMetrics(SM_CYFULLSCREEN) - outerHeight + 10,
                                     static_cast<int>(workArea.bottom) - height - lace.bottom);
    EXPECT_EQ(rc.left, expectedLeft);
    EXPECT_EQ(rc.top, expectedTop);
    EXPECT_GT(rc.left, workArea.right / 2) << "the tip belongs in the bottom-right corner";
    EXPECT_GT(rc.top, workArea.bottom / 2);
}

TEST_F(TipTest, BlockTipClosesFromEitherButtonAndTheNextShowMakesANewWindow) {
    for (const wchar_t* button : {L"btn_close", L"sysclosebutton"}) {
        SCOPED_TRACE(std::string(button, button + wcslen(button)));
        ASSERT_TRUE(blockTip.ShowTip());
        HWND first = blockTip.m_hWnd;
        dui::CControlUI* close = LaidOutControl(blockTip, button);
        ASSERT_NE(close, nullptr);
        ClickAt(blockTip, CentreOf(close));
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(first); }, 2000ms)) << "the close button left the tip open";
        EXPECT_FALSE(blockTip.IsWindow());
        EXPECT_FALSE(blockTip.GetLace().IsWindow()) << "the shadow outlived its tip";

        ASSERT_TRUE(blockTip.ShowTip());
        ASSERT_TRUE(blockTip.IsWindow());
        EXPECT_TRUE(blockTip.IsWindowVisible());
        EXPECT_TRUE(blockTip.GetExStyle() & WS_EX_TOPMOST);
        ASSERT_NE(LaidOutControl(blockTip, L"btn_close"), nullptr) << "the layout did not load a second time";
        blockTip.DestroyTip();
    }
}

TEST_F(TipTest, EscapeDismissesEitherTip) {
    ASSERT_TRUE(blockTip.ShowTip());
    ASSERT_TRUE(newTip.ShowTip(4));
    HWND block = blockTip.m_hWnd;
    HWND added = newTip.m_hWnd;
    ::PostMessageW(block, WM_KEYDOWN, VK_ESCAPE, 0);
    ::PostMessageW(added, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(block) && !::IsWindow(added); }, 2000ms));
}

TEST_F(TipTest, ShowingAnExistingTipPlacesItAgainInsteadOfMakingAnother) {
    ASSERT_TRUE(blockTip.ShowTip());
    HWND first = blockTip.m_hWnd;
    RECT placed = WindowRect(first);
    // As if the user's desktop had changed since: somewhere else, hidden.
    ::SetWindowPos(first, nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    PumpFor(30ms);
    ASSERT_FALSE(blockTip.IsWindowVisible());

    ASSERT_TRUE(blockTip.ShowTip());
    EXPECT_EQ(blockTip.m_hWnd, first);
    EXPECT_TRUE(blockTip.IsWindowVisible());
    RECT again = WindowRect(first);
    EXPECT_EQ(again.left, placed.left);
    EXPECT_EQ(again.top, placed.top);
    EXPECT_EQ(again.right - again.left, placed.right - placed.left);
}

TEST_F(TipTest, NewPopupsTipShowsTheCountAndASecondShowUpdatesIt) {
    ForegroundWindow foreground;
    ASSERT_TRUE(foreground.TakeForeground());
    ASSERT_TRUE(newTip.ShowTip(3));
    dui::CControlUI* label = LaidOutControl(newTip, L"lab_tip");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetText(), L"检测到 3 个新安装软件的弹窗，可一键拦截");
    EXPECT_EQ(newTip.count, 3);
    EXPECT_EQ(::GetForegroundWindow(), foreground.hwnd()) << "the tip took activation";
    EXPECT_TRUE(newTip.GetExStyle() & WS_EX_TOPMOST);

    HWND first = newTip.m_hWnd;
    ::ShowWindow(first, SW_HIDE);
    ASSERT_TRUE(newTip.ShowTip(12));
    EXPECT_EQ(newTip.m_hWnd, first);
    EXPECT_TRUE(newTip.IsWindowVisible());
    EXPECT_EQ(newTip.m_pm.FindControl(L"lab_tip")->GetText(), L"检测到 12 个新安装软件的弹窗，可一键拦截");
    EXPECT_EQ(::GetForegroundWindow(), foreground.hwnd());
}

TEST_F(TipTest, BlockButtonAsksTheMainWindowForTheRuleListAndClosesTheTip) {
    ForegroundWindow mainWindow;
    winhush::SetMainWindowHandle(mainWindow.hwnd());
    ASSERT_TRUE(newTip.ShowTip(2));
    HWND tip = newTip.m_hWnd;
    dui::CControlUI* block = LaidOutControl(newTip, L"btn_block");
    ASSERT_NE(block, nullptr);
    ClickAt(tip, CentreOf(block));
    ASSERT_TRUE(WaitUntil([&] { return !mainWindow.commands().empty() && !::IsWindow(tip); }, 2000ms));
    ASSERT_EQ(mainWindow.commands().size(), 1u);
    EXPECT_EQ(LOWORD(mainWindow.commands()[0].wParam), ID_OPEN_RULES);
    EXPECT_EQ(HIWORD(mainWindow.commands()[0].wParam), 0);
    EXPECT_EQ(mainWindow.commands()[0].lParam, reinterpret_cast<LPARAM>(mainWindow.hwnd()))
        << "the main window tells its commands from child notifications by this handle";

    // Shown again after the click: a new window with the new count. Without a main window
    // the button still closes the tip.
    winhush::SetMainWindowHandle(nullptr);
    ASSERT_TRUE(newTip.ShowTip(5));
    ASSERT_NE(LaidOutControl(newTip, L"lab_tip"), nullptr);
    EXPECT_EQ(newTip.m_pm.FindControl(L"lab_tip")->GetText(), L"检测到 5 个新安装软件的弹窗，可一键拦截");
    tip = newTip.m_hWnd;
    ClickAt(tip, CentreOf(LaidOutControl(newTip, L"btn_block")));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(tip); }, 2000ms));
    EXPECT_EQ(mainWindow.commands().size(), 1u);
}

TEST(TipWording, PutsTheCountInPlaceOfTheFirstIntegerOnly) {
    struct Case {
        const wchar_t* format;
        int value;
        const wchar_t* expected;
    } cases[] = {
        {L"检测到 %d 个弹窗", 7, L"检测到 7 个弹窗"},
        {L"%d", -12, L"-12"},
        {L"%d of %d", 3, L"3 of %d"},
        {L"100%% sure: %d", 2, L"100% sure: 2"},
        // A wording that asks for text or a pointer must not make the program read memory.
        {L"%s and %p: %d", 4, L"%s and %p: 4"},
        {L"no number", 9, L"no number"},
        {L"trailing %", 1, L"trailing %"},
        {L"", 5, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLayoutText(c.format, {c.value}), c.expected) << c.expected;
}

}  // namespace
