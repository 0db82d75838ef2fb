#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "base/Strings.h"
#include "rules/PopupRule.h"
#include "rules/SoftwareInventory.h"
#include "settings/SettingsStore.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

// A JSON string literal for a UTF-16 text.
std::string Quote(const std::wstring& text) {
    std::string out = "\"";
    for (char c : WideToUtf8(text)) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string Popup(const std::string& display, const std::string& file, const std::string& pos = "right_bottom",
                  const std::string& width = "300", const std::string& cls = "AdWnd") {
    return R"({"display_name": ")" + display + R"(", "file": ")" + file + R"(", "class": ")" + cls +
           R"(", "pos": ")" + pos + R"(", "width": )" + width + R"(, "height": 200})";
}

std::string Program(const std::wstring& nameReg, const std::string& locationKeys, const std::string& popups) {
    return R"({"name": "prog", "uninst_reg": {"name_reg": )" + Quote(nameReg) + ", " + locationKeys +
           R"(}, "popup": )" + popups + "}";
}

std::string Database(const std::vector<std::string>& programs) {
    std::string list;
    for (const auto& p : programs) list += (list.empty() ? "" : ", ") + p;
    return R"({"winhsh": {"in_rule": [)" + list + "]}}";
}

std::vector<std::wstring> Names(const std::vector<PopupRule>& rules) {
    std::vector<std::wstring> out;
    for (const auto& r : rules) out.push_back(r.displayName);
    return out;
}

class PopupRules : public ::testing::Test {
protected:
    t::ScopedSuiteDataPath data;
    t::ScopedUninstallEntries entries;
    t::ScopedTempDir install;

    void SetUp() override {
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware");
        ResetNewProgramCache();
    }
    void TearDown() override {
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware");
        ResetNewProgramCache();
    }

    // A program folder under the install root with the given files; its full path.
    std::wstring Folder(const std::wstring& name, const std::vector<std::wstring>& files) {
        std::wstring dir = install / name;
        ::CreateDirectoryW(dir.c_str(), nullptr);
        for (const auto& f : files) EXPECT_TRUE(t::WriteFileBytes(dir + L"\\" + f, "MZ"));
        return dir;
    }
    // An uninstall entry whose "InstallDir" names folder.
    std::wstring Entry(HKEY root, const std::wstring& uninstall, const std::wstring& subkey, const std::wstring& folder) {
        std::wstring path = entries.Add(root, uninstall, subkey);
        t::RegSetString(root, path, L"InstallDir", folder);
        return path;
    }
    std::vector<PopupRule> Load(const std::vector<std::string>& programs, int expectedResult = 1) {
        EXPECT_TRUE(data.WriteDatabase(Database(programs)));
        std::vector<PopupRule> rules = {PopupRule{L"stale"}};
        EXPECT_EQ(LoadPopupRules(nullptr, rules), expectedResult);
        return rules;
    }
};

TEST_F(PopupRules, OneInstallationGivesOneRulePerUsablePopup) {
    const std::wstring nameReg = t::UniqueName(L"Alpha");
    const std::wstring folder = Folder(L"Alpha", {L"alpha.exe", L"helper.exe"});
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder);
    const std::string popups = "[" + Popup("Alpha ad", "alpha.exe", "left_top", "300", "AlphaAdWnd") + ", " +
                               Popup("Real width", "alpha.exe", "center", "300.0") + ", " +
                               Popup("Missing exe", "gone.exe") + ", 42, " +
                               R"({"display_name": "No class", "file": "alpha.exe", "pos": "center", "width": 1, "height": 1}, )" +
                               Popup("Helper", "helper.exe", "Center") + "]";
    std::vector<PopupRule> rules = Load({Program(nameReg, R"("location": "InstallDir")", popups)});

    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"Alpha ad", L"Helper"}));
    EXPECT_EQ(rules[0].filePath, ToUpper(folder + L"\\alpha.exe"));
    EXPECT_EQ(rules[0].className, L"AlphaAdWnd");
    EXPECT_EQ(rules[0].position, 1);
    EXPECT_EQ(rules[0].width, 300);
    EXPECT_EQ(rules[0].height, 200);
    EXPECT_EQ(rules[0].hasWildcard, 0u);
    EXPECT_EQ(rules[1].filePath, ToUpper(folder + L"\\helper.exe"));
    EXPECT_EQ(rules[1].position, 0) << "\"Center\" is not \"center\"";
}

