#include "monitor/ScreenGrab.h"

#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include "monitor/Screenshot.h"

namespace winhush::monitor {

namespace gp = Gdiplus::DllExports;

bool ScreenGrab::Capture() {
    screen_ = {::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen_.right = screen_.left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen_.bottom = screen_.top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int width = screen_.right - screen_.left, height = screen_.bottom - screen_.top;
    if (width <= 0 || height <= 0) return false;
    WindowDc screen(nullptr);
    if (!screen) return false;
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    if (!memory) return false;
    UniqueHBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    if (!bitmap) return false;
    {
        SelectedObject selected(memory.get(), bitmap.get());
        if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), screen_.left, screen_.top, SRCCOPY | CAPTUREBLT))
            return false;
    }
    bitmap_ = std::move(bitmap);
    return true;
}

bool ScreenGrab::SaveArea(const RECT& area, const std::wstring& path) const {
    if (!bitmap_) return false;
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || area.left < screen_.left || area.top < screen_.top ||
        area.right > screen_.right || area.bottom > screen_.bottom)
        return false;
    WindowDc screen(nullptr);
    if (!screen) return false;
    UniqueMemoryDc source(::CreateCompatibleDC(screen.get()));
    UniqueMemoryDc target(::CreateCompatibleDC(screen.get()));
    UniqueHBitmap cut(::CreateCompatibleBitmap(screen.get(), width, height));
    if (!source || !target || !cut) return false;
    {
        SelectedObject from(source.get(), bitmap_.get());
        SelectedObject to(target.get(), cut.get());
        if (!::BitBlt(target.get(), 0, 0, width, height, source.get(), area.left - screen_.left,
                      area.top - screen_.top, SRCCOPY))
            return false;
    }
    return SaveJpeg(cut.get(), path);
}

bool SaveJpeg(HBITMAP bitmap, const std::wstring& path) {
    if (!bitmap || !EnsureGdiplus()) return false;
    Gdiplus::GpBitmap* image = nullptr;
    if (gp::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != Gdiplus::Ok || !image) return false;
    CLSID jpeg;
    bool saved = GetJpegEncoderClsid(jpeg) && gp::GdipSaveImageToFile(image, path.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(image);
    return saved;
}

}  // namespace winhush::monitor
