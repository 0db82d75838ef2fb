// Winhush.exe keeps its logon task in line with "AutoRun" at every start. The program is
// made to see Windows 5.2 (Wine's per-program version), so it takes the Task Scheduler 1.0
// road that Wine implements end to end; the task is read back through the Task Scheduler.
#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>

#include <string>

#include "ProgramTestSupport.h"
#include "TaskTestSupport.h"
#include "TestSupport.h"
#include "base/ComPtr.h"

namespace t = winhush::test;
using winhush::ComPtr;
using namespace std::chrono_literals;

namespace {

using t::DeleteTask;
using t::FindTask;
using t::kSettingsKey;
using t::kTaskName;
constexpr const wchar_t* kVersionKey = t::kWineVersionKey;

[[maybe_unused]] auto* const kCom = ::testing::AddGlobalTestEnvironment(new t::ComApartment);

std::wstring TaskText(HRESULT (STDMETHODCALLTYPE ITask::*getter)(LPWSTR*)) {
    ComPtr<ITask> task = FindTask();
    LPWSTR text = nullptr;
    if (!task || FAILED((task.get()->*getter)(&text))) return L"";
    std::wstring out = text;
    ::CoTaskMemFree(text);
    return out;
}

// A task of our name for another copy of the program, made through the Task Scheduler.
void CreateTask(const wchar_t* application) {
    ComPtr<ITaskScheduler> scheduler = t::TaskScheduler();
    ASSERT_TRUE(scheduler);
    ComPtr<ITask> task;
    ASSERT_EQ(scheduler->NewWorkItem(kTaskName, CLSID_CTask, IID_ITask, task.put_unknown()), S_OK);
    ASSERT_EQ(task->SetApplicationName(application), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(task.As(IID_IPersistFile, file), S_OK);
    ASSERT_EQ(file->Save(nullptr, TRUE), S_OK);
}

class AutoStartE2e : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = t::WinhushProcess::Exe();
        ASSERT_TRUE(t::FileExists(exe_));
        ASSERT_TRUE(t::NoWinhushRunning());
        ASSERT_TRUE(t::RegSetString(HKEY_CURRENT_USER, kVersionKey, L"Version", L"winxp64"));
        ASSERT_TRUE(t::ResetSettings({{L"ScanSoftware", 0}}));
        DeleteTask();
    }
    void TearDown() override {
        child_.Close();
        DeleteTask();
        t::RegDeleteTreeAt(HKEY_CURRENT_USER, kVersionKey);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    // One start of the program, through to its main window (start-up has synchronised the
    // task by then), and its end.
    void RunOnce() {
        ASSERT_TRUE(child_.Start(L"-hide"));
        ASSERT_NE(child_.WaitMainWindow(20s), nullptr);
        child_.Close();
    }

    std::wstring exe_;
    t::WinhushProcess child_;
};

TEST_F(AutoStartE2e, AMissingAutoRunCreatesTheTaskAtStart) {
    ASSERT_FALSE(FindTask());
    RunOnce();
    ASSERT_TRUE(FindTask()) << "no task after the first start";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun"), 1u);
    // The task starts this very program, hidden in the tray.
    EXPECT_EQ(lstrcmpiW(TaskText(&ITask::GetApplicationName).c_str(), exe_.c_str()), 0)
        << "the task runs another program";
    EXPECT_EQ(TaskText(&ITask::GetParameters), L"-hide");
}

TEST_F(AutoStartE2e, TheNextStartDeletesOrCreatesTheTaskAsAutoRunSays) {
    // Switched off while a task exists: the next start removes it.
    CreateTask(exe_.c_str());
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun", 0));
    RunOnce();
    EXPECT_FALSE(FindTask()) << "AutoRun 0 left the task in place";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun"), 0u);

    // Switched on without a task: the next start makes it.
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"AutoRun", 1));
    RunOnce();
    EXPECT_TRUE(FindTask()) << "AutoRun 1 did not bring the task back";

    // On this old system an existing task is never rewritten, wherever it points.
    DeleteTask();
    CreateTask(L"C:\\Elsewhere\\Winhush.exe");
    RunOnce();
    EXPECT_EQ(TaskText(&ITask::GetApplicationName), L"C:\\Elsewhere\\Winhush.exe");
}

}  // namespace
