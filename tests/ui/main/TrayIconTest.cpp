// The tray icon in the Wine desktop's real notification area, hosted by a plain window of
// this test that forwards its messages. What the shell holds is checked through the shell
// (NIM_MODIFY succeeds only for an icon it knows, and the icon's pixels on screen), not
// only through the object's own flags.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/SettingsStore.h"
#include "ui/main/TrayIcon.h"

using namespace winhush::ui;
using namespace winhush::test;

namespace {

const std::wstring kSettingsKey = winhush::settings::kSettingsKeyPath;
const std::wstring kNormalTip = L"Zelvane-弹窗拦截";

class TrayHost : public CTrayIconImpl<TrayHost> {
public:
    HWND hwnd = nullptr;
    bool locked = false;
    std::vector<POINT> menus;
    std::vector<HICON> blinkIcons;  // the icon after each blink tick
    int retryTicks = 0;

    bool IsLocked() const { return locked; }
    void OnTrayMenu(POINT at) { menus.push_back(at); }

    bool Create() {
        hwnd = CreateTestWindow(L"WinhushTrayTestHost", &TrayHost::Proc, this, L"tray host", WS_EX_TOOLWINDOW,
                                RECT{100, 100, 300, 220});
        if (!hwnd) return false;
        AttachTrayHost(hwnd);
        return LoadTrayIcons();
    }
    void Destroy() {
        DeleteIcon();
        if (hwnd) ::DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    // Ready-made states for the click tests.
    void ForceLook(HICON icon, const wchar_t* tip) {
        SetIcon(icon);
        SetTooltip(tip);
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = TestWindowObject<TrayHost>(hwnd, message, lParam);
        LRESULT result = 0;
        if (self && self->ProcessTrayMessage(message, wParam, lParam, result)) {
            if (message == WM_TIMER && wParam == TIMER_TRAY_BLINK) self->blinkIcons.push_back(self->CurrentIcon());
            if (message == WM_TIMER && wParam == TIMER_TRAY_RETRY) ++self->retryTicks;
            return result;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

// Asks the shell itself: a modification succeeds only for an icon it holds.
bool ShellHoldsIcon(HWND host) {
    NOTIFYICONDATAW probe = {sizeof(probe)};
    probe.hWnd = host;
    probe.uID = kTrayIconId;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

struct SlotColours {
    int red = 0;   // the alert icon's shield
    int blue = 0;  // the normal icon's shield
};

// Counts shield-coloured pixels in the first icon slot of the taskbar's notification area.
SlotColours ReadTraySlot() {
    SlotColours colours;
    HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT bar{};
    if (!taskbar || !::GetWindowRect(taskbar, &bar)) return colours;
    const int cx = bar.right - 10, cy = bar.top + 10, half = 8;
    HDC screen = ::GetDC(nullptr);
    for (int y = cy - half; y <= cy + half; ++y) {
        for (int x = cx - half; x <= cx + half; ++x) {
            COLORREF c = ::GetPixel(screen, x, y);
            int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
            if (r > 180 && g < 120 && b < 120) ++colours.red;
            if (b > 180 && r < 110 && g > 120 && g < 190) ++colours.blue;
        }
    }
    ::ReleaseDC(nullptr, screen);
    return colours;
}

// A balloon of the taskbar: a visible tooltip window of another process.
bool BalloonVisible() {
    bool found = false;
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t name[64] = {};
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hwnd, &pid);
            if (pid != ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && ::GetClassNameW(hwnd, name, 64) &&
                std::wstring(name) == L"tooltips_class32") {
                *reinterpret_cast<bool*>(param) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(::FindWindowW(L"Shell_TrayWnd", nullptr), nullptr) << "the Wine test desktop has no taskbar";
        RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray", 0);
        ASSERT_TRUE(host.Create());
    }
    void TearDown() override {
        host.Destroy();
        RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray");
        RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"IconTip");
    }
    void SendTray(WPARAM id, UINT mouseMessage) {
        ::SendMessageW(host.hwnd, host.TrayCallbackMessage(), id, mouseMessage);
    }
    TrayHost host;
};

TEST_F(TrayIconTest, FollowsHideTrayWhenApplied) {
    EXPECT_TRUE(host.ApplyTrayVisibility());
    EXPECT_TRUE(host.IsAdded());
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));
    EXPECT_EQ(host.CurrentTooltip(), kNormalTip);
    EXPECT_EQ(host.CurrentIcon(), host.NormalIcon());
    // Applying again while shown changes nothing and still succeeds.
    EXPECT_TRUE(host.ApplyTrayVisibility());
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));

    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray", 1);
    EXPECT_TRUE(host.ApplyTrayVisibility());
    EXPECT_FALSE(host.IsAdded());
    EXPECT_FALSE(ShellHoldsIcon(host.hwnd));

