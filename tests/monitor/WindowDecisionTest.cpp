// The decision table of the per-window routine, from the rules alone: no windows, fixed
// monitor facts, and records built here. Expected decisions come from the rules as they are
// written down for the monitor, case by case, never from running the code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/WindowDecision.h"

namespace winhush::monitor {
namespace {

// Handle lists drop handles that are no windows when copied, so the two handles are live
// message-only windows; nothing else about them is looked at.
HWND LiveHandle() {
    return ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}
const HWND kWindow = LiveHandle();
const HWND kOtherHandle = LiveHandle();
constexpr DWORD kOwnPid = 100;
constexpr DWORD kPid = 200;
constexpr uint64_t kHash = 0xABCDEF;
constexpr uint64_t kOldHash = 0x123456;

// A 1280 x 800 screen whose work area ends above a 20-pixel taskbar.
MONITORINFO Monitor() {
    MONITORINFO info = {sizeof(info)};
    info.rcMonitor = {0, 0, 1280, 800};
    info.rcWork = {0, 0, 1280, 780};
    return info;
}

StartupConfig Config() {
    StartupConfig config;
    config.ownProcessId = kOwnPid;
    config.explorerPath = L"C:\\WINDOWS\\EXPLORER.EXE";
    config.suiteProgramDir = L"C:\\SUITE\\BIN\\";
    config.systemClasses = {L"SysClass"};
    config.commonClasses = {L"CommonClass"};
    return config;
}

// A 300 x 200 pop-up in the bottom-right corner of the work area: passes every test.
WndInfo AdWindow() {
    WndInfo w;
    w.hwnds = {kWindow};
    w.pid = kPid;
    w.path = L"C:\\PROGRAM FILES\\VENDOR\\AD.EXE";
    w.className = L"AdClass";
    w.rect = {980, 580, 1280, 780};
    w.style = WS_POPUP | WS_VISIBLE;
    return w;
}

BlockRecord Stored(uint64_t hash, int status, WndInfo window = AdWindow()) {
    BlockRecord r;
    r.window = std::move(window);
    r.window.hwnds.clear();  // as loaded from the file
    r.window.pid = 0;
    r.hash = hash;
    r.status = status;
    return r;
}

struct Case {
    const char* name;
    std::vector<BlockRecord> records;
    WndInfo window;
    bool recording;
    WindowAction action;
    uint64_t record;  // the record acted on (0: none)
    bool clearRecordCount = false;
};

WndInfo With(WndInfo w, void (*change)(WndInfo&)) {
    change(w);
    return w;
}

std::vector<Case> Cases() {
    WndInfo maximised = With(AdWindow(), [](WndInfo& w) { w.rect = {0, 0, 1280, 780}; });
    WndInfo offWork = With(AdWindow(), [](WndInfo& w) { w.rect = {-100, -50, 1400, 900}; });
    WndInfo ownWindow = With(AdWindow(), [](WndInfo& w) { w.pid = kOwnPid; });
    WndInfo explorer = With(AdWindow(), [](WndInfo& w) { w.path = L"c:\\windows\\explorer.exe"; });
    WndInfo system = With(AdWindow(), [](WndInfo& w) { w.className = L"SysClass"; });
    WndInfo common = With(AdWindow(), [](WndInfo& w) { w.className = L"CommonClass"; });
    WndInfo suite = With(AdWindow(), [](WndInfo& w) { w.path = L"C:\\SUITE\\BIN\\TOOL.EXE"; });
    WndInfo midScreen = With(AdWindow(), [](WndInfo& w) { w.rect = {100, 100, 400, 300}; });  // not an ad place
    BlockRecord knownHandle = Stored(kHash, kStatusRecorded);
    knownHandle.window.hwnds = {kWindow};
    knownHandle.recordCnt = 1;
    BlockRecord staleRecorded = Stored(kHash, kStatusRecorded, system);
    BlockRecord staleBlocked = Stored(kHash, kStatusBlock, common);
    staleBlocked.recordCnt = 2;
    BlockRecord staleAllowed = Stored(kHash, kStatusAllowed, system);
    staleAllowed.recordCnt = 1;
    BlockRecord earlierSize = Stored(kOldHash, kStatusRecorded);
    earlierSize.window.pid = kPid;
    earlierSize.window.hwnds = {kOtherHandle, kWindow};
    BlockRecord earlierSizeBlocked = earlierSize;
    earlierSizeBlocked.status = kStatusBlock;
    BlockRecord earlierOtherProcess = earlierSize;
    earlierOtherProcess.window.pid = kPid + 1;

    using A = WindowAction;
    return {
        // Status 1: blocked whenever the identity matches, counted only with a pop-up's shape.
        {"status 1, pop-up shape, recording off", {Stored(kHash, kStatusBlock)}, AdWindow(), false, A::BlockCounted, kHash},
        {"status 1, recording on", {Stored(kHash, kStatusBlock)}, AdWindow(), true, A::BlockCounted, kHash},
        {"status 1, fills the work area", {Stored(kHash, kStatusBlock)}, maximised, false, A::BlockUncounted, kHash},
        {"status 1, corner off the work area", {Stored(kHash, kStatusBlock)}, offWork, false, A::BlockUncounted, kHash},
        {"status 1 of a class since made a system class", {staleBlocked}, AdWindow(), false, A::BlockCounted, kHash, true},
        // Status 2: let through; recorded again only as a new handle while recording.
        {"status 2, recording off", {Stored(kHash, kStatusAllowed)}, AdWindow(), false, A::Ignore, kHash},
        {"status 2, recording on, new handle", {Stored(kHash, kStatusAllowed)}, AdWindow(), true, A::RecordAgain, kHash},
        {"status 2 whose class is excluded now", {staleAllowed}, AdWindow(), true, A::RecordAgain, kHash, true},
        // Status 0: recorded only.
        {"status 0, recording off", {Stored(kHash, kStatusRecorded)}, AdWindow(), false, A::Ignore, kHash},
        {"status 0, recording on, new handle", {Stored(kHash, kStatusRecorded)}, AdWindow(), true, A::RecordAgain, kHash},
        {"status 0, handle already counted", {knownHandle}, AdWindow(), true, A::Ignore, kHash},
        {"status 0, not an ad place", {Stored(kHash, kStatusRecorded)}, midScreen, true, A::Ignore, kHash},
        {"status 0 whose class is a system class now", {staleRecorded}, AdWindow(), false, A::DropStale, kHash},
        // No record.
        {"unknown, recording off", {}, AdWindow(), false, A::Ignore, 0},
        {"unknown, recording on", {}, AdWindow(), true, A::RecordNew, kHash},
        {"unknown, own process", {}, ownWindow, true, A::Ignore, 0},
        {"unknown, explorer (any case)", {}, explorer, true, A::Ignore, 0},
        {"unknown, system class", {}, system, true, A::Ignore, 0},
        {"unknown, common class", {}, common, true, A::Ignore, 0},
        {"unknown, inside the suite's folder", {}, suite, true, A::Ignore, 0},
        {"unknown, not an ad place", {}, midScreen, true, A::Ignore, 0},
        {"unknown, maximised", {}, maximised, true, A::Ignore, 0},
        // A window of this run seen before under another size: its record follows it, but
        // only a record without a decision.
        {"changed window, status 0", {earlierSize}, AdWindow(), true, A::FollowChanged, kOldHash},
        {"changed window, recording off", {earlierSize}, AdWindow(), false, A::Ignore, 0},
        {"changed window, status 1 stays on its identity", {earlierSizeBlocked}, AdWindow(), true, A::RecordNew, kHash},
        {"changed window of another process", {earlierOtherProcess}, AdWindow(), true, A::RecordNew, kHash},
        {"changed window, not an ad place", {earlierSize}, midScreen, true, A::FollowChanged, kOldHash},
    };
}

TEST(WindowDecision, FollowsTheRuleTableForEveryStatusAndWindowKind) {
    ASSERT_TRUE(kWindow && kOtherHandle);
    const StartupConfig config = Config();
    const MONITORINFO monitor = Monitor();
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        WindowDecision d = DecideWindow({c.window, kHash, kWindow, &monitor}, c.records, config, c.recording);
        EXPECT_EQ(static_cast<int>(d.action), static_cast<int>(c.action));
        if (c.action != WindowAction::Ignore) EXPECT_EQ(d.record, c.record);
        EXPECT_EQ(d.clearRecordCount, c.clearRecordCount);
    }
}

TEST(WindowDecision, WithoutMonitorInformationABlockIsNotCountedAndNothingIsRecorded) {
    const StartupConfig config = Config();
    std::vector<BlockRecord> blocked = {Stored(kHash, kStatusBlock)};
    EXPECT_EQ(DecideWindow({AdWindow(), kHash, kWindow, nullptr}, blocked, config, true).action,
              WindowAction::BlockUncounted);
    EXPECT_EQ(DecideWindow({AdWindow(), kHash, kWindow, nullptr}, {}, config, true).action, WindowAction::Ignore);
}

}  // namespace
}  // namespace winhush::monitor
