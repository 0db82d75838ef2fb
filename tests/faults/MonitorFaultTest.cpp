// The window monitor in this process against real windows of a helper process that
// misbehaves: a program whose window thread stops answering, record writers working from
// old copies, a changed window whose record carries a decision, record files naming files
// that are not our pictures, and pictures of windows that draw plainly or lie under others.
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
using Clock = std::chrono::steady_clock;

namespace winhush::monitor {
namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string HandleText(HWND hwnd) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

class Helper {
public:
    ~Helper() { Quit(); }
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
    void Quit() {
        if (!process_.valid()) return;
        // A thread asleep in its window procedure does not keep the process from ending.
        process_.WriteLine("quit");
        if (!process_.WaitExit(5s)) process_.Kill();
        process_ = {};
    }

private:
    t::ChildProcess process_;
};

class MonitorFaults : public ::testing::Test {
protected:
    void SetUp() override {
        dataDir_ = root_ / L"data\\";
        ASSERT_TRUE(::CreateDirectoryW(dataDir_.c_str(), nullptr));
        helperExe_ = root_ / L"PopHelper.exe";
        ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe_.c_str(), FALSE));
        FillStartupBasics(config_);
        config_.suiteProgramDir = L"C:\\NO SUITE HERE\\BIN\\";
        monitor_.SetConfig(&config_);
        ASSERT_TRUE(monitor_.InitWithDataDirectory(dataDir_, true));
        logPath_ = monitor_.logPath();
    }
    void TearDown() override {
        monitor_.Stop();
        helper_.Quit();
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount");
    }

    BlockRecord DecisionFor(HWND hwnd, int status = kStatusBlock) {
        BlockRecord r;
        EXPECT_TRUE(Snapshot(r.window, hwnd));
        r.window.hwnds.clear();
        r.window.pid = 0;
        r.hash = WindowKeyHash(r.window);
        r.name = FileNameOf(r.window.path);
        r.status = status;
        r.addType = kAddedByPicker;
        return r;
    }
    std::optional<BlockRecord> Stored(uint64_t hash) {
        std::vector<BlockRecord> records;
        LoadRecordFile(logPath_, records);
        for (BlockRecord& r : records)
            if (r.hash == hash) return r;
        return std::nullopt;
    }
    std::vector<BlockRecord> StoredAll() {
        std::vector<BlockRecord> records;
        LoadRecordFile(logPath_, records);
        return records;
    }

    t::ScopedTempDir root_;
    std::wstring dataDir_, helperExe_, logPath_;
    StartupConfig config_;
    CWndMgr monitor_;
    Helper helper_;
};

