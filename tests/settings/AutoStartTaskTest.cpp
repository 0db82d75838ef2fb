// The auto-start task against the Task Scheduler of the test prefix. What was created is read
// back through the Task Scheduler's own interfaces, never through our presence query alone.
#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>
#include <taskschd.h>

#include <optional>
#include <string>

#include "TaskTestSupport.h"
#include "TestSupport.h"
#include "base/ComPtr.h"
#include "settings/AutoStartTask.h"

using namespace winhush;
using namespace winhush::settings;
namespace t = winhush::test;

namespace {

[[maybe_unused]] auto* const kCom = ::testing::AddGlobalTestEnvironment(new winhush::test::ComApartment);

std::wstring OwnExecutable() {
    wchar_t path[1024] = {};
    ::GetModuleFileNameW(nullptr, path, 1024);
    return path;
}

std::wstring TakeText(LPWSTR text) {
    std::wstring out = text ? text : L"";
    ::CoTaskMemFree(text);
    return out;
}

// A work item of our name made directly through the Task Scheduler, as another run (or
// another copy of the program) may have left it.
void CreateForeignTask1(const wchar_t* application) {
    ComPtr<ITaskScheduler> scheduler = winhush::test::TaskScheduler();
    ASSERT_TRUE(scheduler);
    ComPtr<ITask> task;
    ASSERT_EQ(scheduler->NewWorkItem(kAutoStartTaskName, CLSID_CTask, IID_ITask, task.put_unknown()), S_OK);
    ASSERT_EQ(task->SetApplicationName(application), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(task.As(IID_IPersistFile, file), S_OK);
    ASSERT_EQ(file->Save(nullptr, TRUE), S_OK);
}

// Asked of a scratch work item that is never saved.
bool SchedulerSetsPriority() {
    ComPtr<ITaskScheduler> scheduler = winhush::test::TaskScheduler();
    ComPtr<ITask> scratch;
    if (!scheduler || FAILED(scheduler->NewWorkItem(L"Winhush priority probe", CLSID_CTask, IID_ITask,
                                                     scratch.put_unknown())))
        return false;
    return SUCCEEDED(scratch->SetPriority(HIGH_PRIORITY_CLASS));
}

class AutoStartTask : public ::testing::Test {
protected:
    void SetUp() override { RemoveTask(); }
    void TearDown() override { RemoveTask(); }
    static void RemoveTask() {
        if (auto scheduler = winhush::test::TaskScheduler()) scheduler->Delete(kAutoStartTaskName);
    }
};

TEST_F(AutoStartTask, Version1CreatesALogonTaskThatStartsThisProgramHidden) {
    ASSERT_FALSE(IsAutoStartTaskPresent());
    ASSERT_TRUE(ApplyAutoStartTaskV1(true));
    EXPECT_TRUE(IsAutoStartTaskPresent());

    ComPtr<ITask> task = winhush::test::FindTask();
    ASSERT_TRUE(task) << "the Task Scheduler does not know the task";
    LPWSTR text = nullptr;
    ASSERT_EQ(task->GetApplicationName(&text), S_OK);
    EXPECT_EQ(TakeText(text), OwnExecutable());
    ASSERT_EQ(task->GetParameters(&text), S_OK);
    EXPECT_EQ(TakeText(text), L"-hide");
    DWORD flags = 0;
    ASSERT_EQ(task->GetFlags(&flags), S_OK);
    EXPECT_TRUE(flags & TASK_FLAG_RUN_ONLY_IF_LOGGED_ON);
    // Where the scheduler can set a priority at all (Wine's answers E_NOTIMPL), it is high.
    if (SchedulerSetsPriority()) {
        DWORD priority = 0;
        ASSERT_EQ(task->GetPriority(&priority), S_OK);
        EXPECT_EQ(priority, static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    }
    WORD triggers = 0;
    ASSERT_EQ(task->GetTriggerCount(&triggers), S_OK);
    ASSERT_EQ(triggers, 1);
    ComPtr<ITaskTrigger> trigger;
    ASSERT_EQ(task->GetTrigger(0, trigger.put()), S_OK);
    TASK_TRIGGER when = {};
    when.cbTriggerSize = sizeof(when);
    ASSERT_EQ(trigger->GetTrigger(&when), S_OK);
    EXPECT_EQ(when.TriggerType, TASK_EVENT_TRIGGER_AT_LOGON);
    EXPECT_EQ(when.wBeginYear, 1999);
    EXPECT_EQ(when.wStartHour, 13);

    // Creating again is success and leaves the one task.
    EXPECT_TRUE(ApplyAutoStartTaskV1(true));
    EXPECT_TRUE(IsAutoStartTaskPresent());

    EXPECT_TRUE(ApplyAutoStartTaskV1(false));
    EXPECT_FALSE(IsAutoStartTaskPresent());
    EXPECT_FALSE(winhush::test::FindTask());
    // Deleting what is not there is reported, not pretended.
    EXPECT_FALSE(ApplyAutoStartTaskV1(false));
}

TEST_F(AutoStartTask, Version1NeverRewritesAnExistingTask) {
    CreateForeignTask1(L"C:\\Elsewhere\\Winhush.exe");
    ASSERT_TRUE(IsAutoStartTaskPresent());
    EXPECT_TRUE(ApplyAutoStartTaskV1(true));
    ComPtr<ITask> task = winhush::test::FindTask();
    ASSERT_TRUE(task);
    LPWSTR text = nullptr;
    ASSERT_EQ(task->GetApplicationName(&text), S_OK);
    EXPECT_EQ(TakeText(text), L"C:\\Elsewhere\\Winhush.exe");
}

TEST_F(AutoStartTask, OldSystemTestFollowsTheReportedVersion) {
    OSVERSIONINFOW version = {sizeof(version)};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(&version));
#pragma GCC diagnostic pop
    // The test prefix reports a current Windows unless told otherwise for this exe.
    bool expected = version.dwMajorVersion <= 5 && version.dwMinorVersion <= 2;
    EXPECT_EQ(IsOldSystem(), expected);
    EXPECT_FALSE(expected) << "the test prefix is expected to report Windows 6 or later";
}

// Task Scheduler 2.0 as far as the platform goes. Wine 8 accepts the service connection,
// the root folder, registration and deletion, but refuses the highest run level (and the
// logon trigger) with E_NOTIMPL.
ComPtr<ITaskFolder> RootFolder2() {
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> folder;
    if (FAILED(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  service.put_void())))
        return folder;
    UniqueVariant none;
    if (FAILED(service->Connect(none.get(), none.get(), none.get(), none.get()))) return folder;
    UniqueBstr root(L"\\");
    service->GetFolder(root.get(), folder.put());
    return folder;
}

bool Task2Exists() {
    ComPtr<ITaskFolder> folder = RootFolder2();
    if (!folder) return false;
    UniqueBstr name(kAutoStartTaskName);
    ComPtr<IRegisteredTask> task;
    return SUCCEEDED(folder->GetTask(name.get(), task.put()));
}

TEST_F(AutoStartTask, Version2DeletesTheRegisteredTask) {
    ComPtr<ITaskFolder> folder = RootFolder2();
    if (!folder) GTEST_SKIP() << "no Task Scheduler 2.0 service here";
    // A plain task of our name, registered with what the platform implements.
    ComPtr<ITaskService> service;
    ASSERT_EQ(::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 service.put_void()),
              S_OK);
    UniqueVariant none;
    ASSERT_EQ(service->Connect(none.get(), none.get(), none.get(), none.get()), S_OK);
    ComPtr<ITaskDefinition> definition;
    ASSERT_EQ(service->NewTask(0, definition.put()), S_OK);
    ComPtr<IActionCollection> actions;
    ComPtr<IAction> action;
    ASSERT_EQ(definition->get_Actions(actions.put()), S_OK);
    ASSERT_EQ(actions->Create(TASK_ACTION_EXEC, action.put()), S_OK);
    UniqueBstr name(kAutoStartTaskName);
    UniqueVariant empty;
    UniqueVariant sddl(L"");
    ComPtr<IRegisteredTask> registered;
    ASSERT_EQ(folder->RegisterTaskDefinition(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, empty.get(),
                                             empty.get(), TASK_LOGON_INTERACTIVE_TOKEN, sddl.get(), registered.put()),
              S_OK);
    ASSERT_TRUE(Task2Exists());