    // Taking the setting back shows it again without a new host.
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray", 0);
    EXPECT_TRUE(host.ApplyTrayVisibilityOrRetry());
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));
    EXPECT_FALSE(host.IsRetrying());
}

TEST_F(TrayIconTest, RetriesEvery500msUntilTheShellTakesTheIcon) {
    // The shell refuses a second icon with the same window and id, which makes a real
    // refusal without touching the taskbar.
    NOTIFYICONDATAW squatter = {sizeof(squatter)};
    squatter.hWnd = host.hwnd;
    squatter.uID = kTrayIconId;
    squatter.uFlags = NIF_ICON;
    squatter.hIcon = host.AlertIcon();
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_ADD, &squatter));

    EXPECT_FALSE(host.ApplyTrayVisibilityOrRetry());
    EXPECT_FALSE(host.IsAdded());
    EXPECT_TRUE(host.IsRetrying());
    ASSERT_TRUE(WaitUntil([&] { return host.retryTicks >= 2; }, 3s));
    EXPECT_FALSE(host.IsAdded());

    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &squatter));
    ASSERT_TRUE(WaitUntil([&] { return host.IsAdded(); }, 3s));
    EXPECT_FALSE(host.IsRetrying());
    int ticks = host.retryTicks;
    PumpFor(700ms);
    EXPECT_EQ(host.retryTicks, ticks) << "the retry timer must stop once the icon is in";
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));
}

TEST_F(TrayIconTest, ComesBackInTheNormalStateAfterTaskbarCreated) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    host.ForceLook(host.AlertIcon(), L"blocked: something");

    ::SendMessageW(host.hwnd, host.TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(host.IsAdded());
    EXPECT_FALSE(ShellHoldsIcon(host.hwnd)) << "the stale icon must be deleted first";
    EXPECT_TRUE(host.IsRetrying());

    ASSERT_TRUE(WaitUntil([&] { return host.IsAdded() && !host.IsRetrying(); }, 3s));
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));
    EXPECT_EQ(host.retryTicks, 1) << "one 500 ms tick re-adds it while the taskbar is there";
    EXPECT_EQ(host.CurrentIcon(), host.NormalIcon());
    EXPECT_EQ(host.CurrentTooltip(), kNormalTip);
    // The retry timer is gone: no further ticks.
    PumpFor(700ms);
    EXPECT_EQ(host.retryTicks, 1);
}

TEST_F(TrayIconTest, BlinkAlternatesFifteenStepsAndEndsOnTheAlertIcon) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    const wchar_t* text = L"Zelvane-弹窗拦截\r\n拦截窗口：demo\r\n拦截时间：2026/12/08 05:00";
    ASSERT_TRUE(host.NotifyBlock(text));
    EXPECT_EQ(host.BlinkCountdown(), 15);
    EXPECT_EQ(host.CurrentTooltip(), text);

    ASSERT_TRUE(WaitUntil([&] { return host.blinkIcons.size() >= 16; }, 6s));
    PumpFor(600ms);  // the timer must have stopped: no seventeenth tick
    ASSERT_EQ(host.blinkIcons.size(), 16u);
    // 15 odd-even steps starting with the normal icon, then the alert icon for good.
    for (size_t i = 0; i < 15; ++i)
        EXPECT_EQ(host.blinkIcons[i], i % 2 == 0 ? host.NormalIcon() : host.AlertIcon()) << "step " << i;
    EXPECT_EQ(host.blinkIcons[15], host.AlertIcon());
    EXPECT_EQ(host.BlinkCountdown(), 0);
    EXPECT_EQ(host.CurrentTooltip(), text) << "the block text stays until the user clicks";

    // And the taskbar really shows the red alert mark.
    EXPECT_TRUE(WaitUntil([] { return ReadTraySlot().red > 20; }, 2s))
        << "red " << ReadTraySlot().red << " blue " << ReadTraySlot().blue;
    EXPECT_LT(ReadTraySlot().blue, 5);
}

