// The add confirmation: shows the window about to be blocked (its program, when it was last
// recorded, its picture) and lets the user choose the name it is listed under. Used by the
// window picker and by the record dialog. Confirming a window of the system (Windows
// Explorer: the taskbar, the desktop, folder windows; or a class the rule database lists as
// a system class) asks a second time, since blocking it hides part of Windows.
#pragma once

#include <windows.h>

#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "ui/framework/Companions.h"
#include "ui/framework/MessageBoxBase.h"

namespace winhush::dui {
class CEditUI;
}

namespace winhush::ui {

inline constexpr wchar_t kAddConfirmLayout[] = L"dlg_add_confirm.xml";
inline constexpr wchar_t kSystemTipLayout[] = L"msg_system_tip.xml";

// Whether blocking the record's window hides a part of Windows: its executable is the
// Windows explorer (compared ignoring case), or its class is one of the system classes
// (compared exactly).
bool IsSystemWindow(const monitor::BlockRecord& record, const StartupConfig& config);

// Where a picture of `image` pixels goes inside an area of `area` pixels: scaled down to
// fit with its proportions kept, never enlarged, centred. Relative to the area.
RECT FitPicture(SIZE image, SIZE area);

class CAddConfirmDlg : public CMessageBoxBase, public CWndWithLock<CAddConfirmDlg> {
public:
    // Runs the confirmation for `record` over `parent`. On confirmation the record's name
    // becomes what the user left in the name field and true is returned.
    static bool Confirm(HWND parent, monitor::BlockRecord& record);

    void OnLayoutInit() override;
    void OnReturn() override {}
    void OnClick(TNotifyUI& msg) override;
    const wchar_t* GetSkinFile() override { return kAddConfirmLayout; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

    // Working copy of the record being confirmed.
    monitor::BlockRecord record;

private:
    dui::CEditUI* nameEdit_ = nullptr;
};

}  // namespace winhush::ui
