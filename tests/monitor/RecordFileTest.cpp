// The record file and the locked record operations, on real files in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "monitor/BlockRecord.h"
#include "monitor/WndMgr.h"
#include "TestSupport.h"

namespace winhush::monitor {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::ScopedTempDir;
using test::WriteFileBytes;

constexpr char kOneRecordNoAddType[] =
    R"([{"wndInfo": {"path": "C:\\ADS\\POP.EXE", "caption": "Hi", "class": "AdWnd", "rect.left": 980,
        "rect.top": 580, "rect.right": 1280, "rect.bottom": 780, "style": -1946157056, "pos": 5},
       "hash": -4957413876814635049, "name": "POP.EXE", "imagePath": "", "status": 1,
       "timeRecord": 1700000000, "timeBlock": 1700000100, "blockCnt": 7, "recordCnt": 2}])";

BlockRecord SampleRecord() {
    BlockRecord r;
    r.window.path = L"C:\\USERS\\张三\\POP.EXE";
    r.window.caption = L"限时优惠 \"quoted\"";
    r.window.className = L"AdWnd";
    r.window.rect = {-5, 10, 295, 210};
    r.window.style = WS_POPUP | WS_VISIBLE;
    r.window.pos = 1;
    r.hash = 0xbb33ba5833df1fd7ull;
    r.name = L"POP.EXE";
    r.imagePath = L"C:\\data\\POP1.jpg";
    r.status = 2;
    r.blockCnt = 4000000000u;
    r.recordCnt = 3;
    r.timeRecord = 5000000000ll;  // beyond 2038
    r.timeBlock = 1700000000;
    r.sortKey = 9;
    r.addType = 3;
    return r;
}

TEST(RecordFile, MissingAndEmptyFilesGiveAnEmptyListAndNoBackup) {
    ScopedTempDir dir;
    std::vector<BlockRecord> records;
    LoadResult missing = LoadRecordFile(dir / L"WndMgrInfo.log", records);
    EXPECT_FALSE(missing.fileExisted);
    EXPECT_FALSE(missing.damaged);
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", ""));
    LoadResult empty = LoadRecordFile(dir / L"WndMgrInfo.log", records);
    EXPECT_TRUE(empty.fileExisted);
    EXPECT_FALSE(empty.damaged);
    EXPECT_TRUE(records.empty());
    // An empty list is an empty array.
    ASSERT_TRUE(SaveRecordFile(dir / L"WndMgrInfo.log", records, false));
    EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log").value_or("?"), "[]");
}

TEST(RecordFile, OldFilesWithoutAddTypeLoadWithAddTypeZeroAndTheirNegativeHash) {
    ScopedTempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", kOneRecordNoAddType));
    std::vector<BlockRecord> records;
    LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
    EXPECT_FALSE(result.damaged);
    ASSERT_EQ(records.size(), 1u);
    const BlockRecord& r = records[0];
    EXPECT_EQ(r.addType, 0);
    EXPECT_EQ(r.hash, 0xbb33ba5833df1fd7ull);
    EXPECT_EQ(r.hash, WindowKeyHash(L"C:\\PROGRAM FILES\\DEMO\\POP.EXE", L"#32770", -5, -7));
    EXPECT_EQ(r.window.style, 0x8C000000u);
    EXPECT_EQ(r.window.rect.right, 1280);
    EXPECT_EQ(r.window.pos, 5);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.blockCnt, 7u);
    EXPECT_EQ(r.recordCnt, 2);
    EXPECT_EQ(r.timeBlock, 1700000100);
    EXPECT_TRUE(r.window.hwnds.empty());
    EXPECT_EQ(r.window.pid, 0u);
}

