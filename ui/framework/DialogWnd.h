// The window handling that the program's modal dialogs and message boxes share, on top of
// the frame and modal-loop templates: Escape closes the dialog like its close button (unless
// the dialog is using the key at that moment), the layout's "windowinit" notification becomes
// the OnLayoutInit hook, and a dialog that asks for it puts itself into the thread's own
// message loop for as long as its window exists (as a message filter, and as an idle handler
// when it is one), so that loop's filters also see the dialog outside its modal loop.
//
// A dialog overrides HandleDialogMessage and OnNotify instead of HandleMessage and Notify;
// what its own handler leaves unhandled goes on to the shared handling.
#pragma once

#include <windows.h>

#include <type_traits>

#include "ui/framework/DuiWindow.h"
#include "ui/framework/MessageLoop.h"

namespace winhush::ui {

enum class ThreadLoopEntry { None, Registered };

template <class T, ThreadLoopEntry Entry = ThreadLoopEntry::None>
class CDuiDialogWnd : public CDuiFrameWndImpl<T>, public CDuiDialogImpl<T> {
public:
    using CDuiFrameWndImpl<T>::m_hWnd;
    using CDuiFrameWndImpl<T>::m_pm;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        handled = FALSE;
        if constexpr (Entry == ThreadLoopEntry::Registered) {
            if (message == WM_CREATE) EnterThreadLoop(true);
            if (message == WM_DESTROY) EnterThreadLoop(false);
        }
        LRESULT result = HandleDialogMessage(message, wParam, lParam, handled);
        if (handled) return result;
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE && ClosesOnEscape()) {
            OnEscape();
            handled = TRUE;
            return 0;
        }
        return result;
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == dui::DUI_MSGTYPE_WINDOWINIT) {
            OnLayoutInit();
            return;
        }
        OnNotify(msg);
    }

    // The layout has been laid out for the first time.
    virtual void OnLayoutInit() {}

protected:
    // The dialog's own messages; leave handled FALSE to let a message go on.
    virtual LRESULT HandleDialogMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& handled) {
        handled = FALSE;
        return 0;
    }
    // Every notification but "windowinit".
    virtual void OnNotify(TNotifyUI& /*msg*/) {}
    // False while the dialog itself needs Escape (a drag to cancel, a key being captured).
    virtual bool ClosesOnEscape() const { return true; }
    virtual void OnEscape() { this->PostMessage(WM_CLOSE); }

private:
    void EnterThreadLoop(bool enter) {
        CMessageLoop* loop = Module().GetMessageLoop();
        if (!loop) return;
        T* self = static_cast<T*>(this);
        if (enter)
            loop->AddMessageFilter(self);
        else
            loop->RemoveMessageFilter(self);
        if constexpr (std::is_base_of_v<CIdleHandler, T>) {
            if (enter)
                loop->AddIdleHandler(self);
            else
                loop->RemoveIdleHandler(self);
        }
    }
};

}  // namespace winhush::ui
