// The program's two pop-up menus: the main menu that drops from the main window's menu
// button, and the tray menu that opens at the cursor after a right click on the tray icon.
// Both are small skinned pop-ups with a shadow frame. They take the focus when they open,
// close on any click of an entry (a switch inside a menu is the exception: it can be
// flipped without closing), on Escape and as soon as the focus goes elsewhere; Up and Down
// walk the enabled entries and Enter or Space chooses one, as in any Windows menu. They
// talk to the main window only by posting its commands (ui/framework/MainCommands.h).
//
// Menus are heap objects that free themselves once their window is gone:
//     (new CMainMenu())->Create(mainWindow, x, y);
// and nobody holds the object afterwards, only (at most) the window handle.
//
// Where a menu opens is a pure function of the anchor point, the menu's size and the
// screen geometry, so that every edge of the work area and every taskbar edge can be
// checked without moving a real taskbar; the position hooks apply them to the window.
#pragma once

#include <windows.h>

#include <optional>

#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"

namespace winhush::ui {

// The shadow frame's reach beyond the menu on each side, in pixels.
struct MenuMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Top-left corner of the main menu anchored at `anchor` (the bottom-left corner of the menu
// button): it opens to the right of the anchor only when there is not room for it to the
// left, and upwards only when there is not room below.
POINT ComputeMainMenuPosition(POINT anchor, SIZE size, const RECT& workArea);

// Top-left corner of the tray menu opened at `anchor` (the cursor): below and to the right
// of the cursor when it fits, else above and/or to the left; then pushed off the taskbar
// by the shadow margin on the taskbar's side. `taskbar` is the taskbar window's rectangle,
// or nothing when there is no taskbar.
POINT ComputeTrayMenuPosition(POINT anchor, SIZE size, const RECT& workArea, const std::optional<RECT>& taskbar,
                              const MenuMargins& shadow);

class CMenuBase : public CDuiWndBaseImpl<CMenuBase, 0>, public CWndWithLace<CMenuBase> {
public:
    CMenuBase() = default;
    ~CMenuBase() override = default;

    // Creates the menu window owned by `parent` (may be null) for the anchor point (x, y)
    // in screen coordinates; the window places and shows itself while it is created.
    // Null on failure, in which case the object has already freed itself.
    HWND Create(HWND parent, int x, int y);

    // The object goes with its window.
    void OnFinalMessage(HWND hwnd) override;
    // "windowinit": the layout has been laid out for the first time.
    virtual void OnLayoutInit() {}
    // Places and shows the freshly created window for the anchor point.
    virtual void OnPosition() = 0;
    // A button or option of the layout was clicked; the menu closes afterwards unless the
    // sender is a slide switch.
    virtual void OnClick(TNotifyUI& msg) = 0;
    const wchar_t* GetSkinFile() override = 0;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void Notify(TNotifyUI& msg) override;
    // Menus know one control of the program's own: the slide switch.
    CControlUI* CreateControl(const wchar_t* className) override;

    HWND parent = nullptr;
    int anchorX = 0;
    int anchorY = 0;

    // The entry Up, Down and Enter work on (shown hot like a hovered one); null before the
    // first arrow key and after the mouse moved elsewhere.
    CControlUI* KeyboardEntry() const { return keyboardEntry_; }

protected:
    // Extended style the window is created with.
    virtual DWORD CreationExStyle() const { return WS_EX_TOOLWINDOW; }
    // The shadow frame's margins, as read from its layout at the current DPI.
    MenuMargins ShadowMargins();
    SIZE WindowSize();

private:
    // Moves the keyboard entry by one among the enabled, visible entries, wrapping around.
    void StepKeyboardEntry(int step);
    void SetKeyboardEntry(CControlUI* entry);

    CControlUI* keyboardEntry_ = nullptr;
    // Set while Create runs: tells Create whether the window's final message (and so the
    // object's deletion) has already happened.
    bool* finalSeen_ = nullptr;
};

// Menus opened from within the main window, placed with ComputeMainMenuPosition.
class CFrameMenuBase : public CMenuBase {
public:
    void OnPosition() override;
};

// Menus opened at the cursor from the notification area, placed with
// ComputeTrayMenuPosition above everything else.
class CTrayMenuBase : public CMenuBase {
public:
    void OnPosition() override;

protected:
    DWORD CreationExStyle() const override;
};

// "menu_main.xml": settings, forum page, quit.
class CMainMenu : public CFrameMenuBase {
public:
    const wchar_t* GetSkinFile() override { return L"menu_main.xml"; }
    void OnLayoutInit() override;
    void OnClick(TNotifyUI& msg) override;
};

// "menu_tray.xml": open the main window, locate a window, blocking on/off, quit.
class CTrayMenu : public CTrayMenuBase {
public:
    const wchar_t* GetSkinFile() override { return L"menu_tray.xml"; }
    void OnLayoutInit() override;
    void OnClick(TNotifyUI& msg) override;
};

}  // namespace winhush::ui
