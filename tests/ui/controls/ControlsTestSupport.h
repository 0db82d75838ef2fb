// Helpers of the control tests: a real popup window whose messages go through a paint
// manager built from a layout with the program's control factory, a record of the
// notifications it sends, the tree painted into a memory bitmap, and strips of solid
// colour frames written as PNG files.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/controls/ControlFactory.h"
#include "ui/dui/UIlib.h"

namespace winhush::ui::test {

struct Note {
    std::wstring type;
    std::wstring sender;  // the sender's name
    WPARAM wParam;
    LPARAM lParam;
};

class ControlHost : public dui::INotifyUI {
public:
    explicit ControlHost(int width = 400, int height = 300);
    ~ControlHost() override;
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // Builds the layout (markup or a name under the test layouts folder) with the control
    // factory, attaches it and runs a paint; null on failure.
    dui::CControlUI* Load(const std::wstring& xml);
    void Paint();  // a real WM_PAINT: layout, "windowinit", drawing

    HWND hwnd() const { return hwnd_; }
    dui::CPaintManagerUI& manager() { return manager_; }
    dui::IDialogBuilderCallback* factory() { return &factory_; }
    dui::CControlUI* Find(const wchar_t* name) { return manager_.FindControl(name); }
    template <class T>
    T* FindAs(const wchar_t* name) {
        return dynamic_cast<T*>(Find(name));
    }

    std::vector<Note> notes;
    std::vector<Note> NotesOf(const std::wstring& type) const;
    std::function<void(dui::TNotifyUI&)> onNotify;

    // Input through the window procedure, handled before the call returns.
    void MouseMove(POINT pt);
    void Click(POINT pt);
    void Wheel(POINT pt, bool up);
    void Key(UINT vk);

    void Notify(dui::TNotifyUI& msg) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    dui::CPaintManagerUI manager_;
    CControlFactory factory_;
};

POINT Centre(dui::CControlUI* control);

// The layouts folder of these tests as the engine's resource path.
void UseTestLayouts();

// A top-down 32-bit bitmap the tree is painted into.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill = RGB(1, 2, 3));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    DWORD At(int x, int y) const;  // 0x00RRGGBB
    void PaintFrom(dui::CPaintManagerUI& manager);

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// A horizontal strip of frames frameWidth x height, frame i filled with colours[i]
// (0xAARRGGBB), saved as PNG.
bool WriteStrip(const std::wstring& path, int frameWidth, int height, const std::vector<DWORD>& colours);

}  // namespace winhush::ui::test
