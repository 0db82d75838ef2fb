#include <gtest/gtest.h>

#include <jansson.h>

#include <chrono>
#include <optional>

#include "RulesTestSupport.h"
#include "base/Json.h"
#include "base/Strings.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "rules/RuleContainer.h"
#include "rules/SoftwareInventory.h"

using namespace winhush;
using namespace winhush::rules;
using winhush::monitor::BlockRecord;
namespace t = winhush::test;

namespace {

TEST(SimilarPath, SameFolderAndALongCommonStartOrSameLength) {
    EXPECT_TRUE(SimilarPath(L"C:\\APPS\\FOO\\FOO_V2.EXE", L"C:\\APPS\\FOO\\FOO_V1.EXE"));
    EXPECT_FALSE(SimilarPath(L"C:\\APPS\\FOO_2.0\\FOO.EXE", L"C:\\APPS\\FOO_1.0\\FOO.EXE"));
    EXPECT_TRUE(SimilarPath(L"C:\\APPS\\AB.EXE", L"C:\\APPS\\CD.EXE")) << "same length";
    EXPECT_FALSE(SimilarPath(L"C:\\APPS\\ABC1.EXE", L"C:\\APPS\\ABC22.EXE")) << "3 in common is not enough";
    EXPECT_TRUE(SimilarPath(L"C:\\APPS\\ABCD1.EXE", L"C:\\APPS\\ABCD22.EXE")) << "4 in common";
    EXPECT_FALSE(SimilarPath(L"c:\\apps\\x.exe", L"C:\\APPS\\X.EXE")) << "folders compare case-sensitively";
    EXPECT_TRUE(SimilarPath(L"NOFOLDER1.EXE", L"NOFOLDER2.EXE"));
}

// A record store of our own in a throwaway folder, with records for the carry-over.
class CarryOver : public ::testing::Test {
protected:
    t::ScopedTempDir dir;
    monitor::CWndMgr store;

    void SetUp() override { ASSERT_TRUE(store.InitWithDataDirectory(dir.path(), false)); }