// Before: hiding waited on the hung program's thread with the record lock held, so no other
// window was hidden and every record operation (the main window's switch) waited with it.
TEST_F(MonitorFaults, HungProgramHoldsUpNeitherBlockingNorTheRecordsNorShutdown) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND hung = helper_.Open("class=AdHung w=300 h=200 corner=rb thread=new");
    ASSERT_NE(hung, nullptr);
    BlockRecord hungDecision = DecisionFor(hung);
    ASSERT_TRUE(monitor_.StoreRecord(hungDecision));
    constexpr int kHangMs = 9000;
    ASSERT_EQ(helper_.Command("hang " + HandleText(hung) + " " + std::to_string(kHangMs)),
              std::optional<std::string>("ok"));
    auto hangStart = Clock::now();
    t::PumpFor(300ms);  // the helper's thread is asleep by now
    ASSERT_TRUE(monitor_.StartScanThread());
    t::PumpFor(1200ms);  // passes over the hung window

    // Pop-ups opened while it hangs are hidden within about a pass.
    HWND other = helper_.Open("class=AdOther w=260 h=180 corner=lt");
    HWND third = helper_.Open("class=AdThird w=240 h=160 corner=lb");
    ASSERT_TRUE(other && third);
    ASSERT_TRUE(monitor_.StoreRecord(DecisionFor(other)));
    ASSERT_TRUE(monitor_.StoreRecord(DecisionFor(third)));
    auto opened = Clock::now();
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(other) && !::IsWindowVisible(third); }, 3s))
        << "other blocked pop-ups stayed on screen while one program hangs";
    long long hiddenAfter = MsSince(opened);
    EXPECT_LT(hiddenAfter, 1500);

    // Record operations answer at once all the while.
    long long slowest = 0;
    for (int i = 0; i < 20; ++i) {
        auto start = Clock::now();
        ASSERT_TRUE(monitor_.SetRecordStatus(hungDecision.hash, i % 2 ? kStatusBlock : kStatusAllowed));
        std::vector<BlockRecord> copy;
        EXPECT_TRUE(monitor_.CopyRecords(0, copy));
        slowest = std::max(slowest, MsSince(start));
        t::PumpFor(50ms);
    }
    ASSERT_TRUE(monitor_.SetRecordStatus(hungDecision.hash, kStatusBlock));
    EXPECT_LT(slowest, 300) << "a record operation waited on the hung program";
    ASSERT_LT(MsSince(hangStart), kHangMs - 1500) << "the helper woke up before the checks were done";
    EXPECT_TRUE(::IsWindowVisible(hung)) << "the hung window cannot have hidden itself yet";

    // Counted once, not once per pass while its program does not carry the request out.
    std::optional<BlockRecord> hungRecord = Stored(hungDecision.hash);
    ASSERT_TRUE(hungRecord.has_value());
    EXPECT_EQ(hungRecord->blockCnt, 1u);

    // Shutdown with the hung window still on screen: the scan ends inside the join limit.
    auto stopStart = Clock::now();
    monitor_.Stop();
    long long joined = MsSince(stopStart);
    EXPECT_LT(joined, 1000) << "the scan thread had to be ended by force";
    std::printf(
        "[ figures  ] other pop-ups hidden after %lld ms, slowest record operation %lld ms, "
        "scan thread joined in %lld ms, hung window still shown\n",
        hiddenAfter, slowest, joined);

    // The requests were queued, not lost: once the program pumps again it hides the window.
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(hung); }, std::chrono::milliseconds(kHangMs + 3000)))
        << "the hung program never carried out the hiding";
    RECT rect;
    ASSERT_TRUE(::GetWindowRect(hung, &rect));
    EXPECT_EQ(rect.left, hungDecision.window.rect.left + 9999);
}

