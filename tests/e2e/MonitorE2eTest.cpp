// The window monitor against real windows of other processes: blocking in a running
// Winhush.exe, and recording, re-keying and the tooltip with the monitor in this process.
#include <gtest/gtest.h>

#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "monitor/Screenshot.h"
#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

// One helper process that opens windows on request.
class Helper {
public:
    bool Start(const std::wstring& exe) {
        process_ = t::ChildProcess::Start(exe, L"", true);
        if (!process_.valid() || !process_.WriteLine("ping")) return false;
        return process_.ReadLine(10s) == std::optional<std::string>("ok");
    }
    HWND Open(const std::string& arguments) {
        std::optional<std::string> reply = Command("open " + arguments);
        if (!reply || reply->rfind("ok 0x", 0) != 0) return nullptr;
        return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply->substr(3), nullptr, 16)));
    }
    std::optional<std::string> Command(const std::string& line) {
        if (!process_.WriteLine(line)) return std::nullopt;
        return process_.ReadLine(10s);
    }
    DWORD pid() const { return process_.pid(); }

private:
    t::ChildProcess process_;
};

std::string HandleText(HWND hwnd) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

bool Moved(HWND hwnd, const RECT& before) {
    RECT now;
    return ::GetWindowRect(hwnd, &now) && now.left == before.left + 9999 && now.top == before.top + 9999 &&
           now.right - now.left == before.right - before.left && now.bottom - now.top == before.bottom - before.top;
}

class MonitorE2e : public ::testing::Test {
protected:
    void SetUp() override {
        dataRoot_ = root_ / L"data\\";
        suiteRoot_ = root_ / L"suite\\";
        dataDir_ = dataRoot_ + L"Winhush\\";
        ASSERT_TRUE(::CreateDirectoryW(dataRoot_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(dataDir_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(suiteRoot_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((suiteRoot_ + L"bin\\").c_str(), nullptr));
        // The helper runs from drive C: under a name of our own, as an installed program would.
        helperExe_ = root_ / L"PopHelper.exe";
        suiteHelperExe_ = suiteRoot_ + L"bin\\PopHelper.exe";
        std::wstring source = t::ToolsDir() + L"winhelper.exe";
        ASSERT_TRUE(::CopyFileW(source.c_str(), helperExe_.c_str(), FALSE)) << "no helper at " << t::ToolsDir().size();
        ASSERT_TRUE(::CopyFileW(source.c_str(), suiteHelperExe_.c_str(), FALSE));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", dataRoot_));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", suiteRoot_));
        logPath_ = dataDir_ + L"WndMgrInfo.log";
    }
    void TearDown() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKey);
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount");
    }

    std::vector<BlockRecord> StoredRecords() {
        std::vector<BlockRecord> records;
        LoadRecordFile(logPath_, records);
        return records;
    }
    std::string Dump() {
        std::string text;
        for (BlockRecord& r : StoredRecords()) {
            char line[512];
            std::snprintf(line, sizeof(line), "  %ls hash=%llx status=%d recordCnt=%d blockCnt=%u rect=%ld,%ld,%ld,%ld pic=%ls\n",
                          r.window.className.c_str(), static_cast<unsigned long long>(r.hash), r.status, r.recordCnt,
                          r.blockCnt, r.window.rect.left, r.window.rect.top, r.window.rect.right, r.window.rect.bottom,
                          r.imagePath.c_str());
            text += line;
        }
        return text;
    }
    std::optional<BlockRecord> StoredRecordOfClass(const std::wstring& className) {
        for (BlockRecord& r : StoredRecords()) {
            if (r.window.className == className) return r;
        }
        return std::nullopt;
    }
    // A status 1 record for a live window, as the rule list or the picker would store it.
    BlockRecord BlockDecisionFor(HWND hwnd, uint32_t blockCnt = 0) {
        BlockRecord r;
        EXPECT_TRUE(Snapshot(r.window, hwnd));
        r.window.hwnds.clear();
        r.window.pid = 0;
        r.hash = WindowKeyHash(r.window);
        r.name = FileNameOf(r.window.path);
        r.status = kStatusBlock;
        r.blockCnt = blockCnt;
        r.addType = kAddedByPicker;
        return r;
    }

    t::ScopedTempDir root_;  // first: destroyed after the helpers have ended
    std::wstring dataRoot_, suiteRoot_, dataDir_, helperExe_, suiteHelperExe_, logPath_;
    Helper helper_, suiteHelper_;
};

