// The settings dialog in this process, over a stand-in main window, against the real
// settings key of the test prefix and the real hotkey registration. What the dialog shows is
// read from its controls; what it stored, from the registry; whether a hotkey is held, from
// the system (a second RegisterHotKey of the combination fails while it is held).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "DialogsTestSupport.h"
#include "FrameworkTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "base/Strings.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"
#include "ui/dialogs/SettingDlg.h"
#include "ui/dui/UILabel.h"
#include "ui/framework/FramedDialog.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/MainCommands.h"

using namespace winhush;
using namespace winhush::ui;
namespace t = winhush::test;
using namespace std::chrono_literals;
using settings::kHotkeyLocate;
using settings::kHotkeyMain;

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Zelvane\\Winhush";

class SettingEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        t::UseProjectUiResources();
        Module().Init(::GetModuleHandleW(nullptr));
        Module().AddMessageLoop(&loop);
    }
    void TearDown() override { Module().RemoveMessageLoop(); }
    static inline CMessageLoop loop;
};
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new SettingEnvironment);

bool IsFree(UINT modifiers, UINT vk) {
    if (!::RegisterHotKey(nullptr, 0x7200, modifiers, vk)) return false;
    ::UnregisterHotKey(nullptr, 0x7200);
    return true;
}

struct CaptureCase {
    int vk;
    bool ctrl, alt, shift;
    bool taken;
    HotkeyCodes codes;
    const wchar_t* text;
};

TEST(HotkeyCapture, HeldModifiersAndTheKeyMakeTheCombination) {
    const CaptureCase cases[] = {
        {'Q', false, false, false, true, {17, 16, 'Q'}, L"Ctrl+Shift+Q"},  // a letter alone
        {'7', false, false, false, true, {17, 16, '7'}, L"Ctrl+Shift+7"},
        {'K', true, true, false, true, {17, 18, 'K'}, L"Ctrl+Alt+K"},
        {'K', false, true, true, true, {18, 16, 'K'}, L"Alt+Shift+K"},
        {'K', true, true, true, true, {17, 16, 'K'}, L"Ctrl+Shift+K"},  // Alt is dropped
        {'K', false, true, false, true, {18, -1, 'K'}, L"Alt+K"},
        {'K', false, false, true, true, {-1, 16, 'K'}, L"Shift+K"},
        {VK_CONTROL, true, false, false, true, {17, -1, -1}, L"Ctrl+"},  // a modifier alone
        {VK_SHIFT, true, false, true, true, {17, 16, -1}, L"Ctrl+Shift+"},
        {VK_F5, true, false, false, false, {}, L""},  // keys without a name change nothing
        {VK_RETURN, false, false, false, false, {}, L""},
        {VK_LWIN, false, false, false, false, {}, L""},
        {'a', false, false, false, false, {}, L""},  // 97 is VK_NUMPAD1, not a letter
    };
    for (const CaptureCase& c : cases) {
        SCOPED_TRACE(c.vk);
        HotkeyCodes codes{1, 2, 3};
        std::wstring text = L"before";
        EXPECT_EQ(CaptureHotkey(c.vk, c.ctrl, c.alt, c.shift, codes, text), c.taken);
        if (c.taken) {
            EXPECT_EQ(codes, c.codes);
            EXPECT_EQ(text, c.text);
        } else {
            EXPECT_EQ(codes, (HotkeyCodes{1, 2, 3}));
            EXPECT_EQ(text, L"before");
        }
    }
    EXPECT_EQ(HotkeyLabelText({18, 16, 65}), L"Alt+Shift+A");
    EXPECT_EQ(HotkeyLabelText({18, 16, 90}), L"Alt+Shift+Z");
    EXPECT_EQ(HotkeyLabelText({-1, -1, -1}), L"空");
    EXPECT_EQ(HotkeyLabelText({16, 17, 65}), L"Shift+Ctrl+A");
}

class SettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
        main_ = std::make_unique<t::ForegroundWindow>();
        SetMainWindowHandle(main_->hwnd());
    }
    void TearDown() override {
        if (dialog_ && dialog_->IsWindow()) dialog_->DestroyWindow();
        dialog_.reset();
        settings::ReleaseHotkeys(main_->hwnd(), MainWindowHotkeys());
        SetMainWindowHandle(nullptr);
        main_.reset();
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
    }

    // The hotkeys as the main window registers them at its creation, then the dialog.
    void Open() {
        for (int index : {kHotkeyLocate, kHotkeyMain}) settings::SetHotkey(main_->hwnd(), MainWindowHotkeys(), index, true);
        dialog_ = std::make_unique<CSettingDlg>();
        ASSERT_TRUE(CreateFramedDialog(*dialog_, main_->hwnd()));
        t::ShowAndPaint(dialog_->m_hWnd, SW_SHOWNORMAL);
        t::PumpFor(100ms);
    }
    CControlUI* Find(const wchar_t* name) { return dialog_->GetPaintManager().FindControl(name); }
    CControlUI* InEntry(const wchar_t* container, const wchar_t* name) {
        CPaintManagerUI& pm = dialog_->GetPaintManager();
        return pm.FindSubControlByName(pm.FindControl(container), name);
    }
    void Key(UINT vk) {
        dialog_->SendMessage(WM_KEYDOWN, vk, 0);
        dialog_->SendMessage(WM_KEYUP, vk, 0);
    }
    std::wstring Stored(const wchar_t* value) {
        return t::RegGetString(HKEY_LOCAL_MACHINE, kKey, value).value_or(L"<none>");
    }

    std::unique_ptr<t::ForegroundWindow> main_;
    std::unique_ptr<CSettingDlg> dialog_;
};