// Before: the main window and the carry-over wrote back a copy, reverting the count, time and
// picture the scan had stored in between.
TEST_F(MonitorFaults, WritersWorkingFromACopyChangeOnlyWhatTheyMean) {
    BlockRecord record;
    record.hash = 0x1234;
    record.name = L"AD.EXE";
    record.window.path = L"C:\\APPS\\AD_V1.EXE";
    record.window.className = L"AdWnd";
    record.window.rect = {0, 0, 300, 200};
    record.hash = WindowKeyHash(record.window);
    record.status = kStatusBlock;
    record.blockCnt = 4;
    ASSERT_TRUE(monitor_.StoreRecord(record));
    std::vector<BlockRecord> rows;
    ASSERT_TRUE(monitor_.CopyRecords(0, rows));  // what the list shows
    ASSERT_EQ(rows.size(), 1u);

    // The scan counts a block meanwhile.
    BlockRecord counted = record;
    counted.blockCnt = 5;
    counted.timeBlock = record.timeBlock + 60;
    counted.imagePath = dataDir_ + L"AD_V11234567890300200.jpg";
    ASSERT_TRUE(t::WriteFileBytes(counted.imagePath, "jpeg"));
    ASSERT_TRUE(monitor_.StoreRecord(counted));

    ASSERT_TRUE(monitor_.SetRecordStatus(rows[0].hash, kStatusAllowed));
    std::optional<BlockRecord> stored = Stored(record.hash);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->status, kStatusAllowed);
    EXPECT_EQ(stored->blockCnt, 5u);
    EXPECT_EQ(stored->timeBlock, counted.timeBlock);
    EXPECT_EQ(stored->imagePath, counted.imagePath);
    EXPECT_FALSE(monitor_.SetRecordStatus(0x777, kStatusBlock)) << "no record, nothing to switch";

    // The program moved: the record goes along with everything the scan stored.
    ASSERT_TRUE(monitor_.MoveRecord(rows[0].hash, L"C:\\APPS\\AD_V2.EXE"));
    BlockRecord moved = counted;
    moved.window.path = L"C:\\APPS\\AD_V2.EXE";
    stored = Stored(WindowKeyHash(moved.window));
    ASSERT_TRUE(stored.has_value());
    EXPECT_FALSE(Stored(record.hash).has_value());
    EXPECT_EQ(stored->status, kStatusAllowed);
    EXPECT_EQ(stored->blockCnt, 5u);
    EXPECT_EQ(stored->imagePath, counted.imagePath);
    EXPECT_TRUE(t::FileExists(counted.imagePath)) << "the moved record still shows this picture";

    // Remove: a record the record dialog still lists keeps its entry and picture.
    stored->recordCnt = 2;
    ASSERT_TRUE(monitor_.StoreRecord(*stored));
    ASSERT_TRUE(monitor_.RemoveDecision(stored->hash));
    std::optional<BlockRecord> kept = Stored(stored->hash);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->status, kStatusRecorded);
    EXPECT_EQ(kept->blockCnt, 0u);
    EXPECT_EQ(kept->recordCnt, 2);
    EXPECT_TRUE(t::FileExists(counted.imagePath));
    kept->status = kStatusBlock;
    kept->recordCnt = 0;
    ASSERT_TRUE(monitor_.StoreRecord(*kept));
    ASSERT_TRUE(monitor_.RemoveDecision(kept->hash));
    EXPECT_TRUE(StoredAll().empty());
    EXPECT_FALSE(t::FileExists(counted.imagePath));

    // A decision added for a window the monitor has recorded keeps the recording.
    BlockRecord recorded = record;
    recorded.status = kStatusRecorded;
    recorded.recordCnt = 3;
    recorded.imagePath = dataDir_ + L"AD_V19876543210300200.jpg";
    ASSERT_TRUE(monitor_.StoreRecord(recorded));
    BlockRecord picked = record;
    picked.status = kStatusBlock;
    picked.name = L"My ad";
    picked.addType = kAddedByPicker;
    ASSERT_TRUE(monitor_.AddDecision(picked));
    stored = Stored(record.hash);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->status, kStatusBlock);
    EXPECT_EQ(stored->name, L"My ad");
    EXPECT_EQ(stored->recordCnt, 3);
    EXPECT_EQ(stored->imagePath, recorded.imagePath);
}

// Before: a let-through or blocked record followed the window to its new size, so the
// decision left the identity it was made for.
TEST_F(MonitorFaults, OnlyRecordsWithoutADecisionFollowAChangedWindow) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND allowed = helper_.Open("class=AdAllowed w=300 h=200 corner=rb");
    HWND recordedOnly = helper_.Open("class=AdRecorded w=280 h=180 corner=center");
    ASSERT_TRUE(allowed && recordedOnly);
    BlockRecord decision = DecisionFor(allowed, kStatusAllowed);
    ASSERT_TRUE(monitor_.StoreRecord(decision));
    monitor_.recording = 1;
    monitor_.ScanOnce();  // both are recorded under their present identities
    std::optional<BlockRecord> seen = Stored(decision.hash);
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(seen->recordCnt, 1);
    BlockRecord recordedBefore = DecisionFor(recordedOnly, kStatusRecorded);
    ASSERT_TRUE(Stored(recordedBefore.hash).has_value());

    RECT work;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Still in the bottom-right corner, at another size.
    ASSERT_EQ(helper_.Command("move " + HandleText(allowed) + " " + std::to_string(work.right - 330) + " " +
                              std::to_string(work.bottom - 230) + " 320 220"),
              std::optional<std::string>("ok"));
    int cx = (work.left + work.right - 300) / 2, cy = (work.top + work.bottom - 190) / 2;
    ASSERT_EQ(helper_.Command("move " + HandleText(recordedOnly) + " " + std::to_string(cx) + " " + std::to_string(cy) +
                              " 300 190"),
              std::optional<std::string>("ok"));
    BlockRecord allowedNow = DecisionFor(allowed, kStatusAllowed);
    BlockRecord recordedNow = DecisionFor(recordedOnly, kStatusRecorded);
    monitor_.ScanOnce();
    monitor_.ScanOnce();

    std::optional<BlockRecord> kept = Stored(decision.hash);
    ASSERT_TRUE(kept.has_value()) << "the decision left its identity";
    EXPECT_EQ(kept->status, kStatusAllowed);
    std::optional<BlockRecord> fresh = Stored(allowedNow.hash);
    ASSERT_TRUE(fresh.has_value()) << "the window at its new size is recorded on its own";
    EXPECT_EQ(fresh->status, kStatusRecorded);
    // A record without a decision still follows its window.
    EXPECT_FALSE(Stored(recordedBefore.hash).has_value());
    std::optional<BlockRecord> followed = Stored(recordedNow.hash);
    ASSERT_TRUE(followed.has_value());
    EXPECT_EQ(followed->recordCnt, 1);
}

