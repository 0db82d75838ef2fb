// Record files as an unlucky computer leaves them: saved by an editor, written by other
// tools, cut short, held open by another program, marked read-only. Every record that can
// be read comes back, and what cannot be read is never lost.
#include <gtest/gtest.h>
#include <jansson.h>

#include <string>
#include <thread>
#include <vector>

#include "base/Json.h"
#include "base/Strings.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndMgr.h"
#include "TestSupport.h"

namespace winhush::monitor {
namespace {

using test::FileExists;
using test::ReadFileBytes;
using test::ScopedTempDir;
using test::WriteFileBytes;

// One record with a placeholder for a string and one for the hash.
std::string Record(const std::string& caption = "Hi", const std::string& hash = "-4957413876814635049",
                   const std::string& status = "1", const std::string& right = "1280") {
    return R"({"wndInfo": {"path": "C:\\ADS\\POP.EXE", "caption": ")" + caption +
           R"(", "class": "AdWnd", "rect.left": 980, "rect.top": 580, "rect.right": )" + right +
           R"(, "rect.bottom": 780, "style": -1946157056, "pos": 5}, "hash": )" + hash +
           R"(, "name": "POP.EXE", "imagePath": "", "status": )" + status +
           R"(, "timeRecord": 1700000000, "timeBlock": 1700000100, "blockCnt": 7, "recordCnt": 2, "addType": 3})";
}

std::string Second() { return Record("Two", "2"); }

struct Case {
    const char* what;
    std::string text;
    size_t records;
    bool damaged;
    std::wstring firstCaption;
};

TEST(RecordFileRepair, ReadsEveryReadableRecordOfHandEditedAndForeignFiles) {
    const std::string bad = "\xC3(";  // a lead byte without its continuation
    const std::vector<Case> cases = {
        {"byte-order mark", "\xEF\xBB\xBF[" + Record() + ", " + Second() + "]", 2, false, L"Hi"},
        {"unsigned hash", "[" + Record("Hi", "13489330196894916567") + "]", 1, true, L"Hi"},
        {"bad UTF-8 byte", "[" + Record("A" + bad + "B") + ", " + Second() + "]", 2, true, L"A\xFFFD(B"},
        {"overlong UTF-8", "[" + Record("\xC0\xAF") + "]", 1, true, L"\xFFFD\xFFFD"},
        {"NUL escape", "[" + Record("a\\u0000b") + "]", 1, true, L"a\xFFFD" L"b"},
        {"raw NUL and tab", "[" + Record(std::string("a\0\tb", 4)) + "]", 1, true, L"a\xFFFD\tb"},
        {"lone surrogates", "[" + Record("\\ud800x\\udc00\\ud83d\\ude00") + "]", 1, true, L"\xFFFDx\xFFFD\xD83D\xDE00"},
        {"garbage after the array", "[" + Record() + "]\r\n" + std::string("\0\0garbage{", 10), 1, true, L"Hi"},
        {"cut in the second record", "[" + Record() + ", " + Second().substr(0, 60), 1, true, L"Hi"},
        {"cut after a record", "[" + Record() + ",", 1, true, L"Hi"},
        {"garbage between records", "[" + Record() + ", nonsense, {]}, " + Second() + "]", 2, true, L"Hi"},
        {"trailing comma", "[" + Record() + ", ]", 1, true, L"Hi"},
        {"missing comma", "[" + Record() + "\n" + Second() + "]", 2, true, L"Hi"},
        {"quotes and brackets in strings", "[" + Record(R"(a\"],[{\\)") + ", " + Second() + "]", 2, false,
         L"a\"],[{\\"},
    };
    ScopedTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", c.text));
        std::vector<BlockRecord> records;
        LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
        EXPECT_EQ(result.damaged, c.damaged);
        EXPECT_FALSE(result.unreadable);
        ASSERT_EQ(records.size(), c.records);
        EXPECT_EQ(records[0].window.caption, c.firstCaption);
        EXPECT_EQ(records[0].hash, 0xbb33ba5833df1fd7ull);
        EXPECT_EQ(records[0].status, 1);
        EXPECT_EQ(records[0].addType, 3);
        if (c.records > 1) EXPECT_EQ(records[1].hash, 2u);
    }
}

// A lost quote turns the rest of the file inside out for a plain reader; the records after
// the damaged one are still found by their first key.
TEST(RecordFileRepair, ADamagedRecordDoesNotTakeTheFollowingOnesAlong) {
    std::string broken = Record("Hi\\");  // the caption's closing quote is now escaped
    ScopedTempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log",
                               "[" + broken + ", " + Second() + ", " + Record("Three", "3") + "]"));
    std::vector<BlockRecord> records;
    LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
    EXPECT_TRUE(result.damaged);
    EXPECT_EQ(result.dropped, 1u);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].hash, 2u);
    EXPECT_EQ(records[1].hash, 3u);
    EXPECT_EQ(records[1].window.caption, L"Three");
}

