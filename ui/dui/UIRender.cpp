#include "ui/dui/UIRender.h"

#include <objidl.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <vector>

#include "base/DibSurface.h"
#include "base/Handles.h"
#include "ui/dui/UIControl.h"
#include "ui/dui/UIParse.h"

namespace winhush::dui {

namespace {

BYTE Alpha(DWORD color) { return static_cast<BYTE>(color >> 24); }
COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

Gdiplus::Color ToGdiplus(DWORD argb) { return Gdiplus::Color(Alpha(argb), (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// One memory DC with a bitmap selected for the duration of a blit; the bitmap goes back out
// of the DC before the DC is deleted (members end in reverse order).
class SourceDc {
public:
    SourceDc(HDC reference, HBITMAP bitmap) : dc_(::CreateCompatibleDC(reference)), selected_(dc_.get(), bitmap) {}
    HDC get() const { return dc_.get(); }

private:
    UniqueMemoryDc dc_;
    SelectedObject selected_;
};

// Stretched alpha artwork goes through GDI+ for a smooth (bicubic) result; AlphaBlend
// samples the nearest pixel, which shows at 1.5x. `source` wraps the DIB's premultiplied
// pixels and may be null when they are not reachable.
void BlitPart(HDC hDC, HDC src, Gdiplus::Bitmap* source, const RECT& dst, const RECT& srcRc, bool alpha, BYTE fade) {
    int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    int sw = srcRc.right - srcRc.left, sh = srcRc.bottom - srcRc.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    bool stretched = dw != sw || dh != sh;
    if (stretched && source && (alpha || fade < 255)) {
        Gdiplus::Graphics graphics(hDC);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
        Gdiplus::ImageAttributes attributes;
        attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);  // no bleeding at part edges
        if (fade < 255) {
            Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                            {0, 1, 0, 0, 0},
                                            {0, 0, 1, 0, 0},
                                            {0, 0, 0, fade / 255.0f, 0},
                                            {0, 0, 0, 0, 1}}};
            attributes.SetColorMatrix(&matrix);
        }
        Gdiplus::Rect target(dst.left, dst.top, dw, dh);
        if (graphics.DrawImage(source, target, srcRc.left, srcRc.top, sw, sh, Gdiplus::UnitPixel, &attributes) ==
            Gdiplus::Ok) {
            return;
        }
    }
    if (alpha || fade < 255) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, fade, static_cast<BYTE>(alpha ? AC_SRC_ALPHA : 0)};
        ::GdiAlphaBlend(hDC, dst.left, dst.top, dw, dh, src, srcRc.left, srcRc.top, sw, sh, blend);
    } else if (!stretched) {
        ::BitBlt(hDC, dst.left, dst.top, dw, dh, src, srcRc.left, srcRc.top, SRCCOPY);
    } else {
        ::StretchBlt(hDC, dst.left, dst.top, dw, dh, src, srcRc.left, srcRc.top, sw, sh, SRCCOPY);
    }
}

void TilePart(HDC hDC, HDC src, Gdiplus::Bitmap* source, const RECT& dst, const RECT& srcRc, bool alpha, BYTE fade,
              bool xtiled, bool ytiled) {
    int sw = srcRc.right - srcRc.left, sh = srcRc.bottom - srcRc.top;
    if (sw <= 0 || sh <= 0) return;
    int stepX = xtiled ? sw : dst.right - dst.left;
    int stepY = ytiled ? sh : dst.bottom - dst.top;
    if (stepX <= 0 || stepY <= 0) return;
    for (int y = dst.top; y < dst.bottom; y += stepY) {
        for (int x = dst.left; x < dst.right; x += stepX) {
            int w = std::min(stepX, static_cast<int>(dst.right - x));
            int h = std::min(stepY, static_cast<int>(dst.bottom - y));
            RECT part = {x, y, x + w, y + h};
            RECT from = srcRc;
            if (xtiled) from.right = from.left + w;
            if (ytiled) from.bottom = from.top + h;
            BlitPart(hDC, src, source, part, from, alpha, fade);
        }
    }
}

