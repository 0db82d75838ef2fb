// The rule list: the pop-ups that the automatic check found the rule database able to block
// on this computer, minus those the user already decided on (blocked or let through). Each
// row is one pop-up rule of an installed program: its icon, the rule's name, the screen
// corner it shows in, and a "new" marker for programs this check saw for the first time.
// The user checks rows and adds them all with "btn_append", or adds one row at once with
// its "btn_open"; two more buttons leave for the window picker and the record dialog.
//
// The dialog shows at once. While the automatic check is still running it shows the
// loading artwork and polls from a timer (the UI thread never waits for the check), then
// fills itself; a record list that is busy for more than 100 ms is retried from the same
// timer. Closing it while it waits is allowed.
#pragma once

#include <windows.h>

#include <vector>

#include "monitor/BlockRecord.h"
#include "rules/AutoCheck.h"
#include "rules/PopupRule.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DialogWnd.h"

namespace winhush::monitor {
class CWndMgr;
}
namespace winhush::dui {
class CListUI;
class CLabelUI;
}  // namespace winhush::dui

namespace winhush::ui {

inline constexpr wchar_t kInRuleLayout[] = L"dlg_in_rule.xml";
// The window's title (not drawn): how automation and accessibility tools find it.
inline constexpr wchar_t kInRuleCaption[] = L"Zelvane-规则列表";
inline constexpr wchar_t kInRuleTitleFound[] = L"当前可以拦截以下弹窗程序";
inline constexpr wchar_t kInRuleTitleNone[] = L"自动检测未发现可拦截的弹窗";
inline constexpr wchar_t kSelectAllText[] = L"全  选";
inline constexpr wchar_t kUnselectAllText[] = L"取消全选";

// The rules not yet decided on (no record with their hash and status 1 or 2), as
// candidates, newly seen programs first.
std::vector<monitor::BlockRecord> BuildCandidates(const std::vector<rules::PopupRule>& rules,
                                                  const std::vector<monitor::BlockRecord>& decided);

class CInRuleDlg : public CDuiDialogWnd<CInRuleDlg, ThreadLoopEntry::Registered>,
                   public CWndWithLace<CInRuleDlg>,
                   public CWndWithLock<CInRuleDlg>,
                   public CIdleHandler {
public:
    static constexpr UINT_PTR kWaitTimer = 1;
    static constexpr UINT kWaitPeriodMs = 40;  // one frame of the loading strip
    static constexpr int kLoadingFrames = 69;

    // The record store and the check it reads; the program's own by default.
    explicit CInRuleDlg(monitor::CWndMgr* store = nullptr, rules::CAutoCheck* check = nullptr);

    const wchar_t* GetSkinFile() override { return kInRuleLayout; }
    LRESULT HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnNotify(TNotifyUI& msg) override;
    void OnLayoutInit() override;
    CControlUI* CreateControl(const wchar_t* className) override;
    BOOL OnIdle() override { return FALSE; }

    bool IsWaiting() const { return waiting_; }
    const std::vector<monitor::BlockRecord>& Candidates() const { return candidates; }
    dui::CListUI* List() const { return list; }

private:
    // Takes the check's result and the decided records when both are to be had, and fills
    // the list; false while either is still missing.
    bool TryBuild();
    void SetWaiting(bool waiting);
    void LoadingStep();
    void FillList();
    void UpdateTitleAndButtons();
    void UpdateButtons();
    // The candidate index of the row holding `control`, or -1.
    int RowIndexOf(CControlUI* control) const;
    void AddOne(CControlUI* sender);
    void AddChecked();
    void StoreCandidate(monitor::BlockRecord& candidate);
    void HandOff(WORD command);

    monitor::CWndMgr& store_;
    rules::CAutoCheck& check_;
    dui::CListUI* list = nullptr;
    std::vector<monitor::BlockRecord> candidates;
    std::vector<rules::PopupRule> rules_;  // the check's result, once it was had
    bool haveRules_ = false;
    bool waiting_ = false;
    dui::CLabelUI* loadLabel_ = nullptr;
    int loadingFrame_ = 0;
};

}  // namespace winhush::ui
