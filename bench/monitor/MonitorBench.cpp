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

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

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

template <typename F>
double MedianMs(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        f();
        times.push_back(Ms(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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

// Shown to hidden for a blocked pop-up that a program opens anew each time (window events
// report creations, under Wine nothing else), polling only against the event path, and a
// burst of 500 at once.
void MeasureEvents(Helper* helpers, const StartupConfig& config, const std::wstring& dataDir) {
    int present = 0;
    ::EnumWindows(BareCallback, reinterpret_cast<LPARAM>(&present));
    HWND model = helpers[0].Open("class=BenchEvent w=300 h=200 corner=rb show=hide");
    BlockRecord decision;
    Snapshot(decision.window, model);
    decision.window.hwnds.clear();
    decision.hash = WindowKeyHash(decision.window);
    decision.name = FileNameOf(decision.window.path);
    decision.status = kStatusBlock;
    helpers[0].Command("destroy " + HandleText(model));
    for (bool events : {false, true}) {
        CWndMgr monitor;
        monitor.SetConfig(&config);
        monitor.InitWithDataDirectory(dataDir, true);
        monitor.StoreRecord(decision);
        monitor.enabled = 1;
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
            HWND popup = helpers[0].Open("class=BenchEvent w=300 h=200 corner=rb show=noactivate");
            if (!t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 20s, 1ms)) {
                std::printf("error: blocked window stayed visible\n");
                break;
            }
            latencies.push_back(Ms(Clock::now() - asked));
            helpers[0].Command("destroy " + HandleText(popup));
        }
        std::sort(latencies.begin(), latencies.end());
        if (!latencies.empty())
            std::printf("opened-to-hidden, %s, 100 new blocked pop-ups among %d windows: median %.0f ms, 95th "
                        "percentile %.0f ms, max %.0f ms (includes the helper's reply, ~1-3 ms)\n",
                        events ? "event path + scan" : "scan only      ", present, latencies[latencies.size() / 2],
                        latencies[latencies.size() * 95 / 100], latencies.back());
        if (events) {
            // 500 at once: the helper opens them in one go (one command); all hidden, then the
            // exit command of a main window that receives the block notifications.
            WNDCLASSEXW wc = {sizeof(wc)};
            wc.lpfnWndProc = ReceiverProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"BenchReceiver";
            ::RegisterClassExW(&wc);
            HWND receiver = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                              wc.hInstance, nullptr);
            g_notifying = &monitor;
            monitor.SetNotifyWindow(receiver);
            t::PumpFor(200ms);
            g_tipMessages = 0;
            auto start = Clock::now();
            std::string reply = helpers[1].Command("openmany 500 class=BenchEvent w=300 h=200 corner=rb show=noactivate");
            double opened = Ms(Clock::now() - start);
            std::vector<HWND> popups;
            for (size_t at = reply.find("0x"); at != std::string::npos; at = reply.find("0x", at + 2))
                popups.push_back(reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply.substr(at), nullptr, 16))));
            bool all = popups.size() == 500 && t::WaitUntil([&] {
                return std::none_of(popups.begin(), popups.end(), [](HWND h) { return ::IsWindowVisible(h) != 0; });
            }, 60s, 1ms);
            double hidden = Ms(Clock::now() - start);
            std::printf("500 blocked pop-ups opened at once (the helper took %.0f ms to open them): %s hidden %.0f ms "
                        "after the first was opened, %.0f ms after the last\n",
                        opened, all ? "all" : "NOT all", hidden, hidden - opened);
            auto exitAsked = Clock::now();
            g_exitAnswered = false;
            ::PostMessageW(receiver, kExitCommand, 0, 0);
            bool answered = t::WaitUntil([] { return g_exitAnswered; }, 60s, 1ms);
            std::printf("exit command posted after them: %s in %.0f ms; %d block messages reached the receiver\n",
                        answered ? "answered" : "NOT answered", Ms(Clock::now() - exitAsked), g_tipMessages);
            ::DestroyWindow(receiver);
            std::string list;
            for (HWND h : popups) list += " " + HandleText(h);
            helpers[1].Command("destroymany" + list);
        }
        stopPolling = true;
        if (poller.joinable()) poller.join();
        monitor.Stop();
    }
}
}  // namespace

int wmain() {
    t::ScopedTempDir dir;
    std::wstring dataDir = dir / L"data\\";
    ::CreateDirectoryW(dataDir.c_str(), nullptr);
    std::wstring helperExe = dir / L"BenchPop.exe";
    if (!::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe.c_str(), FALSE)) {
        std::printf("error: no helper program in WINHUSH_TOOLS\n");
        return 1;
    }
    for (const DriveDevice& d : QueryDriveDevices()) std::printf("drive %lc: %ls\n", d.letter, d.device.c_str());

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
        while (opened < target) {
            int x = 10 + (opened * 37) % 900, y = 10 + (opened * 53) % 500;
            helpers[opened % 2].Open("class=BenchWnd" + std::to_string(opened % 7) + " x=" + std::to_string(x) +
                                     " y=" + std::to_string(y) + " w=160 h=90 show=noactivate");
            ++opened;
        }
        t::PumpFor(300ms);
        int bareCount = 0, naiveCount = 0;
        double bare = MedianMs(9, [&] { ::EnumWindows(BareCallback, reinterpret_cast<LPARAM>(&bareCount)); });
        double naive = MedianMs(9, [&] { ::EnumWindows(NaiveCallback, reinterpret_cast<LPARAM>(&naiveCount)); });
        double scan = MedianMs(9, [&] { monitor.ScanOnce(); });
        std::printf("scan pass, %4d helper windows (%d top-level in all): monitor %.1f ms, bare EnumWindows %.1f ms, "
                    "naive script %.1f ms; monitor/bare %.1fx, monitor/naive %.2fx\n",
                    target, bareCount / 9, scan, bare, naive, scan / bare, scan / naive);
        if (target == 1000 || target == 50) {
            // Where a pass's time goes, call by call, over the same windows.
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
            each("MonitorFromWindow", [](HWND h) { ::MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST); });
            HMONITOR primary = ::MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY);
            each("GetMonitorInfoW", [&](HWND) { MONITORINFO mi = {sizeof(mi)}; ::GetMonitorInfoW(primary, &mi); });
            each("GetWindowThreadProcessId", [](HWND h) { DWORD pid; ::GetWindowThreadProcessId(h, &pid); });
            HANDLE mutex = ::CreateMutexW(nullptr, FALSE, nullptr);
            each("mutex wait+release", [&](HWND) { ::WaitForSingleObject(mutex, INFINITE); ::ReleaseMutex(mutex); });
            ::CloseHandle(mutex);
            ScanCache cache;
            cache.BeginPass();
            each("cached Snapshot", [&](HWND h) { WndInfo w; Snapshot(w, h, &cache); });
            cache.EndPass();
            each("uncached Snapshot", [&](HWND h) { WndInfo w; Snapshot(w, h); });
        }
        if (target == 50) MeasureLatency(helpers, monitor, dataDir);
        if (target == 200) MeasureEvents(helpers, config, dataDir);
        if (target == 200) {
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
    }

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
    for (Helper& h : helpers) h.Command("quit");
    return 0;
}
