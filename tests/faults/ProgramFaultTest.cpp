// Winhush.exe as a process, treated as an unlucky computer treats it: a program on screen
// whose window thread stops answering, the process killed in the middle of a burst of
// counted blocks, and blocking paused by the user. Observed from outside only: windows,
// the record file and the registry.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "RecordTestSupport.h"
#include "TestSupport.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace winhush::monitor {
namespace {

using t::HandleText;
using t::kSettingsKey;
constexpr WORD kToggleBlockCommand = 1;

using t::MsSince;

class ProgramFaults : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(suite_.Create(root_.path()));
        helperExe_ = root_ / L"PopHelper.exe";
        ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe_.c_str(), FALSE));
        ASSERT_TRUE(t::SetQuietSettings(0));
        // A killed process leaves its global hotkey atoms behind in the session; later tests
        // of the hotkeys must not meet them.
        ASSERT_TRUE(t::SetSettings({{L"IsLocateStortcut", 0}, {L"IsMainStortcut", 0}}));
        logPath_ = suite_.logPath();
        ASSERT_TRUE(t::NoWinhushRunning());
    }
    void TearDown() override {
        StopWinhush();
        helper_.Quit();
        suite_.Remove();
    }

    bool StartHelper() { return helper_.Start(helperExe_); }
    std::optional<std::string> Command(const std::string& line) { return helper_.Command(line); }
    HWND Open(const std::string& arguments) { return helper_.Open(arguments); }
    static BlockRecord DecisionFor(HWND hwnd) { return t::DecisionFor(hwnd, kStatusBlock); }
    HWND StartWinhush() {
        if (!winhush_.Start(L"-hide")) return nullptr;
        return winhush_.WaitMainWindow(15s);
    }
    // Closes the program as its exit command does; the time it took, or -1 when it had to be killed.
    long long StopWinhush() { return winhush_.Close(10s); }

    t::ScopedTempDir root_;
    t::SuiteInstall suite_;
    std::wstring helperExe_, logPath_;
    t::HelperProcess helper_;
    t::WinhushProcess winhush_;
};

TEST_F(ProgramFaults, AHungProgramOnScreenDelaysNoOtherBlockAndNotTheExit) {
    ASSERT_TRUE(StartHelper());
    HWND hung = Open("class=AdHung w=300 h=200 corner=rb thread=new");
    HWND before = Open("class=AdBefore w=260 h=180 corner=lt");
    ASSERT_TRUE(hung && before);
    HWND later = Open("class=AdLater w=240 h=160 corner=lb show=hide");
    ASSERT_NE(later, nullptr);
    std::vector<BlockRecord> decisions = {DecisionFor(hung), DecisionFor(before), DecisionFor(later)};
    ASSERT_TRUE(SaveRecordFile(logPath_, decisions, false));
    constexpr int kHangMs = 12000;
    ASSERT_EQ(Command("hang " + HandleText(hung) + " " + std::to_string(kHangMs)), std::optional<std::string>("ok"));
    auto hangStart = Clock::now();

    HWND main = StartWinhush();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(before); }, 4s)) << "blocking stalled on the hung program";
    t::PumpFor(1000ms);
    // A pop-up that appears while the program hangs is hidden within about a pass.
    ASSERT_EQ(Command("show " + HandleText(later) + " noactivate"), std::optional<std::string>("ok"));
    auto shown = Clock::now();
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(later); }, 3s));
    long long hiddenAfter = MsSince(shown);
    EXPECT_LT(hiddenAfter, 1500);
    // The main window answers its messages.
    DWORD_PTR ignored = 0;
    auto asked = Clock::now();
    EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored));
    long long answeredAfter = MsSince(asked);
    EXPECT_TRUE(::IsWindowVisible(hung));
    ASSERT_LT(MsSince(hangStart), kHangMs - 3000) << "the helper woke up before the checks were done";

    long long exitMs = StopWinhush();
    EXPECT_GE(exitMs, 0) << "Winhush.exe did not end";
    EXPECT_LT(exitMs, 3000);
    std::printf(
        "[ figures  ] hung program on screen: new pop-up hidden after %lld ms, main window answered in "
        "%lld ms, exit took %lld ms\n",
        hiddenAfter, answeredAfter, exitMs);
    std::vector<BlockRecord> stored;
    LoadResult loaded = LoadRecordFile(logPath_, stored);
    EXPECT_FALSE(loaded.damaged);
    EXPECT_EQ(stored.size(), 3u);
}

