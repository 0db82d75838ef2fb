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
// (Lean Windows headers leave out what GDI+ needs, and GDI+ expects min/max in scope.)
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cstdio>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "ShotSupport.h"
#include "TestSupport.h"
#include "monitor/WndMgr.h"
#include "settings/SettingsStore.h"
#include "ui/controls/VirtualList.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dui/UIManager.h"
#include "ui/main/MainDlg.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

std::set<std::wstring> g_wanted;
std::wstring g_outDir;
int g_failures = 0;

bool Wanted(const std::wstring& name) { return g_wanted.empty() || g_wanted.count(name) != 0; }

void Shoot(const std::wstring& name, RECT rc) {
    bool saved = shots::SaveScreenPng(rc, g_outDir + name + L".png");
    std::fwprintf(stdout, L"%ls %ls%ls.png (%ldx%ld)\n", saved ? L"saved" : L"FAILED", g_outDir.c_str(), name.c_str(),
                  static_cast<long>(rc.right - rc.left), static_cast<long>(rc.bottom - rc.top));
    if (!saved) ++g_failures;
}

// A window's rectangle with its shadow frame.
template <typename T>
RECT WithLace(T& window) {
    RECT rc = window.GetWindowRect();
    const CWndLace& lace = window.GetLace();
    return {rc.left - lace.left, rc.top - lace.top, rc.right + lace.right, rc.bottom + lace.bottom};
}

RECT Union(RECT a, RECT b) {
    RECT out;
    ::UnionRect(&out, &a, &b);
    return out;
}

RECT Grow(RECT rc, int by) { return {rc.left - by, rc.top - by, rc.right + by, rc.bottom + by}; }

void Pump(std::chrono::milliseconds duration) { test::PumpFor(duration); }

void SetSetting(const wchar_t* name, DWORD value) {
    auto key = settings::OpenSettingsKey(true);
    if (key) settings::WriteDword(key.get(), name, value);
}

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
    Pump(100ms);
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

RECT RectOf(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

// Shots must end: a window that never answers ends the run instead of holding the script.
DWORD WINAPI Watchdog(void*) {
    ::Sleep(180000);
    std::fwprintf(stderr, L"main_shots: still running after 180 s, giving up\n");
    std::fflush(stderr);
    ::ExitProcess(3);
}

void Step(const wchar_t* what) {
    std::fwprintf(stdout, L"- %ls\n", what);
    std::fflush(stdout);
}

// Opens a menu with `open` and photographs it over `context` once it has stayed open for a
// moment. A menu closes as soon as it loses the focus; when one closes by itself before it
// is photographed that is said, and it is opened again (at most three times).
template <typename Open>
void ShootMenu(CMainDlg& main, const std::wstring& name, RECT context, Open open) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
        open();
        bool opened = test::WaitUntil([&] { return main.CurrentMenu() && ::IsWindowVisible(main.CurrentMenu()); }, 2s);
        Pump(300ms);
        HWND menu = main.CurrentMenu();
        if (opened && menu && ::IsWindowVisible(menu)) {
            Shoot(name, Union(context, Grow(RectOf(menu), 16)));
            ::DestroyWindow(menu);
            Pump(200ms);
            return;
        }
        std::fwprintf(stderr, L"main_shots: %ls: the menu %ls (attempt %d)\n", name.c_str(),
                      opened ? L"closed by itself" : L"did not open", attempt);
        Pump(300ms);
    }
    ++g_failures;
}

