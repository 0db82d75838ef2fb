#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "RulesTestSupport.h"
#include "base/Json.h"
#include "base/Strings.h"
#include "rules/InstallLocation.h"
#include "rules/SoftwareInventory.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

const SoftwareEntry* Find(const std::vector<SoftwareEntry>& list, HKEY root, const std::wstring& keyPath) {
    for (const auto& e : list)
        if (e.rootKey == root && e.keyPath == keyPath) return &e;
    return nullptr;
}

class Inventory : public ::testing::Test {
protected:
    t::ScopedUninstallEntries entries;
    std::wstring Add(const std::wstring& suffix, HKEY root = HKEY_LOCAL_MACHINE,
                     const std::wstring& uninstall = kNativeUninstallPath) {
        return entries.Add(root, uninstall, t::UniqueName(suffix));
    }
    bool Listed(const std::wstring& keyPath, HKEY root = HKEY_LOCAL_MACHINE) {
        std::vector<SoftwareEntry> list;
        CollectInstalledSoftware(list);
        return Find(list, root, keyPath) != nullptr;
    }
};

TEST_F(Inventory, AppliesEveryFilterInTheRegistry) {
    struct Case {
        const wchar_t* suffix;
        bool listed;
        std::wstring keyPath;
    };
    std::vector<Case> cases;
    auto add = [&](const wchar_t* suffix, bool listed) {
        cases.push_back({suffix, listed, Add(suffix)});
        return cases.back().keyPath;
    };
    const HKEY hklm = HKEY_LOCAL_MACHINE;

    add(L"Plain", true);
    t::RegSetDword(hklm, add(L"SystemComponent", false), L"SystemComponent", 1);
    t::RegSetString(hklm, add(L"SystemComponentText", true), L"SystemComponent", L"1");
    t::RegSetDword(hklm, add(L"SystemComponentZero", true), L"SystemComponent", 0);
    t::RegSetString(hklm, add(L"ParentKey", false), L"ParentKeyName", L"Office");
    t::RegSetString(hklm, add(L"ParentKeyExpand", false), L"ParentKeyName", L"x", REG_EXPAND_SZ);
    t::RegSetDword(hklm, add(L"ParentKeyDword", true), L"ParentKeyName", 1);
    t::RegSetString(hklm, add(L"ServicePack", false), L"ReleaseType", L"service pack");
    t::RegSetString(hklm, add(L"Hotfix", true), L"ReleaseType", L"Hotfix");
    {
        std::wstring k = add(L"EmptyDisplayName", false);
        t::RegSetString(hklm, k, L"DisplayName", L"");
        t::RegSetString(hklm, k, L"DisplayName1", L"Shown");
    }
    {
        std::wstring k = add(L"OnlyDisplayName1", true);
        t::RegDeleteValueAt(hklm, k, L"DisplayName");
        t::RegSetString(hklm, k, L"DisplayName1", L"Shown");
    }
    t::RegSetDword(hklm, add(L"DisplayNameDword", false), L"DisplayName", 7);
    {
        // Stored without its terminating NUL: unreadable, so the entry has no name. The
        // character after the data is not NUL, else the system counts it in by itself.
        std::wstring k = add(L"DisplayNameUnterminated", false);
        const wchar_t text[] = {L'A', L'B', L'C', L'D'};
        t::RegSetBinary(hklm, k, L"DisplayName", REG_SZ, text, 3 * sizeof(wchar_t));
    }
    t::RegSetString(hklm, add(L"DisplayNameTooLong", false), L"DisplayName", std::wstring(5000, L'n'));
    t::RegDeleteValueAt(hklm, add(L"NoUninstallString", false), L"UninstallString");
    t::RegSetString(hklm, add(L"EmptyUninstallString", false), L"UninstallString", L"");
    auto msi = [&](const wchar_t* suffix, bool listed, const wchar_t* command, DWORD installer = 1) {
        std::wstring k = add(suffix, listed);
        t::RegSetDword(hklm, k, L"WindowsInstaller", installer);
        t::RegSetString(hklm, k, L"UninstallString", command);
    };
    msi(L"MsiNoBraces", false, L"MsiExec.exe /I");
    msi(L"MsiProductCode", true, L"MsiExec.exe /X{12345678-ABCD-EF00-0000-000000000000}");
    msi(L"MsiOpenBraceOnly", false, L"MsiExec.exe /X{12345678");
    msi(L"MsiCloseBeforeOpen", false, L"MsiExec.exe } /X{1234");
    msi(L"MsiExpanded", false, L"%SystemRoot%\\system32\\MSIEXEC.EXE /x");
    msi(L"NotInstallerEntry", true, L"MsiExec.exe /I", 0);
    msi(L"InstallerOwnUninstaller", true, L"C:\\Foo\\uninst.exe");

    std::vector<SoftwareEntry> list;
    size_t count = CollectInstalledSoftware(list);
    EXPECT_EQ(count, list.size());
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.suffix));
        const SoftwareEntry* e = Find(list, HKEY_LOCAL_MACHINE, c.keyPath);
        EXPECT_EQ(e != nullptr, c.listed);
        if (e) {
            EXPECT_EQ(e->fromWow6432Node, 0u);
        }
    }
}

