#include "ui/framework/ShadowSurface.h"

#include <dwmapi.h>

#include <algorithm>
#include <cmath>

namespace winhush::ui {

namespace {
// Signed distance from a point to a rounded rectangle given by its centre-relative
// half-extents; negative inside.
double RoundedRectDistance(double px, double py, double halfWidth, double halfHeight, double radius) {
    double qx = std::fabs(px) - (halfWidth - radius);
    double qy = std::fabs(py) - (halfHeight - radius);
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    double inside = std::min(std::max(qx, qy), 0.0);
    return outside + inside - radius;
}
}  // namespace

void PaintShadow(uint32_t* pixels, int width, int height, const ShadowMargins& margins, const ShadowStyle& style) {
    if (!pixels || width <= 0 || height <= 0) return;
    const double alphaMax = ((style.colour >> 24) & 0xFF) / 255.0;
    const double backdrop = 0xF5;  // a light window background, the usual thing behind a dialog
    const uint32_t red = (style.colour >> 16) & 0xFF, green = (style.colour >> 8) & 0xFF, blue = style.colour & 0xFF;

    // The caster is the window shifted towards the larger margins, blurred by the mean
    // margin: with margins 12,10,12,14 it sits 2 px low and the blur reaches exactly to
    // the image's edge on every side.
    double blurX = (margins.left + margins.right) / 2.0;
    double blurY = (margins.top + margins.bottom) / 2.0;
    double blur = std::max(1.0, (blurX + blurY) / 2.0);
    double casterWidth = width - margins.left - margins.right;
    double casterHeight = height - margins.top - margins.bottom;
    if (casterWidth <= 0 || casterHeight <= 0) {
        std::fill(pixels, pixels + static_cast<size_t>(width) * height, 0u);
        return;
    }
    double centreX = margins.left + casterWidth / 2.0 + (margins.right - margins.left) / 2.0;
    double centreY = margins.top + casterHeight / 2.0 + (margins.bottom - margins.top) / 2.0;
    double radius = std::clamp<double>(style.cornerRadius, 0.0, std::min(casterWidth, casterHeight) / 2.0);
    // An error-function edge approximates a Gaussian blur of the rectangle; sigma puts
    // the edge of the image about 2.5 sigma out, where less than 1% is left.
    double sigma = blur / 2.5;
    double scale = 1.0 / (sigma * std::sqrt(2.0));
    // The window itself, unshifted, for the hole.
    double windowCentreX = margins.left + casterWidth / 2.0;
    double windowCentreY = margins.top + casterHeight / 2.0;

    for (int y = 0; y < height; ++y) {
        uint32_t* row = pixels + static_cast<size_t>(y) * width;
        double py = y + 0.5 - centreY;
        for (int x = 0; x < width; ++x) {
            double px = x + 0.5 - centreX;
            double distance = RoundedRectDistance(px, py, casterWidth / 2.0, casterHeight / 2.0, radius);
            double coverage = distance < -3 * sigma ? 1.0 : 0.5 * std::erfc(distance * scale);
            if (style.hole) {
                double inWindow = RoundedRectDistance(x + 0.5 - windowCentreX, py + centreY - windowCentreY,
                                                      casterWidth / 2.0, casterHeight / 2.0, radius);
                // Anti-aliased over one pixel so that the rounded corners stay smooth.
                coverage *= std::clamp(0.5 + inWindow, 0.0, 1.0);
            }
            if (style.opaque) {
                double a = alphaMax * coverage;
                if (a < 0.03) {
                    row[x] = 0;
                    continue;
                }
                auto blend = [&](uint32_t channel) {
                    return static_cast<uint32_t>(std::lround(backdrop * (1 - a) + channel * a));
                };
                row[x] = 0xFF000000u | (blend(red) << 16) | (blend(green) << 8) | blend(blue);
                continue;
            }
            uint32_t alpha = static_cast<uint32_t>(std::lround(alphaMax * coverage * 255.0));
            if (alpha == 0) {
                row[x] = 0;
                continue;
            }
            row[x] = (alpha << 24) | ((red * alpha / 255) << 16) | ((green * alpha / 255) << 8) | (blue * alpha / 255);
        }
    }
}

bool IsDesktopCompositionOn() {
    BOOL enabled = FALSE;
    return SUCCEEDED(::DwmIsCompositionEnabled(&enabled)) && enabled;
}

uint32_t* CShadowSurface::Prepare(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    if (!surface_ || width != surface_.width() || height != surface_.height()) {
        Reset();
        if (!surface_.Create(width, height)) return nullptr;
    }
    // Whatever was cached is about to be overwritten: no longer the cached shadow.
    margins_ = ShadowMargins{-1, -1, -1, -1};
    return surface_.pixels();
}

bool CShadowSurface::Push(HWND layered, POINT origin) {
    if (!surface_ || !::IsWindow(layered)) return false;
    ::GdiFlush();
    SIZE size = {surface_.width(), surface_.height()};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return ::UpdateLayeredWindow(layered, nullptr, &origin, &size, surface_.hdc(), &source, 0, &blend, ULW_ALPHA) != FALSE;
}

bool CShadowSurface::Render(int width, int height, const ShadowMargins& margins, const ShadowStyle& style) {
    bool sameShape =
        width == surface_.width() && height == surface_.height() && margins.left == margins_.left && margins.top == margins_.top &&
        margins.right == margins_.right && margins.bottom == margins_.bottom && style.colour == style_.colour &&
        style.cornerRadius == style_.cornerRadius && style.hole == style_.hole && style.opaque == style_.opaque;
    if (sameShape && surface_) return true;
    uint32_t* pixels = Prepare(width, height);
    if (!pixels) return false;
    PaintShadow(pixels, width, height, margins, style);
    margins_ = margins;
    style_ = style;
    return true;
}

void CShadowSurface::Reset() { surface_.Reset(); }

bool CShadowSurface::Present(HWND layered, const RECT& screenRect, const ShadowMargins& margins,
                             const ShadowStyle& style) {
    int width = screenRect.right - screenRect.left, height = screenRect.bottom - screenRect.top;
    if (!::IsWindow(layered) || width <= 0 || height <= 0) return false;
    if (!(::GetWindowLongPtrW(layered, GWL_EXSTYLE) & WS_EX_LAYERED)) return false;
    if (!Render(width, height, margins, style)) return false;
    return Push(layered, POINT{screenRect.left, screenRect.top});
}

}  // namespace winhush::ui
