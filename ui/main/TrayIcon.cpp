#include "ui/main/TrayIcon.h"

#include <cwchar>

#include "base/Handles.h"
#include "base/Registry.h"
#include "settings/SettingsStore.h"

namespace winhush::ui {

namespace {

// Copies text into a fixed field, cut so that the terminator always fits: the shell reads
// these fields as C strings.
template <size_t N>
void CopyField(wchar_t (&field)[N], const wchar_t* text) {
    size_t length = text ? ::wcsnlen(text, N - 1) : 0;
    if (length) ::wmemcpy(field, text, length);
    field[length] = L'\0';
}

}  // namespace

SIZE TrayIconSize() {
    DWORD dpi = 96;
    UniqueHKey metrics;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop\\WindowMetrics", 0, KEY_READ | KEY_WOW64_64KEY,
                        metrics.put()) == ERROR_SUCCESS) {
        if (auto applied = ReadRegistryDword(metrics.get(), L"AppliedDPI")) dpi = *applied;
    }
    if (dpi == 96) return SIZE{::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON)};
    return SIZE{128, 128};
}

CTrayIcon::CTrayIcon() : nid{} {
    // The full structure (with hBalloonIcon): balloons need the Vista layout.
    nid.cbSize = sizeof(NOTIFYICONDATAW);
    nid.uID = kTrayIconId;
}

CTrayIcon::~CTrayIcon() {
    DeleteIcon();
    if (nid.hWnd && ::IsWindow(nid.hWnd)) {
        ::KillTimer(nid.hWnd, TIMER_TRAY_RETRY);
        ::KillTimer(nid.hWnd, TIMER_TRAY_BLINK);
    }
    if (iconNormal) ::DestroyIcon(iconNormal);
    if (iconAlert) ::DestroyIcon(iconAlert);
}

void CTrayIcon::AttachTrayHost(HWND host, HINSTANCE resources) {
    nid.hWnd = host;
    resourceModule = resources ? resources : ::GetModuleHandleW(nullptr);
    trayMsg = ::RegisterWindowMessageW(kTrayCallbackMessageName);
    taskbarCreatedMsg = ::RegisterWindowMessageW(kTaskbarCreatedMessageName);
    nid.uCallbackMessage = trayMsg;
    // An elevated process does not get "TaskbarCreated" from a non-elevated Explorer unless
    // it lets the message through its UIPI filter.
    ::ChangeWindowMessageFilterEx(host, taskbarCreatedMsg, MSGFLT_ALLOW, nullptr);
    ::ChangeWindowMessageFilterEx(host, trayMsg, MSGFLT_ALLOW, nullptr);
}

bool CTrayIcon::LoadTrayIcons() {
    SIZE size = TrayIconSize();
    if (!iconNormal)
        iconNormal = static_cast<HICON>(::LoadImageW(resourceModule, MAKEINTRESOURCEW(kTrayNormalIconResource),
                                                     IMAGE_ICON, size.cx, size.cy, LR_DEFAULTCOLOR));
    if (!iconAlert)
        iconAlert = static_cast<HICON>(::LoadImageW(resourceModule, MAKEINTRESOURCEW(kTrayAlertIconResource),
                                                    IMAGE_ICON, size.cx, size.cy, LR_DEFAULTCOLOR));
    return iconNormal && iconAlert;
}

bool CTrayIcon::AddIcon(HICON icon, const wchar_t* tip) {
    if (added) return true;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    nid.hIcon = icon;
    CopyField(nid.szTip, tip);
    // NIF_INFO rides along with the add; an old balloon text left in the structure would
    // pop the one-time hint up again every time Explorer restarts.
    nid.szInfo[0] = L'\0';
    nid.szInfoTitle[0] = L'\0';
    added = ::Shell_NotifyIconW(NIM_ADD, &nid) ? 1 : 0;
    return added != 0;
}

bool CTrayIcon::DeleteIcon() {
    if (!added) return false;
    nid.uFlags = 0;
    BOOL deleted = ::Shell_NotifyIconW(NIM_DELETE, &nid);
    added = 0;
    return deleted != FALSE;
}

