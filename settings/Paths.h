// Where the program finds the suite and keeps its data. Every answer is rebuilt from the
// registry on each call (the suite may be repaired or moved while we run) and returned
// by value, so the scan thread and the UI thread never share a buffer.
#pragma once

#include <optional>
#include <string>

namespace winhush {

inline constexpr wchar_t kSuiteKeyPath[] = L"SOFTWARE\\Zelvane\\Trevisk";
inline constexpr wchar_t kSuiteAppKeyPath[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";

// "DataPath" of the suite; nullopt when missing, unreadable or empty.
std::optional<std::wstring> GetSuiteDataPath();

// The suite data path + "Winhush\" (created when missing). Empty when there is no data
// path or the folder cannot be created.
std::wstring GetDataDirectory();

// The suite data path + "db\winhsh.db"; nullopt without a data path.
std::optional<std::wstring> GetRuleDatabasePath();

// "InstallPath" of the suite + "bin\"; false (and out empty) when missing.
bool GetSuiteProgramDir(std::wstring& out);

// The full path of the running executable; empty on failure.
std::wstring GetExecutablePath();

}  // namespace winhush
