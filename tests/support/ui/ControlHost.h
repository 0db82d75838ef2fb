// A test host whose layouts are built with the program's control factory, so that they
// may hold the custom controls of ui/controls.
#pragma once

#include <string>

#include "UiTestSupport.h"
#include "ui/controls/ControlFactory.h"

namespace winhush::test {

class ControlHost : public TestHost {
public:
    using TestHost::TestHost;
    dui::CControlUI* Load(const std::wstring& xml) { return TestHost::Load(xml, &factory_); }
    dui::IDialogBuilderCallback* factory() { return &factory_; }

private:
    ui::CControlFactory factory_;
};

}  // namespace winhush::test
