// Opening the forum page: the shell's own handler when there is one, the browser under the
// given Program Files folder when the shell has no association. A small probe program
// plays the browser and writes down how it was started.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "base/Strings.h"
#include "ui/main/ForumPage.h"

using namespace winhush::ui;
using namespace winhush::test;
using winhush::WideToUtf8;

namespace {

class ForumPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        probe = HostPathToWindows(winhush::Utf8ToWide(WINHUSH_FORUM_PROBE));
        ASSERT_TRUE(FileExists(probe)) << winhush::WideToUtf8(probe);
        ASSERT_TRUE(::CreateDirectoryW((dir / L"Internet Explorer").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(probe.c_str(), (dir / L"Internet Explorer\\iexplore.exe").c_str(), FALSE));
        ASSERT_TRUE(::CreateDirectoryW((dir / L"direct").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(probe.c_str(), (dir / L"direct\\page.exe").c_str(), FALSE));
    }
    std::wstring ProgramFiles() const {
        std::wstring base = dir.path();
        base.pop_back();  // no trailing backslash, like the shell's folder answer
        return base;
    }
    std::wstring FallbackLog() const { return dir / L"Internet Explorer\\launched.txt"; }
    std::wstring DirectLog() const { return dir / L"direct\\launched.txt"; }

    ScopedTempDir dir;
    std::wstring probe;
};

TEST_F(ForumPageTest, FallsBackToTheBrowserWhenNothingIsAssociated) {
    const std::wstring address = L"winhushnoassoc://forum/page-1";
    EXPECT_TRUE(OpenWebPage(address, ProgramFiles()));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(FallbackLog()); }, 5s)) << "the fallback browser was not started";
    PumpFor(200ms);
    auto launched = ReadFileBytes(FallbackLog());
    ASSERT_TRUE(launched);
    EXPECT_NE(launched->find(winhush::WideToUtf8(address)), std::string::npos) << *launched;
}

TEST_F(ForumPageTest, AnAssociatedAddressOpensWithoutTheFallback) {
    // A scheme of this test's own, handled by the probe.
    const std::wstring scheme = L"winhushprobe" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring key = L"SOFTWARE\\Classes\\" + scheme;
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, key, L"URL Protocol", L""));
    ASSERT_TRUE(RegSetString(HKEY_LOCAL_MACHINE, key + L"\\shell\\open\\command", L"",
                             L"\"" + (dir / L"direct\\page.exe") + L"\" \"%1\""));
    // A stale "no association" error is planted as well. Wine's shell overwrites it on
    // success, so here this guards the result check only; Windows' shell need not.
    ::SetLastError(ERROR_NO_ASSOCIATION);
    EXPECT_TRUE(OpenWebPage(scheme + L"://forum/page-1", ProgramFiles()));
    EXPECT_TRUE(WaitUntil([&] { return FileExists(DirectLog()); }, 5s));
    PumpFor(500ms);
    EXPECT_FALSE(FileExists(FallbackLog())) << "a second browser was started";
    RegDeleteTreeAt(HKEY_LOCAL_MACHINE, key);
}

// The program runs elevated: it opens web addresses, never a program or a file, and never
// looks for the fallback browser relative to the current drive.
TEST_F(ForumPageTest, ProgramsFilesAndRelativeBrowsersAreNeverStarted) {
    const std::wstring notAddresses[] = {
        dir / L"direct\\page.exe",
        L"\"" + (dir / L"direct\\page.exe") + L"\"",
        L"file://" + (dir / L"direct\\page.exe"),
        L"FILE:///" + (dir / L"direct\\page.exe"),
        L"C://direct/page.exe",
        L"https://forum/\" & page.exe",
        L"",
    };
    for (const std::wstring& address : notAddresses) {
        EXPECT_FALSE(OpenWebPage(address, ProgramFiles())) << WideToUtf8(address);
    }
    EXPECT_FALSE(OpenWebPage(L"winhushnoassoc://forum/page-1", L"")) << "no Program Files folder";
    EXPECT_FALSE(OpenWebPage(L"winhushnoassoc://forum/page-1", L"Program Files")) << "a relative one";
    PumpFor(500ms);
    EXPECT_FALSE(FileExists(DirectLog()));
    EXPECT_FALSE(FileExists(FallbackLog()));
}

}  // namespace
