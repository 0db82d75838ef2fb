// Shared fixtures of the rules tests: a suite "DataPath" pointing at a throwaway folder,
// the rule database file inside it, and uninstall entries that vanish with the test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace winhush::test {

// Points HKLM\SOFTWARE\Zelvane\Trevisk\app "DataPath" at a fresh folder (with "db\") for the
// scope and puts the previous value (or its absence) back afterwards.
class ScopedSuiteDataPath {
public:
    ScopedSuiteDataPath();
    ~ScopedSuiteDataPath();
    ScopedSuiteDataPath(const ScopedSuiteDataPath&) = delete;
    ScopedSuiteDataPath& operator=(const ScopedSuiteDataPath&) = delete;

    const std::wstring& dir() const { return temp_.path(); }  // ends with "\"
    std::wstring databasePath() const { return temp_.path() + L"db\\winhsh.db"; }
    bool WriteDatabase(const std::string& bytes) const { return WriteFileBytes(databasePath(), bytes); }

private:
    ScopedTempDir temp_;
    std::optional<std::wstring> previous_;
};

// Uninstall entries created by a test under one root and uninstall key; each is removed
// when the scope ends. Names are made unique per process so runs never collide.
class ScopedUninstallEntries {
public:
    ScopedUninstallEntries() = default;
    ~ScopedUninstallEntries();
    ScopedUninstallEntries(const ScopedUninstallEntries&) = delete;
    ScopedUninstallEntries& operator=(const ScopedUninstallEntries&) = delete;

    // Creates root\uninstallPath\<subkey> with DisplayName and UninstallString set (unless
    // plain), and returns the entry's key path below root.
    std::wstring Add(HKEY root, const std::wstring& uninstallPath, const std::wstring& subkey, bool plain = false);

private:
    std::vector<std::pair<HKEY, std::wstring>> created_;
};

// "WinhushTest<pid>" + suffix: a subkey name no real program uses.
std::wstring UniqueName(const std::wstring& suffix);

}  // namespace winhush::test
