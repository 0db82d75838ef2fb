#include "ProgramTestSupport.h"

#include <cstdio>

namespace winhush::test {

bool SetSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values) {
    for (const auto& [name, value] : values) {
        if (!RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value)) return false;
    }
    return true;
}

bool ResetSettings(std::initializer_list<std::pair<const wchar_t*, DWORD>> values) {
    RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    return SetSettings(values);
}

bool SetQuietSettings(DWORD blockCount) {
    return SetSettings({{L"ScanSoftware", 0},
                        {L"AutoCheck", 0},
                        {L"Block", 1},
                        {L"HideTray", 0},
                        {L"IconTip", 0},
                        {L"BlockCount", blockCount}});
}

bool NoWinhushRunning(std::chrono::milliseconds limit) {
    return WaitUntil([] { return TopLevelWindowsOf(0, kMainWindowClass).empty(); }, limit);
}

bool SuiteInstall::Create(const std::wstring& root, bool withDataDir) {
    std::wstring base = root;
    if (!base.empty() && base.back() != L'\\') base.push_back(L'\\');
    dataRoot_ = base + L"data\\";
    dataDir_ = dataRoot_ + L"Winhush\\";
    suiteRoot_ = base + L"suite\\";
    for (const std::wstring& dir : {dataRoot_, withDataDir ? dataDir_ : dataRoot_, suiteRoot_}) {
        if (!::CreateDirectoryW(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", dataRoot_) &&
           RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", suiteRoot_);
}

void SuiteInstall::Remove() {
    RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKey);
    RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
}

std::string HandleText(HWND hwnd) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

bool HelperProcess::Start(const std::wstring& exe, std::chrono::milliseconds limit) {
    process_ = ChildProcess::Start(exe, L"", true);
    return process_.valid() && Command("ping", limit) == std::optional<std::string>("ok");
}

std::optional<std::string> HelperProcess::Command(const std::string& line, std::chrono::milliseconds limit) {
    if (!process_.WriteLine(line)) return std::nullopt;
    return process_.ReadLine(limit);
}

HWND HelperProcess::Open(const std::string& arguments) {
    std::optional<std::string> reply = Command("open " + arguments);
    if (!reply || reply->rfind("ok 0x", 0) != 0) return nullptr;
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply->substr(3), nullptr, 16)));
}

void HelperProcess::Quit() {
    if (!process_.valid()) return;
    process_.WriteLine("quit");
    if (!process_.WaitExit(std::chrono::seconds(5))) process_.Kill();
    process_ = {};
}

std::wstring WinhushProcess::Exe() { return DistDir() + L"Winhush.exe"; }

bool WinhushProcess::Start(const std::wstring& arguments) {
    process_ = ChildProcess::Start(Exe(), arguments);
    return process_.valid();
}

HWND WinhushProcess::StartAndWait(const std::wstring& arguments, std::chrono::milliseconds limit) {
    return Start(arguments) ? WaitMainWindow(limit) : nullptr;
}

HWND WinhushProcess::WaitMainWindow(std::chrono::milliseconds limit) {
    if (!process_.valid()) return nullptr;
    return WaitForWindow(kMainWindowClass, process_.pid(), limit);
}

long long WinhushProcess::Close(std::chrono::milliseconds limit) {
    if (!process_.valid()) return 0;
    auto start = std::chrono::steady_clock::now();
    for (HWND main : TopLevelWindowsOf(process_.pid(), kMainWindowClass)) ::PostMessageW(main, WM_CLOSE, 0, 0);
    long long took = -1;
    if (process_.WaitExit(limit)) {
        took = MsSince(start);
    } else {
        process_.Kill();
    }
    process_ = {};
    return took;
}

HWND EnabledOwnedWindow(HWND owner, DWORD pid) {
    for (HWND hwnd : TopLevelWindowsOf(pid)) {
        if (::GetWindow(hwnd, GW_OWNER) == owner && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) return hwnd;
    }
    return nullptr;
}

}  // namespace winhush::test