// Nine-grid with corner sizes given separately for the destination and the bitmap, so
// 1x artwork keeps its corner proportions at any DPI.
void DrawNineGrid(HDC hDC, HBITMAP bitmap, const RECT& rc, const RECT& rcPaint, const RECT& bmp, const RECT& cornersDst,
                  const RECT& cornersSrc, bool alpha, BYTE fade, bool hole, bool xtiled, bool ytiled) {
    RECT test;
    if (!bitmap || !::IntersectRect(&test, &rc, &rcPaint)) return;
    SourceDc src(hDC, bitmap);
    DIBSECTION dib = {};
    std::unique_ptr<Gdiplus::Bitmap> source;
    if (::GetObjectW(bitmap, sizeof(dib), &dib) == sizeof(dib) && dib.dsBm.bmBits && dib.dsBm.bmBitsPixel == 32 &&
        dib.dsBmih.biHeight < 0) {
        source = std::make_unique<Gdiplus::Bitmap>(dib.dsBm.bmWidth, dib.dsBm.bmHeight, dib.dsBm.bmWidthBytes,
                                                   PixelFormat32bppPARGB, static_cast<BYTE*>(dib.dsBm.bmBits));
    }
    int prevMode = ::SetStretchBltMode(hDC, HALFTONE);
    POINT prevOrigin;
    ::SetBrushOrgEx(hDC, 0, 0, &prevOrigin);
    const RECT& d = cornersDst;
    const RECT& s = cornersSrc;
    // Column and row edges for destination and source.
    int dx[4] = {rc.left, rc.left + d.left, rc.right - d.right, rc.right};
    int dy[4] = {rc.top, rc.top + d.top, rc.bottom - d.bottom, rc.bottom};
    int sx[4] = {bmp.left, bmp.left + s.left, bmp.right - s.right, bmp.right};
    int sy[4] = {bmp.top, bmp.top + s.top, bmp.bottom - s.bottom, bmp.bottom};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            bool centre = row == 1 && col == 1;
            if (centre && hole) continue;
            RECT dst = {dx[col], dy[row], dx[col + 1], dy[row + 1]};
            RECT from = {sx[col], sy[row], sx[col + 1], sy[row + 1]};
            RECT visible;
            if (!::IntersectRect(&visible, &dst, &rcPaint)) continue;
            if (centre && (xtiled || ytiled)) {
                TilePart(hDC, src.get(), source.get(), dst, from, alpha, fade, xtiled, ytiled);
            } else {
                BlitPart(hDC, src.get(), source.get(), dst, from, alpha, fade);
            }
        }
    }
    ::SetBrushOrgEx(hDC, prevOrigin.x, prevOrigin.y, nullptr);
    ::SetStretchBltMode(hDC, prevMode);
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t\r\n");
    if (begin == std::wstring::npos) return std::wstring();
    size_t end = text.find_last_not_of(L" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

void ApplyImageKey(const std::wstring& key, const std::wstring& value, TDrawInfo& info) {
    RECT rc;
    int number;
    DWORD color;
    if (key == L"file" || key == L"res") {
        info.sImageName = value;
    } else if (key == L"restype") {
        info.sResType = value;
    } else if (key == L"dest") {
        if (detail::ParseRect(value.c_str(), rc)) {
            info.rcDest = rc;
            info.hasDest = true;
        }
    } else if (key == L"source") {
        if (detail::ParseRect(value.c_str(), rc)) {
            info.rcSource = rc;
            info.hasSource = true;
        }
    } else if (key == L"corner" || key == L"scale9") {
        if (detail::ParseRect(value.c_str(), rc)) info.rcCorner = rc;
    } else if (key == L"mask") {
        if (detail::ParseColor(value.c_str(), color)) info.dwMask = color;
    } else if (key == L"fade") {
        if (detail::ParseInt(value.c_str(), number)) info.uFade = static_cast<BYTE>(std::clamp(number, 0, 255));
    } else if (key == L"hole") {
        info.bHole = detail::ParseBool(value.c_str());
    } else if (key == L"xtiled") {
        info.bTiledX = detail::ParseBool(value.c_str());
    } else if (key == L"ytiled") {
        info.bTiledY = detail::ParseBool(value.c_str());
    }
}

// key='value' pairs separated by blanks; a string without '=' is a bare file name.
bool ParseImageKeys(const std::wstring& text, TDrawInfo& info) {
    if (text.find(L'=') == std::wstring::npos) {
        std::wstring name = Trim(text);
        if (!name.empty()) info.sImageName = name;
        return true;
    }
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && iswspace(text[i])) ++i;
        if (i >= text.size()) break;
        size_t eq = text.find(L'=', i);
        if (eq == std::wstring::npos) return false;
        std::wstring key = Trim(text.substr(i, eq - i));
        i = eq + 1;
        while (i < text.size() && iswspace(text[i])) ++i;
        std::wstring value;
        if (i < text.size() && (text[i] == L'\'' || text[i] == L'"')) {
            wchar_t quote = text[i++];
            size_t close = text.find(quote, i);
            if (close == std::wstring::npos) return false;
            value = text.substr(i, close - i);
            i = close + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !iswspace(text[end])) ++end;
            value = text.substr(i, end - i);
            i = end;
        }
        ApplyImageKey(key, value, info);
    }
    return true;
}

}  // namespace

