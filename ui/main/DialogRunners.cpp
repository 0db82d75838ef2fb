#include "ui/main/DialogRunners.h"

namespace winhush::ui {

void RegisterDialogRunners() {
    RegisterRuleListRunner();
    RegisterLocateRunner();
    RegisterRecordRunner();
    RegisterSettingsRunner();
}

}  // namespace winhush::ui
