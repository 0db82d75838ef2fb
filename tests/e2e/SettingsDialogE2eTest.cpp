// The settings dialog of a running Winhush.exe, driven like a user: opened from the main
// menu's command, clicked and typed into with xdotool on the Wine desktop. The effects are
// read from the registry, from the system's hotkeys and from the Task Scheduler.
#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>

#include <string>

#include "ProgramTestSupport.h"
#include "TaskTestSupport.h"
#include "TestSupport.h"
#include "base/Strings.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace {

using t::DeleteTask;
using t::kSettingsKey;
constexpr const wchar_t* kVersionKey = t::kWineVersionKey;
constexpr WORD kOpenSettings = 5;

// Places in "dlg_setting.xml" (client coordinates at 96 DPI): the check box of
// "opt_auto_start" and the middle of the main window entry's "lab_hotkey".
constexpr POINT kAutoStartBox{33, 100};
constexpr POINT kMainHotkeyLabel{226, 312};

[[maybe_unused]] auto* const kCom = ::testing::AddGlobalTestEnvironment(new t::ComApartment);

bool TaskPresent() { return static_cast<bool>(t::FindTask()); }

class SettingsDialogE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(t::FileExists(t::WinhushProcess::Exe()));
        ASSERT_TRUE(t::NoWinhushRunning());
        ASSERT_TRUE(t::ResetSettings({{L"ScanSoftware", 0}}));
        DeleteTask();
    }
    void TearDown() override {
        winhush_.Close();
        DeleteTask();
        t::RegDeleteTreeAt(HKEY_CURRENT_USER, kVersionKey);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    void StartHidden() {
        main_ = winhush_.StartAndWait(L"-hide", 20s);
        ASSERT_NE(main_, nullptr);
        t::PumpFor(300ms);
    }

    // The settings dialog, opened as the main menu's entry opens it.
    void OpenSettings() {
        ASSERT_TRUE(::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kOpenSettings, 0), reinterpret_cast<LPARAM>(main_)));
        ASSERT_TRUE(t::WaitUntil([&] { return (dialog_ = t::EnabledOwnedWindow(main_, winhush_.pid())) != nullptr; }, 5s))
            << "no settings dialog opened";
        t::PumpFor(300ms);
    }

    void ClickIn(POINT client) {
        POINT screen = client;
        ::ClientToScreen(dialog_, &screen);
        ASSERT_TRUE(t::RunXdotool(L"mousemove " + std::to_wstring(screen.x) + L" " + std::to_wstring(screen.y) +
                                  L" click 1"));
        t::PumpFor(400ms);
    }
    // xdotool arguments; a bare key list is pressed and released.
    void Keys(const std::wstring& keys) {
        ASSERT_TRUE(t::RunXdotool(keys.rfind(L"key", 0) == 0 ? keys : L"key " + keys));
        t::PumpFor(400ms);
    }
    std::wstring MainHotkeyText() {
        return t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"MainStortcut").value_or(L"<none>");
    }

    t::WinhushProcess winhush_;
    HWND main_ = nullptr;
    HWND dialog_ = nullptr;
};

TEST_F(SettingsDialogE2e, RedefiningTheMainWindowHotkeyTakesEffectAtOnce) {
    StartHidden();
    OpenSettings();
    ASSERT_EQ(MainHotkeyText(), L"18,16,90");

    ClickIn(kMainHotkeyLabel);
    // Held as a person holds them: the modifiers are read live when the key goes down.
    Keys(L"keydown ctrl alt");
    Keys(L"k");
    Keys(L"keyup alt ctrl");
    EXPECT_EQ(MainHotkeyText(), L"18,16,90") << "nothing is stored while the label has the focus";
    Keys(L"Return");
    ASSERT_TRUE(t::WaitUntil([&] { return MainHotkeyText() == L"17,18,75"; }, 3s)) << winhush::WideToUtf8(MainHotkeyText());

    // F5 while editing changes nothing, and leaving without a change stores nothing new.
    ClickIn(kMainHotkeyLabel);
    Keys(L"F5");
    Keys(L"Return");
    EXPECT_EQ(MainHotkeyText(), L"17,18,75");

    // Close the dialog; the main window is still hidden in the tray.
    ::PostMessageW(dialog_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindow(dialog_); }, 5s));
    ASSERT_FALSE(::IsWindowVisible(main_));

    Keys(L"alt+shift+z");
    t::PumpFor(1000ms);
    EXPECT_FALSE(::IsWindowVisible(main_)) << "the old combination still shows the window";
    Keys(L"ctrl+alt+k");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(main_) != FALSE; }, 5s))
        << "the new combination does not show the window";
}

TEST_F(SettingsDialogE2e, ThePickerHotkeyOnlyBringsTheWindowForwardWhileTheDialogIsOpen) {
    StartHidden();
    OpenSettings();
    Keys(L"alt+shift+a");
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(main_) != FALSE; }, 5s));
    t::PumpFor(800ms);
    int dialogs = 0;
    for (HWND hwnd : t::TopLevelWindowsOf(winhush_.pid())) {
        if (::GetWindow(hwnd, GW_OWNER) == main_ && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) ++dialogs;
    }
    EXPECT_EQ(dialogs, 1) << "a second dialog opened over the settings";
    EXPECT_TRUE(::IsWindowVisible(dialog_));
}

TEST_F(SettingsDialogE2e, ALetterAloneBecomesCtrlShiftLetter) {
    StartHidden();
    OpenSettings();
    ClickIn(kMainHotkeyLabel);
    Keys(L"q");
    Keys(L"Return");
    EXPECT_TRUE(t::WaitUntil([&] { return MainHotkeyText() == L"17,16,81"; }, 3s)) << winhush::WideToUtf8(MainHotkeyText());
    // Held now by the program: registering it here fails.
    EXPECT_FALSE(::RegisterHotKey(nullptr, 0x7400, MOD_CONTROL | MOD_SHIFT, 'Q'));
    ::UnregisterHotKey(nullptr, 0x7400);
}

TEST_F(SettingsDialogE2e, TheAutoStartOptionCreatesAndDeletesTheTaskAtOnce) {
    // The Task Scheduler 1.0 road, which Wine implements end to end.
    ASSERT_TRUE(t::RegSetString(HKEY_CURRENT_USER, kVersionKey, L"Version", L"winxp64"));
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun", 1));
    StartHidden();
    ASSERT_TRUE(t::WaitUntil(TaskPresent, 5s)) << "the start did not create the task";
    OpenSettings();

    ClickIn(kAutoStartBox);
    EXPECT_TRUE(t::WaitUntil([] { return !TaskPresent(); }, 5s)) << "switching off left the task";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun"), 0u);

    ClickIn(kAutoStartBox);
    EXPECT_TRUE(t::WaitUntil(TaskPresent, 5s)) << "switching on did not create the task";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun"), 1u);
}

}  // namespace
