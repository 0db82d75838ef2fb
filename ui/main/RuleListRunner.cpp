// The rule list's runner: one dialog object per opening, run over the main window.
#include "ui/main/DialogRunners.h"
#include "ui/dialogs/InRuleDlg.h"
#include "ui/framework/FramedDialog.h"
#include "ui/main/MainDlg.h"

namespace winhush::ui {

void RegisterRuleListRunner() {
    SetDialogRunner(MainDialog::Rules, [](HWND owner) {
        CInRuleDlg dialog;
        RunFramedDialog(dialog, owner, kInRuleCaption);
    });
}

}  // namespace winhush::ui
