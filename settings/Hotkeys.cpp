#include "settings/Hotkeys.h"

#include <string>

#include "base/Handles.h"
#include "base/Strings.h"
#include "settings/SettingsStore.h"

namespace winhush::settings {

namespace {

bool ValidIndex(int index) { return index >= 0 && index < kHotkeyCount; }

void Release(HWND window, HotkeySlot& slot) {
    if (slot.atom == -1) return;
    ::UnregisterHotKey(window, slot.atom);
    ::GlobalDeleteAtom(static_cast<ATOM>(slot.atom));
    slot.atom = -1;
}

}  // namespace

const wchar_t* HotkeyEnableValue(int index) {
    if (index == kHotkeyLocate) return kIsLocateShortcut;
    if (index == kHotkeyMain) return kIsMainShortcut;
    return nullptr;
}

const wchar_t* HotkeyKeyValue(int index) {
    if (index == kHotkeyLocate) return kLocateShortcut;
    if (index == kHotkeyMain) return kMainShortcut;
    return nullptr;
}

UINT HotkeyModifiers(int first, int second) {
    UINT modifiers = 0;
    if (first == VK_CONTROL)
        modifiers |= MOD_CONTROL;
    else if (first == VK_MENU)
        modifiers |= MOD_ALT;
    if (second == VK_MENU)
        modifiers |= MOD_ALT;
    else if (second == VK_SHIFT)
        modifiers |= MOD_SHIFT;
    return modifiers;
}

void SetHotkey(HWND window, HotkeyRegistration& state, int index, bool enable) {
    if (!ValidIndex(index)) return;
    HotkeySlot& slot = state.slots[index];
    Release(window, slot);
    if (!enable) return;

    UniqueHKey key = OpenSettingsKey(true);
    int first = -1, second = -1, vk = -1;
    if (ReadHotkey(key.get(), HotkeyKeyValue(index), first, second, vk) == 0 || vk == -1) return;

    std::wstring name = FormatW(L"%s_%d", kProductTaskName, index);
    ATOM atom = ::GlobalAddAtomW(name.c_str());
    if (atom == 0) {
        slot.registered = FALSE;
        return;
    }
    slot.atom = atom;
    slot.registered = ::RegisterHotKey(window, atom, HotkeyModifiers(first, second), static_cast<UINT>(vk));
}

void ReleaseHotkeys(HWND window, HotkeyRegistration& state) {
    for (HotkeySlot& slot : state.slots) Release(window, slot);
}

int HotkeyIndexForId(const HotkeyRegistration& state, WPARAM id) {
    for (int index = 0; index < kHotkeyCount; ++index) {
        int atom = state.slots[index].atom;
        if (atom != -1 && id == static_cast<WPARAM>(atom)) return index;
    }
    return -1;
}

}  // namespace winhush::settings
