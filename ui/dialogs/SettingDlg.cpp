#include "ui/dialogs/SettingDlg.h"

#include "settings/StartupConfig.h"
#include "base/Handles.h"
#include "settings/AutoStartTask.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"
#include "ui/controls/ControlFactory.h"
#include "ui/dui/UILabel.h"
#include "ui/framework/MainCommands.h"

namespace winhush::ui {

using dui::CLabelUI;
using dui::COptionUI;

namespace {

constexpr wchar_t kKeyNames[][2] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L":",
                                    L";", L"<", L"=", L">", L"?", L"@", L"A", L"B", L"C", L"D", L"E",
                                    L"F", L"G", L"H", L"I", L"J", L"K", L"L", L"M", L"N", L"O", L"P",
                                    L"Q", L"R", L"S", L"T", L"U", L"V", L"W", L"X", L"Y", L"Z"};

// The tip sits this far left of and above the option it explains.
constexpr int kTipOffsetX = -20;
constexpr int kTipOffsetY = -40;

bool Held(int vk) { return ::GetAsyncKeyState(vk) != 0; }

void WriteSetting(const wchar_t* name, DWORD value) {
    UniqueHKey key = settings::OpenSettingsKey(true);
    settings::WriteDword(key.get(), name, value);
}

}  // namespace

const wchar_t* HotkeyKeyName(int vk) {
    if (vk == VK_SHIFT) return L"Shift";
    if (vk == VK_CONTROL) return L"Ctrl";
    if (vk == VK_MENU) return L"Alt";
    if (vk >= 48 && vk <= 90) return kKeyNames[vk - 48];
    return nullptr;
}

std::wstring HotkeyLabelText(const HotkeyCodes& codes) {
    std::wstring text;
    for (int modifier : {codes.first, codes.second}) {
        if (modifier == -1) continue;
        if (const wchar_t* name = HotkeyKeyName(modifier)) {
            text += name;
            text += L'+';
        }
    }
    if (codes.key != -1) {
        if (const wchar_t* name = HotkeyKeyName(codes.key)) text += name;
    }
    return text.empty() ? kEmptyHotkeyText : text;
}

bool CaptureHotkey(int vk, bool ctrlHeld, bool altHeld, bool shiftHeld, HotkeyCodes& codes, std::wstring& text) {
    const wchar_t* keyName = HotkeyKeyName(vk);
    if (!keyName) return false;
    HotkeyCodes captured;
    text.clear();
    if (ctrlHeld) {
        text += L"Ctrl+";
        captured.first = VK_CONTROL;
    } else if (altHeld) {
        text += L"Alt+";
        captured.first = VK_MENU;
    }
    if (shiftHeld) {
        text += L"Shift+";
        captured.second = VK_SHIFT;
    } else if (captured.first != VK_MENU && altHeld) {
        text += L"Alt+";
        captured.second = VK_MENU;
    }
    if (vk >= 33 && vk <= 126) {
        captured.key = vk;
        text += keyName;
        if (text.find(L'+') == std::wstring::npos) {
            // A plain letter or digit would take that key from every program.
            text = std::wstring(L"Ctrl+Shift+") + keyName;
            captured.first = VK_CONTROL;
            captured.second = VK_SHIFT;
        }
    }
    codes = captured;
    return true;
}

CSettingDlg::CSettingDlg()
    : entries_{{L"lay_locate", settings::kHotkeyLocate, {}}, {L"lay_main", settings::kHotkeyMain, {}}} {}

CSettingDlg::~CSettingDlg() {
    if (hideTrayTip_.IsWindow()) hideTrayTip_.DestroyWindow();
}

CControlUI* CSettingDlg::CreateControl(const wchar_t* className) { return CreateCustomControl(className); }

CSettingDlg::HotkeyEntry* CSettingDlg::EntryOfChild(CControlUI* child) {
    if (!child || !child->GetParent()) return nullptr;
    const dui::CDuiString parent = child->GetParent()->GetName();
    for (HotkeyEntry& entry : entries_)
        if (parent == entry.container) return &entry;
    return nullptr;
}

