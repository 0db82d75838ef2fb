#include "ui/dialogs/NotifyTips.h"

#include <string>

#include "settings/StartupConfig.h"
#include "ui/dialogs/WindowReuse.h"
#include "ui/framework/FormatText.h"
#include "ui/framework/MainCommands.h"
#include "ui/framework/TipPlacement.h"

namespace winhush::ui {

namespace {

template <class Tip>
void PlaceTip(Tip& tip) {
    CWndLace& lace = tip.GetLace();
    PlaceTipWindow(tip.m_hWnd, TipMargins{lace.left, lace.top, lace.right, lace.bottom});
}

// Creates a tip's window hidden (it places itself on WM_CREATE) and shows it without
// activation: created visible, the new top-level window would be activated and take the
// keyboard from the program the user is working in. Topmost from the start as well: Wine ignores HWND_TOPMOST for a
// dialog-framed window that owns its shadow frame, so the placement's request alone would leave the tip among normal
// windows.
template <class Tip>
bool CreateTip(Tip& tip) {
    if (!tip.Create(nullptr, CWindow::rcDefault, nullptr, kTipStyle & ~WS_VISIBLE, kTipExStyle | WS_EX_TOPMOST))
        return false;
    if (!tip.IsLayoutLoaded()) {
        tip.DestroyWindow();
        return false;
    }
    tip.ShowWindow(SW_SHOWNA);
    return true;
}

CControlUI* CALLBACK NoKeyboard(CControlUI* control, LPVOID /*data*/) {
    control->SetKeyboardEnabled(false);
    return nullptr;
}

// After its first layout the engine gives the keyboard focus to the first tab stop, which
// activates the window. A tip has nothing to type into; a click still activates it.
void KeepFromTakingFocus(CPaintManagerUI& pm) {
    if (CControlUI* root = pm.GetRoot()) root->FindControl(NoKeyboard, nullptr, dui::UIFIND_ALL);
}

// Both tips handle their window messages alike.
template <class Tip>
LRESULT HandleTipMessage(Tip& tip, UINT message, WPARAM wParam, BOOL& handled) {
    handled = FALSE;
    if (message == WM_CREATE) {
        // The layout has set the window's size by now, so the placement sees the real size.
        PlaceTip(tip);
    } else if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
        // Once clicked, a tip has the keyboard; Escape dismisses it like its close button.
        tip.PostMessage(WM_CLOSE);
        handled = TRUE;
    }
    return 0;
}

bool IsSender(const TNotifyUI& msg, const wchar_t* name) { return msg.pSender && msg.pSender->GetName() == name; }

}  // namespace

// ---- first-block tip ------------------------------------------------------------------

bool CBlockTipWnd::ShowTip() {
    if (!IsWindow()) return CreateTip(*this);
    PlaceTip(*this);
    ShowWindow(SW_SHOWNA);
    return true;
}

void CBlockTipWnd::DestroyTip() {
    if (IsWindow()) DestroyWindow();
}

LRESULT CBlockTipWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, BOOL& handled) {
    return HandleTipMessage(*this, message, wParam, handled);
}

void CBlockTipWnd::OnFinalMessage(HWND /*hwnd*/) { ResetManagerForNextWindow(m_pm); }

void CBlockTipWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == dui::DUI_MSGTYPE_WINDOWINIT) KeepFromTakingFocus(m_pm);
    if (msg.sType == dui::DUI_MSGTYPE_CLICK && (IsSender(msg, L"btn_close") || IsSender(msg, L"sysclosebutton")))
        PostMessage(WM_CLOSE);
}

// ---- new-pop-ups tip ------------------------------------------------------------------

bool CNewWndTipWnd::ShowTip(int newCount) {
    count = newCount;
    if (!IsWindow()) {
        if (!CreateTip(*this)) return false;
        // "windowinit" only comes with the first paint; the text is right from the start.
        UpdateTipText();
        return true;
    }
    UpdateTipText();
    PlaceTip(*this);
    ShowWindow(SW_SHOWNA);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return true;
}

void CNewWndTipWnd::DestroyTip() {
    if (IsWindow()) DestroyWindow();
}

void CNewWndTipWnd::UpdateTipText() {
    CControlUI* label = m_pm.FindControl(L"lab_tip");
    if (!label) return;
    label->SetText(FormatLayoutText(label->GetUserData(), {count}).c_str());
}

LRESULT CNewWndTipWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, BOOL& handled) {
    return HandleTipMessage(*this, message, wParam, handled);
}

void CNewWndTipWnd::OnFinalMessage(HWND /*hwnd*/) { ResetManagerForNextWindow(m_pm); }

void CNewWndTipWnd::Notify(TNotifyUI& msg) {
    if (msg.sType == dui::DUI_MSGTYPE_WINDOWINIT) {
        KeepFromTakingFocus(m_pm);
        UpdateTipText();
    } else if (msg.sType == dui::DUI_MSGTYPE_CLICK) {
        if (IsSender(msg, L"sysclosebutton")) {
            PostMessage(WM_CLOSE);
        } else if (IsSender(msg, L"btn_block")) {
            // The main window shows itself first, also when it was hidden in the tray.
            PostMainCommand(GetMainWindowHandle(), ID_OPEN_RULES);
            PostMessage(WM_CLOSE);
        }
    }
}

}  // namespace winhush::ui
