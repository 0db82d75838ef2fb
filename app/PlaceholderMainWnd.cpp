// A plain native main window that stands in until the skinned one exists: it carries the
// identity other instances look for, and closing it ends the program.
#include <windows.h>

#include "app/MainWindowHost.h"
#include "app/StartupConfig.h"
#include "app/WinhushApp.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"

namespace winhush {

namespace {

LRESULT CALLBACK PlaceholderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SetMainWindowHandle(hwnd);
            monitor::WndMgr().enabled = 1;
            monitor::WndMgr().StartScanThread();
            rules::StartAutoCheck();
            return 0;
        case monitor::WM_BLOCK_TOOLTIP:
            monitor::FreeTooltipText(reinterpret_cast<wchar_t*>(wParam));
            return 0;
        case WM_NCHITTEST: {
            // Borderless: let the whole window drag like a caption.
            LRESULT hit = ::DefWindowProcW(hwnd, message, wParam, lParam);
            return hit == HTCLIENT ? HTCAPTION : hit;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            RECT rc;
            ::GetClientRect(hwnd, &rc);
            HBRUSH background = ::CreateSolidBrush(RGB(0xF5, 0xF7, 0xFA));
            ::FillRect(dc, &rc, background);
            ::DeleteObject(background);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(0x1F, 0x23, 0x29));
            // The stock GUI font has no CJK glyphs; the UI font does (or its substitute).
            HFONT font = ::CreateFontW(-MulDiv(20, ::GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                                       FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
            HGDIOBJ oldFont = ::SelectObject(dc, font);
            ::DrawTextW(dc, kMainWindowTitle, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            ::SelectObject(dc, oldFont);
            ::DeleteObject(font);
            ::EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_RBUTTONUP:
            ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
        case WM_DESTROY:
            SetMainWindowHandle(nullptr);
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.lpfnWndProc = PlaceholderProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return ::CreateWindowExW(WS_EX_APPWINDOW, kMainWindowClass, kMainWindowTitle,
                             WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MINIMIZEBOX, CW_USEDEFAULT,
                             CW_USEDEFAULT, 640, 420, nullptr, nullptr, instance, nullptr);
}

}  // namespace winhush
