#include "settings/AutoStartTask.h"

#include <mstask.h>
#include <taskschd.h>

#include <optional>
#include <string>

#include "base/ComPtr.h"
#include "base/Registry.h"
#include "settings/SettingsStore.h"

namespace winhush::settings {

namespace {

// The SDK headers of the cross compiler lack the logon trigger's own interface.
MIDL_INTERFACE("72DADE38-FAE4-4b3e-BAF4-5D009AF02B1C")
ILogonTriggerDecl : public ITrigger {
public:
    virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR * delay) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR * user) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
constexpr IID kIidLogonTrigger = {0x72DADE38, 0xFAE4, 0x4b3e, {0xBA, 0xF4, 0x5D, 0x00, 0x9A, 0xF0, 0x2B, 0x1C}};

constexpr DWORD kExecutablePathChars = 1024;
constexpr DWORD kAccountPartChars = 257;

std::wstring ExecutablePath() {
    wchar_t buffer[kExecutablePathChars] = {};
    DWORD length = ::GetModuleFileNameW(nullptr, buffer, kExecutablePathChars);
    // A full buffer means a cut path; a task must never point at a truncated one.
    if (length == 0 || length >= kExecutablePathChars) return {};
    return std::wstring(buffer, length);
}

// "computer\user", or nothing when either name cannot be had.
std::optional<std::wstring> AccountText() {
    wchar_t user[kAccountPartChars] = {};
    wchar_t computer[kAccountPartChars] = {};
    DWORD userChars = kAccountPartChars;
    DWORD computerChars = kAccountPartChars;
    if (!::GetUserNameW(user, &userChars)) return std::nullopt;
    if (!::GetComputerNameW(computer, &computerChars)) return std::nullopt;
    return std::wstring(computer) + L"\\" + user;
}

HRESULT CreateScheduler1(ComPtr<ITaskScheduler>& scheduler) {
    return ::CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                              scheduler.put_void());
}

bool TaskExists1(ITaskScheduler* scheduler) {
    ComPtr<ITask> task;
    return SUCCEEDED(scheduler->Activate(kAutoStartTaskName, IID_ITask, task.put_unknown()));
}

HRESULT CreateTask1(ITaskScheduler* scheduler) {
    std::wstring exe = ExecutablePath();
    if (exe.empty()) return E_FAIL;
    std::optional<std::wstring> account = AccountText();
    if (!account) return E_FAIL;
    // An existing work item stays as the user (or an earlier run) left it.
    if (TaskExists1(scheduler)) return S_OK;

    ComPtr<ITask> task;
    HRESULT hr = scheduler->NewWorkItem(kAutoStartTaskName, CLSID_CTask, IID_ITask, task.put_unknown());
    if (SUCCEEDED(hr)) hr = task->SetApplicationName(exe.c_str());
    if (SUCCEEDED(hr)) hr = task->SetParameters(kAutoStartArguments);
    if (SUCCEEDED(hr)) hr = task->SetFlags(TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
    // No password is needed for a task that runs only while its user is logged on.
    if (SUCCEEDED(hr)) hr = task->SetAccountInformation(account->c_str(), nullptr);
    ComPtr<ITaskTrigger> trigger;
    WORD triggerIndex = 0;
    if (SUCCEEDED(hr)) hr = task->CreateTrigger(&triggerIndex, trigger.put());
    if (SUCCEEDED(hr)) {
        TASK_TRIGGER when = {};
        when.cbTriggerSize = sizeof(TASK_TRIGGER);
        when.wBeginYear = 1999;
        when.wBeginMonth = 1;
        when.wBeginDay = 1;
        when.wStartHour = 13;
        when.TriggerType = TASK_EVENT_TRIGGER_AT_LOGON;
        when.Type.Daily.DaysInterval = 1;
        hr = trigger->SetTrigger(&when);
    }
    // The priority is a refinement: a scheduler that cannot set it (Wine's answers E_NOTIMPL)
    // still gets a task that starts the program at logon, rather than no task at all.
    if (SUCCEEDED(hr)) task->SetPriority(HIGH_PRIORITY_CLASS);
    ComPtr<IPersistFile> file;
    if (SUCCEEDED(hr)) hr = task.As(IID_IPersistFile, file);
    if (SUCCEEDED(hr)) hr = file->Save(nullptr, TRUE);
    return hr;
}

HRESULT CreateTask2(ITaskService* service, ITaskFolder* folder, const std::wstring& exe) {
    ComPtr<ITaskDefinition> definition;
    HRESULT hr = service->NewTask(0, definition.put());

    ComPtr<IRegistrationInfo> registration;
    if (SUCCEEDED(hr)) hr = definition->get_RegistrationInfo(registration.put());
    if (SUCCEEDED(hr)) {
        std::optional<std::wstring> account = AccountText();
        if (!account) return E_FAIL;
        UniqueBstr author(account->c_str());
        hr = registration->put_Author(author.get());
    }

    ComPtr<IPrincipal> principal;
    if (SUCCEEDED(hr)) hr = definition->get_Principal(principal.put());
    if (SUCCEEDED(hr)) hr = principal->put_RunLevel(TASK_RUNLEVEL_HIGHEST);

    ComPtr<ITaskSettings> settings;
    if (SUCCEEDED(hr)) hr = definition->get_Settings(settings.put());
    if (SUCCEEDED(hr)) hr = settings->put_StartWhenAvailable(VARIANT_TRUE);
    if (SUCCEEDED(hr)) hr = settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
    if (SUCCEEDED(hr)) hr = settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);

    ComPtr<ITriggerCollection> triggers;
    ComPtr<ITrigger> trigger;
    ComPtr<ILogonTriggerDecl> logon;
    if (SUCCEEDED(hr)) hr = definition->get_Triggers(triggers.put());
    if (SUCCEEDED(hr)) hr = triggers->Create(TASK_TRIGGER_LOGON, trigger.put());
    if (SUCCEEDED(hr)) hr = trigger.As(kIidLogonTrigger, logon);
    if (SUCCEEDED(hr)) hr = logon->put_Enabled(VARIANT_TRUE);
    if (SUCCEEDED(hr)) hr = logon->put_UserId(nullptr);  // any user's logon

    ComPtr<IActionCollection> actions;
    ComPtr<IAction> action;
    ComPtr<IExecAction> exec;
    if (SUCCEEDED(hr)) hr = definition->get_Actions(actions.put());
    if (SUCCEEDED(hr)) hr = actions->Create(TASK_ACTION_EXEC, action.put());
    if (SUCCEEDED(hr)) hr = action.As(IID_IExecAction, exec);
    if (SUCCEEDED(hr)) {
        UniqueBstr path(exe.c_str());
        hr = exec->put_Path(path.get());
    }
    if (SUCCEEDED(hr)) {
        UniqueBstr arguments(kAutoStartArguments);
        hr = exec->put_Arguments(arguments.get());
    }

    if (SUCCEEDED(hr)) {
        UniqueBstr name(kAutoStartTaskName);
        UniqueVariant group(L"Builtin\\Administrators");
        UniqueVariant password;
        UniqueVariant securityDescriptor(L"");
        ComPtr<IRegisteredTask> registered;
        hr = folder->RegisterTaskDefinition(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, group.get(),
                                            password.get(), TASK_LOGON_GROUP, securityDescriptor.get(),
                                            registered.put());
    }
    return hr;
}

}  // namespace

