// One refresh tick of the main window with 10,000 listed records: the records are copied
// from the window monitor under its lock, sorted, handed to the list as its item count and
// the status controls and counter are redrawn. Ticks are driven through the window's own
// timer message, so the number is what the user's 500 ms refresh costs; the paint that
// follows a tick is timed on its own.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "ui/dui/UIManager.h"
#include "ui/framework/MessageLoop.h"
#include "ui/main/MainDlg.h"

namespace t = winhush::test;
using namespace std::chrono_literals;
using winhush::monitor::BlockRecord;
using Clock = std::chrono::steady_clock;

namespace {

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";
constexpr int kRecords = 10000;
constexpr int kTicks = 40;

std::wstring Widen(const char* text) {
    std::wstring out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}

void CopyAll(const std::wstring& fromDir, const std::wstring& pattern, const std::wstring& toDir) {
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((fromDir + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        ::CopyFileW((fromDir + found.cFileName).c_str(), (toDir + found.cFileName).c_str(), FALSE);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}

std::vector<BlockRecord> MakeRecords(int count) {
    std::vector<BlockRecord> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        BlockRecord& r = records[static_cast<size_t>(i)];
        r.window.path = L"C:\\PROGRAM FILES\\VENDOR" + std::to_wstring(i % 97) + L"\\UPDATER.EXE";
        r.window.className = L"AdWindow" + std::to_wstring(i);
        r.window.rect = RECT{0, 0, 300 + i % 50, 200};
        r.window.pos = 1 + i % 5;
        r.hash = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(i + 1);
        r.name = L"广告窗口 " + std::to_wstring(i);
        r.status = i % 3 == 0 ? winhush::monitor::kStatusAllowed : winhush::monitor::kStatusBlock;
        r.blockCnt = static_cast<uint32_t>(i * 7 % 1500);
        r.timeBlock = 1700000000 + i;
    }
    return records;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain() {
    t::ScopedTempDir resources;
    t::ScopedTempDir data;
    CopyAll(t::HostPathToWindows(Widen(WINHUSH_UI_SOURCE_DIR)) + L"\\", L"*.xml", resources.path());
    CopyAll(t::HostPathToWindows(Widen(WINHUSH_UI_ART_DIR)) + L"\\", L"*.png", resources.path());
    winhush::dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    winhush::dui::CPaintManagerUI::SetResourcePath(resources.path().c_str());

    for (auto [name, value] : {std::pair{L"ScanSoftware", 0},
                               {L"AutoCheck", 0},
                               {L"Block", 1},
                               {L"IconTip", 0},
                               {L"IsLocateStortcut", 0},
                               {L"IsMainStortcut", 0},
                               {L"BlockCount", 123456}})
        t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, static_cast<DWORD>(value));
    if (!winhush::monitor::SaveRecordFile(data / L"WndMgrInfo.log", MakeRecords(kRecords), false)) {
        std::printf("refresh: could not write the record file\n");
        return 1;
    }

    winhush::ui::CMessageLoop loop;
    winhush::ui::Module().Init(::GetModuleHandleW(nullptr));
    winhush::ui::Module().AddMessageLoop(&loop);
    winhush::FillStartupBasics(winhush::GetStartupConfig());
    winhush::monitor::WndMgr().InitWithDataDirectory(data.path(), false);

    int status = 0;
    {
        winhush::ui::CMainDlg dlg;
        if (!dlg.CreateMainWindow()) {
            std::printf("refresh: the main window could not be created\n");
            return 1;
        }
        ::ShowWindow(dlg.m_hWnd, SW_SHOWNOACTIVATE);
        ::UpdateWindow(dlg.m_hWnd);
        t::PumpFor(1s);
        // Ticks come from here only.
        ::KillTimer(dlg.m_hWnd, winhush::ui::TIMER_REFRESH);

        std::vector<double> tick, paint;
        for (int i = 0; i < kTicks; ++i) {
            auto start = Clock::now();
            ::SendMessageW(dlg.m_hWnd, WM_TIMER, winhush::ui::TIMER_REFRESH, 0);
            auto ticked = Clock::now();
            ::UpdateWindow(dlg.m_hWnd);
            auto painted = Clock::now();
            tick.push_back(std::chrono::duration<double, std::milli>(ticked - start).count());
            paint.push_back(std::chrono::duration<double, std::milli>(painted - ticked).count());
            t::PumpFor(20ms);
        }
        int listed = dlg.ListBlock() ? dlg.ListBlock()->GetItemCount() : -1;
        if (listed != kRecords) {
            std::printf("refresh: the list holds %d records instead of %d\n", listed, kRecords);
            status = 1;
        }
        std::printf("refresh tick with %d records: median %.1f ms, max %.1f ms (%d ticks)\n", kRecords, Median(tick),
                    *std::max_element(tick.begin(), tick.end()), kTicks);
        std::printf("paint after a tick: median %.1f ms\n", Median(paint));
        PROCESS_MEMORY_COUNTERS_EX counters = {sizeof(counters)};
        if (::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                   sizeof(counters)))
            // Wine leaves PrivateUsage at 0 and reports the commit charge as page-file usage.
            std::printf("private bytes of this process with the list shown: %.1f MiB\n",
                        (counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage) / 1048576.0);
        dlg.DestroyWindow();
    }
    winhush::rules::StopAutoCheck();
    winhush::monitor::WndMgr().Stop();
    winhush::ui::Module().RemoveMessageLoop();
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    return status;
}