// ---- CRenderClip ---------------------------------------------------------------------

CRenderClip::~CRenderClip() {
    if (hDC) ::SelectClipRgn(hDC, hOldRgn);
    if (hOldRgn) ::DeleteObject(hOldRgn);
    if (hRgn) ::DeleteObject(hRgn);
}

static void SaveClip(HDC hDC, CRenderClip& clip) {
    HRGN old = ::CreateRectRgn(0, 0, 0, 0);
    if (::GetClipRgn(hDC, old) == 1) {
        clip.hOldRgn = old;
    } else {
        ::DeleteObject(old);
        clip.hOldRgn = nullptr;  // the DC had no clip region
    }
}

void CRenderClip::GenerateClip(HDC hDC, RECT rc, CRenderClip& clip) {
    SaveClip(hDC, clip);
    clip.rcItem = rc;
    ::LPtoDP(hDC, reinterpret_cast<POINT*>(&rc), 2);  // clip regions are in device units
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    if (clip.hOldRgn) ::CombineRgn(clip.hRgn, clip.hRgn, clip.hOldRgn, RGN_AND);
    ::SelectClipRgn(hDC, clip.hRgn);
    clip.hDC = hDC;
}

void CRenderClip::GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height, CRenderClip& clip) {
    SaveClip(hDC, clip);
    clip.rcItem = rc;
    ::LPtoDP(hDC, reinterpret_cast<POINT*>(&rc), 2);
    ::LPtoDP(hDC, reinterpret_cast<POINT*>(&rcItem), 2);
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    UniqueGdiObject round(
        ::CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, width, height));
    ::CombineRgn(clip.hRgn, clip.hRgn, static_cast<HRGN>(round.get()), RGN_AND);
    if (clip.hOldRgn) ::CombineRgn(clip.hRgn, clip.hRgn, clip.hOldRgn, RGN_AND);
    ::SelectClipRgn(hDC, clip.hRgn);
    clip.hDC = hDC;
}

void CRenderClip::UseOldClipBegin(HDC hDC, CRenderClip& clip) { ::SelectClipRgn(hDC, clip.hOldRgn); }

void CRenderClip::UseOldClipEnd(HDC hDC, CRenderClip& clip) { ::SelectClipRgn(hDC, clip.hRgn); }

// ---- images --------------------------------------------------------------------------

DWORD CRenderEngine::AdjustColor(DWORD color, short, short, short) { return color; }

TImageInfo* CRenderEngine::LoadImage(const std::string& bytes, DWORD mask) {
    if (bytes.empty()) return nullptr;
    detail::EnsureGdiplus();
    IStream* stream = ::SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!stream) return nullptr;
    TImageInfo* info = nullptr;
    {
        Gdiplus::Bitmap bitmap(stream);
        int width = static_cast<int>(bitmap.GetWidth()), height = static_cast<int>(bitmap.GetHeight());
        Gdiplus::BitmapData data = {};
        Gdiplus::Rect all(0, 0, width, height);
        if (bitmap.GetLastStatus() == Gdiplus::Ok && width > 0 && height > 0 &&
            bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) == Gdiplus::Ok) {
            BITMAPINFO bmi = {};
            bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB};
            void* bits = nullptr;
            HBITMAP dib = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (dib) {
                info = new TImageInfo;
                info->hBitmap.reset(dib);
                info->pBits = static_cast<LPBYTE>(bits);
                info->nX = width;
                info->nY = height;
                bool anyAlpha = false;
                for (int y = 0; y < height; ++y) {
                    const BYTE* src = static_cast<const BYTE*>(data.Scan0) + y * data.Stride;
                    BYTE* dst = info->pBits + y * width * 4;
                    for (int x = 0; x < width; ++x, src += 4, dst += 4) {
                        BYTE b = src[0], g = src[1], r = src[2], a = src[3];
                        if (mask && RGB(b, g, r) == (mask & 0x00FFFFFF)) a = 0;
                        if (a < 255) anyAlpha = true;
                        dst[0] = static_cast<BYTE>(b * a / 255);
                        dst[1] = static_cast<BYTE>(g * a / 255);
                        dst[2] = static_cast<BYTE>(r * a / 255);
                        dst[3] = a;
                    }
                }
                info->alphaChannel = anyAlpha;
            }
            bitmap.UnlockBits(&data);
        }
    }
    stream->Release();
    return info;
}

