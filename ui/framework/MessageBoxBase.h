// The program's message box: a small framed window whose layout carries the wording and
// the buttons, run modally over its owner. "btn_ok" answers 1; "btn_cancel", the close
// button ("sysclosebutton"), Escape and any other way of closing answer 2. Callers act only
// on 1. Dialogs that are "a message box with more in it" derive from it.
#pragma once

#include <string>

#include "ui/framework/DialogWnd.h"

namespace winhush::ui {

class CMessageBoxBase : public CDuiDialogWnd<CMessageBoxBase> {
public:
    static constexpr int kConfirmed = 1;
    static constexpr int kDeclined = 2;

    // Hooks besides OnLayoutInit.
    virtual void OnReturn() {}  // Enter in an edit of the layout
    virtual void OnClick(TNotifyUI& msg);
    // Shows the layout as a box owned by `owner`, centred over it, and returns the answer;
    // 2 at once, showing nothing, without a layout name.
    virtual int Run(HWND owner, const wchar_t* layout);
    const wchar_t* GetSkinFile() override { return skinFile.c_str(); }

    void OnNotify(TNotifyUI& msg) override;
    // Escape answers like the close button, as in every Windows message box.
    void OnEscape() override;

    std::wstring skinFile;
    int result = kDeclined;
};

}  // namespace winhush::ui
