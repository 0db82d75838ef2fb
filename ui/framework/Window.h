// Native window classes underneath every window of the program: a non-owning window
// reference, window styles as a traits type, and an owning window object whose window
// class is registered on first use and whose window procedure hands each message to a
// virtual handler. The object is attached to its window at the very first message the
// window receives (for pop-ups that is WM_GETMINMAXINFO, before WM_NCCREATE), so no
// message of a window is ever lost to the default procedure.
#pragma once

#include <windows.h>

#include <mutex>

namespace winhush::ui {

// A window handle with the everyday queries; it owns nothing, so it may refer to windows
// of other processes.
class CWindow {
public:
    static const RECT rcDefault;  // "let Windows choose": CW_USEDEFAULT origin and size

    CWindow(HWND hwnd = nullptr) : m_hWnd(hwnd) {}
    operator HWND() const { return m_hWnd; }

    bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    bool IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
    bool IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
    bool IsZoomed() const { return ::IsZoomed(m_hWnd) != FALSE; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
    HWND GetOwner() const { return ::GetWindow(m_hWnd, GW_OWNER); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)); }
    // Clears then sets style bits; SWP_FRAMECHANGED makes a changed frame take effect.
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0);
    RECT GetWindowRect() const;
    RECT GetClientRect() const;
    bool ShowWindow(int command) { return ::ShowWindow(m_hWnd, command) != FALSE; }
    bool EnableWindow(bool enable) { return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE; }
    bool MoveWindow(const RECT& rc, bool repaint = true) {
        return ::MoveWindow(m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, repaint) != FALSE;
    }
    bool SetWindowPos(HWND after, const RECT& rc, UINT flags) {
        return ::SetWindowPos(m_hWnd, after, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, flags) != FALSE;
    }
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, message, wParam, lParam) != FALSE;
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    bool DestroyWindow() { return ::DestroyWindow(m_hWnd) != FALSE; }

    HWND m_hWnd;
};

// Default styles of a window class, used when Create is given none.
template <DWORD Style, DWORD ExStyle>
struct CWinTraits {
    static DWORD GetWndStyle(DWORD style) { return style ? style : Style; }
    static DWORD GetWndExStyle(DWORD exStyle) { return exStyle ? exStyle : ExStyle; }
};

// What a window class is registered with. The generated name ("ATL:" and this object's
// address) is unique per window type and per process.
struct CWndClassInfo {
    const wchar_t* fixedName = nullptr;  // null: generate the name
    wchar_t generatedName[32] = {};
    ATOM atom = 0;

    // Registers the class once (later calls return the same atom); 0 on failure.
    ATOM Register(HINSTANCE instance, WNDPROC startProc);
    const wchar_t* Name() const { return fixedName ? fixedName : generatedName; }
};

// The lock that guards class registration and first-message hand-over across threads.
std::mutex& WindowModuleLock();

// Owning base of the program's own windows. Not copyable. Destroy the window before the
// object (as every dialog and window of the program does); an object that dies with its
// window still alive detaches and destroys it as a last resort, but by then the derived
// parts of the object are gone and messages sent during that destruction get no handling.
class CWindowImplRoot : public CWindow {
public:
    CWindowImplRoot() = default;
    CWindowImplRoot(const CWindowImplRoot&) = delete;
    CWindowImplRoot& operator=(const CWindowImplRoot&) = delete;

    // The window-message handler: true when handled, with the result in `result`.
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual ~CWindowImplRoot();
    virtual WNDPROC GetWindowProc() { return &WindowProc; }
    // Called once the window is gone (after WM_NCDESTROY has been fully processed, also
    // when the destruction started inside one of the window's own handlers).
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
    // The message being processed, or null outside of the window procedure.
    const MSG* GetCurrentMessage() const { return currentMessage_; }
    // The object behind a window of this thread created through this class, else null
    // (windows of other classes, threads or processes are never taken for one).
    static CWindowImplRoot* FromHandle(HWND hwnd);

    static LRESULT CALLBACK StartWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Creates a window of a registered class with this object attached from its first message.
    HWND CreateImpl(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* name, DWORD style,
                    DWORD exStyle, HMENU menuOrId, void* createParam);

private:
    const MSG* currentMessage_ = nullptr;
    int depth_ = 0;
    bool destroyed_ = false;
};

template <class T, class TWinTraits = CWinTraits<WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0>>
class CWindowImpl : public CWindowImplRoot {
public:
    // Each window type has its own class description; a type that needs a fixed class
    // name (the main window) hides this with its own that sets fixedName.
    static CWndClassInfo& GetWndClassInfo() {
        static CWndClassInfo info;
        return info;
    }

    HWND Create(HWND parent, const RECT& rect = rcDefault, const wchar_t* name = nullptr, DWORD style = 0,
                DWORD exStyle = 0, HMENU menuOrId = nullptr, void* createParam = nullptr) {
        CWndClassInfo& info = T::GetWndClassInfo();
        if (!info.Register(::GetModuleHandleW(nullptr), &StartWindowProc)) return nullptr;
        return CreateImpl(info.Name(), parent, rect, name, TWinTraits::GetWndStyle(style),
                          TWinTraits::GetWndExStyle(exStyle), menuOrId, createParam);
    }
};

}  // namespace winhush::ui