void CRenderEngine::FreeImage(TImageInfo* image) { delete image; }  // the info owns its bitmap

bool CRenderEngine::ParseImageString(LPCTSTR imageString, LPCTSTR modify, TDrawInfo& info) {
    info = TDrawInfo();
    if (!imageString) return false;
    if (!ParseImageKeys(imageString, info)) return false;
    if (modify && *modify && !ParseImageKeys(modify, info)) return false;
    return !info.sImageName.empty();
}

void CRenderEngine::DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint, const RECT& rcBmpPart,
                              const RECT& rcCorners, bool alphaChannel, BYTE fade, bool hole, bool xtiled,
                              bool ytiled) {
    DrawNineGrid(hDC, hBitmap, rc, rcPaint, rcBmpPart, rcCorners, rcCorners, alphaChannel, fade, hole, xtiled, ytiled);
}

bool CRenderEngine::DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                                    LPCTSTR imageString, LPCTSTR modify) {
    if (!pManager || !imageString || !*imageString) return false;
    TDrawInfo info;
    if (!ParseImageString(imageString, modify, info)) return false;
    const TImageInfo* image =
        pManager->GetImageEx(info.sImageName.c_str(), info.sResType.empty() ? nullptr : info.sResType.c_str(),
                             info.dwMask);
    if (!image) return false;

    RECT dest = rcItem;
    if (info.hasDest) {
        RECT scaled = pManager->ScaleRect(info.rcDest);
        dest = {rcItem.left + scaled.left, rcItem.top + scaled.top, rcItem.left + scaled.right,
                rcItem.top + scaled.bottom};
        if (dest.right > rcItem.right) dest.right = rcItem.right;
        if (dest.bottom > rcItem.bottom) dest.bottom = rcItem.bottom;
    }
    int scale = image->nScale;
    RECT source = {0, 0, image->nX, image->nY};
    if (info.hasSource) {
        source = {info.rcSource.left * scale, info.rcSource.top * scale, info.rcSource.right * scale,
                  info.rcSource.bottom * scale};
        source.left = std::clamp(static_cast<int>(source.left), 0, image->nX);
        source.right = std::clamp(static_cast<int>(source.right), 0, image->nX);
        source.top = std::clamp(static_cast<int>(source.top), 0, image->nY);
        source.bottom = std::clamp(static_cast<int>(source.bottom), 0, image->nY);
    }
    RECT cornerSrc = {info.rcCorner.left * scale, info.rcCorner.top * scale, info.rcCorner.right * scale,
                      info.rcCorner.bottom * scale};
    RECT cornerDst = pManager->ScaleRect(info.rcCorner);
    RECT paint;
    if (!::IntersectRect(&paint, &dest, &rcPaint)) return true;
    DrawNineGrid(hDC, image->hBitmap.get(), dest, paint, source, cornerDst, cornerSrc, image->alphaChannel, info.uFade,
                 info.bHole, info.bTiledX, info.bTiledY);
    return true;
}

// ---- colours and shapes --------------------------------------------------------------

void CRenderEngine::DrawColor(HDC hDC, const RECT& rc, DWORD color) {
    BYTE alpha = Alpha(color);
    if (alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    // A 1x1 premultiplied pixel stretched with AlphaBlend keeps the destination's alpha
    // channel right, which layered windows need; FillRect would zero it.
    DibSurface pixel(1, 1, hDC, DibSurface::Rows::BottomUp);
    if (!pixel) return;
    BYTE* p = static_cast<BYTE*>(pixel.bits());
    p[0] = static_cast<BYTE>((color & 0xFF) * alpha / 255);
    p[1] = static_cast<BYTE>(((color >> 8) & 0xFF) * alpha / 255);
    p[2] = static_cast<BYTE>(((color >> 16) & 0xFF) * alpha / 255);
    p[3] = alpha;
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pixel.hdc(), 0, 0, 1, 1, blend);
}

