// The window templates on real windows: layout loading and its failure, frame hit testing,
// region, min/max and maximised client area, notification order of clicks, the shadow
// frame following its host, the lock overlay, and DPI scaling of the frame's data.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "base/DibSurface.h"
#include "base/Handles.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"
#include "ui/framework/FramedDialog.h"

using namespace winhush::ui;
using namespace winhush::test;
using winhush::DibSurface;
using winhush::WindowDc;

namespace {

// Caption 40 high with a label, a button and an option in it; a body row with a button and
// two grouped options. Sizes are 96-DPI units.
const wchar_t* kFrameLayout =
    LR"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,300" caption="0,0,0,40" sizebox="4,4,4,4" roundcorner="16,16" mininfo="200,150" maxinfo="0,0">
  <Font name="Microsoft YaHei" size="14" default="true" />
  <VerticalLayout name="lay_root" bkcolor="#FF336699">
    <HorizontalLayout name="lay_caption" height="40">
      <Label name="lab_title" text="title" width="100" />
      <Button name="btn_cap" text="b" width="40" />
      <Option name="opt_cap" text="o" width="40" />
      <Control />
    </HorizontalLayout>
    <HorizontalLayout height="40" inset="8,0,0,0">
      <Button name="btn_body" text="body" width="100" />
      <Option name="opt_a" text="a" group="grp" width="60" />
      <Option name="opt_b" text="b" group="grp" width="60" />
    </HorizontalLayout>
    <Control />
  </VerticalLayout>
</Window>)";

class TestFrame : public CDuiFrameWndImpl<TestFrame>, public CWndWithLace<TestFrame>, public CWndWithLock<TestFrame> {
public:
    std::wstring layout = kFrameLayout;
    std::vector<std::wstring> notes;

    const wchar_t* GetSkinFile() override { return layout.c_str(); }
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == L"windowinit" || msg.sType == L"timer") return;
        notes.push_back(msg.sType + L":" + (msg.pSender ? msg.pSender->GetName() : std::wstring()));
    }
    CControlUI* Find(const wchar_t* name) { return m_pm.FindControl(name); }
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseProjectUiResources();
        ASSERT_TRUE(frame.Create(nullptr, RECT{100, 100, 500, 400}, L"frame", kMainWindowStyle, WS_EX_APPWINDOW));
        ASSERT_TRUE(frame.IsLayoutLoaded());
        ShowAndPaint(frame);
    }
    void TearDown() override {
        if (frame.IsWindow()) frame.DestroyWindow();
        DrainQuit();
    }
    static void DrainQuit() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    TestFrame frame;
};

