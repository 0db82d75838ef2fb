#include "RulesTestSupport.h"

#include "base/Strings.h"

namespace winhush::test {

namespace {
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
}

ScopedSuiteDataPath::ScopedSuiteDataPath() {
    previous_ = RegGetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
    ::CreateDirectoryW((temp_.path() + L"db").c_str(), nullptr);
    RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", temp_.path());
}

ScopedSuiteDataPath::~ScopedSuiteDataPath() {
    if (previous_) {
        RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", *previous_);
    } else {
        RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
    }
}

std::wstring ScopedUninstallEntries::Add(HKEY root, const std::wstring& uninstallPath, const std::wstring& subkey,
                                         bool plain) {
    std::wstring path = uninstallPath + L"\\" + subkey;
    if (!plain) {
        RegSetString(root, path, L"DisplayName", L"Test program " + subkey);
        RegSetString(root, path, L"UninstallString", L"C:\\Test\\" + subkey + L"\\uninst.exe");
    } else {
        RegSetString(root, path, L"Comment", L"");
    }
    created_.emplace_back(root, path);
    return path;
}

ScopedUninstallEntries::~ScopedUninstallEntries() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteTreeAt(it->first, it->second);
}

std::wstring UniqueName(const std::wstring& suffix) {
    return FormatW(L"WinhushTest%lu", ::GetCurrentProcessId()) + suffix;
}

}  // namespace winhush::test