void CRenderEngine::DrawGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps) {
    (void)steps;
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rc.left;
    vertices[0].y = rc.top;
    vertices[0].Red = static_cast<COLOR16>(((first >> 16) & 0xFF) << 8);
    vertices[0].Green = static_cast<COLOR16>(((first >> 8) & 0xFF) << 8);
    vertices[0].Blue = static_cast<COLOR16>((first & 0xFF) << 8);
    vertices[0].Alpha = static_cast<COLOR16>(Alpha(first) << 8);
    vertices[1].x = rc.right;
    vertices[1].y = rc.bottom;
    vertices[1].Red = static_cast<COLOR16>(((second >> 16) & 0xFF) << 8);
    vertices[1].Green = static_cast<COLOR16>(((second >> 8) & 0xFF) << 8);
    vertices[1].Blue = static_cast<COLOR16>((second & 0xFF) << 8);
    vertices[1].Alpha = static_cast<COLOR16>(Alpha(second) << 8);
    GRADIENT_RECT gradient = {0, 1};
    ::GdiGradientFill(hDC, vertices, 2, &gradient, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H);
}

void CRenderEngine::DrawLine(HDC hDC, const RECT& rc, int size, DWORD penColor, int style) {
    if (Alpha(penColor) == 0 || size <= 0) return;
    if (style == PS_SOLID && (rc.left == rc.right || rc.top == rc.bottom)) {
        // Axis-aligned solid lines as fills: crisp, and alpha-correct.
        RECT line = rc.left == rc.right ? RECT{rc.left, rc.top, rc.left + size, rc.bottom}
                                        : RECT{rc.left, rc.top, rc.right, rc.top + size};
        DrawColor(hDC, line, penColor);
        return;
    }
    LOGBRUSH brush = {BS_SOLID, ToColorRef(penColor), 0};
    UniqueGdiObject pen(::ExtCreatePen(PS_GEOMETRIC | static_cast<DWORD>(style), size, &brush, 0, nullptr));
    SelectedObject selected(hDC, pen.get());
    POINT pts[2] = {{rc.left, rc.top}, {rc.right, rc.bottom}};
    ::Polyline(hDC, pts, 2);
}

