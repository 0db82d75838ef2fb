#include "monitor/JpegWriter.h"

#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include "monitor/Screenshot.h"

namespace winhush::monitor {

bool SaveJpeg(HBITMAP bitmap, const std::wstring& path) {
    namespace gp = Gdiplus::DllExports;
    if (!bitmap || !EnsureGdiplus()) return false;
    Gdiplus::GpBitmap* image = nullptr;
    if (gp::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) != Gdiplus::Ok || !image) return false;
    CLSID jpeg;
    bool saved = GetJpegEncoderClsid(jpeg) && gp::GdipSaveImageToFile(image, path.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(image);
    return saved;
}

}  // namespace winhush::monitor