TEST(RecordFileRepair, NumbersOutsideTheirFieldMakeTheRecordInvalid) {
    const struct {
        std::string record;
        bool valid;
    } cases[] = {
        {Record("Hi", "1", "4294967297"), false},       // would read as 1, block
        {Record("Hi", "1", "1", "1099511627776"), false},  // would read as 0
        {Record("Hi", "1", "-2147483649"), false},
        {Record("Hi", "18446744073709551616"), false},  // beyond 64 bits
        {Record("Hi", "-9223372036854775808"), true},
        {Record("Hi", "1", "1", "-2147483648"), true},
    };
    ScopedTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", "[" + c.record + ", " + Second() + "]"));
        std::vector<BlockRecord> records;
        LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
        ASSERT_EQ(records.size(), c.valid ? 2u : 1u);
        EXPECT_EQ(records.back().hash, 2u) << "the good record after it is kept";
        EXPECT_EQ(result.dropped, c.valid ? 0u : 1u);
    }
    // 32-bit fields whose bits the writer stores as signed numbers read either way.
    std::string unsignedBits = Record();
    unsignedBits.replace(unsignedBits.find("-1946157056"), 11, "2348810240");
    unsignedBits.replace(unsignedBits.find("\"blockCnt\": 7"), 13, "\"blockCnt\": 4294967295");
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", "[" + unsignedBits + "]"));
    std::vector<BlockRecord> records;
    LoadRecordFile(dir / L"WndMgrInfo.log", records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].window.style, 0x8C000000u);
    EXPECT_EQ(records[0].blockCnt, 4294967295u);
}

TEST(RecordFileRepair, DeeplyNestedAndHugeInputsNeitherCrashNorHang) {
    ScopedTempDir dir;
    const std::string inputs[] = {
        "[" + std::string(200000, '[') + std::string(200000, ']') + ", " + Second() + "]",
        "[" + std::string(200000, '{'),
        "[" + Record(std::string(3000000, 'x')) + "]",
        std::string(100000, '"'),
    };
    for (const std::string& text : inputs) {
        ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", text));
        std::vector<BlockRecord> records;
        LoadResult result = LoadRecordFile(dir / L"WndMgrInfo.log", records);
        EXPECT_LE(records.size(), 1u);
        if (text[1] == '[') EXPECT_EQ(records.size(), 1u);
        if (text.size() == 100000) EXPECT_TRUE(result.damaged);
    }
}