    BlockRecord Record(const std::wstring& name, const std::wstring& path, int status,
                       const std::wstring& cls = L"FooAd", LONG width = 300, LONG height = 200) {
        BlockRecord r;
        r.name = name;
        r.window.path = path;
        r.window.className = cls;
        r.window.rect = {100, 100, 100 + width, 100 + height};
        r.status = status;
        r.addType = monitor::kAddedFromRuleList;
        r.hash = monitor::WindowKeyHash(r.window);
        return r;
    }
    PopupRule Rule(const std::wstring& name, const std::wstring& path, bool wildcard = true) {
        PopupRule rule;
        rule.displayName = name;
        rule.filePath = path;
        rule.className = L"FooAd";
        rule.width = 300;
        rule.height = 200;
        rule.hasWildcard = wildcard ? 1 : 0;
        return rule;
    }
    // Every stored record as "path status", in list order, from the record file itself.
    std::vector<std::string> Stored() {
        std::vector<std::string> out;
        UniqueJson root(json_load_file(WideToUtf8(store.logPath()).c_str(), 0, nullptr));
        size_t i;
        json_t* element;
        json_array_foreach(root.get(), i, element) {
            out.push_back(std::string(json_string_value(json_object_get(json_object_get(element, "wndInfo"), "path"))) +
                          " " + std::to_string(json_integer_value(json_object_get(element, "status"))));
        }
        return out;
    }
};

TEST_F(CarryOver, RenamedExecutableTakesTheDecisionAlong) {
    store.StoreRecord(Record(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V1.EXE", monitor::kStatusBlock));
    store.StoreRecord(Record(L"Foo tip", L"C:\\APPS\\FOO\\TIP_V1.EXE", monitor::kStatusAllowed));
    CarryOverWildcardRecords({Rule(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V2.EXE"),
                              Rule(L"Foo tip", L"C:\\APPS\\FOO\\TIP_V2.EXE")},
                             store);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"C:\\APPS\\FOO\\FOO_V2.EXE 1", "C:\\APPS\\FOO\\TIP_V2.EXE 2"}));

    std::vector<BlockRecord> records;
    ASSERT_TRUE(store.CopyRecords(0, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].hash, monitor::WindowKeyHash(L"C:\\APPS\\FOO\\FOO_V2.EXE", L"FooAd", 300, 200));
    EXPECT_EQ(records[0].name, L"Foo ad");
    EXPECT_EQ(records[0].addType, monitor::kAddedFromRuleList);
}

TEST_F(CarryOver, LeavesOtherFoldersUnsureMatchesAndRecordedWindowsAlone) {
    const std::vector<BlockRecord> records = {
        Record(L"Foo ad", L"C:\\APPS\\FOO_1.0\\FOO.EXE", monitor::kStatusBlock),      // other folder
        Record(L"Bar ad", L"C:\\APPS\\BAR\\BAR_V1.EXE", monitor::kStatusRecorded),    // only recorded
        Record(L"Baz ad", L"C:\\APPS\\BAZ\\BAZ_V1.EXE", monitor::kStatusBlock, L"Other"),  // other class
        Record(L"Qux ad", L"C:\\APPS\\QUX\\QUX_V1.EXE", monitor::kStatusBlock, L"FooAd", 301),  // other size
        Record(L"Other name", L"C:\\APPS\\ZED\\ZED_V1.EXE", monitor::kStatusBlock),  // name differs
        Record(L"Plain ad", L"C:\\APPS\\PLN\\PLN_V1.EXE", monitor::kStatusBlock),    // rule has no wildcard
        Record(L"Short", L"C:\\APPS\\S\\ABC1.EXE", monitor::kStatusBlock),           // names not similar
    };
    for (auto r : records) {
        r.recordCnt = 1;
        store.StoreRecord(r);
    }
    const std::vector<std::string> before = Stored();
    ASSERT_EQ(before.size(), records.size());
    CarryOverWildcardRecords({Rule(L"Foo ad", L"C:\\APPS\\FOO_2.0\\FOO.EXE"),
                              Rule(L"Bar ad", L"C:\\APPS\\BAR\\BAR_V2.EXE"),
                              Rule(L"Baz ad", L"C:\\APPS\\BAZ\\BAZ_V2.EXE"),
                              Rule(L"Qux ad", L"C:\\APPS\\QUX\\QUX_V2.EXE"),
                              Rule(L"Zed ad", L"C:\\APPS\\ZED\\ZED_V2.EXE"),
                              Rule(L"Plain ad", L"C:\\APPS\\PLN\\PLN_V2.EXE", false),
                              Rule(L"Short", L"C:\\APPS\\S\\ABC22.EXE")},
                             store);
    EXPECT_EQ(Stored(), before);
}

TEST_F(CarryOver, MovedRecordKeepsItsScreenshot) {
    // Regression: removing the old record deleted the picture the moved record still shows.
    const std::wstring picture = dir / L"FOO_V1.jpg";
    ASSERT_TRUE(t::WriteFileBytes(picture, "jpeg"));
    BlockRecord old = Record(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V1.EXE", monitor::kStatusBlock);
    old.imagePath = picture;
    store.StoreRecord(old);
    CarryOverWildcardRecords({Rule(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V2.EXE")}, store);
    std::vector<BlockRecord> records;
    ASSERT_TRUE(store.CopyRecords(0, records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].window.path, L"C:\\APPS\\FOO\\FOO_V2.EXE");
    EXPECT_EQ(records[0].imagePath, picture);
    EXPECT_TRUE(t::FileExists(picture));
}

TEST_F(CarryOver, ARecordMovesOnlyOnce) {
    // Regression: a second matching rule stored the old record's removal again, which put
    // it back into the list as a recorded window.
    store.StoreRecord(Record(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V1.EXE", monitor::kStatusBlock));
    CarryOverWildcardRecords({Rule(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V2.EXE"),
                              Rule(L"Foo ad", L"C:\\APPS\\FOO\\FOO_V3.EXE")},
                             store);
    EXPECT_EQ(Stored(), (std::vector<std::string>{"C:\\APPS\\FOO\\FOO_V2.EXE 1"}));
}

// --- The worker -------------------------------------------------------------------------

class AutoCheckRun : public ::testing::Test {
protected:
    t::ScopedSuiteDataPath data;
    t::ScopedTempDir recordDir;
    monitor::CWndMgr store;
    CAutoCheck check;

    void SetUp() override {
        ASSERT_TRUE(store.InitWithDataDirectory(recordDir.path(), false));
        check.recordStore = &store;
        ResetNewProgramCache();
    }
    void TearDown() override {
        StopAutoCheck(check);
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Winhush", L"InstSoftware");
        ResetNewProgramCache();
    }
    bool WaitDone() {
        return t::WaitUntil([&] { return check.done.load() == 1 && check.thread.load() == nullptr; },
                            std::chrono::seconds(20));
    }
};

TEST_F(AutoCheckRun, ResultIsWithheldUntilTheCheckEnds) {
    std::vector<PopupRule> out = {PopupRule{L"caller's"}};
    EXPECT_EQ(GetAutoCheckResult(out, check), 0);
    EXPECT_EQ(out.size(), 1u);
}

TEST_F(AutoCheckRun, FindsRulesCarriesRecordsOverAndAppendsCopies) {
    t::ScopedUninstallEntries entries;
    t::ScopedTempDir install;
    const std::wstring nameReg = t::UniqueName(L"Check");
    const std::wstring folder = install / L"Check";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(t::WriteFileBytes(folder + L"\\check_v2.exe", "MZ"));
    std::wstring key = entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg);
    t::RegSetString(HKEY_LOCAL_MACHINE, key, L"InstallDir", folder);
    ASSERT_TRUE(data.WriteDatabase(
        R"({"winhsh": {"in_rule": [{"name": "check", "uninst_reg": {"name_reg": ")" + WideToUtf8(nameReg) +
        R"(", "location": "InstallDir"}, "popup": [{"display_name": "Check ad", "file": "check_v*.exe",
           "class": "FooAd", "pos": "center", "width": 300, "height": 200}]}]}})"));

    const std::wstring newPath = ToUpper(folder + L"\\check_v2.exe");
    const std::wstring oldPath = ToUpper(folder + L"\\check_v1.exe");
    BlockRecord old;
    old.name = L"Check ad";
    old.window.path = oldPath;
    old.window.className = L"FooAd";
    old.window.rect = {0, 0, 300, 200};
    old.status = monitor::kStatusBlock;
    old.hash = monitor::WindowKeyHash(old.window);
    store.StoreRecord(old);

    ASSERT_TRUE(StartAutoCheck(check));
    ASSERT_TRUE(WaitDone());
    std::vector<PopupRule> out;
    ASSERT_EQ(GetAutoCheckResult(out, check), 1);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].filePath, newPath);
    EXPECT_EQ(out[0].hasWildcard, 1u);
    ASSERT_EQ(GetAutoCheckResult(out, check), 1);
    EXPECT_EQ(out.size(), 2u) << "a second call appends the list again";