TEST_F(SettingDlgTest, OpensWithTheStoredSettingsAndTheDefaultHotkeys) {
    t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, settings::kAutoCheck, 0);
    t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, settings::kHideTray, 1);
    t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, settings::kIsMainShortcut, 0);
    Open();
    EXPECT_FALSE(dynamic_cast<dui::COptionUI*>(Find(L"opt_auto_check"))->IsSelected());
    EXPECT_TRUE(dynamic_cast<dui::COptionUI*>(Find(L"opt_hide_tray"))->IsSelected());
    EXPECT_EQ(InEntry(L"lay_locate", L"lab_hotkey")->GetText(), L"Alt+Shift+A");
    EXPECT_EQ(InEntry(L"lay_main", L"lab_hotkey")->GetText(), L"Alt+Shift+Z");
    EXPECT_TRUE(dynamic_cast<dui::COptionUI*>(InEntry(L"lay_locate", L"opt_hotkey"))->IsSelected());
    EXPECT_FALSE(dynamic_cast<dui::COptionUI*>(InEntry(L"lay_main", L"opt_hotkey"))->IsSelected());
    EXPECT_TRUE(InEntry(L"lay_locate", L"lab_hotkey")->IsEnabled());
    EXPECT_FALSE(InEntry(L"lay_main", L"lab_hotkey")->IsEnabled());
    // Neither a registered nor a switched-off hotkey carries a warning.
    EXPECT_FALSE(InEntry(L"lay_locate", L"lab_tip")->IsVisible());
    EXPECT_FALSE(InEntry(L"lay_main", L"lab_tip")->IsVisible());
}

TEST_F(SettingDlgTest, AHotkeyAnotherProgramHoldsShowsTheRedWarningAtTheNextOpening) {
    t::ChildProcess holder = t::ChildProcess::Start(t::ToolsDir() + L"hotkeyholder.exe",
                                                    FormatW(L"%u %u", MOD_ALT | MOD_SHIFT, 'Z'), true);
    ASSERT_TRUE(holder.valid());
    ASSERT_EQ(holder.ReadLine(10s), std::optional<std::string>("ok"));
    Open();
    ASSERT_FALSE(MainWindowHotkeys().slots[kHotkeyMain].registered);
    auto* tip = dynamic_cast<dui::CLabelUI*>(InEntry(L"lay_main", L"lab_tip"));
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_EQ(tip->GetText(), tip->GetUserData());
    EXPECT_FALSE(tip->GetText().IsEmpty());
    EXPECT_EQ(tip->GetTextColor(), kHotkeyWarningColour);
    EXPECT_FALSE(InEntry(L"lay_locate", L"lab_tip")->IsVisible());
    holder.WriteLine("quit");
}

TEST_F(SettingDlgTest, EditingAKeyLabelStoresAndRegistersOnlyWhenItLosesTheFocus) {
    Open();
    auto* label = dynamic_cast<dui::CLabelUI*>(InEntry(L"lay_main", L"lab_hotkey"));
    auto* tip = dynamic_cast<dui::CLabelUI*>(InEntry(L"lay_main", L"lab_tip"));
    ASSERT_TRUE(label && tip);
    const DWORD normalColour = label->GetTextColor();

    dialog_->GetPaintManager().SetFocus(label);
    EXPECT_EQ(dialog_->EditedIndex(), kHotkeyMain);
    EXPECT_EQ(label->GetTextColor(), kHotkeyEditingColour);
    EXPECT_TRUE(tip->IsVisible());
    EXPECT_EQ(tip->GetText(), kHotkeyEditHint);

    Key(VK_F5);  // no name: nothing changes
    EXPECT_EQ(label->GetText(), L"Alt+Shift+Z");
    Key('K');  // no modifier held: Ctrl+Shift+K
    EXPECT_EQ(label->GetText(), L"Ctrl+Shift+K");
    EXPECT_EQ(Stored(settings::kMainShortcut), L"18,16,90") << "nothing is stored while editing";
    EXPECT_FALSE(IsFree(MOD_ALT | MOD_SHIFT, 'Z'));

    Key(VK_RETURN);  // ends the edit
    EXPECT_EQ(dialog_->GetPaintManager().GetFocus(), nullptr);
    EXPECT_EQ(Stored(settings::kMainShortcut), L"17,16,75");
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_SHIFT, 'K')) << "the new combination is not registered";
    EXPECT_TRUE(IsFree(MOD_ALT | MOD_SHIFT, 'Z')) << "the old combination is still held";
    EXPECT_EQ(label->GetTextColor(), normalColour);
    EXPECT_FALSE(tip->IsVisible());

    // Leaving without a change writes nothing: the stored text keeps its own spelling.
    t::RegSetString(HKEY_LOCAL_MACHINE, kKey, settings::kMainShortcut, L"17,16,75,0");
    dialog_->GetPaintManager().SetFocus(label);
    Key(VK_F5);
    dialog_->GetPaintManager().SetFocus(nullptr);
    EXPECT_EQ(Stored(settings::kMainShortcut), L"17,16,75,0");

    // Only modifiers pressed and released: "空", and leaving clears the hotkey.
    dialog_->GetPaintManager().SetFocus(label);
    Key(VK_SHIFT);
    EXPECT_EQ(label->GetText(), L"空");
    dialog_->SendMessage(WM_KILLFOCUS, 0, 0);  // the dialog losing the keyboard ends it too
    EXPECT_EQ(Stored(settings::kMainShortcut), L"-1,-1,-1");
    EXPECT_EQ(MainWindowHotkeys().slots[kHotkeyMain].atom, -1);
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_SHIFT, 'K'));
    EXPECT_FALSE(InEntry(L"lay_main", L"lab_tip")->IsVisible()) << "a cleared hotkey is no conflict";
}