TEST_F(PopupRules, PositionNamesMapToCodes) {
    EXPECT_EQ(PositionFromName("left_top"), 1);
    EXPECT_EQ(PositionFromName("left_bottom"), 2);
    EXPECT_EQ(PositionFromName("center"), 3);
    EXPECT_EQ(PositionFromName("right_top"), 4);
    EXPECT_EQ(PositionFromName("right_bottom"), 5);
    EXPECT_EQ(PositionFromName("Center"), 0);
    EXPECT_EQ(PositionFromName(""), 0);
    EXPECT_EQ(PositionFromName("right_bottom "), 0);
}

TEST_F(PopupRules, UnusableProgramElementsAreSkipped) {
    const std::wstring nameReg = t::UniqueName(L"Beta");
    const std::wstring folder = Folder(L"Beta", {L"beta.exe"});
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder);
    const std::string popups = "[" + Popup("Beta ad", "beta.exe") + "]";
    const std::string location = R"("location": "InstallDir")";
    std::vector<PopupRule> rules = Load({
        Program(L"", location, popups),                                          // empty name_reg
        R"({"name": "x", "uninst_reg": {"name_reg": "Beta"}, "popup": {"a": 1}})",  // popup is an object
        R"({"uninst_reg": {"name_reg": "x"}, "popup": []})",                      // no name
        R"({"name": "x", "uninst_reg": "Beta", "popup": []})",                   // uninst_reg not an object
        R"({"name": "x", "uninst_reg": {"name_reg": 5}, "popup": []})",          // name_reg not a string
        "null", "[]", "\"text\"",
        Program(nameReg + L"NotInstalled", location, popups),  // no uninstall entry
        Program(nameReg, location, popups),                     // the one usable element
    });
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"Beta ad"}));
}

TEST_F(PopupRules, NoRuleSectionGivesZeroAndAnEmptyList) {
    std::vector<PopupRule> rules = {PopupRule{L"stale"}};
    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"in_rule": {"not": "an array"}}})"));
    EXPECT_EQ(LoadPopupRules(nullptr, rules), 0);
    EXPECT_TRUE(rules.empty());
    ASSERT_TRUE(data.WriteDatabase("garbage"));
    EXPECT_EQ(LoadPopupRules(nullptr, rules), 0);
    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"in_rule": []}})"));
    EXPECT_EQ(LoadPopupRules(nullptr, rules), 1);
    EXPECT_TRUE(rules.empty());
}

TEST_F(PopupRules, TwoEntriesOnOneFolderGiveEachPopupOnce) {
    const std::wstring nameReg = t::UniqueName(L"Gamma");
    const std::wstring folder = Folder(L"Gamma", {L"gamma.exe"});
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder);
    Entry(HKEY_CURRENT_USER, kNativeUninstallPath, nameReg, folder);
    std::vector<PopupRule> rules = Load({Program(nameReg, R"("location": "InstallDir")",
                                                 "[" + Popup("Gamma ad", "gamma.exe") + "]")});
    EXPECT_EQ(Names(rules), (std::vector<std::wstring>{L"Gamma ad"}));
}

