// The screenshot preview: one borderless card, created hidden with the main window and shown
// beside a hovered count label (main window list, record dialog) with the screenshot of that
// row. It never takes input (the window is disabled) and is never activated, so hovering a
// list does not take focus from it. Screenshots are rewritten under the same name after each
// block, so every show drops the file from the image cache and reads it again; the cache
// holds the one picture on show, never the earlier ones.
#pragma once

#include <windows.h>

#include <string>

#include "ui/framework/Companions.h"
#include "ui/framework/DuiWindow.h"

namespace winhush::ui {

class CPreviewDlg : public CDuiFrameWndImpl<CPreviewDlg>, public CWndWithLace<CPreviewDlg> {
public:
    // Creates the window hidden, without parent; false when it or its layout failed.
    bool CreateHidden();
    // Shows the screenshot at `imagePath` with the card's top-left at the screen point
    // (x, y), size kept, not activated. An empty path does nothing. The file is read again
    // unless the same file, unchanged since, is already on show.
    void ShowAt(const std::wstring& imagePath, int x, int y);
    // Shows the screenshot beside a hovered label (screen rectangle): to its right with the
    // shadow touching it, level with its middle, kept on the label's monitor.
    void ShowBeside(const std::wstring& imagePath, const RECT& labelOnScreen);
    void Hide();
    // Width of the shadow on the card's left: callers add it so that the shadow, not the
    // card, touches the label the preview belongs to.
    int LeftLaceMargin();
    void DestroyPreview();

    const wchar_t* GetSkinFile() override { return L"dlg_preview.xml"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnFinalMessage(HWND hwnd) override;

    // The image string given to the "preview" control for the last ShowAt; empty before.
    const std::wstring& CurrentImage() const { return currentImage_; }

private:
    // The picture's rectangle inside the preview area: scaled down to fit with its
    // proportions kept, never enlarged, centred. In layout units relative to the control.
    RECT FitImage(const std::wstring& imagePath);

    CControlUI* preview_ = nullptr;
    std::wstring currentImage_;
    // The file the picture on show was read from, and its write time then.
    std::wstring shownPath_;
    FILETIME shownWritten_{};
    bool shownStamped_ = false;
};

// Top-left corner of a preview card of `card` size (window, without shadow) next to a label:
// `wanted` (right of the label) when the card and its shadow fit in the work area; otherwise
// left of the label when there is room there, and moved up to stay above the work area's
// bottom. The card never covers the label, which must keep getting the pointer's moves.
POINT PreviewPositionBeside(POINT wanted, const RECT& labelOnScreen, SIZE card, const RECT& shadowMargins,
                            const RECT& workArea);

// The program's one preview window.
CPreviewDlg& PreviewWindow();

}  // namespace winhush::ui