bool RectEq(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT WorkArea(HWND hwnd) {
    MONITORINFO info = {sizeof(info)};
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

}  // namespace

TEST_F(FrameTest, HitTestGivesSizingBordersCaptionAndClientAreas) {
    struct Case {
        POINT at;
        LRESULT expected;
    } cases[] = {
        {{1, 1}, HTTOPLEFT},      {{398, 1}, HTTOPRIGHT},      {{200, 2}, HTTOP},
        {{1, 298}, HTBOTTOMLEFT}, {{398, 298}, HTBOTTOMRIGHT}, {{200, 297}, HTBOTTOM},
        {{2, 150}, HTLEFT},       {{397, 150}, HTRIGHT},       {{50, 20}, HTCAPTION},  // the label in the caption drags
        {{120, 20}, HTCLIENT},                                                         // a button in the caption clicks
        {{160, 20}, HTCLIENT},                                                         // so does an option
        {{300, 20}, HTCAPTION},                                                        // empty caption space drags too
        {{50, 60}, HTCLIENT},                                                          // below the caption
    };
    for (const auto& c : cases) EXPECT_EQ(HitTestAt(frame, c.at), c.expected) << "at " << c.at.x << "," << c.at.y;
}

TEST_F(FrameTest, ClickOnACaptionButtonReachesTheButton) {
    ClickAt(frame, CentreOf(frame.Find(L"btn_cap")));
    EXPECT_NE(std::find(frame.notes.begin(), frame.notes.end(), L"click:btn_cap"), frame.notes.end());
}

TEST_F(FrameTest, OptionClickComesBeforeItsSelectionChange) {
    frame.notes.clear();
    ClickAt(frame, CentreOf(frame.Find(L"opt_a")));
    auto click = std::find(frame.notes.begin(), frame.notes.end(), L"click:opt_a");
    auto changed = std::find(frame.notes.begin(), frame.notes.end(), L"selectchanged:opt_a");
    ASSERT_NE(click, frame.notes.end());
    ASSERT_NE(changed, frame.notes.end());
    EXPECT_LT(click, changed);

    // Clicking the selected member of a group again changes nothing.
    frame.notes.clear();
    ClickAt(frame, CentreOf(frame.Find(L"opt_a")));
    EXPECT_EQ(std::count(frame.notes.begin(), frame.notes.end(), L"selectchanged:opt_a"), 0);
}

TEST_F(FrameTest, FocusMovesWithKillFocusBeforeSetFocus) {
    ClickAt(frame, CentreOf(frame.Find(L"btn_body")));
    frame.notes.clear();
    ClickAt(frame, CentreOf(frame.Find(L"opt_b")));
    auto kill = std::find(frame.notes.begin(), frame.notes.end(), L"killfocus:btn_body");
    auto set = std::find(frame.notes.begin(), frame.notes.end(), L"setfocus:opt_b");
    ASSERT_NE(kill, frame.notes.end());
    ASSERT_NE(set, frame.notes.end());
    EXPECT_LT(kill, set);
    EXPECT_EQ(frame.m_pm.GetFocus(), frame.Find(L"opt_b"));
}

TEST_F(FrameTest, HoverFollowsTheMouseAndAPressCapturesIt) {
    POINT at = CentreOf(frame.Find(L"btn_body"));
    ::SendMessageW(frame, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(frame.m_pm.GetHoverControl(), frame.Find(L"btn_body"));
    ::SendMessageW(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    EXPECT_EQ(::GetCapture(), frame.m_hWnd);
    ::SendMessageW(frame, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    EXPECT_NE(::GetCapture(), frame.m_hWnd);
}

TEST_F(FrameTest, RoundCornersCutTheWindowRegion) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(frame, region), ERROR);
    EXPECT_FALSE(::PtInRegion(region, 0, 0));     // the corner is cut away
    EXPECT_TRUE(::PtInRegion(region, 8, 8));      // inside the 8 px radius
    EXPECT_TRUE(::PtInRegion(region, 200, 0));    // the top edge itself stays
    EXPECT_TRUE(::PtInRegion(region, 399, 150));  // as does the right edge
    ::DeleteObject(region);
}

TEST_F(FrameTest, MinimumTrackingSizeComesFromTheLayout) {
    MINMAXINFO info = {};
    ::SendMessageW(frame, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 150);
    RECT work = WorkArea(frame);
    EXPECT_EQ(info.ptMaxSize.x, work.right - work.left);
    EXPECT_EQ(info.ptMaxSize.y, work.bottom - work.top);
}

TEST_F(FrameTest, MaximisedFrameFillsTheWorkAreaHasNoBordersAndNoShadow) {
    ASSERT_TRUE(frame.GetLace().IsWindow());
    EXPECT_TRUE(frame.GetLace().IsWindowVisible());
    ShowAndPaint(frame, SW_MAXIMIZE);
    ASSERT_TRUE(frame.IsZoomed());
    RECT work = WorkArea(frame), client = frame.GetClientRect();
    EXPECT_EQ(client.right - client.left, work.right - work.left);
    EXPECT_EQ(client.bottom - client.top, work.bottom - work.top);
    EXPECT_FALSE(frame.GetLace().IsWindowVisible());
    // No sizing borders while maximised: the corner is plain caption space.
    EXPECT_NE(HitTestAt(frame, POINT{1, 1}), HTTOPLEFT);
    EXPECT_NE(HitTestAt(frame, POINT{1, 200}), HTLEFT);

    ShowAndPaint(frame, SW_RESTORE);
    EXPECT_TRUE(frame.GetLace().IsWindowVisible());
}

TEST_F(FrameTest, ShadowSurroundsTheHostAndFollowsIt) {
    CWndLace& lace = frame.GetLace();
    ASSERT_TRUE(lace.IsWindow());
    EXPECT_EQ(lace.GetOwner(), frame.m_hWnd);
    EXPECT_FALSE(lace.IsWindowEnabled());
    EXPECT_TRUE(lace.GetExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(lace.GetStyle() & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), 0u);
    // Margins of dlg_lace.xml at 96 DPI.
    EXPECT_EQ(lace.left, 12);
    EXPECT_EQ(lace.top, 10);
    EXPECT_EQ(lace.right, 12);
    EXPECT_EQ(lace.bottom, 14);
    EXPECT_TRUE(RectEq(lace.GetWindowRect(), RECT{88, 90, 512, 414}));

    ::MoveWindow(frame, 300, 200, 400, 300, TRUE);
    PumpFor(30ms);
    EXPECT_TRUE(RectEq(lace.GetWindowRect(), RECT{288, 190, 712, 514}));
    ::SetWindowPos(frame, nullptr, 0, 0, 500, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(30ms);
    EXPECT_TRUE(RectEq(lace.GetWindowRect(), RECT{288, 190, 812, 534}));

    frame.ShowWindow(SW_HIDE);
    EXPECT_FALSE(lace.IsWindowVisible());
    // A hidden host that moves keeps its shadow hidden.
    ::SetWindowPos(frame, nullptr, 0, 0, 420, 320, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(lace.IsWindowVisible());
    ShowAndPaint(frame);
    EXPECT_TRUE(lace.IsWindowVisible());
    ShowAndPaint(frame, SW_MINIMIZE);
    EXPECT_FALSE(lace.IsWindowVisible());
}

TEST_F(FrameTest, LockOverlayCoversTheHostOnlyWhileLocked) {
    CLockWnd& lock = frame.GetLockWnd();
    ASSERT_TRUE(lock.IsWindow());
    EXPECT_FALSE(lock.IsWindowVisible());
    EXPECT_FALSE(lock.IsWindowEnabled());
    frame.LockOn();
    EXPECT_TRUE(frame.active);
    EXPECT_TRUE(lock.IsWindowVisible());
    EXPECT_TRUE(RectEq(lock.GetWindowRect(), frame.GetWindowRect()));
    frame.ShowWindow(SW_HIDE);
    EXPECT_FALSE(lock.IsWindowVisible());
    frame.ShowWindow(SW_SHOWNOACTIVATE);
    EXPECT_TRUE(lock.IsWindowVisible());
    frame.LockOff();
    EXPECT_FALSE(frame.active);
    EXPECT_FALSE(lock.IsWindowVisible());
    // Not locked: showing the host leaves the overlay alone.
    frame.ShowWindow(SW_HIDE);
    frame.ShowWindow(SW_SHOWNOACTIVATE);
    EXPECT_FALSE(lock.IsWindowVisible());
}

TEST(FrameLayout, AMissingLayoutEndsTheProgramLoop) {
    UseProjectUiResources();
    TestFrame frame;
    frame.layout = L"no_such_layout.xml";
    HWND hwnd = frame.Create(nullptr, RECT{0, 0, 200, 100}, nullptr, kMainWindowStyle, 0);
    ASSERT_TRUE(hwnd);  // WM_CREATE answered 0: the window exists, empty
    EXPECT_FALSE(frame.IsLayoutLoaded());
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    frame.DestroyWindow();
}

TEST(FrameLayout, ShadowWhoseLayoutRootIsNoContainerIsNotCreated) {
    UseProjectUiResources();
    struct BadLace : CWndLace {
        const wchar_t* GetSkinFile() override { return LR"(<Window><Label text="x" /></Window>)"; }
    } lace;
    TestFrame host;
    host.layout = kFrameLayout;
    ASSERT_TRUE(host.Create(nullptr, RECT{0, 0, 400, 300}, nullptr, kMainWindowStyle, 0));
    EXPECT_FALSE(lace.CreateFor(host));
    EXPECT_FALSE(lace.IsWindow());
    host.DestroyWindow();
}

TEST(FrameDpi, FrameDataScalesWithTheWindowDpi) {
    UseProjectUiResources();
    TestFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, RECT{100, 100, 500, 400}, nullptr, kMainWindowStyle, 0));
    frame.m_pm.SetDPI(144);
    MINMAXINFO info = {};
    ::SendMessageW(frame, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 300);  // 200 × 1.5
    EXPECT_EQ(info.ptMinTrackSize.y, 225);
    // The sizing border is 4 → 6 px and the caption 40 → 60 px.
    ::SetWindowPos(frame, nullptr, 0, 0, 600, 450, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowAndPaint(frame);
    EXPECT_EQ(HitTestAt(frame, POINT{5, 200}), HTLEFT);
    EXPECT_NE(HitTestAt(frame, POINT{7, 200}), HTLEFT);
    EXPECT_EQ(HitTestAt(frame, POINT{400, 55}), HTCAPTION);
    EXPECT_EQ(HitTestAt(frame, POINT{400, 65}), HTCLIENT);
    frame.DestroyWindow();
}

TEST(FrameRendering, PaintsTheLayoutBackgroundIntoAMemoryDc) {
    UseProjectUiResources();
    TestFrame frame;
    ASSERT_TRUE(frame.Create(nullptr, RECT{100, 100, 500, 400}, nullptr, kMainWindowStyle, 0));
    WindowDc screen(nullptr);
    DibSurface memory;
    ASSERT_TRUE(memory.CreateCompatible(400, 300, screen.get()));
    RECT all = {0, 0, 400, 300};
    frame.m_pm.PaintTo(memory.hdc(), all);
    EXPECT_EQ(::GetPixel(memory.hdc(), 200, 200), RGB(0x33, 0x66, 0x99));
    frame.DestroyWindow();
}

namespace {
// A dialog as the program's dialogs are composed: frame, modal loop and shadow frame.
class TestDialog : public CDuiFrameWndImpl<TestDialog>,
                   public CDuiDialogImpl<TestDialog>,
                   public CWndWithLace<TestDialog> {
public:
    bool ownerLockedWhileOpen = false;
    bool timedOut = false;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) override {
        handled = message == WM_TIMER && wParam == 77;  // the click never closed the dialog
        if (handled) {
            timedOut = true;
            ::KillTimer(m_hWnd, 77);
            PostMessage(WM_CLOSE);
        }
        return 0;
    }
    const wchar_t* GetSkinFile() override {
        return LR"(<Window size="240,160" caption="0,0,0,32" roundcorner="16,16">
          <VerticalLayout bkcolor="#FFFFFFFF"><Button name="sysclosebutton" height="32" width="32" /></VerticalLayout>
        </Window>)";
    }
    void Notify(TNotifyUI& msg) override {
        if (msg.sType == L"windowinit") {
            HWND owner = GetOwner();
            ownerLockedWhileOpen = !::IsWindowEnabled(owner);
            ::SetTimer(m_hWnd, 77, 5000, nullptr);
            POINT at = CentreOf(m_pm.FindControl(L"sysclosebutton"));
            LPARAM lp = MAKELPARAM(at.x, at.y);
            PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, lp);
            PostMessage(WM_LBUTTONUP, 0, lp);
        } else if (msg.sType == L"click" && msg.pSender && msg.pSender->GetName() == L"sysclosebutton") {
            PostMessage(WM_CLOSE);
        }
    }
};
}  // namespace