// The centre-left pixel of a JPEG (clear of the caption the helper draws in the middle).
std::optional<COLORREF> JpegPixel(const std::wstring& path, int x, int y) {
    if (!EnsureGdiplus()) return std::nullopt;
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok) return std::nullopt;
    Gdiplus::ARGB argb = 0;
    auto status = Gdiplus::DllExports::GdipBitmapGetPixel(bitmap, x, y, &argb);
    Gdiplus::DllExports::GdipDisposeImage(bitmap);
    if (status != Gdiplus::Ok) return std::nullopt;
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

TEST_F(MonitorE2e, RunningProgramHidesBlockedWindowsCountsAndPhotographsThem) {
    ASSERT_TRUE(t::WaitUntil([] { return t::TopLevelWindowsOf(0, L"ZVWINHUSHWND").empty(); }, 10s));
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND popup = helper_.Open("class=AdPopup caption=Ad w=300 h=200 corner=rb");
    HWND maximised = helper_.Open("class=AdMax w=400 h=300 show=max");
    HWND frame = helper_.Open("class=AdFrame x=200 y=150 w=320 h=240");
    ASSERT_NE(frame, nullptr);
    HWND inner = helper_.Open("class=AdInner x=203 y=152 w=320 h=240 owner=" + HandleText(frame));
    ASSERT_NE(inner, nullptr);
    HWND owned = helper_.Open("class=AdOwned x=260 y=200 w=120 h=80 owner=" + HandleText(inner));
    HWND untouched = helper_.Open("class=AdOther w=300 h=200 corner=lt");
    for (HWND h : {popup, maximised, owned, untouched}) ASSERT_NE(h, nullptr);
    ASSERT_TRUE(::IsZoomed(maximised));

    RECT popupRect, frameRect, innerRect, ownedRect;
    ::GetWindowRect(popup, &popupRect);
    ::GetWindowRect(frame, &frameRect);
    ::GetWindowRect(inner, &innerRect);
    ::GetWindowRect(owned, &ownedRect);
    std::vector<BlockRecord> decisions = {BlockDecisionFor(popup), BlockDecisionFor(maximised, 3),
                                          BlockDecisionFor(inner)};
    ASSERT_TRUE(SaveRecordFile(logPath_, decisions, false));
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 5));

    t::ChildProcess winhush = t::ChildProcess::Start(t::DistDir() + L"Winhush.exe", L"-hide");
    ASSERT_TRUE(winhush.valid());
    // The scan starts with the main window.
    ASSERT_NE(t::WaitForWindow(L"ZVWINHUSHWND", winhush.pid(), 10s), nullptr);
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 5s)) << "the blocked pop-up stayed visible";
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    // At most one scan period, one pass and the picture taken before hiding.
    EXPECT_LT(elapsed.count(), 1500) << "hidden only after " << elapsed.count() << " ms";
    EXPECT_TRUE(Moved(popup, popupRect));

    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(maximised) && !::IsWindowVisible(inner); }, 3s));
    EXPECT_TRUE(Moved(inner, innerRect));
    EXPECT_FALSE(::IsWindowVisible(frame)) << "a same-sized parent is hidden with the window";
    EXPECT_TRUE(Moved(frame, frameRect));
    // Owned pop-ups follow at the end of the pass.
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(owned); }, 1s)) << "a visible owned pop-up is hidden with its owner";
    EXPECT_TRUE(Moved(owned, ownedRect));
    EXPECT_TRUE(::IsWindowVisible(untouched));

    // Two counted blocks (the maximised window is hidden, not counted).
    ASSERT_TRUE(t::WaitUntil(
        [] { return t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount") == std::optional<DWORD>(7); },
        3s))
        << "BlockCount is " << t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount").value_or(0);
    // Each counted block rewrites the file after the registry; wait for both windows' writes.
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            return StoredRecordOfClass(L"AdInner").value_or(BlockRecord()).blockCnt == 1 &&
                   StoredRecordOfClass(L"AdPopup").value_or(BlockRecord()).blockCnt == 1;
        },
        3s))
        << Dump();
    std::optional<BlockRecord> popupRecord = StoredRecordOfClass(L"AdPopup");
    std::optional<BlockRecord> maxRecord = StoredRecordOfClass(L"AdMax");
    ASSERT_TRUE(popupRecord && maxRecord);
    EXPECT_EQ(popupRecord->blockCnt, 1u);
    EXPECT_EQ(maxRecord->blockCnt, 3u);
    EXPECT_TRUE(maxRecord->imagePath.empty()) << "an uncounted block takes no picture";

    const std::wstring& className = popupRecord->window.className;
    uint64_t classHash = MurmurHash64B(className.data(), className.size() * 2, kWindowHashSeed);
    std::wstring expectedPicture = dataDir_ + L"POPHELPER" + std::to_wstring(classHash).substr(0, 10) + L"300200.jpg";
    EXPECT_EQ(popupRecord->imagePath, expectedPicture);
    std::string jpeg = t::ReadFileBytes(expectedPicture).value_or("");
    ASSERT_GT(jpeg.size(), 3u);
    EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
    // The helper paints its windows red: a black or white picture would be the wrong one.
    std::optional<COLORREF> pixel = JpegPixel(expectedPicture, 20, 100);
    ASSERT_TRUE(pixel.has_value());
    EXPECT_GT(GetRValue(*pixel), 170);
    EXPECT_LT(GetGValue(*pixel), 120);

    // The program shows the window again: blocked again on the next pass, off screen, so not counted.
    ASSERT_EQ(helper_.Command("show " + HandleText(popup) + " noactivate"), std::optional<std::string>("ok"));
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 3s));
    t::PumpFor(600ms);
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount"), std::optional<DWORD>(7));

    for (HWND main : t::TopLevelWindowsOf(winhush.pid(), L"ZVWINHUSHWND")) ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(winhush.WaitExit(10s).has_value()) << "Winhush.exe did not end";
    EXPECT_EQ(StoredRecords().size(), 3u);
}