TEST_F(ProgramFaults, KilledDuringABurstOfCountedBlocksTheRecordFileStaysWhole) {
    ASSERT_TRUE(StartHelper());
    // Several pop-ups that the helper puts back on screen as soon as they are hidden, so that
    // every pass counts blocks and rewrites the file.
    std::vector<BlockRecord> decisions;
    for (int i = 0; i < 6; ++i) {
        HWND popup = Open("class=AdBurst" + std::to_string(i) + " x=" + std::to_string(60 + 90 * i) +
                          " y=" + std::to_string(60 + 50 * i) + " w=220 h=" + std::to_string(140 + i));
        ASSERT_NE(popup, nullptr);
        decisions.push_back(DecisionFor(popup));
    }
    ASSERT_TRUE(SaveRecordFile(logPath_, decisions, false));
    ASSERT_EQ(Command("pulse 60"), std::optional<std::string>("ok"));

    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> killAfter(200, 1600);
    int runs = 0, unreadable = 0, lost = 0, shrunk = 0, leftovers = 0;
    uint32_t lastTotal = 0;
    const auto started = Clock::now();
    // As many runs as fit in the time given; at least 15 must.
    while (runs < 40 && MsSince(started) < 150000) {
        ASSERT_NE(StartWinhush(), nullptr) << "run " << runs;
        t::PumpFor(std::chrono::milliseconds(killAfter(random)));
        winhush_.process().Kill();
        ASSERT_TRUE(winhush_.process().WaitExit(10s).has_value());
        winhush_.process() = {};
        ++runs;

        std::vector<BlockRecord> stored;
        LoadResult loaded = LoadRecordFile(logPath_, stored);
        if (!loaded.fileExisted || loaded.damaged) ++unreadable;
        uint32_t total = 0;
        int present = 0;
        for (const BlockRecord& decision : decisions) {
            for (const BlockRecord& r : stored) {
                if (r.hash == decision.hash && r.status == kStatusBlock) {
                    ++present;
                    total += r.blockCnt;
                }
            }
        }
        lost += static_cast<int>(decisions.size()) - present;
        if (total < lastTotal) ++shrunk;
        lastTotal = total;
        if (t::FileExists(logPath_ + L".tmp")) ++leftovers;
    }
    std::printf(
        "[ figures  ] %d kills during bursts: %d unreadable files, %d decisions lost, %d counts gone back, "
        "%d blocks counted in all, %d runs left a temporary file\n",
        runs, unreadable, lost, shrunk, lastTotal, leftovers);
    EXPECT_GE(runs, 15);
    EXPECT_EQ(unreadable, 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(shrunk, 0);
    EXPECT_GT(lastTotal, 0u) << "no block was counted: the burst did not happen";
    Command("pulse 0");
}

// Before: "Block" off only wrote the registry while windows kept being hidden and counted.
TEST_F(ProgramFaults, BlockingOffIsAPauseFromTheStartAndFromTheTraySwitch) {
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"Block", 0));
    ASSERT_TRUE(StartHelper());
    HWND popup = Open("class=AdPaused w=300 h=200 corner=rb");
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(SaveRecordFile(logPath_, {DecisionFor(popup)}, false));

    HWND main = StartWinhush();
    ASSERT_NE(main, nullptr);
    t::PumpFor(2000ms);
    EXPECT_TRUE(::IsWindowVisible(popup)) << "hidden while blocking is paused";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount"), std::optional<DWORD>(0));

    // The tray menu's switch turns it back on.
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, MAKEWPARAM(kToggleBlockCommand, 0), reinterpret_cast<LPARAM>(main)));
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 3s));
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"Block"), std::optional<DWORD>(1));

    // And off again: a pop-up shown now stays.
    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, MAKEWPARAM(kToggleBlockCommand, 0), reinterpret_cast<LPARAM>(main)));
    ASSERT_TRUE(t::WaitUntil(
        [] { return t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"Block") == std::optional<DWORD>(0); }, 3s));
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ASSERT_EQ(Command("move " + HandleText(popup) + " " + std::to_string(work.right - 300) + " " +
                      std::to_string(work.bottom - 200) + " 300 200"),
              std::optional<std::string>("ok"));
    ASSERT_EQ(Command("show " + HandleText(popup) + " noactivate"), std::optional<std::string>("ok"));
    t::PumpFor(1500ms);
    EXPECT_TRUE(::IsWindowVisible(popup));
}

}  // namespace
}  // namespace winhush::monitor