TEST(RecordFile, RoundTripKeepsEveryStoredField) {
    ScopedTempDir dir;
    std::vector<BlockRecord> saved = {SampleRecord(), BlockRecord()};
    saved[1].hash = 1;
    ASSERT_TRUE(SaveRecordFile(dir / L"WndMgrInfo.log", saved, false));
    std::string text = ReadFileBytes(dir / L"WndMgrInfo.log").value_or("");
    EXPECT_NE(text.find("\"hash\": -4957413876814635049"), std::string::npos) << text;
    EXPECT_NE(text.find("\"rect.left\": -5"), std::string::npos) << text;

    std::vector<BlockRecord> loaded;
    ASSERT_FALSE(LoadRecordFile(dir / L"WndMgrInfo.log", loaded).damaged);
    ASSERT_EQ(loaded.size(), 2u);
    const BlockRecord& a = saved[0];
    const BlockRecord& b = loaded[0];
    EXPECT_EQ(b.window.path, a.window.path);
    EXPECT_EQ(b.window.caption, a.window.caption);
    EXPECT_EQ(b.window.className, a.window.className);
    EXPECT_TRUE(EqualRect(&b.window.rect, &a.window.rect));
    EXPECT_EQ(b.window.style, a.window.style);
    EXPECT_EQ(b.window.pos, a.window.pos);
    EXPECT_EQ(b.hash, a.hash);
    EXPECT_EQ(b.name, a.name);
    EXPECT_EQ(b.imagePath, a.imagePath);
    EXPECT_EQ(b.status, a.status);
    EXPECT_EQ(b.blockCnt, a.blockCnt);
    EXPECT_EQ(b.recordCnt, a.recordCnt);
    EXPECT_EQ(b.timeRecord, a.timeRecord);
    EXPECT_EQ(b.timeBlock, a.timeBlock);
    EXPECT_EQ(b.addType, a.addType);
    EXPECT_EQ(b.sortKey, 0);  // never stored
    EXPECT_EQ(loaded[1].hash, 1u);
}