// Test-owned windows: a message-only tooltip receiver and a pop-up of this very process.
std::wstring g_tooltip;
int g_tooltipMessages = 0;
bool g_tooltipFirst = false;
CWndMgr* g_tooltipMonitor = nullptr;
LRESULT CALLBACK TooltipReceiver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BLOCK_TOOLTIP) {
        ++g_tooltipMessages;
        if (auto* text = reinterpret_cast<wchar_t*>(wParam)) {
            g_tooltip = text;
            FreeTooltipText(text);
        } else if (g_tooltipMonitor) {
            bool first = false;
            if (g_tooltipMonitor->TakeBlockTooltip(g_tooltip, first)) g_tooltipFirst = g_tooltipFirst || first;
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateOwnWindow(const wchar_t* className, DWORD style, int x, int y, int w, int h, HWND parent) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = TooltipReceiver;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = className;
    ::RegisterClassExW(&wc);
    return ::CreateWindowExW(0, className, L"", style, x, y, w, h, parent, nullptr, ::GetModuleHandleW(nullptr),
                             nullptr);
}

class InProcessMonitor : public MonitorE2e {
protected:
    void SetUp() override {
        MonitorE2e::SetUp();
        if (HasFatalFailure()) return;
        FillStartupBasics(config_);
        ASSERT_EQ(config_.suiteProgramDir, suiteRoot_ + L"bin\\");
        monitor_.SetConfig(&config_);
        ASSERT_TRUE(monitor_.InitWithDataDirectory(dataDir_, true));
    }
    void TearDown() override {
        monitor_.Stop();
        for (HWND h : ownWindows_) ::DestroyWindow(h);
        MonitorE2e::TearDown();
    }
    StartupConfig config_;
    CWndMgr monitor_;
    std::vector<HWND> ownWindows_;
};

TEST_F(InProcessMonitor, RecordsPopupsOfOtherProgramsOnlyWhileRecordingAndFollowsThem) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    ASSERT_TRUE(suiteHelper_.Start(suiteHelperExe_));
    HWND first = helper_.Open("class=AdRec w=300 h=200 corner=rb");
    ASSERT_NE(first, nullptr);
    // Both would be recorded but for whose they are; centred, clear of the recorded pop-up,
    // which gets a picture only when nothing covers it.
    ASSERT_NE(suiteHelper_.Open("class=SuiteRec w=250 h=150 corner=center"), nullptr);
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND own = CreateOwnWindow(L"OwnRec", WS_POPUP | WS_VISIBLE, (work.left + work.right - 280) / 2,
                               (work.top + work.bottom - 180) / 2, 280, 180, nullptr);
    ASSERT_NE(own, nullptr);
    ownWindows_.push_back(own);

    ASSERT_TRUE(monitor_.StartScanThread());
    t::PumpFor(1200ms);
    EXPECT_TRUE(StoredRecords().empty()) << "nothing is recorded while recording is off";

    monitor_.recording = 1;
    ASSERT_TRUE(t::WaitUntil([&] { return StoredRecordOfClass(L"AdRec").has_value(); }, 3s));
    t::PumpFor(1200ms);  // more passes over the same window
    std::vector<BlockRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 1u) << "only the other program's pop-up is recorded";
    BlockRecord recorded = records[0];
    EXPECT_EQ(recorded.window.className, L"AdRec");
    EXPECT_EQ(recorded.recordCnt, 1);
    EXPECT_EQ(recorded.status, kStatusRecorded);
    EXPECT_EQ(recorded.name, L"POPHELPER.EXE");
    EXPECT_EQ(recorded.window.pos, kPositionRightBottom);
    ASSERT_FALSE(recorded.imagePath.empty());
    EXPECT_TRUE(t::FileExists(recorded.imagePath));
    int count = 0;
    ASSERT_TRUE(monitor_.CountRecorded(count));
    EXPECT_EQ(count, 1);

    // A second window of the same program, class and size shares the record.
    HWND second = helper_.Open("class=AdRec w=300 h=200 corner=rb");
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(t::WaitUntil([&] { return StoredRecordOfClass(L"AdRec").value_or(BlockRecord()).recordCnt == 2; }, 6s)) << Dump();
    t::PumpFor(700ms);
    EXPECT_EQ(StoredRecordOfClass(L"AdRec")->recordCnt, 2);
    ASSERT_EQ(helper_.Command("destroy " + HandleText(second)), std::optional<std::string>("ok"));

    // Resized: the same record under the window's new identity, with a new picture.
    ASSERT_EQ(helper_.Command("move " + HandleText(first) + " 960 560 320 220"), std::optional<std::string>("ok"));
    BlockRecord resized;
    ASSERT_TRUE(Snapshot(resized.window, first));
    uint64_t newHash = WindowKeyHash(resized.window);
    ASSERT_TRUE(t::WaitUntil([&] { return StoredRecordOfClass(L"AdRec").value_or(BlockRecord()).hash == newHash; }, 3s));
    records = StoredRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].recordCnt, 2);
    EXPECT_EQ(records[0].window.rect.right - records[0].window.rect.left, 320);
    EXPECT_FALSE(t::FileExists(recorded.imagePath)) << "the old picture is deleted";
    EXPECT_NE(records[0].imagePath, recorded.imagePath);
    EXPECT_TRUE(t::FileExists(records[0].imagePath));
}