bool IsOldSystem() {
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
#pragma GCC diagnostic pop
    return ok && version.dwMajorVersion <= 5 && version.dwMinorVersion <= 2;
}

bool IsAutoStartTaskPresent() {
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CreateScheduler1(scheduler))) return false;
    return TaskExists1(scheduler.get());
}

bool ApplyAutoStartTask(bool enable) { return IsOldSystem() ? ApplyAutoStartTaskV1(enable) : ApplyAutoStartTaskV2(enable); }

bool ApplyAutoStartTaskV1(bool enable) {
    ComPtr<ITaskScheduler> scheduler;
    if (FAILED(CreateScheduler1(scheduler))) return false;
    if (!enable) return SUCCEEDED(scheduler->Delete(kAutoStartTaskName));
    return SUCCEEDED(CreateTask1(scheduler.get()));
}

bool ApplyAutoStartTaskV2(bool enable) {
    std::wstring exe = ExecutablePath();
    if (exe.empty() || !AccountText()) return false;

    ComPtr<ITaskService> service;
    HRESULT hr =
        ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService, service.put_void());
    if (FAILED(hr)) return false;
    {
        UniqueVariant server, user, domain, password;
        hr = service->Connect(server.get(), user.get(), domain.get(), password.get());
    }
    ComPtr<ITaskFolder> root;
    if (SUCCEEDED(hr)) {
        UniqueBstr rootPath(L"\\");
        hr = service->GetFolder(rootPath.get(), root.put());
    }
    if (FAILED(hr)) return false;

    if (!enable) {
        UniqueBstr name(kAutoStartTaskName);
        return SUCCEEDED(root->DeleteTask(name.get(), 0));
    }
    return SUCCEEDED(CreateTask2(service.get(), root.get(), exe));
}

bool SyncAutoStartTask(HKEY settingsKey) {
    std::optional<DWORD> stored = ReadRegistryDword(settingsKey, kAutoRun);
    if (!stored) {
        const DWORD wanted = FlagDefault(kAutoRun);
        WriteDword(settingsKey, kAutoRun, wanted);  // fails quietly on a read-only key
        ApplyAutoStartTask(wanted != 0);
        return wanted != 0;
    }
    const bool wanted = *stored != 0;
    if (wanted != IsAutoStartTaskPresent()) ApplyAutoStartTask(wanted);
    return wanted;
}

}  // namespace winhush::settings