CControlUI* CSettingDlg::EntryControl(const HotkeyEntry& entry, const wchar_t* name) {
    CControlUI* container = m_pm.FindControl(entry.container);
    return container ? m_pm.FindSubControlByName(container, name) : nullptr;
}

CLabelUI* CSettingDlg::FocusedEditLabel() {
    if (editedIndex_ < 0 || editedIndex_ > 1) return nullptr;
    auto* label = dynamic_cast<CLabelUI*>(EntryControl(entries_[editedIndex_], L"lab_hotkey"));
    return label && m_pm.GetFocus() == label ? label : nullptr;
}

LRESULT CSettingDlg::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    switch (message) {
        case WM_KILLFOCUS:
            // The dialog losing the keyboard ends an edit, and so stores it.
            m_pm.SetFocus(nullptr);
            break;
        case WM_SETCURSOR:
            if (CLabelUI* label = FocusedEditLabel()) {
                POINT at;
                ::GetCursorPos(&at);
                ::ScreenToClient(m_hWnd, &at);
                RECT rc = label->GetPos();
                if (::PtInRect(&rc, at)) {
                    ::SetCursor(::LoadCursorW(nullptr, IDC_IBEAM));
                    handled = TRUE;
                    return TRUE;
                }
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            // Keys go to the hotkey being edited first; Escape otherwise closes the dialog.
            if (OnKeyDown(static_cast<UINT>(wParam))) {
                handled = TRUE;
                return 0;
            }
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            // Also keeps Alt's release from opening the window's system menu mid-edit.
            if (OnKeyUp()) {
                handled = TRUE;
                return 0;
            }
            break;
        case WM_SYSCHAR:
            if (FocusedEditLabel()) {
                handled = TRUE;
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            if (hideTrayOption_) OnMouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            break;
        case WM_MOUSELEAVE:
            if (hideTrayOption_) HideTipUnlessPointerOver();
            break;
    }
    return 0;
}

bool CSettingDlg::OnKeyDown(UINT vk) {
    CLabelUI* label = FocusedEditLabel();
    if (!label) return false;
    if (vk == VK_RETURN || vk == VK_ESCAPE) {
        m_pm.SetFocus(nullptr);
        return true;
    }
    HotkeyCodes codes;
    std::wstring text;
    if (CaptureHotkey(static_cast<int>(vk), Held(VK_CONTROL), Held(VK_MENU), Held(VK_SHIFT), codes, text)) {
        label->SetText(text.c_str());
        entries_[editedIndex_].codes = codes;
    }
    return true;
}

bool CSettingDlg::OnKeyUp() {
    CLabelUI* label = FocusedEditLabel();
    if (!label) return false;
    if (entries_[editedIndex_].codes.key == -1) label->SetText(kEmptyHotkeyText);
    return true;
}

void CSettingDlg::OnNotify(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const dui::CDuiString name = msg.pSender->GetName();
    if (msg.sType == dui::DUI_MSGTYPE_CLICK) {
        if (name == L"sysclosebutton") PostMessage(WM_CLOSE);
    } else if (msg.sType == dui::DUI_MSGTYPE_SELECTCHANGED) {
        OnSelectChanged(msg.pSender);
    } else if (msg.sType == dui::DUI_MSGTYPE_SETFOCUS) {
        if (name == L"lab_hotkey") StartEditing(msg.pSender);
    } else if (msg.sType == dui::DUI_MSGTYPE_KILLFOCUS) {
        if (name == L"lab_hotkey") CommitEdit(msg.pSender);
    }
}

void CSettingDlg::OnLayoutInit() {
    UniqueHKey key = settings::OpenSettingsKey(false);
    if (auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(L"opt_auto_start")))
        option->Selected(settings::SyncAutoStartTask(key.get()));
    if (auto* option = dynamic_cast<COptionUI*>(m_pm.FindControl(L"opt_auto_check")))
        option->Selected(settings::ReadFlag(key.get(), settings::kAutoCheck) != 0);
    hideTrayOption_ = dynamic_cast<COptionUI*>(m_pm.FindControl(L"opt_hide_tray"));
    if (hideTrayOption_) hideTrayOption_->Selected(settings::ReadFlag(key.get(), settings::kHideTray) != 0);

    for (HotkeyEntry& entry : entries_) {
        const bool enabled = settings::ReadFlag(key.get(), settings::HotkeyEnableValue(entry.index)) != 0;
        if (auto* option = dynamic_cast<COptionUI*>(EntryControl(entry, L"opt_hotkey"))) option->Selected(enabled);
        HotkeyCodes& codes = entry.codes;
        settings::ReadHotkey(key.get(), settings::HotkeyKeyValue(entry.index), codes.first, codes.second, codes.key);
        if (auto* label = dynamic_cast<CLabelUI*>(EntryControl(entry, L"lab_hotkey"))) {
            label->SetText(HotkeyLabelText(codes).c_str());
            labelColour_ = label->GetTextColor();
            label->SetEnabled(enabled);
        }
    }
    key.reset();

    hideTrayTip_.skinFile = kHideTrayTipLayout;

    const settings::HotkeyRegistration& registration = MainWindowHotkeys();
    for (const HotkeyEntry& entry : entries_) {
        // A switched-off or cleared hotkey was never meant to be registered: no warning.
        if (registration.slots[entry.index].registered) continue;
        auto* option = dynamic_cast<COptionUI*>(EntryControl(entry, L"opt_hotkey"));
        if ((option && !option->IsSelected()) || entry.codes.key == -1) continue;
        ShowWarning(entry);
    }
}

