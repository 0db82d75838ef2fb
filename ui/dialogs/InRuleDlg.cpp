#include "ui/dialogs/InRuleDlg.h"

#include <algorithm>
#include <string>

#include "settings/StartupConfig.h"
#include "monitor/WndMgr.h"
#include "rules/RuleCandidate.h"
#include "ui/controls/ControlFactory.h"
#include "ui/dialogs/RowTexts.h"
#include "ui/dui/UIFileIcon.h"
#include "ui/dui/UILabel.h"
#include "ui/dui/UIList.h"
#include "ui/framework/FormatText.h"
#include "ui/framework/MainCommands.h"

namespace winhush::ui {

using dui::CControlUI;
using dui::CLabelUI;
using dui::CListContainerElementUI;
using dui::CListUI;
using dui::COptionUI;
using monitor::BlockRecord;

namespace {

template <class T>
T* FindIn(CPaintManagerUI& pm, CControlUI* parent, const wchar_t* name) {
    return parent ? dynamic_cast<T*>(pm.FindSubControlByName(parent, name)) : nullptr;
}

COptionUI* CheckOf(CPaintManagerUI& pm, CControlUI* row) { return FindIn<COptionUI>(pm, row, L"opt_check"); }

}  // namespace

std::vector<BlockRecord> BuildCandidates(const std::vector<rules::PopupRule>& rules,
                                         const std::vector<BlockRecord>& decided) {
    std::vector<BlockRecord> out;
    for (const rules::PopupRule& rule : rules) {
        BlockRecord candidate = rules::CandidateFromRule(rule);
        bool known = std::any_of(decided.begin(), decided.end(), [&](const BlockRecord& r) {
            return r.hash == candidate.hash && (r.status == monitor::kStatusBlock || r.status == monitor::kStatusAllowed);
        });
        // The same pop-up can come from two rules (a program listed twice): offer it once.
        bool twice = std::any_of(out.begin(), out.end(), [&](const BlockRecord& r) { return r.hash == candidate.hash; });
        if (!known && !twice) out.push_back(std::move(candidate));
    }
    std::stable_sort(out.begin(), out.end(), monitor::BySortKey);
    return out;
}

CInRuleDlg::CInRuleDlg(monitor::CWndMgr* store, rules::CAutoCheck* check)
    : store_(store ? *store : monitor::WndMgr()), check_(check ? *check : rules::AutoCheck()) {}

CControlUI* CInRuleDlg::CreateControl(const wchar_t* className) { return CreateCustomControl(className); }

// Escape closes it like its close button, also while it waits.
LRESULT CInRuleDlg::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/, BOOL& handled) {
    handled = FALSE;
    if (message == WM_DESTROY) {
        ::KillTimer(m_hWnd, kWaitTimer);
    } else if (message == WM_TIMER && wParam == kWaitTimer) {
        LoadingStep();
        if (TryBuild()) SetWaiting(false);
        handled = TRUE;
    }
    return 0;
}

void CInRuleDlg::OnNotify(TNotifyUI& msg) {
    if (!msg.pSender) return;
    const dui::CDuiString name = msg.pSender->GetName();
    if (msg.sType == dui::DUI_MSGTYPE_SELECTCHANGED) {
        if (name == L"opt_check") UpdateButtons();
        return;
    }
    if (msg.sType != dui::DUI_MSGTYPE_CLICK) return;
    if (name == L"btn_open") {
        AddOne(msg.pSender);
    } else if (name == L"btn_select_all") {
        bool check = msg.pSender->GetTag() == 1;
        if (list) {
            for (int i = 0; i < list->GetCount(); ++i)
                if (COptionUI* option = CheckOf(m_pm, list->GetItemAt(i))) option->Selected(check, true);
        }
        UpdateButtons();
    } else if (name == L"btn_append") {
        AddChecked();
        PostMessage(WM_CLOSE);
    } else if (name == L"btn_locate") {
        HandOff(ID_OPEN_LOCATE);
    } else if (name == L"btn_record") {
        HandOff(ID_OPEN_RECORDS);
    } else if (name == L"sysclosebutton") {
        PostMessage(WM_CLOSE);
    }
}

void CInRuleDlg::OnLayoutInit() {
    list = dynamic_cast<CListUI*>(m_pm.FindControl(L"list_inrule"));
    loadLabel_ = dynamic_cast<CLabelUI*>(m_pm.FindControl(L"lab_load"));
    // Usually the check is long done: fill at once, with no waiting picture flashing up.
    if (TryBuild()) {
        SetWaiting(false);
        return;
    }
    SetWaiting(true);
}

bool CInRuleDlg::TryBuild() {
    if (!haveRules_) {
        std::vector<rules::PopupRule> found;
        if (!rules::GetAutoCheckResult(found, check_)) return false;
        rules_ = std::move(found);
        haveRules_ = true;
    }
    std::vector<BlockRecord> decided;
    // Busy for more than 100 ms (a long scan pass): the next tick tries again.
    if (!store_.CopyRecords(0, decided)) return false;
    candidates = BuildCandidates(rules_, decided);
    FillList();
    UpdateTitleAndButtons();
    return true;
}