    std::vector<BlockRecord> records;
    ASSERT_TRUE(store.CopyRecords(0, records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].window.path, newPath);
    EXPECT_EQ(records[0].status, monitor::kStatusBlock);
}

TEST_F(AutoCheckRun, WithoutADatabaseTheCheckEndsEmpty) {
    ASSERT_TRUE(StartAutoCheck(check));
    ASSERT_TRUE(WaitDone());
    std::vector<PopupRule> out;
    EXPECT_EQ(GetAutoCheckResult(out, check), 1);
    EXPECT_TRUE(out.empty());
}

// Regression: closing the program while the check parsed a large database ended the worker
// by force in the middle of the parse (holding the heap), and the process hung on exit.
TEST_F(AutoCheckRun, StoppingInsideTheParseOfALargeDatabaseNeedsNoForce) {
    // About 60 MB of rules for programs that are not installed: all of the time is parsing.
    std::string programs;
    const std::string filler(900, 'x');
    for (int i = 0; programs.size() < 60u * 1024 * 1024; ++i) {
        programs += std::string(i ? "," : "") + R"({"name": "p)" + std::to_string(i) +
                    R"(", "uninst_reg": {"name_reg": "WinhushNotInstalled)" + filler +
                    R"(", "location": "x"}, "popup": [{"display_name": "d", "file": "a.exe", "class": "c",
                    "pos": "center", "width": 1, "height": 1}]})";
    }
    const std::string document = R"({"winhsh": {"in_rule": [)" + programs + "]}}";
    std::optional<std::string> container = BuildContainer({{"winhsh", R"({"in_rule": [)" + programs + "]}"}});
    ASSERT_TRUE(container);
    programs.clear();
    const std::string* databases[] = {&document, &*container};
    for (const std::string* database : databases) {
        SCOPED_TRACE(database == &document ? "plain text" : "container");
        ASSERT_TRUE(data.WriteDatabase(*database));
        ASSERT_TRUE(StartAutoCheck(check));
        ::Sleep(300);
        ASSERT_EQ(check.done.load(), 0u) << "the parse ended before the stop: the database is too small to tell";
        const auto started = std::chrono::steady_clock::now();
        EXPECT_TRUE(StopAutoCheck(check)) << "the worker had to be ended by force";
        const auto elapsed = std::chrono::steady_clock::now() - started;
        EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
        EXPECT_EQ(check.thread.load(), nullptr);
    }
}

TEST_F(AutoCheckRun, StoppingEndsARunningCheckWithinASecond) {
    // Enough programs that the walk is still going when the stop arrives.
    std::string programs;
    for (int i = 0; i < 3000; ++i) {
        programs += std::string(i ? "," : "") + R"({"name": "p", "uninst_reg": {"name_reg": "microsoft", "path": "%CSIDL_WINDOWS%\\x)" +
                    std::to_string(i) + R"("}, "popup": [{"display_name": "d", "file": "a*.exe", "class": "c",
                    "pos": "center", "width": 1, "height": 1}]})";
    }
    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"in_rule": [)" + programs + "]}}"));
    ASSERT_TRUE(StartAutoCheck(check));
    EXPECT_TRUE(StartAutoCheck(check)) << "a second start while running does nothing";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(StopAutoCheck(check));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_EQ(check.done.load(), 1u);
    EXPECT_EQ(check.thread.load(), nullptr);
}

}  // namespace
