#include "ShotSupport.h"

// (Lean Windows headers leave out what GDI+ needs, and GDI+ expects min/max in scope.)
// clang-format off
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
// clang-format on

#include <vector>

namespace winhush::ui::shots {

bool ImageEncoder(const wchar_t* mime, CLSID* clsid) {
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    if (!bytes) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SaveScreenPng(RECT rc, const std::wstring& path) {
    RECT screenRect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::IntersectRect(&rc, &rc, &screenRect)) return false;
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    ::SelectObject(memory, old);
    bool saved = false;
    CLSID png;
    if (ImageEncoder(L"image/png", &png)) {
        Gdiplus::Bitmap image(bitmap, nullptr);
        saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return saved;
}

BOOL CBackdrop::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_PAINT) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    HBRUSH brush = ::CreateSolidBrush(RGB(0xE9, 0xEC, 0xF1));
    ::FillRect(dc, &ps.rcPaint, brush);
    ::DeleteObject(brush);
    ::EndPaint(hwnd, &ps);
    result = 0;
    return TRUE;
}

}  // namespace winhush::ui::shots
