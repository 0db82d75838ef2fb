#include "monitor/Screenshot.h"

#include <objidl.h>
#include <propidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>

#include "settings/Paths.h"
#include "base/Handles.h"
#include "base/Strings.h"

namespace winhush::monitor {

namespace gp = Gdiplus::DllExports;

bool EnsureGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        // Never shut down: pictures may be taken until the process ends.
        started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

bool GetJpegEncoderClsid(CLSID& clsid) {
    clsid = {};
    UINT count = 0, size = 0;
    if (gp::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer) return false;
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.get());
    if (gp::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/jpeg") == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool IsUntouchedPixels(const void* bits, size_t pixelCount) {
    if (!bits || pixelCount == 0) return true;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixelCount; ++i) {
        if (pixels[i] != kCaptureFill) return false;
    }
    return true;
}

std::wstring ScreenshotFileName(const std::wstring& dataDirectory, const WndInfo& window) {
    std::wstring base = FileNameOf(window.path);
    base.resize(base.size() >= 4 ? base.size() - 4 : 0);  // ".EXE", whatever the extension really is
    uint64_t classHash =
        MurmurHash64B(window.className.data(), window.className.size() * sizeof(wchar_t), kWindowHashSeed);
    std::wstring digits = std::to_wstring(classHash).substr(0, 10);
    std::wstring directory = dataDirectory;
    AppendBackslash(directory);
    return FormatW(L"%s%s%s%03d%03d.jpg", directory.c_str(), base.c_str(), digits.c_str(),
                   static_cast<int>(window.width()), static_cast<int>(window.height()));
}

bool IsScreenshotFileName(const std::wstring& fileName) {
    // Base name, then 10 digits of the class hash and two sizes of at least 3 digits each.
    constexpr size_t kMinDigits = 16;
    static const std::wstring kExtension = L".jpg";
    if (fileName.size() <= kExtension.size() + kMinDigits) return false;
    if (_wcsicmp(fileName.c_str() + fileName.size() - kExtension.size(), kExtension.c_str()) != 0) return false;
    if (fileName.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) return false;
    const size_t digitsEnd = fileName.size() - kExtension.size();
    for (size_t i = digitsEnd - kMinDigits; i < digitsEnd; ++i) {
        if (fileName[i] < L'0' || fileName[i] > L'9') return false;
    }
    return true;
}

namespace {

std::wstring FullPath(const std::wstring& path) {
    DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    return full;
}

}  // namespace

bool DeleteScreenshotFile(const std::wstring& path, const std::wstring& dataDirectory) {
    if (path.empty() || dataDirectory.empty()) return false;
    // "\\?\" and device paths skip the normalisation that folds "..", so they never qualify.
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\\\.\\", L"\\??\\", L"//?/", L"//./"}) {
        if (path.rfind(prefix, 0) == 0) return false;
    }
    // Only full paths, as we store them: a relative one would resolve against whatever the
    // current directory happens to be.
    const bool drivePath = path.size() > 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    const bool uncPath = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\';
    if (!drivePath && !uncPath) return false;
    std::wstring file = FullPath(path);
    std::wstring directory = FullPath(dataDirectory);
    if (file.empty() || directory.empty()) return false;
    AppendBackslash(directory);
    const size_t slash = file.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    if (_wcsicmp(file.substr(0, slash + 1).c_str(), directory.c_str()) != 0) return false;
    if (!IsScreenshotFileName(file.substr(slash + 1))) return false;
    DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    return ::DeleteFileW(file.c_str()) != 0;
}

namespace {

// A 32-bit bottom-up DIB section and its pixels; a compatible bitmap when that fails
// (then the pixels are unknown and bits is null).
HBITMAP CreateCaptureBitmap(HDC referenceDc, int width, int height, void** bits) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    bmi.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    *bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(referenceDc, &bmi, DIB_RGB_COLORS, bits, nullptr, 0);
    if (bitmap) {
        // What a capture that drew nothing leaves behind: no drawing produces this alpha.
        std::fill_n(static_cast<uint32_t*>(*bits), static_cast<size_t>(width) * static_cast<size_t>(height),
                    kCaptureFill);
        return bitmap;
    }
    *bits = nullptr;
    return ::CreateCompatibleBitmap(referenceDc, width, height);
}

