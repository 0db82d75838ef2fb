#include "ui/controls/NativeCtrl.h"

#include "base/DibSurface.h"

namespace winhush::ui {

using namespace winhush::dui;

namespace {
constexpr const wchar_t* kNativeCtrlInit = L"nativectrl_init";
constexpr LPARAM kPrintEverything = PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN;  // 30
}  // namespace

CNativeCtrl::CNativeCtrl() = default;

LPCTSTR CNativeCtrl::GetClass() const { return L"NativeCtrl"; }

LPVOID CNativeCtrl::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"NativeCtrl") == 0) return static_cast<CNativeCtrl*>(this);
    return CControlUI::GetInterface(name);
}

void CNativeCtrl::PlaceWindow() {
    if (!hostedWnd || !::IsWindow(hostedWnd)) return;
    RECT rc = rcItem_;
    // The control's rectangle is in the host's client pixels; the window is placed in its
    // own parent's (the host for a child window, the screen for a top-level one).
    HWND host = manager_ ? manager_->GetPaintWindow() : nullptr;
    if (host) {
        HWND parent = ::GetAncestor(hostedWnd, GA_PARENT);
        if (parent != host) ::MapWindowPoints(host, parent, reinterpret_cast<POINT*>(&rc), 2);
    }
    ::MoveWindow(hostedWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, ::IsWindowVisible(hostedWnd));
    if (printOnMove && PrintOnce()) printOnMove = false;
}

bool CNativeCtrl::PrintOnce() {
    RECT window;
    if (!::GetWindowRect(hostedWnd, &window)) return false;
    int width = window.right - window.left, height = window.bottom - window.top;
    if (width <= 0 || height <= 0) return false;
    DibSurface surface(width, height, nullptr, DibSurface::Rows::BottomUp);
    if (!surface) return false;
    ::SendMessageW(hostedWnd, WM_PRINT, reinterpret_cast<WPARAM>(surface.hdc()), kPrintEverything);
    return true;
}

void CNativeCtrl::ApplyVisibility() {
    if (IsVisible()) {
        if (!hostedWnd && manager_) manager_->SendNotify(this, kNativeCtrlInit);
        // The owner may have attached a window from the notification, or not.
        if (!hostedWnd || !::IsWindow(hostedWnd)) return;
        ::ShowWindow(hostedWnd, SW_SHOWDEFAULT);
        ::BringWindowToTop(hostedWnd);
        ::SetFocus(hostedWnd);
    } else if (hostedWnd && ::IsWindow(hostedWnd)) {
        ::ShowWindow(hostedWnd, SW_HIDE);
    }
}

void CNativeCtrl::SetPos(RECT rc, bool needInvalidate) {
    CControlUI::SetPos(rc, needInvalidate);
    PlaceWindow();
}

void CNativeCtrl::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    ApplyVisibility();
}

void CNativeCtrl::SetInternVisible(bool visible) {
    CControlUI::SetInternVisible(visible);
    ApplyVisibility();
}

void CNativeCtrl::SetFocus() {
    CControlUI::SetFocus();
    if (hostedWnd && ::IsWindow(hostedWnd)) ::SetFocus(hostedWnd);
}

void CNativeCtrl::DoPaint(HDC, const RECT& rcPaint) {
    RECT area;
    if (!::IntersectRect(&area, &rcPaint, &rcItem_)) return;
    // The window paints itself; it only needs to know that the area behind it changed.
    if (hostedWnd && ::IsWindow(hostedWnd)) ::InvalidateRect(hostedWnd, nullptr, FALSE);
}

void CNativeCtrl::Attach(HWND window, bool print) {
    Detach();
    hostedWnd = window;
    printOnMove = print;
    PlaceWindow();
    // Only an attached window is shown or hidden here; asking the owner for one again
    // from inside its own attach would loop.
    if (!hostedWnd || !::IsWindow(hostedWnd)) return;
    if (IsVisible()) {
        ::ShowWindow(hostedWnd, SW_SHOWDEFAULT);
        ::BringWindowToTop(hostedWnd);
        ::SetFocus(hostedWnd);
    } else {
        ::ShowWindow(hostedWnd, SW_HIDE);
    }
}

HWND CNativeCtrl::Detach() {
    HWND previous = hostedWnd;
    hostedWnd = nullptr;
    return previous;
}

}  // namespace winhush::ui
