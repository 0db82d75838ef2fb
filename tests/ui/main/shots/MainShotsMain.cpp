// Photographs the program's real windows in the states a user meets them: the main window
// in each tab page (loading, empty, list, blocking off) and with the recording banner, its
// split-button drop list, the hover preview, both menus (the tray menu with blocking on and
// off) and both notification tips. State is set up the way the program finds it: values
// in the settings key and records stored through the window monitor into a throwaway data
// folder, so every text and colour comes from the same code paths as in the running
// program. Used by scripts/shots.
//
//   main_shots.exe <resource folder> <output folder> [shot name ...]
//
// Without names every shot is taken. Each PNG holds the window with its shadow (and for
// the menus and the preview, what they open over).
#include <windows.h>

#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "GdiPlus.h"
#include "MainWindowShots.h"
#include "TestSupport.h"
#include "monitor/WndMgr.h"
#include "settings/SettingsStore.h"
#include "ui/controls/VirtualList.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dui/UIManager.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;
using shots::Grow;
using shots::RectOf;
using shots::Union;
using shots::WithLace;

namespace {

using Session = shots::MainWindowShots;

// A stand-in screenshot of a blocked pop-up: a small advertising card, saved as JPEG the
// way the monitor stores its pictures.
std::wstring MakeScreenshot(const std::wstring& folder, int index, COLORREF accent, const wchar_t* headline) {
    const int width = 360, height = 240;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    Gdiplus::Graphics g(&bitmap);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    g.Clear(Gdiplus::Color(255, 255, 255, 255));
    Gdiplus::SolidBrush head(Gdiplus::Color(255, GetRValue(accent), GetGValue(accent), GetBValue(accent)));
    g.FillRectangle(&head, 0, 0, width, 64);
    Gdiplus::SolidBrush grey(Gdiplus::Color(255, 0xE6, 0xE9, 0xEF));
    g.FillRectangle(&grey, 20, 88, 200, 14);
    g.FillRectangle(&grey, 20, 114, 280, 14);
    g.FillRectangle(&grey, 20, 140, 240, 14);
    g.FillRectangle(&head, 20, 186, 120, 32);
    Gdiplus::FontFamily family(L"Microsoft YaHei");
    Gdiplus::Font font(&family, 22, Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
    g.DrawString(headline, -1, &font, Gdiplus::PointF(20, 18), &white);
    std::wstring path = folder + L"shot" + std::to_wstring(index) + L".jpg";
    CLSID jpeg;
    if (!shots::ImageEncoder(L"image/jpeg", &jpeg) || bitmap.Save(path.c_str(), &jpeg, nullptr) != Gdiplus::Ok)
        return L"";
    return path;
}

struct SampleRecord {
    const wchar_t* name;
    const wchar_t* path;
    int pos;
    uint32_t blockCnt;
    int status;
    COLORREF accent;
    const wchar_t* headline;
};

// Rows of every kind the list shows: a count above 999, 999, small counts, never blocked
// (the light pill), a let-through window (switch off), an unknown position and a program
// whose file is gone (the generic icon).
const SampleRecord kSamples[] = {
    {L"网盘助手 - 每日精选推荐", L"C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", 5, 1234, 1, RGB(0xF2, 0x6B, 0x3A), L"今日精选"},
    {L"影音播放器 右下角资讯", L"C:\\WINDOWS\\REGEDIT.EXE", 5, 999, 1, RGB(0x7A, 0x5A, 0xE0), L"热门影视"},
    {L"压缩工具 热点新闻", L"C:\\WINDOWS\\SYSTEM32\\WINEMINE.EXE", 3, 57, 1, RGB(0x2B, 0x8F, 0xD9), L"热点新闻"},
    {L"看图软件 今日推荐窗口，标题很长时在行尾省略显示", L"C:\\WINDOWS\\SYSTEM32\\CMD.EXE", 4, 12, 2,
     RGB(0x22, 0xA0, 0x6B), L"限时推荐"},
    {L"输入法 皮肤推荐", L"C:\\WINDOWS\\EXPLORER.EXE", 1, 3, 1, RGB(0xE5, 0x48, 0x4D), L"新皮肤上线"},
    {L"下载器 会员活动", L"C:\\PROGRAM FILES\\GONE\\GONE.EXE", 0, 0, 1, RGB(0xF5, 0xA6, 0x23), L"会员特惠"},
};

void StoreSamples(const std::wstring& folder) {
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    int index = 0;
    for (const auto& sample : kSamples) {
        monitor::BlockRecord record;
        record.hash = 0x5A11C0DE0000ull + static_cast<uint64_t>(index);
        record.name = sample.name;
        record.window.path = sample.path;
        record.window.className = L"ShotsPopup" + std::to_wstring(index);
        record.window.rect = {0, 0, 360, 240};
        record.window.pos = sample.pos;
        record.status = sample.status;
        record.blockCnt = sample.blockCnt;
        record.timeBlock = now - 600 * index;
        record.addType = monitor::kAddedFromRuleList;
        record.imagePath = MakeScreenshot(folder, index, sample.accent, sample.headline);
        monitor::WndMgr().StoreRecord(record);
        ++index;
    }
}

// Real input, as a user gives it: the cursor moves to the client point of `hwnd` and the
// left button goes down and up there.
void MoveTo(HWND hwnd, POINT pt) {
    ::ClientToScreen(hwnd, &pt);
    ::SetCursorPos(pt.x, pt.y);
    test::PumpFor(100ms);
}

void ClickAt(HWND hwnd, POINT pt) {
    ::SetForegroundWindow(::GetAncestor(hwnd, GA_ROOT));
    MoveTo(hwnd, pt);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, input, sizeof(INPUT));
}

POINT CentreOf(dui::CControlUI* control) {
    const RECT& rc = control->GetPos();
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// Visible top-level windows of this thread that are not in `known`.
std::vector<HWND> NewWindows(const std::set<HWND>& known) {
    std::vector<HWND> found;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (::IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    found.erase(std::remove_if(found.begin(), found.end(), [&](HWND h) { return known.count(h) != 0; }), found.end());
    return found;
}

std::set<HWND> VisibleWindows() {
    auto list = NewWindows({});
    return {list.begin(), list.end()};
}

void Step(const wchar_t* what) {
    std::fwprintf(stdout, L"- %ls\n", what);
    std::fflush(stdout);
}

// The notification area's corner, where the tray menu and the tips open.
constexpr RECT kTrayCorner = {Session::kBackdropWidth - 320, Session::kBackdropHeight - 300, Session::kBackdropWidth,
                              Session::kBackdropHeight + 20};

// Opens a menu with `open` and photographs it over `context` once it has stayed open for a
// moment. A menu closes as soon as it loses the focus; when one closes by itself before it
// is photographed that is said, and it is opened again (at most three times).
template <typename Open>
void ShootMenu(Session& session, const std::wstring& name, RECT context, Open open) {
    CMainDlg& main = session.Main();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        open();
        bool opened = test::WaitUntil([&] { return main.CurrentMenu() && ::IsWindowVisible(main.CurrentMenu()); }, 2s);
        session.Pump(300ms);
        HWND menu = main.CurrentMenu();
        if (opened && menu && ::IsWindowVisible(menu)) {
            session.Shoot(name, Union(context, Grow(RectOf(menu), 16)));
            ::DestroyWindow(menu);
            session.Pump(200ms);
            return;
        }
        std::fwprintf(stderr, L"main_shots: %ls: the menu %ls (attempt %d)\n", name.c_str(),
                      opened ? L"closed by itself" : L"did not open", attempt);
        session.Pump(300ms);
    }
    session.Fail((name + L": no menu").c_str());
}

// Waits for the main window's next refreshes to show what the settings and records say.
void WaitRefresh(Session& session) { session.Pump(1200ms); }

// The main window's pages: loading (first run), empty, and the list with the samples.
void ShootPages(Session& session, const std::wstring& dataFolder) {
    CMainDlg& main = session.Main();
    session.Pump(900ms);
    if (session.Wanted(L"main-loading")) session.Shoot(L"main-loading", WithLace(main));

    if (!test::WaitUntil([&] { return !main.InLoadingPhase(); }, 20s)) session.Fail(L"the first-run phase did not end");
    WaitRefresh(session);
    if (session.Wanted(L"main-empty")) session.Shoot(L"main-empty", WithLace(main));

    Session::SetSetting(settings::kBlockCount, 1234);
    StoreSamples(dataFolder);
    WaitRefresh(session);
    if (session.Wanted(L"main-list")) session.Shoot(L"main-list", WithLace(main));
}

// Hover over the first row's count: the preview of its last screenshot opens beside it.
// The window moves to the left edge so that the preview has room on its right at 144 DPI.
void ShootPreview(Session& session) {
    CMainDlg& main = session.Main();
    HWND mainWnd = main.m_hWnd;
    RECT centred = main.GetWindowRect();
    ::SetWindowPos(mainWnd, nullptr, main.GetLace().left, centred.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    session.Pump(200ms);
    // The top row that is on screen (the most blocked window, with a picture).
    CVListUI* list = main.ListBlock();
    dui::CControlUI* row = nullptr;
    for (int i = 0; list && i < list->GetItemCount() && !row; ++i) {
        dui::CControlUI* candidate = list->GetItemAt(i);
        if (candidate && candidate->IsVisible()) row = candidate;
    }
    dui::CControlUI* count = row ? main.m_pm.FindSubControlByName(row, L"lab_count") : nullptr;
    if (count) {
        MoveTo(mainWnd, CentreOf(count));
        session.Pump(500ms);
        CPreviewDlg& preview = PreviewWindow();
        if (session.Wanted(L"preview")) {
            if (preview.IsWindow() && preview.IsWindowVisible())
                session.Shoot(L"preview", Union(WithLace(main), WithLace(preview)));
            else
                session.Fail(L"hovering a count showed no preview");
        }
        // Off the count again: the preview goes, the row under the mouse stays hot.
        dui::CControlUI* name = main.m_pm.FindSubControlByName(row, L"lab_name");
        MoveTo(mainWnd, name ? CentreOf(name) : POINT{10, 10});
        session.Pump(300ms);
    }
    ::SetCursorPos(4, 4);
    ::SetWindowPos(mainWnd, nullptr, centred.left, centred.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    session.Pump(200ms);
}

// The split button's drop list and the main menu below its button.
void ShootAppendAndMenu(Session& session) {
    CMainDlg& main = session.Main();
    HWND mainWnd = main.m_hWnd;
    dui::CControlUI* append = main.m_pm.FindControl(L"btn_append");
    if (session.Wanted(L"main-append") && append) {
        std::set<HWND> before = VisibleWindows();
        ClickAt(mainWnd, CentreOf(append));
        session.Pump(400ms);
        RECT area = WithLace(main);
        for (HWND popup : NewWindows(before)) area = Union(area, Grow(RectOf(popup), 8));
        session.Shoot(L"main-append", area);
        ::SendMessageW(mainWnd, WM_KEYDOWN, VK_ESCAPE, 0);
        for (HWND popup : NewWindows(before)) ::DestroyWindow(popup);
        session.Pump(200ms);
    }
    dui::CControlUI* button = main.m_pm.FindControl(L"btn_menu");
    if (session.Wanted(L"menu-main") && button) {
        ShootMenu(session, L"menu-main", WithLace(main), [&] { ClickAt(mainWnd, CentreOf(button)); });
        ::SetCursorPos(4, 4);  // no tooltip of the menu button in the next shots
    }
}

// The recording banner; the tray menu at the tray icon, with blocking on and off, and the
// main window with blocking off. The main window takes the focus when its page changes,
// which closes an open menu, so each change is let through before the menu opens.
void ShootRecordingAndTray(Session& session) {
    CMainDlg& main = session.Main();
    monitor::WndMgr().recording = 1;
    WaitRefresh(session);
    if (session.Wanted(L"main-recording")) session.Shoot(L"main-recording", WithLace(main));
    monitor::WndMgr().recording = 0;

    for (DWORD block : {1u, 0u}) {
        std::wstring name = block ? L"menu-tray" : L"menu-tray-off";
        Session::SetSetting(settings::kBlock, block);
        WaitRefresh(session);
        if (!block && session.Wanted(L"main-off")) session.Shoot(L"main-off", WithLace(main));
        if (!session.Wanted(name)) continue;
        ShootMenu(session, name, kTrayCorner, [&] {
            // As after a right click on the tray icon: the program is in the foreground.
            ::SetForegroundWindow(main.m_hWnd);
            ::SetCursorPos(1270, 790);
            main.OnTrayMenu(POINT{1270, 790});
        });
    }
    Session::SetSetting(settings::kBlock, 1);
    WaitRefresh(session);
}

// The first block ever: the block tip over the notification area; and the tip of pop-ups
// of newly installed programs, which the automatic check leads to.
void ShootTips(Session& session) {
    if (session.Wanted(L"tip-block")) {
        Session::SetSetting(settings::kBlockCount, 1);
        std::set<HWND> before = VisibleWindows();
        std::wstring text = L"已拦截：网盘助手 - 每日精选推荐";
        auto* copy = new wchar_t[text.size() + 1];
        std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
        ::PostMessageW(session.Main().m_hWnd, monitor::WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(copy), 0);
        session.Pump(700ms);
        std::vector<HWND> tips = NewWindows(before);
        if (tips.empty()) {
            session.Fail(L"the first block showed no tip");
        } else {
            RECT area = Grow(RectOf(tips.front()), 16);
            for (HWND tip : tips) area = Union(area, Grow(RectOf(tip), 16));
            session.Shoot(L"tip-block", Union(area, kTrayCorner));
            for (HWND tip : tips) ::ShowWindow(tip, SW_HIDE);
        }
        session.Pump(300ms);
    }
    if (session.Wanted(L"tip-new-wnd")) {
        CNewWndTipWnd tip;
        if (tip.ShowTip(3) && tip.IsWindow()) {
            session.Pump(500ms);
            session.Shoot(L"tip-new-wnd", Union(WithLace(tip), kTrayCorner));
        } else {
            session.Fail(L"the new pop-ups tip cannot be shown");
        }
        Step(L"closing the new pop-ups tip");
        tip.DestroyTip();
        session.Pump(200ms);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Session session;
    // First run: the loading page stays up until the automatic check is done.
    if (!session.Start(argc, argv, L"main_shots", Session::Phase::FirstRun, 180s)) return 2;
    ShootPages(session, session.DataFolder());
    ShootPreview(session);
    ShootAppendAndMenu(session);
    ShootRecordingAndTray(session);
    ShootTips(session);
    Step(L"closing the main window and stopping the window monitor");
    return session.Finish();
}
