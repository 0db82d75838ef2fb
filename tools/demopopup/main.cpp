// demopopup: a stand-in for an installed program that advertises. Every few seconds it
// opens a borderless pop-up of a fixed class and size in the bottom-right corner of the
// work area, the kind of window the demo rule database describes, and closes it again
// after a while or on a click. It has no other window and no taskbar button.
//
//   demopopup.exe [--interval SECONDS] [--show SECONDS] [--once]
//
// Defaults: a pop-up every 12 s, shown for 8 s. With --once it opens one pop-up and ends
// when that closes. The class name and size must stay in step with resources/demo/winhsh.json.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kPopupClass[] = L"WinhushDemoAd";
constexpr wchar_t kHostClass[] = L"WinhushDemoHost";
constexpr int kPopupWidth = 320;
constexpr int kPopupHeight = 200;

enum TimerId : UINT_PTR { kTimerOpen = 1, kTimerClose = 2 };

struct Options {
    UINT intervalMs = 12000;
    UINT showMs = 8000;
    bool once = false;
};
Options g_options;
HWND g_popup = nullptr;

void PaintAd(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    HBRUSH background = ::CreateSolidBrush(RGB(0xFF, 0xF4, 0xE5));
    ::FillRect(dc, &rc, background);
    ::DeleteObject(background);
    RECT band = {0, 0, rc.right, 44};
    HBRUSH bandBrush = ::CreateSolidBrush(RGB(0xE8, 0x5D, 0x2A));
    ::FillRect(dc, &band, bandBrush);
    ::DeleteObject(bandBrush);

    ::SetBkMode(dc, TRANSPARENT);
    HFONT title = ::CreateFontW(-20, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
    HFONT body = ::CreateFontW(-15, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
    HGDIOBJ old = ::SelectObject(dc, title);
    ::SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    RECT titleRect = {14, 0, rc.right - 14, 44};
    ::DrawTextW(dc, L"Lumen 阅读器 · 限时特惠", -1, &titleRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(dc, body);
    ::SetTextColor(dc, RGB(0x3A, 0x2A, 0x20));
    RECT bodyRect = {14, 58, rc.right - 14, rc.bottom - 14};
    ::DrawTextW(dc, L"会员年卡今日五折！\r\n点击了解详情。\r\n\r\n(Winhush demo pop-up — click to close)", -1, &bodyRect,
                DT_LEFT | DT_WORDBREAK);
    ::SelectObject(dc, old);
    ::DeleteObject(title);
    ::DeleteObject(body);
    ::EndPaint(hwnd, &ps);
}

LRESULT CALLBACK PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintAd(hwnd);
            return 0;
        case WM_LBUTTONUP:
            ::DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            if (g_popup == hwnd) g_popup = nullptr;
            if (g_options.once) ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

void OpenPopup(HINSTANCE instance, HWND host) {
    if (g_popup) return;
    RECT work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.right - kPopupWidth - 8;
    const int y = work.bottom - kPopupHeight - 8;
    g_popup = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, L"Lumen 限时特惠", WS_POPUP | WS_BORDER, x,
                                y, kPopupWidth, kPopupHeight, nullptr, nullptr, instance, nullptr);
    if (!g_popup) return;
    ::ShowWindow(g_popup, SW_SHOWNOACTIVATE);
    ::UpdateWindow(g_popup);
    ::SetTimer(host, kTimerClose, g_options.showMs, nullptr);
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (wParam == kTimerOpen) {
            OpenPopup(reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)), hwnd);
            if (g_options.once) ::KillTimer(hwnd, kTimerOpen);
        } else if (wParam == kTimerClose) {
            ::KillTimer(hwnd, kTimerClose);
            if (g_popup) ::DestroyWindow(g_popup);
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

UINT SecondsArg(const wchar_t* text, UINT fallback) {
    wchar_t* end = nullptr;
    double seconds = std::wcstod(text, &end);
    if (end == text || seconds <= 0 || seconds > 3600) return fallback;
    return static_cast<UINT>(seconds * 1000);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--once") g_options.once = true;
        else if (arg == L"--interval" && i + 1 < argc) g_options.intervalMs = SecondsArg(argv[++i], g_options.intervalMs);
        else if (arg == L"--show" && i + 1 < argc) g_options.showMs = SecondsArg(argv[++i], g_options.showMs);
    }
    ::LocalFree(argv);

    WNDCLASSEXW popupClass = {sizeof(popupClass)};
    popupClass.lpfnWndProc = PopupProc;
    popupClass.hInstance = instance;
    popupClass.hCursor = ::LoadCursorW(nullptr, IDC_HAND);
    popupClass.lpszClassName = kPopupClass;
    WNDCLASSEXW hostClass = {sizeof(hostClass)};
    hostClass.lpfnWndProc = HostProc;
    hostClass.hInstance = instance;
    hostClass.lpszClassName = kHostClass;
    if (!::RegisterClassExW(&popupClass) || !::RegisterClassExW(&hostClass)) return 1;

    // The timers live on a message-only window, so the program has no visible window of its
    // own between pop-ups.
    HWND host = ::CreateWindowExW(0, kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!host) return 1;
    OpenPopup(instance, host);
    if (!g_options.once) ::SetTimer(host, kTimerOpen, g_options.intervalMs, nullptr);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
