// Writing a bitmap as a JPEG picture file, for pictures made after a window was hidden.
#pragma once

#include <windows.h>

#include <string>

namespace winhush::monitor {

// Writes a bitmap as a JPEG file (the encoder's default settings); false when that fails.
bool SaveJpeg(HBITMAP bitmap, const std::wstring& path);

}  // namespace winhush::monitor