TEST_F(Inventory, ReadsBothRootsAndBothViewsInOrder) {
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    if (info.dwProcessorType != 8664) GTEST_SKIP() << "the WOW6432Node keys are read on x64 systems only";

    const std::wstring name = t::UniqueName(L"Twice");
    const std::wstring native = entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, name);
    entries.Add(HKEY_CURRENT_USER, kNativeUninstallPath, name);
    const std::wstring wow = entries.Add(HKEY_LOCAL_MACHINE, kWow6432UninstallPath, name);
    entries.Add(HKEY_CURRENT_USER, kWow6432UninstallPath, name);
    EXPECT_EQ(native, std::wstring(L"software\\microsoft\\windows\\currentversion\\uninstall\\") + name);

    std::vector<SoftwareEntry> list;
    list.push_back({L"kept", HKEY_CURRENT_USER, 0});  // appends, never clears
    CollectInstalledSoftware(list);
    EXPECT_EQ(list.front().keyPath, L"kept");
    std::vector<std::pair<HKEY, uint32_t>> found;
    for (const auto& e : list) {
        if (e.keyPath.size() >= name.size() && e.keyPath.compare(e.keyPath.size() - name.size(), name.size(), name) == 0) {
            found.emplace_back(e.rootKey, e.fromWow6432Node);
            EXPECT_EQ(e.keyPath, e.fromWow6432Node ? wow : native);
        }
    }
    const std::vector<std::pair<HKEY, uint32_t>> expected = {
        {HKEY_LOCAL_MACHINE, 0}, {HKEY_CURRENT_USER, 0}, {HKEY_LOCAL_MACHINE, 1}, {HKEY_CURRENT_USER, 1}};
    EXPECT_EQ(found, expected);
}

// --- Install location -------------------------------------------------------------------

class Location : public ::testing::Test {
protected:
    t::ScopedUninstallEntries entries;
    SoftwareEntry entry;

    void SetUp() override {
        entry.rootKey = HKEY_LOCAL_MACHINE;
        entry.keyPath = entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, t::UniqueName(L"Location"));
    }
    void SetValue(const wchar_t* name, const std::wstring& value) {
        t::RegSetString(HKEY_LOCAL_MACHINE, entry.keyPath, name, value);
    }
    // The resolved folder, or "(failed)".
    std::wstring Resolve(const char* uninstReg) {
        UniqueJson json(json_loads(uninstReg, 0, nullptr));
        EXPECT_TRUE(json) << uninstReg;
        std::wstring out = L"(untouched)";
        return ResolveInstallLocation(entry, json.get(), out) ? out : L"(failed)";
    }
};

