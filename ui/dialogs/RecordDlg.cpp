#include "ui/dialogs/RecordDlg.h"

#include <algorithm>

#include "base/Strings.h"
#include "monitor/WndMgr.h"
#include "ui/controls/ControlFactory.h"
#include "ui/dialogs/AddConfirmDlg.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIFileIcon.h"
#include "ui/dui/UILabel.h"
#include "ui/framework/FormatText.h"

namespace winhush::ui {

namespace {

void SetTextIfChanged(CControlUI* control, const std::wstring& text) {
    if (control && control->GetText() != text) control->SetText(text.c_str());
}

void SetVisibleIfChanged(CControlUI* control, bool visible) {
    if (control && control->IsVisible() != visible) control->SetVisible(visible);
}

// The button shows its text for the state it switches to: the layout gives the "off" text
// as the text and the "on" text as the user data.
void SwapTextAndUserData(CControlUI* button) {
    if (!button) return;
    std::wstring text = button->GetText();
    std::wstring data = button->GetUserData();
    button->SetText(data.c_str());
    button->SetUserData(text.c_str());
}

}  // namespace

CRecordDlg::CRecordDlg() = default;

CRecordDlg::~CRecordDlg() {
    if (IsWindow()) DestroyWindow();
}

CControlUI* CRecordDlg::CreateControl(const wchar_t* className) { return CreateCustomControl(className); }

LRESULT CRecordDlg::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = FALSE;
    switch (message) {
        case WM_MOUSEMOVE:
            OnMouseMove(lParam);
            break;
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            HidePreview();
            break;
        case WM_TIMER:
            if (wParam == TIMER_RECORD_REFRESH) {
                ReloadRows();
                RefreshStatus();
                handled = TRUE;
            }
            break;
        case WM_SHOWWINDOW:
            if (!wParam) HidePreview();
            break;
        case WM_ACTIVATE:
            // The preview belongs to this window's list; another window in front of it
            // (the confirmation, another program) leaves no picture floating about.
            if (LOWORD(wParam) == WA_INACTIVE) HidePreview();
            break;
        case WM_DESTROY:
            ::KillTimer(m_hWnd, TIMER_RECORD_REFRESH);
            HidePreview();
            if (list) list->SetCallback(nullptr);
            break;
    }
    return 0;
}

void CRecordDlg::OnNotify(TNotifyUI& msg) {
    if (msg.sType != dui::DUI_MSGTYPE_CLICK || !msg.pSender) return;
    dui::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_open")
        BlockRow(msg.pSender);
    else if (name == L"btn_record")
        SwitchRecording();
    else if (name == L"btn_clear_all")
        ClearAll();
    else if (name == L"sysclosebutton")
        PostMessage(WM_CLOSE);
}

void CRecordDlg::OnLayoutInit() {
    if (auto* title = m_pm.FindControl(L"lab_title")) ::SetWindowTextW(m_hWnd, title->GetText().c_str());
    list = dynamic_cast<CVListUI*>(m_pm.FindControl(L"list_record"));
    if (list) list->SetCallback(this);
    if (monitor::WndMgr().recording) SwapTextAndUserData(m_pm.FindControl(L"btn_record"));
    ReloadRows();
    RefreshStatus();
    ::SetTimer(m_hWnd, TIMER_RECORD_REFRESH, kRecordRefreshPeriodMs, nullptr);
}

void CRecordDlg::ReloadRows() {
    std::vector<monitor::BlockRecord> fresh;
    // The scan holds the lock for a pass now and then: keep what is shown, try next tick.
    if (!monitor::WndMgr().CopyRecords(1, fresh)) return;
    std::sort(fresh.begin(), fresh.end(), monitor::ByRecordTime);
    rows = std::move(fresh);
    if (!list) return;
    list->SetItemCount(static_cast<int>(rows.size()));
    list->NeedUpdate();
}

void CRecordDlg::RefreshStatus() {
    auto* tab = dynamic_cast<dui::CTabLayoutUI*>(m_pm.FindControl(L"tab_main"));
    CControlUI* clear = m_pm.FindControl(L"btn_clear_all");
    auto* recording = dynamic_cast<dui::CVerticalLayoutUI*>(m_pm.FindControl(L"lay_recording"));
    auto* count = dynamic_cast<dui::CLabelUI*>(m_pm.FindControl(L"lab_record_count"));
    if (!tab || !clear || !recording || !count) return;
    if (!monitor::WndMgr().recording) {
        tab->SelectItem(kRecordPageOff);
        SetVisibleIfChanged(clear, false);
        SetVisibleIfChanged(recording, false);
        HidePreview();
        return;
    }
    const bool any = list && list->GetItemCount() > 0;
    tab->SelectItem(any ? kRecordPageList : kRecordPageWaiting);
    SetVisibleIfChanged(clear, any);
    SetVisibleIfChanged(recording, true);
    SetTextIfChanged(count, FormatRowCount(std::wstring(count->GetUserData()), static_cast<uint32_t>(rows.size())));
    if (!any) HidePreview();
}

