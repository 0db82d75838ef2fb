// A memory DC with a 32-bit DIB section selected into it: the off-screen surface that
// double buffering, layered windows, captures and shadows all draw into.
//
// The surface owns the DC and the bitmap and puts the DC's original bitmap back before
// either is freed (a DC must not be deleted with one of our bitmaps still selected, and a
// selected bitmap cannot be deleted).
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/Handles.h"

namespace winhush {

class DibSurface {
public:
    // Top-down rows put pixel (x, y) at bits + y * stride; bottom-up is what GDI prints
    // into by default and what BMP files store.
    enum class Rows { TopDown, BottomUp };

    DibSurface() = default;
    // `reference` is the DC the memory DC is made compatible with (null: the screen).
    DibSurface(int width, int height, HDC reference = nullptr, Rows rows = Rows::TopDown) {
        Create(width, height, reference, rows);
    }
    ~DibSurface() { Reset(); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    DibSurface(DibSurface&& other) noexcept;
    DibSurface& operator=(DibSurface&& other) noexcept;

    // Replaces what is held with a new surface of the given size; on failure the surface
    // is empty. The pixels start zeroed (transparent black).
    bool Create(int width, int height, HDC reference = nullptr, Rows rows = Rows::TopDown);
    // A device-dependent bitmap for when no DIB section can be had: it draws like one, but
    // its pixels are out of reach (bits() is null).
    bool CreateCompatible(int width, int height, HDC reference);
    void Reset();

    // Hands the bitmap to the caller and leaves the surface empty.
    HBITMAP ReleaseBitmap();

    explicit operator bool() const { return dc_ && bitmap_; }
    HDC hdc() const { return dc_.get(); }
    HBITMAP bitmap() const { return bitmap_.get(); }
    void* bits() const { return bits_; }
    // The pixels as premultiplied BGRA words, row by row in the surface's row order.
    uint32_t* pixels() const { return static_cast<uint32_t*>(bits_); }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ * 4; }  // 32-bit rows need no padding
    Rows rows() const { return rows_; }

private:
    bool Adopt(HDC reference, HBITMAP bitmap, void* bits, int width, int height, Rows rows);

    UniqueMemoryDc dc_;
    UniqueHBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0, height_ = 0;
    Rows rows_ = Rows::TopDown;
};

}  // namespace winhush
