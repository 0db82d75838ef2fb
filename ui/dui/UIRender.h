// Drawing primitives used by every control: image strings ("file='a.png' source='..'
// corner='..' fade='..'"), nine-grid stretching, alpha blending, colours and gradients,
// borders and anti-aliased rounded rectangles, plain and HTML-style text, and CRenderClip,
// which narrows a DC's clip region for the lifetime of a scope.
#pragma once

#include <windows.h>

#include "base/Handles.h"
#include "ui/dui/UIBase.h"
#include "ui/dui/UIManager.h"

namespace winhush::dui {

class CControlUI;

class CRenderClip {
public:
    CRenderClip() = default;
    ~CRenderClip();
    CRenderClip(const CRenderClip&) = delete;
    CRenderClip& operator=(const CRenderClip&) = delete;

    RECT rcItem = {};
    HDC hDC = nullptr;
    UniqueGdiObject hRgn;     // the clip in force for the scope
    UniqueGdiObject hOldRgn;  // the DC's clip before it; empty when the DC had none

    static void GenerateClip(HDC hDC, RECT rc, CRenderClip& clip);
    static void GenerateRoundClip(HDC hDC, RECT rc, RECT rcItem, int width, int height, CRenderClip& clip);
    static void UseOldClipBegin(HDC hDC, CRenderClip& clip);
    static void UseOldClipEnd(HDC hDC, CRenderClip& clip);
};

// The parsed form of an image string, exposed for the builder tests and for controls
// that draw strips frame by frame.
struct TDrawInfo {
    CDuiString sImageName;
    CDuiString sResType;
    RECT rcDest = {};     // relative to the control, 96-DPI units; empty = whole control
    bool hasDest = false;
    RECT rcSource = {};   // in 1x image pixels; empty = whole image
    bool hasSource = false;
    RECT rcCorner = {};   // in 1x image pixels
    DWORD dwMask = 0;
    BYTE uFade = 255;
    bool bHole = false;
    bool bTiledX = false;
    bool bTiledY = false;
};

class CRenderEngine {
public:
    static DWORD AdjustColor(DWORD color, short h, short s, short l);
    // Decodes PNG/JPEG/BMP/GIF bytes into a premultiplied 32-bit DIB; pixels equal to
    // mask (RGB) become transparent. Null when the bytes are not an image.
    static TImageInfo* LoadImage(const std::string& bytes, DWORD mask = 0);
    static void FreeImage(TImageInfo* image);

    static bool ParseImageString(LPCTSTR imageString, LPCTSTR modify, TDrawInfo& info);

    // rc: destination in pixels; rcBmpPart and rcCorners in bitmap pixels.
    static void DrawImage(HDC hDC, HBITMAP hBitmap, const RECT& rc, const RECT& rcPaint, const RECT& rcBmpPart,
                          const RECT& rcCorners, bool alphaChannel, BYTE fade = 255, bool hole = false,
                          bool xtiled = false, bool ytiled = false);
    static bool DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                                LPCTSTR imageString, LPCTSTR modify = nullptr);
    static void DrawColor(HDC hDC, const RECT& rc, DWORD color);
    static void DrawGradient(HDC hDC, const RECT& rc, DWORD first, DWORD second, bool vertical, int steps);
    static void DrawLine(HDC hDC, const RECT& rc, int size, DWORD penColor, int style = PS_SOLID);
    static void DrawRect(HDC hDC, const RECT& rc, int size, DWORD penColor, int style = PS_SOLID);
    // Anti-aliased (GDI+) rounded rectangles; width/height are the corner ellipse.
    static void DrawRoundRect(HDC hDC, const RECT& rc, int width, int height, int size, DWORD penColor,
                              int style = PS_SOLID);
    static void FillRoundRect(HDC hDC, const RECT& rc, int width, int height, DWORD color);
    static void DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR text, DWORD textColor, int font,
                         UINT style);
    // Markup: <b> <i> <u> <s> <c #AARRGGBB> <f n> <a target> <n> <p> <r> <x n> <y n>, with
    // {} accepted in place of <>. Link rectangles are written to links (up to linkCount).
    static void DrawHtmlText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR text, DWORD textColor,
                             RECT* links, CDuiString* linkTargets, int& linkCount, UINT style);
    static HBITMAP GenerateBitmap(CPaintManagerUI* pManager, CControlUI* pControl, RECT rc);
    static SIZE GetTextSize(HDC hDC, CPaintManagerUI* pManager, LPCTSTR text, int font, UINT style);
};

}  // namespace winhush::dui
