#include "ui/framework/MessageBoxBase.h"

#include "ui/framework/WindowPlacement.h"

namespace winhush::ui {

void CMessageBoxBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    dui::CDuiString name = msg.pSender->GetName();
    if (name == L"sysclosebutton" || name == L"btn_cancel")
        result = kDeclined;
    else if (name == L"btn_ok")
        result = kConfirmed;
    else
        return;
    PostMessage(WM_CLOSE);
}

int CMessageBoxBase::Run(HWND owner, const wchar_t* layout) {
    skinFile.clear();
    if (!layout || !*layout) return kDeclined;
    skinFile = layout;
    // Anything but an explicit OK is a refusal.
    result = kDeclined;
    // Created hidden and shown by the modal loop once centred: a box created visible would
    // flash at the default position first.
    if (!Create(owner, rcDefault, nullptr, kMessageBoxStyle & ~WS_VISIBLE, WS_EX_TOOLWINDOW)) return kDeclined;
    CenterWindowOverOwner(m_hWnd);
    RunModalLoop();
    if (IsWindow()) DestroyWindow();  // the loop ended on WM_QUIT
    return result;
}

void CMessageBoxBase::OnNotify(TNotifyUI& msg) {
    if (msg.sType == dui::DUI_MSGTYPE_CLICK)
        OnClick(msg);
    else if (msg.sType == dui::DUI_MSGTYPE_RETURN)
        OnReturn();
}

void CMessageBoxBase::OnEscape() {
    result = kDeclined;
    PostMessage(WM_CLOSE);
}

}  // namespace winhush::ui
