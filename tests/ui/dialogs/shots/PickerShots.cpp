// Photographs the window picker (idle, and while dragging with the outline drawn over a
// window), the add confirmation (a fresh pick without the time row, a recorded window with
// it, and the system-window warning over it) and the record dialog in each page, with rows
// and with the preview beside a hovered count.
//
//   picker_shots.exe <resource folder> <output folder>
//       [locate-idle|locate-drag|confirm-pick|confirm-recorded|confirm-system|
//        record-off|record-waiting|record-list|record-preview ...]
#include <windows.h>

#include "DialogShotSession.h"
#include "settings/StartupConfig.h"
#include "monitor/Screenshot.h"
#include "monitor/WndMgr.h"
#include "ui/dialogs/AddConfirmDlg.h"
#include "ui/dialogs/LocateDlg.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dialogs/RecordDlg.h"
#include "ui/dui/UIList.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;
using shots::Grow;
using shots::Union;

namespace {

// A stand-in for another program's advertising window: a coloured card with a caption.
LRESULT CALLBACK AdProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT rc;
        ::GetClientRect(hwnd, &rc);
        HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
        ::FillRect(dc, &rc, brush);
        ::DeleteObject(brush);
        wchar_t text[128] = L"";
        ::GetWindowTextW(hwnd, text, 128);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(255, 255, 255));
        ::DrawTextW(dc, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND OpenAd(const wchar_t* caption, RECT at, COLORREF colour) {
    static ATOM atom = [] {
        WNDCLASSEXW wc{sizeof(wc)};
        wc.lpfnWndProc = AdProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"ShotAdWindow";
        return ::RegisterClassExW(&wc);
    }();
    (void)atom;
    HWND hwnd = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"ShotAdWindow", caption, WS_POPUP, at.left, at.top,
                                  at.right - at.left, at.bottom - at.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                  nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hwnd);
    return hwnd;
}

// A record of one of our stand-in windows, shown as a program of the system folder (for
// its icon), with a real picture of the window.
monitor::BlockRecord RecordOf(HWND window, const wchar_t* exe, const wchar_t* name) {
    monitor::BlockRecord record;
    monitor::Snapshot(record.window, window);
    record.imagePath = monitor::TakeScreenshot(record, monitor::WndMgr().dataDirectory() + L"\\");
    wchar_t folder[MAX_PATH];
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    record.window.path = std::wstring(folder) + L"\\" + exe;
    ::CharUpperW(record.window.path.data());
    record.window.pid = 0;
    record.window.hwnds.clear();
    record.hash = monitor::WindowKeyHash(record.window);
    record.name = name;
    return record;
}

void SendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof(input));
}

// Shows a confirmation over `owner` as the picker or the record dialog does, locked owner
// included, without its modal loop.
template <class Owner>
bool ShowConfirm(CAddConfirmDlg& confirm, Owner& owner, const monitor::BlockRecord& record) {
    confirm.record = record;
    owner.LockOn();
    if (!confirm.Create(owner.m_hWnd, CWindow::rcDefault, nullptr, kMessageBoxStyle & ~WS_VISIBLE, WS_EX_TOOLWINDOW))
        return false;
    CenterWindowOverOwner(confirm.m_hWnd);
    confirm.ShowWindow(SW_SHOWNORMAL);
    return true;
}

// Layout units at the system DPI.
int Px(int units) { return ::MulDiv(units, static_cast<int>(::GetDpiForSystem()), 96); }

// Windows of "other programs": one beside the main window to be picked, three recorded.
struct Scene {
    HWND target, adA, adB, adC;
    monitor::BlockRecord picked, a, b, c;
};

