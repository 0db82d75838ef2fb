// Photographs the rule list over the locked main window: several rows (a newly seen
// program, names too long for the row, every corner), some unchecked, the waiting state
// while the automatic check still runs, and the empty state.
//
//   inrule_shots.exe <resource folder> <output folder> [rules-list|rules-unchecked|rules-waiting|rules-empty ...]
#include <windows.h>

#include "DialogShotSession.h"
#include "rules/AutoCheck.h"
#include "ui/dialogs/InRuleDlg.h"
#include "ui/dui/UIList.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

std::wstring WindowsFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    ::GetWindowsDirectoryW(folder, MAX_PATH);
    std::wstring path = std::wstring(folder) + L"\\" + name;
    ::CharUpperW(path.data());
    return path;
}

rules::PopupRule Rule(const std::wstring& name, const std::wstring& path, int pos, int width, bool isNew) {
    rules::PopupRule rule;
    rule.displayName = name;
    rule.filePath = path;
    rule.className = L"AdPopupWnd";
    rule.position = pos;
    rule.width = width;
    rule.height = 300;
    rule.isNew = isNew ? 1 : 0;
    return rule;
}

std::vector<rules::PopupRule> SomeRules() {
    return {
        Rule(L"极速看图 每日精选推荐", WindowsFile(L"NOTEPAD.EXE"), 5, 320, false),
        Rule(L"云盘助手 会员到期提醒", WindowsFile(L"REGEDIT.EXE"), 3, 480, false),
        Rule(L"超级音乐播放器(64位) 右下角热门歌单与每日新闻资讯推送弹窗，名称很长会被截断", WindowsFile(L"WINHLP32.EXE"),
             4, 360, true),
        Rule(L"压缩大师 广告弹窗", WindowsFile(L"EXPLORER.EXE"), 2, 300, false),
        Rule(L"输入法皮肤盒子", L"C:\\PROGRAM FILES\\SKINBOX\\SKINBOX.EXE", 0, 400, false),
        Rule(L"PDF 阅读器 升级提示", WindowsFile(L"HH.EXE"), 1, 420, false),
    };
}

RECT Area(shots::DialogShotSession& session, CInRuleDlg& dialog) {
    return shots::Union(session.MainArea(), shots::WithLace(dialog));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    shots::DialogShotSession session;
    if (!session.Start(argc, argv, L"inrule_shots")) return 2;

    rules::CAutoCheck check;
    check.done = 1;
    check.rules = SomeRules();

    if (session.Wanted(L"rules-list")) {
        CInRuleDlg dialog(nullptr, &check);
        if (session.Open(dialog)) {
            session.Pump(600ms);
            if (dialog.Candidates().size() != check.rules.size()) session.Fail(L"rules-list: not every rule is offered");
            session.Shoot(L"rules-list", Area(session, dialog));
        }
        session.Close(dialog);
    }
    if (session.Wanted(L"rules-unchecked")) {
        CInRuleDlg dialog(nullptr, &check);
        if (session.Open(dialog)) {
            // Two rows unchecked by the user: "全  选" comes back, "添加拦截" stays enabled.
            for (int row : {1, 3}) {
                dui::CControlUI* item = dialog.List() ? dialog.List()->GetItemAt(row) : nullptr;
                auto* option = item ? dynamic_cast<dui::COptionUI*>(dialog.m_pm.FindSubControlByName(item, L"opt_check"))
                                    : nullptr;
                if (option) option->Selected(false, true);
            }
            session.Pump(500ms);
            session.Shoot(L"rules-unchecked", Area(session, dialog));
        }
        session.Close(dialog);
    }
    if (session.Wanted(L"rules-waiting")) {
        rules::CAutoCheck running;  // not done yet
        CInRuleDlg dialog(nullptr, &running);
        if (session.Open(dialog)) {
            session.Pump(700ms);
            if (!dialog.IsWaiting()) session.Fail(L"rules-waiting: the dialog does not wait");
            session.Shoot(L"rules-waiting", Area(session, dialog));
        }
        session.Close(dialog);
    }
    if (session.Wanted(L"rules-empty")) {
        rules::CAutoCheck nothing;
        nothing.done = 1;
        CInRuleDlg dialog(nullptr, &nothing);
        if (session.Open(dialog)) {
            session.Pump(500ms);
            session.Shoot(L"rules-empty", Area(session, dialog));
        }
        session.Close(dialog);
    }
    return session.Finish();
}
