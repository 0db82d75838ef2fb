// One copy of the whole screen, taken before a burst of blocked windows is hidden, so that
// their pictures can be made after the hides: hiding comes first, and a window that does
// not draw itself into our bitmap can then still be cut out of what the screen showed.
#pragma once

#include <windows.h>

#include <string>

#include "base/Handles.h"

namespace winhush::monitor {

class ScreenGrab {
public:
    // Copies the virtual screen; false when that fails (then nothing can be cut out).
    bool Capture();
    bool captured() const { return static_cast<bool>(bitmap_); }
    // Writes the area (screen coordinates, wholly on the copy) as a JPEG file at path.
    bool SaveArea(const RECT& area, const std::wstring& path) const;

private:
    UniqueHBitmap bitmap_;
    RECT screen_ = {};
};

// Writes a bitmap as a JPEG file (the encoder's default settings).
bool SaveJpeg(HBITMAP bitmap, const std::wstring& path);

}  // namespace winhush::monitor
