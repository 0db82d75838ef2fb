// The program's logon task as the tests read and change it through the Task Scheduler 1.0
// interfaces, which Wine implements end to end, in a COM apartment the test program opens.
#pragma once

#include <windows.h>
#include <mstask.h>

#include <gtest/gtest.h>

#include "base/ComPtr.h"

namespace winhush::test {

inline constexpr wchar_t kTaskName[] = L"Zelvane Winhush";
// Wine's per-program settings of Winhush.exe (its "Version" makes it see an older Windows).
inline constexpr wchar_t kWineVersionKey[] = L"Software\\Wine\\AppDefaults\\Winhush.exe";

// A single-threaded apartment for the whole test program:
//   [[maybe_unused]] auto* const kCom = ::testing::AddGlobalTestEnvironment(new ComApartment);
class ComApartment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

ComPtr<ITaskScheduler> TaskScheduler();
// The task of the program's name; empty when there is none.
ComPtr<ITask> FindTask();
void DeleteTask();

}  // namespace winhush::test
