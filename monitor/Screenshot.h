// Pictures of windows for the record list: a JPEG per window identity in the data
// directory. A picture is only worth keeping when it shows something: captures that come
// back uniformly black or white (GPU-drawn windows, other processes' windows under some
// systems) are replaced by a copy of the screen, or dropped.
#pragma once

#include <windows.h>

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

// The window as it draws itself (PrintWindow), or null when that fails or is blank.
HBITMAP CaptureClient(const BlockRecord& record);
// What the screen shows at the window's rectangle, or null.
HBITMAP CaptureScreen(const BlockRecord& record);

// True when every pixel of a 32-bit top-down or bottom-up pixel block is black, or every
// pixel is white (the fourth byte of each pixel is ignored).
bool IsBlankPixels(const void* bits, size_t pixelCount);

// The GDI+ encoder for "image/jpeg"; false when there is none.
bool GetJpegEncoderClsid(CLSID& clsid);

// Starts GDI+ once for the process (harmless when the UI has started it already).
bool EnsureGdiplus();

}  // namespace winhush::monitor
