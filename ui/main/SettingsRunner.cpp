// The settings dialog's runner.
#include "ui/main/DialogRunners.h"
#include "ui/dialogs/SettingDlg.h"
#include "ui/main/MainDlg.h"
#include "ui/framework/FramedDialog.h"

namespace winhush::ui {

void RegisterSettingsRunner() {
    SetDialogRunner(MainDialog::Settings, [](HWND owner) {
        CSettingDlg dialog;
        RunFramedDialog(dialog, owner);
    });
}

}  // namespace winhush::ui