TEST_F(TrayIconTest, ANewBlockWhileBlinkingStartsTheCountdownAgainWithOneTimer) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    ASSERT_TRUE(host.NotifyBlock(L"first"));
    ASSERT_TRUE(WaitUntil([&] { return host.blinkIcons.size() >= 5; }, 3s));
    size_t before = host.blinkIcons.size();
    ASSERT_TRUE(host.NotifyBlock(L"second"));
    EXPECT_EQ(host.BlinkCountdown(), 15);
    EXPECT_EQ(host.CurrentTooltip(), L"second");

    ASSERT_TRUE(WaitUntil([&] { return host.BlinkCountdown() == 0 && host.blinkIcons.size() >= before + 16; }, 6s));
    PumpFor(600ms);
    EXPECT_EQ(host.blinkIcons.size(), before + 16) << "a second timer would have added ticks";
    EXPECT_EQ(host.blinkIcons[before], host.NormalIcon());
    EXPECT_EQ(host.blinkIcons.back(), host.AlertIcon());
}

TEST_F(TrayIconTest, NullAndOverlongBlockTextsChangeNothing) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    EXPECT_FALSE(host.NotifyBlock(nullptr));
    std::wstring longText(127, L'x');
    EXPECT_FALSE(host.NotifyBlock(longText.c_str()));
    EXPECT_EQ(host.BlinkCountdown(), 0);
    EXPECT_EQ(host.CurrentTooltip(), kNormalTip);
    PumpFor(300ms);
    EXPECT_TRUE(host.blinkIcons.empty()) << "no blink timer may start";

    std::wstring fits(126, L'y');
    EXPECT_TRUE(host.NotifyBlock(fits.c_str()));
    EXPECT_EQ(host.CurrentTooltip(), fits);
}

TEST_F(TrayIconTest, TooltipsAreCutToStayTerminated) {
    std::wstring tip(200, L'a');
    tip[126] = L'b';
    tip[127] = L'c';
    ASSERT_TRUE(host.AddIcon(host.NormalIcon(), tip.c_str()));
    EXPECT_EQ(host.CurrentTooltip(), tip.substr(0, 127));
    EXPECT_TRUE(ShellHoldsIcon(host.hwnd));
    std::wstring longer(500, L'z');
    EXPECT_TRUE(host.SetTooltip(longer.c_str()));
    EXPECT_EQ(host.CurrentTooltip(), longer.substr(0, 127));
    EXPECT_FALSE(host.SetTooltip(nullptr));
    EXPECT_FALSE(host.SetIcon(nullptr));
}

TEST_F(TrayIconTest, LeftClickRestoresTheNormalLookAndShowsTheHost) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    ASSERT_FALSE(::IsWindowVisible(host.hwnd));
    host.ForceLook(host.AlertIcon(), L"blocked");

    SendTray(1, WM_LBUTTONDOWN);  // another icon id is not ours
    EXPECT_EQ(host.CurrentIcon(), host.AlertIcon());
    EXPECT_FALSE(::IsWindowVisible(host.hwnd));

    SendTray(kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(host.CurrentIcon(), host.NormalIcon());
    EXPECT_EQ(host.CurrentTooltip(), kNormalTip);
    EXPECT_TRUE(::IsWindowVisible(host.hwnd));

    ::ShowWindow(host.hwnd, SW_HIDE);
    host.ForceLook(host.AlertIcon(), L"blocked");
    SendTray(kTrayIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(host.CurrentIcon(), host.NormalIcon());
    EXPECT_TRUE(::IsWindowVisible(host.hwnd));
}

TEST_F(TrayIconTest, ClickWhileBlinkingStillEndsOnTheAlertIcon) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    ASSERT_TRUE(host.NotifyBlock(L"blocked"));
    ASSERT_TRUE(WaitUntil([&] { return host.blinkIcons.size() >= 4; }, 3s));
    SendTray(kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_EQ(host.CurrentTooltip(), kNormalTip);
    EXPECT_EQ(host.CurrentIcon(), host.NormalIcon());
    ASSERT_TRUE(WaitUntil([&] { return host.blinkIcons.size() >= 16; }, 5s));
    EXPECT_EQ(host.CurrentIcon(), host.AlertIcon());
}

TEST_F(TrayIconTest, RightClickOpensTheMenuOnlyWhenNoDialogHoldsTheHost) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    ::SetCursorPos(1200, 700);
    SendTray(kTrayIconId, WM_RBUTTONDOWN);
    SendTray(kTrayIconId, WM_MOUSEMOVE);
    EXPECT_TRUE(host.menus.empty());

    SendTray(kTrayIconId, WM_RBUTTONUP);
    ASSERT_EQ(host.menus.size(), 1u);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    EXPECT_EQ(host.menus[0].x, cursor.x);
    EXPECT_EQ(host.menus[0].y, cursor.y);

    host.locked = true;
    ::ShowWindow(host.hwnd, SW_SHOWNOACTIVATE);
    SendTray(kTrayIconId, WM_RBUTTONUP);
    EXPECT_EQ(host.menus.size(), 1u) << "no menu while a modal dialog is open";
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == host.hwnd; }, 1s));
}