    EXPECT_TRUE(ApplyAutoStartTaskV2(false));
    EXPECT_FALSE(Task2Exists());
    EXPECT_FALSE(ApplyAutoStartTaskV2(false)) << "nothing left to delete";
}

TEST_F(AutoStartTask, Version2CreatesAHighestRunLevelLogonTask) {
    if (!RootFolder2()) GTEST_SKIP() << "no Task Scheduler 2.0 service here";
    if (!ApplyAutoStartTaskV2(true)) {
        EXPECT_FALSE(Task2Exists()) << "a failed creation must not leave a task behind";
        GTEST_SKIP() << "Task Scheduler 2.0 refused the task (Wine 8: IPrincipal::put_RunLevel and the logon "
                        "trigger are not implemented)";
    }
    ComPtr<ITaskFolder> folder = RootFolder2();
    UniqueBstr name(kAutoStartTaskName);
    ComPtr<IRegisteredTask> task;
    ASSERT_EQ(folder->GetTask(name.get(), task.put()), S_OK);
    ComPtr<ITaskDefinition> definition;
    ASSERT_EQ(task->get_Definition(definition.put()), S_OK);
    ComPtr<IPrincipal> principal;
    ASSERT_EQ(definition->get_Principal(principal.put()), S_OK);
    TASK_RUNLEVEL_TYPE level = TASK_RUNLEVEL_LUA;
    ASSERT_EQ(principal->get_RunLevel(&level), S_OK);
    EXPECT_EQ(level, TASK_RUNLEVEL_HIGHEST);
    EXPECT_TRUE(ApplyAutoStartTaskV2(false));
    EXPECT_FALSE(Task2Exists());
}

}  // namespace
