// A running Winhush.exe as the user meets it after a block: the blocked window's record with
// its new count in the record file the main window's list is read from, the main window
// itself, and the block text in the tray icon's tooltip as the taskbar shows it when the
// pointer rests on the icon. Everything is observed from outside the program; what the
// list rows show for given records is the in-process main window test's.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";
BOOL CALLBACK CollectTooltips(HWND hwnd, LPARAM lParam) {
    wchar_t className[64] = L"";
    ::GetClassNameW(hwnd, className, 64);
    if (::IsWindowVisible(hwnd) && ::lstrcmpiW(className, L"tooltips_class32") == 0) {
        wchar_t text[512] = L"";
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &ignored);
        reinterpret_cast<std::vector<std::wstring>*>(lParam)->push_back(text);
    }
    return TRUE;
}

// Rests the pointer on each of the first notification-area slots in turn and returns the
// first tooltip the taskbar shows that contains `needle`.
std::optional<std::wstring> TrayTooltipContaining(const std::wstring& needle) {
    HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT bar{};
    if (!taskbar || !::GetWindowRect(taskbar, &bar)) return std::nullopt;
    for (int slot = 0; slot < 4; ++slot) {
        int x = bar.right - 10 - 20 * slot, y = bar.top + 10;
        if (!t::RunXdotool(L"mousemove " + std::to_wstring(x) + L" " + std::to_wstring(y))) return std::nullopt;
        std::optional<std::wstring> found;
        t::WaitUntil(
            [&] {
                std::vector<std::wstring> texts;
                ::EnumWindows(CollectTooltips, reinterpret_cast<LPARAM>(&texts));
                for (const std::wstring& text : texts) {
                    if (text.find(needle) != std::wstring::npos) found = text;
                }
                return found.has_value();
            },
            2500ms);
        if (found) return found;
        // Away from the taskbar, so the next slot's tooltip starts afresh.
        t::RunXdotool(L"mousemove 640 300");
        t::PumpFor(300ms);
    }
    return std::nullopt;
}

class MainWindowE2e : public ::testing::Test {
protected:
    void SetUp() override {
        dataRoot_ = root_ / L"data\\";
        dataDir_ = dataRoot_ + L"Winhush\\";
        suiteRoot_ = root_ / L"suite\\";
        ASSERT_TRUE(::CreateDirectoryW(dataRoot_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(dataDir_.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(suiteRoot_.c_str(), nullptr));
        helperExe_ = root_ / L"PopHelper.exe";
        std::wstring source = t::ToolsDir() + L"winhelper.exe";
        ASSERT_TRUE(::CopyFileW(source.c_str(), helperExe_.c_str(), FALSE));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", dataRoot_));
        ASSERT_TRUE(t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", suiteRoot_));
        // Not the first run (no loading phase), no automatic-check tip, no balloon: the
        // window goes straight to its list.
        for (auto [name, value] : {std::pair{L"ScanSoftware", 0},
                                   {L"AutoCheck", 0},
                                   {L"Block", 1},
                                   {L"HideTray", 0},
                                   {L"IconTip", 0},
                                   {L"BlockCount", 7}}) {
            ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, static_cast<DWORD>(value)));
        }
        logPath_ = dataDir_ + L"WndMgrInfo.log";
    }
    void TearDown() override {
        if (winhush_.valid()) {
            for (HWND main : t::TopLevelWindowsOf(winhush_.pid(), L"ZVWINHUSHWND"))
                ::PostMessageW(main, WM_CLOSE, 0, 0);
            if (!winhush_.WaitExit(10s)) winhush_.Kill();
        }
        if (helper_.valid()) {
            helper_.WriteLine("quit");
            if (!helper_.WaitExit(5s)) helper_.Kill();
        }
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKey);
        t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    HWND OpenHelperWindow(const std::string& arguments) {
        if (!helper_.valid()) {
            helper_ = t::ChildProcess::Start(helperExe_, L"", true);
            if (!helper_.valid() || !helper_.WriteLine("ping") || helper_.ReadLine(10s) != "ok") return nullptr;
        }
        if (!helper_.WriteLine("open " + arguments)) return nullptr;
        std::optional<std::string> reply = helper_.ReadLine(10s);
        if (!reply || reply->rfind("ok 0x", 0) != 0) return nullptr;
        return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply->substr(3), nullptr, 16)));
    }

    static BlockRecord DecisionFor(HWND hwnd, const std::wstring& name, int status, uint32_t blockCnt,
                                   int64_t timeBlock) {
        BlockRecord r;
        EXPECT_TRUE(Snapshot(r.window, hwnd));
        r.window.hwnds.clear();
        r.window.pid = 0;
        r.hash = WindowKeyHash(r.window);
        r.name = name;
        r.status = status;
        r.blockCnt = blockCnt;
        r.timeBlock = timeBlock;
        r.addType = kAddedByPicker;
        return r;
    }

    t::ScopedTempDir root_;
    std::wstring dataRoot_, dataDir_, suiteRoot_, helperExe_, logPath_;
    t::ChildProcess helper_, winhush_;
};

