#include "ui/framework/Companions.h"

#include <algorithm>
#include <cmath>

namespace winhush::ui {

namespace {
void MakeInertCompanion(CWindow& window) {
    // The dialog frame only existed to get a bordered pop-up; no caption, system menu or
    // sizing frame may remain, and the companion never takes input itself.
    window.ModifyStyle(~kCompanionStyleMask, 0, SWP_FRAMECHANGED);
    window.EnableWindow(false);
}

// What both companions answer alike: they paint only what they hold (`picture`, copied to
// the client area, or nothing), never erase, and never take activation from the host.
bool HandleCompanionMessage(HWND hwnd, UINT message, HDC picture, LRESULT& result) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd, &ps);
            if (picture) {
                RECT client = {};
                ::GetClientRect(hwnd, &client);
                ::BitBlt(dc, 0, 0, client.right, client.bottom, picture, 0, 0, SRCCOPY);
            }
            ::EndPaint(hwnd, &ps);
            result = 0;
            return true;
        }
        case WM_ERASEBKGND:
            result = 1;
            return true;
        case WM_MOUSEACTIVATE:
            result = MA_NOACTIVATE;
            return true;
    }
    return false;
}
}  // namespace

bool CWndLace::CreateFor(HWND host) {
    if (IsWindow()) return true;
    // Layered for per-pixel alpha; transparent to the mouse so that clicks on the shadow
    // reach whatever lies below it.
    if (!Create(host, rcDefault, nullptr, kCompanionStyle, WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE))
        return false;
    MakeInertCompanion(*this);
    return true;
}

bool CWndLace::ReadMargins() {
    CControlUI* root = m_pm.GetRoot();
    auto* container = root ? static_cast<dui::CContainerUI*>(root->GetInterface(L"Container")) : nullptr;
    if (!container) return false;
    // Read each time: the inset is in pixels of the lace's current DPI, which follows the
    // monitor the host is on.
    RECT inset = container->GetInset();
    left = inset.left;
    top = inset.top;
    right = inset.right;
    bottom = inset.bottom;
    if (root->GetBkColor() >> 24) style_.colour = root->GetBkColor();
    return true;
}

LRESULT CWndLace::HandleMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& handled) {
    if (message == WM_CREATE) {
        handled = TRUE;
        return ReadMargins() ? 0 : -1;  // a root that is no container has no inset
    }
    // The image comes from UpdateLayeredWindow; there is nothing to paint.
    LRESULT result = 0;
    handled = HandleCompanionMessage(m_hWnd, message, nullptr, result) ? TRUE : FALSE;
    return result;
}

void CWndLace::Reposition(HWND host, bool useSetWindowPos) {
    if (!::IsWindow(host) || !IsWindow()) return;
    // Also hidden while the host is: a move or size of a hidden host must not bring the
    // shadow back on its own.
    if (::IsIconic(host) || ::IsZoomed(host) || !::IsWindowVisible(host)) {
        if (IsWindowVisible()) ShowWindow(SW_HIDE);
        presented_ = RECT{};
        return;
    }
    if (!ReadMargins()) return;
    RECT rc = {};
    ::GetWindowRect(host, &rc);
    rc.left -= left;
    rc.top -= top;
    rc.right += right;
    rc.bottom += bottom;

    style_.cornerRadius = cornerRadius;
    style_.opaque = !IsDesktopCompositionOn();
    bool same = ::EqualRect(&rc, &presented_) && IsWindowVisible();
    if (!same) {
        ShadowMargins margins{left, top, right, bottom};
        if (surface_.Present(m_hWnd, rc, margins, style_)) presented_ = rc;
    }
    if (useSetWindowPos) {
        UINT flags = SWP_SHOWWINDOW | SWP_NOACTIVATE;
        if (same) flags |= SWP_NOMOVE | SWP_NOSIZE;
        SetWindowPos(host, rc, flags);
    } else if (!same) {
        MoveWindow(rc, true);
    }
}

