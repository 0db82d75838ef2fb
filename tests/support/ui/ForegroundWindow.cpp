#include "ForegroundWindow.h"

#include "TestSupport.h"

namespace winhush::test {

ForegroundWindow::ForegroundWindow(RECT at) {
    static const wchar_t* kClass = L"WinhushDialogsTestForeground";
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &ForegroundWindow::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kClass;
        registered = ::RegisterClassW(&wc) != 0;
    }
    hwnd_ = ::CreateWindowExW(0, kClass, L"foreground", WS_OVERLAPPEDWINDOW, at.left, at.top, at.right - at.left,
                              at.bottom - at.top, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        ::ShowWindow(hwnd_, SW_SHOW);
        TakeForeground();
    }
}

ForegroundWindow::~ForegroundWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

bool ForegroundWindow::TakeForeground() {
    ::SetForegroundWindow(hwnd_);
    return WaitUntil([this] { return ::GetForegroundWindow() == hwnd_; }, 1000ms);
}

LRESULT CALLBACK ForegroundWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ForegroundWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_COMMAND && self) self->commands_.push_back(Command{wParam, lParam});
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace winhush::test
