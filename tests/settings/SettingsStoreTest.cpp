#include <gtest/gtest.h>

#include "TestSupport.h"
#include "base/Strings.h"
#include "settings/SettingsStore.h"

using namespace winhush;
using namespace winhush::settings;
namespace t = winhush::test;

namespace {

constexpr wchar_t kKey[] = L"SOFTWARE\\Zelvane\\Winhush";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
        ResetInstSoftwareCache();
        SetAutoRunTaskHooks({});
    }
    void TearDown() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
        ResetInstSoftwareCache();
        SetAutoRunTaskHooks({});
    }
};

struct FlagCase {
    const wchar_t* name;
    DWORD expected;
};

TEST_F(SettingsStore, FirstWritableOpenCreatesTheKeyAndEveryFlagItsDefault) {
    ASSERT_FALSE(t::RegKeyExists(HKEY_LOCAL_MACHINE, kKey));
    UniqueHKey key = OpenSettingsKey(true);
    ASSERT_TRUE(key);
    EXPECT_TRUE(t::RegKeyExists(HKEY_LOCAL_MACHINE, kKey));

    const FlagCase cases[] = {{kBlock, 1},     {kIconTip, 1},  {kAutoRun, 1},          {kScanSoftware, 1},
                              {kAutoCheck, 1}, {kHideTray, 0}, {kIsLocateShortcut, 1}, {kIsMainShortcut, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << WideToUtf8(c.name));
        EXPECT_EQ(ReadFlag(key.get(), c.name), c.expected);
        EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, c.name), c.expected);
    }
    EXPECT_EQ(ReadBlockCount(key.get()), 0u);
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, kBlockCount), 0u);

    int k1, k2, k3;
    EXPECT_EQ(ReadHotkey(key.get(), kLocateShortcut, k1, k2, k3), 3);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut), L"18,16,65");
    EXPECT_EQ(ReadHotkey(key.get(), kMainShortcut, k1, k2, k3), 3);
    EXPECT_EQ(k3, 90);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kMainShortcut), L"18,16,90");
    EXPECT_EQ(ReadInstSoftware(key.get()), L".");
}
}  // namespace