// Regression: the resized window's record kept the other window's handle, so that window
// re-keyed the record back to the old size on the next pass, and so on every pass.
TEST_F(InProcessMonitor, ResizingOneOfTwoSameWindowsDoesNotPullTheRecordBackAndForth) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND first = helper_.Open("class=AdFlip w=300 h=200 corner=rb");
    HWND second = helper_.Open("class=AdFlip w=300 h=200 corner=rb");
    ASSERT_TRUE(first && second);
    BlockRecord before;
    ASSERT_TRUE(Snapshot(before.window, first));
    uint64_t oldHash = WindowKeyHash(before.window);
    monitor_.recording = 1;
    ASSERT_TRUE(monitor_.StartScanThread());
    ASSERT_TRUE(t::WaitUntil([&] { return StoredRecordOfClass(L"AdFlip").value_or(BlockRecord()).recordCnt == 2; }, 6s)) << Dump();

    ASSERT_EQ(helper_.Command("move " + HandleText(first) + " 960 560 320 220"), std::optional<std::string>("ok"));
    BlockRecord after;
    ASSERT_TRUE(Snapshot(after.window, first));
    uint64_t newHash = WindowKeyHash(after.window);
    t::PumpFor(1600ms);  // several passes over both windows
    std::vector<uint64_t> hashes;
    int keptCount = 0;
    for (const BlockRecord& r : StoredRecords()) {
        hashes.push_back(r.hash);
        if (r.hash == newHash) keptCount = r.recordCnt;
    }
    std::sort(hashes.begin(), hashes.end());
    std::vector<uint64_t> expected = {std::min(oldHash, newHash), std::max(oldHash, newHash)};
    EXPECT_EQ(hashes, expected) << "the resized window keeps the record, the other one is recorded anew";
    EXPECT_EQ(keptCount, 2);
}

