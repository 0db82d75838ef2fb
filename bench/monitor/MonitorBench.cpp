// Measures the window monitor under the current system: scan passes over many windows of
// other processes beside two baselines taken in the same run, the scan thread's CPU share
// while idle, the delay from a blocked window appearing to its being hidden, and the time
// to write large record files. Prints one line per number.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"

namespace t = winhush::test;
using namespace std::chrono_literals;
using namespace winhush;
using namespace winhush::monitor;
using Clock = std::chrono::steady_clock;

namespace {

using t::MedianMs;
using t::Ms;

class Helper {
public:
    bool Start(const std::wstring& exe) {
        process_ = t::ChildProcess::Start(exe, L"", true);
        return process_.valid() && Command("ping") == "ok";
    }
    std::string Command(const std::string& line) {
        if (!process_.WriteLine(line)) return "";
        return process_.ReadLine(20s).value_or("");
    }
    HWND Open(const std::string& arguments) {
        std::string reply = Command("open " + arguments);
        if (reply.rfind("ok 0x", 0) != 0) return nullptr;
        return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply.substr(3), nullptr, 16)));
    }

    // CPU time of the helper process, in milliseconds.
    double CpuMs() const {
        FILETIME creation, exit, kernel, user;
        if (!::GetProcessTimes(process_.handle(), &creation, &exit, &kernel, &user)) return 0;
        auto v = [](FILETIME f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
        return static_cast<double>(v(kernel) + v(user)) / 10000.0;
    }

private:
    t::ChildProcess process_;
};

std::string HandleText(HWND hwnd) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

BOOL CALLBACK BareCallback(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// What a simple polling script does: every visible window's text, class, rectangle and its
// process's image name, opening the process each time.
BOOL CALLBACK NaiveCallback(HWND hwnd, LPARAM count) {
    if (::IsIconic(hwnd) || !::IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[260], className[260], image[MAX_PATH];
    ::GetWindowTextW(hwnd, text, 260);
    ::GetClassNameW(hwnd, className, 260);
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)) {
        DWORD size = MAX_PATH;
        if (::QueryFullProcessImageNameW(process, 0, image, &size)) ++*reinterpret_cast<int*>(count);
        ::CloseHandle(process);
    }
    return TRUE;
}

uint64_t ProcessCpu100ns() {
    FILETIME creation, exit, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &creation, &exit, &kernel, &user);
    auto v = [](FILETIME f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return v(kernel) + v(user);
}

void MeasureLatency(Helper* helpers, CWndMgr& monitor, const std::wstring& dataDir) {
    int present = 0;
    ::EnumWindows(BareCallback, reinterpret_cast<LPARAM>(&present));
    // Latency: a blocked pop-up shown again and again, each time back on screen.
    HWND blocked = helpers[0].Open("class=BenchBlock w=300 h=200 corner=rb show=hide");
    RECT rect;
    ::GetWindowRect(blocked, &rect);
    BlockRecord decision;
    Snapshot(decision.window, blocked);
    decision.window.hwnds.clear();
    decision.hash = WindowKeyHash(decision.window);
    decision.name = FileNameOf(decision.window.path);
    decision.status = kStatusBlock;
    monitor.StoreRecord(decision);
    monitor.enabled = 1;
    monitor.StartScanThread();
    std::vector<double> latencies;
    std::string place = " " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " 300 200";
    for (int i = 0; i < 60; ++i) {
        helpers[0].Command("move " + HandleText(blocked) + place);
        ::Sleep(static_cast<DWORD>(37 * i % 500));  // spread the appearances over the period
        auto shown = Clock::now();
        helpers[0].Command("show " + HandleText(blocked) + " noactivate");
        if (!t::WaitUntil([&] { return !::IsWindowVisible(blocked); }, 20s, 1ms)) {
            std::printf("error: blocked window stayed visible\n");
            break;
        }
        latencies.push_back(Ms(Clock::now() - shown));
    }
    monitor.Stop();
    monitor.stopRequested = 0;
    monitor.InitWithDataDirectory(dataDir, true);
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("shown-to-hidden latency over %zu counted blocks (%d top-level windows present): median %.0f ms, "
                    "95th percentile %.0f ms, max %.0f ms\n",
                    latencies.size(), present, latencies[latencies.size() / 2], latencies[latencies.size() * 95 / 100],
                    latencies.back());

}


