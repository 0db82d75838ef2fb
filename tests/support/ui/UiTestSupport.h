// What the tests of the UI share: a real popup window whose messages go through a paint
// manager (built from a layout, with a record of the notifications it sends and synthetic
// input through its window procedure), the tree painted into a memory bitmap, PNG files
// written with GDI+, the UI resources of the build as the engine's resource folder, and
// input helpers for the program's real windows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/DibSurface.h"
#include "ui/dui/UIlib.h"

namespace winhush::test {

struct Notification {
    std::wstring type;
    std::wstring sender;  // the sender's name
    WPARAM wParam;
    LPARAM lParam;
};

class NotifyRecorder : public dui::INotifyUI {
public:
    void Notify(dui::TNotifyUI& msg) override;
    std::vector<Notification> events;
    // "type:sender" strings, in order, skipping the given types.
    std::vector<std::wstring> Sequence(const std::vector<std::wstring>& skip = {L"timer"}) const;
    std::vector<Notification> Of(const std::wstring& type) const;
    void Clear() { events.clear(); }
};

// A top-level popup window that feeds every message to its manager. Shown without
// activation at (40, 40) so that tests can send synthetic mouse messages to it.
class TestHost : public dui::INotifyUI {
public:
    explicit TestHost(int width = 400, int height = 300, bool show = true);
    ~TestHost() override;
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // Builds the layout (markup, or a file name under the resource path), attaches it and
    // runs a paint; null root on failure.
    dui::CControlUI* Load(const std::wstring& xml, dui::IDialogBuilderCallback* callback = nullptr);
    // A vertical layout filling the host, with the scroll bars `bars` asks for, holding
    // `children`; null when the markup does not build.
    dui::CContainerUI* LoadScrollBox(const std::wstring& children, const std::wstring& bars = L"vscrollbar=\"true\"");
    // A combo with `attributes` holding `items`, over an empty control that takes the rest
    // of the host; null when the markup does not build.
    dui::CComboUI* LoadCombo(const std::wstring& items, const std::wstring& attributes = L"height=\"30\" width=\"150\"");
    void Layout();  // a real WM_PAINT, so that layout and "windowinit" happen as in real use

    HWND hwnd() const { return hwnd_; }
    dui::CPaintManagerUI& manager() { return manager_; }
    NotifyRecorder& notes() { return recorder_; }
    std::vector<Notification> NotesOf(const std::wstring& type) const { return recorder_.Of(type); }
    dui::CControlUI* Find(const wchar_t* name) { return manager_.FindControl(name); }
    template <class T>
    T* FindAs(const wchar_t* name) {
        return dynamic_cast<T*>(Find(name));
    }

    // Synthetic input through the window procedure (sent, so it is handled at once).
    void MouseMove(POINT pt);
    void MouseDown(POINT pt);
    void MouseUp(POINT pt);
    void Click(POINT pt);
    void Wheel(POINT pt, bool up);    // the pointer moves to pt first
    void WheelAt(POINT pt, bool up);  // the pointer is already there
    void Key(UINT vk);

    // Called for every notification, after it is recorded.
    std::function<void(dui::TNotifyUI&)> onNotify;
    void Notify(dui::TNotifyUI& msg) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    dui::CPaintManagerUI manager_;
    NotifyRecorder recorder_;
};

// Client-coordinate centre of a control.
POINT CentreOf(dui::CControlUI* control);

// Pixels of the tree painted into a top-down 32-bit bitmap of the given size, first
// filled with `fill`.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3));
    HDC dc() const { return surface_.hdc(); }
    DWORD At(int x, int y) const;  // 0x00RRGGBB
    int width() const { return surface_.width(); }
    int height() const { return surface_.height(); }
    void PaintFrom(dui::CPaintManagerUI& manager);

private:
    DibSurface surface_;
};

// Writes a PNG of width x height whose pixel colour is colourAt(x, y) (0xAARRGGBB).
bool WritePng(const std::wstring& path, int width, int height, const std::function<DWORD(int x, int y)>& colourAt);
// A horizontal strip of frames frameWidth x height, frame i filled with colours[i].
bool WriteStrip(const std::wstring& path, int frameWidth, int height, const std::vector<DWORD>& colours);

// A folder of the source tree (a Unix path, as the build passes it) as the engine's
// resource path.
void UseLayoutFolder(const std::wstring& hostPath);

// Points the engine at a folder holding every layout of resources/ui and every rendered
// image; lives for the whole test program.
void UseProjectUiResources();

// A press and release of the left button at a client point, delivered through the window's
// queue and pumped (as a real click would be, minus the hardware).
void ClickAt(HWND hwnd, POINT client);

// Sends WM_NCHITTEST for a client point and returns the answer.
LRESULT HitTestAt(HWND hwnd, POINT client);

// Makes the window lay out and paint now (ShowWindow does not paint by itself).
void ShowAndPaint(HWND hwnd, int command = SW_SHOWNOACTIVATE);

}  // namespace winhush::test
