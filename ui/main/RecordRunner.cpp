// The record dialog's runner.
#include "ui/main/DialogRunners.h"
#include "ui/dialogs/RecordDlg.h"
#include "ui/framework/FramedDialog.h"
#include "ui/main/MainDlg.h"

namespace winhush::ui {

void RegisterRecordRunner() {
    SetDialogRunner(MainDialog::Records, [](HWND owner) {
        CRecordDlg dialog;
        RunFramedDialog(dialog, owner);
    });
}

}  // namespace winhush::ui