// Before: any "imagePath" in the record file was deleted when its record went or its
// picture was replaced: a record file could delete any file the elevated program can.
TEST_F(MonitorFaults, OnlyOurOwnPicturesInTheDataDirectoryAreEverDeleted) {
    t::ScopedTempDir elsewhere;
    const std::wstring outside = elsewhere / L"APP1234567890123456300200.jpg";
    const std::wstring userFile = elsewhere / L"thesis.docx";
    const std::wstring notAPicture = dataDir_ + L"notes.jpg";
    const std::wstring climbing = dataDir_ + L"..\\APP1234567890123456300201.jpg";
    const std::wstring relative = L"APP1234567890123456300202.jpg";
    for (const std::wstring& file : {outside, userFile, notAPicture, climbing})
        ASSERT_TRUE(t::WriteFileBytes(file, "precious"));
    const std::vector<std::wstring> foreign = {outside,  userFile, notAPicture, climbing,
                                               relative, logPath_, dataDir_,    L"\\\\?\\" + outside};
    ASSERT_TRUE(monitor_.Save());

    auto make = [&](uint64_t hash, const std::wstring& picture, int status, int recordCnt) {
        BlockRecord r;
        r.hash = hash;
        r.window.path = L"C:\\ADS\\POP.EXE";
        r.window.className = L"AdWnd";
        r.imagePath = picture;
        r.status = status;
        r.recordCnt = recordCnt;
        return r;
    };
    uint64_t hash = 100;
    for (const std::wstring& path : foreign) {
        // The user's remove, a removal by store, and the record dialog's clear-all.
        ASSERT_TRUE(monitor_.StoreRecord(make(++hash, path, kStatusBlock, 0)));
        ASSERT_TRUE(monitor_.RemoveDecision(hash));
        ASSERT_TRUE(monitor_.StoreRecord(make(++hash, path, kStatusBlock, 0)));
        ASSERT_TRUE(monitor_.StoreRecord(make(hash, path, kStatusRecorded, 0)));
        ASSERT_TRUE(monitor_.StoreRecord(make(++hash, path, kStatusRecorded, 1)));
    }
    monitor_.ClearRecorded();
    for (const std::wstring& file : {outside, userFile, notAPicture, climbing})
        EXPECT_TRUE(t::FileExists(file)) << "deleted a file that is not ours";
    EXPECT_TRUE(t::FileExists(logPath_));

    // A picture of ours goes with its record.
    const std::wstring ours = dataDir_ + L"POP1234567890300200.jpg";
    ASSERT_TRUE(t::WriteFileBytes(ours, "jpeg"));
    ASSERT_TRUE(monitor_.StoreRecord(make(++hash, ours, kStatusBlock, 0)));
    ASSERT_TRUE(monitor_.RemoveDecision(hash));
    EXPECT_FALSE(t::FileExists(ours));

    EXPECT_TRUE(IsScreenshotFileName(L"APP15511289871280720.jpg"));
    EXPECT_TRUE(IsScreenshotFileName(L"演示 程序1551128987050007.JPG"));
    EXPECT_FALSE(IsScreenshotFileName(L"APP1551128987.jpg"));
    EXPECT_FALSE(IsScreenshotFileName(L"x:APP15511289871280720.jpg"));
    EXPECT_FALSE(IsScreenshotFileName(L"WndMgrInfo.log"));
}