TEST_F(MainWindowE2e, BlockedWindowIsListedWithItsCountAndTheTrayTooltipCarriesTheBlock) {
    ASSERT_TRUE(t::WaitUntil([] { return t::TopLevelWindowsOf(0, L"ZVWINHUSHWND").empty(); }, 10s));
    // The pop-up to block, and two windows whose records only sit in the list.
    HWND popup = OpenHelperWindow("class=AdPopup caption=Ad w=300 h=200 corner=rb");
    HWND letThrough = OpenHelperWindow("class=AdAllowed w=260 h=180 corner=lt");
    HWND removed = OpenHelperWindow("class=AdRemoved w=240 h=160 corner=lb show=hide");
    ASSERT_NE(popup, nullptr);
    ASSERT_NE(letThrough, nullptr);
    ASSERT_NE(removed, nullptr);
    const std::wstring popupName = L"演示广告 PopHelper";
    std::vector<BlockRecord> records = {
        DecisionFor(letThrough, L"放行的窗口", kStatusAllowed, 1200, 1700000000),
        DecisionFor(popup, popupName, kStatusBlock, 41, 1700000500),
        DecisionFor(removed, L"已移除", kStatusRecorded, 0, 0),
    };
    ASSERT_TRUE(SaveRecordFile(logPath_, records, false));

    winhush_ = t::ChildProcess::Start(t::DistDir() + L"Winhush.exe", L"");
    ASSERT_TRUE(winhush_.valid());
    HWND main = t::WaitForWindow(L"ZVWINHUSHWND", winhush_.pid(), 10s);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 5s)) << "the pop-up was not blocked";
    ASSERT_TRUE(t::WaitUntil(
        [] { return t::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount") == std::optional<DWORD>(8); }, 5s));

    // The file the list is read from: the new count on the blocked record, the let-through
    // and removed records as they were, so the list shows the let-through window above the
    // blocked one (more blocks, capped count, switch off) and nothing of the status 0 record.
    std::vector<BlockRecord> stored;
    bool counted = t::WaitUntil(
        [&] {
            stored.clear();
            LoadRecordFile(logPath_, stored);
            return stored.size() == 3 && stored[1].blockCnt == 42;
        },
        5s);
    ASSERT_TRUE(counted) << stored.size() << " records stored";
    EXPECT_EQ(stored[0].name, L"放行的窗口");
    EXPECT_EQ(stored[0].status, kStatusAllowed);
    EXPECT_EQ(stored[0].blockCnt, 1200u);
    EXPECT_EQ(stored[1].name, popupName);
    EXPECT_EQ(stored[1].status, kStatusBlock);
    EXPECT_EQ(stored[2].status, kStatusRecorded);
    EXPECT_TRUE(::IsWindowVisible(letThrough)) << "a let-through window is left alone";
    // The main window is up and answers; shown, since it was started without "hide".
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored));
    EXPECT_TRUE(::IsWindowVisible(main));
    wchar_t title[64] = L"";
    ::GetWindowTextW(main, title, 64);
    EXPECT_EQ(std::wstring(title), L"Zelvane-弹窗拦截");

    // The taskbar's tooltip for the icon: the block text with the window's name.
    std::optional<std::wstring> tooltip = TrayTooltipContaining(L"拦截窗口：" + popupName);
    if (!tooltip && !t::RunXdotool(L"mousemove 0 0")) GTEST_SKIP() << "xdotool cannot be started from this Wine";
    ASSERT_TRUE(tooltip.has_value()) << "no tray tooltip carried the block";
    EXPECT_EQ(tooltip->rfind(L"Zelvane-弹窗拦截", 0), 0u);
    EXPECT_NE(tooltip->find(L"拦截时间："), std::wstring::npos);
}

}  // namespace
}  // namespace winhush::monitor
