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

#include "ProgramTestSupport.h"
#include "RecordTestSupport.h"
#include "TestSupport.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

using t::kSettingsKey;

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
        ASSERT_TRUE(suite_.Create(root_.path()));
        helperExe_ = root_ / L"PopHelper.exe";
        ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe_.c_str(), FALSE));
        // Not the first run (no loading phase), no automatic-check tip, no balloon: the
        // window goes straight to its list.
        ASSERT_TRUE(t::SetQuietSettings(7));
        logPath_ = suite_.logPath();
    }
    void TearDown() override {
        winhush_.Close();
        helper_.Quit();
        suite_.Remove();
    }

    HWND OpenHelperWindow(const std::string& arguments) {
        if (!helper_.valid() && !helper_.Start(helperExe_)) return nullptr;
        return helper_.Open(arguments);
    }

    static BlockRecord DecisionFor(HWND hwnd, const std::wstring& name, int status, uint32_t blockCnt,
                                   int64_t timeBlock) {
        BlockRecord r = t::DecisionFor(hwnd, status);
        r.name = name;
        r.blockCnt = blockCnt;
        r.timeBlock = timeBlock;
        return r;
    }

    t::ScopedTempDir root_;
    t::SuiteInstall suite_;
    std::wstring helperExe_, logPath_;
    t::HelperProcess helper_;
    t::WinhushProcess winhush_;
};

TEST_F(MainWindowE2e, BlockedWindowIsListedWithItsCountAndTheTrayTooltipCarriesTheBlock) {
    ASSERT_TRUE(t::NoWinhushRunning());
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

    ASSERT_TRUE(winhush_.Start());
    HWND main = winhush_.WaitMainWindow(10s);
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
            stored = t::StoredRecords(logPath_);
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
