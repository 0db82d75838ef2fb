#include "TestSupport.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <utility>

namespace winhush::test {

namespace {
using Clock = std::chrono::steady_clock;

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

HKEY OpenKey(HKEY root, const std::wstring& keyPath, REGSAM access, bool create) {
    HKEY key = nullptr;
    LONG status = create ? ::RegCreateKeyExW(root, keyPath.c_str(), 0, nullptr, 0, access | KEY_WOW64_64KEY, nullptr,
                                             &key, nullptr)
                         : ::RegOpenKeyExW(root, keyPath.c_str(), 0, access | KEY_WOW64_64KEY, &key);
    return status == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

bool WaitUntil(const std::function<bool()>& predicate, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (predicate()) return true;
        if (Clock::now() >= deadline) return false;
        PumpMessages();
        std::this_thread::sleep_for(interval);
    }
}

void PumpFor(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline) {
        PumpMessages();
        std::this_thread::sleep_for(5ms);
    }
    PumpMessages();
}

ScopedTempDir::ScopedTempDir() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        swprintf(name, 64, L"whtest-%lu-%ld-%d\\", ::GetCurrentProcessId(), ::InterlockedIncrement(&counter), attempt);
        std::wstring candidate = std::wstring(temp) + name;
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
    }
}

ScopedTempDir::~ScopedTempDir() {
    if (!path_.empty()) DeleteTree(path_);
}

