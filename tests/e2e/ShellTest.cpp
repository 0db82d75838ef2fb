// Winhush.exe as a whole: single instance, hidden start, first-start settings.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace {

constexpr wchar_t kMainClass[] = L"ZVWINHUSHWND";

class WinhushProcess : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = t::DistDir() + L"Winhush.exe";
        ASSERT_TRUE(t::FileExists(exe_)) << "Winhush.exe not found in WINHUSH_DIST";
        // No instance of an earlier test may still hold the mutex.
        ASSERT_TRUE(t::WaitUntil([] { return t::TopLevelWindowsOf(0, kMainClass).empty(); }, 10s));
    }
    void TearDown() override {
        for (auto* child : {&first_, &second_}) Close(*child);
    }

    // Ends an instance the way a user would: closing its main window.
    static void Close(t::ChildProcess& child) {
        if (!child.Running()) return;
        for (HWND hwnd : t::TopLevelWindowsOf(child.pid(), kMainClass)) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        if (!child.WaitExit(10s)) child.Kill();
    }

    HWND StartAndWaitForWindow(t::ChildProcess& child, const std::wstring& args) {
        child = t::ChildProcess::Start(exe_, args);
        if (!child.valid()) return nullptr;
        return t::WaitForWindow(kMainClass, child.pid(), 20s);
    }

    std::wstring exe_;
    t::ChildProcess first_, second_;
};

TEST_F(WinhushProcess, SecondInstanceEndsAtOnceAndLeavesTheFirstInCharge) {
    HWND window = StartAndWaitForWindow(first_, L"");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 10s));

    second_ = t::ChildProcess::Start(exe_, L"");
    ASSERT_TRUE(second_.valid());
    auto code = second_.WaitExit(10s);
    ASSERT_TRUE(code.has_value()) << "the second instance kept running";
    EXPECT_EQ(*code, 0u);
    EXPECT_TRUE(t::TopLevelWindowsOf(second_.pid(), kMainClass).empty());
    EXPECT_TRUE(first_.Running());
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowVisible(window));

    Close(first_);
    EXPECT_FALSE(first_.Running()) << "closing the main window must end the program";
}

TEST_F(WinhushProcess, HideArgumentStartsWithoutAVisibleWindowAndASecondStartShowsIt) {
    HWND window = StartAndWaitForWindow(first_, L"-hide");
    ASSERT_NE(window, nullptr);
    t::PumpFor(700ms);  // long enough for a wrongly shown window to appear
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(first_.Running());

    second_ = t::ChildProcess::Start(exe_, L"");
    ASSERT_TRUE(second_.valid());
    ASSERT_EQ(second_.WaitExit(10s), std::optional<DWORD>(0));
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 5s))
        << "the second start must bring the hidden first instance forward";
    EXPECT_FALSE(::IsZoomed(window));
    EXPECT_TRUE(t::TopLevelWindowsOf(second_.pid()).empty()) << "the second instance leaves no window behind";
}

TEST_F(WinhushProcess, FirstStartCreatesTheSettingsKey) {
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Winhush");
    HWND window = StartAndWaitForWindow(first_, L"-hide");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(t::WaitUntil([] { return t::RegKeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Winhush"); }, 5s));
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Winhush", L"AutoRun"), 1u);
}

}  // namespace
