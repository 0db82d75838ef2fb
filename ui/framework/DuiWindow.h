// The window templates every skinned window of the program is built from. A window binds a
// native window to a paint manager and the layout it names; the frame template makes a
// borderless window behave like a framed one (caption dragging, sizing borders, rounded
// region, maximise limits) without any non-client painting; the dialog template adds the
// modal loop. Companion templates (shadow frame, lock overlay) live in their own headers and
// are picked up automatically: a window class deriving from them has its messages offered to
// them before anything else sees the message.
//
// Order in which one message travels through a window:
//   1. companions (shadow frame, then lock overlay), which only observe;
//   2. WM_CREATE only: the layout is loaded first, so that the class's own WM_CREATE
//      handler can already find its controls;
//   3. the class's HandleMessage;
//   4. the frame behaviour (frame windows only);
//   5. the paint manager; what nobody handled goes to the default window procedure.
#pragma once

#include <windows.h>

#include <concepts>
#include <string>
#include <vector>

#include "ui/dui/UIContainer.h"
#include "ui/dui/UIControl.h"
#include "ui/dui/UIDefine.h"
#include "ui/dui/UIDlgBuilder.h"
#include "ui/dui/UIManager.h"
#include "ui/framework/MessageLoop.h"
#include "ui/framework/ModalLoop.h"
#include "ui/framework/Window.h"

namespace winhush::ui {

using dui::CControlUI;
using dui::CPaintManagerUI;
using dui::TNotifyUI;

// Styles of the program's windows.
inline constexpr DWORD kMainWindowStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_MINIMIZEBOX;
inline constexpr DWORD kDialogStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_DLGFRAME;
inline constexpr DWORD kMessageBoxStyle = kDialogStyle | WS_VISIBLE;
inline constexpr DWORD kMenuStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
// Companion windows are created with a dialog frame whose caption, system menu and sizing
// frame are then removed (leaving a plain bordered pop-up) and disabled.
inline constexpr DWORD kCompanionStyle = WS_DLGFRAME;
inline constexpr DWORD kCompanionStyleMask = 0xFF33FFFF;

namespace detail {
// Loads the layout into a freshly created window; false ends the program's loop.
bool LoadWindowLayout(HWND hwnd, CPaintManagerUI& pm, const wchar_t* layout, dui::IDialogBuilderCallback* callback,
                      dui::INotifyUI* notifier);
// True when the control under a caption point must receive the click itself.
bool IsNonCaptionControl(CControlUI* control, const std::vector<std::wstring>& classes);
// The frame's answers, shared by every frame window.
LRESULT FrameHitTest(HWND hwnd, CPaintManagerUI& pm, POINT screenPoint, const std::vector<std::wstring>& classes);
void FrameApplyRoundRegion(HWND hwnd, CPaintManagerUI& pm);
void FrameGetMinMaxInfo(HWND hwnd, CPaintManagerUI& pm, MINMAXINFO* info);
LRESULT FrameCalcSize(HWND hwnd, WPARAM wParam, LPARAM lParam);
BOOL PreTranslateForWindow(HWND hwnd, CPaintManagerUI& pm, MSG* msg);
}  // namespace detail

template <class T, int Flag = 1>
class CDuiWndBaseImpl : public CWindowImpl<T, CWinTraits<0x56000000, 0>>,
                        public dui::INotifyUI,
                        public dui::IDialogBuilderCallback,
                        public CMessageFilter {
public:
    using CWindowImpl<T, CWinTraits<0x56000000, 0>>::m_hWnd;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) final {
        T* self = static_cast<T*>(this);
        if constexpr (requires(T & t) { t.ForwardToLace(message, wParam, lParam); })
            self->ForwardToLace(message, wParam, lParam);
        if constexpr (requires(T & t) { t.ForwardToLock(message, wParam, lParam); })
            self->ForwardToLock(message, wParam, lParam);

        if (message == WM_CREATE) {
            layoutLoaded_ = detail::LoadWindowLayout(hwnd, m_pm, GetSkinFile(), this, this);
            result = 0;
            if (!layoutLoaded_) return TRUE;
            BOOL handled = FALSE;
            LRESULT own = HandleMessage(message, wParam, lParam, handled);
            if (handled) result = own;
            return TRUE;
        }
        BOOL handled = FALSE;
        LRESULT own = HandleMessage(message, wParam, lParam, handled);
        // The controls let go of the manager's targets whatever the class did with it.
        if (message == WM_DESTROY && m_pm.GetRoot()) m_pm.ReapObjects(m_pm.GetRoot());
        if (handled) {
            result = own;
            return TRUE;
        }
        if (HandleFrameMessage(message, wParam, lParam, result)) return TRUE;
        bool managed = m_pm.MessageHandler(message, wParam, lParam, result);
        return managed ? TRUE : FALSE;
    }