TEST_F(Location, FromANamedUninstallValue) {
    SetValue(L"InstallDir", L"D:\\Apps\\Foo");
    EXPECT_EQ(Resolve(R"({"location": "InstallDir"})"), L"D:\\Apps\\Foo\\");
    SetValue(L"InstallDir", L"D:\\Apps\\Foo\\");
    EXPECT_EQ(Resolve(R"({"location": "InstallDir"})"), L"D:\\Apps\\Foo\\");
    SetValue(L"InstallDir", L"%ProgramFiles%\\Foo");
    EXPECT_EQ(Resolve(R"({"location": "InstallDir"})"), L"%ProgramFiles%\\Foo\\") << "never expanded";

    EXPECT_EQ(Resolve(R"({"location": "NoSuchValue", "path": "C:\\Foo"})"), L"(failed)") << "no fallback";
    EXPECT_EQ(Resolve(R"({"location": "", "path": "C:\\Foo"})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"location": 5, "path": "C:\\Foo"})"), L"(failed)");
    SetValue(L"Empty", L"");
    EXPECT_EQ(Resolve(R"({"location": "Empty"})"), L"(failed)");
    SetValue(L"Long", std::wstring(600, L'x'));
    EXPECT_EQ(Resolve(R"({"location": "Long"})"), L"(failed)");
    t::RegSetDword(HKEY_LOCAL_MACHINE, entry.keyPath, L"Number", 3);
    EXPECT_EQ(Resolve(R"({"location": "Number"})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({})"), L"(failed)");
    EXPECT_EQ(Resolve(R"([])"), L"(failed)");

    entry.keyPath += L"Gone";
    SetValue(L"InstallDir", L"D:\\X");  // creates the key; remove it again
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, entry.keyPath);
    EXPECT_EQ(Resolve(R"({"path": "C:\\Foo"})"), L"(failed)") << "the uninstall entry must open";
}

TEST_F(Location, FromAMarkerInsideAValue) {
    SetValue(L"UninstallString", L"\"C:\\Program Files\\Foo\\uninst.exe\" /S");
    const char* byLevel[] = {
        R"({"location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 0}})",
        R"({"location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 1}})",
        R"({"location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 2}})",
        R"({"location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 9}})",
        R"({"location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": -1}})",
    };
    EXPECT_EQ(Resolve(byLevel[0]), L"C:\\PROGRAM FILES\\FOO\\");
    EXPECT_EQ(Resolve(byLevel[1]), L"C:\\PROGRAM FILES\\");
    EXPECT_EQ(Resolve(byLevel[2]), L"C:\\");
    EXPECT_EQ(Resolve(byLevel[3]), L"C:\\");
    EXPECT_EQ(Resolve(byLevel[4]), L"C:\\PROGRAM FILES\\FOO\\");

    const char* marker = R"({"location_obj": {"find_string": "Text", "find_value": "\\uninst", "back_level": 0}})";
    SetValue(L"Text", L"\\uninst.exe");
    EXPECT_EQ(Resolve(marker), L"(failed)") << "marker at the very start";
    SetValue(L"Text", L"Foo\\Bar\\uninst.exe");
    EXPECT_EQ(Resolve(marker), L"FOO\\BAR\\") << "no drive: everything before the marker";
    SetValue(L"Text", L":\\Foo\\uninst.exe");
    EXPECT_EQ(Resolve(marker), L"(failed)") << "\":\\\" at the start";
    SetValue(L"Text", L"x\\uninst.exe");
    EXPECT_EQ(Resolve(marker), L"(failed)") << "one character left";
    SetValue(L"Text", L"C:\\Foo\\setup.exe");
    EXPECT_EQ(Resolve(marker), L"(failed)") << "marker missing";

    EXPECT_EQ(Resolve(R"({"location_obj": {"find_string": "Text", "find_value": "\\uninst"}})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"location_obj": {"find_string": "", "find_value": "x", "back_level": 0}})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"location_obj": {"find_string": "Text", "find_value": "", "back_level": 0}})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"location_obj": {"find_string": "Nope", "find_value": "x", "back_level": 0}})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"location_obj": "not an object", "path": "C:\\Fallback"})"), L"C:\\Fallback\\")
        << "a location_obj that is not an object leaves the decision to path";
}