Scene OpenScene(shots::DialogShotSession& session) {
    Scene scene;
    scene.target = OpenAd(L"Limited offer: 50% off today", RECT{Px(40), Px(40), Px(40) + Px(360), Px(40) + Px(220)},
                          RGB(0xE5, 0x6A, 0x2B));
    scene.adA = OpenAd(L"Daily picks", RECT{40, 560, 360, 740}, RGB(0x2B, 0x8F, 0xD9));
    scene.adB = OpenAd(L"Membership expiring", RECT{400, 580, 680, 760}, RGB(0x3F, 0xA3, 0x6C));
    scene.adC = OpenAd(L"Hot news", RECT{720, 560, 960, 740}, RGB(0x8E, 0x5C, 0xC9));
    session.Pump(300ms);
    scene.picked = RecordOf(scene.target, L"NOTEPAD.EXE", L"NOTEPAD.EXE");
    scene.a = RecordOf(scene.adA, L"REGEDIT.EXE", L"极速看图 每日精选推荐弹窗");
    scene.b = RecordOf(scene.adB, L"HH.EXE", L"HH.EXE");
    scene.c = RecordOf(scene.adC, L"WINHLP32.EXE", L"超级音乐播放器(64位) 右下角热门歌单与每日新闻资讯推送弹窗");
    scene.a.recordCnt = 3;
    scene.a.timeRecord = 1733650200;
    scene.b.recordCnt = 1;
    scene.b.timeRecord = 1733650200;
    scene.c.recordCnt = 1200;
    scene.c.timeRecord = 1733646600;
    scene.c.status = monitor::kStatusBlock;
    scene.c.addType = monitor::kAddedFromRecordDialog;
    for (HWND w : {scene.adA, scene.adB, scene.adC}) ::ShowWindow(w, SW_HIDE);
    return scene;
}

// The user's drag: press on the crosshair, move onto the window, hold still; then cancelled
// with the right button, and nothing stays behind.
void ShootDrag(shots::DialogShotSession& session, CLocateDlg& picker, HWND target) {
    RECT pr = picker.GetWindowRect();
    ::SetCursorPos(pr.left + Px(60), pr.top + Px(92));
    session.Pump(200ms);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    session.Pump(300ms);
    RECT tr;
    ::GetWindowRect(target, &tr);
    ::SetCursorPos((tr.left + tr.right) / 2 + 20, (tr.top + tr.bottom) / 2 + 30);
    session.Pump(200ms);
    ::SetCursorPos((tr.left + tr.right) / 2 + 24, (tr.top + tr.bottom) / 2 + 34);
    session.Pump(500ms);
    if (!picker.IsDragging() || picker.Target() != target) session.Fail(L"locate-drag: no outline on the window");
    session.Shoot(L"locate-drag", Union(Grow(tr, Px(24)), session.MainArea()));
    SendMouse(MOUSEEVENTF_RIGHTDOWN);
    session.Pump(100ms);
    SendMouse(MOUSEEVENTF_RIGHTUP);
    session.Pump(300ms);
    SendMouse(MOUSEEVENTF_LEFTUP);
    session.Pump(300ms);
    if (picker.IsDragging()) session.Fail(L"locate-drag: the drag did not end");
}

void ShootPicker(shots::DialogShotSession& session, HWND target) {
    if (!session.Wanted(L"locate-idle") && !session.Wanted(L"locate-drag")) return;
    CLocateDlg picker;
    if (session.Open(picker)) {
        if (session.Wanted(L"locate-idle")) session.Shoot(L"locate-idle", session.MainArea());
        if (session.Wanted(L"locate-drag")) ShootDrag(session, picker, target);
    }
    session.Close(picker);
}

