// Pictures of windows for the record list: a JPEG per window identity in the data
// directory. A window that does not draw itself into our bitmap (GPU-drawn windows, other
// processes' windows under some systems) is copied from the screen instead, but only when
// nothing covers it there; otherwise it gets no picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "monitor/BlockRecord.h"

namespace winhush::monitor {

// Writes a picture of the record's current window into dataDirectory (which ends with
// "\"); the file's full path, or empty when no usable picture could be taken.
std::wstring TakeScreenshot(const BlockRecord& record, const std::wstring& dataDirectory);
// The same into the program's data directory.
std::wstring TakeScreenshot(const BlockRecord& record);

// "<dir><EXE base name><10 digits of the class hash><width %03d><height %03d>.jpg"
std::wstring ScreenshotFileName(const std::wstring& dataDirectory, const WndInfo& window);

// Deletes a picture file that the program itself wrote: only a file directly inside
// dataDirectory whose name has the form ScreenshotFileName gives. Record files can be written
// by anyone, so any other path in a record is never ours to delete. False when nothing was
// deleted.
bool DeleteScreenshotFile(const std::wstring& path, const std::wstring& dataDirectory);
// Whether a file name (without directory) has the form of our pictures:
// "<name><at least 16 digits>.jpg".
bool IsScreenshotFileName(const std::wstring& fileName);

// The window as it draws itself (PrintWindow), or null when that fails or draws nothing.
// Only asked of a window that answers within kAnswerLimitMs.
HBITMAP CaptureClient(const BlockRecord& record);
// What the screen shows at the window's rectangle, or null.
HBITMAP CaptureScreen(const BlockRecord& record);
// Whether another visible window lies over any part of rect above window in the z-order.
bool IsCoveredOnScreen(HWND window, const RECT& rect);

inline constexpr DWORD kAnswerLimitMs = 200;

// Capture bitmaps start filled with this pixel. Drawing through GDI writes 0 into the
// fourth byte, so a bitmap still holding it everywhere is one nothing was drawn into.
inline constexpr uint32_t kCaptureFill = 0xA5010203;
bool IsUntouchedPixels(const void* bits, size_t pixelCount);

// The GDI+ encoder for "image/jpeg"; false when there is none.
bool GetJpegEncoderClsid(CLSID& clsid);

// Starts GDI+ once for the process (harmless when the UI has started it already).
bool EnsureGdiplus();

}  // namespace winhush::monitor
