#include "ui/dialogs/DialogRunners.h"

namespace winhush::ui {

void RegisterDialogRunners() {
    RegisterRuleListRunner();
    RegisterLocateRunner();
    RegisterRecordRunner();
    RegisterSettingsRunner();
}

}  // namespace winhush::ui