void CRecordDlg::SwitchRecording() {
    SwapTextAndUserData(m_pm.FindControl(L"btn_record"));
    monitor::WndMgr().recording = monitor::WndMgr().recording ? 0 : 1;
    RefreshStatus();
}

void CRecordDlg::ClearAll() {
    HidePreview();
    rows.clear();
    if (list) list->SetItemCount(0);
    RefreshStatus();
    monitor::WndMgr().ClearRecorded();
}

int CRecordDlg::RowOf(CControlUI* control) const {
    if (!list || !control) return -1;
    int index = list->GetRowIndexOf(control);
    return index >= 0 && index < static_cast<int>(rows.size()) ? index : -1;
}

void CRecordDlg::BlockRow(CControlUI* sender) {
    int index = RowOf(sender);
    if (index < 0) return;
    HidePreview();
    // A copy: the timer goes on reloading the rows while the confirmation is open.
    monitor::BlockRecord record = rows[static_cast<size_t>(index)];
    bool confirmed = false;
    {
        CScopedLock<CRecordDlg> lock(*this);
        confirmed = CAddConfirmDlg::Confirm(m_hWnd, record);
    }
    if (!confirmed) return;
    record.status = monitor::kStatusBlock;
    record.addType = monitor::kAddedFromRecordDialog;
    if (!monitor::WndMgr().AddDecision(record)) return;
    // The row stays, now blocked and without its button, until the next reload.
    for (monitor::BlockRecord& row : rows) {
        if (row.hash != record.hash) continue;
        row.status = record.status;
        row.addType = record.addType;
        row.name = record.name;
    }
    if (list) list->NeedUpdate();
    RefreshStatus();
}

void CRecordDlg::FillRow(CControlUI* row, int index) {
    if (!row || index < 0 || index >= static_cast<int>(rows.size())) return;
    const monitor::BlockRecord& record = rows[static_cast<size_t>(index)];
    if (auto* icon = dynamic_cast<dui::CFileIconUI*>(m_pm.FindSubControlByName(row, L"icon_proc"))) {
        // Loading a shell icon is slow; rows are filled before every paint.
        if (icon->GetFilePath() != record.window.path) icon->SetFilePath(record.window.path.c_str());
    }
    if (CControlUI* name = m_pm.FindSubControlByName(row, L"lab_name")) {
        SetTextIfChanged(name, record.name);
        if (name->GetToolTip() != record.name) name->SetToolTip(record.name.c_str());
    }
    if (CControlUI* time = m_pm.FindSubControlByName(row, L"lab_time")) {
        SetTextIfChanged(time, monitor::FormatBlockTime(record.timeRecord));
        if (time->GetUserData() != record.imagePath) time->SetUserData(record.imagePath.c_str());
    }
    if (CControlUI* count = m_pm.FindSubControlByName(row, L"lab_count")) {
        uint32_t shown = record.recordCnt > 0 ? static_cast<uint32_t>(record.recordCnt) : 0;
        SetTextIfChanged(count, FormatRowCount(std::wstring(count->GetUserData()), shown));
    }
    if (CControlUI* open = m_pm.FindSubControlByName(row, L"btn_open")) {
        SetVisibleIfChanged(open, record.status != monitor::kStatusBlock);
        std::wstring hash = FormatW(L"%llu", static_cast<unsigned long long>(record.hash));
        if (open->GetUserData() != hash) open->SetUserData(hash.c_str());
    }
}

void CRecordDlg::OnMouseMove(LPARAM lParam) {
    if (!list || rows.empty()) {
        HidePreview();
        return;
    }
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    CControlUI* hit = m_pm.FindSubControlByPoint(list, at);
    if (hit && hit->GetName() == L"lab_count") {
        int index = RowOf(hit);
        if (index >= 0 && rows[static_cast<size_t>(index)].recordCnt != 0 &&
            !rows[static_cast<size_t>(index)].imagePath.empty() && ::IsWindowEnabled(m_hWnd)) {
            RECT label = hit->GetPos();
            ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&label), 2);
            PreviewWindow().ShowBeside(rows[static_cast<size_t>(index)].imagePath, label);
            previewShown_ = true;
            if (!trackingLeave_) {
                // The pointer may leave the dialog straight from the label.
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
                trackingLeave_ = ::TrackMouseEvent(&track) != FALSE;
            }
            return;
        }
    }
    HidePreview();
}

void CRecordDlg::HidePreview() {
    if (!previewShown_) return;
    PreviewWindow().Hide();
    previewShown_ = false;
}

}  // namespace winhush::ui
