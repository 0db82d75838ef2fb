#include "settings/Paths.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/Handles.h"
#include "base/Registry.h"
#include "base/Strings.h"
#include "base/Wow64.h"

namespace winhush {

namespace {
constexpr size_t kMaxSuitePathChars = 512;

std::optional<std::wstring> ReadSuiteString(const wchar_t* keyPath, const wchar_t* valueName) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    std::optional<std::wstring> text = ReadRegistryString(key.get(), valueName, kMaxSuitePathChars);
    if (!text || text->empty()) return std::nullopt;
    return text;
}
}  // namespace

std::optional<std::wstring> GetSuiteDataPath() { return ReadSuiteString(kSuiteAppKeyPath, L"DataPath"); }

std::wstring GetDataDirectory() {
    std::optional<std::wstring> base = GetSuiteDataPath();
    if (!base) return {};
    std::wstring dir = *base;
    AppendBackslash(dir);
    dir += L"Winhush\\";
    ScopedWow64RedirectionOff redirection;
    if (!::PathFileExistsW(dir.c_str()) && !::CreateDirectoryW(dir.c_str(), nullptr)) dir.clear();
    return dir;
}

std::optional<std::wstring> GetRuleDatabasePath() {
    std::optional<std::wstring> base = GetSuiteDataPath();
    if (!base) return std::nullopt;
    std::wstring path = *base;
    AppendBackslash(path);
    path += L"db\\winhsh.db";
    return path;
}

bool GetSuiteProgramDir(std::wstring& out) {
    out.clear();
    std::optional<std::wstring> install = ReadSuiteString(kSuiteKeyPath, L"InstallPath");
    if (!install) return false;
    out = *install;
    AppendBackslash(out);
    out += L"bin\\";
    return true;
}

std::wstring GetExecutablePath() {
    wchar_t buffer[1024] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, buffer, 1018);
    if (length == 0 || length >= 1018) return {};
    return std::wstring(buffer, length);
}

}  // namespace winhush
