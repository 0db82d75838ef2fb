#include "ui/framework/Window.h"

#include <cstdio>

namespace winhush::ui {

namespace {
// The object whose window is being created on this thread. Set around CreateWindowExW and
// taken by the first message of the new window; creation nested inside a handler (a
// window creating its shadow in WM_CREATE) finds it empty again because the outer window
// took its object already.
thread_local CWindowImplRoot* tCreating = nullptr;
}  // namespace

const RECT CWindow::rcDefault = {CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};

bool CWindow::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) {
    DWORD style = GetStyle();
    DWORD changed = (style & ~remove) | add;
    if (changed == style) return false;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(changed));
    if (swpFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    return true;
}

RECT CWindow::GetWindowRect() const {
    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

RECT CWindow::GetClientRect() const {
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

std::mutex& WindowModuleLock() {
    static std::mutex lock;
    return lock;
}

ATOM CWndClassInfo::Register(HINSTANCE instance, WNDPROC startProc) {
    std::lock_guard guard(WindowModuleLock());
    if (atom) return atom;
    if (!fixedName) std::swprintf(generatedName, std::size(generatedName), L"ATL:%p", static_cast<void*>(this));
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = startProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = Name();
    atom = ::RegisterClassExW(&wc);
    if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        // Only a fixed name can collide (another module or a test registered it first);
        // the class is usable as long as it routes through our start procedure.
        WNDCLASSEXW existing = {sizeof(existing)};
        if (::GetClassInfoExW(instance, Name(), &existing) && existing.lpfnWndProc == startProc)
            atom = static_cast<ATOM>(::GetClassInfoExW(instance, Name(), &existing));
    }
    return atom;
}

CWindowImplRoot::~CWindowImplRoot() {
    // An object going away under a live window would leave a dangling pointer behind.
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&::DefWindowProcW));
        ::DestroyWindow(m_hWnd);
    }
}

HWND CWindowImplRoot::CreateImpl(const wchar_t* className, HWND parent, const RECT& rect, const wchar_t* name,
                                 DWORD style, DWORD exStyle, HMENU menuOrId, void* createParam) {
    if (m_hWnd) return nullptr;  // one window per object
    destroyed_ = false;
    CWindowImplRoot* previous = tCreating;
    tCreating = this;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (rect.left == CW_USEDEFAULT) width = height = CW_USEDEFAULT;
    HWND hwnd = ::CreateWindowExW(exStyle, className, name, style, rect.left, rect.top, width, height, parent, menuOrId,
                                  ::GetModuleHandleW(nullptr), createParam);
    if (tCreating == this) tCreating = previous;
    // A window destroyed during its own creation (WM_CREATE returning -1) has already
    // detached itself.
    return hwnd;
}

CWindowImplRoot* CWindowImplRoot::FromHandle(HWND hwnd) {
    if (!hwnd || !::IsWindow(hwnd) || ::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId())
        return nullptr;
    // Only our classes start in StartWindowProc; any other window's user data is not ours.
    if (::GetClassLongPtrW(hwnd, GCLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&StartWindowProc)) return nullptr;
    auto* self = reinterpret_cast<CWindowImplRoot*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self && self->m_hWnd == hwnd ? self : nullptr;
}

LRESULT CALLBACK CWindowImplRoot::StartWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWindowImplRoot* self = tCreating;
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    tCreating = nullptr;
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    WNDPROC proc = self->GetWindowProc();
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return proc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CWindowImplRoot::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CWindowImplRoot*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->m_hWnd != hwnd) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    MSG msg = {hwnd, message, wParam, lParam};
    const MSG* outer = self->currentMessage_;
    self->currentMessage_ = &msg;
    ++self->depth_;
    LRESULT result = 0;
    BOOL handled = FALSE;
    try {
        handled = self->ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    } catch (...) {
        // Nothing may unwind through user32; the message gets its default treatment.
        handled = FALSE;
    }
    if (!handled) result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // From here on no message may reach the object.
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->destroyed_ = true;
    }
    --self->depth_;
    self->currentMessage_ = outer;
    if (self->destroyed_ && self->depth_ == 0) {
        // Deferred until the outermost handler of this window has returned, because
        // OnFinalMessage may delete the object.
        self->destroyed_ = false;
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hwnd);
    }
    return result;
}

}  // namespace winhush::ui