    // The layout this window shows: a name inside the UI archive (or markup).
    virtual const wchar_t* GetSkinFile() = 0;
    // The class's own message handling; leave handled FALSE to let the message go on.
    virtual LRESULT HandleMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& handled) {
        handled = FALSE;
        return 0;
    }

    void Notify(TNotifyUI& /*msg*/) override {}
    CControlUI* CreateControl(const wchar_t* /*className*/) override { return nullptr; }
    BOOL PreTranslateMessage(MSG* msg) override { return detail::PreTranslateForWindow(m_hWnd, m_pm, msg); }

    bool IsLayoutLoaded() const { return layoutLoaded_; }
    CPaintManagerUI& GetPaintManager() { return m_pm; }

    CPaintManagerUI m_pm;

protected:
    // Frame windows answer the non-client messages here.
    virtual BOOL HandleFrameMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) {
        return FALSE;
    }

private:
    bool layoutLoaded_ = false;
};

template <class T, int Flag = 1>
class CDuiFrameWndImpl : public CDuiWndBaseImpl<T, Flag> {
public:
    using CDuiWndBaseImpl<T, Flag>::m_hWnd;
    using CDuiWndBaseImpl<T, Flag>::m_pm;

    // Classes of controls that take clicks inside the caption instead of dragging the window.
    virtual std::vector<std::wstring> GetNonCaptionClasses() const { return {L"Button", L"Option"}; }

protected:
    BOOL HandleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        switch (message) {
            case WM_SIZE:
                detail::FrameApplyRoundRegion(m_hWnd, m_pm);
                return FALSE;  // the paint manager still needs the new size
            case WM_GETMINMAXINFO:
                detail::FrameGetMinMaxInfo(m_hWnd, m_pm, reinterpret_cast<MINMAXINFO*>(lParam));
                return FALSE;
            case WM_NCCALCSIZE:
                result = detail::FrameCalcSize(m_hWnd, wParam, lParam);
                return TRUE;
            case WM_NCHITTEST:
                result = detail::FrameHitTest(
                    m_hWnd, m_pm, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))},
                    GetNonCaptionClasses());
                return TRUE;
            case WM_NCPAINT:
                result = 0;
                return TRUE;
            case WM_NCACTIVATE:
                if (::IsIconic(m_hWnd)) return FALSE;
                // Keeps the system from drawing an active/inactive frame.
                result = wParam == 0 ? TRUE : FALSE;
                return TRUE;
        }
        return FALSE;
    }
};

// The modal loop beside a dialog's frame template: the dialog's own filters and idle
// handlers, used only while its loop runs.
template <class T>
class CDuiDialogImpl : public CMessageLoop {
public:
    // Shows the dialog, disables its owner and pumps messages until the dialog is gone or
    // WM_QUIT arrives (which is then posted again for the outer loop).
    ModalLoopEnd RunModalLoop() {
        T* self = static_cast<T*>(this);
        // The dialog's own keyboard handling (Tab between controls, accelerators).
        AddMessageFilter(self);
        ModalLoopEnd end = winhush::ui::RunModalLoop(self->m_hWnd, *this);
        RemoveMessageFilter(self);
        return end;
    }
};

}  // namespace winhush::ui
