#include <gtest/gtest.h>

#include "TestSupport.h"

namespace t = winhush::test;

namespace {

std::wstring ProbePath() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"crash_probe.exe";
}

TEST(CrashDump, AccessViolationLeavesADumpBesideTheExeAndExitCodeZero) {
    const std::wstring probe = ProbePath();
    ASSERT_TRUE(t::FileExists(probe)) << "crash_probe.exe is built beside the tests";
    const std::wstring dump = probe + L".dmp";
    ::DeleteFileW(dump.c_str());

    t::ChildProcess child = t::ChildProcess::Start(probe, L"");
    ASSERT_TRUE(child.valid());
    auto code = child.WaitExit(std::chrono::seconds(30));
    ASSERT_TRUE(code.has_value()) << "the crashing program did not end";
    EXPECT_EQ(*code, 0u);

    auto bytes = t::ReadFileBytes(dump);
    ASSERT_TRUE(bytes.has_value()) << "no dump written";
    ASSERT_GE(bytes->size(), 32u);
    EXPECT_EQ(bytes->substr(0, 4), "MDMP");
    ::DeleteFileW(dump.c_str());
}

}  // namespace