bool UsableSize(LONG width, LONG height) {
    // Keeps a runaway rectangle from asking GDI for gigabytes.
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

// A window whose thread does not answer would stall the scan inside PrintWindow.
bool Responds(HWND hwnd) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerLimitMs, &result) != 0;
}

}  // namespace

HBITMAP CaptureClient(const BlockRecord& record) {
    HWND window = record.window.Current();
    const LONG width = record.window.width(), height = record.window.height();
    if (!::IsWindow(window) || !UsableSize(width, height) || !Responds(window)) return nullptr;
    // The screen DC only serves as the format reference; the window's own DC is not ours to
    // take (painting it from here would validate its update region).
    WindowDc screen(nullptr);
    if (!screen) return nullptr;
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    if (!memory) return nullptr;
    void* bits = nullptr;
    UniqueHBitmap bitmap(CreateCaptureBitmap(screen.get(), width, height, &bits));
    if (!bitmap) return nullptr;
    {
        SelectedObject selected(memory.get(), bitmap.get());
        if (!::PrintWindow(window, memory.get(), 0)) return nullptr;
        ::GdiFlush();
    }
    // A window may well be plain white or black; only a capture that drew nothing at all
    // (or a bitmap whose pixels we cannot see) is no picture.
    if (!bits || IsUntouchedPixels(bits, static_cast<size_t>(width) * static_cast<size_t>(height))) return nullptr;
    return bitmap.release();
}

HBITMAP CaptureScreen(const BlockRecord& record) {
    const RECT& r = record.window.rect;
    const LONG width = r.right - r.left, height = r.bottom - r.top;
    if (!UsableSize(width, height)) return nullptr;
    WindowDc screen(nullptr);
    if (!screen) return nullptr;
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    if (!memory) return nullptr;
    void* bits = nullptr;
    UniqueHBitmap bitmap(CreateCaptureBitmap(screen.get(), width, height, &bits));
    if (!bitmap) return nullptr;
    {
        SelectedObject selected(memory.get(), bitmap.get());
        // Every pixel is overwritten by the copy, so no PrintWindow of the desktop first.
        if (!::BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY | CAPTUREBLT))
            return nullptr;
        ::GdiFlush();
    }
    if (bits && IsUntouchedPixels(bits, static_cast<size_t>(width) * static_cast<size_t>(height))) return nullptr;
    return bitmap.release();
}

bool IsCoveredOnScreen(HWND window, const RECT& rect) {
    // Every window above it in the z-order; a hidden or minimised one covers nothing.
    int guard = 0;
    for (HWND above = ::GetWindow(window, GW_HWNDPREV); above && guard < 10000;
         above = ::GetWindow(above, GW_HWNDPREV), ++guard) {
        if (!::IsWindowVisible(above) || ::IsIconic(above)) continue;
        RECT other, overlap;
        if (::GetWindowRect(above, &other) && ::IntersectRect(&overlap, &other, &rect)) return true;
    }
    return guard >= 10000;
}

std::wstring TakeScreenshot(const BlockRecord& record, const std::wstring& dataDirectory) {
    HWND window = record.window.Current();
    if (!::IsWindow(window) || dataDirectory.empty()) return {};
    UniqueHBitmap bitmap(CaptureClient(record));
    // A failed self-portrait: what the screen shows at the window's place is its picture only
    // while the window is on screen and nothing lies over it. Otherwise it would show what
    // covers it, which may be the user's own private content: then no picture.
    if (!bitmap && ::IsWindowVisible(window) && !::IsIconic(window) && !IsCoveredOnScreen(window, record.window.rect))
        bitmap.reset(CaptureScreen(record));
    if (!bitmap) return {};
    if (!EnsureGdiplus()) return {};

    std::wstring path = ScreenshotFileName(dataDirectory, record.window);
    Gdiplus::GpBitmap* image = nullptr;
    if (gp::GdipCreateBitmapFromHBITMAP(bitmap.get(), nullptr, &image) != Gdiplus::Ok || !image) return {};
    CLSID jpeg;
    bool saved =
        GetJpegEncoderClsid(jpeg) && gp::GdipSaveImageToFile(image, path.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(image);
    return saved ? path : std::wstring();
}

std::wstring TakeScreenshot(const BlockRecord& record) { return TakeScreenshot(record, GetDataDirectory()); }

}  // namespace winhush::monitor
