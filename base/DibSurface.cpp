#include "base/DibSurface.h"

#include <utility>

namespace winhush {

DibSurface::DibSurface(DibSurface&& other) noexcept
    : dc_(std::move(other.dc_)),
      bitmap_(std::move(other.bitmap_)),
      previous_(std::exchange(other.previous_, nullptr)),
      bits_(std::exchange(other.bits_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      rows_(other.rows_) {}

DibSurface& DibSurface::operator=(DibSurface&& other) noexcept {
    if (this != &other) {
        Reset();
        dc_ = std::move(other.dc_);
        bitmap_ = std::move(other.bitmap_);
        previous_ = std::exchange(other.previous_, nullptr);
        bits_ = std::exchange(other.bits_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        rows_ = other.rows_;
    }
    return *this;
}

bool DibSurface::Create(int width, int height, HDC reference, Rows rows) {
    Reset();
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = rows == Rows::TopDown ? -height : height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(reference, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && !bits) {
        ::DeleteObject(bitmap);
        bitmap = nullptr;
    }
    return Adopt(reference, bitmap, bits, width, height, rows);
}

bool DibSurface::CreateCompatible(int width, int height, HDC reference) {
    Reset();
    if (width <= 0 || height <= 0 || !reference) return false;
    return Adopt(reference, ::CreateCompatibleBitmap(reference, width, height), nullptr, width, height, Rows::TopDown);
}

bool DibSurface::Adopt(HDC reference, HBITMAP bitmap, void* bits, int width, int height, Rows rows) {
    UniqueHBitmap owned(bitmap);
    if (!owned) return false;
    UniqueMemoryDc dc(::CreateCompatibleDC(reference));
    if (!dc) return false;
    HGDIOBJ previous = ::SelectObject(dc.get(), owned.get());
    if (!previous || previous == HGDI_ERROR) return false;
    dc_ = std::move(dc);
    bitmap_ = std::move(owned);
    previous_ = previous;
    bits_ = bits;
    width_ = width;
    height_ = height;
    rows_ = rows;
    return true;
}

void DibSurface::Reset() {
    if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    dc_.reset();
    bitmap_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

HBITMAP DibSurface::ReleaseBitmap() {
    if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    HBITMAP bitmap = bitmap_.release();
    Reset();
    return bitmap;
}

}  // namespace winhush
