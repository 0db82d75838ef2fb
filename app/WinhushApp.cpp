#include "app/WinhushApp.h"

#include <objbase.h>
#include <commctrl.h>

#include <cwchar>

#include "app/CrashDump.h"
#include "app/DllSearch.h"
#include "app/MainWindowHost.h"
#include "settings/Paths.h"
#include "settings/StartupConfig.h"
#include "app/UiResources.h"
#include "base/Handles.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "rules/RuleDatabase.h"
#include "settings/AutoStartTask.h"
#include "settings/SettingsStore.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/WindowPlacement.h"

namespace winhush {

bool WantsHiddenStart(const wchar_t* commandLine) {
    return commandLine && std::wcsstr(commandLine, L"hide") != nullptr;
}

bool EnablePrivilege(const wchar_t* name) {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) return false;
    return ::GetLastError() == ERROR_SUCCESS;  // ERROR_NOT_ALL_ASSIGNED when we lack it
}

namespace {

// A second instance hands over to the first and leaves nothing of its own behind.
void ActivateFirstInstance() {
    HWND first = ::FindWindowW(kMainWindowClass, nullptr);
    if (!::IsZoomed(first)) ::ShowWindow(first, SW_SHOWNORMAL);
    ::SetForegroundWindow(first);
}

void SetWindowIcons(HWND hwnd, HINSTANCE instance) {
    // The window keeps these for its whole life; they are shared resources of the module.
    HICON big = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON),
                                                LR_DEFAULTCOLOR | LR_SHARED));
    HICON small = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON,
                                                  ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                  LR_DEFAULTCOLOR | LR_SHARED));
    if (big) ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

void RunMainWindow(HINSTANCE instance, bool hidden) {
    ui::CMessageLoop loop;
    ui::Module().AddMessageLoop(&loop);
    if (HWND hwnd = CreateMainWindow(instance)) {
        SetWindowIcons(hwnd, instance);
        // Without an owner: centred on the work area of its monitor.
        ui::CenterWindowOverOwner(hwnd);
        if (!hidden) ::ShowWindow(hwnd, SW_SHOWNORMAL);
        loop.Run();
    }
    ui::Module().RemoveMessageLoop();
}

}  // namespace

int RunWinhush(HINSTANCE instance, const wchar_t* commandLine) {
    RestrictDllSearchToSystem32();
    InstallCrashDumpFilter();

    UniqueHandle instanceMutex(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (!instanceMutex) return 0;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ActivateFirstInstance();
        return 0;
    }

    EnablePrivilege(L"SeDebugPrivilege");
    EnablePrivilege(L"SeLoadDriverPrivilege");

    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 0;
    if (SUCCEEDED(::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                         RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
        ::DefWindowProcW(nullptr, 0, 0, 0);
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);

        SetUpUiResources(instance);

        if (FAILED(ui::Module().Init(instance))) {
            ::CoUninitialize();
            return E_FAIL;
        }

        GetDataDirectory();  // creates the folder on first start
        monitor::WndMgr().Init();

        StartupConfig& config = GetStartupConfig();
        FillStartupBasics(config);
        rules::FillStartupClassLists(config);

        {
            UniqueHKey key = settings::OpenSettingsKey(true);
            settings::SyncAutoStartTask(key.get());
        }

        RunMainWindow(instance, WantsHiddenStart(commandLine));
        rules::StopAutoCheck();
        monitor::WndMgr().Stop();

        ui::Module().Term();
    }
    ::CoUninitialize();
    return 0;
}

}  // namespace winhush
