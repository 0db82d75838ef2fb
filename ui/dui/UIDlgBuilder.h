// CDialogBuilder: turns a layout (XML text, or a name looked up in the resources) into a
// control tree. The <Window> root configures the paint manager (size, caption, sizebox,
// roundcorner, min/max info, layered...), <Font>, <Image> and <Default> register
// resources with it, <Include> pulls in another layout, every other element becomes a
// control of the class named by its tag (or from the callback for tags the engine does
// not know). A malformed attribute value falls back to the attribute's default.
#pragma once

#include <memory>
#include <string>

#include "ui/dui/UIControl.h"

namespace winhush::dui {

class CDialogBuilder {
public:
    CDialogBuilder();
    ~CDialogBuilder();
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // xml: markup starting with '<' or a resource name. type is accepted for numeric
    // Win32 resources of that type. Returns the first top-level control, or null.
    CControlUI* Create(LPCTSTR xml, LPCTSTR type = nullptr, IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Builds the markup held from the last Create again (for item templates).
    CControlUI* Create(IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                       CControlUI* parent = nullptr);

    bool IsValid() const;
    // The last parse error, for diagnostics.
    void GetLastErrorMessage(LPTSTR message, SIZE_T max) const;
    void GetLastErrorLocation(LPTSTR source, SIZE_T max) const;

    // Creates an engine control for a tag name, null for unknown tags.
    static CControlUI* CreateBuiltinControl(LPCTSTR className);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace winhush::dui