TEST_F(InProcessMonitor, CountedBlockPostsTheTooltipText) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND popup = helper_.Open("class=AdTip w=300 h=200 corner=rb");
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(monitor_.StoreRecord(BlockDecisionFor(popup)));
    HWND receiver = CreateOwnWindow(L"TipReceiver", 0, 0, 0, 0, 0, HWND_MESSAGE);
    ASSERT_NE(receiver, nullptr);
    ownWindows_.push_back(receiver);
    monitor_.SetNotifyWindow(receiver);
    g_tooltipMonitor = &monitor_;
    g_tooltip.clear();
    ASSERT_TRUE(monitor_.StartScanThread());
    ASSERT_TRUE(t::WaitUntil([] { return !g_tooltip.empty(); }, 3s));
    EXPECT_FALSE(::IsWindowVisible(popup));
    std::optional<BlockRecord> record = StoredRecordOfClass(L"AdTip");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(g_tooltip, L"Zelvane-弹窗拦截\r\n拦截窗口：POPHELPER.EXE\r\n拦截时间：" + FormatBlockTime(record->timeBlock));
}

}  // namespace
}  // namespace winhush::monitor

namespace winhush::monitor {
namespace {

// The event path alone: the scan period is stretched far beyond the test, so after the
// first pass (over windows that do not matter) only window events can hide anything.
class EventPath : public InProcessMonitor {
protected:
    void SetUp() override {
        InProcessMonitor::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(helper_.Start(helperExe_));
        // The decision is made on a window of the identity that will appear later.
        HWND model = helper_.Open("class=AdEvent w=300 h=200 corner=rb show=hide");
        ASSERT_NE(model, nullptr);
        ASSERT_TRUE(monitor_.StoreRecord(BlockDecisionFor(model)));
        ASSERT_EQ(helper_.Command("destroy " + HandleText(model)), std::optional<std::string>("ok"));
        monitor_.SetScanPeriod(600000);
        ASSERT_TRUE(monitor_.StartScanThread());
        ASSERT_TRUE(monitor_.eventHookActive()) << "the window-event hook could not be set";
        t::PumpFor(500ms);  // the one pass at the start is over
    }
    uint32_t Blocks() { return StoredRecordOfClass(L"AdEvent").value_or(BlockRecord()).blockCnt; }
};

TEST_F(EventPath, HidesABlockedPopupAsItAppearsAndNothingWhileBlockingIsOff) {
    monitor_.enabled = 0;
    HWND ignored = helper_.Open("class=AdEvent w=300 h=200 corner=rb");
    ASSERT_NE(ignored, nullptr);
    t::PumpFor(400ms);
    EXPECT_TRUE(::IsWindowVisible(ignored)) << "with blocking off the hook does nothing";
    ASSERT_EQ(helper_.Command("destroy " + HandleText(ignored)), std::optional<std::string>("ok"));

    monitor_.enabled = 1;
    HWND popup = helper_.Open("class=AdEvent w=300 h=200 corner=rb");
    ASSERT_NE(popup, nullptr);
    // Where the helper put it (it may be gone from there before its handle reaches us).
    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect = {work.right - 300, work.bottom - 200, work.right, work.bottom};
    auto shown = std::chrono::steady_clock::now();
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 3s)) << "no scan ran, and no event hid it";
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - shown);
    EXPECT_LT(elapsed.count(), 400) << "hidden only after " << elapsed.count() << " ms";
    RECT now = {};
    ::GetWindowRect(popup, &now);
    EXPECT_TRUE(t::WaitUntil([&] { return Moved(popup, rect); }, 1s))
        << "at " << now.left << "," << now.top << " from " << rect.left << "," << rect.top;
    ASSERT_TRUE(t::WaitUntil([&] { return Blocks() == 1; }, 3s)) << Dump();
}