void CSettingDlg::ShowWarning(const HotkeyEntry& entry) {
    auto* tip = dynamic_cast<CLabelUI*>(EntryControl(entry, L"lab_tip"));
    if (!tip) return;
    tip->SetText(tip->GetUserData().GetData());
    tip->SetTextColor(kHotkeyWarningColour);
    tip->SetVisible(true);
}

void CSettingDlg::OnSelectChanged(CControlUI* sender) {
    auto* option = dynamic_cast<COptionUI*>(sender);
    if (!option) return;
    const dui::CDuiString name = sender->GetName();
    const DWORD selected = option->IsSelected() ? 1 : 0;
    if (name == L"opt_auto_start") {
        WriteSetting(settings::kAutoRun, selected);
        settings::ApplyAutoStartTask(selected != 0);
    } else if (name == L"opt_auto_check") {
        WriteSetting(settings::kAutoCheck, selected);
    } else if (name == L"opt_hide_tray") {
        WriteSetting(settings::kHideTray, selected);
        PostMainCommand(GetMainWindowHandle(), ID_UPDATE_TRAY);
    } else if (name == L"opt_hotkey") {
        HotkeyEntry* entry = EntryOfChild(sender);
        if (!entry) return;
        if (CControlUI* label = EntryControl(*entry, L"lab_hotkey")) label->SetEnabled(selected != 0);
        WriteSetting(settings::HotkeyEnableValue(entry->index), selected);
        settings::SetHotkey(GetMainWindowHandle(), MainWindowHotkeys(), entry->index, selected != 0);
        if (auto* tip = EntryControl(*entry, L"lab_tip")) {
            // The warning was about the registration just replaced.
            if (!selected || MainWindowHotkeys().slots[entry->index].registered) tip->SetVisible(false);
        }
    }
}

void CSettingDlg::StartEditing(CControlUI* label) {
    HotkeyEntry* entry = EntryOfChild(label);
    if (!entry) return;
    editedIndex_ = entry->index;
    if (auto* text = dynamic_cast<CLabelUI*>(label)) text->SetTextColor(kHotkeyEditingColour);
    if (auto* tip = dynamic_cast<CLabelUI*>(EntryControl(*entry, L"lab_tip"))) {
        tip->SetText(kHotkeyEditHint);
        tip->SetTextColor(labelColour_);
        tip->SetVisible(true);
    }
}

