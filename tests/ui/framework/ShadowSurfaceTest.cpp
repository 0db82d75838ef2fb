// The shadow image and its presentation through a real layered window.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "ui/framework/ShadowSurface.h"
#include "ui/framework/Window.h"

using namespace winhush::ui;
using namespace winhush::test;

namespace {

uint32_t AlphaAt(const std::vector<uint32_t>& px, int width, int x, int y) {
    return px[static_cast<size_t>(y) * width + x] >> 24;
}

struct Shadow {
    int width, height;
    std::vector<uint32_t> pixels;
    Shadow(int w, int h, ShadowMargins m, ShadowStyle s) : width(w), height(h), pixels(static_cast<size_t>(w) * h) {
        PaintShadow(pixels.data(), w, h, m, s);
    }
    uint32_t Alpha(int x, int y) const { return AlphaAt(pixels, width, x, y); }
};

}  // namespace

TEST(ShadowImage, FadesFromTheWindowEdgeToNothingAtTheImageEdge) {
    ShadowStyle style;
    style.colour = 0x40000000;
    style.cornerRadius = 8;
    Shadow s(224, 124, ShadowMargins{12, 12, 12, 12}, style);  // a 200×100 window
    // Image corners and edges: nothing left.
    EXPECT_EQ(s.Alpha(0, 0), 0u);
    EXPECT_LE(s.Alpha(112, 0), 2u);
    EXPECT_LE(s.Alpha(0, 62), 2u);
    // Right at the window's edge: about half the full darkness (0x40 / 2).
    EXPECT_NEAR(static_cast<int>(s.Alpha(11, 62)), 0x20, 6);
    // Strictly darker towards the window along a line out of the left edge.
    for (int x = 1; x < 11; ++x) EXPECT_GE(s.Alpha(x, 62), s.Alpha(x - 1, 62)) << x;
    EXPECT_GT(s.Alpha(10, 62), s.Alpha(2, 62));
    // The window's own area stays clear (hole), the shadow never darkens its content.
    EXPECT_EQ(s.Alpha(112, 62), 0u);
    EXPECT_EQ(s.Alpha(30, 13), 0u);
}

TEST(ShadowImage, IsPremultipliedInTheGivenColour) {
    ShadowStyle style;
    style.colour = 0x80FF0000;  // half-opaque red
    style.hole = false;
    Shadow s(124, 124, ShadowMargins{12, 12, 12, 12}, style);
    uint32_t centre = s.pixels[62 * 124 + 62];
    EXPECT_EQ(centre >> 24, 0x80u);
    EXPECT_EQ((centre >> 16) & 0xFF, 0x80u);  // red premultiplied by alpha
    EXPECT_EQ((centre >> 8) & 0xFF, 0u);
    EXPECT_EQ(centre & 0xFF, 0u);
    for (uint32_t p : s.pixels) {
        uint32_t a = p >> 24;
        ASSERT_LE((p >> 16) & 0xFF, a);  // no channel may exceed its alpha
    }
}

TEST(ShadowImage, FallsLowerWhenTheBottomMarginIsLarger) {
    ShadowStyle style;
    style.colour = 0x40000000;
    Shadow s(224, 124, ShadowMargins{12, 10, 12, 14}, style);  // window 200×100 at (12,10)
    // Same distance (4 px) outside the top and bottom edges: the bottom is darker.
    EXPECT_GT(s.Alpha(112, 10 - 4), 0u);
    EXPECT_GT(s.Alpha(112, 110 + 3), s.Alpha(112, 10 - 4));
}

TEST(ShadowImage, RoundCornersLeaveTheDiagonalLighterThanTheSides) {
    ShadowStyle round, square;
    round.colour = square.colour = 0x40000000;
    round.cornerRadius = 16;
    square.cornerRadius = 0;
    Shadow r(224, 124, ShadowMargins{12, 12, 12, 12}, round), q(224, 124, ShadowMargins{12, 12, 12, 12}, square);
    // Just outside the window's top-left corner, diagonally.
    EXPECT_LT(r.Alpha(10, 10), q.Alpha(10, 10));
}

