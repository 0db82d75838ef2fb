#include "base/DibSurface.h"

#include <gtest/gtest.h>

#include <utility>

namespace winhush {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr uint32_t kRedPixel = 0x00FF0000;  // BGRA in memory, read as a little-endian word

uint32_t PixelAt(const DibSurface& surface, int x, int row) {
    const auto* bytes = static_cast<const uint8_t*>(surface.bits());
    return *reinterpret_cast<const uint32_t*>(bytes + row * surface.stride() + x * 4) & 0x00FFFFFF;
}

// A bitmap still selected into some DC cannot be selected into another one.
bool IsSelectable(HBITMAP bitmap) {
    UniqueMemoryDc probe(::CreateCompatibleDC(nullptr));
    HGDIOBJ old = ::SelectObject(probe.get(), bitmap);
    if (!old || old == HGDI_ERROR) return false;
    ::SelectObject(probe.get(), old);
    return true;
}

TEST(DibSurface, TopDownRowsStartAtTheTopOfThePicture) {
    DibSurface surface(5, 4);
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface.width(), 5);
    EXPECT_EQ(surface.height(), 4);
    EXPECT_EQ(surface.stride(), 20);
    ::SetPixel(surface.hdc(), 3, 1, kRed);
    ::GdiFlush();
    EXPECT_EQ(PixelAt(surface, 3, 1), kRedPixel);
    EXPECT_EQ(PixelAt(surface, 3, 2), 0u);
}

TEST(DibSurface, BottomUpRowsStartAtTheBottomOfThePicture) {
    DibSurface surface(5, 4, nullptr, DibSurface::Rows::BottomUp);
    ASSERT_TRUE(surface);
    ::SetPixel(surface.hdc(), 3, 1, kRed);
    ::GdiFlush();
    EXPECT_EQ(PixelAt(surface, 3, 4 - 1 - 1), kRedPixel);
    EXPECT_EQ(PixelAt(surface, 3, 1), 0u);
}

TEST(DibSurface, NewPixelsAreTransparentBlack) {
    DibSurface surface(16, 3);
    ASSERT_TRUE(surface);
    for (int i = 0; i < 16 * 3; ++i) ASSERT_EQ(surface.pixels()[i], 0u) << "pixel " << i;
}

TEST(DibSurface, RefusesEmptySizesAndStaysEmpty) {
    for (auto size : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-3, 4}}) {
        DibSurface surface(size.first, size.second);
        EXPECT_FALSE(surface);
        EXPECT_EQ(surface.hdc(), nullptr);
        EXPECT_EQ(surface.bits(), nullptr);
        EXPECT_EQ(surface.width(), 0);
    }
}

TEST(DibSurface, FreesTheBitmapOnResetAndOnRecreate) {
    DibSurface surface(8, 8);
    HBITMAP first = surface.bitmap();
    ASSERT_EQ(::GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    ASSERT_TRUE(surface.Create(4, 2));
    EXPECT_EQ(::GetObjectType(first), 0u) << "the replaced bitmap leaked";
    EXPECT_EQ(surface.width(), 4);
    HBITMAP second = surface.bitmap();
    surface.Reset();
    EXPECT_EQ(::GetObjectType(second), 0u) << "a bitmap still selected into the DC cannot be deleted";
    EXPECT_FALSE(surface);
}

TEST(DibSurface, ReleasedBitmapKeepsItsPixelsAndIsNoLongerSelected) {
    DibSurface surface(3, 3);
    ::SetPixel(surface.hdc(), 1, 1, kRed);
    HBITMAP bitmap = surface.ReleaseBitmap();
    EXPECT_FALSE(surface);
    ASSERT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_TRUE(IsSelectable(bitmap));
    UniqueMemoryDc reader(::CreateCompatibleDC(nullptr));
    {
        SelectedObject selected(reader.get(), bitmap);
        EXPECT_EQ(::GetPixel(reader.get(), 1, 1), kRed);
    }
    ::DeleteObject(bitmap);
}

TEST(DibSurface, MoveHandsTheSurfaceOverAndEmptiesTheSource) {
    DibSurface first(6, 2);
    HBITMAP bitmap = first.bitmap();
    DibSurface second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(first.bits(), nullptr);
    EXPECT_EQ(second.bitmap(), bitmap);
    DibSurface third(2, 2);
    HBITMAP overwritten = third.bitmap();
    third = std::move(second);
    EXPECT_EQ(::GetObjectType(overwritten), 0u) << "the bitmap a move replaced leaked";
    EXPECT_EQ(third.bitmap(), bitmap);
    EXPECT_EQ(third.width(), 6);
    EXPECT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
}

TEST(DibSurface, CompatibleFallbackDrawsButHidesItsPixels) {
    DibSurface surface;
    {
        WindowDc screen(nullptr);
        ASSERT_TRUE(screen);
        EXPECT_TRUE(surface.CreateCompatible(4, 4, screen.get()));
    }
    ASSERT_TRUE(surface);
    EXPECT_EQ(surface.bits(), nullptr);
    ::SetPixel(surface.hdc(), 2, 2, kRed);
    EXPECT_EQ(::GetPixel(surface.hdc(), 2, 2), kRed);
}

}  // namespace
}  // namespace winhush
