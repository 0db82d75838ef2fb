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
// (Lean Windows headers leave out what GDI+ needs, and GDI+ expects min/max in scope.)
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ShotSupport.h"
#include "ui/dui/UIManager.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"
#include "ui/framework/WindowPlacement.h"

using namespace winhush::ui;

namespace {

class ShotWnd : public CDuiFrameWndImpl<ShotWnd>, public CWndWithLace<ShotWnd>, public CWndWithLock<ShotWnd> {
public:
    std::wstring layout;
    const wchar_t* GetSkinFile() override { return layout.c_str(); }
};

void Pump(DWORD milliseconds) {
    DWORD end = ::GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // a broken layout must not end the run
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

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

RECT Grow(RECT rc, const CWndLace& lace) {
    rc.left -= lace.left;
    rc.top -= lace.top;
    rc.right += lace.right;
    rc.bottom += lace.bottom;
    return rc;
}

int Shoot(const std::wstring& layout, const std::wstring& outDir, bool locked) {
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
        if (!host.Create(nullptr, RECT{280, 150, 1000, 630}, nullptr, kMainWindowStyle, WS_EX_APPWINDOW)) return 1;
        host.ShowWindow(SW_SHOWNORMAL);
        ::UpdateWindow(host);
        Pump(200);
        host.LockOn();
        owner = host;
    }
    DWORD style = isBox ? kMessageBoxStyle & ~WS_VISIBLE : kDialogStyle;
    if (!window.Create(owner, CWindow::rcDefault, nullptr, style, WS_EX_TOOLWINDOW) || !window.IsLayoutLoaded()) {
        std::fwprintf(stderr, L"shots: %ls cannot be built\n", layout.c_str());
        return 1;
    }
    if (owner) {
        CenterWindowOverOwner(window);
    } else {
        RECT rc = window.GetWindowRect();
        int width = rc.right - rc.left, height = rc.bottom - rc.top;
        ::SetWindowPos(window, nullptr, (1280 - width) / 2, (780 - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    window.ShowWindow(SW_SHOWNORMAL);
    ::UpdateWindow(window);
    Pump(400);

    RECT area = locked ? Grow(host.GetWindowRect(), host.GetLace()) : Grow(window.GetWindowRect(), window.GetLace());
    std::wstring base = layout.substr(0, layout.size() - 4);
    std::wstring path = outDir + base + (locked ? L"-over-locked-host" : L"") + L".png";
    bool saved = shots::SaveScreenPng(area, path);
    std::fwprintf(stdout, L"%ls %ls (%ldx%ld)\n", saved ? L"saved" : L"FAILED", path.c_str(), area.right - area.left,
                  area.bottom - area.top);

    // The interactive states: the mouse over "btn_ok", the keyboard focus on "btn_cancel".
    CControlUI* ok = window.m_pm.FindControl(L"btn_ok");
    CControlUI* cancel = window.m_pm.FindControl(L"btn_cancel");
    if (!locked && ok && cancel) {
        window.m_pm.SetFocus(cancel);
        const RECT& at = ok->GetPos();
        window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM((at.left + at.right) / 2, (at.top + at.bottom) / 2));
        ::UpdateWindow(window);
        Pump(200);
        std::wstring statesPath = outDir + base + L"-states.png";
        bool statesSaved = shots::SaveScreenPng(area, statesPath);
        std::fwprintf(stdout, L"%ls %ls\n", statesSaved ? L"saved" : L"FAILED", statesPath.c_str());
        saved = saved && statesSaved;
    }
    window.DestroyWindow();
    if (locked) {
        host.LockOff();
        host.DestroyWindow();
    }
    Pump(50);
    return saved ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: framework_shots <resource folder> <output folder> [layout ...]\n");
        return 2;
    }
    // Per-monitor aware like the program itself, so that 144 DPI is real pixels.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    std::wstring folder = argv[1], outDir = argv[2];
    if (folder.back() != L'\\') folder.push_back(L'\\');
    if (outDir.back() != L'\\') outDir.push_back(L'\\');
    winhush::dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    winhush::dui::CPaintManagerUI::SetResourcePath(folder.c_str());

    std::vector<std::wstring> layouts;
    for (int i = 3; i < argc; ++i) layouts.push_back(argv[i]);
    if (layouts.empty()) layouts = WindowLayouts(folder);

    shots::CBackdrop backdrop;
    backdrop.Create(nullptr, RECT{0, 0, 1280, 780});
    backdrop.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(backdrop);

    int failures = 0;
    std::fwprintf(stdout, L"DPI %u\n", ::GetDpiForSystem());
    for (const auto& layout : layouts) {
        failures += Shoot(layout, outDir, false);
        if (layout == L"msg_exit_tip.xml") failures += Shoot(layout, outDir, true);
    }
    backdrop.DestroyWindow();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return failures == 0 ? 0 : 1;
}
