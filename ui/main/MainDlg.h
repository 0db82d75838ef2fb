// The program's one application window. It owns the tray icon, starts the window monitor's
// scan thread and the automatic check, lists the windows under blocking with a switch per
// window, shows the total block counter, and is the hub every dialog is opened from.
// Closing it only hides it to the tray; the program ends through the exit command.
//
// Dialogs never open from inside a notification of the layout: clicks, menu commands and
// split-button choices set a pending bit, and the message loop's idle hook opens the dialog
// once the notification has unwound. The dialogs themselves are supplied by their owners
// through SetDialogRunner; a runner creates its dialog owned by the given window, centres
// it and runs its modal loop, while this window keeps the lock overlay up around it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/BlockRecord.h"
#include "ui/controls/VirtualList.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"
#include "ui/framework/MessageLoop.h"
#include "ui/main/TrayIcon.h"

namespace winhush::dui {
class CTabLayoutUI;
class CLabelUI;
}  // namespace winhush::dui

namespace winhush::ui {

// The dialogs opened from the main window.
enum class MainDialog { Locate, Records, Rules, Settings };
// Runs one dialog modally, owned by `owner`, and returns after it has closed.
using DialogRunner = std::function<void(HWND owner)>;
// Registers (or, with an empty runner, removes) the dialog that a request opens. Without a
// runner a request opens nothing and leaves the window as it was.
void SetDialogRunner(MainDialog dialog, DialogRunner runner);

// Deferred dialog openings, run by the idle hook in this order.
enum PendingAction : uint32_t {
    PENDING_LOCATE = 1,
    PENDING_RECORDS = 2,
    PENDING_RULES = 8,
};

enum MainTimer : UINT_PTR {
    TIMER_LOADING = 1,
    TIMER_AUTOCHECK = 2,
    TIMER_REFRESH = 3,
};
inline constexpr UINT kLoadingPeriodMs = 40;
inline constexpr UINT kAutoCheckPeriodMs = 500;
inline constexpr UINT kRefreshPeriodMs = 500;
// The loading strip's frame count, and the ticks the first-run phase lasts at least.
inline constexpr int kLoadingFrames = 69;

inline constexpr wchar_t kMainWindowLayout[] = L"dlg_main.xml";
inline constexpr wchar_t kMainWindowClassName[] = L"ZVWINHUSHWND";
inline constexpr wchar_t kMainWindowCaption[] = L"Zelvane-弹窗拦截";

// Background of a row's count: blocked at least once, never blocked.
inline constexpr DWORD kCountColourBlocked = 0xFF64B5EF;
inline constexpr DWORD kCountColourNever = 0xFF91CAF2;

class CMainDlg : public CDuiFrameWndImpl<CMainDlg>,
                 public CWndWithLace<CMainDlg>,
                 public CWndWithLock<CMainDlg>,
                 public CTrayIconImpl<CMainDlg>,
                 public CIdleHandler,
                 public IVListCallbackUI {
public:
    static CWndClassInfo& GetWndClassInfo();

    CMainDlg();
    ~CMainDlg() override;

    // Creates the window (hidden) with the main window's identity; null on failure.
    HWND CreateMainWindow();
    // From now on the object frees itself after its window's last message (the program's
    // main window lives on the heap and ends with the message loop).
    void DeleteWhenGone() { deleteWhenGone_ = true; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hwnd) override;
    const wchar_t* GetSkinFile() override { return kMainWindowLayout; }
    std::vector<std::wstring> GetNonCaptionClasses() const override { return {L"Button", L"Option", L"SplitButton"}; }

    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(const wchar_t* className) override;

    // CIdleHandler
    BOOL OnIdle() override;
    // IVListCallbackUI
    void FillRow(dui::CControlUI* row, int index) override;

    // Tray hooks (see CTrayIconImpl).
    bool IsLocked() const { return active; }
    void OnTrayMenu(POINT at);

    // The operations behind the messages, commands and timers.
    void ReloadList();
    void SelectTabPage();
    void RefreshStatus();
    void DrawCounter();
    void HideToTray();
    void RequestDialog(uint32_t pendingBit);
    void OpenDialogNow(MainDialog dialog);
    void ConfirmExit();

    uint32_t PendingActions() const { return pendingActions; }
    const std::vector<monitor::BlockRecord>& Records() const { return records; }
    HWND CurrentMenu() const { return currentMenu; }
    dui::CTabLayoutUI* TabMain() const { return tabMain; }
    CVListUI* ListBlock() const { return listBlock; }
    bool InLoadingPhase() const { return loadingPhase_; }

private:
    void OnCreate();
    void OnWindowInit();
    void OnDestroy();
    void OnCommand(WORD id);
    void OnTimer(UINT_PTR id);
    void OnClick(TNotifyUI& msg);
    void OnHotkey(WPARAM id);
    void OnBlockTooltip(wchar_t* text);
    void OnMouseMove(LPARAM lParam);
    void LoadingStep();
    void PollAutoCheck();
    void ShowBlockTip();
    void ShowNewWindowsTip(int count);
    void HidePreview();
    void SetBlock(DWORD block);
    void SwitchRow(dui::CControlUI* sender);
    void RemoveRow(dui::CControlUI* sender);
    // The record of the row holding `control`, or null.
    const monitor::BlockRecord* RecordOfRow(dui::CControlUI* control, int* index = nullptr) const;

    dui::CTabLayoutUI* tabMain = nullptr;
    CVListUI* listBlock = nullptr;
    uint32_t pendingActions = 0;
    HWND currentMenu = nullptr;
    std::vector<monitor::BlockRecord> records;
    // Their windows exist only while they are shown.
    CBlockTipWnd blockTip;
    CNewWndTipWnd newWndTip;

    dui::CLabelUI* loadLabel_ = nullptr;
    bool loadLabelLooked_ = false;
    int loadingTicks_ = 0;
    int loadingFrame_ = 0;
    bool loadingPhase_ = false;
    bool deleteWhenGone_ = false;
    bool previewShown_ = false;
    // Dialogs running right now, and a deletion that waits until the last has returned: a
    // dialog opened from the idle hook runs outside the window procedure, so the window
    // can be destroyed (a WM_CLOSE from outside) while its runner is still on the stack.
    int dialogDepth_ = 0;
    bool deleteAfterDialog_ = false;
    // Runs the dialog under the lock; false when the object is to be deleted once the
    // caller has unwound (its window went away while the dialog ran).
    bool RunDialog(MainDialog dialog);
};

}  // namespace winhush::ui
