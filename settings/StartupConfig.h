// Facts about this run that the scan thread's candidate filter needs: filled once on the
// UI thread before any worker starts and only read afterwards, so readers take no lock.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winhush::settings {
struct HotkeyRegistration;
}

namespace winhush {

struct StartupConfig {
    DWORD ownProcessId = 0;
    std::wstring explorerPath;     // "<Windows folder>\explorer.exe", empty when unknown
    std::wstring suiteProgramDir;  // "<InstallPath>\bin\", empty when the suite is not found
    std::vector<std::wstring> systemClasses;
    std::vector<std::wstring> commonClasses;
};

StartupConfig& GetStartupConfig();

// Process id, explorer path and suite program directory (the class lists come from the
// rule database and are filled by the rules layer).
void FillStartupBasics(StartupConfig& config);

// The main window, the only receiver of the workers' messages. Null until it exists.
HWND GetMainWindowHandle();
void SetMainWindowHandle(HWND hwnd);
// The main window's hotkey atoms and registration results (UI thread only).
settings::HotkeyRegistration& MainWindowHotkeys();

}  // namespace winhush