TEST_F(Location, FromAPathTemplate) {
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(Resolve(R"({"path": "%CSIDL_PROGRAM_FILES%\\Foo"})"), std::wstring(programFiles) + L"\\Foo\\");
    EXPECT_EQ(Resolve(R"({"path": "%csidl_program_files%\\Foo"})"), L"(failed)");
    ::SetEnvironmentVariableW(L"csidl_program_files", L"E:\\Lower");
    EXPECT_EQ(Resolve(R"({"path": "%csidl_program_files%\\Foo"})"), L"E:\\Lower\\Foo\\");
    ::SetEnvironmentVariableW(L"csidl_program_files", nullptr);

    wchar_t env[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles", env, MAX_PATH), 0u);
    EXPECT_EQ(Resolve(R"({"path": "%ProgramFiles%\\Foo"})"), std::wstring(env) + L"\\Foo\\");
    EXPECT_EQ(Resolve(R"({"path": "%NOSUCHVAR_WINHUSH%\\Foo"})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"path": "%ProgramFiles%\\%NOSUCHVAR_WINHUSH%"})"), L"(failed)") << "partly resolved";
    EXPECT_EQ(Resolve(R"({"path": "C:\\Foo\\%%\\Bar"})"), L"C:\\Foo\\%%\\Bar\\");
    EXPECT_EQ(Resolve(R"({"path": "C:\\Foo\\50%"})"), L"C:\\Foo\\50%\\");
    EXPECT_EQ(Resolve(R"({"path": "C:\\A\\B\\..\\C"})"), L"C:\\A\\C\\");
    EXPECT_EQ(Resolve(R"({"path": "C:\\A\\B\\.."})"), L"C:\\A\\");
    EXPECT_EQ(Resolve(R"({"path": ""})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"path": 12})"), L"(failed)");

    // A fresh prefix reports Windows 6.1, so an object path takes "later".
    EXPECT_EQ(Resolve(R"({"path": {"xp": "C:\\Old"}})"), L"(failed)");
    EXPECT_EQ(Resolve(R"({"path": {"xp": "C:\\Old", "later": "C:\\New"}})"), L"C:\\New\\");
    EXPECT_EQ(Resolve(R"({"path": {"xp": "C:\\Old", "later": 1}})"), L"(failed)");
}

// Regression: 200,000 placeholders tied a core for minutes in the replacing; the work per
// template is bounded now (this test ran into the time-out before).
TEST(SpecialFolders, PlaceholderExpansionIsBoundedForHostileTemplates) {
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    std::wstring text;
    for (int i = 0; i < 200000; ++i) text += L"%CSIDL_WINDOWS%";
    EXPECT_FALSE(ExpandPathPlaceholders(text)) << "longer than any path";
    std::wstring many;
    for (int i = 0; i < 200000; ++i) many += L"%V" + std::to_wstring(i % 5000) + L"%";
    many.resize(30000);
    EXPECT_FALSE(ExpandPathPlaceholders(many)) << "more folder names than a path holds";

    // Up to the bounds, templates expand as before: every occurrence, each name once.
    std::wstring repeated, expected;
    for (int i = 0; i < 2000; ++i) {
        repeated += L"%CSIDL_WINDOWS%\\";
        expected += std::wstring(windows) + L"\\";
    }
    ASSERT_TRUE(ExpandPathPlaceholders(repeated));
    EXPECT_EQ(ToUpper(repeated), ToUpper(expected));
    ::SetEnvironmentVariableW(L"WINHUSH_LONG", std::wstring(100, L'x').c_str());
    std::wstring growing;
    for (int i = 0; i < 2000; ++i) growing += L"%WINHUSH_LONG%";  // 28,000 characters, 200,000 expanded
    EXPECT_FALSE(ExpandPathPlaceholders(growing)) << "expands beyond any path";
    ::SetEnvironmentVariableW(L"WINHUSH_LONG", nullptr);
}

TEST(SpecialFolders, KnowsTheShellFoldersByExactName) {
    wchar_t windows[MAX_PATH] = {};
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    std::wstring out;
    ASSERT_TRUE(GetSpecialFolderByName(L"CSIDL_WINDOWS", out));
    EXPECT_EQ(ToUpper(out), ToUpper(windows));
    ASSERT_TRUE(GetSpecialFolderByName(L"CSIDL_SYSTEM", out));
    EXPECT_EQ(ToUpper(out), ToUpper(system));
    std::wstring personal, myDocuments;
    ASSERT_TRUE(GetSpecialFolderByName(L"CSIDL_PERSONAL", personal));
    ASSERT_TRUE(GetSpecialFolderByName(L"CSIDL_MYDOCUMENTS", myDocuments));
    EXPECT_EQ(personal, myDocuments);
    EXPECT_FALSE(GetSpecialFolderByName(L"csidl_windows", out));
    EXPECT_FALSE(GetSpecialFolderByName(L"CSIDL_NOSUCH", out));
    EXPECT_FALSE(GetSpecialFolderByName(L"", out));
}

// --- Wildcard paths ---------------------------------------------------------------------

class WildcardPath : public ::testing::Test {
protected:
    t::ScopedTempDir temp;
    std::wstring apps;  // "<TEMP>\APPS\" in upper case, as callers pass paths
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryW((temp / L"Apps").c_str(), nullptr));
        apps = ToUpper(temp.path()) + L"APPS\\";
    }
    void Dir(const std::wstring& relative) { ::CreateDirectoryW((temp / (L"Apps\\" + relative)).c_str(), nullptr); }
    void File(const std::wstring& relative) { ASSERT_TRUE(t::WriteFileBytes(temp / (L"Apps\\" + relative), "x")); }
    std::wstring Resolve(const std::wstring& relative) {
        std::wstring path = apps + relative;
        return ResolveWildcardPath(path) ? path.substr(apps.size()) : L"(failed)";
    }
};

