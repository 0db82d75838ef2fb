// Private bytes of a running Winhush.exe: once with an empty record file and once with
// 10,000 listed records, each measured after the main window has settled (a few refresh
// ticks). The records are written before the start, so the list holds them from the first
// refresh on.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace std::chrono_literals;
using winhush::monitor::BlockRecord;

namespace {

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

std::vector<BlockRecord> MakeRecords(int count) {
    std::vector<BlockRecord> records(count);
    for (int i = 0; i < count; ++i) {
        BlockRecord& r = records[i];
        r.window.path = L"C:\\PROGRAM FILES\\VENDOR" + std::to_wstring(i % 97) + L"\\UPDATER.EXE";
        r.window.className = L"AdWindow" + std::to_wstring(i);
        r.window.caption = L"广告";
        r.window.rect = RECT{0, 0, 300 + i % 50, 200};
        r.window.pos = 1 + i % 5;
        r.hash = 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(i + 1);
        r.name = L"广告窗口 " + std::to_wstring(i);
        r.status = i % 3 == 0 ? winhush::monitor::kStatusAllowed : winhush::monitor::kStatusBlock;
        r.blockCnt = static_cast<uint32_t>(i * 7 % 1500);
        r.timeBlock = 1700000000 + i;
        r.addType = winhush::monitor::kAddedFromRuleList;
    }
    return records;
}

struct Sample {
    SIZE_T privateBytes = 0;
    SIZE_T workingSet = 0;
};

std::optional<Sample> Measure(const std::wstring& dataDir, int records) {
    if (!winhush::monitor::SaveRecordFile(dataDir + L"WndMgrInfo.log", MakeRecords(records), false))
        return std::nullopt;
    t::ChildProcess winhush = t::ChildProcess::Start(t::DistDir() + L"Winhush.exe", L"");
    if (!winhush.valid()) return std::nullopt;
    HWND main = t::WaitForWindow(L"ZVWINHUSHWND", winhush.pid(), 15s);
    std::optional<Sample> sample;
    if (main) {
        // Start-up, the first refreshes and the first paints of the list.
        t::PumpFor(4s);
        PROCESS_MEMORY_COUNTERS_EX counters = {sizeof(counters)};
        if (::GetProcessMemoryInfo(winhush.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                   sizeof(counters))) {
            // Private bytes are the commit charge; Wine reports it as the page-file usage and
            // leaves PrivateUsage at 0 for other processes.
            SIZE_T privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
            sample = Sample{privateBytes, counters.WorkingSetSize};
        }
        ::PostMessageW(main, WM_CLOSE, 0, 0);
    }
    if (!winhush.WaitExit(10s)) winhush.Kill();
    return sample;
}

}  // namespace

int wmain() {
    t::ScopedTempDir root;
    std::wstring dataRoot = root / L"data\\";
    std::wstring dataDir = dataRoot + L"Winhush\\";
    ::CreateDirectoryW(dataRoot.c_str(), nullptr);
    ::CreateDirectoryW(dataDir.c_str(), nullptr);
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", dataRoot);
    for (auto [name, value] : {std::pair{L"ScanSoftware", 0}, {L"AutoCheck", 0}, {L"Block", 1}, {L"IconTip", 0}})
        t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, static_cast<DWORD>(value));

    int status = 0;
    for (int records : {0, 10000}) {
        std::optional<Sample> sample = Measure(dataDir, records);
        if (!sample) {
            std::printf("memory with %5d records: not measured (Winhush.exe did not start or answer)\n", records);
            status = 1;
            continue;
        }
        std::printf("memory with %5d records: private bytes %.1f MiB, working set %.1f MiB\n", records,
                    sample->privateBytes / 1048576.0, sample->workingSet / 1048576.0);
    }
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKey);
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    return status;
}
