// The installed software as the Windows uninstall registry lists it: one SoftwareEntry per
// uninstall entry that names a real, user-visible, uninstallable program. Rules find their
// program by a text in the entry's registry path and read its install folder from the same
// entry. Built afresh for every rule load; registry failures only make the list shorter.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winhush::rules {

inline constexpr wchar_t kNativeUninstallPath[] = L"software\\microsoft\\windows\\currentversion\\uninstall";
inline constexpr wchar_t kWow6432UninstallPath[] =
    L"software\\wow6432node\\microsoft\\windows\\currentversion\\uninstall";

struct SoftwareEntry {
    std::wstring keyPath;          // uninstall key path + "\" + subkey name, below rootKey
    HKEY rootKey = nullptr;        // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
    uint32_t fromWow6432Node = 0;  // read from the 32-bit view's uninstall key
};

// Native key under HKLM then HKCU; on x64 systems also the WOW6432Node key under both.
// Appends to list and returns its size afterwards.
size_t CollectInstalledSoftware(std::vector<SoftwareEntry>& list);

// Appends the listed entries of one uninstall key.
void ReadUninstallKey(HKEY root, const std::wstring& uninstallPath, std::vector<SoftwareEntry>& list);

// Fills entry (keyPath, rootKey) and applies the filters; true when the entry is to be listed.
bool ReadUninstallEntry(HKEY root, const std::wstring& entryPath, SoftwareEntry& entry);

}  // namespace winhush::rules