TEST_F(FrameTest, ModalDialogOverALockedHostReturnsControlToIt) {
    TestDialog dialog;
    frame.LockOn();
    ASSERT_TRUE(dialog.Create(frame, CWindow::rcDefault, nullptr, kDialogStyle, WS_EX_TOOLWINDOW));
    ASSERT_TRUE(dialog.GetLace().IsWindow());
    ModalLoopEnd end = dialog.RunModalLoop();
    frame.LockOff();
    EXPECT_FALSE(end.quit);
    EXPECT_TRUE(dialog.ownerLockedWhileOpen);
    EXPECT_FALSE(dialog.timedOut);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_TRUE(frame.IsWindowEnabled());
    EXPECT_FALSE(frame.GetLockWnd().IsWindowVisible());
}

namespace {
// Reports what it sees of its owner and itself once shown, then closes.
class FramedProbe : public CDuiFrameWndImpl<FramedProbe>, public CDuiDialogImpl<FramedProbe> {
public:
    TestFrame* owner = nullptr;
    bool ownerLocked = false, lockShown = false, ownerEnabled = true;
    DWORD style = 0, exStyle = 0;
    RECT placed = {};
    const wchar_t* GetSkinFile() override {
        return LR"(<Window size="200,120"><VerticalLayout bkcolor="#FFFFFFFF" /></Window>)";
    }
    void Notify(TNotifyUI& msg) override {
        if (msg.sType != L"windowinit") return;
        ownerLocked = owner->IsLocked();
        lockShown = owner->GetLockWnd().IsWindowVisible();
        ownerEnabled = owner->IsWindowEnabled();
        style = GetStyle();
        exStyle = GetExStyle();
        placed = GetWindowRect();
        PostMessage(WM_CLOSE);
    }
};
}  // namespace

