#include "ui/dialogs/LocateDlg.h"

#include <algorithm>

#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"
#include "ui/dialogs/AddConfirmDlg.h"

namespace winhush::ui {

void InvertFrame(const RECT& rect, int width) {
    if (rect.right <= rect.left || rect.bottom <= rect.top || width <= 0) return;
    HDC screen = ::GetWindowDC(nullptr);
    if (!screen) return;
    int oldRop = ::SetROP2(screen, R2_NOT);
    // Inside the frame: the outline covers the window's own edge pixels, never its
    // neighbours', and inverting the same rectangle again restores exactly those pixels.
    HPEN pen = ::CreatePen(PS_INSIDEFRAME, width, RGB(0, 0, 0));
    HGDIOBJ oldPen = ::SelectObject(screen, pen);
    HGDIOBJ oldBrush = ::SelectObject(screen, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(screen, rect.left, rect.top, rect.right, rect.bottom);
    ::SelectObject(screen, oldBrush);
    ::SelectObject(screen, oldPen);
    ::DeleteObject(pen);
    ::SetROP2(screen, oldRop);
    ::ReleaseDC(nullptr, screen);
}

HWND TopLevelWindowAt(POINT screen) {
    HWND window = ::WindowFromPoint(screen);
    while (window && ::IsWindow(window)) {
        if (!(static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)) & WS_CHILD)) return window;
        window = ::GetParent(window);
    }
    return static_cast<HWND>(INVALID_HANDLE_VALUE);
}

HWND WindowUnderCursor() {
    POINT at{};
    if (!::GetCursorPos(&at)) return static_cast<HWND>(INVALID_HANDLE_VALUE);
    return TopLevelWindowAt(at);
}

PickRefusal CheckPick(const monitor::BlockRecord& record, bool snapshotTaken, const StartupConfig& config) {
    if (!snapshotTaken) return PickRefusal::SnapshotFailed;
    if (record.window.style & WS_MINIMIZE) return PickRefusal::Minimised;
    if (record.window.pid == config.ownProcessId) return PickRefusal::OwnProcess;
    // Without a suite folder there is nothing to protect; an empty prefix would match
    // every program and make every pick fail.
    const std::wstring& suite = config.suiteProgramDir;
    const std::wstring& path = record.window.path;
    if (!suite.empty() && path.size() >= suite.size() &&
        ::CompareStringOrdinal(path.c_str(), static_cast<int>(suite.size()), suite.c_str(),
                               static_cast<int>(suite.size()), TRUE) == CSTR_EQUAL)
        return PickRefusal::SuiteProgram;
    return PickRefusal::None;
}

CLocateDlg::CLocateDlg() = default;

CLocateDlg::~CLocateDlg() {
    if (IsWindow()) DestroyWindow();
}

void CLocateDlg::OnLayoutInit() {
    if (auto* title = m_pm.FindControl(L"lab_title")) ::SetWindowTextW(m_hWnd, title->GetText().c_str());
}

void CLocateDlg::OnNotify(TNotifyUI& msg) {
    if (msg.sType != dui::DUI_MSGTYPE_CLICK || !msg.pSender) return;
    dui::CDuiString name = msg.pSender->GetName();
    if (name == L"sysclosebutton" || name == L"btn_cancel") PostMessage(WM_CLOSE);
}

LRESULT CLocateDlg::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    switch (message) {
        case WM_CREATE:
            cursor_ = ::LoadCursorW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(kCrosshairCursorId));
            if (!cursor_) cursor_ = ::LoadCursorW(nullptr, IDC_CROSS);
            break;
        case WM_DESTROY:
            if (dragging_) {
                StopDrag();
                RestoreWindows();
            }
            ::SetCursor(nullptr);
            break;
        case WM_LBUTTONDOWN:
            if (BeginDrag(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))})) {
                handled = TRUE;
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            if (dragging_) TrackDrag();
            break;
        case WM_SETCURSOR:
            if (dragging_) {
                ::SetCursor(cursor_);
                handled = TRUE;
                return TRUE;
            }
            break;
        case WM_LBUTTONUP:
            if (dragging_) {
                FinishDrag();
                handled = TRUE;
                return 0;
            }
            break;
        case WM_RBUTTONUP:
            if (dragging_) {
                CancelDrag();
                handled = TRUE;
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kDragPollTimer) {
                if (dragging_) PollDrag();
                handled = TRUE;
                return 0;
            }
            break;
    }
    return 0;
}

bool CLocateDlg::BeginDrag(POINT client) {
    CControlUI* control = m_pm.FindControl(client);
    if (!control || control->GetName() != L"btn_locate" || !control->GetInterface(L"Button") || !control->IsEnabled())
        return false;
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    outlineWidth_ = std::max(kOutlineWidth, ::MulDiv(kOutlineWidth, dpi, 96));

    ShowWindow(SW_HIDE);
    HWND owner = GetOwner();
    hiddenOwner_ = owner && ::IsWindowVisible(owner) ? owner : nullptr;
    if (hiddenOwner_) ::ShowWindow(hiddenOwner_, SW_HIDE);
    target_ = static_cast<HWND>(INVALID_HANDLE_VALUE);
    outlined_ = false;
    lastRefusal_ = PickRefusal::None;
    ::SetCapture(m_hWnd);
    ::SetCursor(cursor_);
    dragging_ = true;
    secondaryDown_ = false;
    ::GetAsyncKeyState(::GetSystemMetrics(SM_SWAPBUTTON) ? VK_LBUTTON : VK_RBUTTON);  // forget earlier clicks
    ::GetCursorPos(&lastCursor_);
    ::SetTimer(m_hWnd, kDragPollTimer, kDragPollMs, nullptr);
    return true;
}