TEST_F(WildcardPath, FindsTheFolderThatHoldsTheFile) {
    Dir(L"FooOld");
    Dir(L"FooNew");
    File(L"FooNew\\bin.exe");
    EXPECT_EQ(Resolve(L"FOO*\\BIN.EXE"), L"FooNew\\BIN.EXE") << "folder spelled as the file system spells it";
    EXPECT_EQ(Resolve(L"FOO*NEW\\BIN.EXE"), L"FooNew\\BIN.EXE");
    EXPECT_EQ(Resolve(L"*NEW\\BIN.EXE"), L"FooNew\\BIN.EXE");
    std::wstring folder = Resolve(L"FOO*\\");
    EXPECT_TRUE(folder == L"FooOld\\" || folder == L"FooNew\\") << WideToUtf8(folder);
    EXPECT_EQ(Resolve(L"BAR*\\BIN.EXE"), L"(failed)");
    EXPECT_EQ(Resolve(L"FOO*\\OTHER.EXE"), L"(failed)");
}

TEST_F(WildcardPath, MatchesFileNamesInUpperCase) {
    File(L"foo2.exe");
    EXPECT_EQ(Resolve(L"FOO*.EXE"), L"FOO2.EXE");
    EXPECT_EQ(Resolve(L"foo*.exe"), L"(failed)") << "the pattern is not upper-cased for the caller";
    EXPECT_EQ(Resolve(L"*2.EXE"), L"FOO2.EXE");
}

TEST_F(WildcardPath, WildcardFollowedByTwoComponentsNeverResolves) {
    Dir(L"FooNew");
    Dir(L"FooNew\\Sub");
    File(L"FooNew\\Sub\\bin.exe");
    EXPECT_EQ(Resolve(L"FOO*\\SUB\\BIN.EXE"), L"(failed)");
}

TEST_F(WildcardPath, FirstMatchingFileEndsTheWalk) {
    File(L"FOO.TXT");
    EXPECT_EQ(Resolve(L"FOO*\\BIN.EXE"), L"FOO.TXT");
}

TEST_F(WildcardPath, PlainPathsAreExistenceChecks) {
    File(L"there.exe");
    EXPECT_EQ(Resolve(L"THERE.EXE"), L"THERE.EXE");
    EXPECT_EQ(Resolve(L"MISSING.EXE"), L"(failed)");
    std::wstring missingDir = apps + L"NODIR\\FOO*.EXE";
    EXPECT_FALSE(ResolveWildcardPath(missingDir));
    std::wstring noDir = L"FOO*.EXE";
    EXPECT_FALSE(ResolveWildcardPath(noDir));
}

}  // namespace