// The JPEG's pixel at (x, y).
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

// Before: a plain white (or black) window got no picture, and a covered window was stored
// with the pixels of whatever covered it.
TEST_F(MonitorFaults, PlainWindowsArePhotographedAndCoveredOnesNeverShowWhatCoversThem) {
    ASSERT_TRUE(helper_.Start(helperExe_));
    HWND white = helper_.Open("class=AdWhite caption=\"\" w=300 h=200 corner=rb color=FFFFFF");
    HWND black = helper_.Open("class=AdBlack caption=\"\" w=300 h=200 corner=lt color=000000");
    HWND covered = helper_.Open("class=AdCovered caption=\"\" w=300 h=200 corner=center color=2040E0");
    ASSERT_TRUE(white && black && covered);
    RECT under;
    ::GetWindowRect(covered, &under);
    // A window of the user's over the middle of it, in green.
    HWND cover = helper_.Open("class=Private caption=\"\" x=" + std::to_string(under.left + 50) +
                              " y=" + std::to_string(under.top + 40) + " w=200 h=120 color=10C020");
    ASSERT_NE(cover, nullptr);
    t::PumpFor(300ms);

    auto photograph = [&](HWND hwnd) {
        BlockRecord r;
        EXPECT_TRUE(Snapshot(r.window, hwnd));
        return TakeScreenshot(r, dataDir_);
    };
    std::wstring whitePicture = photograph(white);
    EXPECT_FALSE(whitePicture.empty()) << "a plain white pop-up got no picture";
    if (!whitePicture.empty()) {
        std::optional<COLORREF> pixel = JpegPixel(whitePicture, 150, 100);
        ASSERT_TRUE(pixel.has_value());
        EXPECT_GT(GetRValue(*pixel), 235);
        EXPECT_GT(GetGValue(*pixel), 235);
    }
    std::wstring blackPicture = photograph(black);
    EXPECT_FALSE(blackPicture.empty()) << "a plain black pop-up got no picture";
    if (!blackPicture.empty()) {
        std::optional<COLORREF> pixel = JpegPixel(blackPicture, 150, 100);
        ASSERT_TRUE(pixel.has_value());
        EXPECT_LT(GetRValue(*pixel) + GetGValue(*pixel) + GetBValue(*pixel), 60);
    }

    // Either the window's own pixels or no picture at all; never the green cover.
    std::wstring coveredPicture = photograph(covered);
    if (!coveredPicture.empty()) {
        std::optional<COLORREF> pixel = JpegPixel(coveredPicture, 150, 100);
        ASSERT_TRUE(pixel.has_value());
        EXPECT_LT(GetGValue(*pixel), 120) << "the picture shows the window lying over it";
        EXPECT_GT(GetBValue(*pixel), 170);
    }
    std::printf("[ figures  ] covered window: %s\n",
                coveredPicture.empty() ? "no picture" : "a picture of its own pixels");

    // What an untouched capture bitmap looks like, and that drawn pixels never look like it.
    std::vector<uint32_t> untouched(64, kCaptureFill);
    EXPECT_TRUE(IsUntouchedPixels(untouched.data(), untouched.size()));
    untouched[63] = 0x00FFFFFF;
    EXPECT_FALSE(IsUntouchedPixels(untouched.data(), untouched.size()));
    std::vector<uint32_t> whitePixels(64, 0x00FFFFFF), blackPixels(64, 0);
    EXPECT_FALSE(IsUntouchedPixels(whitePixels.data(), whitePixels.size()));
    EXPECT_FALSE(IsUntouchedPixels(blackPixels.data(), blackPixels.size()));
}

}  // namespace
}  // namespace winhush::monitor
