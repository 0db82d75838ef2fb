// The settings dialog: start with Windows, the automatic check, the hidden tray icon and the
// two global hotkeys. There is no OK or Cancel: every change is written at once and brought
// into effect (the logon task, the hotkey registration, the tray icon).
//
// A hotkey is redefined by giving its key label the focus and pressing the combination; the
// modifiers are read live with GetAsyncKeyState, so the label shows what is held while keys
// go down. Nothing is stored until the label loses the focus (a click elsewhere, Enter,
// Escape, or the dialog losing activation).
#pragma once

#include <windows.h>

#include <string>

#include "ui/framework/Companions.h"
#include "ui/framework/DialogWnd.h"

namespace winhush::dui {
class COptionUI;
class CLabelUI;
}  // namespace winhush::dui

namespace winhush::ui {

inline constexpr wchar_t kSettingDlgLayout[] = L"dlg_setting.xml";
inline constexpr wchar_t kHideTrayTipLayout[] = L"tip_hide_tray.xml";
inline constexpr wchar_t kEmptyHotkeyText[] = L"空";
inline constexpr wchar_t kHotkeyEditHint[] = L"直接按键盘进行设置";
inline constexpr DWORD kHotkeyEditingColour = 0xFF000000;
inline constexpr DWORD kHotkeyWarningColour = 0xFFFF0000;

// Virtual-key codes of a hotkey as stored: first modifier (17 Ctrl, 18 Alt), second
// modifier (16 Shift, 18 Alt) and key (48 to 90); -1 where nothing is set.
struct HotkeyCodes {
    int first = -1;
    int second = -1;
    int key = -1;
    bool operator==(const HotkeyCodes&) const = default;
};

// "Shift", "Ctrl", "Alt", or the character of 48 to 90; null for a key without a name.
const wchar_t* HotkeyKeyName(int vk);
// "Alt+Shift+A"; "空" when nothing is set.
std::wstring HotkeyLabelText(const HotkeyCodes& codes);
// What pressing `vk` with the given modifiers held makes of an entry being edited: false
// (nothing changes) for a key without a name. A key alone becomes Ctrl+Shift+key; a
// modifier alone leaves the key unset and the text ending in "+".
bool CaptureHotkey(int vk, bool ctrlHeld, bool altHeld, bool shiftHeld, HotkeyCodes& codes, std::wstring& text);

// The hover tip next to the hide-tray option; its layout is set by its owner.
class CTipDlg : public CDuiFrameWndImpl<CTipDlg> {
public:
    const wchar_t* GetSkinFile() override { return skinFile.c_str(); }
    std::wstring skinFile;
};

class CSettingDlg : public CDuiDialogWnd<CSettingDlg>, public CWndWithLace<CSettingDlg> {
public:
    struct HotkeyEntry {
        const wchar_t* container;  // holds the entry's "opt_hotkey", "lab_hotkey" and "lab_tip"
        int index;
        HotkeyCodes codes;
    };

    CSettingDlg();
    ~CSettingDlg() override;

    const wchar_t* GetSkinFile() override { return kSettingDlgLayout; }
    LRESULT HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnNotify(TNotifyUI& msg) override;
    void OnLayoutInit() override;
    CControlUI* CreateControl(const wchar_t* className) override;

    const HotkeyEntry& Entry(int index) const { return entries_[index]; }
    int EditedIndex() const { return editedIndex_; }
    CTipDlg& HideTrayTip() { return hideTrayTip_; }

private:
    void OnSelectChanged(CControlUI* sender);
    void StartEditing(CControlUI* label);
    void CommitEdit(CControlUI* label);
    // Key down or up while the edited entry's label has the focus; false when not editing.
    bool OnKeyDown(UINT vk);
    bool OnKeyUp();
    void OnMouseMove(POINT client);
    void HideTipUnlessPointerOver();

    HotkeyEntry* EntryOfChild(CControlUI* child);
    CControlUI* EntryControl(const HotkeyEntry& entry, const wchar_t* name);
    // The edited entry's key label when it has the focus, else null.
    dui::CLabelUI* FocusedEditLabel();
    void ShowWarning(const HotkeyEntry& entry);

    HotkeyEntry entries_[2];
    int editedIndex_ = -1;
    DWORD labelColour_ = 0;
    dui::COptionUI* hideTrayOption_ = nullptr;
    CTipDlg hideTrayTip_;
};

}  // namespace winhush::ui
