// The window picker's runner.
#include "ui/main/DialogRunners.h"
#include "ui/dialogs/LocateDlg.h"
#include "ui/framework/FramedDialog.h"
#include "ui/main/MainDlg.h"

namespace winhush::ui {

void RegisterLocateRunner() {
    SetDialogRunner(MainDialog::Locate, [](HWND owner) {
        CLocateDlg dialog;
        RunFramedDialog(dialog, owner);
    });
}

}  // namespace winhush::ui