bool DeleteTree(const std::wstring& path) {
    std::wstring from = path;
    while (!from.empty() && from.back() == L'\\') from.pop_back();
    from.push_back(L'\0');  // SHFileOperation wants a double-NUL list
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    return ::SHFileOperationW(&op) == 0;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string out;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) out.append(buffer, read);
    ::CloseHandle(file);
    return out;
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool RegSetBinary(HKEY root, const std::wstring& keyPath, const std::wstring& name, DWORD type, const void* data,
                  DWORD bytes) {
    HKEY key = OpenKey(root, keyPath, KEY_ALL_ACCESS, true);
    if (!key) return false;
    LONG status = ::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool RegSetString(HKEY root, const std::wstring& keyPath, const std::wstring& name, const std::wstring& value,
                  DWORD type) {
    return RegSetBinary(root, keyPath, name, type, value.c_str(),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool RegSetDword(HKEY root, const std::wstring& keyPath, const std::wstring& name, DWORD value) {
    return RegSetBinary(root, keyPath, name, REG_DWORD, &value, sizeof(value));
}

std::optional<DWORD> RegGetDword(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
    HKEY key = OpenKey(root, keyPath, KEY_READ, false);
    if (!key) return std::nullopt;
    DWORD type = 0, value = 0, bytes = sizeof(value);
    LONG status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

std::optional<std::wstring> RegGetString(HKEY root, const std::wstring& keyPath, const std::wstring& name,
                                         DWORD* typeOut) {
    HKEY key = OpenKey(root, keyPath, KEY_READ, false);
    if (!key) return std::nullopt;
    DWORD type = 0, bytes = 0;
    std::optional<std::wstring> result;
    if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) ==
            ERROR_SUCCESS) {
            text.resize(bytes / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            result = text;
            if (typeOut) *typeOut = type;
        }
    }
    ::RegCloseKey(key);
    return result;
}

bool RegDeleteValueAt(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
    HKEY key = OpenKey(root, keyPath, KEY_ALL_ACCESS, false);
    if (!key) return false;
    LONG status = ::RegDeleteValueW(key, name.c_str());
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool RegDeleteTreeAt(HKEY root, const std::wstring& keyPath) {
    LONG status = ::RegDeleteTreeW(root, keyPath.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        ::RegDeleteKeyExW(root, keyPath.c_str(), KEY_WOW64_64KEY, 0);
        return true;
    }
    return false;
}

bool RegKeyExists(HKEY root, const std::wstring& keyPath) {
    HKEY key = OpenKey(root, keyPath, KEY_READ, false);
    if (key) ::RegCloseKey(key);
    return key != nullptr;
}

std::wstring HostPathToWindows(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:" + path;
    for (auto& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

namespace {
std::wstring EnvDir(const wchar_t* name) {
    wchar_t buffer[2048] = {};
    DWORD length = ::GetEnvironmentVariableW(name, buffer, 2048);
    if (length == 0 || length >= 2048) return {};
    std::wstring dir = HostPathToWindows(buffer);
    if (!dir.empty() && dir.back() != L'\\') dir.push_back(L'\\');
    return dir;
}
}  // namespace

std::wstring DistDir() { return EnvDir(L"WINHUSH_DIST"); }
std::wstring ToolsDir() { return EnvDir(L"WINHUSH_TOOLS"); }

ChildProcess::~ChildProcess() {
    Kill();
    Close();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Kill();
        Close();
        process_ = std::exchange(other.process_, nullptr);
        pid_ = std::exchange(other.pid_, 0);
        stdinWrite_ = std::exchange(other.stdinWrite_, nullptr);
        stdoutRead_ = std::exchange(other.stdoutRead_, nullptr);
        pending_ = std::move(other.pending_);
    }
    return *this;
}

ChildProcess ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments, bool pipeIo) {
    ChildProcess child;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;

    STARTUPINFOW startup = {sizeof(startup)};
    HANDLE childStdin = nullptr, childStdout = nullptr;
    if (pipeIo) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        if (!::CreatePipe(&childStdin, &child.stdinWrite_, &inherit, 0)) return child;
        if (!::CreatePipe(&child.stdoutRead_, &childStdout, &inherit, 0)) return child;
        ::SetHandleInformation(child.stdinWrite_, HANDLE_FLAG_INHERIT, 0);
        ::SetHandleInformation(child.stdoutRead_, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childStdin;
        startup.hStdOutput = childStdout;
        startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION info = {};
    BOOL ok = ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, pipeIo, 0, nullptr, nullptr, &startup,
                               &info);
    if (childStdin) ::CloseHandle(childStdin);
    if (childStdout) ::CloseHandle(childStdout);
    if (!ok) return child;
    ::CloseHandle(info.hThread);
    child.process_ = info.hProcess;
    child.pid_ = info.dwProcessId;
    return child;
}

std::optional<DWORD> ChildProcess::WaitExit(std::chrono::milliseconds limit) {
    if (!process_) return std::nullopt;
    if (::WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return code;
}

bool ChildProcess::Running() const { return process_ && ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void ChildProcess::Kill() {
    if (Running()) {
        ::TerminateProcess(process_, 1);
        ::WaitForSingleObject(process_, 5000);
    }
}

void ChildProcess::Close() {
    for (HANDLE* h : {&process_, &stdinWrite_, &stdoutRead_}) {
        if (*h) ::CloseHandle(*h);
        *h = nullptr;
    }
}

bool ChildProcess::WriteLine(const std::string& line) {
    if (!stdinWrite_) return false;
    std::string data = line + "\n";
    DWORD written = 0;
    return ::WriteFile(stdinWrite_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size();
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds limit) {
    if (!stdoutRead_) return std::nullopt;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        // Peek first: a plain ReadFile would block past the limit.
        DWORD available = 0;
        if (!::PeekNamedPipe(stdoutRead_, nullptr, 0, nullptr, &available, nullptr)) return std::nullopt;
        if (available > 0) {
            char buffer[4096];
            DWORD read = 0;
            if (!::ReadFile(stdoutRead_, buffer, std::min<DWORD>(available, sizeof(buffer)), &read, nullptr))
                return std::nullopt;
            pending_.append(buffer, read);
            continue;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(5ms);
    }
}

namespace {
struct EnumContext {
    DWORD pid;
    const std::wstring* className;
    std::vector<HWND>* out;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* ctx = reinterpret_cast<EnumContext*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (ctx->pid != 0 && pid != ctx->pid) return TRUE;
    if (!ctx->className->empty()) {
        wchar_t name[256] = {};
        ::GetClassNameW(hwnd, name, 256);
        if (*ctx->className != name) return TRUE;
    }
    ctx->out->push_back(hwnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD pid, const std::wstring& className) {
    std::vector<HWND> windows;
    EnumContext ctx{pid, &className, &windows};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&ctx));
    return windows;
}

bool RunXdotool(const std::wstring& arguments) {
    std::wstring commandLine = L"\"Z:\\usr\\bin\\xdotool\" " + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    if (info.hProcess) ::CloseHandle(info.hProcess);
    if (info.hThread) ::CloseHandle(info.hThread);
    return true;
}

HWND WaitForWindow(const std::wstring& className, DWORD pid, std::chrono::milliseconds limit) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto windows = TopLevelWindowsOf(pid, className);
            if (!windows.empty()) found = windows.front();
            return found != nullptr;
        },
        limit, 20ms);
    return found;
}

HWND CreateTestWindow(const wchar_t* className, WNDPROC proc, void* self, const wchar_t* title, DWORD exStyle,
                      RECT at, HWND parent) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);  // fails harmlessly once the class exists
    return ::CreateWindowExW(exStyle, className, title, WS_POPUP, at.left, at.top, at.right - at.left,
                             at.bottom - at.top, parent, nullptr, wc.hInstance, self);
}

COLORREF ScreenPixel(POINT screen) {
    HDC dc = ::GetDC(nullptr);
    COLORREF colour = ::GetPixel(dc, screen.x, screen.y);
    ::ReleaseDC(nullptr, dc);
    return colour;
}

bool NearColour(COLORREF actual, COLORREF expected, int tolerance) {
    if (actual == CLR_INVALID) return false;
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

}  // namespace winhush::test
