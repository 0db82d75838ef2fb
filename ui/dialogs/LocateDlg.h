// The window picker: a small modal dialog whose crosshair the user drags onto any window on
// screen. While the drag lasts the picker and the main window are out of the way, the
// mouse is captured and the top-level window under the pointer is outlined; releasing the
// button over a window takes its snapshot and picture and asks for confirmation
// (CAddConfirmDlg); a confirmed window becomes a block decision and is hidden at once.
//
// The outline is drawn by inverting the screen's pixels, so drawing it twice removes it.
// The rectangle that was drawn is remembered and inverted again to erase it, as long as
// its window still stands there unchanged; a window that moved, resized, closed or was
// minimised under the outline has had its pixels replaced, and the screen there is
// repainted instead, so that no frame is ever left behind.
//
// The drag does not depend on the captured mouse messages alone: while it lasts, a short
// timer follows the pointer and the buttons as well. A capture can be taken away (another
// program's window coming to the front, a system dialog), and without it the release would
// never arrive and both windows would stay hidden.
//
// Everything runs with the process's per-monitor DPI awareness: the pointer, the window
// rectangles and the screen DC are all in physical pixels, so at any scaling the outline
// sits exactly on the window the pointer is over.
#pragma once

#include <windows.h>

#include <string>

#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "ui/framework/Companions.h"
#include "ui/framework/DialogWnd.h"

namespace winhush::ui {

inline constexpr wchar_t kLocateLayout[] = L"dlg_locate.xml";
inline constexpr UINT kCrosshairCursorId = 105;
// Outline width at 96 DPI; scaled with the screen's DPI so it reads the same at any scaling.
inline constexpr int kOutlineWidth = 3;
inline constexpr UINT_PTR kDragPollTimer = 7;
inline constexpr UINT kDragPollMs = 15;

// Inverts a frame of `width` pixels just inside `rect` (screen pixels) on the whole
// screen's DC. Calling it again with the same arguments restores the pixels.
void InvertFrame(const RECT& rect, int width);

// The top-level window that contains the screen point: the window under it, walked up
// through its parents while it is a child. INVALID_HANDLE_VALUE when any step of the walk
// meets something that is not a window.
HWND TopLevelWindowAt(POINT screen);
// The same at the pointer's position.
HWND WindowUnderCursor();

// Why a pick is ignored (the picker then simply stays open for another try).
enum class PickRefusal {
    None,
    SnapshotFailed,  // the window died, or its process or executable could not be read
    Minimised,
    OwnProcess,    // one of our own windows (a tip, the preview)
    SuiteProgram,  // a program of the suite's own program folder
};
// The pick rules, applied to a snapshot (window.pid, window.path, window.style).
PickRefusal CheckPick(const monitor::BlockRecord& record, bool snapshotTaken, const StartupConfig& config);

class CLocateDlg : public CDuiDialogWnd<CLocateDlg, ThreadLoopEntry::Registered>,
                   public CWndWithLock<CLocateDlg> {
public:
    CLocateDlg();
    ~CLocateDlg() override;

    const wchar_t* GetSkinFile() override { return kLocateLayout; }
    LRESULT HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
    void OnNotify(TNotifyUI& msg) override;
    void OnLayoutInit() override;
    // Escape during a drag is not the user closing the picker.
    bool ClosesOnEscape() const override { return !dragging_; }

    bool IsDragging() const { return dragging_; }
    // The window outlined now; null when idle, INVALID_HANDLE_VALUE at the start of a drag.
    HWND Target() const { return target_; }
    // What the last release over a window did.
    PickRefusal LastRefusal() const { return lastRefusal_; }

private:
    bool BeginDrag(POINT client);
    void PollDrag();
    void TrackDrag();
    // Ends the drag: outline off, capture and cursor released. The windows come back
    // separately (RestoreWindows), so that a pick can photograph its target first.
    void StopDrag();
    void RestoreWindows();
    void CancelDrag();
    void FinishDrag();
    void Pick(HWND window, monitor::BlockRecord& record);
    void SetOutline(HWND window);
    void EraseOutline();

    HWND target_ = nullptr;
    HCURSOR cursor_ = nullptr;
    bool dragging_ = false;
    bool outlined_ = false;
    RECT outline_{};
    HWND outlineWindow_ = nullptr;  // the window the outline was drawn around
    int outlineWidth_ = kOutlineWidth;
    HWND hiddenOwner_ = nullptr;  // the main window, when the drag hid it
    bool secondaryDown_ = false;  // the cancelling button went down during the drag
    POINT lastCursor_{};          // where the pointer was when the target was last looked up
    PickRefusal lastRefusal_ = PickRefusal::None;
};

}  // namespace winhush::ui
