#include "app/UiResources.h"

#include "ui/dui/UIManager.h"

namespace winhush {

void SetUpUiResources(HINSTANCE instance) {
    using dui::CPaintManagerUI;
    CPaintManagerUI::SetInstance(instance);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath().c_str());
    // Read once and kept in memory; a missing archive shows up as the first layout that
    // cannot be built, which ends the program.
    CPaintManagerUI::SetResourceZip(L"Winhush.ui", true);
}

}  // namespace winhush
