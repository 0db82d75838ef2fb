#include "ui/framework/ModalLoop.h"

namespace winhush::ui {

namespace {
void ReturnToOwner(HWND owner, bool ownerWasEnabled) {
    if (!owner || !::IsWindow(owner)) return;
    // An owner that was already disabled (a nested modal level above it) stays disabled:
    // enabling it would let the user reach a window that is supposed to be blocked.
    if (!ownerWasEnabled) return;
    ::EnableWindow(owner, TRUE);
    ::SetFocus(owner);
}
}  // namespace

ModalLoopEnd RunModalLoop(HWND dialog, CMessageLoop& loop) {
    ModalLoopEnd end;
    if (!::IsWindow(dialog)) return end;
    HWND owner = ::GetWindow(dialog, GW_OWNER);

    // The thread's own loop stays registered as the thread's loop: windows that add
    // themselves to it (the dialog itself in WM_CREATE, before this runs) must find it
    // again when they remove themselves in WM_DESTROY, which happens in here. Its filters
    // still see the messages pumped here; its idle handlers wait until this loop is over.
    CMessageLoop* threadLoop = Module().GetMessageLoop();
    ::ShowWindow(dialog, SW_SHOWNORMAL);
    // EnableWindow reports the previous state: nonzero when the owner was disabled.
    bool ownerWasEnabled = owner && !::EnableWindow(owner, FALSE);

    bool doIdle = true;
    int idleCount = 0;
    MSG msg = {};
    while (::IsWindow(dialog)) {
        while (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!loop.OnIdle(idleCount++)) doIdle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) continue;
        if (got == 0) {
            end.quit = true;
            end.quitCode = static_cast<int>(msg.wParam);
            break;
        }
        bool closing = msg.message == WM_CLOSE && msg.hwnd == dialog;
        if (closing) ReturnToOwner(owner, ownerWasEnabled);
        bool consumed = loop.PreTranslateMessage(&msg);
        if (!consumed && threadLoop) consumed = threadLoop->PreTranslateMessageExcept(&msg, loop);
        if (!consumed) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // A dialog that refused to close is still modal: block its owner again.
        if (closing && ::IsWindow(dialog) && ownerWasEnabled && ::IsWindow(owner)) ::EnableWindow(owner, FALSE);
        if (CMessageLoop::IsIdleMessage(msg)) {
            doIdle = true;
            idleCount = 0;
        }
    }

    ReturnToOwner(owner, ownerWasEnabled);
    if (end.quit) ::PostQuitMessage(end.quitCode);
    return end;
}

}  // namespace winhush::ui
