// The factories: layout tags of the program's own controls in any letter case, the menu
// factory knowing only the switch, and every other tag left to the engine.
#include <gtest/gtest.h>

#include <memory>

#include "ui/controls/ControlFactory.h"
#include "ui/controls/NativeCtrl.h"
#include "ui/controls/SlideOption.h"
#include "ui/controls/SplitButton.h"
#include "ui/controls/VirtualList.h"

namespace winhush::ui {
namespace {

template <class T>
bool Makes(dui::CControlUI* (*factory)(LPCTSTR), LPCTSTR name) {
    std::unique_ptr<dui::CControlUI> control(factory(name));
    return dynamic_cast<T*>(control.get()) != nullptr;
}

TEST(ControlFactory, CreatesTheProgramsControlsByTagNameInAnyCase) {
    EXPECT_TRUE(Makes<CNativeCtrl>(CreateCustomControl, L"NativeCtrl"));
    EXPECT_TRUE(Makes<CVListUI>(CreateCustomControl, L"VirtualList"));
    EXPECT_TRUE(Makes<CSplitButton>(CreateCustomControl, L"SPLITBUTTON"));
    EXPECT_TRUE(Makes<CSlideOption>(CreateCustomControl, L"slideoption"));
    EXPECT_EQ(CreateCustomControl(L"Button"), nullptr);
    EXPECT_EQ(CreateCustomControl(L"VirtualListUI"), nullptr);
    EXPECT_EQ(CreateCustomControl(nullptr), nullptr);

    EXPECT_TRUE(Makes<CSlideOption>(CreateMenuControl, L"SlideOption"));
    EXPECT_EQ(CreateMenuControl(L"VirtualList"), nullptr);
    EXPECT_EQ(CreateMenuControl(L"SplitButton"), nullptr);
}

}  // namespace
}  // namespace winhush::ui
