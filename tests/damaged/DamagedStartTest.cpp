// Winhush.exe started on damaged record files and a damaged rule database, in a data folder
// whose name holds Chinese characters and spaces: the program comes up, does not crash, and
// when it is closed the record file holds every record that was intact, with the original
// kept aside. The figures are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "TestSupport.h"
#include "base/Strings.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

using t::kMainWindowClass;
using t::kSuiteAppKey;
using t::kSuiteKey;

std::string Record(uint64_t hash, const std::string& caption = "广告 窗口") {
    return R"({"wndInfo": {"path": "C:\\程序 文件\\POP.EXE", "caption": ")" + caption +
           R"(", "class": "AdWnd", "rect.left": 0, "rect.top": 0, "rect.right": 300, "rect.bottom": 200,
              "style": -1946157056, "pos": 3}, "hash": )" +
           std::to_string(hash) + R"(, "name": "POP.EXE", "imagePath": "", "status": 1, "timeRecord": 1700000000,
              "timeBlock": 1700000000, "blockCnt": 3, "recordCnt": 0, "addType": 1})";
}

class DamagedStart : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = t::WinhushProcess::Exe();
        ASSERT_TRUE(t::FileExists(exe_));
        ASSERT_TRUE(t::NoWinhushRunning());
        previousData_ = t::RegGetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
        previousInstall_ = t::RegGetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath");
        data_ = root_ / L"数据 目录 (测试)\\";
        ASSERT_TRUE(::CreateDirectoryW(data_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((data_ + L"Winhush").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((data_ + L"db").c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW((root_ / L"套件 程序").c_str(), nullptr));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", data_));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", root_ / L"套件 程序\\"));
        ::DeleteFileW((exe_ + L".dmp").c_str());
    }
    void TearDown() override {
        if (previousData_) t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", *previousData_);
        else t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
        if (previousInstall_) t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", *previousInstall_);
        else t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath");
    }
    std::wstring LogPath() const { return data_ + L"Winhush\\WndMgrInfo.log"; }

    // Starts the program hidden, lets it run for a while, closes its main window. False when
    // it did not come up, crashed or had to be killed.
    bool RunOnce(std::string& problem) {
        t::ChildProcess child = t::ChildProcess::Start(exe_, L"-hide");
        if (!child.valid()) return problem = "not started", false;
        HWND main = t::WaitForWindow(kMainWindowClass, child.pid(), 30s);
        if (!main) return problem = "no main window", false;
        t::PumpFor(1500ms);
        if (!child.Running()) return problem = "ended by itself", false;
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        if (!child.WaitExit(15s)) {
            child.Kill();
            return problem = "did not end when closed", false;
        }
        if (t::FileExists(exe_ + L".dmp")) return problem = "crash dump written", false;
        return true;
    }

    t::ScopedTempDir root_;
    std::wstring data_;
    std::wstring exe_;
    std::optional<std::wstring> previousData_, previousInstall_;
};

TEST_F(DamagedStart, StartsOnDamagedFilesInAChineseFolderAndKeepsEveryIntactRecord) {
    const std::string good = Record(101) + ", " + Record(102) + ", " + Record(103);
    struct Input {
        const char* what;
        std::string records;
        std::string database;
        std::vector<uint64_t> intact;
    };
    const std::vector<Input> inputs = {
        {"byte-order mark, unsigned hash, NUL escape, bad byte",
         "\xEF\xBB\xBF[" + good + ", " + Record(13489330196894916567ull, "a\\u0000b\xFF") + "]", "\xEF\xBB\xBF{}",
         {101, 102, 103, 13489330196894916567ull}},
        {"cut in the last record", "[" + good + ", " + Record(104).substr(0, 90), "{\"winhsh\": {\"in_rule\": [",
         {101, 102, 103}},
        {"nested and garbage between records", "[" + Record(101) + ", " + std::string(100000, '[') + ", " +
                                                   Record(102) + ", \"x\", 17, " + Record(103) + "] trailing",
         "{\"winhsh\": " + std::string(200000, '{'), {101, 102, 103}},
        {"mistyped and out-of-range members",
         "[" + good + ", " + Record(104).replace(Record(104).find("\"status\": 1"), 11, "\"status\": 4294967297") +
             ", " + Record(105).replace(Record(105).find("\"pos\": 3"), 8, "\"pos\": \"3\"") + "]",
         "{\"winhsh\": {\"in_rule\": [{\"name\": 1, \"uninst_reg\": [], \"popup\": {}}], \"white_list\": 7}}",
         {101, 102, 103}},
        {"random bytes", "[" + good + ", " + std::string("\x01\x80{]}\"\\", 8) + "]",
         std::string("\x20\xff\x00\x00qarc\x01", 9), {101, 102, 103}},
    };
    int crashes = 0, lost = 0, intact = 0;
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.what);
        for (const wchar_t* kept : {L".bad", L".bad1", L".bad2"}) ::DeleteFileW((LogPath() + kept).c_str());
        ASSERT_TRUE(t::WriteFileBytes(LogPath(), input.records));
        ASSERT_TRUE(t::WriteFileBytes(data_ + L"db\\winhsh.db", input.database));
        std::string problem;
        if (!RunOnce(problem)) {
            ++crashes;
            ADD_FAILURE() << problem;
            continue;
        }
        std::vector<BlockRecord> stored;
        LoadResult result = LoadRecordFile(LogPath(), stored);
        EXPECT_FALSE(result.damaged) << "the program left a damaged file";
        EXPECT_EQ(t::ReadFileBytes(LogPath() + L".bad").value_or(""), input.records) << "original not kept aside";
        for (uint64_t hash : input.intact) {
            ++intact;
            bool found = std::any_of(stored.begin(), stored.end(), [&](const BlockRecord& r) { return r.hash == hash; });
            if (!found) {
                ++lost;
                ADD_FAILURE() << "record lost: " << hash;
            }
        }
    }
    std::printf("whole-program starts on damaged files in \"%s\": %zu inputs, %d crashes or hangs, %d of %d intact "
                "records lost\n",
                WideToUtf8(data_).c_str(), inputs.size(), crashes, lost, intact);
}

}  // namespace
}  // namespace winhush::monitor
