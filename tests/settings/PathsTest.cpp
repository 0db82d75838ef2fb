#include <gtest/gtest.h>

#include "TestSupport.h"
#include "settings/Paths.h"

using namespace winhush;
namespace t = winhush::test;

namespace {

class SuitePaths : public ::testing::Test {
protected:
    void SetUp() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKeyPath);
    }
    void TearDown() override { SetUp(); }
    t::ScopedTempDir temp;
};

TEST_F(SuitePaths, MissingValuesGiveNoPaths) {
    EXPECT_FALSE(GetSuiteDataPath().has_value());
    EXPECT_EQ(GetDataDirectory(), L"");
    EXPECT_FALSE(GetRuleDatabasePath().has_value());
    std::wstring dir = L"stale";
    EXPECT_FALSE(GetSuiteProgramDir(dir));
    EXPECT_EQ(dir, L"");

    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", L"");
    EXPECT_FALSE(GetSuiteDataPath().has_value()) << "an empty value is no path";
    t::RegSetDword(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", 1);
    EXPECT_FALSE(GetSuiteDataPath().has_value()) << "a DWORD is no path";
}

TEST_F(SuitePaths, TrailingBackslashMakesNoDifference) {
    std::wstring base = temp.path();  // ends with a backslash
    std::wstring bare = base.substr(0, base.size() - 1);
    for (const std::wstring& stored : {base, bare}) {
        t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", stored);
        t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKeyPath, L"InstallPath", stored);
        EXPECT_EQ(GetDataDirectory(), base + L"Winhush\\");
        EXPECT_EQ(GetRuleDatabasePath(), base + L"db\\winhsh.db");
        std::wstring programDir;
        EXPECT_TRUE(GetSuiteProgramDir(programDir));
        EXPECT_EQ(programDir, base + L"bin\\");
    }
}

TEST_F(SuitePaths, DataDirectoryIsCreatedOnceAndKeptWhenPresent) {
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", temp.path());
    std::wstring dir = temp.path() + L"Winhush\\";
    ASSERT_FALSE(t::FileExists(dir));
    EXPECT_EQ(GetDataDirectory(), dir);
    EXPECT_TRUE(t::FileExists(dir));
    ASSERT_TRUE(t::WriteFileBytes(dir + L"keep.txt", "x"));
    EXPECT_EQ(GetDataDirectory(), dir);
    EXPECT_TRUE(t::FileExists(dir + L"keep.txt"));

    // A suite data path whose parent does not exist cannot be created: no directory.
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", temp.path() + L"missing\\deeper");
    EXPECT_EQ(GetDataDirectory(), L"");
}

TEST_F(SuitePaths, OverlongOrUnterminatedValuesAreMissing) {
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", std::wstring(600, L'a'));
    EXPECT_FALSE(GetSuiteDataPath().has_value());
    const wchar_t raw[] = {L'C', L':', L'\\', L'x'};
    t::RegSetBinary(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", REG_SZ, raw, sizeof(raw));
    EXPECT_FALSE(GetSuiteDataPath().has_value());
    // Text after an embedded NUL is cut off.
    const wchar_t embedded[] = L"C:\\data\0junk";
    t::RegSetBinary(HKEY_LOCAL_MACHINE, kSuiteAppKeyPath, L"DataPath", REG_EXPAND_SZ, embedded, sizeof(embedded));
    EXPECT_EQ(GetSuiteDataPath(), L"C:\\data");
}

}  // namespace