TEST_F(SettingDlgTest, ClosingTheDialogMidEditStoresTheEdit) {
    Open();
    CControlUI* label = InEntry(L"lay_locate", L"lab_hotkey");
    dialog_->GetPaintManager().SetFocus(label);
    Key('L');
    dialog_->SendMessage(WM_CLOSE, 0, 0);
    EXPECT_EQ(Stored(settings::kLocateShortcut), L"17,16,76");
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_SHIFT, 'L'));
}

TEST_F(SettingDlgTest, SwitchesApplyAtOnce) {
    Open();
    // The hotkey switch disables the label and releases the combination, and back.
    auto* option = dynamic_cast<dui::COptionUI*>(InEntry(L"lay_locate", L"opt_hotkey"));
    ASSERT_NE(option, nullptr);
    ASSERT_FALSE(IsFree(MOD_ALT | MOD_SHIFT, 'A'));
    option->Activate();
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, settings::kIsLocateShortcut), 0u);
    EXPECT_FALSE(InEntry(L"lay_locate", L"lab_hotkey")->IsEnabled());
    EXPECT_TRUE(IsFree(MOD_ALT | MOD_SHIFT, 'A'));
    option->Activate();
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, settings::kIsLocateShortcut), 1u);
    EXPECT_TRUE(InEntry(L"lay_locate", L"lab_hotkey")->IsEnabled());
    EXPECT_FALSE(IsFree(MOD_ALT | MOD_SHIFT, 'A'));

    dynamic_cast<dui::COptionUI*>(Find(L"opt_auto_check"))->Activate();
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, settings::kAutoCheck), 0u);

    // The tray icon is the main window's: it is told with command 6 addressed to itself.
    dynamic_cast<dui::COptionUI*>(Find(L"opt_hide_tray"))->Activate();
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, settings::kHideTray), 1u);
    ASSERT_TRUE(t::WaitUntil([&] { return !main_->commands().empty(); }, 2s));
    EXPECT_EQ(LOWORD(main_->commands().back().wParam), ID_UPDATE_TRAY);
    EXPECT_EQ(main_->commands().back().lParam, reinterpret_cast<LPARAM>(main_->hwnd()));
}

TEST_F(SettingDlgTest, TheHideTrayTipShowsAboveTheOptionWhileThePointerIsOnIt) {
    Open();
    CControlUI* option = Find(L"opt_hide_tray");
    ASSERT_NE(option, nullptr);
    RECT rc = option->GetPos();
    POINT inside{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    dialog_->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    CTipDlg& tip = dialog_->HideTrayTip();
    ASSERT_TRUE(tip.IsWindow());
    EXPECT_TRUE(tip.IsWindowVisible());
    EXPECT_EQ(::GetWindow(tip.m_hWnd, GW_OWNER), dialog_->m_hWnd);
    POINT expected{rc.left - 20, rc.top - 40};
    ::ClientToScreen(dialog_->m_hWnd, &expected);
    RECT placed;
    ::GetWindowRect(tip.m_hWnd, &placed);
    EXPECT_EQ(placed.left, expected.x);
    EXPECT_EQ(placed.top, expected.y);
    EXPECT_NE(::GetForegroundWindow(), tip.m_hWnd) << "the tip must not take activation";

    dialog_->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(rc.right + 60, rc.bottom + 40));
    EXPECT_FALSE(tip.IsWindowVisible());
    dialog_->DestroyWindow();
    EXPECT_FALSE(tip.IsWindow()) << "the tip goes with the dialog";
}

}  // namespace