// Stands in for the main window: takes block texts as it does and answers an exit command.
CWndMgr* g_notifying = nullptr;
int g_tipMessages = 0;
bool g_exitAnswered = false;
constexpr UINT kExitCommand = WM_APP + 7;
LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_BLOCK_TOOLTIP) {
        ++g_tipMessages;
        std::wstring text;
        bool first = false;
        if (wParam) FreeTooltipText(reinterpret_cast<wchar_t*>(wParam));
        else if (g_notifying) g_notifying->TakeBlockTooltip(text, first);
        return 0;
    }
    if (message == kExitCommand) {
        g_exitAnswered = true;
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

BlockRecord BlockDecisionFor(HWND hwnd) {
    BlockRecord decision;
    Snapshot(decision.window, hwnd);
    decision.window.hwnds.clear();
    decision.hash = WindowKeyHash(decision.window);
    decision.name = FileNameOf(decision.window.path);
    decision.status = kStatusBlock;
    return decision;
}

std::vector<HWND> ParseHandles(const std::string& reply) {
    std::vector<HWND> handles;
    for (size_t at = reply.find("0x"); at != std::string::npos; at = reply.find("0x", at + 2))
        handles.push_back(reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply.substr(at), nullptr, 16))));
    return handles;
}

bool AllHidden(const std::vector<HWND>& windows, std::chrono::milliseconds limit) {
    return t::WaitUntil([&] {
        return std::none_of(windows.begin(), windows.end(), [](HWND h) { return ::IsWindowVisible(h) != 0; });
    }, limit, 1ms);
}

void DestroyAll(Helper& helper, const std::vector<HWND>& windows) {
    std::string list;
    for (HWND h : windows) list += " " + HandleText(h);
    helper.Command("destroymany" + list);
}

// Shown to hidden for a blocked pop-up that a program opens anew each time (window events
// report creations, under Wine nothing else): one monitor, polling only or with events.
void MeasureOpenLatency(Helper& helper, CWndMgr& monitor, bool events, int present) {
    // Polling only: the same passes every 500 ms, driven from here, with no hook set.
    std::atomic<bool> stopPolling{false};
    std::thread poller;
    if (events) {
        monitor.StartScanThread();
    } else {
        poller = std::thread([&] {
            while (!stopPolling) {
                monitor.ScanOnce();
                for (int i = 0; i < 50 && !stopPolling; ++i) ::Sleep(10);
            }
        });
    }
    std::vector<double> latencies;
    for (int i = 0; i < 100; ++i) {
        ::Sleep(static_cast<DWORD>(37 * i % 500));
        auto asked = Clock::now();
        HWND popup = helper.Open("class=BenchEvent w=300 h=200 corner=rb show=noactivate");
        if (!t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 20s, 1ms)) {
            std::printf("error: blocked window stayed visible\n");
            break;
        }
        latencies.push_back(Ms(Clock::now() - asked));
        helper.Command("destroy " + HandleText(popup));
    }
    stopPolling = true;
    if (poller.joinable()) poller.join();
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("opened-to-hidden, %s, 100 new blocked pop-ups among %d windows: median %.0f ms, 95th "
                    "percentile %.0f ms, max %.0f ms (includes the helper's reply, ~1-3 ms)\n",
                    events ? "event path + scan" : "scan only      ", present, latencies[latencies.size() / 2],
                    latencies[latencies.size() * 95 / 100], latencies.back());
}