// The text is json_dumps' own, byte for byte, for strings that need every kind of escape.
TEST(RecordFileRepair, SavedTextIsWhatJanssonWrites) {
    BlockRecord r;
    r.window.path = L"C:\\Users\\Zoë\\Ärger\\ПРОГРАММА.EXE";
    r.window.caption = std::wstring(L"tab\there \"q\" / \x01\x1f\x7f \U0001F600 ") + L'\xD800' + L"x" + L'\xDC00';
    r.window.caption += std::wstring(L"\0after", 6);
    r.window.className = L"\b\f\n\r";
    r.window.rect = {INT32_MIN, -1, INT32_MAX, 0};
    r.window.style = 0x80000000u;
    r.hash = 0x8000000000000000ull;
    r.name = L"\x2028\xFEFF";
    r.blockCnt = 4000000000u;
    r.timeRecord = INT64_MIN;
    r.timeBlock = INT64_MAX;
    std::vector<BlockRecord> records = {r, BlockRecord()};
    std::string ours = SerializeRecords(records);

    UniqueJson array(json_array());
    for (const BlockRecord& b : records) {
        const WndInfo& w = b.window;
        json_t* info = json_pack("{s:s, s:s, s:s, s:i, s:i, s:i, s:i, s:i, s:i}", "path", WideToUtf8(w.path.c_str()).c_str(),
                                 "caption", WideToUtf8(w.caption.c_str()).c_str(), "class",
                                 WideToUtf8(w.className.c_str()).c_str(), "rect.left", (int)w.rect.left, "rect.top",
                                 (int)w.rect.top, "rect.right", (int)w.rect.right, "rect.bottom", (int)w.rect.bottom,
                                 "style", (int)w.style, "pos", w.pos);
        json_t* object = json_pack("{s:o, s:I, s:s, s:s, s:i, s:I, s:I, s:i, s:i, s:i}", "wndInfo", info, "hash",
                                   (json_int_t)(int64_t)b.hash, "name", WideToUtf8(b.name).c_str(), "imagePath",
                                   WideToUtf8(b.imagePath).c_str(), "status", b.status, "timeRecord",
                                   (json_int_t)b.timeRecord, "timeBlock", (json_int_t)b.timeBlock, "blockCnt",
                                   (int)b.blockCnt, "recordCnt", b.recordCnt, "addType", b.addType);
        ASSERT_NE(object, nullptr);
        json_array_append_new(array.get(), object);
    }
    char* text = json_dumps(array.get(), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(ours, std::string(text));
    free(text);
    EXPECT_EQ(SerializeRecords({}), "[]");
}

TEST(RecordFileRepair, KeptCopiesAreNeverOverwrittenAndStayFew) {
    ScopedTempDir dir;
    std::wstring path = dir / L"WndMgrInfo.log";
    // A folder where an older version filled every name it knew.
    for (int i = 0; i < 100; ++i) {
        std::wstring name = i == 0 ? path + L".bad" : path + L".bad" + std::to_wstring(i);
        ASSERT_TRUE(WriteFileBytes(name, "old " + std::to_string(i)));
    }
    for (int round = 0; round < 15; ++round) {
        ASSERT_TRUE(WriteFileBytes(path, "{damaged " + std::to_string(round)));
        ::Sleep(20);  // distinct write times
        ASSERT_TRUE(SaveRecordFile(path, {}, true)) << round;
    }
    std::vector<std::string> kept;
    for (int i = 0; i < 100; ++i) {
        std::wstring name = i == 0 ? path + L".bad" : path + L".bad" + std::to_wstring(i);
        if (auto bytes = ReadFileBytes(name)) kept.push_back(*bytes);
    }
    EXPECT_LE(kept.size(), 10u);
    for (int round = 5; round < 15; ++round) {
        EXPECT_NE(std::find(kept.begin(), kept.end(), "{damaged " + std::to_string(round)), kept.end())
            << "the newest damaged files are kept: " << round;
    }
    EXPECT_EQ(ReadFileBytes(path).value_or(""), "[]");
}

TEST(RecordFileRepair, AReadOnlyFileIsStillReplaced) {
    ScopedTempDir dir;
    std::wstring path = dir / L"WndMgrInfo.log";
    ASSERT_TRUE(SaveRecordFile(path, {}, false));
    ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    BlockRecord record;
    record.hash = 42;
    ASSERT_TRUE(SaveRecordFile(path, {record}, false));
    std::vector<BlockRecord> loaded;
    LoadRecordFile(path, loaded);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].hash, 42u);
    // A read-only temporary file left by an earlier run does not stop the next save.
    ASSERT_TRUE(WriteFileBytes(path + L".tmp", "left over"));
    ASSERT_TRUE(::SetFileAttributesW((path + L".tmp").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(SaveRecordFile(path, {}, false));
    EXPECT_EQ(ReadFileBytes(path).value_or(""), "[]");
}

HANDLE HoldExclusively(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(RecordFileRepair, AFileHeldAtStartIsReadOnceItIsFree) {
    ScopedTempDir dir;
    std::wstring path = dir / L"WndMgrInfo.log";
    const std::string original = "[" + Record() + "]";
    ASSERT_TRUE(WriteFileBytes(path, original));
    HANDLE holder = HoldExclusively(path);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::thread release([holder] {
        ::Sleep(400);
        ::CloseHandle(holder);
    });
    CWndMgr monitor;
    ASSERT_TRUE(monitor.InitWithDataDirectory(dir.path(), true));
    release.join();
    std::vector<BlockRecord> copy;
    ASSERT_TRUE(monitor.CopyRecords(0, copy));
    ASSERT_EQ(copy.size(), 1u) << "the held file was judged damaged";
    EXPECT_FALSE(FileExists(path + L".bad"));
}

TEST(RecordFileRepair, AFileThatStaysUnreadableIsNeitherKeptAsideNorReplaced) {
    ScopedTempDir dir;
    std::wstring path = dir / L"WndMgrInfo.log";
    const std::string original = "[" + Record() + "]";
    ASSERT_TRUE(WriteFileBytes(path, original));
    HANDLE holder = HoldExclusively(path);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    CWndMgr monitor;
    ASSERT_TRUE(monitor.InitWithDataDirectory(dir.path(), true));
    BlockRecord added;
    added.hash = 77;
    added.status = kStatusBlock;
    monitor.StoreRecord(added);
    ::CloseHandle(holder);
    EXPECT_EQ(ReadFileBytes(path).value_or(""), original) << "replaced while it could not be read";
    EXPECT_FALSE(FileExists(path + L".bad"));

    // The next change, once the file can be read, keeps both the file's and the run's records.
    added.blockCnt = 1;
    monitor.StoreRecord(added);
    std::vector<BlockRecord> stored;
    LoadRecordFile(path, stored);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].hash, 0xbb33ba5833df1fd7ull);
    EXPECT_EQ(stored[1].hash, 77u);
    EXPECT_FALSE(FileExists(path + L".bad"));
}

}  // namespace
}  // namespace winhush::monitor
