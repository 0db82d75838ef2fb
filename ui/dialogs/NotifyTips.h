// The two notification tips that pop up above the notification area: the first-block tip
// (what just happened and where to look) and the new-pop-ups tip (how many pop-ups of newly
// installed programs can be blocked, with a button that opens the rule list). Both are
// owned by the main window as objects; their windows exist only while shown: the user's
// close destroys the window and the next show creates it again. A tip is topmost and is
// never activated, so it cannot take the keyboard from whatever the user is typing into.
// There is no timer: a tip stays until the user closes it.
#pragma once

#include <windows.h>

#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"

namespace winhush::ui {

// Styles of a tip window. Creation leaves out WS_VISIBLE and shows the tip without
// activation once it is placed: a top-level window created visible is activated.
inline constexpr DWORD kTipStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_DLGFRAME;
inline constexpr DWORD kTipExStyle = WS_EX_TOOLWINDOW;

class CBlockTipWnd : public CDuiFrameWndImpl<CBlockTipWnd>, public CWndWithLace<CBlockTipWnd> {
public:
    // Shows the tip in the bottom-right corner: re-placed when its window exists (the
    // taskbar may have moved), created otherwise. False when the window could not be made.
    bool ShowTip();
    void DestroyTip();

    const wchar_t* GetSkinFile() override { return L"wnd_tip_block.xml"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void Notify(TNotifyUI& msg) override;
    void OnFinalMessage(HWND hwnd) override;
};

class CNewWndTipWnd : public CDuiFrameWndImpl<CNewWndTipWnd>, public CWndWithLace<CNewWndTipWnd> {
public:
    // Stores the count and shows the tip with it (created, or updated, re-placed and shown).
    bool ShowTip(int count);
    void DestroyTip();

    const wchar_t* GetSkinFile() override { return L"wnd_tip_new_wnd.xml"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void Notify(TNotifyUI& msg) override;
    void OnFinalMessage(HWND hwnd) override;

    int count = 0;

private:
    // "lab_tip" shows its own user data with the count put in.
    void UpdateTipText();
};

}  // namespace winhush::ui