void CLocateDlg::PollDrag() {
    // The buttons as the user sees them: with swapped buttons the primary one is the right.
    const bool swapped = ::GetSystemMetrics(SM_SWAPBUTTON) != 0;
    const int primary = swapped ? VK_RBUTTON : VK_LBUTTON;
    const int secondary = swapped ? VK_LBUTTON : VK_RBUTTON;
    // The low bit catches a click quicker than one tick of the timer.
    SHORT cancel = ::GetAsyncKeyState(secondary);
    if (cancel & 0x8000) {
        secondaryDown_ = true;
    } else if (secondaryDown_ || (cancel & 1)) {
        CancelDrag();
        return;
    }
    if (!(::GetAsyncKeyState(primary) & 0x8000)) {
        FinishDrag();
        return;
    }
    // Like a mouse move: a window that changes under a pointer at rest (one that is
    // minimised or closed) does not take the outline until the pointer moves.
    POINT at{};
    if (::GetCursorPos(&at) && (at.x != lastCursor_.x || at.y != lastCursor_.y)) TrackDrag();
}

void CLocateDlg::TrackDrag() {
    ::SetCursor(cursor_);
    ::GetCursorPos(&lastCursor_);
    HWND under = WindowUnderCursor();
    if (under == target_) return;
    SetOutline(under);
    target_ = under;
}

void CLocateDlg::SetOutline(HWND window) {
    EraseOutline();
    if (window == INVALID_HANDLE_VALUE || !::IsWindow(window)) return;
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) return;
    InvertFrame(rect, outlineWidth_);
    outline_ = rect;
    outlineWindow_ = window;
    outlined_ = true;
}

void CLocateDlg::EraseOutline() {
    if (!outlined_) return;
    outlined_ = false;
    RECT now{};
    HWND window = outlineWindow_;
    bool unchanged = ::IsWindow(window) && ::IsWindowVisible(window) && !::IsIconic(window) &&
                     ::GetWindowRect(window, &now) && ::EqualRect(&now, &outline_);
    if (unchanged) {
        InvertFrame(outline_, outlineWidth_);
        return;
    }
    // The window moved, resized, closed or was minimised under the outline: the pixels
    // there are no longer the ones that were inverted (a moved window even carries them
    // along), so inverting again would leave a frame behind. Everything there paints anew.
    const UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
    ::RedrawWindow(nullptr, &outline_, nullptr, flags);
    if (::IsWindow(window)) ::RedrawWindow(window, nullptr, nullptr, flags);
}

void CLocateDlg::StopDrag() {
    ::KillTimer(m_hWnd, kDragPollTimer);
    EraseOutline();
    dragging_ = false;
    ::ReleaseCapture();
    ::SetCursor(nullptr);
}

void CLocateDlg::RestoreWindows() {
    if (hiddenOwner_ && ::IsWindow(hiddenOwner_)) ::ShowWindow(hiddenOwner_, SW_SHOW);
    hiddenOwner_ = nullptr;
    ShowWindow(SW_SHOW);
}

void CLocateDlg::CancelDrag() {
    StopDrag();
    RestoreWindows();
    target_ = nullptr;
}

void CLocateDlg::FinishDrag() {
    HWND window = target_;
    StopDrag();
    target_ = nullptr;
    // The snapshot and its picture are taken while our windows are still out of the way:
    // a picture copied from the screen would otherwise show the picker over the window.
    monitor::BlockRecord record;
    bool snapshotTaken = window != INVALID_HANDLE_VALUE && ::IsWindow(window) && monitor::Snapshot(record.window, window);
    if (snapshotTaken) {
        lastRefusal_ = CheckPick(record, true, GetStartupConfig());
        if (lastRefusal_ == PickRefusal::None) monitor::WndMgr().ComputeKey(record, true);
    } else {
        lastRefusal_ = PickRefusal::SnapshotFailed;
    }
    RestoreWindows();
    if (lastRefusal_ != PickRefusal::None) return;
    Pick(window, record);
}

void CLocateDlg::Pick(HWND window, monitor::BlockRecord& record) {
    record.status = monitor::kStatusBlock;
    bool confirmed = false;
    {
        CScopedLock<CLocateDlg> lock(*this);
        confirmed = CAddConfirmDlg::Confirm(m_hWnd, record);
    }
    if (!confirmed) {
        // Nothing refers to the picture of a window the user let go, unless the window
        // already has a record that shows the same file.
        monitor::WndMgr().DeleteScreenshotUnlessUsed(record.imagePath);
        return;
    }
    record.addType = monitor::kAddedByPicker;
    if (!monitor::WndMgr().AddDecision(record)) return;
    monitor::WndMgr().BlockWindow(window, true);
    PostMessage(WM_CLOSE);
}

}  // namespace winhush::ui
