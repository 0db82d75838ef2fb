#include "ui/main/Menu.h"

#include <windowsx.h>

#include <vector>

#include "settings/StartupConfig.h"
#include "settings/SettingsStore.h"
#include "ui/controls/ControlFactory.h"
#include "ui/controls/SlideOption.h"
#include "ui/framework/MainCommands.h"
#include "ui/main/ForumPage.h"

namespace winhush::ui {

namespace {

// The tray menu keeps this much room to the work area's right edge before it flips to the
// left of the cursor.
constexpr int kTrayMenuRightSlack = 20;

constexpr wchar_t kBlockingOnText[] = L"开启拦截";

bool BlockingIsOff() {
    auto key = settings::OpenSettingsKey(false);
    return settings::ReadFlag(key.get(), settings::kBlock) == 0;
}

// With blocking off, the blocking entry offers to switch it on: its picture comes from its
// user data and its text says so.
void ShowBlockingEntryAsOff(dui::CPaintManagerUI& pm) {
    CControlUI* entry = pm.FindControl(L"btn_block");
    if (!entry || !entry->GetInterface(L"Button")) return;
    dui::CDuiString image = entry->GetUserData();
    if (!image.empty()) entry->SetBkImage(image.c_str());
    entry->SetText(kBlockingOnText);
}

bool IsNamed(CControlUI* control, const wchar_t* name) { return control && control->GetName() == name; }

RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info = {sizeof(info)};
    if (monitor && ::GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

}  // namespace

POINT ComputeMainMenuPosition(POINT anchor, SIZE size, const RECT& workArea) {
    POINT at = {};
    at.x = anchor.x - workArea.left < size.cx ? anchor.x : anchor.x - size.cx;
    at.y = workArea.bottom - anchor.y < size.cy ? anchor.y - size.cy : anchor.y;
    return at;
}

POINT ComputeTrayMenuPosition(POINT anchor, SIZE size, const RECT& workArea, const std::optional<RECT>& taskbar,
                              const MenuMargins& shadow) {
    POINT at = anchor;
    const int workWidth = workArea.right - workArea.left;
    const int workHeight = workArea.bottom - workArea.top;
    // A menu larger than the work area starts at the work area's own edge, which is not the
    // screen's origin on a secondary monitor or beside a top or left taskbar.
    if (anchor.y + size.cy > workArea.bottom) at.y = size.cy < workHeight ? anchor.y - size.cy : workArea.top;
    if (anchor.x + size.cx + kTrayMenuRightSlack > workArea.right)
        at.x = size.cx < workWidth ? anchor.x - size.cx : workArea.left;

    // The menu moves away from the taskbar by its shadow on that side, so that the shadow
    // does not lie over the taskbar. The side is where the taskbar's edge lies beyond the
    // work area's: merely comparing the edges for difference would also take a top
    // taskbar for a bottom one and a right taskbar for a left one (a full-width or
    // full-height taskbar differs from the work area on two edges) and push the menu onto
    // it. Without a taskbar there is nothing to move away from.
    if (taskbar) {
        if (taskbar->top > workArea.top)
            at.y -= shadow.bottom;  // bottom taskbar
        else if (taskbar->right < workArea.right)
            at.x += shadow.left;  // left taskbar
        else if (taskbar->bottom < workArea.bottom)
            at.y += shadow.top;  // top taskbar
        else if (taskbar->left > workArea.left)
            at.x -= shadow.right;  // right taskbar
    }
    return at;
}

HWND CMenuBase::Create(HWND owner, int x, int y) {
    parent = owner;
    anchorX = x;
    anchorY = y;
    bool finalSeen = false;
    finalSeen_ = &finalSeen;
    // The layout's size replaces this one while the window is created.
    RECT rc = {x, y, x + 1, y + 1};
    HWND hwnd = CDuiWndBaseImpl<CMenuBase, 0>::Create(owner, rc, nullptr, kMenuStyle, CreationExStyle());
    if (finalSeen) return nullptr;  // the window died during creation and took the object along
    finalSeen_ = nullptr;
    if (!hwnd) {
        // No window ever came to life, so no final message will free the object.
        delete this;
        return nullptr;
    }
    return hwnd;
}

void CMenuBase::OnFinalMessage(HWND /*hwnd*/) {
    if (finalSeen_) *finalSeen_ = true;
    delete this;
}

LRESULT CMenuBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    switch (message) {
        case WM_CREATE:
            ::SetFocus(m_hWnd);
            OnPosition();
            handled = TRUE;
            return 0;
        case WM_SIZE:
            // Menus have no frame behaviour, but the rounded corners of the layout must cut
            // the window just as they cut the framed windows.
            detail::FrameApplyRoundRegion(m_hWnd, m_pm);
            return 0;
        case WM_KILLFOCUS:
            // Posted, not done at once: the focus change may come from inside one of the
            // menu's own handlers (an entry that brings the main window forward).
            if (reinterpret_cast<HWND>(wParam) != m_hWnd) PostMessage(WM_CLOSE);
            return 0;
        case WM_CLOSE:
            // Closing a menu is destroying it. The paint manager's own close handling would
            // first give the window the focus back (to hand it to no control), and that
            // takes the activation back from a window an entry has just brought forward;
            // when the menu is then gone, Windows activates whatever comes next instead.
            DestroyWindow();
            handled = TRUE;
            return 0;
        case WM_KEYDOWN:
            switch (wParam) {
                case VK_ESCAPE:
                    PostMessage(WM_CLOSE);
                    handled = TRUE;
                    break;
                case VK_DOWN:
                case VK_UP:
                    StepKeyboardEntry(wParam == VK_DOWN ? 1 : -1);
                    handled = TRUE;
                    break;
                case VK_RETURN:
                case VK_SPACE:
                    // Chosen like a click: the notification closes the menu when it should.
                    if (keyboardEntry_) keyboardEntry_->Activate();
                    handled = TRUE;
                    break;
            }
            return 0;
        case WM_MOUSEMOVE: {
            // The mouse takes over from the keyboard: only one entry may look chosen.
            POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (keyboardEntry_ && m_pm.FindControl(at) != keyboardEntry_) SetKeyboardEntry(nullptr);
            return 0;
        }
    }
    return 0;
}

void CMenuBase::StepKeyboardEntry(int step) {
    std::vector<CControlUI*> entries;
    // Pre-order walk of the layout: the entries in the order the user sees them.
    std::vector<CControlUI*> pending = {m_pm.GetRoot()};
    while (!pending.empty()) {
        CControlUI* control = pending.back();
        pending.pop_back();
        if (!control || !control->IsVisible()) continue;
        if (control->GetInterface(L"Button")) {
            if (control->IsEnabled()) entries.push_back(control);
            continue;
        }
        if (auto* container = static_cast<dui::CContainerUI*>(control->GetInterface(L"Container")))
            for (int i = container->GetCount() - 1; i >= 0; --i) pending.push_back(container->GetItemAt(i));
    }
    if (entries.empty()) return;
    const int count = static_cast<int>(entries.size());
    int current = -1;
    for (int i = 0; i < count; ++i)
        if (entries[i] == keyboardEntry_) current = i;
    int next = current < 0 ? (step > 0 ? 0 : count - 1) : (current + step + count) % count;
    SetKeyboardEntry(entries[next]);
}

void CMenuBase::SetKeyboardEntry(CControlUI* entry) {
    // The entry shows the same hot look as under the mouse.
    auto send = [](CControlUI* control, int type) {
        dui::TEventUI event;
        event.Type = type;
        event.pSender = control;
        event.dwTimestamp = ::GetTickCount();
        control->Event(event);
    };
    if (keyboardEntry_ == entry) return;
    if (keyboardEntry_) send(keyboardEntry_, dui::UIEVENT_MOUSELEAVE);
    keyboardEntry_ = entry;
    if (keyboardEntry_) send(keyboardEntry_, dui::UIEVENT_MOUSEENTER);
}

void CMenuBase::Notify(TNotifyUI& msg) {
    if (msg.sType == dui::DUI_MSGTYPE_WINDOWINIT) {
        OnLayoutInit();
    } else if (msg.sType == dui::DUI_MSGTYPE_CLICK) {
        OnClick(msg);
        if (!dynamic_cast<CSlideOption*>(msg.pSender)) PostMessage(WM_CLOSE);
    }
}

CControlUI* CMenuBase::CreateControl(const wchar_t* className) { return CreateMenuControl(className); }

MenuMargins CMenuBase::ShadowMargins() {
    CWndLace& lace = GetLace();
    return MenuMargins{lace.left, lace.top, lace.right, lace.bottom};
}

SIZE CMenuBase::WindowSize() {
    RECT rc = GetWindowRect();
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

void CFrameMenuBase::OnPosition() {
    const POINT anchor = {anchorX, anchorY};
    const SIZE size = WindowSize();
    const RECT work = WorkAreaOf(::MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST));
    const POINT at = ComputeMainMenuPosition(anchor, size, work);
    ::SetWindowPos(m_hWnd, HWND_TOP, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW);
}

DWORD CTrayMenuBase::CreationExStyle() const {
    // Topmost from birth: once the shadow frame sits behind the menu, Wine no longer lets
    // SetWindowPos lift the menu into the topmost band, and a tray menu below the topmost
    // notification tips that sit at the same corner would open underneath them.
    return WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
}

void CTrayMenuBase::OnPosition() {
    const SIZE size = WindowSize();
    const RECT work = WorkAreaOf(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY));
    std::optional<RECT> taskbar;
    RECT taskbarRect = {};
    HWND taskbarWindow = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    if (taskbarWindow && ::GetWindowRect(taskbarWindow, &taskbarRect)) taskbar = taskbarRect;
    const POINT at = ComputeTrayMenuPosition(POINT{anchorX, anchorY}, size, work, taskbar, ShadowMargins());
    // Opened from the notification area the program is usually not in the foreground;
    // without taking it the menu would not get the focus and would never close.
    ::SetForegroundWindow(m_hWnd);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, at.x, at.y, size.cx, size.cy, SWP_SHOWWINDOW);
}

