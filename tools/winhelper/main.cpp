// winhelper: opens and manipulates top-level windows on command, for end-to-end tests,
// benchmarks and the demo. Commands come one per line on stdin (or as arguments, run
// first); each gets one reply line on stdout: "ok ..." or "error ...".
//
//   open class=NAME caption="TEXT" x=10 y=10 w=300 h=200 corner=rb style=popup ex=topmost
//        owner=0xHWND parent=0xHWND show=normal|max|min|hide color=RRGGBB   -> ok 0xHWND
//   move 0xHWND x y w h | show 0xHWND normal|max|min|hide|noactivate | close 0xHWND
//   destroy 0xHWND | rect 0xHWND -> ok x y w h visible | pid -> ok PID | ping | quit
//   find TITLE -> ok 0xHWND of a top-level window with exactly that title (UTF-8)
//   openmany N ARGS       opens N windows as "open ARGS" would, one right after the other
//                         (a burst) -> ok 0xHWND ... (N handles)
//   destroymany 0xHWND ...   destroys every listed window -> ok
//   churn RATE MS ARGS    for MS milliseconds creates RATE windows a second as "open ARGS"
//                         would and destroys each about 20 ms after it was made, in its own
//                         loop (no command round trip per window)
//                         -> ok MADE WALL_MS CREATE_MS DESTROY_MS (time spent creating and
//                         showing, and destroying)
//   hang 0xHWND MS        the window's thread stops pumping messages for MS milliseconds
//   pulse MS              every MS ms, each window opened on the main thread that was moved
//                         or hidden is put back where it was opened and shown (a program
//                         that keeps re-opening its pop-ups); pulse 0 stops
//
// open ... thread=new opens the window on a thread of its own with its own message loop, so
// that "hang" can stop that thread while the helper and its other windows keep answering.
//
// style: popup, overlapped, child, or a number; ex: comma list of topmost, layered,
// toolwindow, appwindow, noactivate, or a number. corner places the window in a corner of
// the work area (lt, lb, rt, rb, center).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;
constexpr UINT kHangMessage = WM_APP + 2;
DWORD g_mainThread = 0;
std::map<std::wstring, COLORREF> g_classColors;
// Windows opened on the main thread and where they were opened, for "pulse".
std::vector<std::pair<HWND, RECT>> g_mainWindows;

std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

void Reply(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string HandleText(HWND hwnd) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buffer;
}

HWND ParseHandle(const std::string& text) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::strtoull(text.c_str(), nullptr, 0)));
}

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            COLORREF color = static_cast<COLORREF>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            HBRUSH brush = ::CreateSolidBrush(color);
            ::FillRect(dc, &rc, brush);
            ::DeleteObject(brush);
            wchar_t caption[256] = {};
            ::GetWindowTextW(hwnd, caption, 256);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(255, 255, 255));
            ::DrawTextW(dc, caption, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE:
            ::DestroyWindow(hwnd);
            return 0;
        case kHangMessage:
            ::Sleep(static_cast<DWORD>(wParam));
            return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool EnsureClass(const std::wstring& name) {
    WNDCLASSEXW existing = {sizeof(existing)};
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), name.c_str(), &existing)) return true;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = HelperProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name.c_str();
    return ::RegisterClassExW(&wc) != 0;
}

// key=value pairs; values may be double-quoted to carry spaces.
std::map<std::string, std::string> ParsePairs(const std::string& text) {
    std::map<std::string, std::string> pairs;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        size_t eq = text.find('=', i);
        if (eq == std::string::npos) break;
        std::string key = text.substr(i, eq - i);
        i = eq + 1;
        std::string value;
        if (i < text.size() && text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string::npos) close = text.size();
            value = text.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            size_t end = text.find(' ', i);
            if (end == std::string::npos) end = text.size();
            value = text.substr(i, end - i);
            i = end;
        }
        pairs[key] = value;
    }
    return pairs;
}