// 500 at once, opened by the helper in one command, against an in-process monitor whose
// notifications go to a stand-in main window.
void MeasureBurst(Helper& helper, CWndMgr& monitor) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = ReceiverProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchReceiver";
    ::RegisterClassExW(&wc);
    HWND receiver =
        ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    g_notifying = &monitor;
    monitor.SetNotifyWindow(receiver);
    t::PumpFor(200ms);
    g_tipMessages = 0;
    auto start = Clock::now();

    std::string reply = helper.Command("openmany 500 class=BenchEvent w=300 h=200 corner=rb show=noactivate");
    double opened = Ms(Clock::now() - start);
    std::vector<HWND> popups = ParseHandles(reply);
    bool all = popups.size() == 500 && AllHidden(popups, 60s);
    double hidden = Ms(Clock::now() - start);
    std::printf("500 blocked pop-ups opened at once (the helper took %.0f ms to open them): %s hidden %.0f ms "
                "after the first was opened, %.0f ms after the last\n",
                opened, all ? "all" : "NOT all", hidden, hidden - opened);
    auto exitAsked = Clock::now();
    g_exitAnswered = false;
    ::PostMessageW(receiver, kExitCommand, 0, 0);
    bool answered = t::WaitUntil([] { return g_exitAnswered; }, 60s, 1ms);
    std::printf("  stand-in main window: exit command posted after them %s in %.0f ms; %d block messages\n",
                answered ? "answered" : "NOT answered", Ms(Clock::now() - exitAsked), g_tipMessages);
    ::DestroyWindow(receiver);
    DestroyAll(helper, popups);
}

// Polling only against the event path in one run, then the burst with the event path.
void MeasureEvents(Helper* helpers, const StartupConfig& config, const std::wstring& dataDir) {
    int present = 0;
    ::EnumWindows(BareCallback, reinterpret_cast<LPARAM>(&present));
    HWND model = helpers[0].Open("class=BenchEvent w=300 h=200 corner=rb show=hide");
    BlockRecord decision = BlockDecisionFor(model);
    helpers[0].Command("destroy " + HandleText(model));
    for (bool events : {false, true}) {
        CWndMgr monitor;
        monitor.SetConfig(&config);
        monitor.InitWithDataDirectory(dataDir, true);
        monitor.StoreRecord(decision);
        monitor.enabled = 1;
        MeasureOpenLatency(helpers[0], monitor, events, present);
        if (events) MeasureBurst(helpers[1], monitor);
        monitor.Stop();
    }
}

// CPU of this process while the helper creates and destroys windows of a class no record
// knows, 1,000 a second in a loop of its own, with the monitor's event path running and, as
// the baseline of the same run, without any monitor; for windows shown at once and for
// windows that stay hidden (which the event path looks at again for a while).
void MeasureChurn(Helper& helper, const StartupConfig& config, const std::wstring& dataDir) {
    for (const char* show : {"noactivate", "hide"}) {
        double baselineCpu = 0;
        for (bool withMonitor : {false, true}) {
            CWndMgr monitor;
            monitor.SetConfig(&config);
            monitor.InitWithDataDirectory(dataDir, true);
            monitor.enabled = 1;
            if (withMonitor) monitor.StartScanThread();
            ::Sleep(600);
            uint64_t cpuBefore = ProcessCpu100ns();
            double helperCpuBefore = helper.CpuMs();
            auto wallBefore = Clock::now();
            std::string reply =
                helper.Command(std::string("churn 1000 5000 class=BenchChurn w=300 h=200 corner=lt show=") + show);
            double cpuMs = (ProcessCpu100ns() - cpuBefore) / 10000.0;
            double wallMs = Ms(Clock::now() - wallBefore);
            double helperCpu = helper.CpuMs() - helperCpuBefore;
            long long made = 0, helperMs = 0, creating = 0, destroying = 0;
            if (std::sscanf(reply.c_str(), "ok %lld %lld %lld %lld", &made, &helperMs, &creating, &destroying) != 4 ||
                helperMs <= 0 || made <= 0) {
                std::printf("error: churn failed: %s\n", reply.c_str());
                monitor.Stop();
                return;
            }
            double share = 100.0 * cpuMs / wallMs;
            if (!withMonitor) baselineCpu = share;
            std::printf("window churn (%s), %s: helper asked for 1000/s, made %.0f windows a second (%lld in %lld "
                        "ms); this process %.1f%% of one core (%.0f ms CPU in %.0f ms)",
                        show, withMonitor ? "event path + scan running" : "no monitor (baseline)   ",
                        made * 1000.0 / static_cast<double>(helperMs), made, helperMs, share, cpuMs, wallMs);
            if (withMonitor) std::printf(", %.1f%% above the baseline", share - baselineCpu);
            std::printf("\n    the helper spent %lld ms creating and showing (%.2f ms a window), %lld ms destroying; its "
                        "own CPU %.0f ms (wineserver time not included)\n",
                        creating, static_cast<double>(creating) / static_cast<double>(made), destroying, helperCpu);
            monitor.Stop();
        }
    }
}