TEST_F(PopupRules, TwoInstallationsInDifferentFoldersAreToldApartBySuffix) {
    const std::wstring nameReg = t::UniqueName(L"Delta");
    const std::wstring folder64 = Folder(L"Delta64", {L"delta.exe"});
    const std::wstring folder32 = Folder(L"Delta32", {L"delta.exe"});
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder64);
    Entry(HKEY_LOCAL_MACHINE, kWow6432UninstallPath, nameReg, folder32);
    const std::string program =
        Program(nameReg, R"("location": "InstallDir")",
                "[" + Popup("Delta ad", "delta.exe") + ", " + Popup("Delta tip", "delta.exe") + "]");
    std::vector<PopupRule> rules = Load({program});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"Delta ad(64位)", L"Delta tip(64位)", L"Delta ad(32位)",
                                                       L"Delta tip(32位)"}));
    EXPECT_EQ(rules[0].filePath, ToUpper(folder64 + L"\\delta.exe"));
    EXPECT_EQ(rules[2].filePath, ToUpper(folder32 + L"\\delta.exe"));

    // When the second folder is gone, the first installation is the only one: no suffix.
    t::DeleteTree(folder32);
    rules = Load({program});
    EXPECT_EQ(Names(rules), (std::vector<std::wstring>{L"Delta ad", L"Delta tip"}));
}

TEST_F(PopupRules, ThreeEntriesGiveSuffixedRulesForEachExistingFolder) {
    const std::wstring nameReg = t::UniqueName(L"Epsilon");
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, Folder(L"E1", {L"e.exe"}));
    Entry(HKEY_CURRENT_USER, kNativeUninstallPath, nameReg, install / L"Missing");
    Entry(HKEY_LOCAL_MACHINE, kWow6432UninstallPath, nameReg, Folder(L"E3", {L"e.exe"}));
    std::vector<PopupRule> rules =
        Load({Program(nameReg, R"("location": "InstallDir")", "[" + Popup("E ad", "e.exe") + "]")});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"E ad(64位)", L"E ad(32位)"}));
    EXPECT_EQ(rules[0].filePath, ToUpper(install / L"E1\\e.exe"));
    EXPECT_EQ(rules[1].filePath, ToUpper(install / L"E3\\e.exe"));
}

TEST_F(PopupRules, WildcardsMarkLaterPopupsOfTheSameProgram) {
    const std::wstring nameReg = t::UniqueName(L"Zeta");
    const std::wstring folder = Folder(L"Zeta", {L"plain.exe", L"zeta_v2.exe", L"after.exe"});
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder);
    const std::string popups = "[" + Popup("plain", "plain.exe") + ", " + Popup("wild", "zeta_*.exe") + ", " +
                               Popup("after", "after.exe") + "]";
    std::vector<PopupRule> rules = Load({Program(nameReg, R"("location": "InstallDir")", popups)});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"plain", L"wild", L"after"}));
    EXPECT_EQ(rules[0].hasWildcard, 0u);
    EXPECT_EQ(rules[1].hasWildcard, 1u);
    EXPECT_EQ(rules[1].filePath, ToUpper(folder + L"\\zeta_v2.exe"));
    EXPECT_EQ(rules[2].hasWildcard, 1u);

    // A '*' in the install folder marks every pop-up of the program.
    const std::wstring etaReg = t::UniqueName(L"Eta");
    Folder(L"Eta_3.1", {L"eta.exe"});
    entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, etaReg);
    rules = Load({Program(etaReg, R"("path": )" + Quote(install / L"ETA_*"),
                          "[" + Popup("eta", "eta.exe") + "]")});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"eta"}));
    EXPECT_EQ(rules[0].hasWildcard, 1u);
    EXPECT_EQ(rules[0].filePath, ToUpper(install / L"Eta_3.1\\eta.exe"));
}