void CRenderEngine::DrawRect(HDC hDC, const RECT& rc, int size, DWORD penColor, int style) {
    if (Alpha(penColor) == 0 || size <= 0) return;
    if (style == PS_SOLID) {
        DrawColor(hDC, {rc.left, rc.top, rc.right, rc.top + size}, penColor);
        DrawColor(hDC, {rc.left, rc.bottom - size, rc.right, rc.bottom}, penColor);
        DrawColor(hDC, {rc.left, rc.top + size, rc.left + size, rc.bottom - size}, penColor);
        DrawColor(hDC, {rc.right - size, rc.top + size, rc.right, rc.bottom - size}, penColor);
        return;
    }
    UniqueGdiObject pen(::CreatePen(style | PS_INSIDEFRAME, size, ToColorRef(penColor)));
    SelectedObject selectedPen(hDC, pen.get());
    SelectedObject selectedBrush(hDC, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(hDC, rc.left, rc.top, rc.right, rc.bottom);
}

static void AddRoundRectPath(Gdiplus::GraphicsPath& path, Gdiplus::RectF r, float rx, float ry) {
    rx = std::min(rx, r.Width);
    ry = std::min(ry, r.Height);
    if (rx <= 0 || ry <= 0) {
        path.AddRectangle(r);
        return;
    }
    path.AddArc(r.X, r.Y, rx, ry, 180, 90);
    path.AddArc(r.X + r.Width - rx, r.Y, rx, ry, 270, 90);
    path.AddArc(r.X + r.Width - rx, r.Y + r.Height - ry, rx, ry, 0, 90);
    path.AddArc(r.X, r.Y + r.Height - ry, rx, ry, 90, 90);
    path.CloseFigure();
}

void CRenderEngine::DrawRoundRect(HDC hDC, const RECT& rc, int width, int height, int size, DWORD penColor, int style) {
    if (Alpha(penColor) == 0 || size <= 0) return;
    detail::EnsureGdiplus();
    Gdiplus::Graphics graphics(hDC);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::Pen pen(ToGdiplus(penColor), static_cast<Gdiplus::REAL>(size));
    if (style == PS_DASH) pen.SetDashStyle(Gdiplus::DashStyleDash);
    if (style == PS_DOT) pen.SetDashStyle(Gdiplus::DashStyleDot);
    float half = size / 2.0f;
    Gdiplus::RectF r(rc.left + half, rc.top + half, rc.right - rc.left - size, rc.bottom - rc.top - size);
    Gdiplus::GraphicsPath path;
    AddRoundRectPath(path, r, static_cast<float>(width), static_cast<float>(height));
    graphics.DrawPath(&pen, &path);
}

void CRenderEngine::FillRoundRect(HDC hDC, const RECT& rc, int width, int height, DWORD color) {
    if (Alpha(color) == 0) return;
    if (width <= 0 || height <= 0) {
        DrawColor(hDC, rc, color);
        return;
    }
    detail::EnsureGdiplus();
    Gdiplus::Graphics graphics(hDC);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::SolidBrush brush(ToGdiplus(color));
    Gdiplus::GraphicsPath path;
    AddRoundRectPath(path, Gdiplus::RectF(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top),
                     static_cast<float>(width), static_cast<float>(height));
    graphics.FillPath(&brush, &path);
}

// ---- text ----------------------------------------------------------------------------

void CRenderEngine::DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR text, DWORD textColor, int font,
                             UINT style) {
    if (!text || !pManager) return;
    bool measure = (style & DT_CALCRECT) != 0;
    if (!measure && Alpha(textColor) == 0) return;
    int oldMode = ::SetBkMode(hDC, TRANSPARENT);
    COLORREF oldColor = ::SetTextColor(hDC, ToColorRef(textColor));
    HGDIOBJ oldFont = ::SelectObject(hDC, pManager->GetFont(font));
    ::DrawTextW(hDC, text, -1, &rc, style | DT_NOPREFIX);
    ::SelectObject(hDC, oldFont);
    ::SetTextColor(hDC, oldColor);
    ::SetBkMode(hDC, oldMode);
}

namespace {

struct HtmlRun {
    std::wstring text;
    HFONT font;
    DWORD color;
    int link;       // -1 none
    bool selected;  // <s>
    bool newline;   // run starts a new line
    int indentX;
};

struct HtmlState {
    std::wstring face;
    int size;
    bool bold, italic, underline;
    DWORD color;
    int link;
    bool selected;
};

}  // namespace