constexpr wchar_t kSuiteKey[] = L"SOFTWARE\\Zelvane\\Trevisk";
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

// The program itself: Winhush.exe with a data folder whose record blocks the helper's
// pop-ups, 500 of them at once, then its exit as the confirmed exit command sends it (a
// WM_CLOSE posted to the main window), timed to the end of the process.
void MeasureProgramExit(Helper& helper, const t::ScopedTempDir& dir) {
    const std::wstring dataRoot = dir / L"program\\", dataDir = dataRoot + L"Winhush\\", suite = dir / L"suite\\";
    for (const std::wstring& d : {dataRoot, dataDir, suite}) ::CreateDirectoryW(d.c_str(), nullptr);
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", dataRoot);
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteKey, L"InstallPath", suite);
    for (const wchar_t* off : {L"ScanSoftware", L"AutoCheck", L"HideTray", L"IconTip", L"BlockCount"})
        t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, off, 0);
    t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"Block", 1);
    HWND model = helper.Open("class=BenchProgram w=300 h=200 corner=rb show=hide");
    std::vector<BlockRecord> decisions = {BlockDecisionFor(model)};
    helper.Command("destroy " + HandleText(model));
    SaveRecordFile(dataDir + L"WndMgrInfo.log", decisions, false);
    t::ChildProcess program = t::ChildProcess::Start(t::DistDir() + L"Winhush.exe", L"-hide");
    HWND main = program.valid() ? t::WaitForWindow(L"ZVWINHUSHWND", program.pid(), 15s) : nullptr;
    if (!main) {
        std::printf("error: Winhush.exe did not start\n");
    } else {
        ::Sleep(1500);
        auto start = Clock::now();
        std::vector<HWND> popups =
            ParseHandles(helper.Command("openmany 500 class=BenchProgram w=300 h=200 corner=rb show=noactivate"));
        double opened = Ms(Clock::now() - start);
        bool all = popups.size() == 500 && AllHidden(popups, 60s);
        double hidden = Ms(Clock::now() - start);
        auto asked = Clock::now();
        DWORD_PTR ignored = 0;
        bool answers = ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 60000, &ignored) != 0;
        double answerMs = Ms(Clock::now() - asked);
        asked = Clock::now();
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        bool ended = program.WaitExit(60s).has_value();
        std::printf("Winhush.exe, 500 blocked pop-ups at once: %s hidden %.0f ms after the last was opened; then its "
                    "main window answered in %.0f ms%s, exit posted: process %s after %.0f ms\n",
                    all ? "all" : "NOT all", hidden - opened, answerMs, answers ? "" : " (NOT answered)",
                    ended ? "ended" : "NOT ended", Ms(Clock::now() - asked));
        DestroyAll(helper, popups);
    }
    if (program.valid() && !program.WaitExit(0ms)) program.Kill();
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSuiteKey);
    t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
}