TEST_F(PopupRules, PathsAreUpperCaseWhereverTheirPartsWereFound) {
    // A '*' standing for a folder inside "file": the walk brings the folder's name back as
    // stored, yet the rule's path must be upper case like every executable path.
    const std::wstring nameReg = t::UniqueName(L"Theta");
    const std::wstring folder = Folder(L"Theta", {});
    ::CreateDirectoryW((folder + L"\\Sub_v2").c_str(), nullptr);
    ASSERT_TRUE(t::WriteFileBytes(folder + L"\\Sub_v2\\Pop.exe", "MZ"));
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, nameReg, folder);
    std::vector<PopupRule> rules = Load({Program(nameReg, R"("location": "InstallDir")",
                                                 "[" + Popup("nested", "sub_*\\\\pop.exe") + "]")});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"nested"}));
    EXPECT_EQ(rules[0].filePath, ToUpper(folder + L"\\Sub_v2\\Pop.exe"));
    EXPECT_EQ(rules[0].hasWildcard, 1u);

    // A folder found through "location_obj" (upper case by definition) is looked up in the
    // case the registry gives; the rules are the same either way.
    const std::wstring iotaReg = t::UniqueName(L"Iota");
    const std::wstring iota = Folder(L"Iota Mixed", {L"Iota.exe"});
    const std::wstring path = entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, iotaReg);
    t::RegSetString(HKEY_LOCAL_MACHINE, path, L"UninstallString", L"\"" + iota + L"\\Uninst.exe\" /S");
    rules = Load({Program(iotaReg,
                          R"("location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 0})",
                          "[" + Popup("iota", "iota.exe") + ", " + Popup("gone", "gone.exe") + "]")});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"iota"}));
    EXPECT_EQ(rules[0].filePath, ToUpper(iota + L"\\Iota.exe"));
}

TEST_F(PopupRules, FirstSightingIsAnnouncedOnceAndStaysNewForTheRun) {
    const std::wstring a = t::UniqueName(L"Theta");
    const std::wstring b = t::UniqueName(L"Iota");
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, a, Folder(L"Theta", {L"t.exe"}));
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, b, Folder(L"Iota", {L"i.exe"}));
    const std::vector<std::string> programs = {
        Program(a, R"("location": "InstallDir")", "[" + Popup("t1", "t.exe") + ", " + Popup("t2", "t.exe") + "]"),
        Program(b, R"("location": "InstallDir")", "[" + Popup("i1", "i.exe") + "]")};
    const std::wstring expected = L".[" + a + L"][" + b + L"]";

    std::vector<PopupRule> rules = Load(programs);
    ASSERT_EQ(rules.size(), 3u);
    for (const auto& r : rules) EXPECT_EQ(r.isNew, 1u) << WideToUtf8(r.displayName);
    DWORD type = 0;
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware", &type), expected);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));

    // Later loads of the same run still offer them as new and add nothing.
    rules = Load(programs);
    for (const auto& r : rules) EXPECT_EQ(r.isNew, 1u) << WideToUtf8(r.displayName);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware"), expected);

    // The next run knows them.
    ResetNewProgramCache();
    rules = Load(programs);
    for (const auto& r : rules) EXPECT_EQ(r.isNew, 0u) << WideToUtf8(r.displayName);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware"), expected);
}

TEST_F(PopupRules, KnownProgramsAreNotNewAndOnlyNewTagsAreAppended) {
    const std::wstring a = t::UniqueName(L"Kappa");
    const std::wstring b = t::UniqueName(L"Lambda");
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, a, Folder(L"Kappa", {L"k.exe"}));
    Entry(HKEY_LOCAL_MACHINE, kNativeUninstallPath, b, Folder(L"Lambda", {L"l.exe"}));
    const std::wstring stored = L".[Other][" + a + L"]";
    ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware", stored, REG_MULTI_SZ));
    std::vector<PopupRule> rules =
        Load({Program(a, R"("location": "InstallDir")", "[" + Popup("k", "k.exe") + "]"),
              Program(b, R"("location": "InstallDir")", "[" + Popup("l", "l.exe") + "]")});
    ASSERT_EQ(Names(rules), (std::vector<std::wstring>{L"k", L"l"}));
    EXPECT_EQ(rules[0].isNew, 0u);
    EXPECT_EQ(rules[1].isNew, 1u);
    EXPECT_EQ(t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware"), stored + L"[" + b + L"]");
}

}  // namespace
