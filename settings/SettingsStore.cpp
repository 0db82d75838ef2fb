#include "settings/SettingsStore.h"

#include <cwchar>
#include <mutex>
#include <optional>
#include <vector>

#include "base/Registry.h"
#include "base/Strings.h"

namespace winhush::settings {

namespace {

constexpr REGSAM kWow64View = KEY_WOW64_64KEY;

struct FlagDefaultEntry {
    const wchar_t* name;
    DWORD value;
};
constexpr FlagDefaultEntry kFlagDefaults[] = {
    {kBlock, 1},     {kIconTip, 1},  {kAutoRun, 1},          {kScanSoftware, 1},
    {kAutoCheck, 1}, {kHideTray, 0}, {kIsLocateShortcut, 1}, {kIsMainShortcut, 1},
};

std::mutex& InstSoftwareMutex() {
    static std::mutex mutex;
    return mutex;
}
std::optional<std::wstring>& InstSoftwareCache() {
    static std::optional<std::wstring> cache;
    return cache;
}

}  // namespace

UniqueHKey OpenSettingsKey(bool forWriting) {
    UniqueHKey key;
    REGSAM access = (forWriting ? KEY_ALL_ACCESS : KEY_READ) | kWow64View;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, access, key.put()) == ERROR_SUCCESS) return key;

    UniqueHKey parent;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane", 0, KEY_ALL_ACCESS | kWow64View, parent.put()) !=
        ERROR_SUCCESS) {
        // A fresh machine has no SOFTWARE\Zelvane at all until the suite's installer ran;
        // creating the settings key still works where we are allowed to.
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | kWow64View, nullptr, parent.put(), nullptr) != ERROR_SUCCESS)
            return UniqueHKey();
    }
    if (::RegCreateKeyExW(parent.get(), L"Winhush", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | kWow64View,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return UniqueHKey();
    return key;
}

DWORD FlagDefault(const wchar_t* valueName) {
    for (const auto& entry : kFlagDefaults)
        if (std::wcscmp(entry.name, valueName) == 0) return entry.value;
    return 1;
}

void WriteDword(HKEY key, const wchar_t* valueName, DWORD value) {
    if (!key) return;
    ::RegSetValueExW(key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

DWORD ReadFlag(HKEY key, const wchar_t* valueName) {
    DWORD result = FlagDefault(valueName) ? 1 : 0;
    if (key) {
        if (std::optional<DWORD> stored = ReadRegistryDword(key, valueName)) {
            result = *stored ? 1 : 0;
        } else {
            WriteDword(key, valueName, result);  // fails quietly on a read-only key
        }
    }
    return result;
}

DWORD ReadBlockCount(HKEY key) {
    if (!key) return 0;
    if (std::optional<DWORD> stored = ReadRegistryDword(key, kBlockCount)) return *stored;
    WriteDword(key, kBlockCount, 0);
    return 0;
}

int ParseHotkeyText(const wchar_t* text, int& k1, int& k2, int& k3) {
    k1 = k2 = k3 = -1;
    if (!text) return 0;
    if (std::swscanf(text, L"%d,%d,%d", &k1, &k2, &k3) <= 0) return 0;
    return (k1 != -1) + (k2 != -1) + (k3 != -1);
}

int ReadHotkey(HKEY key, const wchar_t* valueName, int& k1, int& k2, int& k3) {
    const wchar_t* fallback =
        std::wcscmp(valueName, kLocateShortcut) == 0 ? kDefaultLocateShortcut : kDefaultMainShortcut;
    if (!key) return ParseHotkeyText(fallback, k1, k2, k3);

    wchar_t buffer[261] = {};
    DWORD type = 0;
    DWORD bytes = 260 * sizeof(wchar_t);
    LONG status = ::RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    bool accepted = status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) &&
                    (bytes == 0 || (bytes % 2 == 0 && buffer[bytes / 2 - 1] == L'\0'));
    if (!accepted) {
        ::RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(fallback),
                         static_cast<DWORD>((std::wcslen(fallback) + 1) * sizeof(wchar_t)));
        return ParseHotkeyText(fallback, k1, k2, k3);
    }
    return ParseHotkeyText(buffer, k1, k2, k3);
}

void WriteHotkey(HKEY key, const wchar_t* valueName, int k1, int k2, int k3) {
    if (!key) return;
    std::wstring text = FormatW(L"%d,%d,%d", k1, k2, k3);
    ::RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

namespace {
// Reads the value as text whatever its type; trailing NULs of a multi-string are dropped.
std::wstring ReadInstSoftwareFromRegistry(HKEY key) {
    if (!key) return kDefaultInstSoftware;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, kInstSoftware, nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return kDefaultInstSoftware;
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(key, kInstSoftware, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return kDefaultInstSoftware;
    std::wstring text(buffer.data(), bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}
}  // namespace

std::wstring ReadInstSoftware(HKEY key) {
    std::lock_guard lock(InstSoftwareMutex());
    auto& cache = InstSoftwareCache();
    if (!cache) cache = ReadInstSoftwareFromRegistry(key);
    return *cache;
}

std::wstring ReadInstSoftware() {
    {
        std::lock_guard lock(InstSoftwareMutex());
        if (InstSoftwareCache()) return *InstSoftwareCache();
    }
    UniqueHKey key = OpenSettingsKey(false);
    return ReadInstSoftware(key.get());
}

bool AppendInstSoftware(HKEY key, const std::wstring& name) {
    if (!key) return false;
    std::wstring entry = L"[" + name + L"]";
    std::wstring current = ReadInstSoftwareFromRegistry(key);
    if (current.find(entry) != std::wstring::npos) return true;
    std::wstring updated = current + entry;
    return ::RegSetValueExW(key, kInstSoftware, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(updated.data()),
                            static_cast<DWORD>(updated.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void ResetInstSoftwareCache() {
    std::lock_guard lock(InstSoftwareMutex());
    InstSoftwareCache().reset();
}

}  // namespace winhush::settings
