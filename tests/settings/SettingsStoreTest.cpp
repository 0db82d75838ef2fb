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
    }
    void TearDown() override {
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kKey);
        ResetInstSoftwareCache();
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

namespace {

UniqueHKey OpenReadOnly() {
    UniqueHKey key;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_64KEY, key.put());
    return key;
}

TEST_F(SettingsStore, MistypedFlagsAreRewrittenAsDwordDefaults) {
    ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kKey, kBlock, L"0"));
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, kHideTray, 5));
    UniqueHKey key = OpenSettingsKey(true);
    EXPECT_EQ(ReadFlag(key.get(), kBlock), 1u);
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, kBlock), 1u) << "a string value must become REG_DWORD 1";
    EXPECT_EQ(ReadFlag(key.get(), kHideTray), 1u) << "any non-zero DWORD reads as on";
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, kHideTray), 5u) << "a valid value is left as stored";
}

TEST_F(SettingsStore, ReadOnlyOrMissingKeyAnswersDefaultsWithoutWriting) {
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, L"Other", 1));  // the key exists, the values do not
    UniqueHKey key = OpenReadOnly();
    ASSERT_TRUE(key);
    EXPECT_EQ(ReadFlag(key.get(), kHideTray), 0u);
    EXPECT_EQ(ReadFlag(key.get(), kAutoCheck), 1u);
    EXPECT_EQ(ReadBlockCount(key.get()), 0u);
    int k1, k2, k3;
    EXPECT_EQ(ReadHotkey(key.get(), kMainShortcut, k1, k2, k3), 3);
    EXPECT_FALSE(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, kHideTray).has_value());
    EXPECT_FALSE(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kMainShortcut).has_value());

    // A null key (the settings key could not be opened at all) behaves the same.
    EXPECT_EQ(ReadFlag(nullptr, kBlock), 1u);
    EXPECT_EQ(ReadFlag(nullptr, kHideTray), 0u);
    EXPECT_EQ(ReadBlockCount(nullptr), 0u);
    EXPECT_EQ(ReadHotkey(nullptr, kLocateShortcut, k1, k2, k3), 3);
    EXPECT_EQ(k3, 65);
    WriteDword(nullptr, kBlock, 0);          // ignored, no crash
    WriteHotkey(nullptr, kMainShortcut, 1, 2, 3);
}

TEST_F(SettingsStore, BlockCountIsReturnedUnreduced) {
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, kBlockCount, 7));
    UniqueHKey key = OpenSettingsKey(true);
    EXPECT_EQ(ReadBlockCount(key.get()), 7u);
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, kBlockCount, 0xFFFFFFFFu));
    EXPECT_EQ(ReadBlockCount(key.get()), 0xFFFFFFFFu);
    ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kKey, kBlockCount, L"12"));
    EXPECT_EQ(ReadBlockCount(key.get()), 0u);
    EXPECT_EQ(t::RegGetDword(HKEY_LOCAL_MACHINE, kKey, kBlockCount), 0u);
}

struct HotkeyCase {
    const wchar_t* text;
    int count, k1, k2, k3;
};

TEST(HotkeyText, ParsesCodesAndCountsThoseThatAreSet) {
    const HotkeyCase cases[] = {
        {L"18,16,65", 3, 18, 16, 65}, {L"17,-1,65", 2, 17, -1, 65}, {L"-1,-1,-1", 0, -1, -1, -1},
        {L"A,16,65", 0, -1, -1, -1},  {L"", 0, -1, -1, -1},         {L"18", 1, 18, -1, -1},
        {L"18,16", 2, 18, 16, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.text));
        int k1 = 99, k2 = 99, k3 = 99;
        EXPECT_EQ(ParseHotkeyText(c.text, k1, k2, k3), c.count);
        EXPECT_EQ(k1, c.k1);
        EXPECT_EQ(k2, c.k2);
        EXPECT_EQ(k3, c.k3);
    }
}

TEST_F(SettingsStore, HotkeyTextIsValidatedBeforeUse) {
    UniqueHKey key = OpenSettingsKey(true);
    int k1, k2, k3;
    t::RegSetString(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut, L"17,-1,65");
    EXPECT_EQ(ReadHotkey(key.get(), kLocateShortcut, k1, k2, k3), 2);
    EXPECT_EQ(k1, 17);
    EXPECT_EQ(k2, -1);

    // Unterminated data (no NUL inside the stored bytes) is not trusted.
    // The registry itself adds a NUL when the character after the data is one, so the byte
    // after the stored text must not be.
    const wchar_t raw[] = L"17,16,66X";
    t::RegSetBinary(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut, REG_SZ, raw, 8 * sizeof(wchar_t));
    EXPECT_EQ(ReadHotkey(key.get(), kLocateShortcut, k1, k2, k3), 3);
    EXPECT_EQ(k1, 18);
    EXPECT_EQ(k3, 65);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kLocateShortcut), L"18,16,65");

    t::RegSetDword(HKEY_LOCAL_MACHINE, kKey, kMainShortcut, 5);
    EXPECT_EQ(ReadHotkey(key.get(), kMainShortcut, k1, k2, k3), 3);
    EXPECT_EQ(k3, 90);

    WriteHotkey(key.get(), kMainShortcut, 17, -1, 77);
    DWORD type = 0;
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kMainShortcut, &type), L"17,-1,77");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST_F(SettingsStore, InstSoftwareAppendsEachNameOnceAsMultiString) {
    UniqueHKey key = OpenSettingsKey(true);
    EXPECT_EQ(ReadInstSoftware(key.get()), L".");
    EXPECT_TRUE(AppendInstSoftware(key.get(), L"foo"));
    EXPECT_TRUE(AppendInstSoftware(key.get(), L"foo"));
    EXPECT_TRUE(AppendInstSoftware(key.get(), L"bar"));
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kInstSoftware), L".[foo][bar]");

    // Written without terminating NULs: twice the character count. The registry may add
    // one NUL of its own because the text in memory is followed by one.
    HKEY raw = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_64KEY, &raw), ERROR_SUCCESS);
    DWORD type = 0, bytes = 0;
    ASSERT_EQ(::RegQueryValueExW(raw, kInstSoftware, nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
    ::RegCloseKey(raw);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_TRUE(bytes == 11u * sizeof(wchar_t) || bytes == 12u * sizeof(wchar_t)) << bytes;

    // The text read first stays for the whole run, so programs announced in it stay new...
    EXPECT_EQ(ReadInstSoftware(key.get()), L".");
    EXPECT_EQ(ReadInstSoftware(), L".");
    // ...and the next run starts from the stored text.
    ResetInstSoftwareCache();
    EXPECT_EQ(ReadInstSoftware(), L".[foo][bar]");

    // Appends go to the stored value, also when another writer changed it meanwhile.
    t::RegSetString(HKEY_LOCAL_MACHINE, kKey, kInstSoftware, L".[other]", REG_MULTI_SZ);
    EXPECT_TRUE(AppendInstSoftware(key.get(), L"baz"));
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kKey, kInstSoftware), L".[other][baz]");
    EXPECT_FALSE(AppendInstSoftware(nullptr, L"baz"));
}

}  // namespace
