// Companion windows that a skinned window keeps beside itself:
//  - the shadow frame (CWndLace, held by CWndWithLace): a soft shadow around and behind the
//    host that follows its moves, sizes and visibility and disappears while the host is
//    minimised or maximised. Its margins are the inset of the root of "dlg_lace.xml", its
//    colour that root's background colour;
//  - the lock overlay (CLockWnd, held by CWndWithLock): a veil laid over the host while a
//    modal dialog of the host is open ("lockwnd.xml").
// Both are pop-ups owned by the host, disabled, and never activated. A host class derives
// from CWndWithLace<Host> and/or CWndWithLock<Host>; its messages reach them first.
#pragma once

#include <windows.h>

#include "ui/framework/DuiWindow.h"
#include "ui/framework/ShadowSurface.h"

namespace winhush::ui {

class CWndLace : public CDuiWndBaseImpl<CWndLace, 1> {
public:
    // Creates the shadow window owned by the host; false when it or its layout failed.
    bool CreateFor(HWND host);
    // Places the shadow around the host: SetWindowPos (behind the host, shown) when
    // useSetWindowPos, else MoveWindow. Hidden while the host is hidden, minimised or maximised.
    void Reposition(HWND host, bool useSetWindowPos);

    const wchar_t* GetSkinFile() override { return L"dlg_lace.xml"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

    int left = 0, top = 0, right = 0, bottom = 0;  // margins, pixels at the current DPI
    bool shown = false;                            // set at the host's first paint
    int cornerRadius = 0;                          // of the host's rounded region

private:
    bool ReadMargins();
    CShadowSurface surface_;
    ShadowStyle style_;
    RECT presented_ = {};
};

class CLockWnd : public CDuiWndBaseImpl<CLockWnd, 1> {
public:
    bool CreateFor(HWND host);
    // Lays the veil exactly over the host's window rectangle, on top, shown, not activated.
    // With desktop composition the veil is translucent and the host stays live beneath it;
    // without, the host's current look (rendered by its paint manager) is dimmed into an
    // opaque picture, because the veil could not be blended.
    void Cover(HWND host, CPaintManagerUI& hostPm);

    const wchar_t* GetSkinFile() override { return L"lockwnd.xml"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

private:
    CShadowSurface surface_;
    bool picture_ = false;  // painting the opaque picture rather than a layered veil
};

template <class T>
class CWndWithLace {
public:
    CWndLace& GetLace() { return lace_; }

    // Offered every message of the host before the host sees it.
    void ForwardToLace(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
        HWND host = static_cast<T*>(this)->m_hWnd;
        switch (message) {
            case WM_CREATE:
                lace_.CreateFor(host);
                break;
            case WM_MOVE:
                Sync(host, false);
                break;
            case WM_SIZE:
                if (lace_.shown) Sync(host, true);
                break;
            case WM_PAINT:
                lace_.shown = true;
                Sync(host, true);
                break;
            case WM_SHOWWINDOW:
                if (wParam != 1 && lace_.IsWindow()) lace_.ShowWindow(SW_HIDE);
                break;
        }
    }

private:
    void Sync(HWND host, bool useSetWindowPos) {
        SIZE corner = static_cast<T*>(this)->m_pm.GetRoundCorner();
        lace_.cornerRadius = corner.cx / 2;
        lace_.Reposition(host, useSetWindowPos);
    }
    CWndLace lace_;
};

// What a modal dialog needs of its owner's lock overlay, whatever the owner's class.
class CLockHost {
public:
    virtual bool IsLocked() const = 0;
    virtual void LockOn() = 0;
    virtual void LockOff() = 0;

protected:
    ~CLockHost() = default;
};

template <class T>
class CWndWithLock : public CLockHost {
public:
    CLockWnd& GetLockWnd() { return lock_; }
    bool IsLocked() const override { return active; }

    // Before a modal dialog of the host runs. A hidden host (a dialog opened while the main
    // window sits in the tray) gets its veil when it is shown, not floating where it was.
    void LockOn() override {
        HWND host = static_cast<T*>(this)->m_hWnd;
        active = true;
        ::SetForegroundWindow(host);
        if (lock_.IsWindow() && ::IsWindowVisible(host)) lock_.Cover(host, static_cast<T*>(this)->m_pm);
    }
    // After it returned.
    void LockOff() override {
        active = false;
        if (lock_.IsWindow()) lock_.ShowWindow(SW_HIDE);
    }

    void ForwardToLock(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
        if (message == WM_CREATE) {
            lock_.CreateFor(static_cast<T*>(this)->m_hWnd);
        } else if (message == WM_SHOWWINDOW && active && lock_.IsWindow()) {
            // Covering never activates: the overlay must not take activation from the dialog.
            if (wParam == 1)
                lock_.Cover(static_cast<T*>(this)->m_hWnd, static_cast<T*>(this)->m_pm);
            else
                lock_.ShowWindow(SW_HIDE);
        }
    }

    bool active = false;

private:
    CLockWnd lock_;
};

// Lock on for the scope of a modal dialog of the host.
template <class T>
class CScopedLock {
public:
    explicit CScopedLock(CWndWithLock<T>& host) : host_(host) { host_.LockOn(); }
    ~CScopedLock() { host_.LockOff(); }
    CScopedLock(const CScopedLock&) = delete;
    CScopedLock& operator=(const CScopedLock&) = delete;

private:
    CWndWithLock<T>& host_;
};

}  // namespace winhush::ui