namespace {
// Coverage of a pixel by a rounded rectangle filling width × height, anti-aliased.
double RoundedCoverage(int x, int y, int width, int height, double radius) {
    double halfW = width / 2.0, halfH = height / 2.0;
    radius = std::clamp(radius, 0.0, std::min(halfW, halfH));
    double qx = std::fabs(x + 0.5 - halfW) - (halfW - radius);
    double qy = std::fabs(y + 0.5 - halfH) - (halfH - radius);
    double distance = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
    return std::clamp(0.5 - distance, 0.0, 1.0);
}
}  // namespace

void CLockWnd::Cover(HWND host, CPaintManagerUI& hostPm) {
    if (!IsWindow() || !::IsWindow(host)) return;
    RECT rc = {};
    ::GetWindowRect(host, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return;

    DWORD veil = 0x4D1F2329;
    double radius = 0;
    if (CControlUI* root = m_pm.GetRoot()) {
        if (root->GetBkColor() >> 24) veil = root->GetBkColor();
        radius = root->GetBorderRound().cx / 2.0;
    }
    const uint32_t alpha = veil >> 24, red = (veil >> 16) & 0xFF, green = (veil >> 8) & 0xFF, blue = veil & 0xFF;

    picture_ = !IsDesktopCompositionOn();
    DWORD exStyle = GetExStyle();
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, picture_ ? (exStyle & ~WS_EX_LAYERED) : (exStyle | WS_EX_LAYERED));
    uint32_t* pixels = surface_.Prepare(width, height);
    if (!pixels) return;
    if (picture_) {
        std::fill(pixels, pixels + static_cast<size_t>(width) * height, 0xFFF5F7FAu);
        RECT client = {0, 0, width, height};
        hostPm.PaintTo(surface_.GetDC(), client);
        ::GdiFlush();
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            uint32_t p = pixels[i];
            auto mix = [&](uint32_t under, uint32_t over) { return (under * (255 - alpha) + over * alpha) / 255; };
            pixels[i] = 0xFF000000u | (mix((p >> 16) & 0xFF, red) << 16) | (mix((p >> 8) & 0xFF, green) << 8) |
                        mix(p & 0xFF, blue);
        }
        // Same outline as the host, so that the picture does not show square corners.
        HRGN region = ::CreateRectRgn(0, 0, 0, 0);
        if (region && ::GetWindowRgn(host, region) != ERROR) {
            if (!::SetWindowRgn(m_hWnd, region, FALSE)) ::DeleteObject(region);
        } else {
            if (region) ::DeleteObject(region);
            ::SetWindowRgn(m_hWnd, nullptr, FALSE);
        }
        SetWindowPos(HWND_TOP, rc, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t a = static_cast<uint32_t>(std::lround(alpha * RoundedCoverage(x, y, width, height, radius)));
            pixels[static_cast<size_t>(y) * width + x] =
                (a << 24) | ((red * a / 255) << 16) | ((green * a / 255) << 8) | (blue * a / 255);
        }
    }
    ::SetWindowRgn(m_hWnd, nullptr, FALSE);
    surface_.Push(m_hWnd, POINT{rc.left, rc.top});
    SetWindowPos(HWND_TOP, rc, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

LRESULT CLockWnd::HandleMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& handled) {
    // A layered veil is pushed by UpdateLayeredWindow; only the opaque picture is painted.
    LRESULT result = 0;
    handled = HandleCompanionMessage(m_hWnd, message, picture_ ? surface_.GetDC() : nullptr, result) ? TRUE : FALSE;
    return result;
}

bool CLockWnd::CreateFor(HWND host) {
    if (IsWindow()) return true;
    if (!Create(host, rcDefault, nullptr, kCompanionStyle, WS_EX_NOACTIVATE)) return false;
    MakeInertCompanion(*this);
    return true;
}

}  // namespace winhush::ui
