// The settings dialog of a running Winhush.exe, driven like a user: opened from the main
// menu's command, clicked and typed into with xdotool on the Wine desktop. The effects are
// read from the registry, from the system's hotkeys and from the Task Scheduler.
#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>

#include <string>

#include "TestSupport.h"
#include "base/ComPtr.h"
#include "base/Strings.h"

namespace t = winhush::test;
using winhush::ComPtr;
using namespace std::chrono_literals;

namespace {

constexpr wchar_t kMainClass[] = L"ZVWINHUSHWND";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";
constexpr wchar_t kVersionKey[] = L"Software\\Wine\\AppDefaults\\Winhush.exe";
constexpr wchar_t kTaskName[] = L"Zelvane Winhush";
constexpr WORD kOpenSettings = 5;

// Places in "dlg_setting.xml" (client coordinates at 96 DPI): the check box of
// "opt_auto_start" and the middle of the main window entry's "lab_hotkey".
constexpr POINT kAutoStartBox{33, 100};
constexpr POINT kMainHotkeyLabel{226, 312};

class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};
[[maybe_unused]] auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

bool TaskPresent() {
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                  scheduler.put_void())))
        return false;
    ComPtr<ITask> task;
    return SUCCEEDED(scheduler->Activate(kTaskName, IID_ITask, task.put_unknown()));
}

void DeleteTask() {
    ComPtr<ITaskScheduler> scheduler;
    if (SUCCEEDED(::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                     scheduler.put_void())))
        scheduler->Delete(kTaskName);
}

class SettingsDialogE2e : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = t::DistDir() + L"Winhush.exe";
        ASSERT_TRUE(t::FileExists(exe_));
        ASSERT_TRUE(t::WaitUntil([] { return t::TopLevelWindowsOf(0, kMainClass).empty(); }, 10s));
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
        ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"ScanSoftware", 0));
        DeleteTask();
    }
    void TearDown() override {
        if (winhush_.Running()) {
            for (HWND hwnd : t::TopLevelWindowsOf(winhush_.pid(), kMainClass)) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
            if (!winhush_.WaitExit(10s)) winhush_.Kill();
        }
        DeleteTask();
        t::RegDeleteTreeAt(HKEY_CURRENT_USER, kVersionKey);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    void StartHidden() {
        winhush_ = t::ChildProcess::Start(exe_, L"-hide");
        ASSERT_TRUE(winhush_.valid());
        main_ = t::WaitForWindow(kMainClass, winhush_.pid(), 20s);
        ASSERT_NE(main_, nullptr);
        t::PumpFor(300ms);
    }

    // The settings dialog, opened as the main menu's entry opens it.
    void OpenSettings() {
        ASSERT_TRUE(::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kOpenSettings, 0), reinterpret_cast<LPARAM>(main_)));
        ASSERT_TRUE(t::WaitUntil(
            [&] {
                for (HWND hwnd : t::TopLevelWindowsOf(winhush_.pid())) {
                    if (::GetWindow(hwnd, GW_OWNER) == main_ && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd))
                        dialog_ = hwnd;
                }
                return dialog_ != nullptr;
            },
            5s))
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

    std::wstring exe_;
    t::ChildProcess winhush_;
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
