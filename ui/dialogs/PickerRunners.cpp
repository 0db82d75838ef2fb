#include "ui/dialogs/PickerRunners.h"

#include "ui/dialogs/LocateDlg.h"
#include "ui/dialogs/RecordDlg.h"
#include "ui/main/MainDlg.h"

namespace winhush::ui {

void RegisterPickerRunners() {
    SetDialogRunner(MainDialog::Locate, [](HWND owner) {
        CLocateDlg dialog;
        dialog.Run(owner);
    });
    SetDialogRunner(MainDialog::Records, [](HWND owner) {
        CRecordDlg dialog;
        dialog.Run(owner);
    });
}

}  // namespace winhush::ui