// Waits for the main window's next refreshes to show what the settings and records say.
void WaitRefresh() { Pump(1200ms); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: main_shots <resource folder> <output folder> [shot ...]\n");
        return 2;
    }
    // Per-monitor aware like the program itself, so that 144 DPI is real pixels.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));
    ::OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

    std::wstring folder = argv[1];
    g_outDir = argv[2];
    // An empty or missing folder (a path conversion that failed) must not scatter PNGs over
    // the root of a drive.
    DWORD attributes = g_outDir.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(g_outDir.c_str());
    if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fwprintf(stderr, L"main_shots: no output folder \"%ls\"\n", argv[2]);
        return 2;
    }
    if (folder.back() != L'\\') folder.push_back(L'\\');
    if (g_outDir.back() != L'\\') g_outDir.push_back(L'\\');
    for (int i = 3; i < argc; ++i) g_wanted.insert(argv[i]);
    dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    dui::CPaintManagerUI::SetResourcePath(folder.c_str());
    std::fwprintf(stdout, L"DPI %u\n", ::GetDpiForSystem());

    // First run: the loading page stays up until the automatic check is done.
    SetSetting(settings::kBlock, 1);
    SetSetting(settings::kScanSoftware, 1);
    SetSetting(settings::kBlockCount, 0);
    SetSetting(settings::kAutoCheck, 0);
    SetSetting(settings::kIconTip, 0);
    SetSetting(settings::kHideTray, 0);
    SetSetting(settings::kIsLocateShortcut, 0);
    SetSetting(settings::kIsMainShortcut, 0);

    test::ScopedTempDir data;
    monitor::WndMgr().InitWithDataDirectory(data.path(), true);

    shots::CBackdrop backdrop;
    backdrop.Create(nullptr, RECT{0, 0, 1280, 780});
    backdrop.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(backdrop);

    auto* main = new CMainDlg();
    HWND mainWnd = main->CreateMainWindow();
    if (!mainWnd) {
        std::fwprintf(stderr, L"main_shots: the main window cannot be created\n");
        return 1;
    }
    main->DeleteWhenGone();
    {
        RECT rc = main->GetWindowRect();
        int width = rc.right - rc.left, height = rc.bottom - rc.top;
        ::SetWindowPos(mainWnd, nullptr, (1280 - width) / 2, (780 - height) / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    main->ShowWindow(SW_SHOW);
    ::UpdateWindow(mainWnd);
    Pump(900ms);
    if (Wanted(L"main-loading")) Shoot(L"main-loading", WithLace(*main));

    if (!test::WaitUntil([&] { return !main->InLoadingPhase(); }, 20s)) {
        std::fwprintf(stderr, L"main_shots: the first-run phase did not end\n");
        ++g_failures;
    }
    WaitRefresh();
    if (Wanted(L"main-empty")) Shoot(L"main-empty", WithLace(*main));

    SetSetting(settings::kBlockCount, 1234);
    StoreSamples(data.path());
    WaitRefresh();
    if (Wanted(L"main-list")) Shoot(L"main-list", WithLace(*main));

    // Hover over the first row's count: the preview of its last screenshot opens beside it.
    // The window moves to the left edge so that the preview has room on its right at 144 DPI.
    RECT centred = main->GetWindowRect();
    ::SetWindowPos(mainWnd, nullptr, main->GetLace().left, centred.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(200ms);
    if (CVListUI* list = main->ListBlock()) {
        // The top row that is on screen (the most blocked window, with a picture).
        dui::CControlUI* row = nullptr;
        for (int i = 0; i < list->GetItemCount() && !row; ++i) {
            dui::CControlUI* candidate = list->GetItemAt(i);
            if (candidate && candidate->IsVisible()) row = candidate;
        }
        dui::CControlUI* count = row ? main->m_pm.FindSubControlByName(row, L"lab_count") : nullptr;
        if (count) {
            POINT at = CentreOf(count);
            MoveTo(mainWnd, at);
            Pump(500ms);
            CPreviewDlg& preview = PreviewWindow();
            if (Wanted(L"preview")) {
                if (preview.IsWindow() && preview.IsWindowVisible()) {
                    Shoot(L"preview", Union(WithLace(*main), WithLace(preview)));
                } else {
                    std::fwprintf(stderr, L"main_shots: hovering a count showed no preview\n");
                    ++g_failures;
                }
            }
            // Off the count again: the preview goes, the row under the mouse stays hot.
            dui::CControlUI* name = main->m_pm.FindSubControlByName(row, L"lab_name");
            POINT away = name ? CentreOf(name) : POINT{10, 10};
            MoveTo(mainWnd, away);
            Pump(300ms);
        }
    }
    ::SetCursorPos(4, 4);
    ::SetWindowPos(mainWnd, nullptr, centred.left, centred.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(200ms);

    // The split button's drop list.
    if (Wanted(L"main-append")) {
        if (dui::CControlUI* append = main->m_pm.FindControl(L"btn_append")) {
            std::set<HWND> before = VisibleWindows();
            ClickAt(mainWnd, CentreOf(append));
            Pump(400ms);
            RECT area = WithLace(*main);
            for (HWND popup : NewWindows(before)) area = Union(area, Grow(RectOf(popup), 8));
            Shoot(L"main-append", area);
            ::SendMessageW(mainWnd, WM_KEYDOWN, VK_ESCAPE, 0);
            for (HWND popup : NewWindows(before)) ::DestroyWindow(popup);
            Pump(200ms);
        }
    }

    // The main menu below its button.
    if (Wanted(L"menu-main")) {
        if (dui::CControlUI* button = main->m_pm.FindControl(L"btn_menu")) {
            ShootMenu(*main, L"menu-main", WithLace(*main), [&] { ClickAt(mainWnd, CentreOf(button)); });
            ::SetCursorPos(4, 4);  // no tooltip of the menu button in the next shots
        }
    }

    // Recording banner.
    monitor::WndMgr().recording = 1;
    WaitRefresh();
    if (Wanted(L"main-recording")) Shoot(L"main-recording", WithLace(*main));
    monitor::WndMgr().recording = 0;

    // The tray menu at the tray icon, with blocking on and off, and the main window with
    // blocking off. The main window takes the focus when its page changes, which closes an
    // open menu, so each change is let through before the menu opens.
    RECT trayCorner = {1280 - 320, 780 - 300, 1280, 800};
    for (DWORD block : {1u, 0u}) {
        std::wstring name = block ? L"menu-tray" : L"menu-tray-off";
        SetSetting(settings::kBlock, block);
        WaitRefresh();
        if (!block && Wanted(L"main-off")) Shoot(L"main-off", WithLace(*main));
        if (!Wanted(name)) continue;
        ShootMenu(*main, name, trayCorner, [&] {
            // As after a right click on the tray icon: the program is in the foreground.
            ::SetForegroundWindow(mainWnd);
            ::SetCursorPos(1270, 790);
            main->OnTrayMenu(POINT{1270, 790});
        });
    }

    SetSetting(settings::kBlock, 1);
    WaitRefresh();

    // The first block ever: the block tip over the notification area.
    if (Wanted(L"tip-block")) {
        SetSetting(settings::kBlockCount, 1);
        std::set<HWND> before = VisibleWindows();
        std::wstring text = L"已拦截：网盘助手 - 每日精选推荐";
        auto* copy = new wchar_t[text.size() + 1];
        std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
        ::PostMessageW(mainWnd, monitor::WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(copy), 0);
        Pump(700ms);
        std::vector<HWND> tips = NewWindows(before);
        if (tips.empty()) {
            std::fwprintf(stderr, L"main_shots: the first block showed no tip\n");
            ++g_failures;
        } else {
            RECT area = Grow(RectOf(tips.front()), 16);
            for (HWND tip : tips) area = Union(area, Grow(RectOf(tip), 16));
            Shoot(L"tip-block", Union(area, trayCorner));
            for (HWND tip : tips) ::ShowWindow(tip, SW_HIDE);
        }
        Pump(300ms);
    }

    // Pop-ups of newly installed programs: the tip the automatic check leads to.
    if (Wanted(L"tip-new-wnd")) {
        CNewWndTipWnd tip;
        if (tip.ShowTip(3) && tip.IsWindow()) {
            Pump(500ms);
            Shoot(L"tip-new-wnd", Union(WithLace(tip), trayCorner));
        } else {
            std::fwprintf(stderr, L"main_shots: the new pop-ups tip cannot be shown\n");
            ++g_failures;
        }
        Step(L"closing the new pop-ups tip");
        tip.DestroyTip();
        Pump(200ms);
    }

    Step(L"closing the main window");
    ::DestroyWindow(mainWnd);
    Pump(300ms);
    Step(L"stopping the window monitor");
    monitor::WndMgr().Stop();
    backdrop.DestroyWindow();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    ::OleUninitialize();
    return g_failures == 0 ? 0 : 1;
}
