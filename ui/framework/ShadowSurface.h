// The soft shadow drawn around a borderless window: a premultiplied 32-bit image of a
// blurred rounded rectangle, pushed to a layered window with UpdateLayeredWindow so that
// every pixel carries its own opacity (SetLayeredWindowAttributes cannot do that, and it
// draws opaque inside Wine's virtual desktop anyway).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/DibSurface.h"

namespace winhush::ui {

struct ShadowMargins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct ShadowStyle {
    uint32_t colour = 0x30000000;  // ARGB; the alpha is the darkness right under the window's edge
    int cornerRadius = 8;          // of the window the shadow belongs to, in pixels
    // Leave the window's own area clear. An owned window always stays above its owner in
    // z-order, so a shadow owned by its host would otherwise darken the host's content.
    bool hole = true;
    // Without desktop composition per-pixel alpha is not blended (Wine without a compositor
    // turns every non-zero alpha into an opaque pixel). Opaque mode pre-blends the shadow
    // over a light backdrop and keeps only the pixels that visibly differ from it.
    bool opaque = false;
};

// True when the desktop blends per-pixel alpha of layered windows.
bool IsDesktopCompositionOn();

// Fills `pixels` (width × height, top-down BGRA, premultiplied) with the shadow of a window
// that occupies the image minus the margins. The shadow fades to nothing at the image's
// edges; a larger bottom than top margin reads as light from above.
void PaintShadow(uint32_t* pixels, int width, int height, const ShadowMargins& margins, const ShadowStyle& style);

// Keeps the rendered image of one layered window and re-renders only when its size, margins
// or style change; moves reuse the image.
class CShadowSurface {
public:
    // Places the layered window at `screenRect` showing the shadow; false when the window
    // is not layered or the image cannot be made.
    bool Present(HWND layered, const RECT& screenRect, const ShadowMargins& margins, const ShadowStyle& style);
    void Reset();

    // For other images pushed the same way (the lock veil): a top-down premultiplied BGRA
    // buffer of the given size that the caller fills, then pushes; null on failure.
    uint32_t* Prepare(int width, int height);
    HDC GetDC() const { return surface_.hdc(); }
    bool Push(HWND layered, POINT origin);

private:
    bool Render(int width, int height, const ShadowMargins& margins, const ShadowStyle& style);

    DibSurface surface_;
    ShadowMargins margins_;
    ShadowStyle style_;
};

}  // namespace winhush::ui
