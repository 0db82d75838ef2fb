#include "settings/StartupConfig.h"

#include <shlobj.h>

#include <atomic>

#include "settings/Paths.h"
#include "base/Strings.h"
#include "settings/Hotkeys.h"

namespace winhush {

namespace {
std::atomic<HWND> g_mainWindow{nullptr};
}

StartupConfig& GetStartupConfig() {
    static StartupConfig config;
    return config;
}

void FillStartupBasics(StartupConfig& config) {
    config.ownProcessId = ::GetCurrentProcessId();
    wchar_t windowsDir[MAX_PATH] = {};
    if (::SHGetSpecialFolderPathW(nullptr, windowsDir, CSIDL_WINDOWS, FALSE)) {
        config.explorerPath = windowsDir;
        AppendBackslash(config.explorerPath);
        config.explorerPath += L"explorer.exe";
    } else {
        config.explorerPath.clear();
    }
    GetSuiteProgramDir(config.suiteProgramDir);
}

HWND GetMainWindowHandle() { return g_mainWindow.load(std::memory_order_acquire); }
void SetMainWindowHandle(HWND hwnd) { g_mainWindow.store(hwnd, std::memory_order_release); }

settings::HotkeyRegistration& MainWindowHotkeys() {
    static settings::HotkeyRegistration hotkeys;
    return hotkeys;
}

}  // namespace winhush