TEST(RecordFile, WrongTypedRecordsAreDroppedAndTheFileKeptBeforeItIsReplaced) {
    ScopedTempDir dir;
    std::string original = std::string("[") + (kOneRecordNoAddType + 1);
    original.pop_back();
    original += R"(, {"wndInfo": {"path": "x"}, "hash": 1, "name": "", "imagePath": "", "status": 0,
                   "timeRecord": 0, "timeBlock": 0, "blockCnt": 0, "recordCnt": 0},
                  {"wndInfo": {}, "hash": 1.5}, "text", 17])";
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", original));
    std::vector<BlockRecord> records;
    LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.dropped, 4u);
    ASSERT_EQ(records.size(), 1u);

    ASSERT_TRUE(SaveRecordFile(dir / L"WndMgrInfo.log", records, true));
    EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log.bad").value_or(""), original);
    // A second damaged file never overwrites the first backup.
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", "{broken"));
    ASSERT_TRUE(SaveRecordFile(dir / L"WndMgrInfo.log", records, true));
    EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log.bad").value_or(""), original);
    EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log.bad1").value_or(""), "{broken");
}

TEST(RecordFile, MonitorKeepsAnUnparsableFileOnceAndThenSavesNormally) {
    ScopedTempDir dir;
    for (const char* damaged : {"{\"not\": \"an array\"}", "[{\"wndInfo\": ", "\xEF\xBB\xBF garbage"}) {
        DeleteFileW((dir / L"WndMgrInfo.log.bad").c_str());
        ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", damaged));
        CWndMgr monitor;
        ASSERT_TRUE(monitor.InitWithDataDirectory(dir.path(), true));
        std::vector<BlockRecord> copy;
        ASSERT_TRUE(monitor.CopyRecords(0, copy));
        EXPECT_TRUE(copy.empty());
        EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log").value_or(""), damaged) << "untouched until a change";
        BlockRecord record = SampleRecord();
        ASSERT_TRUE(monitor.StoreRecord(record));
        EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log.bad").value_or(""), damaged);
        ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log.bad", "mine"));
        record.blockCnt = 1;
        ASSERT_TRUE(monitor.StoreRecord(record));
        EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log.bad").value_or(""), "mine") << "kept only once";
        std::vector<BlockRecord> loaded;
        EXPECT_FALSE(LoadRecordFile(dir / L"WndMgrInfo.log", loaded).damaged);
        EXPECT_EQ(loaded.size(), 1u);
    }
}

TEST(RecordFile, AFailedWriteLeavesThePreviousFileWhole) {
    ScopedTempDir dir;
    std::vector<BlockRecord> records = {SampleRecord()};
    ASSERT_TRUE(SaveRecordFile(dir / L"WndMgrInfo.log", records, false));
    std::string before = ReadFileBytes(dir / L"WndMgrInfo.log").value_or("");
    EXPECT_FALSE(FileExists(dir / L"WndMgrInfo.log.tmp")) << "no temporary file left behind";
    // Make the temporary file impossible to create: the new list cannot be written.
    ASSERT_TRUE(CreateDirectoryW((dir / L"WndMgrInfo.log.tmp").c_str(), nullptr));
    records.push_back(BlockRecord());
    EXPECT_FALSE(SaveRecordFile(dir / L"WndMgrInfo.log", records, false));
    EXPECT_EQ(ReadFileBytes(dir / L"WndMgrInfo.log").value_or(""), before);
    RemoveDirectoryW((dir / L"WndMgrInfo.log.tmp").c_str());
}

// Regression: a reader holding the file open for a moment made the replacing move fail,
// and the change never reached the file.
TEST(RecordFile, ReplacesAFileThatAReaderHoldsOpenBriefly) {
    ScopedTempDir dir;
    std::wstring path = dir / L"WndMgrInfo.log";
    ASSERT_TRUE(SaveRecordFile(path, {}, false));
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE closer = CreateThread(
        nullptr, 0, [](LPVOID handle) -> DWORD { Sleep(30); return CloseHandle(handle); }, reader, 0, nullptr);
    ASSERT_NE(closer, nullptr);
    EXPECT_TRUE(SaveRecordFile(path, {SampleRecord()}, false));
    WaitForSingleObject(closer, 5000);
    CloseHandle(closer);
    std::vector<BlockRecord> loaded;
    LoadRecordFile(path, loaded);
    EXPECT_EQ(loaded.size(), 1u);
}

TEST(RecordFile, NonAsciiDataDirectoryReadsTheFileItWrites) {
    ScopedTempDir dir;
    std::wstring data = dir / L"用户张三\\";
    ASSERT_TRUE(CreateDirectoryW(data.c_str(), nullptr));
    {
        CWndMgr monitor;
        ASSERT_TRUE(monitor.InitWithDataDirectory(data, true));
        ASSERT_TRUE(monitor.StoreRecord(SampleRecord()));
        EXPECT_TRUE(monitor.Stop());
    }
    CWndMgr again;
    ASSERT_TRUE(again.InitWithDataDirectory(data, true));
    std::vector<BlockRecord> copy;
    ASSERT_TRUE(again.CopyRecords(0, copy));
    ASSERT_EQ(copy.size(), 1u);
    EXPECT_EQ(copy[0].window.path, L"C:\\USERS\\张三\\POP.EXE");
}

class RecordOperations : public ::testing::Test {
protected:
    void SetUp() override {
        config.ownProcessId = ::GetCurrentProcessId();
        config.suiteProgramDir = L"C:\\SUITE\\BIN\\";
        config.commonClasses = {L"CommonWnd"};
        monitor.SetConfig(&config);
        ASSERT_TRUE(monitor.InitWithDataDirectory(dir.path(), true));
    }
    BlockRecord Make(uint64_t hash, int status, int recordCnt, const std::wstring& picture = L"") {
        BlockRecord r;
        r.hash = hash;
        r.status = status;
        r.recordCnt = recordCnt;
        r.window.path = L"C:\\ADS\\POP.EXE";
        r.window.className = L"AdWnd";
        if (!picture.empty()) {
            r.imagePath = dir / picture;
            EXPECT_TRUE(WriteFileBytes(r.imagePath, "jpeg"));
        }
        return r;
    }
    std::vector<uint64_t> StoredHashes() {
        std::vector<BlockRecord> loaded;
        LoadRecordFile(monitor.logPath(), loaded);
        std::vector<uint64_t> hashes;
        for (auto& r : loaded) hashes.push_back(r.hash);
        return hashes;
    }
    ScopedTempDir dir;
    StartupConfig config;
    CWndMgr monitor;
};

TEST_F(RecordOperations, StoreRecordAddsOverwritesAndRemovesWithItsPicture) {
    ASSERT_TRUE(monitor.StoreRecord(Make(1, 0, 0)));  // absent: added even with nothing set
    ASSERT_TRUE(monitor.StoreRecord(Make(2, 1, 0, L"TWO2222222222100100.jpg")));
    EXPECT_EQ(StoredHashes(), (std::vector<uint64_t>{1, 2}));
    BlockRecord allowed = Make(2, 2, 0, L"TWO2222222222100100.jpg");
    allowed.blockCnt = 5;
    ASSERT_TRUE(monitor.StoreRecord(allowed));
    std::vector<BlockRecord> copy;
    ASSERT_TRUE(monitor.CopyRecords(0, copy));
    ASSERT_EQ(copy.size(), 1u);  // only blocked or allowed records
    EXPECT_EQ(copy[0].status, 2);
    EXPECT_EQ(copy[0].blockCnt, 5u);
    ASSERT_TRUE(monitor.StoreRecord(Make(2, 0, 0, L"TWO2222222222100100.jpg")));
    EXPECT_EQ(StoredHashes(), (std::vector<uint64_t>{1}));
    EXPECT_FALSE(FileExists(dir / L"TWO2222222222100100.jpg"));
}

TEST_F(RecordOperations, ClearRecordedKeepsDecisionsAndDropsRecordedOnlyWindows) {
    monitor.StoreRecord(Make(1, 0, 3, L"ONE1111111111100100.jpg"));
    monitor.StoreRecord(Make(2, 1, 2, L"TWO2222222222100100.jpg"));
    monitor.StoreRecord(Make(3, 2, 1));
    monitor.ClearRecorded();
    EXPECT_EQ(StoredHashes(), (std::vector<uint64_t>{2, 3}));
    EXPECT_FALSE(FileExists(dir / L"ONE1111111111100100.jpg"));
    EXPECT_TRUE(FileExists(dir / L"TWO2222222222100100.jpg"));
    std::vector<BlockRecord> copy;
    ASSERT_TRUE(monitor.CopyRecords(0, copy));
    for (auto& r : copy) EXPECT_EQ(r.recordCnt, 0) << r.hash;
}

TEST_F(RecordOperations, RecordedListDropsWindowsThatAreNoLongerCandidates) {
    monitor.StoreRecord(Make(1, 0, 1, L"ONE1111111111100100.jpg"));          // listed
    monitor.StoreRecord(Make(2, 0, 1));                      // no picture: kept, not listed
    BlockRecord common = Make(3, 0, 1, L"THREE3333333333100100.jpg");        // class became common: removed
    common.window.className = L"CommonWnd";
    monitor.StoreRecord(common);
    BlockRecord suite = Make(4, 1, 4, L"FOUR4444444444100100.jpg");          // inside the suite, but blocked: kept
    suite.window.path = L"C:\\SUITE\\BIN\\TOOL.EXE";
    monitor.StoreRecord(suite);
    std::vector<BlockRecord> recorded;
    ASSERT_TRUE(monitor.CopyRecords(1, recorded));
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].hash, 1u);
    EXPECT_FALSE(FileExists(dir / L"THREE3333333333100100.jpg"));
    EXPECT_TRUE(FileExists(dir / L"FOUR4444444444100100.jpg"));
    EXPECT_EQ(StoredHashes(), (std::vector<uint64_t>{1, 2, 4}));
    std::vector<BlockRecord> blocked;
    ASSERT_TRUE(monitor.CopyRecords(0, blocked));
    ASSERT_EQ(blocked.size(), 1u);
    EXPECT_EQ(blocked[0].recordCnt, 0);
    int count = -1;
    ASSERT_TRUE(monitor.CountRecorded(count));
    EXPECT_EQ(count, 1);
}

TEST_F(RecordOperations, StopWithoutAScanThreadWritesTheFile) {
    monitor.StoreRecord(Make(7, 1, 0));
    DeleteFileW(monitor.logPath().c_str());
    EXPECT_TRUE(monitor.Stop());
    EXPECT_EQ(StoredHashes(), (std::vector<uint64_t>{7}));
}

TEST(BlockTime, IsShownInLocalTime) {
    SYSTEMTIME local = {2024, 3, 0, 5, 9, 7, 0, 0};
    SYSTEMTIME utc;
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
    int64_t seconds = ((static_cast<int64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000000) - 11644473600ll;
    EXPECT_EQ(FormatBlockTime(seconds), L"2024/03/05 09:07");
}

}  // namespace
}  // namespace winhush::monitor
