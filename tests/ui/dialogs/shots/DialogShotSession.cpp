#include "DialogShotSession.h"

#include "TestSupport.h"
#include "rules/AutoCheck.h"

namespace winhush::ui::shots {

bool DialogShotSession::Start(int argc, wchar_t** argv, const wchar_t* program) {
    if (!MainWindowShots::Start(argc, argv, program, Phase::Normal, std::chrono::seconds(120))) return false;
    // The main window starts the automatic check; the shots set its result themselves.
    test::WaitUntil([] { return rules::AutoCheck().done.load() != 0; }, std::chrono::seconds(20));
    Pump(std::chrono::milliseconds(600));
    return true;
}

}  // namespace winhush::ui::shots
