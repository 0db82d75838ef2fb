#include "ui/controls/ControlFactory.h"

#include "ui/controls/NativeCtrl.h"
#include "ui/controls/SlideOption.h"
#include "ui/controls/SplitButton.h"
#include "ui/controls/VirtualList.h"

namespace winhush::ui {

namespace {
bool SameName(LPCTSTR a, LPCTSTR b) { return a && ::lstrcmpiW(a, b) == 0; }
}  // namespace

dui::CControlUI* CreateCustomControl(LPCTSTR className) {
    if (SameName(className, L"NativeCtrl")) return new CNativeCtrl;
    if (SameName(className, L"VirtualList")) return new CVListUI;
    if (SameName(className, L"SplitButton")) return new CSplitButton;
    if (SameName(className, L"SlideOption")) return new CSlideOption;
    return nullptr;
}

dui::CControlUI* CreateMenuControl(LPCTSTR className) {
    if (SameName(className, L"SlideOption")) return new CSlideOption;
    return nullptr;
}

}  // namespace winhush::ui
