#include "ui/main/MainDlg.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>

#include "settings/StartupConfig.h"
#include "base/Handles.h"
#include "base/Strings.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"
#include "ui/controls/ControlFactory.h"
#include "ui/dialogs/RowTexts.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIFileIcon.h"
#include "ui/dui/UILabel.h"
#include "ui/dui/UIList.h"
#include "ui/dui/UIRender.h"
#include "ui/framework/FormatText.h"
#include "ui/framework/MessageBoxBase.h"
#include "ui/framework/MainCommands.h"
#include "ui/main/Menu.h"

namespace winhush::ui {

using dui::CContainerUI;
using dui::CControlUI;
using dui::CLabelUI;
using dui::COptionUI;
using dui::CTabLayoutUI;
using monitor::BlockRecord;

namespace {

// Posted to itself: reload the list outside of any notification of its rows.
constexpr UINT kReloadMessage = WM_APP + 0x52;

std::map<MainDialog, DialogRunner>& Runners() {
    static std::map<MainDialog, DialogRunner> runners;
    return runners;
}

template <class T>
T* Find(CPaintManagerUI& pm, const wchar_t* name) {
    return dynamic_cast<T*>(pm.FindControl(name));
}

template <class T>
T* FindIn(CPaintManagerUI& pm, CControlUI* parent, const wchar_t* name) {
    return parent ? dynamic_cast<T*>(pm.FindSubControlByName(parent, name)) : nullptr;
}

DWORD ReadSetting(const wchar_t* name) {
    UniqueHKey key = settings::OpenSettingsKey(false);
    return settings::ReadFlag(key.get(), name);
}

DWORD ReadTotalBlocks() {
    UniqueHKey key = settings::OpenSettingsKey(false);
    return settings::ReadBlockCount(key.get());
}

void WriteSetting(const wchar_t* name, DWORD value) {
    UniqueHKey key = settings::OpenSettingsKey(true);
    settings::WriteDword(key.get(), name, value);
}

// Whether two sorted row lists show the same thing.
bool SameRows(const std::vector<BlockRecord>& a, const std::vector<BlockRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const BlockRecord& x = a[i];
        const BlockRecord& y = b[i];
        if (x.hash != y.hash || x.status != y.status || x.blockCnt != y.blockCnt || x.timeBlock != y.timeBlock ||
            x.window.pos != y.window.pos || x.name != y.name || x.imagePath != y.imagePath ||
            x.window.path != y.window.path)
            return false;
    }
    return true;
}

void SetVisibleIfChanged(CControlUI* control, bool visible) {
    if (control && control->IsSelfVisible() != visible) control->SetVisible(visible);
}

void SetTextIfChanged(CControlUI* control, const std::wstring& text) {
    if (control && control->GetText() != text) control->SetText(text.c_str());
}

}  // namespace

void SetDialogRunner(MainDialog dialog, DialogRunner runner) {
    if (runner)
        Runners()[dialog] = std::move(runner);
    else
        Runners().erase(dialog);
}

CWndClassInfo& CMainDlg::GetWndClassInfo() {
    static CWndClassInfo info{kMainWindowClassName};
    return info;
}

CMainDlg::CMainDlg() = default;

CMainDlg::~CMainDlg() {
    if (m_hWnd && ::IsWindow(m_hWnd)) DestroyWindow();
    // The tray base removes a still-added icon and frees the two icons.
}

HWND CMainDlg::CreateMainWindow() {
    return Create(nullptr, rcDefault, kMainWindowCaption, kMainWindowStyle, WS_EX_APPWINDOW);
}

void CMainDlg::OnFinalMessage(HWND /*hwnd*/) {
    if (!deleteWhenGone_) return;
    if (dialogDepth_ > 0) {
        deleteAfterDialog_ = true;  // the runner still returns into this object
        return;
    }
    delete this;
}

CControlUI* CMainDlg::CreateControl(const wchar_t* className) { return CreateCustomControl(className); }

