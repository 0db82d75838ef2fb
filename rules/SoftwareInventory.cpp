#include "rules/SoftwareInventory.h"

#include <algorithm>
#include <cwchar>

#include "base/Handles.h"
#include "base/Registry.h"
#include "base/Strings.h"

namespace winhush::rules {

namespace {

constexpr REGSAM kUninstallAccess = KEY_READ | KEY_WOW64_64KEY;
constexpr size_t kMaxValueChars = 4096;
constexpr DWORD kInitialNameChars = 4096;
constexpr DWORD kProcessorAmd64 = 8664;  // PROCESSOR_AMD_X8664

bool HasStringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) return false;
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// Windows Installer entries uninstall through "msiexec /x {product code}"; one whose command
// carries no braced code is a leftover that cannot be uninstalled and is not listed.
bool IsInstallerEntryWithoutProductCode(HKEY key, const std::wstring& uninstallCommand) {
    std::optional<DWORD> installer = ReadRegistryDword(key, L"WindowsInstaller");
    if (!installer || *installer != 1) return false;
    std::wstring command = uninstallCommand;
    std::wstring expanded(kMaxValueChars, L'\0');
    DWORD needed = ::ExpandEnvironmentStringsW(uninstallCommand.c_str(), expanded.data(),
                                               static_cast<DWORD>(expanded.size()));
    if (needed > 0 && needed <= expanded.size()) command.assign(expanded.c_str());
    if (ToUpper(command).find(L"MSIEXEC.EXE") == std::wstring::npos) return false;
    size_t open = command.find(L'{');
    return open == std::wstring::npos || command.find(L'}', open + 1) == std::wstring::npos;
}

}  // namespace

bool ReadUninstallEntry(HKEY root, const std::wstring& entryPath, SoftwareEntry& entry) {
    entry.keyPath = entryPath;
    entry.rootKey = root;
    UniqueHKey key;
    if (::RegOpenKeyExW(root, entryPath.c_str(), 0, kUninstallAccess, key.put()) != ERROR_SUCCESS) return false;

    std::optional<DWORD> systemComponent = ReadRegistryDword(key.get(), L"SystemComponent");
    if (systemComponent && *systemComponent == 1) return false;
    if (HasStringValue(key.get(), L"ParentKeyName")) return false;  // an update of another entry
    std::wstring releaseType = ReadRegistryString(key.get(), L"ReleaseType", kMaxValueChars).value_or(L"");
    if (EqualsIgnoringCase(releaseType, L"Service Pack")) return false;

    std::optional<std::wstring> displayName = ReadRegistryString(key.get(), L"DisplayName", kMaxValueChars);
    if (!displayName) displayName = ReadRegistryString(key.get(), L"DisplayName1", kMaxValueChars);
    if (!displayName || displayName->empty()) return false;

    std::optional<std::wstring> uninstall = ReadRegistryString(key.get(), L"UninstallString", kMaxValueChars);
    if (!uninstall || uninstall->empty()) return false;
    if (IsInstallerEntryWithoutProductCode(key.get(), *uninstall)) return false;
    return true;
}

void ReadUninstallKey(HKEY root, const std::wstring& uninstallPath, std::vector<SoftwareEntry>& list) {
    UniqueHKey key;
    if (::RegOpenKeyExW(root, uninstallPath.c_str(), 0, kUninstallAccess, key.put()) != ERROR_SUCCESS) return;
    const uint32_t fromWow = uninstallPath.find(L"wow6432node") != std::wstring::npos ? 1 : 0;
    std::wstring name(kInitialNameChars, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD chars = static_cast<DWORD>(name.size());
        LSTATUS status = ::RegEnumKeyExW(key.get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) {
            // Some systems report the needed length here, others do not; never shrink.
            name.resize(std::max<size_t>(name.size() * 2, static_cast<size_t>(chars) + 2));
            chars = static_cast<DWORD>(name.size());
            status = ::RegEnumKeyExW(key.get(), index, name.data(), &chars, nullptr, nullptr, nullptr, nullptr);
        }
        if (status != ERROR_SUCCESS) break;
        SoftwareEntry entry;
        if (ReadUninstallEntry(root, uninstallPath + L"\\" + std::wstring(name.data(), chars), entry)) {
            entry.fromWow6432Node = fromWow;
            list.push_back(std::move(entry));
        }
    }
}

size_t CollectInstalledSoftware(std::vector<SoftwareEntry>& list) {
    ReadUninstallKey(HKEY_LOCAL_MACHINE, kNativeUninstallPath, list);
    ReadUninstallKey(HKEY_CURRENT_USER, kNativeUninstallPath, list);
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    if (info.dwProcessorType == kProcessorAmd64) {
        ReadUninstallKey(HKEY_LOCAL_MACHINE, kWow6432UninstallPath, list);
        ReadUninstallKey(HKEY_CURRENT_USER, kWow6432UninstallPath, list);
    }
    return list.size();
}

}  // namespace winhush::rules