bool CTrayIcon::SetTooltip(const wchar_t* text) {
    if (!text) return false;
    nid.uFlags = NIF_TIP;
    CopyField(nid.szTip, text);
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool CTrayIcon::SetIcon(HICON icon) {
    if (!icon) return false;
    nid.uFlags = NIF_ICON;
    nid.hIcon = icon;
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

bool CTrayIcon::ShowBalloon() {
    nid.uFlags = NIF_INFO;
    CopyField(nid.szInfo, kTrayBalloonText);
    nid.szInfoTitle[0] = L'\0';
    nid.dwInfoFlags = NIIF_INFO;
    nid.uTimeout = kTrayBalloonTimeoutMs;
    return ::Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

std::wstring CTrayIcon::LoadTrayString(UINT id) const {
    const wchar_t* text = nullptr;
    // Length 0 asks for a read-only pointer into the resource: no buffer size to guess.
    int length = ::LoadStringW(resourceModule, id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

bool CTrayIcon::ApplyTrayVisibility() {
    DWORD hideTray = 0;
    {
        UniqueHKey key = settings::OpenSettingsKey(false);
        hideTray = settings::ReadFlag(key.get(), settings::kHideTray);
    }
    if (hideTray) {
        DeleteIcon();
        return true;
    }
    if (added) return true;
    std::wstring tip = LoadTrayString(kTrayTooltipString);
    if (!::FindWindowW(kTaskbarWindowClass, nullptr)) return false;
    LoadTrayIcons();
    return AddIcon(iconNormal, tip.c_str());
}

bool CTrayIcon::ApplyTrayVisibilityOrRetry() {
    if (ApplyTrayVisibility()) {
        if (retrying && nid.hWnd) ::KillTimer(nid.hWnd, TIMER_TRAY_RETRY);
        retrying = false;
        return true;
    }
    if (nid.hWnd && ::SetTimer(nid.hWnd, TIMER_TRAY_RETRY, kTrayRetryPeriodMs, nullptr)) retrying = true;
    return false;
}

bool CTrayIcon::NotifyBlock(const wchar_t* text) {
    if (!text || ::wcsnlen(text, kBlockTooltipLimit) >= kBlockTooltipLimit) return false;
    if (blinkCountdown == 0 && nid.hWnd) ::SetTimer(nid.hWnd, TIMER_TRAY_BLINK, kTrayBlinkPeriodMs, nullptr);
    blinkCountdown = blinkSteps;
    SetTooltip(text);
    return true;
}

void CTrayIcon::BlinkStep() {
    if (blinkCountdown != 0) {
        SetIcon(blinkCountdown % 2 == 0 ? iconAlert : iconNormal);
        --blinkCountdown;
        return;
    }
    if (iconAlert) SetIcon(iconAlert);
    if (nid.hWnd) ::KillTimer(nid.hWnd, TIMER_TRAY_BLINK);
}

bool CTrayIcon::ShowBalloonOnce() {
    UniqueHKey key = settings::OpenSettingsKey(true);
    if (settings::ReadFlag(key.get(), settings::kIconTip) != 1) return false;
    // The hint is spent only once the shell took it; with the icon hidden or not yet added
    // it waits for a later trip to the tray.
    if (!ShowBalloon()) return false;
    settings::WriteDword(key.get(), settings::kIconTip, 0);
    return true;
}

void CTrayIcon::OnTrayMouse(UINT mouseMessage) {
    HWND host = nid.hWnd;
    switch (mouseMessage) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            // The user has seen the alert: back to the resting look. A running blink goes on
            // and ends on the alert icon all the same.
            std::wstring tip = LoadTrayString(kTrayTooltipString);
            SetTooltip(tip.c_str());
            SetIcon(iconNormal);
            ::ShowWindow(host, SW_SHOWNORMAL);
            ::SetForegroundWindow(host);
            break;
        }
        case WM_RBUTTONUP:
            if (IsTrayHostLocked()) {
                ::SetForegroundWindow(host);
            } else {
                POINT at{};
                ::GetCursorPos(&at);
                OpenTrayMenu(at);
            }
            break;
        default:
            break;
    }
}

bool CTrayIcon::ProcessTrayMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == 0) return false;
    if (message == taskbarCreatedMsg) {
        // Explorer (re)started: whatever it knew of the icon is gone. Forget it and add it
        // again through the retry timer, which also covers a taskbar that is still coming up.
        DeleteIcon();
        added = 0;
        if (nid.hWnd && ::SetTimer(nid.hWnd, TIMER_TRAY_RETRY, kTrayRetryPeriodMs, nullptr)) retrying = true;
        result = 0;
        return true;
    }
    if (message == trayMsg) {
        if (wParam != kTrayIconId) return false;
        OnTrayMouse(LOWORD(lParam));
        result = 0;
        return true;
    }
    if (message == WM_TIMER && wParam == TIMER_TRAY_RETRY) {
        if (ApplyTrayVisibility()) {
            ::KillTimer(nid.hWnd, TIMER_TRAY_RETRY);
            retrying = false;
        }
        result = 0;
        return true;
    }
    if (message == WM_TIMER && wParam == TIMER_TRAY_BLINK) {
        BlinkStep();
        result = 0;
        return true;
    }
    return false;
}

}  // namespace winhush::ui
