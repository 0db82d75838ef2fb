// The rule list's runner. Until its dialog exists nothing is registered, and the main window
// drops a request for it without a lock.
#include "ui/dialogs/DialogRunners.h"

namespace winhush::ui {

void RegisterRuleListRunner() {}

}  // namespace winhush::ui
