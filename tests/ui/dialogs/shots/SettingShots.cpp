// Photographs of the settings dialog over the main window: as it opens, while a hotkey is
// being redefined, with the warning of a combination another program holds, and with the
// hover tip of the hide-tray option.
#include <windows.h>

#include "DialogShotSession.h"
#include "settings/StartupConfig.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"
#include "ui/dialogs/SettingDlg.h"
#include "ui/dui/UIManager.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

void EnableHotkeys(HWND mainWindow) {
    auto key = settings::OpenSettingsKey(true);
    settings::WriteDword(key.get(), settings::kIsLocateShortcut, 1);
    settings::WriteDword(key.get(), settings::kIsMainShortcut, 1);
    settings::WriteHotkey(key.get(), settings::kLocateShortcut, 18, 16, 65);
    settings::WriteHotkey(key.get(), settings::kMainShortcut, 18, 16, 90);
    key.reset();
    for (int index : {settings::kHotkeyLocate, settings::kHotkeyMain})
        settings::SetHotkey(mainWindow, MainWindowHotkeys(), index, true);
}

CControlUI* EntryLabel(CSettingDlg& dialog, const wchar_t* container) {
    CPaintManagerUI& pm = dialog.GetPaintManager();
    CControlUI* entry = pm.FindControl(container);
    return entry ? pm.FindSubControlByName(entry, L"lab_hotkey") : nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    shots::DialogShotSession session;
    if (!session.Start(argc, argv, L"setting_shots")) return 1;
    HWND mainWindow = session.Main().m_hWnd;
    EnableHotkeys(mainWindow);

    if (session.Wanted(L"setting_normal")) {
        CSettingDlg dialog;
        if (session.Open(dialog)) {
            session.Shoot(L"setting_normal", session.MainArea());
            session.Close(dialog);
        }
    }

    if (session.Wanted(L"setting_editing")) {
        CSettingDlg dialog;
        if (session.Open(dialog)) {
            // The label takes the focus as a click gives it, and shows a half-typed combination.
            if (CControlUI* label = EntryLabel(dialog, L"lay_main")) {
                dialog.GetPaintManager().SetFocus(label);
                label->SetText(L"Ctrl+Alt+");
            }
            session.Pump(300ms);
            session.Shoot(L"setting_editing", session.MainArea());
            session.Close(dialog);
        }
    }

    if (session.Wanted(L"setting_warning")) {
        // Another holder of Alt+Shift+A (this process, outside the main window) makes the
        // main window's registration fail for real.
        settings::SetHotkey(mainWindow, MainWindowHotkeys(), settings::kHotkeyLocate, false);
        bool held = ::RegisterHotKey(nullptr, 0x7300, MOD_ALT | MOD_SHIFT, 'A') != FALSE;
        settings::SetHotkey(mainWindow, MainWindowHotkeys(), settings::kHotkeyLocate, true);
        if (!held || MainWindowHotkeys().slots[settings::kHotkeyLocate].registered) {
            session.Fail(L"the picker hotkey could not be put in conflict");
        } else {
            CSettingDlg dialog;
            if (session.Open(dialog)) {
                session.Shoot(L"setting_warning", session.MainArea());
                session.Close(dialog);
            }
        }
        ::UnregisterHotKey(nullptr, 0x7300);
        settings::SetHotkey(mainWindow, MainWindowHotkeys(), settings::kHotkeyLocate, true);
    }

    if (session.Wanted(L"setting_tray_tip")) {
        CSettingDlg dialog;
        if (session.Open(dialog)) {
            if (CControlUI* option = dialog.GetPaintManager().FindControl(L"opt_hide_tray"))
                shots::HoverAt(dialog.m_hWnd, option->GetPos());
            session.Pump(300ms);
            if (!dialog.HideTrayTip().IsWindow() || !dialog.HideTrayTip().IsWindowVisible())
                session.Fail(L"the hide-tray tip did not show");
            session.Shoot(L"setting_tray_tip", session.MainArea());
            session.Close(dialog);
        }
    }

    return session.Finish();
}