void CSettingDlg::CommitEdit(CControlUI* label) {
    if (editedIndex_ >= 0 && editedIndex_ <= 1 && entries_[editedIndex_].codes.key == -1) {
        entries_[editedIndex_].codes = HotkeyCodes{};
        if (CControlUI* edited = EntryControl(entries_[editedIndex_], L"lab_hotkey"))
            edited->SetText(kEmptyHotkeyText);
    }
    HotkeyEntry* entry = EntryOfChild(label);
    if (!entry) return;
    editedIndex_ = entry->index;

    bool failed = false;
    {
        UniqueHKey key = settings::OpenSettingsKey(true);
        HotkeyCodes stored;
        settings::ReadHotkey(key.get(), settings::HotkeyKeyValue(entry->index), stored.first, stored.second,
                             stored.key);
        if (!(stored == entry->codes)) {
            settings::WriteHotkey(key.get(), settings::HotkeyKeyValue(entry->index), entry->codes.first,
                                  entry->codes.second, entry->codes.key);
            key.reset();
            settings::SetHotkey(GetMainWindowHandle(), MainWindowHotkeys(), entry->index, true);
            failed = entry->codes.key != -1 && !MainWindowHotkeys().slots[entry->index].registered;
        }
    }
    if (auto* text = dynamic_cast<CLabelUI*>(label)) text->SetTextColor(labelColour_);
    if (CControlUI* tip = EntryControl(*entry, L"lab_tip")) tip->SetVisible(false);
    // A combination the system refused is said at once, not only at the next opening.
    if (failed) ShowWarning(*entry);
}

void CSettingDlg::OnMouseMove(POINT client) {
    RECT option = hideTrayOption_->GetPos();
    bool inside = ::PtInRect(&option, client) != FALSE;
    if (!inside && hideTrayTip_.IsWindow() && hideTrayTip_.IsWindowVisible()) {
        POINT screen = client;
        ::ClientToScreen(m_hWnd, &screen);
        RECT tip;
        ::GetWindowRect(hideTrayTip_.m_hWnd, &tip);
        inside = ::PtInRect(&tip, screen) != FALSE;
    }
    if (!inside) {
        if (hideTrayTip_.IsWindow()) hideTrayTip_.ShowWindow(SW_HIDE);
        return;
    }
    if (!hideTrayTip_.IsWindow()) {
        if (!hideTrayTip_.Create(m_hWnd, CWindow::rcDefault, nullptr, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                 WS_EX_TOOLWINDOW))
            return;
    }
    if (hideTrayTip_.IsWindowVisible()) return;
    // The option's position is in this window's client pixels; the layout offsets are in
    // 96-DPI units like every other layout number.
    UINT dpi = m_pm.GetDPI() ? m_pm.GetDPI() : 96;
    POINT at{option.left + ::MulDiv(kTipOffsetX, static_cast<int>(dpi), 96),
             option.top + ::MulDiv(kTipOffsetY, static_cast<int>(dpi), 96)};
    ::ClientToScreen(m_hWnd, &at);
    // Never activated: the dialog keeps the keyboard (an edit in progress would end).
    ::SetWindowPos(hideTrayTip_.m_hWnd, nullptr, at.x, at.y, 0, 0,
                   SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CSettingDlg::HideTipUnlessPointerOver() {
    if (!hideTrayTip_.IsWindow() || !hideTrayTip_.IsWindowVisible()) return;
    POINT at;
    ::GetCursorPos(&at);
    RECT tip;
    ::GetWindowRect(hideTrayTip_.m_hWnd, &tip);
    POINT client = at;
    ::ScreenToClient(m_hWnd, &client);
    RECT option = hideTrayOption_->GetPos();
    if (!::PtInRect(&tip, at) && !::PtInRect(&option, client)) hideTrayTip_.ShowWindow(SW_HIDE);
}

}  // namespace winhush::ui