void CMainMenu::OnLayoutInit() {
    if (BlockingIsOff()) ShowBlockingEntryAsOff(m_pm);
}

void CMainMenu::OnClick(TNotifyUI& msg) {
    if (IsNamed(msg.pSender, L"btn_setting"))
        PostMainCommand(GetMainWindowHandle(), ID_OPEN_SETTINGS);
    else if (IsNamed(msg.pSender, L"btn_quit"))
        PostMainCommand(GetMainWindowHandle(), ID_EXIT);
    else if (IsNamed(msg.pSender, L"btn_bbs"))
        OpenForumPage();
}

void CTrayMenu::OnLayoutInit() {
    if (!BlockingIsOff()) return;
    // Locating a window to block makes no sense while nothing is blocked: the entry and its
    // whole row (hover wash, clicks) go grey.
    if (CControlUI* locate = m_pm.FindControl(L"btn_locate")) {
        locate->SetEnabled(false);
        for (CControlUI* up = locate->GetParent(); up; up = up->GetParent()) {
            if (up->GetInterface(L"ListContainerElement")) {
                up->SetEnabled(false);
                break;
            }
        }
    }
    ShowBlockingEntryAsOff(m_pm);
}

void CTrayMenu::OnClick(TNotifyUI& msg) {
    if (IsNamed(msg.pSender, L"btn_main")) {
        HWND main = GetMainWindowHandle();
        if (main && ::IsWindow(main)) {
            // Shown first: a hidden window cannot be brought to the foreground.
            ::ShowWindow(main, SW_SHOWNORMAL);
            ::SetForegroundWindow(main);
        }
    } else if (IsNamed(msg.pSender, L"btn_locate")) {
        PostMainCommand(GetMainWindowHandle(), ID_OPEN_LOCATE);
    } else if (IsNamed(msg.pSender, L"btn_block")) {
        PostMainCommand(GetMainWindowHandle(), ID_TOGGLE_BLOCK);
    } else if (IsNamed(msg.pSender, L"btn_quit")) {
        PostMainCommand(GetMainWindowHandle(), ID_EXIT);
    }
}

}  // namespace winhush::ui