// The confirmation over the picker, for a system window with the warning over it.
void ShootConfirms(shots::DialogShotSession& session, const monitor::BlockRecord& picked) {
    for (const wchar_t* shot : {L"confirm-pick", L"confirm-system"}) {
        if (!session.Wanted(shot)) continue;
        const bool system = std::wstring(shot) == L"confirm-system";
        CLocateDlg picker;
        if (session.Open(picker)) {
            CAddConfirmDlg confirm;
            monitor::BlockRecord record = picked;
            if (system) {
                record.window.className = L"Shell_TrayWnd";
                record.name = L"EXPLORER.EXE";
            }
            if (ShowConfirm(confirm, picker, record)) {
                session.Pump(500ms);
                CMessageBoxBase warning;
                if (system) {
                    confirm.LockOn();
                    warning.skinFile = kSystemTipLayout;
                    if (warning.Create(confirm.m_hWnd, CWindow::rcDefault, nullptr, kMessageBoxStyle & ~WS_VISIBLE,
                                       WS_EX_TOOLWINDOW)) {
                        CenterWindowOverOwner(warning.m_hWnd);
                        warning.ShowWindow(SW_SHOWNORMAL);
                    }
                    ::SetCursorPos(4, 4);
                    session.Pump(500ms);
                }
                session.Shoot(shot, Union(session.MainArea(), Grow(confirm.GetWindowRect(), Px(24))));
                if (warning.IsWindow()) warning.DestroyWindow();
                confirm.LockOff();
                confirm.DestroyWindow();
            }
            picker.LockOff();
        }
        session.Close(picker);
    }
}

// The record dialog's first row's count hovered: the preview opens beside the dialog.
RECT HoverFirstCount(shots::DialogShotSession& session, CRecordDlg& dialog, RECT area) {
    dui::CControlUI* row = dialog.List() ? dialog.List()->GetBody()->FindRow(0) : nullptr;
    dui::CControlUI* count = row ? dialog.m_pm.FindSubControlByName(row, L"lab_count") : nullptr;
    if (count) {
        shots::HoverAt(dialog.m_hWnd, count->GetPos());
        session.Pump(500ms);
    }
    if (!::IsWindowVisible(PreviewWindow())) session.Fail(L"record-preview: no preview");
    return Union(area, Grow(PreviewWindow().GetWindowRect(), Px(24)));
}

// The record dialog in each page, with the preview and with the confirmation over it.
void ShootRecordDialog(shots::DialogShotSession& session, const Scene& scene) {
    for (const monitor::BlockRecord& r : {scene.a, scene.b, scene.c}) monitor::WndMgr().StoreRecord(r);
    for (const wchar_t* shot : {L"record-off", L"record-list", L"record-preview", L"confirm-recorded", L"record-waiting"}) {
        if (!session.Wanted(shot)) continue;
        const std::wstring name = shot;
        monitor::WndMgr().recording = name == L"record-off" ? 0 : 1;
        if (name == L"record-waiting") monitor::WndMgr().ClearRecorded();
        CRecordDlg dialog;
        if (session.Open(dialog)) {
            session.Pump(600ms);
            RECT area = session.MainArea();
            if (name == L"record-preview") area = HoverFirstCount(session, dialog, area);
            if (name == L"confirm-recorded") {
                CAddConfirmDlg confirm;
                if (!dialog.Rows().empty() && ShowConfirm(confirm, dialog, dialog.Rows().front())) {
                    ::SetCursorPos(4, 4);
                    session.Pump(500ms);
                    session.Shoot(shot, Union(area, Grow(confirm.GetWindowRect(), Px(24))));
                    confirm.DestroyWindow();
                }
                dialog.LockOff();
            } else {
                session.Shoot(shot, area);
            }
        }
        session.Close(dialog);
        if (name == L"record-waiting")
            for (const monitor::BlockRecord& r : {scene.a, scene.b, scene.c}) monitor::WndMgr().StoreRecord(r);
    }
    monitor::WndMgr().recording = 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    shots::DialogShotSession session;
    if (!session.Start(argc, argv, L"picker_shots")) return 2;
    // The suite's folder is known, so recorded windows of other programs stay listed.
    GetStartupConfig().suiteProgramDir = L"C:\\ZELVANE\\BIN\\";
    GetStartupConfig().ownProcessId = ::GetCurrentProcessId();
    Scene scene = OpenScene(session);
    ShootPicker(session, scene.target);
    ShootConfirms(session, scene.picked);
    ShootRecordDialog(session, scene);
    for (HWND w : {scene.target, scene.adA, scene.adB, scene.adC}) ::DestroyWindow(w);
    return session.Finish();
}
