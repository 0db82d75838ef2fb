// What the tests that start Winhush.exe and the helper program share: a throwaway suite
// installation (data folder, program folder and the registry values that name them), the
// program's settings key, the helper's line protocol and the program as a child process
// that is closed the way its exit command closes it.
#pragma once

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "TestSupport.h"

namespace winhush::test {

inline constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
inline constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";
inline constexpr wchar_t kMainWindowClass[] = L"ZVWINHUSHWND";

// Writes DWORD values under the settings key; false at the first that cannot be written.
bool SetSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values);

// Deletes the settings key, as on a computer the program never ran on, then writes `values`.
bool ResetSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values);

// The settings most tests start from: not the first run (no loading phase), no automatic
// check, blocking on, tray icon shown, no balloon, the given total block count.
bool SetQuietSettings(DWORD blockCount);

// True once no Winhush main window of any process is left (a previous test's program has
// ended), within the limit.
bool NoWinhushRunning(std::chrono::milliseconds limit = std::chrono::seconds(10));

// A suite installed under `root`: <root>\data\ (DataPath, with Winhush\ in it) and
// <root>\suite\ (InstallPath). Remove() deletes the suite's and the program's keys.
class SuiteInstall {
public:
    // Without withDataDir, Winhush\ is left for the program to make, as on a first run.
    bool Create(const std::wstring& root, bool withDataDir = true);
    void Remove();

    const std::wstring& dataRoot() const { return dataRoot_; }    // ends with "\"
    const std::wstring& dataDir() const { return dataDir_; }      // <dataRoot>Winhush\ .
    const std::wstring& suiteRoot() const { return suiteRoot_; }  // ends with "\"
    std::wstring logPath() const { return dataDir_ + L"WndMgrInfo.log"; }

private:
    std::wstring dataRoot_, dataDir_, suiteRoot_;
};

// "0x..." as the helper program writes and reads window handles.
std::string HandleText(HWND hwnd);

// tools/winhelper as a child process, driven through its stdin and stdout: one command a
// line, one answer a line ("ok", "ok 0x<handle>", "error ...").
class HelperProcess {
public:
    HelperProcess() = default;
    ~HelperProcess() { Quit(); }
    HelperProcess(HelperProcess&&) = default;
    HelperProcess& operator=(HelperProcess&&) = default;

    // Starts the program and waits for its answer to "ping".
    bool Start(const std::wstring& exe, std::chrono::milliseconds limit = std::chrono::seconds(10));
    bool valid() const { return process_.valid(); }
    DWORD pid() const { return process_.pid(); }

    // The answer to one command line, or nullopt when none came within the limit.
    std::optional<std::string> Command(const std::string& line,
                                       std::chrono::milliseconds limit = std::chrono::seconds(10));
    // "open <arguments>": the handle of the window it opened, or null.
    HWND Open(const std::string& arguments);
    // Asks it to quit and kills it when it has not ended within five seconds. A thread asleep
    // in its window procedure does not keep the process from ending.
    void Quit();

private:
    ChildProcess process_;
};

// Winhush.exe from the build's dist folder as a child process.
class WinhushProcess {
public:
    WinhushProcess() = default;
    ~WinhushProcess() { Close(); }
    WinhushProcess(const WinhushProcess&) = delete;
    WinhushProcess& operator=(const WinhushProcess&) = delete;

    static std::wstring Exe();
    bool Start(const std::wstring& arguments = L"");
    // Starts it and waits for its main window; null when it did not start or none appeared.
    HWND StartAndWait(const std::wstring& arguments, std::chrono::milliseconds limit);
    // Its main window, waiting up to the limit for it to appear; null when none did.
    HWND WaitMainWindow(std::chrono::milliseconds limit);
    // Closes it as its exit command does (WM_CLOSE to its main windows) and kills it when it
    // has not ended within the limit. The milliseconds it took, 0 when it was not running,
    // -1 when it had to be killed.
    long long Close(std::chrono::milliseconds limit = std::chrono::seconds(10));

    bool valid() const { return process_.valid(); }
    bool Running() const { return process_.Running(); }
    DWORD pid() const { return process_.pid(); }
    ChildProcess& process() { return process_; }

private:
    ChildProcess process_;
};

// An enabled, visible window owned by `owner` in process `pid`: a modal dialog of it (the
// shadow frame and the lock overlay it also owns are disabled).
HWND EnabledOwnedWindow(HWND owner, DWORD pid);

}  // namespace winhush::test