TEST_F(EventPath, HidesAPopupCreatedHiddenAndShownAMomentLater) {
    HWND popup = helper_.Open("class=AdEvent w=300 h=200 corner=rb show=hide");
    ASSERT_NE(popup, nullptr);
    ::Sleep(30);
    ASSERT_EQ(helper_.Command("show " + HandleText(popup) + " noactivate"), std::optional<std::string>("ok"));
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 3s)) << "shown after its creation, never hidden";
    ASSERT_TRUE(t::WaitUntil([&] { return Blocks() == 1; }, 3s)) << Dump();
}

// A burst of blocked pop-ups is hidden first and booked after: every one counted, one
// notification that carries the latest text.
TEST_F(EventPath, BurstIsHiddenCountedOnceEachAndAnnouncedWithOneMessage) {
    HWND receiver = CreateOwnWindow(L"BurstTipReceiver", 0, 0, 0, 0, 0, HWND_MESSAGE);
    ASSERT_NE(receiver, nullptr);
    ownWindows_.push_back(receiver);
    monitor_.SetNotifyWindow(receiver);
    g_tooltipMonitor = &monitor_;
    g_tooltip.clear();
    g_tooltipMessages = 0;
    g_tooltipFirst = false;
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 0));
    std::vector<HWND> popups;
    for (int i = 0; i < 40; ++i) {
        HWND h = helper_.Open("class=AdEvent w=300 h=200 corner=rb");
        ASSERT_NE(h, nullptr);
        popups.push_back(h);
    }
    ASSERT_TRUE(t::WaitUntil(
        [&] { return std::none_of(popups.begin(), popups.end(), [](HWND h) { return ::IsWindowVisible(h) != 0; }); },
        5s));
    ASSERT_TRUE(t::WaitUntil([&] { return Blocks() == 40; }, 5s)) << Dump();
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount"), std::optional<DWORD>(40));
    ASSERT_TRUE(t::WaitUntil([] { return !g_tooltip.empty(); }, 3s));
    t::PumpFor(300ms);
    EXPECT_LT(g_tooltipMessages, 40) << "a message per block queues behind the main window";
    EXPECT_TRUE(g_tooltipFirst) << "the burst began with the very first block";
    EXPECT_NE(g_tooltip.find(L"POPHELPER.EXE"), std::wstring::npos);
}

}  // namespace
}  // namespace winhush::monitor
