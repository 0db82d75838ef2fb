// The notification-area icon of the main window: adding and removing it as the "HideTray"
// setting says, its tooltip and balloon, the blink after a block that ends on the alert
// icon, and coming back after the taskbar was (re)created or was not there yet.
//
// The tray object owns no window. A host window binds it at creation (AttachTrayHost) and
// forwards every message to ProcessTrayMessage, which takes what belongs to the tray: the
// registered callback and "TaskbarCreated" messages and the host's timers 4 (retry) and 5
// (blink). Any window with a window procedure can host it; the main window derives from
// CTrayIconImpl<CMainDlg> and supplies the modal-lock test and the tray menu.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "ui/framework/TipPlacement.h"

namespace winhush::ui {

// Timer ids on the host window. They share the host's id space with its own timers.
enum TrayTimer : UINT_PTR {
    TIMER_TRAY_RETRY = 4,
    TIMER_TRAY_BLINK = 5,
};
inline constexpr UINT kTrayRetryPeriodMs = 500;
inline constexpr UINT kTrayBlinkPeriodMs = 200;
inline constexpr int kTrayBlinkSteps = 15;

inline constexpr UINT kTrayIconId = 0;
inline constexpr UINT kTrayNormalIconResource = 108;
inline constexpr UINT kTrayAlertIconResource = 109;
inline constexpr UINT kTrayTooltipString = 106;
// Block texts at least this long never reach the tooltip (they would not fit with their
// terminator).
inline constexpr size_t kBlockTooltipLimit = 127;

inline constexpr wchar_t kTrayCallbackMessageName[] = L"WM_ZVWINHUSHTRAY";
inline constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";
inline constexpr wchar_t kTrayBalloonText[] = L"弹窗拦截已最小化至后台运行，点击托盘图标打开主界面。";
inline constexpr UINT kTrayBalloonTimeoutMs = 3000;

// Side length of the tray icons: the small-icon metrics when the user's applied DPI is 96
// (or unknown), 128 otherwise (the shell scales it down to what the taskbar needs).
SIZE TrayIconSize();

class CTrayIcon {
public:
    CTrayIcon();
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Binds the icon to its host and registers the two window messages. `resources` is the
    // module holding icons 108/109 and string 106 (null: the executable).
    void AttachTrayHost(HWND host, HINSTANCE resources = nullptr);
    // Loads the normal and alert icons at TrayIconSize(), each only once.
    bool LoadTrayIcons();

    // Plain notification-area operations. A tooltip longer than the field is cut so that it
    // stays terminated.
    bool AddIcon(HICON icon, const wchar_t* tip);
    bool DeleteIcon();
    bool SetTooltip(const wchar_t* text);
    bool SetIcon(HICON icon);
    bool ShowBalloon();

    // Adds or removes the icon as "HideTray" says. False when the icon should be shown but
    // there is no taskbar or the shell refused it.
    bool ApplyTrayVisibility();
    // The same, and on failure keeps trying every 500 ms (timer 4) until it works.
    bool ApplyTrayVisibilityOrRetry();

    // A window was blocked: the block text becomes the tooltip and the icon blinks (from the
    // start again when it was blinking). False, and nothing changes, for a null text or one
    // of kBlockTooltipLimit characters or more.
    bool NotifyBlock(const wchar_t* text);
    // One blink step (timer 5): normal on odd, alert on even counts; at 0 the alert icon
    // stays and the timer stops.
    void BlinkStep();

    // The one-time hint shown when the main window goes to the tray: only while "IconTip"
    // is 1, which is then cleared. False when nothing was shown.
    bool ShowBalloonOnce();

    // Takes the tray's messages off the host's window procedure; true when handled.
    bool ProcessTrayMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND TrayHost() const { return nid.hWnd; }
    bool IsAdded() const { return added != 0; }
    int BlinkCountdown() const { return blinkCountdown; }
    bool IsRetrying() const { return retrying; }
    HICON NormalIcon() const { return iconNormal; }
    HICON AlertIcon() const { return iconAlert; }
    // What the tray was last told to show (whether or not the icon is currently added).
    HICON CurrentIcon() const { return nid.hIcon; }
    std::wstring CurrentTooltip() const { return nid.szTip; }
    UINT TrayCallbackMessage() const { return trayMsg; }
    UINT TaskbarCreatedMessage() const { return taskbarCreatedMsg; }

protected:
    // Hooks for the host: a modal dialog holds the host, and the tray menu at a screen point.
    virtual bool IsTrayHostLocked() { return false; }
    virtual void OpenTrayMenu(POINT) {}

    std::wstring LoadTrayString(UINT id) const;
    void OnTrayMouse(UINT mouseMessage);

    NOTIFYICONDATAW nid;
    DWORD added = 0;
    HINSTANCE resourceModule = nullptr;
    UINT trayMsg = 0;
    UINT taskbarCreatedMsg = 0;
    HICON iconNormal = nullptr;
    HICON iconAlert = nullptr;
    int blinkCountdown = 0;
    int blinkSteps = kTrayBlinkSteps;
    bool retrying = false;
};

// The tray icon as a base of a host window class T. T may offer `bool IsLocked()` (its
// modal lock overlay is up) and `void OnTrayMenu(POINT)` (open the tray menu there).
template <class T>
class CTrayIconImpl : public CTrayIcon {
protected:
    bool IsTrayHostLocked() override {
        if constexpr (requires(T & host) { host.IsLocked(); }) return static_cast<T*>(this)->IsLocked();
        return false;
    }
    void OpenTrayMenu(POINT at) override {
        if constexpr (requires(T & host, POINT p) { host.OnTrayMenu(p); }) static_cast<T*>(this)->OnTrayMenu(at);
    }
};

}  // namespace winhush::ui
