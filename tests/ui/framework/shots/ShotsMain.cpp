// Shows every window layout of a UI resource folder on the desktop, one after the other, as
// a framed window with its shadow, and saves what the screen shows of it (window plus
// shadow) as a PNG. Used by scripts/shots to look at the UI without Windows.
//
//   framework_shots.exe <resource folder> <output folder> [layout ...]
//
// Without layout names every "*.xml" of the folder whose root is a <Window> is shown, except
// the companions (shadow, lock overlay), which appear around and over the others, and the
// windows tests/ui/main/shots photographs as the program runs them. For
// "msg_exit_tip.xml" a second shot shows it over a locked host, as the exit confirmation
// appears over the main window.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ShotSupport.h"
#include "ui/dui/UIManager.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"
#include "ui/framework/WindowPlacement.h"

using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

class ShotWnd : public CDuiFrameWndImpl<ShotWnd>, public CWndWithLace<ShotWnd>, public CWndWithLock<ShotWnd> {
public:
    std::wstring layout;
    const wchar_t* GetSkinFile() override { return layout.c_str(); }
};

std::vector<std::wstring> WindowLayouts(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((folder + L"*.xml").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name == L"dlg_lace.xml" || name == L"lockwnd.xml") continue;
        // Windows that main_shots photographs as the program builds them, with their own
        // controls and data.
        if (name == L"dlg_main.xml" || name == L"menu_main.xml" || name == L"menu_tray.xml" ||
            name == L"dlg_preview.xml" || name == L"wnd_tip_block.xml" || name == L"wnd_tip_new_wnd.xml")
            continue;
        HANDLE file =
            ::CreateFileW((folder + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        char head[4096] = {};
        DWORD read = 0;
        ::ReadFile(file, head, sizeof(head) - 1, &read, nullptr);
        ::CloseHandle(file);
        if (std::string(head, read).find("<Window") != std::string::npos) names.push_back(name);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return names;
}

// Places the window (over its owner, else in the middle of the backdrop) and photographs
// it; unless it is over a locked host (`hostArea`), once more with the mouse over "btn_ok"
// and the keyboard focus on "btn_cancel".
void ShootStates(shots::ShotSession& session, ShotWnd& window, HWND owner, RECT hostArea, const std::wstring& layout) {
    if (owner)
        CenterWindowOverOwner(window);
    else
        session.Centre(window);
    window.ShowWindow(SW_SHOWNORMAL);
    ::UpdateWindow(window);
    session.Pump(400ms);

    const bool locked = !::IsRectEmpty(&hostArea);
    RECT area = locked ? hostArea : shots::WithLace(window);
    std::wstring base = layout.substr(0, layout.size() - 4);
    session.Shoot(base + (locked ? L"-over-locked-host" : L""), area);

    CControlUI* ok = window.m_pm.FindControl(L"btn_ok");
    CControlUI* cancel = window.m_pm.FindControl(L"btn_cancel");
    if (!locked && ok && cancel) {
        window.m_pm.SetFocus(cancel);
        const RECT& at = ok->GetPos();
        window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM((at.left + at.right) / 2, (at.top + at.bottom) / 2));
        ::UpdateWindow(window);
        session.Pump(200ms);
        session.Shoot(base + L"-states", area);
    }
}

// Shows the layout, for the exit confirmation also over a locked host standing in for the
// main window, and photographs it.
void Shoot(shots::ShotSession& session, const std::wstring& layout, bool locked) {
    ShotWnd host;
    ShotWnd window;
    window.layout = layout;
    bool isBox = layout.rfind(L"msg_", 0) == 0;
    HWND owner = nullptr;
    if (locked) {
        // A plain host standing in for the main window, locked while the box is up.
        host.layout =
            LR"(<Window size="720,480" roundcorner="16,16"><Font name="Microsoft YaHei" size="14" default="true" />
            <VerticalLayout bkcolor="#FFF5F7FA"><HorizontalLayout height="48" bkcolor="#FFFFFFFF" inset="24,0,0,0">
            <Label text="Zelvane-弹窗拦截" textcolor="#FF1F2329" /></HorizontalLayout><Control /></VerticalLayout></Window>)";
        if (!host.Create(nullptr, RECT{280, 150, 1000, 630}, nullptr, kMainWindowStyle, WS_EX_APPWINDOW)) {
            session.Fail(L"the locked host cannot be built");
            return;
        }
        host.ShowWindow(SW_SHOWNORMAL);
        ::UpdateWindow(host);
        session.Pump(200ms);
        host.LockOn();
        owner = host;
    }
    DWORD style = isBox ? kMessageBoxStyle & ~WS_VISIBLE : kDialogStyle;
    if (window.Create(owner, CWindow::rcDefault, nullptr, style, WS_EX_TOOLWINDOW) && window.IsLayoutLoaded())
        ShootStates(session, window, owner, locked ? shots::WithLace(host) : RECT{}, layout);
    else
        session.Fail((layout + L" cannot be built").c_str());
    if (window.IsWindow()) window.DestroyWindow();
    if (locked) {
        host.LockOff();
        host.DestroyWindow();
    }
    session.Pump(50ms);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    shots::ShotSession session;
    if (!session.Start(argc, argv, L"framework_shots")) return 2;
    std::vector<std::wstring> layouts = session.Names();
    if (layouts.empty()) layouts = WindowLayouts(session.ResourceFolder());
    for (const auto& layout : layouts) {
        Shoot(session, layout, false);
        if (layout == L"msg_exit_tip.xml") Shoot(session, layout, true);
    }
    return session.Finish();
}
