// What every screenshot program shares: encoding what the screen shows into a PNG (copied
// from the screen DC, since PrintWindow draws nothing under Wine) and a neutral backdrop
// window, so that shadows are photographed over a surface like a desktop's.
#pragma once

#include <windows.h>

#include <string>

#include "ui/framework/Window.h"

namespace winhush::ui::shots {

// The GDI+ encoder for a MIME type such as "image/png"; false when GDI+ has none.
bool ImageEncoder(const wchar_t* mime, CLSID* clsid);

// Saves the screen rectangle (clipped to the screen) as a PNG file.
bool SaveScreenPng(RECT rc, const std::wstring& path);

class CBackdrop : public CWindowImpl<CBackdrop, CWinTraits<WS_POPUP, WS_EX_TOOLWINDOW>> {
public:
    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace winhush::ui::shots