TEST_F(TrayIconTest, BalloonIsShownOnceAndOnlyWhenTheShellTookIt) {
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"IconTip", 1);
    // Hidden icon: nothing to hang the balloon on, so the hint is kept for later.
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray", 1);
    ASSERT_TRUE(host.ApplyTrayVisibility());
    EXPECT_FALSE(host.ShowBalloonOnce());
    EXPECT_EQ(RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"IconTip"), 1u);

    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"HideTray", 0);
    ASSERT_TRUE(host.ApplyTrayVisibility());
    EXPECT_TRUE(host.ShowBalloonOnce());
    EXPECT_EQ(RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"IconTip"), 0u);
    EXPECT_FALSE(host.ShowBalloonOnce());
}

TEST_F(TrayIconTest, TheBalloonDoesNotComeBackWithTheIcon) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    ASSERT_TRUE(host.ShowBalloon());
    if (!WaitUntil(BalloonVisible, 3s)) GTEST_SKIP() << "this taskbar shows no balloon window";

    // Regression: the add after Explorer restarts carries NIF_INFO; a balloon text left in
    // the structure showed the one-time hint again.
    ::SendMessageW(host.hwnd, host.TaskbarCreatedMessage(), 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return host.IsAdded(); }, 3s));
    ASSERT_TRUE(WaitUntil([] { return !BalloonVisible(); }, 3s)) << "the deleted icon kept its balloon";
    EXPECT_FALSE(WaitUntil(BalloonVisible, 5s));
}

// The real mouse on the real taskbar: xdotool moves the X pointer, Wine's taskbar turns
// the click into our callback message.
TEST_F(TrayIconTest, AClickOnTheTaskbarIconReachesTheHost) {
    ASSERT_TRUE(host.ApplyTrayVisibility());
    host.ForceLook(host.AlertIcon(), L"blocked");
    HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT bar{};
    ::GetWindowRect(taskbar, &bar);
    // The click goes to the first slot, so our icon must be the one drawn there (an icon
    // left behind by another program would take it).
    ASSERT_TRUE(WaitUntil([&] { return ReadTraySlot().red > 20; }, 2s)) << "the alert icon is not in the first slot";
    std::string args = "mousemove " + std::to_string(bar.right - 10) + " " + std::to_string(bar.top + 10) + " click 1";
    if (!RunXdotool(std::wstring(args.begin(), args.end()))) GTEST_SKIP() << "xdotool cannot be started from this Wine";
    EXPECT_TRUE(WaitUntil([&] { return host.CurrentIcon() == host.NormalIcon(); }, 3s));
    EXPECT_TRUE(::IsWindowVisible(host.hwnd));

    ASSERT_TRUE(RunXdotool(L"click 3"));
    ASSERT_TRUE(WaitUntil([&] { return host.menus.size() == 1; }, 3s)) << "the right button opened no menu";
    EXPECT_EQ(host.menus[0].x, bar.right - 10);
    EXPECT_EQ(host.menus[0].y, bar.top + 10);
}

TEST(TrayIconSizeTest, FollowsTheAppliedDpi) {
    const std::wstring metrics = L"Control Panel\\Desktop\\WindowMetrics";
    auto saved = RegGetDword(HKEY_CURRENT_USER, metrics, L"AppliedDPI");
    RegDeleteValueAt(HKEY_CURRENT_USER, metrics, L"AppliedDPI");
    SIZE small = TrayIconSize();
    EXPECT_EQ(small.cx, ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(small.cy, ::GetSystemMetrics(SM_CYSMICON));

    RegSetDword(HKEY_CURRENT_USER, metrics, L"AppliedDPI", 96);
    EXPECT_EQ(TrayIconSize().cx, ::GetSystemMetrics(SM_CXSMICON));

    RegSetDword(HKEY_CURRENT_USER, metrics, L"AppliedDPI", 144);
    SIZE large = TrayIconSize();
    EXPECT_EQ(large.cx, 128);
    EXPECT_EQ(large.cy, 128);

    // The loaded icons come at that size.
    {
        TrayHost host;
        ASSERT_TRUE(host.Create());
        ICONINFO info{};
        ASSERT_TRUE(::GetIconInfo(host.NormalIcon(), &info));
        BITMAP bitmap{};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, 128);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
        host.Destroy();
    }

    if (saved)
        RegSetDword(HKEY_CURRENT_USER, metrics, L"AppliedDPI", *saved);
    else
        RegDeleteValueAt(HKEY_CURRENT_USER, metrics, L"AppliedDPI");
}

}  // namespace
