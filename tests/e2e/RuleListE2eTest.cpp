// A new user's first run of Winhush.exe on a computer with the demo suite installed: the
// loading phase ends in the rule list with the demo program's pop-up offered and checked;
// the user presses "添加拦截" (a real pointer click through xdotool) and from then on the
// demo program's pop-ups are hidden and counted. Everything is observed from outside: the
// windows, the screen, the record file and the registry.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "RecordTestSupport.h"
#include "TestSupport.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

using t::kSettingsKey;
constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\LumenReaderDemo";
constexpr wchar_t kRuleListTitle[] = L"Zelvane-规则列表";
constexpr wchar_t kDemoPopupClass[] = L"WinhushDemoAd";
// The rule list at 96 DPI: 560 wide; the first row's check box is 18 px square at (41, 100)
// (margin 24, list border 1, row inset 16; title 48, hint 20, gap 12, border 1, row centre
// at 28), sampled inside its fill clear of the tick; "添加拦截" is 104 x 32 in the
// bottom-right corner inside a 24 px margin.
constexpr int kDialogWidth = 560;
constexpr POINT kFirstCheckBox = {41 + 4, 110 - 4};
constexpr POINT kAppendFromBottomRight = {24 + 52, 24 + 16};

std::optional<std::wstring> SourceFile(const wchar_t* relative) {
    return t::HostPathToWindows(std::wstring(WINHUSH_SOURCE_DIR_W)) + L"\\" + relative;
}

bool NearAccent(COLORREF c) { return t::NearColour(c, RGB(0x2B, 0x8F, 0xD9), 23); }

using t::ScreenPixel;

using t::StoredRecords;

class RuleListE2e : public ::testing::Test {
protected:
    void SetUp() override {
        // The suite's installation and its data folder with the demo rule database.
        ASSERT_TRUE(suite_.Create(root_.path(), false));
        dataRoot_ = suite_.dataRoot();
        appDir_ = root_ / L"Lumen Reader";
        for (const std::wstring& dir : {dataRoot_ + L"db", appDir_}) ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
        std::optional<std::string> database = t::ReadFileBytes(*SourceFile(L"resources\\demo\\winhsh.json"));
        ASSERT_TRUE(database.has_value());
        ASSERT_TRUE(t::WriteFileBytes(dataRoot_ + L"db\\winhsh.db", *database));
        // The demo program, installed and registered as the demo suite does it.
        demoExe_ = appDir_ + L"\\LumenPromo.exe";
        ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"demopopup.exe").c_str(), demoExe_.c_str(), FALSE));
        for (auto [name, value] : {std::pair<const wchar_t*, std::wstring>{L"DisplayName", L"Lumen Reader (Winhush demo)"},
                                   {L"DisplayVersion", L"3.2.0"},
                                   {L"Publisher", L"Lumen Demo Software"},
                                   {L"InstallLocation", appDir_},
                                   {L"UninstallString", L"\"" + appDir_ + L"\\uninst.exe\""}})
            ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kUninstallKey, name, value));
        // A new user: no settings at all, no record file.
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
        logPath_ = suite_.logPath();
    }
    void TearDown() override {
        winhush_.Close();
        if (demo_.valid()) demo_.Kill();
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kUninstallKey);
        suite_.Remove();
    }

    t::ScopedTempDir root_;
    t::SuiteInstall suite_;
    std::wstring dataRoot_, appDir_, demoExe_, logPath_;
    t::WinhushProcess winhush_;
    t::ChildProcess demo_;
};

TEST_F(RuleListE2e, FirstRunOffersTheDemoPopupAndAppendBlocksItFromThenOn) {
    ASSERT_TRUE(t::NoWinhushRunning());
    demo_ = t::ChildProcess::Start(demoExe_, L"--interval 3");
    ASSERT_TRUE(demo_.valid());
    ASSERT_NE(t::WaitForWindow(kDemoPopupClass, demo_.pid(), 10s), nullptr) << "the demo program opened no pop-up";

    ASSERT_TRUE(winhush_.Start());
    HWND main = winhush_.WaitMainWindow(10s);
    ASSERT_NE(main, nullptr);
    // The loading phase lasts at least 2.84 s, then the rule list opens over the main window.
    HWND dialog = nullptr;
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            dialog = ::FindWindowW(nullptr, kRuleListTitle);
            return dialog && ::IsWindowVisible(dialog);
        },
        30s))
        << "no rule list on the first run";
    EXPECT_EQ(::GetWindow(dialog, GW_OWNER), main);
    // Shown a moment before its loop disables the owner.
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowEnabled(main); }, 2s)) << "the rule list is modal";
    EXPECT_TRUE(::IsWindowVisible(main));
    for (const BlockRecord& r : StoredRecords(logPath_))
        EXPECT_NE(r.status, kStatusBlock) << "a decision stored before the user chose: status " << r.status
                                          << " addType " << r.addType << " recordCnt " << r.recordCnt;

    RECT rc{};
    ASSERT_TRUE(::GetWindowRect(dialog, &rc));
    ASSERT_EQ(rc.right - rc.left, kDialogWidth) << "the test knows the layout at 96 DPI only";
    // The first row's check box is drawn checked (accent fill) once the list is filled.
    POINT box{rc.left + kFirstCheckBox.x, rc.top + kFirstCheckBox.y};
    EXPECT_TRUE(t::WaitUntil([&] { return NearAccent(ScreenPixel(box)); }, 5s))
        << "check box pixel " << std::hex << ScreenPixel(box);

    POINT append{rc.right - kAppendFromBottomRight.x, rc.bottom - kAppendFromBottomRight.y};
    ASSERT_TRUE(t::RunXdotool(L"mousemove " + std::to_wstring(append.x) + L" " + std::to_wstring(append.y) +
                              L" click 1"));
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindow(dialog); }, 10s)) << "the click did not close the rule list";
    EXPECT_TRUE(t::WaitUntil([&] { return ::IsWindowEnabled(main) != FALSE; }, 2s));

    // The decision is in the record file: the demo rule, blocked, added from the rule list.
    std::vector<BlockRecord> stored;
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            stored = StoredRecords(logPath_);
            return !stored.empty();
        },
        5s));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, L"Lumen 阅读器 限时特惠弹窗");
    EXPECT_EQ(stored[0].status, kStatusBlock);
    EXPECT_EQ(stored[0].addType, kAddedFromRuleList);
    EXPECT_EQ(stored[0].window.className, kDemoPopupClass);

    // The demo program's pop-ups are hidden from now on and each block is counted.
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            std::optional<DWORD> count = t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount");
            return count && *count >= 2;
        },
        20s))
        << "the demo's pop-ups were not blocked twice";
    for (HWND popup : t::TopLevelWindowsOf(demo_.pid(), kDemoPopupClass)) {
        RECT at{};
        ::GetWindowRect(popup, &at);
        bool onScreen = ::IsWindowVisible(popup) && at.left < ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        EXPECT_FALSE(onScreen) << "a demo pop-up is still in view";
    }
    ASSERT_TRUE(t::WaitUntil([&] { return !StoredRecords(logPath_).empty() && StoredRecords(logPath_)[0].blockCnt >= 2; }, 5s));
}

}  // namespace
}  // namespace winhush::monitor