void MeasurePass(CWndMgr& monitor, int target) {
    int bareCount = 0, naiveCount = 0;
    // The three take turns, round by round: the helpers are still settling their new
    // windows while this runs, and measuring one after the other gave each a different share
    // of that load (the monitor's median moved fivefold between runs of the same tree).
    std::vector<double> bareTimes, naiveTimes, scanTimes;
    auto time = [](std::vector<double>& into, auto&& f) {
        auto start = Clock::now();
        f();
        into.push_back(Ms(Clock::now() - start));
    };
    for (int round = 0; round < 9; ++round) {
        time(bareTimes, [&] { ::EnumWindows(BareCallback, reinterpret_cast<LPARAM>(&bareCount)); });
        time(naiveTimes, [&] { ::EnumWindows(NaiveCallback, reinterpret_cast<LPARAM>(&naiveCount)); });
        time(scanTimes, [&] { monitor.ScanOnce(); });
    }
    auto median = [](std::vector<double>& times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    double bare = median(bareTimes), naive = median(naiveTimes), scan = median(scanTimes);
    std::printf("scan pass, %4d helper windows (%d top-level in all): monitor %.1f ms, bare EnumWindows %.1f ms, "
                "naive script %.1f ms; monitor/bare %.1fx, monitor/naive %.2fx\n",
                target, bareCount / 9, scan, bare, naive, scan / bare, scan / naive);
}

// Where a pass's time goes, call by call, over the same windows.
void ProfileCalls() {
    std::vector<HWND> all;
    ::EnumWindows([](HWND h, LPARAM p) { reinterpret_cast<std::vector<HWND>*>(p)->push_back(h); return TRUE; },
                  reinterpret_cast<LPARAM>(&all));
    auto each = [&](const char* name, auto&& f) {
        auto start = Clock::now();
        for (HWND h : all) f(h);
        std::printf("  %-28s %7.1f ms\n", name, Ms(Clock::now() - start));
    };
    each("IsIconic+IsWindowVisible", [](HWND h) { ::IsIconic(h); ::IsWindowVisible(h); });
    each("IsWindow", [](HWND h) { ::IsWindow(h); });
    each("GetWindowLongW", [](HWND h) { ::GetWindowLongW(h, GWL_STYLE); });
    each("GetWindowTextW", [](HWND h) { wchar_t b[260]; ::GetWindowTextW(h, b, 260); });
    each("GetClassNameW", [](HWND h) { wchar_t b[260]; ::GetClassNameW(h, b, 260); });
    each("GetWindowRect", [](HWND h) { RECT r; ::GetWindowRect(h, &r); });
    each("MonitorFromWindow+Info", [](HWND h) {
        MONITORINFO mi = {sizeof(mi)};
        ::GetMonitorInfoW(::MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi);
    });
    each("GetWindowThreadProcessId", [](HWND h) { DWORD pid; ::GetWindowThreadProcessId(h, &pid); });
    ScanCache cache;
    cache.BeginPass();
    each("cached Snapshot", [&](HWND h) { WndInfo w; Snapshot(w, h, &cache); });
    cache.EndPass();
    each("uncached Snapshot", [&](HWND h) { WndInfo w; Snapshot(w, h); });
    cache.BeginPass();
    each("identity, first time", [&](HWND h) { cache.Identify(h); });
    each("identity, remembered", [&](HWND h) { cache.Identify(h); });
    cache.EndPass();
}

void MeasureIdleCpu(CWndMgr& monitor, const std::wstring& dataDir) {
    monitor.enabled = 1;
    monitor.StartScanThread();
    ::Sleep(600);
    uint64_t cpuBefore = ProcessCpu100ns();
    auto wallBefore = Clock::now();
    ::Sleep(5000);
    double cpuMs = (ProcessCpu100ns() - cpuBefore) / 10000.0;
    double wallMs = Ms(Clock::now() - wallBefore);
    std::printf("scan thread CPU at 200 idle windows: %.1f%% of one core (%.0f ms CPU in %.0f ms; wineserver "
                "time not included)\n",
                100.0 * cpuMs / wallMs, cpuMs, wallMs);
    monitor.Stop();
    monitor.stopRequested = 0;
    monitor.InitWithDataDirectory(dataDir, true);
}

void MeasureRecordFiles(const t::ScopedTempDir& dir, const std::wstring& dataDir) {
    for (size_t count : {1000u, 10000u}) {
        std::vector<BlockRecord> records(count);
        for (size_t i = 0; i < count; ++i) {
            BlockRecord& r = records[i];
            r.window.path = L"C:\\PROGRAM FILES\\VENDOR " + std::to_wstring(i % 50) + L"\\UPDATER.EXE";
            r.window.caption = L"限时特惠 offer " + std::to_wstring(i);
            r.window.className = L"AdWindowClass" + std::to_wstring(i % 13);
            r.window.rect = {980, 580, 1280, 780};
            r.hash = 0x9E3779B97F4A7C15ull * (i + 1);
            r.name = L"UPDATER.EXE";
            r.imagePath = dataDir + L"UPDATER1234567890300200.jpg";
            r.status = static_cast<int>(i % 3);
            r.recordCnt = 1;
        }
        std::wstring path = dir / L"bench.log";
        double serialize = MedianMs(5, [&] { SerializeRecords(records); });
        double save = MedianMs(5, [&] { SaveRecordFile(path, records, false); });
        LARGE_INTEGER size = {};
        WIN32_FILE_ATTRIBUTE_DATA attributes;
        if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes))
            size.QuadPart = (static_cast<LONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
        std::vector<BlockRecord> loaded;
        double load = MedianMs(5, [&] {
            loaded.clear();
            LoadRecordFile(path, loaded);
        });
        std::printf("record file, %5zu records (%lld bytes): save %.1f ms (of which JSON text %.1f ms), load %.1f ms\n",
                    count, static_cast<long long>(size.QuadPart), save, serialize, load);
    }
}

}  // namespace

