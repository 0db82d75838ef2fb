// Helpers of the engine tests: a real host window whose messages go through a paint
// manager, a recorder of notifications, rendering into a memory bitmap, and PNG files
// written with GDI+ for the image tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/dui/UIlib.h"

namespace winhush::dui::test {

struct Recorded {
    std::wstring type;
    std::wstring sender;  // the sender's name
    WPARAM wParam;
    LPARAM lParam;
};

class NotifyRecorder : public INotifyUI {
public:
    void Notify(TNotifyUI& msg) override;
    std::vector<Recorded> events;
    // "type:sender" strings, in order, skipping the given types.
    std::vector<std::wstring> Sequence(const std::vector<std::wstring>& skip = {L"timer"}) const;
    void Clear() { events.clear(); }
};

// A top-level popup window that feeds every message to its manager. Shown without
// activation at (x, y) so that tests can post synthetic mouse messages to it.
class TestHost {
public:
    TestHost(int width = 400, int height = 300, bool show = true);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Builds the layout, attaches it and lays it out; null root on failure.
    CControlUI* Load(const std::wstring& xml, IDialogBuilderCallback* callback = nullptr);
    void Layout();  // runs a paint so layout and "windowinit" happen as in real use

    HWND hwnd() const { return hwnd_; }
    CPaintManagerUI& manager() { return manager_; }
    NotifyRecorder& notes() { return recorder_; }
    CControlUI* Find(const wchar_t* name) { return manager_.FindControl(name); }

    // Synthetic input through the window procedure (sent, so it is handled at once).
    void MouseMove(POINT pt);
    void MouseDown(POINT pt);
    void MouseUp(POINT pt);
    void Click(POINT pt);
    void Key(UINT vk);

    std::function<void(TNotifyUI&)> onNotify;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    CPaintManagerUI manager_;
    NotifyRecorder recorder_;
    class Forwarder;
};

POINT Centre(CControlUI* control);

// Pixels of the tree painted into a top-down 32-bit bitmap of the given size, first
// filled with `fill` (0x00RRGGBB).
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3));
    ~Canvas();
    HDC dc() const { return dc_; }
    // 0x00RRGGBB of a pixel.
    DWORD At(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// Writes a PNG of width x height whose pixel colour is colourAt(x, y) (0xAARRGGBB).
bool WritePng(const std::wstring& path, int width, int height, DWORD (*colourAt)(int x, int y));

}  // namespace winhush::dui::test
