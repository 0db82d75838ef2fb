#include "ui/framework/DuiWindow.h"

namespace winhush::ui::detail {

bool LoadWindowLayout(HWND hwnd, CPaintManagerUI& pm, const wchar_t* layout, dui::IDialogBuilderCallback* callback,
                      dui::INotifyUI* notifier) {
    pm.Init(hwnd);
    CControlUI* root = nullptr;
    if (layout && *layout) {
        dui::CDialogBuilder builder;
        root = builder.Create(layout, nullptr, callback, &pm, nullptr);
    }
    if (!root) {
        // Without its layout a window is an empty rectangle the user cannot work with:
        // the program ends rather than showing it.
        ::PostQuitMessage(1);
        return false;
    }
    pm.AttachDialog(root);
    pm.AddNotifier(notifier);
    return true;
}

bool IsNonCaptionControl(CControlUI* control, const std::vector<std::wstring>& classes) {
    if (!control) return false;
    const wchar_t* cls = control->GetClass();
    for (const auto& name : classes) {
        if (cls && (::lstrcmpiW(cls, name.c_str()) == 0 || ::lstrcmpiW(cls, (name + L"UI").c_str()) == 0)) return true;
        // A control derived from a button or option (a switch, a split button) answers to
        // the base's interface name even though its class name differs.
        if (control->GetInterface(name.c_str())) return true;
    }
    return false;
}

LRESULT FrameHitTest(HWND hwnd, CPaintManagerUI& pm, POINT point, const std::vector<std::wstring>& classes) {
    ::ScreenToClient(hwnd, &point);
    RECT client = {};
    ::GetClientRect(hwnd, &client);

    if (!::IsZoomed(hwnd)) {
        const RECT& box = pm.GetSizeBox();
        bool left = point.x < client.left + box.left;
        bool right = point.x >= client.right - box.right;
        if (point.y < client.top + box.top) {
            if (left) return HTTOPLEFT;
            if (right) return HTTOPRIGHT;
            return HTTOP;
        }
        if (point.y >= client.bottom - box.bottom) {
            if (left) return HTBOTTOMLEFT;
            if (right) return HTBOTTOMRIGHT;
            return HTBOTTOM;
        }
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
    }

    // The caption's left and right are insets from the sides, its top and bottom absolute.
    const RECT& caption = pm.GetCaptionRect();
    if (point.x >= client.left + caption.left && point.x < client.right - caption.right && point.y >= caption.top &&
        point.y < caption.bottom) {
        CControlUI* control = pm.FindControl(point);
        if (control && !IsNonCaptionControl(control, classes)) return HTCAPTION;
    }
    return HTCLIENT;
}

void FrameApplyRoundRegion(HWND hwnd, CPaintManagerUI& pm) {
    SIZE corner = pm.GetRoundCorner();
    if ((corner.cx != 0 || corner.cy != 0) && !::IsIconic(hwnd)) {
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        ::OffsetRect(&rc, -rc.left, -rc.top);
        rc.right++;
        rc.bottom++;
        HRGN region = ::CreateRoundRectRgn(rc.left, rc.top, rc.right, rc.bottom, corner.cx, corner.cy);
        // Once SetWindowRgn succeeds the region belongs to the system and must not be
        // deleted; only a region the window did not take is ours to free.
        if (region && !::SetWindowRgn(hwnd, region, TRUE)) ::DeleteObject(region);
    }
    ::InvalidateRect(hwnd, nullptr, FALSE);
}

void FrameGetMinMaxInfo(HWND hwnd, CPaintManagerUI& pm, MINMAXINFO* info) {
    if (!info) return;
    if (!::IsZoomed(hwnd)) {
        MONITORINFO monitor = {sizeof(monitor)};
        if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
            RECT work = monitor.rcWork;
            ::OffsetRect(&work, -monitor.rcMonitor.left, -monitor.rcMonitor.top);
            info->ptMaxPosition = POINT{work.left, work.top};
            SIZE maxInfo = pm.GetMaxInfo();
            if (maxInfo.cx != 0 || maxInfo.cy != 0)
                info->ptMaxSize = POINT{maxInfo.cx, maxInfo.cy};
            else
                info->ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
        }
    }
    SIZE minInfo = pm.GetMinInfo();
    info->ptMinTrackSize = POINT{minInfo.cx, minInfo.cy};
}

LRESULT FrameCalcSize(HWND hwnd, WPARAM /*wParam*/, LPARAM lParam) {
    if (!::IsZoomed(hwnd)) return 0;  // the whole window is client area
    // Both forms of lParam (RECT or NCCALCSIZE_PARAMS) start with the proposed client rect.
    RECT* proposed = reinterpret_cast<RECT*>(lParam);
    MONITORINFO monitor = {sizeof(monitor)};
    if (proposed && ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        proposed->right = proposed->left + (monitor.rcWork.right - monitor.rcWork.left);
        proposed->bottom = proposed->top + (monitor.rcWork.bottom - monitor.rcWork.top);
    }
    return WVR_HREDRAW | WVR_VREDRAW;
}

BOOL PreTranslateForWindow(HWND hwnd, CPaintManagerUI& pm, MSG* msg) {
    if (!msg || !hwnd) return FALSE;
    if (msg->hwnd != hwnd && !::IsChild(hwnd, msg->hwnd)) return FALSE;
    if (pm.TranslateAccelerator(msg)) return TRUE;
    LRESULT ignored = 0;
    return pm.PreMessageHandler(msg->message, msg->wParam, msg->lParam, ignored) ? TRUE : FALSE;
}

}  // namespace winhush::ui::detail