DWORD ParseStyle(const std::string& text) {
    if (text.empty() || text == "popup") return WS_POPUP;
    if (text == "overlapped") return WS_OVERLAPPEDWINDOW;
    if (text == "child") return WS_CHILD;
    return static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 0));
}

DWORD ParseExStyle(const std::string& text) {
    DWORD ex = 0;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        if (item == "topmost") ex |= WS_EX_TOPMOST;
        else if (item == "layered") ex |= WS_EX_LAYERED;
        else if (item == "toolwindow") ex |= WS_EX_TOOLWINDOW;
        else if (item == "appwindow") ex |= WS_EX_APPWINDOW;
        else if (item == "noactivate") ex |= WS_EX_NOACTIVATE;
        else if (!item.empty()) ex |= static_cast<DWORD>(std::strtoul(item.c_str(), nullptr, 0));
    }
    return ex;
}

int ShowCommand(const std::string& text) {
    if (text == "max") return SW_SHOWMAXIMIZED;
    if (text == "min") return SW_SHOWMINNOACTIVE;
    if (text == "hide") return SW_HIDE;
    if (text == "noactivate") return SW_SHOWNOACTIVATE;
    return SW_SHOWNORMAL;
}

std::string OpenWindow(const std::string& arguments, bool remember = true) {
    auto pairs = ParsePairs(arguments);
    auto get = [&](const char* key, const std::string& fallback = {}) {
        auto it = pairs.find(key);
        return it == pairs.end() ? fallback : it->second;
    };
    std::wstring className = Widen(get("class", "WinhelperWindow"));
    if (!EnsureClass(className)) return "error class registration failed";
    int w = std::atoi(get("w", "300").c_str());
    int h = std::atoi(get("h", "200").c_str());
    int x = std::atoi(get("x", "100").c_str());
    int y = std::atoi(get("y", "100").c_str());
    std::string corner = get("corner");
    if (!corner.empty()) {
        RECT work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        if (corner == "lt") { x = work.left; y = work.top; }
        else if (corner == "lb") { x = work.left; y = work.bottom - h; }
        else if (corner == "rt") { x = work.right - w; y = work.top; }
        else if (corner == "rb") { x = work.right - w; y = work.bottom - h; }
        else { x = work.left + (work.right - work.left - w) / 2; y = work.top + (work.bottom - work.top - h) / 2; }
    }
    DWORD style = ParseStyle(get("style"));
    DWORD ex = ParseExStyle(get("ex"));
    HWND parent = ParseHandle(get("parent", "0"));
    HWND owner = ParseHandle(get("owner", "0"));
    HWND hwnd = ::CreateWindowExW(ex, className.c_str(), Widen(get("caption")).c_str(), style, x, y, w, h,
                                  parent ? parent : owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return "error CreateWindowEx failed " + std::to_string(::GetLastError());
    COLORREF color = RGB(0xE5, 0x48, 0x4D);
    std::string colorText = get("color");
    if (colorText.size() == 6) {
        unsigned long rgb = std::strtoul(colorText.c_str(), nullptr, 16);
        color = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    if (ex & WS_EX_LAYERED) ::SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
    std::string show = get("show", "normal");
    if (show != "hide") ::ShowWindow(hwnd, ShowCommand(show));
    ::UpdateWindow(hwnd);
    if (remember && ::GetCurrentThreadId() == g_mainThread) {
        RECT placed;
        ::GetWindowRect(hwnd, &placed);
        g_mainWindows.push_back({hwnd, placed});
    }
    return "ok " + HandleText(hwnd);
}

// The window on a thread of its own, which then pumps its messages until the window ends.
std::string OpenWindowOnNewThread(const std::string& arguments) {
    struct Start {
        std::string arguments;
        std::string reply;
        HANDLE created;
    };
    auto start = std::make_shared<Start>(Start{arguments, {}, ::CreateEventW(nullptr, TRUE, FALSE, nullptr)});
    std::thread([start] {
        start->reply = OpenWindow(start->arguments);
        HWND hwnd = start->reply.rfind("ok 0x", 0) == 0 ? ParseHandle(start->reply.substr(3)) : nullptr;
        ::SetEvent(start->created);
        MSG msg;
        while (hwnd && ::IsWindow(hwnd) && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }).detach();
    if (::WaitForSingleObject(start->created, 10000) != WAIT_OBJECT_0) return "error window thread did not start";
    ::CloseHandle(start->created);
    return start->reply;
}

// Everything but the commands, which wait for the churn to end in their order.
void PumpPending() {
    MSG msg;
    for (auto [low, high] : {std::pair<UINT, UINT>{0, kCommandMessage - 1}, {kCommandMessage + 1, 0xFFFF}}) {
        while (::PeekMessageW(&msg, nullptr, low, high, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

// Windows made and destroyed at a steady rate, as a busy program does: the rate is kept by
// the clock, so a slow system shows as fewer windows made, not as a longer run.
std::string Churn(std::istringstream& args) {
    double rate = 0;
    int ms = 0;
    if (!(args >> rate >> ms) || rate <= 0 || ms <= 0) return "error churn needs RATE MS";
    std::string each;
    std::getline(args, each);
    constexpr double kLifetimeMs = 20;
    LARGE_INTEGER frequency, start, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    auto elapsedMs = [&] {
        ::QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    };
    std::vector<std::pair<HWND, double>> alive;
    long long made = 0;
    double creating = 0, destroying = 0;
    // Behind the clock, it makes one window per round and destroys what is due in between,
    // so the windows alive stay few however slow the system is.
    for (double t = elapsedMs(); t < ms; t = elapsedMs()) {
        if (made < static_cast<long long>(rate * t / 1000.0) + 1) {
            std::string one = OpenWindow(each, false);
            if (one.rfind("ok ", 0) != 0) return one;
            double born = elapsedMs();
            creating += born - t;
            alive.push_back({ParseHandle(one.substr(3)), born});
            ++made;
        }
        size_t gone = 0;
        t = elapsedMs();
        while (gone < alive.size() && t - alive[gone].second >= kLifetimeMs) ::DestroyWindow(alive[gone++].first);
        if (gone != 0) destroying += elapsedMs() - t;
        alive.erase(alive.begin(), alive.begin() + static_cast<std::ptrdiff_t>(gone));
        PumpPending();
        if (made >= static_cast<long long>(rate * elapsedMs() / 1000.0) + 1) ::Sleep(1);
    }
    double wall = elapsedMs();
    for (auto& [hwnd, born] : alive) ::DestroyWindow(hwnd);
    return "ok " + std::to_string(made) + " " + std::to_string(static_cast<long long>(wall)) + " " +
           std::to_string(static_cast<long long>(creating)) + " " + std::to_string(static_cast<long long>(destroying));
}

void CALLBACK Pulse(HWND, UINT, UINT_PTR, DWORD) {
    for (auto& [hwnd, placed] : g_mainWindows) {
        if (!::IsWindow(hwnd)) continue;
        RECT now;
        ::GetWindowRect(hwnd, &now);
        if (::IsWindowVisible(hwnd) && std::memcmp(&now, &placed, sizeof(RECT)) == 0) continue;
        ::SetWindowPos(hwnd, HWND_TOP, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                       SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
}

// The commands that name one of the helper's windows (already checked to exist).
std::string ExecuteOnWindow(const std::string& verb, HWND hwnd, std::istringstream& args) {
    if (verb == "move") {
        int x, y, w, h;
        if (!(args >> x >> y >> w >> h)) return "error move needs x y w h";
        return ::MoveWindow(hwnd, x, y, w, h, TRUE) ? "ok" : "error MoveWindow failed";
    }
    if (verb == "show") {
        std::string how;
        args >> how;
        ::ShowWindow(hwnd, ShowCommand(how));
        return "ok";
    }
    if (verb == "close") {
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return "ok";
    }
    if (verb == "destroy") return ::DestroyWindow(hwnd) ? "ok" : "error DestroyWindow failed";
    if (verb == "hang") {
        int ms = 0;
        if (!(args >> ms) || ms < 0) return "error hang needs milliseconds";
        // Posted, so the caller does not wait: the window's own thread sleeps in its handler.
        return ::PostMessageW(hwnd, kHangMessage, static_cast<WPARAM>(ms), 0) ? "ok" : "error PostMessage failed";
    }
    if (verb == "rect") {
        RECT rc;
        ::GetWindowRect(hwnd, &rc);
        return "ok " + std::to_string(rc.left) + " " + std::to_string(rc.top) + " " +
               std::to_string(rc.right - rc.left) + " " + std::to_string(rc.bottom - rc.top) + " " +
               (::IsWindowVisible(hwnd) ? "1" : "0");
    }
    return "error unknown command " + verb;
}

std::string Execute(const std::string& line) {
    std::istringstream stream(line);
    std::string verb;
    stream >> verb;
    std::string rest;
    std::getline(stream, rest);
    std::istringstream args(rest);
    if (verb.empty()) return "error empty command";
    if (verb == "ping") return "ok";
    if (verb == "pid") return "ok " + std::to_string(::GetCurrentProcessId());
    if (verb == "open") {
        return rest.find("thread=new") != std::string::npos ? OpenWindowOnNewThread(rest) : OpenWindow(rest);
    }
    if (verb == "openmany") {
        int count = 0;
        args >> count;
        std::string each;
        std::getline(args, each);
        std::string reply = "ok";
        for (int i = 0; i < count; ++i) {
            std::string one = OpenWindow(each);
            if (one.rfind("ok ", 0) != 0) return one;
            reply += one.substr(2);
        }
        return reply;
    }
    if (verb == "churn") return Churn(args);
    if (verb == "destroymany") {
        std::string item;
        while (args >> item) ::DestroyWindow(ParseHandle(item));
        return "ok";
    }
    if (verb == "pulse") {
        int ms = 0;
        args >> ms;
        static UINT_PTR timer = 0;
        if (timer) ::KillTimer(nullptr, timer);
        timer = 0;
        if (ms <= 0) return "ok";
        timer = ::SetTimer(nullptr, 0, static_cast<UINT>(ms), Pulse);
        return timer ? "ok" : "error SetTimer failed";
    }
    if (verb == "find") {
        size_t start = rest.find_first_not_of(' ');
        HWND found = start == std::string::npos ? nullptr : ::FindWindowW(nullptr, Widen(rest.substr(start)).c_str());
        return found ? "ok " + HandleText(found) : "error no window with that title";
    }
    if (verb == "quit") {
        ::PostQuitMessage(0);
        return "ok";
    }
    std::string handleText;
    args >> handleText;
    HWND hwnd = ParseHandle(handleText);
    if (!::IsWindow(hwnd)) return "error no such window";
    return ExecuteOnWindow(verb, hwnd, args);
}

// stdin is read on its own thread so the UI thread keeps pumping; each line is executed on
// the UI thread, which owns the windows.
void ReadCommands() {
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), stdin)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        auto* copy = new std::string(std::move(line));
        if (!::PostThreadMessageW(g_mainThread, kCommandMessage, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
    }
    ::PostThreadMessageW(g_mainThread, kCommandMessage, 1, 0);  // end of input
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_mainThread = ::GetCurrentThreadId();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make the thread's queue exist

    bool keepOpenAfterInput = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--stay") {  // keep running when stdin ends (started from a script)
            keepOpenAfterInput = true;
            continue;
        }
        int n = ::WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string command(static_cast<size_t>(n), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), -1, command.data(), n, nullptr, nullptr);
        command.resize(std::strlen(command.c_str()));
        Reply(Execute(command));
    }

    std::thread(ReadCommands).detach();
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == kCommandMessage) {
            if (msg.wParam == 1) {
                if (!keepOpenAfterInput) break;
                continue;
            }
            std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(msg.lParam));
            Reply(Execute(*line));
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