TEST_F(FrameTest, FramedDialogIsCentredOverItsOwnerWhichItLocksWhileItRuns) {
    FramedProbe dialog;
    dialog.owner = &frame;
    ModalLoopEnd end = RunFramedDialog(dialog, frame);
    EXPECT_FALSE(end.quit);
    EXPECT_TRUE(dialog.ownerLocked);
    EXPECT_TRUE(dialog.lockShown);
    EXPECT_FALSE(dialog.ownerEnabled);
    EXPECT_EQ(dialog.style & kDialogStyle, kDialogStyle);
    EXPECT_TRUE(dialog.exStyle & WS_EX_TOOLWINDOW);
    RECT owner = frame.GetWindowRect();
    EXPECT_EQ((dialog.placed.left + dialog.placed.right) / 2, (owner.left + owner.right) / 2);
    EXPECT_EQ((dialog.placed.top + dialog.placed.bottom) / 2, (owner.top + owner.bottom) / 2);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_FALSE(frame.IsLocked());
    EXPECT_FALSE(frame.GetLockWnd().IsWindowVisible());
    EXPECT_TRUE(frame.IsWindowEnabled());

    // An owner that raised its lock itself (the main window around its runners) keeps it.
    FramedProbe second;
    second.owner = &frame;
    frame.LockOn();
    RunFramedDialog(second, frame);
    EXPECT_TRUE(second.ownerLocked);
    EXPECT_TRUE(frame.IsLocked());
    frame.LockOff();
}

TEST_F(FrameTest, FramedDialogOverAHiddenOwnerSitsOnItsMonitorWithoutAFloatingVeil) {
    frame.ShowWindow(SW_HIDE);
    FramedProbe dialog;
    dialog.owner = &frame;
    RunFramedDialog(dialog, frame);
    EXPECT_TRUE(dialog.ownerLocked);
    EXPECT_FALSE(dialog.lockShown) << "a veil over a window that is not there";
    RECT work = WorkArea(frame);
    EXPECT_EQ((dialog.placed.left + dialog.placed.right) / 2, (work.left + work.right) / 2);
    EXPECT_FALSE(frame.IsLocked());
}
