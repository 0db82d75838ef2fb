// What every screenshot program shares: the process set up for photographs (DPI awareness
// like the program's, GDI+, the UI resources, a neutral backdrop so that shadows are
// photographed over a surface like a desktop's), its arguments, and what the screen shows
// saved as PNG files (copied from the screen DC, since PrintWindow draws nothing under Wine).
//
//   <program>.exe <resource folder> <output folder> [name ...]
//
// Without names every shot is taken; with names only those (names of other programs are
// ignored, as scripts/shots hands every program the same list).
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ui/framework/Companions.h"
#include "ui/framework/Window.h"

namespace winhush::test {
class GdiPlusSession;
}

namespace winhush::ui::shots {

// The GDI+ encoder for a MIME type such as "image/png"; false when GDI+ has none.
bool ImageEncoder(const wchar_t* mime, CLSID* clsid);

// Saves the screen rectangle (clipped to the screen) as a PNG file.
bool SaveScreenPng(RECT rc, const std::wstring& path);

RECT Grow(RECT rc, int by);
RECT Union(RECT a, RECT b);
RECT RectOf(HWND hwnd);

// A window's rectangle with its shadow frame.
template <class Window>
RECT WithLace(Window& window) {
    RECT rc = window.GetWindowRect();
    const CWndLace& lace = window.GetLace();
    return RECT{rc.left - lace.left, rc.top - lace.top, rc.right + lace.right, rc.bottom + lace.bottom};
}

// The pointer held over the centre of a client rectangle of `window`; the window hears of
// it at once.
void HoverAt(HWND window, RECT client);

class CBackdrop : public CWindowImpl<CBackdrop, CWinTraits<WS_POPUP, WS_EX_TOOLWINDOW>> {
public:
    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class ShotSession {
public:
    static constexpr int kBackdropWidth = 1280, kBackdropHeight = 780;

    ShotSession();
    virtual ~ShotSession();
    ShotSession(const ShotSession&) = delete;
    ShotSession& operator=(const ShotSession&) = delete;

    // False (with a message on stderr) when the arguments are not usable.
    bool Start(int argc, wchar_t** argv, const wchar_t* program);
    // The program's exit code: 0 when every shot was saved, else 1.
    int Finish();

    // Shots must end: a window that never answers ends the run after `limit` instead of
    // holding the script.
    void EndAfter(std::chrono::seconds limit);

    const std::wstring& Program() const { return program_; }
    const std::wstring& ResourceFolder() const { return resourceFolder_; }  // ends with "\"
    const std::vector<std::wstring>& Names() const { return names_; }
    bool Wanted(const std::wstring& name) const;
    void Pump(std::chrono::milliseconds duration);
    // Puts a top-level window in the middle of the backdrop.
    void Centre(HWND window) const;
    // Saves the screen rectangle as <output folder>\<name>.png and reports it.
    bool Shoot(const std::wstring& name, RECT rc);
    void Fail(const wchar_t* what);

private:
    static DWORD WINAPI Watchdog(void* session);

    std::vector<std::wstring> names_;
    std::wstring resourceFolder_;
    std::wstring outDir_;
    std::wstring program_;
    int failures_ = 0;
    DWORD watchdogSeconds_ = 0;
    std::unique_ptr<test::GdiPlusSession> gdiplus_;
    CBackdrop backdrop_;
};

}  // namespace winhush::ui::shots
