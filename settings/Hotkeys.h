// The two system-wide hotkeys of the main window: index 0 shows the window and opens the
// window picker, index 1 only shows the window. Each is stored as three virtual-key codes
// ("LocateStortcut", "MainStortcut") and switched on or off by its own flag
// ("IsLocateStortcut", "IsMainStortcut").
//
// The registration state is not kept here: the application holds one HotkeyRegistration
// beside the main window's handle and passes it in, so that the main window and the settings
// dialog work on the same atoms and results.
#pragma once

#include <windows.h>

namespace winhush::settings {

inline constexpr int kHotkeyLocate = 0;
inline constexpr int kHotkeyMain = 1;
inline constexpr int kHotkeyCount = 2;

// Both the auto-start task's name and the prefix of the hotkey atoms' names.
inline constexpr wchar_t kProductTaskName[] = L"Zelvane Winhush";

struct HotkeySlot {
    BOOL registered = FALSE;  // result of the last RegisterHotKey; false until one was tried
    int atom = -1;            // the global atom used as hotkey id; -1 while none is held
};

struct HotkeyRegistration {
    HotkeySlot slots[kHotkeyCount];
};

// The settings values of an index (null for an index that is not 0 or 1).
const wchar_t* HotkeyEnableValue(int index);
const wchar_t* HotkeyKeyValue(int index);

// The RegisterHotKey modifiers for the stored first and second codes: 17 (Ctrl) or 18 (Alt)
// count first, 18 (Alt) or 16 (Shift) second; any other code contributes nothing.
UINT HotkeyModifiers(int first, int second);

// Registers (enable) or releases the hotkey of an index for `window`. Enabling releases an
// earlier atom first, then reads the stored combination; a value without a key registers
// nothing. A combination another program holds leaves `registered` false and keeps the
// atom, so the settings dialog can warn about it. Indexes other than 0 and 1 do nothing.
void SetHotkey(HWND window, HotkeyRegistration& state, int index, bool enable);

// Unregisters both hotkeys and deletes their atoms, whether or not they were registered.
void ReleaseHotkeys(HWND window, HotkeyRegistration& state);

// The index whose atom is the WM_HOTKEY id, or -1.
int HotkeyIndexForId(const HotkeyRegistration& state, WPARAM id);

}  // namespace winhush::settings
