// The record dialog: switches the monitor's recording on and off, lists the pop-up-like
// windows recorded meanwhile (most recent first) with their picture on the count label,
// blocks one of them after the add confirmation, and clears all recordings. The list is
// reloaded from the monitor every second while the dialog is open; recorded windows are
// only shown while recording is on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "monitor/BlockRecord.h"
#include "ui/controls/VirtualList.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DialogWnd.h"
#include "ui/framework/MessageLoop.h"

namespace winhush::ui {

inline constexpr wchar_t kRecordLayout[] = L"dlg_record.xml";
inline constexpr UINT_PTR TIMER_RECORD_REFRESH = 1;
inline constexpr UINT kRecordRefreshPeriodMs = 1000;

// Tab pages of "tab_main".
enum RecordPage : int { kRecordPageOff = 0, kRecordPageWaiting = 1, kRecordPageList = 2 };

class CRecordDlg : public CDuiDialogWnd<CRecordDlg, ThreadLoopEntry::Registered>,
                   public CWndWithLock<CRecordDlg>,
                   public CIdleHandler,
                   public IVListCallbackUI {
public:
    CRecordDlg();
    ~CRecordDlg() override;

    const wchar_t* GetSkinFile() override { return kRecordLayout; }
    LRESULT HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnNotify(TNotifyUI& msg) override;
    void OnLayoutInit() override;
    CControlUI* CreateControl(const wchar_t* className) override;

    // CIdleHandler: nothing to do when idle.
    BOOL OnIdle() override { return FALSE; }
    // IVListCallbackUI
    void FillRow(dui::CControlUI* row, int index) override;

    // The operations behind the notifications and the timer.
    void ReloadRows();
    void RefreshStatus();
    void SwitchRecording();
    void ClearAll();
    void BlockRow(dui::CControlUI* sender);

    const std::vector<monitor::BlockRecord>& Rows() const { return rows; }
    CVListUI* List() const { return list; }
    bool PreviewShown() const { return previewShown_; }

private:
    void OnMouseMove(LPARAM lParam);
    void HidePreview();
    int RowOf(dui::CControlUI* control) const;

    CVListUI* list = nullptr;
    std::vector<monitor::BlockRecord> rows;
    bool previewShown_ = false;
    bool trackingLeave_ = false;
};

}  // namespace winhush::ui
