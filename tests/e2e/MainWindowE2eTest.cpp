// A running Winhush.exe as the user meets it after a block: the blocked window's record in
// the main window's list with its new count, and the block text in the tray icon's tooltip
// as the taskbar shows it when the pointer rests on the icon.
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
// The main window answers this message by sending what its list rows show.
constexpr wchar_t kListProbeMessage[] = L"WinhushListProbe";
constexpr ULONG_PTR kListProbeData = 0x5748;

std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// One list row as the main window reports it.
struct ShownRow {
    std::wstring name;
    std::wstring count;
    std::wstring switchedOn;
};

std::wstring g_probeReply;
bool g_probeAnswered = false;
LRESULT CALLBACK ProbeReceiver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        auto* data = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        if (data && data->dwData == kListProbeData) {
            g_probeReply.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
            while (!g_probeReply.empty() && g_probeReply.back() == L'\0') g_probeReply.pop_back();
            g_probeAnswered = true;
            return TRUE;
        }
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

class ProbeWindow {
public:
    ProbeWindow() {
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.lpfnWndProc = ProbeReceiver;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WinhushE2eProbe";
        ::RegisterClassExW(&wc);
        hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    }
    ~ProbeWindow() {
        if (hwnd_) ::DestroyWindow(hwnd_);
    }
    // The rows the main window shows now; nullopt when it did not answer.
    std::optional<std::vector<ShownRow>> Ask(HWND mainWindow) {
        static const UINT probe = ::RegisterWindowMessageW(kListProbeMessage);
        g_probeAnswered = false;
        g_probeReply.clear();
        DWORD_PTR ignored = 0;
        // The answer arrives as a sent WM_COPYDATA while this call waits.
        ::SendMessageTimeoutW(mainWindow, probe, reinterpret_cast<WPARAM>(hwnd_), 0, SMTO_ABORTIFHUNG, 3000, &ignored);
        if (!g_probeAnswered) return std::nullopt;
        std::vector<ShownRow> rows;
        for (const std::wstring& line : Split(g_probeReply, L'\n')) {
            if (line.empty()) continue;
            std::vector<std::wstring> fields = Split(line, L'\t');
            if (fields.size() < 3) continue;
            rows.push_back({fields[0], fields[1], fields[2]});
        }
        return rows;
    }
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

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

    // Within a few refreshes the list shows the new count, the let-through window above it
    // (more blocks) with its capped count and its switch off, and nothing of the status 0 record.
    ProbeWindow probe;
    ASSERT_NE(probe.hwnd(), nullptr);
    std::vector<ShownRow> rows;
    bool listed = t::WaitUntil(
        [&] {
            std::optional<std::vector<ShownRow>> answer = probe.Ask(main);
            if (!answer) return false;
            rows = *answer;
            return rows.size() == 2 && rows[1].count.find(L"42") != std::wstring::npos;
        },
        5s);
    ASSERT_TRUE(listed) << rows.size() << " rows shown";
    EXPECT_EQ(rows[0].name, L"放行的窗口");
    EXPECT_EQ(rows[0].count, L"999+");
    EXPECT_EQ(rows[0].switchedOn, L"0");
    EXPECT_EQ(rows[1].name, popupName);
    EXPECT_EQ(rows[1].switchedOn, L"1");

    // The taskbar's tooltip for the icon: the block text with the window's name.
    std::optional<std::wstring> tooltip = TrayTooltipContaining(L"拦截窗口：" + popupName);
    if (!tooltip && !t::RunXdotool(L"mousemove 0 0")) GTEST_SKIP() << "xdotool cannot be started from this Wine";
    ASSERT_TRUE(tooltip.has_value()) << "no tray tooltip carried the block";
    EXPECT_EQ(tooltip->rfind(L"Zelvane-弹窗拦截", 0), 0u);
    EXPECT_NE(tooltip->find(L"拦截时间："), std::wstring::npos);
}

}  // namespace
}  // namespace winhush::monitor
