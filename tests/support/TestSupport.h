// Test support: throwaway folders and registry keys, child processes under the current
// Wine, and bounded waits. Every wait takes a limit: a test that waits for a window that
// never appears fails, it never hangs the run.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace winhush::test {

using namespace std::chrono_literals;

// Polls until the predicate holds or the limit passes; pumps this thread's messages
// meanwhile so windows of the test itself stay responsive.
bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval = 10ms);

// Milliseconds from `start` to now.
inline long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Pumps this thread's messages for about the given time.
void PumpFor(std::chrono::milliseconds duration);

// A fresh, empty folder under %TEMP%, removed with its contents at the end of the scope.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::wstring& path() const { return path_; }  // ends with "\"
    std::wstring operator/(const std::wstring& name) const { return path_ + name; }

private:
    std::wstring path_;
};

bool DeleteTree(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Registry: HKLM paths in the 64-bit view unless a root is given.
bool RegSetString(HKEY root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& value,
                  DWORD type = REG_SZ);
bool RegSetDword(HKEY root, const std::wstring& keyPath, const std::wstring& name, DWORD value);
bool RegSetBinary(HKEY root, const std::wstring& keyPath, const std::wstring& name, DWORD type, const void* data,
                  DWORD bytes);
std::optional<DWORD> RegGetDword(HKEY root, const std::wstring& keyPath, const std::wstring& name);
std::optional<std::wstring> RegGetString(HKEY root, const std::wstring& keyPath, const std::wstring& name,
                                         DWORD* type = nullptr);
bool RegDeleteValueAt(HKEY root, const std::wstring& keyPath, const std::wstring& name);
bool RegDeleteTreeAt(HKEY root, const std::wstring& keyPath);
bool RegKeyExists(HKEY root, const std::wstring& keyPath);

// Converts a Unix path (as the build passes it through the environment) to the Windows
// path Wine maps it to (Z:\...); Windows paths pass unchanged.
std::wstring HostPathToWindows(const std::wstring& path);
// Folder of the shippable files (Winhush.exe) and of the helper programs.
std::wstring DistDir();
std::wstring ToolsDir();

// A child process; killed at the end of the scope unless it has ended.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;

    // Starts exe with the given arguments (a command line after the quoted exe path).
    // With pipeIo, the child's stdin and stdout are pipes this object writes and reads.
    static ChildProcess Start(const std::wstring& exe, const std::wstring& arguments, bool pipeIo = false);

    bool valid() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }

    // The exit code, or nullopt when the process did not end within the limit.
    std::optional<DWORD> WaitExit(std::chrono::milliseconds limit);
    bool Running() const;
    void Kill();

    bool WriteLine(const std::string& line);
    // One line of the child's stdout without its end-of-line, or nullopt after the limit.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);

private:
    void Close();
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HANDLE stdinWrite_ = nullptr;
    HANDLE stdoutRead_ = nullptr;
    std::string pending_;
};

// Runs xdotool on the X display of the Wine desktop (real pointer moves and clicks that
// Wine turns into window messages). Wine starts Unix programs through CreateProcess but
// hands back no process handle, so callers wait for the effect, not the process. False when
// it could not be started.
bool RunXdotool(const std::wstring& arguments);

// The first visible or hidden top-level window of a class (and, when pid is not 0, of that
// process), waiting up to the limit for it to appear.
HWND WaitForWindow(const std::wstring& className, DWORD pid, std::chrono::milliseconds limit);
std::vector<HWND> TopLevelWindowsOf(DWORD pid, const std::wstring& className = L"");

// A plain popup window of this test, of a class registered on first use with `proc`, made
// for `self`, which `proc` finds again through TestWindowObject.
HWND CreateTestWindow(const wchar_t* className, WNDPROC proc, void* self, const wchar_t* title, DWORD exStyle,
                      RECT at, HWND parent = nullptr);

// The `self` a window of CreateTestWindow was made for (taken over at WM_NCCREATE); null
// before that.
template <class T>
T* TestWindowObject(HWND hwnd, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The colour of a screen pixel (through the screen DC, which Wine fills correctly for
// visible, uncovered windows).
COLORREF ScreenPixel(POINT screen);
// True when each channel differs by at most `tolerance` (JPEG is lossy, edges are smoothed).
bool NearColour(COLORREF actual, COLORREF expected, int tolerance = 16);

}  // namespace winhush::test