TEST(ShadowImage, OpaqueModeHasOnlyClearOrSolidPixelsShadedTowardsTheWindow) {
    ShadowStyle style;
    style.colour = 0x40000000;
    style.opaque = true;
    Shadow s(224, 124, ShadowMargins{12, 12, 12, 12}, style);
    for (uint32_t p : s.pixels) ASSERT_TRUE((p >> 24) == 0 || (p >> 24) == 0xFF);
    auto grey = [&](int x, int y) { return static_cast<int>(s.pixels[static_cast<size_t>(y) * 224 + x] & 0xFF); };
    EXPECT_EQ(s.Alpha(0, 62), 0u);      // the faint outer fade is left out entirely
    EXPECT_EQ(s.Alpha(11, 62), 0xFFu);  // next to the window: solid
    EXPECT_LT(grey(11, 62), grey(8, 62));
    EXPECT_LT(grey(11, 62), 0xF5);    // darker than the light backdrop it imitates
    EXPECT_EQ(s.Alpha(112, 62), 0u);  // still no shadow under the window
}

namespace {
class LayeredWnd : public CWindowImpl<LayeredWnd, CWinTraits<WS_POPUP, WS_EX_LAYERED | WS_EX_TOOLWINDOW>> {
public:
    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
};
class PlainWnd : public CWindowImpl<PlainWnd, CWinTraits<WS_POPUP, WS_EX_TOOLWINDOW>> {
public:
    COLORREF colour = RGB(255, 255, 255);
    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) override {
        if (message != WM_PAINT) return FALSE;
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        HBRUSH brush = ::CreateSolidBrush(colour);
        RECT rc = GetClientRect();
        ::FillRect(dc, &rc, brush);
        ::DeleteObject(brush);
        ::EndPaint(hwnd, &ps);
        result = 0;
        return TRUE;
    }
};

COLORREF ScreenPixel(int x, int y) {
    HDC screen = ::GetDC(nullptr);
    COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return c;
}
int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }
}  // namespace

TEST(ShadowSurface, DarkensTheScreenAroundTheWindowAndNotUnderIt) {
    // A white backdrop so that the shadow has something to darken.
    PlainWnd backdrop;
    ASSERT_TRUE(backdrop.Create(nullptr, RECT{300, 200, 700, 500}));
    backdrop.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(backdrop);

    LayeredWnd layered;
    ASSERT_TRUE(layered.Create(nullptr, RECT{0, 0, 10, 10}));
    CShadowSurface surface;
    ShadowStyle style;
    style.colour = 0x60000000;
    RECT rc = {376, 276, 624, 424};  // shadow of a 200×100 window at (400,300)
    ASSERT_TRUE(surface.Present(layered, rc, ShadowMargins{24, 24, 24, 24}, style));
    ::SetWindowPos(layered, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    PumpFor(150ms);

    RECT placed = layered.GetWindowRect();
    EXPECT_EQ(placed.left, 376);
    EXPECT_EQ(placed.right - placed.left, 248);
    int white = Brightness(ScreenPixel(350, 350));
    int nearEdge = Brightness(ScreenPixel(396, 350));  // 4 px left of the window
    int outside = Brightness(ScreenPixel(373, 350));   // just outside the shadow's rectangle
    int inside = Brightness(ScreenPixel(500, 350));    // under the window itself: the hole
    EXPECT_GT(white, 700);
    EXPECT_LT(nearEdge, white - 60) << "no visible shadow next to the window";
    // (Wine without a compositor shows per-pixel alpha as a cut-out shape, so the fade
    // itself cannot be measured on its screen; the image tests above cover it.)
    EXPECT_GE(outside, white - 3);
    EXPECT_GE(inside, white - 3) << "the shadow darkens the window's own area";

    // A non-layered window cannot show per-pixel alpha: refused, not faked.
    EXPECT_FALSE(surface.Present(backdrop, rc, ShadowMargins{24, 24, 24, 24}, style));
    layered.DestroyWindow();
    backdrop.DestroyWindow();
}
