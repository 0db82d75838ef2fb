// The control factories handed to CDialogBuilder: they create the program's own controls
// by their layout tag names and leave every other name to the engine. The windows that
// build lists use CControlFactory; the menus, which hold only switches, CMenuControlFactory.
#pragma once

#include "ui/dui/UIDefine.h"

namespace winhush::ui {

// "NativeCtrl", "VirtualList", "SplitButton" and "SlideOption", compared without regard to
// case; null for any other name.
dui::CControlUI* CreateCustomControl(LPCTSTR className);
// "SlideOption" only.
dui::CControlUI* CreateMenuControl(LPCTSTR className);

class CControlFactory : public dui::IDialogBuilderCallback {
public:
    dui::CControlUI* CreateControl(LPCTSTR className) override { return CreateCustomControl(className); }
};

class CMenuControlFactory : public dui::IDialogBuilderCallback {
public:
    dui::CControlUI* CreateControl(LPCTSTR className) override { return CreateMenuControl(className); }
};

}  // namespace winhush::ui
