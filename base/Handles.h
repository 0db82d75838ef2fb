// Owners for the Win32 handle kinds the program opens.
#pragma once

#include <windows.h>

#include "base/UniqueResource.h"

namespace winhush {

namespace traits {
struct Handle {  // kernel objects whose "none" is NULL (threads, mutexes, processes, tokens)
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::CloseHandle(v); }
};
struct File {  // CreateFile and FindFirstFile-style results use INVALID_HANDLE_VALUE
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value v) { ::CloseHandle(v); }
};
struct Find {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value v) { ::FindClose(v); }
};
struct RegKey {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::RegCloseKey(v); }
};
struct Icon {
    using Value = HICON;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::DestroyIcon(v); }
};
struct GdiObject {
    using Value = HGDIOBJ;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::DeleteObject(v); }
};
struct Bitmap {
    using Value = HBITMAP;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::DeleteObject(v); }
};
struct MemoryDc {
    using Value = HDC;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::DeleteDC(v); }
};
struct Module {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::FreeLibrary(v); }
};
}  // namespace traits

using UniqueHandle = UniqueResource<traits::Handle>;
using UniqueFile = UniqueResource<traits::File>;
using UniqueFind = UniqueResource<traits::Find>;
using UniqueHKey = UniqueResource<traits::RegKey>;
using UniqueHIcon = UniqueResource<traits::Icon>;
using UniqueGdiObject = UniqueResource<traits::GdiObject>;
using UniqueHBitmap = UniqueResource<traits::Bitmap>;
using UniqueMemoryDc = UniqueResource<traits::MemoryDc>;
using UniqueModule = UniqueResource<traits::Module>;

// A DC from GetDC/GetWindowDC must go back to the window it came from.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd, bool wholeWindow = false)
        : hwnd_(hwnd), dc_(wholeWindow ? ::GetWindowDC(hwnd) : ::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Restores the previously selected object of a DC when the scope ends.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~SelectedObject() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace winhush