void CInRuleDlg::SetWaiting(bool waiting) {
    waiting_ = waiting;
    if (CControlUI* pane = m_pm.FindControl(L"lay_waiting")) pane->SetVisible(waiting);
    if (waiting) {
        if (CControlUI* title = m_pm.FindControl(L"lab_title")) {
            std::wstring text = title->GetUserData();
            if (!text.empty()) title->SetText(text.c_str());
        }
        for (const wchar_t* hidden : {L"list_inrule", L"btn_select_all", L"btn_append", L"lab_hint"})
            if (CControlUI* control = m_pm.FindControl(hidden)) control->SetVisible(false);
        LoadingStep();
        ::SetTimer(m_hWnd, kWaitTimer, kWaitPeriodMs, nullptr);
    } else {
        ::KillTimer(m_hWnd, kWaitTimer);
    }
}

void CInRuleDlg::LoadingStep() {
    if (!loadLabel_ || !loadLabel_->IsVisible()) return;
    // Image sources are in the layout's 96-DPI units, whatever the screen's DPI.
    UINT dpi = m_pm.GetDPI() ? m_pm.GetDPI() : 96;
    int w = ::MulDiv(loadLabel_->GetWidth(), 96, static_cast<int>(dpi));
    int f = loadingFrame_;
    loadLabel_->SetBkImage(FormatLayoutText(loadLabel_->GetUserData(), {w * f, w * (f + 1)}).c_str());
    loadingFrame_ = (f + 1) % kLoadingFrames;
}

void CInRuleDlg::FillList() {
    if (!list) return;
    list->RemoveAll();
    for (const BlockRecord& candidate : candidates) {
        CControlUI* row = list->AddContainerItem(this);
        if (!row) continue;
        if (COptionUI* check = CheckOf(m_pm, row)) check->Selected(true, true);
        if (auto* icon = FindIn<dui::CFileIconUI>(m_pm, row, L"icon_proc")) icon->SetFilePath(candidate.window.path.c_str());
        if (CControlUI* name = FindIn<CControlUI>(m_pm, row, L"lab_name")) {
            name->SetText(candidate.name.c_str());
            name->SetToolTip(candidate.name.c_str());
        }
        if (CControlUI* pos = FindIn<CControlUI>(m_pm, row, L"lab_pos")) pos->SetText(PositionText(candidate.window.pos));
        if (CControlUI* fresh = FindIn<CControlUI>(m_pm, row, L"lab_new")) fresh->SetVisible(candidate.sortKey != 0);
    }
}

void CInRuleDlg::UpdateTitleAndButtons() {
    const bool any = !candidates.empty();
    if (CControlUI* title = m_pm.FindControl(L"lab_title")) title->SetText(any ? kInRuleTitleFound : kInRuleTitleNone);
    for (const wchar_t* shown : {L"btn_select_all", L"btn_append", L"list_inrule", L"lab_hint"})
        if (CControlUI* control = m_pm.FindControl(shown)) control->SetVisible(any);
    if (CControlUI* empty = m_pm.FindControl(L"lay_empty")) empty->SetVisible(!any);
    UpdateButtons();
}

void CInRuleDlg::UpdateButtons() {
    bool allChecked = true, noneChecked = true;
    if (list) {
        for (int i = 0; i < list->GetCount(); ++i) {
            COptionUI* check = CheckOf(m_pm, list->GetItemAt(i));
            if (!check) continue;
            if (check->IsSelected())
                noneChecked = false;
            else
                allChecked = false;
        }
    }
    if (CControlUI* selectAll = m_pm.FindControl(L"btn_select_all")) {
        selectAll->SetText(allChecked ? kUnselectAllText : kSelectAllText);
        selectAll->SetTag(allChecked ? 0 : 1);
        selectAll->NeedParentUpdate();
    }
    if (CControlUI* append = m_pm.FindControl(L"btn_append")) append->SetEnabled(!noneChecked);
}

int CInRuleDlg::RowIndexOf(CControlUI* control) const {
    if (!list) return -1;
    for (CControlUI* c = control; c; c = c->GetParent()) {
        if (!c->GetInterface(L"ListContainerElement")) continue;
        int index = list->GetItemIndex(c);
        return index >= 0 && index < static_cast<int>(candidates.size()) ? index : -1;
    }
    return -1;
}

void CInRuleDlg::StoreCandidate(BlockRecord& candidate) {
    candidate.status = monitor::kStatusBlock;
    candidate.addType = monitor::kAddedFromRuleList;
    candidate.sortKey = 0;
    // A window the monitor already keeps a record of keeps its counts, picture and recording.
    store_.AddDecision(candidate);
}

void CInRuleDlg::AddOne(CControlUI* sender) {
    int index = RowIndexOf(sender);
    if (index < 0) return;
    StoreCandidate(candidates[static_cast<size_t>(index)]);
    candidates.erase(candidates.begin() + index);
    // The rows go to the engine's delayed clean-up, so the clicked button outlives this.
    FillList();
    UpdateTitleAndButtons();
}

void CInRuleDlg::AddChecked() {
    if (!list || list->GetCount() == 0) return;
    for (size_t i = 0; i < candidates.size() && static_cast<int>(i) < list->GetCount(); ++i) {
        COptionUI* check = CheckOf(m_pm, list->GetItemAt(static_cast<int>(i)));
        if (check && check->IsSelected()) StoreCandidate(candidates[i]);
    }
}

void CInRuleDlg::HandOff(WORD command) {
    PostMessage(WM_CLOSE);
    HWND main = GetMainWindowHandle();
    if (!main) main = GetOwner();
    PostMainCommand(main, static_cast<MainCommand>(command));
}

}  // namespace winhush::ui