LRESULT CMainDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    handled = TRUE;
    LRESULT trayResult = 0;
    if (message == WM_MOUSEMOVE) {
        OnMouseMove(lParam);
        handled = FALSE;
        return 0;
    }
    if (message == WM_COMMAND) {
        WORD id = LOWORD(wParam);
        if (id >= ID_TOGGLE_BLOCK && id <= ID_EXIT && lParam == reinterpret_cast<LPARAM>(m_hWnd)) {
            OnCommand(id);
            return 0;
        }
        handled = FALSE;
        return 0;
    }
    if (ProcessTrayMessage(message, wParam, lParam, trayResult)) return trayResult;
    if (message == kReloadMessage) {
        ReloadList();
        SelectTabPage();
        return 0;
    }
    switch (message) {
        case WM_HOTKEY:
            OnHotkey(wParam);
            return 0;
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            handled = FALSE;  // the paint manager lets go of its controls too
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                HideToTray();
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam >= TIMER_LOADING && wParam <= TIMER_REFRESH) {
                OnTimer(wParam);
                return 0;
            }
            break;
        case monitor::WM_BLOCK_TOOLTIP:
            OnBlockTooltip(reinterpret_cast<wchar_t*>(wParam));
            return 0;
    }
    handled = FALSE;
    return 0;
}

