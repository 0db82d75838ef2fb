// The global hotkeys of a running Winhush.exe, pressed as real keys on the X display of the
// Wine desktop (xdotool), while another program has the focus.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestSupport.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace {

constexpr wchar_t kMainClass[] = L"ZVWINHUSHWND";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

// An enabled, visible window owned by the main window: a modal dialog of it (the shadow
// frame and the lock overlay it also owns are disabled).
HWND OpenDialogOf(HWND mainWindow, DWORD pid) {
    for (HWND hwnd : t::TopLevelWindowsOf(pid)) {
        if (::GetWindow(hwnd, GW_OWNER) == mainWindow && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd))
            return hwnd;
    }
    return nullptr;
}

class HotkeyE2e : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = t::DistDir() + L"Winhush.exe";
        ASSERT_TRUE(t::FileExists(exe_));
        ASSERT_TRUE(t::WaitUntil([] { return t::TopLevelWindowsOf(0, kMainClass).empty(); }, 10s));
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
        // Not the first run: the loading phase and its rule list would open by themselves.
        ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"ScanSoftware", 0));
        // Another program's window has the keyboard, as when the user works elsewhere.
        helper_ = t::ChildProcess::Start(t::ToolsDir() + L"winhelper.exe", L"", true);
        ASSERT_TRUE(helper_.valid());
        ASSERT_TRUE(helper_.WriteLine("open class=HotkeyE2eFocus caption=Focus x=700 y=100 w=300 h=200 style=overlapped"));
        auto reply = helper_.ReadLine(10s);
        ASSERT_TRUE(reply && reply->rfind("ok ", 0) == 0) << (reply ? *reply : "no reply");
        focus_ = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply->substr(3), nullptr, 0)));
    }
    void TearDown() override {
        if (winhush_.Running()) {
            for (HWND hwnd : t::TopLevelWindowsOf(winhush_.pid(), kMainClass)) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
            if (!winhush_.WaitExit(10s)) winhush_.Kill();
        }
        if (helper_.Running()) {
            helper_.WriteLine("quit");
            if (!helper_.WaitExit(5s)) helper_.Kill();
        }
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    // Starts hidden and waits until the hotkeys are in place (the main window exists).
    HWND StartHidden() {
        winhush_ = t::ChildProcess::Start(exe_, L"-hide");
        if (!winhush_.valid()) return nullptr;
        HWND window = t::WaitForWindow(kMainClass, winhush_.pid(), 20s);
        t::PumpFor(300ms);
        return window;
    }

    // Gives the keyboard to the helper's window, then presses the keys.
    void Press(const std::wstring& keys) {
        t::RunXdotool(L"mousemove 850 200 click 1");
        t::WaitUntil([&] { return ::GetForegroundWindow() == focus_; }, 2s);
        ASSERT_TRUE(t::RunXdotool(L"key " + keys));
    }

    std::wstring exe_;
    t::ChildProcess winhush_;
    t::ChildProcess helper_;
    HWND focus_ = nullptr;
};

TEST_F(HotkeyE2e, WithNoSettingsAltShiftZShowsTheHiddenMainWindowAndRestoresAMinimisedOne) {
    HWND window = StartHidden();
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(::IsWindowVisible(window));

    Press(L"alt+shift+z");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 5s))
        << "Alt+Shift+Z did not show the main window";
    EXPECT_TRUE(t::WaitUntil([&] { return ::GetForegroundWindow() == window; }, 2s));

    ::ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(t::WaitUntil([&] { return ::IsIconic(window) != FALSE; }, 3s));
    Press(L"alt+shift+z");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsIconic(window) == FALSE; }, 5s))
        << "the hotkey left the main window minimised";
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"MainStortcut"), L"18,16,90");
}

TEST_F(HotkeyE2e, WithNoSettingsAltShiftAShowsTheHiddenMainWindow) {
    HWND window = StartHidden();
    ASSERT_NE(window, nullptr);
    Press(L"alt+shift+a");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 5s))
        << "Alt+Shift+A did not show the main window";
}

// The picker is the dialog the hotkey opens, modal over the main window.
TEST_F(HotkeyE2e, WithNoSettingsAltShiftAOpensThePicker) {
    HWND window = StartHidden();
    ASSERT_NE(window, nullptr);
    Press(L"alt+shift+a");
    HWND picker = nullptr;
    EXPECT_TRUE(t::WaitUntil([&] { return (picker = OpenDialogOf(window, winhush_.pid())) != nullptr; }, 5s))
        << "no dialog of the main window opened";
    // The modal loop shows the dialog before it disables its owner: wait for the second.
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowEnabled(window); }, 2s))
        << "the picker runs modally over the main window";
    if (picker) ::PostMessageW(picker, WM_CLOSE, 0, 0);
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowEnabled(window) != FALSE; }, 5s));
}

TEST_F(HotkeyE2e, ASwitchedOffOrRedefinedHotkeyIsNotTheDefaultAnyMore) {
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"IsMainStortcut", 0));
    ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"LocateStortcut", L"17,16,75"));
    HWND window = StartHidden();
    ASSERT_NE(window, nullptr);
    Press(L"alt+shift+z");
    Press(L"alt+shift+a");
    t::PumpFor(1500ms);
    EXPECT_FALSE(::IsWindowVisible(window)) << "a switched-off or replaced hotkey still acted";

    Press(L"ctrl+shift+k");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 5s))
        << "the stored combination Ctrl+Shift+K did not act";
}

}  // namespace