void CRenderEngine::DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR text, DWORD textColor,
                                 RECT* links, CDuiString* linkTargets, int& linkCount, UINT style) {
    int maxLinks = linkCount;
    linkCount = 0;
    if (!text || !pManager) return;
    bool measure = (style & DT_CALCRECT) != 0;
    bool singleLine = (style & DT_SINGLELINE) != 0;
    TFontInfo* base = pManager->GetDefaultFontInfo();

    std::vector<HtmlState> stack;
    HtmlState state{base->sFontName, base->iSize, base->bBold, base->bItalic, base->bUnderline, textColor, -1, false};
    std::vector<HtmlRun> runs;
    std::vector<CDuiString> targets;
    bool pendingNewline = false;
    int pendingIndent = 0;
    auto fontOf = [&](const HtmlState& s) { return pManager->GetFont(s.face.c_str(), s.size, s.bold, s.underline, s.italic); };
    auto addText = [&](const std::wstring& chunk) {
        if (chunk.empty()) return;
        runs.push_back({chunk, fontOf(state), state.color, state.link, state.selected, pendingNewline, pendingIndent});
        pendingNewline = false;
        pendingIndent = 0;
    };

    std::wstring pending;
    const wchar_t* p = text;
    while (*p) {
        wchar_t open = *p;
        if (open == L'<' || open == L'{') {
            wchar_t close = open == L'<' ? L'>' : L'}';
            const wchar_t* end = wcschr(p + 1, close);
            if (end) {
                std::wstring tag(p + 1, end);
                std::wstring name, arg;
                bool closing = !tag.empty() && tag[0] == L'/';
                if (closing) tag.erase(0, 1);
                size_t space = tag.find(L' ');
                name = tag.substr(0, space);
                if (space != std::wstring::npos) arg = Trim(tag.substr(space + 1));
                bool known = name == L"b" || name == L"i" || name == L"u" || name == L"s" || name == L"c" ||
                             name == L"f" || name == L"a" || name == L"n" || name == L"p" || name == L"r" ||
                             name == L"x" || name == L"y";
                if (known) {
                    addText(pending);
                    pending.clear();
                    p = end + 1;
                    if (name == L"r" && !closing) {
                        // Raw text up to the closing tag.
                        std::wstring closeTag = std::wstring(1, open) + L"/r" + std::wstring(1, close);
                        const wchar_t* rawEnd = wcsstr(p, closeTag.c_str());
                        pending.assign(p, rawEnd ? rawEnd : p + wcslen(p));
                        p = rawEnd ? rawEnd + closeTag.size() : p + wcslen(p);
                        continue;
                    }
                    if (name == L"n") {
                        pendingNewline = true;
                        continue;
                    }
                    if (name == L"p") {
                        if (!closing) pendingNewline = true;
                        continue;
                    }
                    if (name == L"x") {
                        int value = 0;
                        detail::ParseInt(arg.c_str(), value);
                        pendingIndent += pManager->ScaleValue(value);
                        continue;
                    }
                    if (name == L"y") continue;
                    if (closing) {
                        if (!stack.empty()) {
                            state = stack.back();
                            stack.pop_back();
                        }
                        continue;
                    }
                    stack.push_back(state);
                    if (name == L"b") state.bold = true;
                    if (name == L"i") state.italic = true;
                    if (name == L"u") state.underline = true;
                    if (name == L"s") state.selected = true;
                    if (name == L"c") {
                        DWORD color;
                        if (detail::ParseColor(arg.c_str(), color)) {
                            if (Alpha(color) == 0) color |= 0xFF000000;
                            state.color = color;
                        }
                    }
                    if (name == L"f") {
                        int index;
                        if (detail::ParseInt(arg.c_str(), index)) {
                            TFontInfo* info = pManager->GetFontInfo(index);
                            state.face = info->sFontName;
                            state.size = info->iSize;
                            state.bold = info->bBold;
                            state.italic = info->bItalic;
                            state.underline = info->bUnderline;
                        } else if (!arg.empty()) {
                            std::wstring face = arg;
                            size_t sp = face.find(L' ');
                            if (sp != std::wstring::npos) {
                                std::wstring rest = face.substr(sp + 1);
                                face = face.substr(0, sp);
                                int size;
                                if (detail::ParseInt(rest.substr(0, rest.find(L' ')).c_str(), size)) state.size = size;
                                if (rest.find(L"bold") != std::wstring::npos) state.bold = true;
                                if (rest.find(L"italic") != std::wstring::npos) state.italic = true;
                                if (rest.find(L"underline") != std::wstring::npos) state.underline = true;
                            }
                            state.face = face;
                        }
                    }
                    if (name == L"a") {
                        state.link = static_cast<int>(targets.size());
                        targets.push_back(arg);
                        state.color = pManager->GetDefaultLinkFontColor();
                        state.underline = true;
                    }
                    continue;
                }
            }
        }
        pending.push_back(*p++);
    }
    addText(pending);

    // Layout: break into lines of measured pieces.
    struct Piece {
        std::wstring text;
        const HtmlRun* run;
        int x, width;
    };
    struct Line {
        std::vector<Piece> pieces;
        int width = 0, height = 0, ascent = 0;
    };
    std::vector<Line> lines(1);
    int maxWidth = singleLine ? INT_MAX : std::max(1, static_cast<int>(rc.right - rc.left));
    HGDIOBJ oldFont = ::SelectObject(hDC, base->hFont);
    auto lineMetrics = [&](Line& line, HFONT font) {
        ::SelectObject(hDC, font);
        TEXTMETRICW tm;
        ::GetTextMetricsW(hDC, &tm);
        line.height = std::max(line.height, static_cast<int>(tm.tmHeight));
        line.ascent = std::max(line.ascent, static_cast<int>(tm.tmAscent));
    };
    for (const auto& run : runs) {
        if (run.newline && !singleLine) lines.emplace_back();
        Line* line = &lines.back();
        line->width += run.indentX;
        lineMetrics(*line, run.font);
        size_t start = 0;
        while (start < run.text.size()) {
            // Fit as many characters as the line allows (CJK text breaks anywhere, Latin
            // text at the last blank when one exists).
            int available = maxWidth - line->width;
            int fit = 0;
            SIZE extent = {};
            std::wstring rest = run.text.substr(start);
            ::GetTextExtentExPointW(hDC, rest.c_str(), static_cast<int>(rest.size()), std::max(available, 0), &fit,
                                    nullptr, &extent);
            if (singleLine) fit = static_cast<int>(rest.size());
            if (fit < static_cast<int>(rest.size())) {
                size_t blank = rest.find_last_of(L' ', fit);
                if (blank != std::wstring::npos && blank > 0 && rest[fit] < 0x2E80) fit = static_cast<int>(blank) + 1;
                if (fit == 0 && line->pieces.empty()) fit = 1;  // at least one character per line
            }
            if (fit > 0) {
                std::wstring piece = rest.substr(0, fit);
                SIZE size = {};
                ::GetTextExtentPoint32W(hDC, piece.c_str(), static_cast<int>(piece.size()), &size);
                line->pieces.push_back({piece, &run, line->width, size.cx});
                line->width += size.cx;
                start += fit;
            }
            if (start < run.text.size()) {
                lines.emplace_back();
                line = &lines.back();
                lineMetrics(*line, run.font);
            }
        }
    }
    for (auto& line : lines) {
        if (line.height == 0) lineMetrics(line, base->hFont);
    }
    int totalHeight = 0, totalWidth = 0;
    for (auto& line : lines) {
        totalHeight += line.height;
        totalWidth = std::max(totalWidth, line.width);
    }
    if (measure) {
        ::SelectObject(hDC, oldFont);
        rc.right = rc.left + std::min(totalWidth, maxWidth == INT_MAX ? totalWidth : maxWidth);
        rc.bottom = rc.top + totalHeight;
        return;
    }
    int y = rc.top;
    if (style & DT_VCENTER) y = rc.top + (rc.bottom - rc.top - totalHeight) / 2;
    if (style & DT_BOTTOM) y = rc.bottom - totalHeight;
    int oldMode = ::SetBkMode(hDC, TRANSPARENT);
    CRenderClip clip;
    CRenderClip::GenerateClip(hDC, rc, clip);
    for (auto& line : lines) {
        int x = rc.left;
        if (style & DT_CENTER) x = rc.left + (rc.right - rc.left - line.width) / 2;
        if (style & DT_RIGHT) x = rc.right - line.width;
        for (auto& piece : line.pieces) {
            const HtmlRun& run = *piece.run;
            ::SelectObject(hDC, run.font);
            TEXTMETRICW tm;
            ::GetTextMetricsW(hDC, &tm);
            int top = y + line.ascent - tm.tmAscent;
            RECT area = {x + piece.x, y, x + piece.x + piece.width, y + line.height};
            if (run.selected) DrawColor(hDC, area, pManager->GetDefaultSelectedBkColor());
            ::SetTextColor(hDC, ToColorRef(run.color));
            ::TextOutW(hDC, area.left, top, piece.text.c_str(), static_cast<int>(piece.text.size()));
            if (run.link >= 0 && links && linkCount < maxLinks) {
                links[linkCount] = area;
                if (linkTargets) linkTargets[linkCount] = targets[run.link];
                ++linkCount;
            }
        }
        y += line.height;
    }
    ::SetBkMode(hDC, oldMode);
    ::SelectObject(hDC, oldFont);
}

HBITMAP CRenderEngine::GenerateBitmap(CPaintManagerUI* pManager, CControlUI* pControl, RECT rc) {
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (!pManager || !pControl || width <= 0 || height <= 0) return nullptr;
    DibSurface surface;
    {
        WindowDc screen(nullptr);
        if (!surface.Create(width, height, screen.get())) return nullptr;
    }
    ::SetWindowOrgEx(surface.hdc(), rc.left, rc.top, nullptr);
    pControl->DoPaint(surface.hdc(), rc);
    return surface.ReleaseBitmap();
}

SIZE CRenderEngine::GetTextSize(HDC hDC, CPaintManagerUI* pManager, LPCTSTR text, int font, UINT style) {
    RECT rc = {0, 0, 9999, 9999};
    DrawText(hDC, pManager, rc, text, 0, font, style | DT_CALCRECT);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace winhush::dui