// Sections by name on the command line (default: all): pass, latency, events, idle, churn,
// program, records. The scan passes are always measured, at every window count a section needs.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> sections(argv + 1, argv + argc);
    auto want = [&](const wchar_t* name) {
        return sections.empty() || std::find(sections.begin(), sections.end(), name) != sections.end();
    };
    const bool wantThousand = want(L"pass") || want(L"records");
    t::ScopedTempDir dir;
    std::wstring dataDir = dir / L"data\\";
    ::CreateDirectoryW(dataDir.c_str(), nullptr);
    std::wstring helperExe = dir / L"BenchPop.exe";
    if (!::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe.c_str(), FALSE)) {
        std::printf("error: no helper program in WINHUSH_TOOLS\n");
        return 1;
    }
    StartupConfig config;
    FillStartupBasics(config);
    config.suiteProgramDir = L"C:\\NO SUITE HERE\\BIN\\";
    CWndMgr monitor;
    monitor.SetConfig(&config);
    monitor.InitWithDataDirectory(dataDir, true);

    Helper helpers[2];
    for (Helper& h : helpers) {
        if (!h.Start(helperExe)) {
            std::printf("error: helper did not start\n");
            return 1;
        }
    }
    int opened = 0;
    for (int target : {50, 200, 1000}) {
        if (target == 1000 && !wantThousand) break;
        while (opened < target) {
            int x = 10 + (opened * 37) % 900, y = 10 + (opened * 53) % 500;
            helpers[opened % 2].Open("class=BenchWnd" + std::to_string(opened % 7) + " x=" + std::to_string(x) +
                                     " y=" + std::to_string(y) + " w=160 h=90 show=noactivate");
            ++opened;
        }
        t::PumpFor(300ms);
        MeasurePass(monitor, target);
        if ((target == 1000 || target == 50) && want(L"pass")) ProfileCalls();
        if (target == 50 && want(L"latency")) MeasureLatency(helpers, monitor, dataDir);
        if (target == 200) {
            if (want(L"events")) MeasureEvents(helpers, config, dataDir);
            if (want(L"idle")) MeasureIdleCpu(monitor, dataDir);
            if (want(L"churn")) MeasureChurn(helpers[1], config, dataDir);
            if (want(L"program")) MeasureProgramExit(helpers[1], dir);
        }
    }
    if (want(L"records")) MeasureRecordFiles(dir, dataDir);
    for (Helper& h : helpers) h.Command("quit");
    return 0;
}