void CMainDlg::OnCreate() {
    SetMainWindowHandle(m_hWnd);
    DWORD scanSoftware = 1, autoCheck = 1, locateHotkey = 1, mainHotkey = 1;
    {
        UniqueHKey key = settings::OpenSettingsKey(true);
        scanSoftware = settings::ReadFlag(key.get(), settings::kScanSoftware);
        autoCheck = settings::ReadFlag(key.get(), settings::kAutoCheck);
        locateHotkey = settings::ReadFlag(key.get(), settings::kIsLocateShortcut);
        mainHotkey = settings::ReadFlag(key.get(), settings::kIsMainShortcut);
    }
    AttachTrayHost(m_hWnd);
    LoadTrayIcons();
    ApplyTrayVisibilityOrRetry();

    if (locateHotkey == 1) settings::SetHotkey(m_hWnd, MainWindowHotkeys(), settings::kHotkeyLocate, true);
    if (mainHotkey == 1) settings::SetHotkey(m_hWnd, MainWindowHotkeys(), settings::kHotkeyMain, true);

    if (!PreviewWindow().IsWindow()) PreviewWindow().CreateHidden();

    monitor::CWndMgr& monitor = monitor::WndMgr();
    // The scan runs from the start, but blocks only while "Block" is on: a user who paused
    // blocking finds it paused after a restart.
    monitor.enabled = ReadSetting(settings::kBlock) != 0 ? 1 : 0;
    if (!monitor.scanning()) monitor.StartScanThread();
    rules::StartAutoCheck();
    if (scanSoftware == 0 && autoCheck == 1) ::SetTimer(m_hWnd, TIMER_AUTOCHECK, kAutoCheckPeriodMs, nullptr);

    if (CMessageLoop* loop = Module().GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
}

void CMainDlg::OnWindowInit() {
    listBlock = Find<CVListUI>(m_pm, L"list_block");
    if (listBlock) {
        listBlock->SetCallback(this);
        listBlock->SetBuilderCallback(this);
    }
    tabMain = Find<CTabLayoutUI>(m_pm, L"tab_main");

    if (ReadSetting(settings::kScanSoftware) == 1) {
        WriteSetting(settings::kScanSoftware, 0);
        loadingPhase_ = true;
        ::SetTimer(m_hWnd, TIMER_LOADING, kLoadingPeriodMs, nullptr);
        DrawCounter();
        return;
    }
    ReloadList();
    SelectTabPage();
    RefreshStatus();
    ::SetTimer(m_hWnd, TIMER_REFRESH, kRefreshPeriodMs, nullptr);
}

void CMainDlg::OnDestroy() {
    settings::ReleaseHotkeys(m_hWnd, MainWindowHotkeys());
    for (UINT_PTR id : {TIMER_LOADING, TIMER_AUTOCHECK, TIMER_REFRESH}) ::KillTimer(m_hWnd, id);
    PreviewWindow().DestroyPreview();
    blockTip.DestroyTip();
    newWndTip.DestroyTip();
    // While the window still exists: the shell finds the icon by window and id.
    DeleteIcon();
    if (CMessageLoop* loop = Module().GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
    if (GetMainWindowHandle() == m_hWnd) SetMainWindowHandle(nullptr);
    ::PostQuitMessage(1);
}

void CMainDlg::Notify(TNotifyUI& msg) {
    if (msg.sType == dui::DUI_MSGTYPE_WINDOWINIT) {
        OnWindowInit();
        return;
    }
    if (!msg.pSender) return;
    if (msg.sType == dui::DUI_MSGTYPE_CLICK) {
        OnClick(msg);
        return;
    }
    if (msg.sType == dui::DUI_MSGTYPE_ITEMSELECT && msg.pSender->GetName() == L"btn_append") {
        switch (msg.wParam) {
            case 0:
                RequestDialog(PENDING_RULES);
                break;
            case 1:
                RequestDialog(PENDING_RECORDS);
                break;
            case 2:
                RequestDialog(PENDING_LOCATE);
                break;
            default:
                break;
        }
    }
}

void CMainDlg::OnClick(TNotifyUI& msg) {
    const dui::CDuiString name = msg.pSender->GetName();
    if (name == L"btn_record" || name == L"btn_record_view") {
        OpenDialogNow(MainDialog::Records);
    } else if (name == L"btn_locate") {
        RequestDialog(PENDING_LOCATE);
    } else if (name == L"btn_rule") {
        OpenDialogNow(MainDialog::Rules);
    } else if (name == L"opt_switch") {
        SwitchRow(msg.pSender);
    } else if (name == L"btn_remove") {
        RemoveRow(msg.pSender);
    } else if (name == L"btn_block") {
        SetBlock(1);
    } else if (name == L"btn_stop") {
        SetBlock(0);
    } else if (name == L"btn_menu") {
        const RECT& rc = msg.pSender->GetPos();
        POINT anchor{rc.left, rc.bottom};
        ::ClientToScreen(m_hWnd, &anchor);
        currentMenu = (new CMainMenu())->Create(m_hWnd, anchor.x, anchor.y);
    } else if (name == L"sysminbutton") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (name == L"sysclosebutton") {
        HideToTray();
    }
}

void CMainDlg::OnCommand(WORD id) {
    switch (id) {
        case ID_TOGGLE_BLOCK:
            SetBlock(ReadSetting(settings::kBlock) == 0 ? 1 : 0);
            break;
        case ID_OPEN_LOCATE:
            ShowWindow(SW_SHOWNORMAL);
            RequestDialog(PENDING_LOCATE);
            break;
        case ID_OPEN_RECORDS:
            ShowWindow(SW_SHOWNORMAL);
            RequestDialog(PENDING_RECORDS);
            break;
        case ID_OPEN_RULES:
            ShowWindow(SW_SHOWNORMAL);
            OpenDialogNow(MainDialog::Rules);
            break;
        case ID_OPEN_SETTINGS:
            OpenDialogNow(MainDialog::Settings);
            break;
        case ID_UPDATE_TRAY:
            ApplyTrayVisibilityOrRetry();
            break;
        case ID_EXIT:
            ConfirmExit();
            break;
        default:
            break;
    }
}

void CMainDlg::OnTimer(UINT_PTR id) {
    switch (id) {
        case TIMER_LOADING:
            LoadingStep();
            break;
        case TIMER_AUTOCHECK:
            PollAutoCheck();
            break;
        case TIMER_REFRESH:
            ReloadList();
            RefreshStatus();
            SelectTabPage();
            break;
        default:
            break;
    }
}

void CMainDlg::OnHotkey(WPARAM id) {
    int index = settings::HotkeyIndexForId(MainWindowHotkeys(), id);
    if (index == -1) return;
    // A minimised window would stay an icon with SW_SHOW.
    ShowWindow(IsIconic() ? SW_RESTORE : SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
    if (index == settings::kHotkeyLocate && !active) OpenDialogNow(MainDialog::Locate);
}

void CMainDlg::OnBlockTooltip(wchar_t* text) {
    if (!text) {
        // The monitor keeps only the latest text of a burst, so nothing queues behind it.
        std::wstring latest;
        bool first = false;
        if (monitor::WndMgr().TakeBlockTooltip(latest, first) && NotifyBlock(latest.c_str()) && first) ShowBlockTip();
        return;
    }
    if (NotifyBlock(text) && ReadTotalBlocks() == 1) ShowBlockTip();
    monitor::FreeTooltipText(text);
}

void CMainDlg::ShowBlockTip() { blockTip.ShowTip(); }

void CMainDlg::ShowNewWindowsTip(int count) { newWndTip.ShowTip(count); }

void CMainDlg::PollAutoCheck() {
    std::vector<rules::PopupRule> found;
    if (!rules::GetAutoCheckResult(found)) return;
    ::KillTimer(m_hWnd, TIMER_AUTOCHECK);
    int fresh = static_cast<int>(
        std::count_if(found.begin(), found.end(), [](const rules::PopupRule& rule) { return rule.isNew != 0; }));
    if (fresh != 0) ShowNewWindowsTip(fresh);
}

void CMainDlg::LoadingStep() {
    if (!loadLabelLooked_) {
        loadLabel_ = Find<CLabelUI>(m_pm, L"lab_load");
        loadLabelLooked_ = true;
    }
    if (loadLabel_ && loadLabel_->IsVisible()) {
        // Image sources are in the layout's 96-DPI units, whatever the screen's DPI.
        UINT dpi = m_pm.GetDPI() ? m_pm.GetDPI() : 96;
        int w = ::MulDiv(loadLabel_->GetWidth(), 96, static_cast<int>(dpi));
        int f = loadingFrame_;
        std::wstring image =
            FormatLayoutText(loadLabel_->GetUserData(), {static_cast<long long>(w) * f, static_cast<long long>(w) * (f + 1)});
        loadLabel_->SetBkImage(image.c_str());
        loadingFrame_ = (f + 1) % kLoadingFrames;
    }
    int before = loadingTicks_++;
    if (before > kLoadingFrames && rules::AutoCheck().done.load(std::memory_order_acquire)) {
        ShowWindow(SW_SHOW);
        pendingActions |= PENDING_RULES;
        ::KillTimer(m_hWnd, TIMER_LOADING);
        loadingPhase_ = false;
        // The loading page is never shown again in this run: its frame strip (the largest
        // picture of the layout) need not stay decoded for the rest of the day.
        if (loadLabel_) {
            dui::TDrawInfo strip;
            if (dui::CRenderEngine::ParseImageString(loadLabel_->GetBkImage(), nullptr, strip))
                m_pm.RemoveImage(strip.sImageName.c_str());
        }
        ::SetTimer(m_hWnd, TIMER_REFRESH, kRefreshPeriodMs, nullptr);
    }
}

void CMainDlg::ReloadList() {
    std::vector<BlockRecord> fresh;
    // A busy record lock (more than 100 ms) keeps what the list shows until the next tick.
    if (!monitor::WndMgr().CopyRecords(0, fresh)) return;
    std::sort(fresh.begin(), fresh.end(), monitor::ByBlocks);
    const bool changed = !SameRows(records, fresh);
    records = std::move(fresh);
    if (!listBlock) return;
    // The page that shows the list goes up before the list's rows change: a row the list
    // builds or sets aside while it is hidden stays hidden after the page is shown again.
    SelectTabPage();
    listBlock->SetItemCount(static_cast<int>(records.size()));
    // Same count, other data: the rows fill again at the next paint. Nothing new: no layout
    // and no paint, so that an idle window costs nothing every 500 ms.
    if (changed) {
        listBlock->NeedParentUpdate();
        listBlock->Invalidate();
    }
}

void CMainDlg::SelectTabPage() {
    if (!tabMain) return;
    int page = 1;
    if (ReadSetting(settings::kBlock) == 0)
        page = 3;
    else if (!records.empty())
        page = 2;
    if (tabMain->GetCurSel() != page) tabMain->SelectItem(page);
}

void CMainDlg::RefreshStatus() {
    monitor::CWndMgr& monitor = monitor::WndMgr();
    const bool block = ReadSetting(settings::kBlock) == 1;
    if (auto* recording = m_pm.FindControl(L"lay_recording")) {
        bool show = monitor.recording != 0 && block;
        SetVisibleIfChanged(recording, show);
        if (show) {
            int count = 0;
            CControlUI* label = m_pm.FindSubControlByName(recording, L"lab_record_count");
            if (label && monitor.CountRecorded(count))
                SetTextIfChanged(label, FormatLayoutText(label->GetUserData(), {count}));
        }
    }
    SetVisibleIfChanged(m_pm.FindControl(L"btn_append"), block);
    SetVisibleIfChanged(m_pm.FindControl(L"btn_block"), !block);
    SetVisibleIfChanged(m_pm.FindControl(L"btn_stop"), block);
    DrawCounter();
}

void CMainDlg::DrawCounter() {
    auto* counter = dynamic_cast<CContainerUI*>(m_pm.FindControl(L"lay_counter"));
    if (!counter) return;
    int n = counter->GetCount();
    std::wstring text = FormatCounterText(ReadTotalBlocks(), n);
    for (int i = 0; i < n && i < static_cast<int>(text.size()); ++i)
        SetTextIfChanged(counter->GetItemAt(i), std::wstring(1, text[static_cast<size_t>(i)]));
}

void CMainDlg::SetBlock(DWORD block) {
    WriteSetting(settings::kBlock, block);
    // "暂停拦截" means what it says: no window is hidden or counted while it is off.
    monitor::WndMgr().enabled = block != 0 ? 1 : 0;
    SelectTabPage();
    RefreshStatus();
}

void CMainDlg::FillRow(CControlUI* row, int index) {
    if (!row || index < 0 || index >= static_cast<int>(records.size())) return;
    const BlockRecord& record = records[static_cast<size_t>(index)];
    row->SetUserData(FormatW(L"%llu", static_cast<unsigned long long>(record.hash)).c_str());
    if (auto* icon = FindIn<dui::CFileIconUI>(m_pm, row, L"icon_proc")) {
        // Loading a shell icon is slow; rows are filled before every paint.
        if (icon->GetFilePath() != record.window.path) icon->SetFilePath(record.window.path.c_str());
    }
    if (auto* name = FindIn<CControlUI>(m_pm, row, L"lab_name")) {
        SetTextIfChanged(name, record.name);
        if (name->GetToolTip() != record.name) name->SetToolTip(record.name.c_str());
    }
    SetTextIfChanged(FindIn<CControlUI>(m_pm, row, L"lab_pos"), PositionText(record.window.pos));
    if (auto* count = FindIn<CControlUI>(m_pm, row, L"lab_count")) {
        SetTextIfChanged(count, FormatRowCount(count->GetUserData(), record.blockCnt));
        DWORD colour = record.blockCnt != 0 ? kCountColourBlocked : kCountColourNever;
        if (count->GetBkColor() != colour) count->SetBkColor(colour);
    }
    if (auto* option = FindIn<COptionUI>(m_pm, row, L"opt_switch")) {
        bool on = record.status == monitor::kStatusBlock;
        if (option->IsSelected() != on) option->Selected(on, true);
    }
}

const BlockRecord* CMainDlg::RecordOfRow(CControlUI* control, int* index) const {
    if (!listBlock || !control) return nullptr;
    int i = listBlock->GetRowIndexOf(control);
    if (i < 0 || i >= static_cast<int>(records.size())) return nullptr;
    if (index) *index = i;
    return &records[static_cast<size_t>(i)];
}

void CMainDlg::SwitchRow(CControlUI* sender) {
    int index = -1;
    const BlockRecord* row = RecordOfRow(sender, &index);
    auto* option = dynamic_cast<COptionUI*>(sender);
    if (!row || !option) return;
    // "click" comes before the option flips: the selection is still the old state.
    const int status = option->IsSelected() ? monitor::kStatusAllowed : monitor::kStatusBlock;
    // Only the switch changes, on the stored record: the row is a copy up to one refresh old,
    // and the scan may have counted and photographed the window since.
    if (!monitor::WndMgr().SetRecordStatus(row->hash, status)) return;
    // Keep the row as it now is, so that a repaint before the next refresh does not flip
    // the switch back while it slides.
    records[static_cast<size_t>(index)].status = status;
}

void CMainDlg::RemoveRow(CControlUI* sender) {
    const BlockRecord* row = RecordOfRow(sender);
    if (!row) return;
    monitor::WndMgr().RemoveDecision(row->hash);
    HidePreview();
    // The list is reloaded as soon as this click has unwound: a shorter list gives up
    // pooled rows, and the row whose button is still reporting its click may be one of them.
    PostMessage(kReloadMessage);
}

void CMainDlg::OnMouseMove(LPARAM lParam) {
    if (!listBlock || records.empty()) return;
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    CControlUI* hit = m_pm.FindSubControlByPoint(listBlock, at);
    if (hit && hit->GetName() == L"lab_count") {
        const BlockRecord* row = RecordOfRow(hit);
        if (row && row->blockCnt != 0) {
            RECT label = hit->GetPos();
            ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&label), 2);
            PreviewWindow().ShowBeside(row->imagePath, label);
            previewShown_ = true;
            return;
        }
    }
    HidePreview();
}

void CMainDlg::HidePreview() {
    if (!previewShown_) return;
    PreviewWindow().Hide();
    previewShown_ = false;
}

void CMainDlg::HideToTray() {
    if (active) return;
    ShowBalloonOnce();
    HidePreview();
    ShowWindow(SW_HIDE);
}

void CMainDlg::OnTrayMenu(POINT at) { currentMenu = (new CTrayMenu())->Create(nullptr, at.x, at.y); }

void CMainDlg::RequestDialog(uint32_t pendingBit) { pendingActions |= pendingBit; }

void CMainDlg::OpenDialogNow(MainDialog dialog) {
    // Inside the window procedure the final message waits for the procedure to unwind, so
    // only a call from outside it can find the object doomed here.
    if (!RunDialog(dialog) && dialogDepth_ == 0) delete this;
}

bool CMainDlg::RunDialog(MainDialog dialog) {
    auto found = Runners().find(dialog);
    if (found == Runners().end() || !found->second) return true;
    if (active) {
        // One modal dialog at a time: a second one nested inside would end the lock when
        // it closes while the first is still open. Deferrable requests wait their turn.
        if (dialog == MainDialog::Rules) pendingActions |= PENDING_RULES;
        if (dialog == MainDialog::Locate) pendingActions |= PENDING_LOCATE;
        if (dialog == MainDialog::Records) pendingActions |= PENDING_RECORDS;
        return true;
    }
    DialogRunner runner = found->second;  // a runner may replace itself while it runs
    HidePreview();
    LockOn();
    ++dialogDepth_;
    runner(m_hWnd);
    --dialogDepth_;
    LockOff();
    return !(deleteAfterDialog_ && dialogDepth_ == 0);
}

BOOL CMainDlg::OnIdle() {
    static constexpr std::pair<uint32_t, MainDialog> kOrder[] = {
        {PENDING_LOCATE, MainDialog::Locate},
        {PENDING_RECORDS, MainDialog::Records},
        {PENDING_RULES, MainDialog::Rules},
    };
    if (active || !m_hWnd) return FALSE;
    for (const auto& [bit, dialog] : kOrder) {
        if (!(pendingActions & bit)) continue;
        if (!RunDialog(dialog)) {
            // The window was closed while the dialog ran; nothing of it is touched again.
            delete this;
            return FALSE;
        }
        pendingActions &= ~bit;
        if (!m_hWnd || !::IsWindow(m_hWnd)) return FALSE;
    }
    // A dialog that closed by asking for another (the rule list's locate and record
    // buttons) left a bit behind: come back at once rather than at the next message.
    return pendingActions != 0 ? TRUE : FALSE;
}

void CMainDlg::ConfirmExit() {
    if (active) return;
    ShowWindow(SW_SHOWNORMAL);
    int answer = CMessageBoxBase::kDeclined;
    {
        CScopedLock<CMainDlg> lock(*this);
        CMessageBoxBase box;
        answer = box.Run(m_hWnd, L"msg_exit_tip.xml");
    }
    if (answer == CMessageBoxBase::kConfirmed) PostMessage(WM_CLOSE);
}

}  // namespace winhush::ui
