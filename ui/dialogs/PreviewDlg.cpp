#include "ui/dialogs/PreviewDlg.h"

#include <algorithm>

#include "base/Strings.h"
#include "ui/dialogs/WindowReuse.h"

namespace winhush::ui {

bool CPreviewDlg::CreateHidden() {
    if (IsWindow()) return true;
    preview_ = nullptr;
    currentImage_.clear();
    if (!Create(nullptr, rcDefault, nullptr, kMainWindowStyle, WS_EX_TOOLWINDOW)) return false;
    if (!IsLayoutLoaded()) {
        DestroyWindow();
        return false;
    }
    return preview_ != nullptr;
}

LRESULT CPreviewDlg::HandleMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/, BOOL& handled) {
    if (message == WM_CREATE) {
        preview_ = m_pm.FindControl(L"preview");
        // A disabled window gets neither clicks nor keys, so the preview can sit under the
        // pointer without stealing the hover from the list it belongs to.
        EnableWindow(false);
    } else if (message == WM_DESTROY) {
        preview_ = nullptr;
    }
    handled = FALSE;
    return 0;
}

void CPreviewDlg::OnFinalMessage(HWND /*hwnd*/) {
    if (!shownPath_.empty()) m_pm.RemoveImage(shownPath_.c_str());
    preview_ = nullptr;
    currentImage_.clear();
    shownPath_.clear();
    shownStamped_ = false;
    ResetManagerForNextWindow(m_pm);
}

RECT CPreviewDlg::FitImage(const std::wstring& imagePath) {
    RECT fit{};
    if (!preview_) return fit;
    // Before the first paint the control has no position yet; its fixed size is what the
    // layout gives the preview area.
    const RECT& pos = preview_->GetPos();
    int areaWidth = pos.right > pos.left ? static_cast<int>(pos.right - pos.left) : preview_->GetFixedWidth();
    int areaHeight = pos.bottom > pos.top ? static_cast<int>(pos.bottom - pos.top) : preview_->GetFixedHeight();
    const dui::TImageInfo* image = m_pm.GetImageEx(imagePath.c_str());
    if (!image || image->nX <= 0 || image->nY <= 0 || areaWidth <= 0 || areaHeight <= 0) return fit;

    // Pixels of the screen: one screenshot pixel per screen pixel unless it does not fit.
    int width = image->nX;
    int height = image->nY;
    if (width > areaWidth || height > areaHeight) {
        // Compare the two scale factors as cross products to stay in integers.
        if (static_cast<long long>(areaWidth) * height <= static_cast<long long>(areaHeight) * width) {
            height = std::max(1, static_cast<int>(static_cast<long long>(height) * areaWidth / width));
            width = areaWidth;
        } else {
            width = std::max(1, static_cast<int>(static_cast<long long>(width) * areaHeight / height));
            height = areaHeight;
        }
    }
    int left = (areaWidth - width) / 2;
    int top = (areaHeight - height) / 2;
    // The engine scales "dest" from layout units by the window's DPI.
    const int dpi = static_cast<int>(m_pm.GetDPI() ? m_pm.GetDPI() : 96);
    fit.left = ::MulDiv(left, 96, dpi);
    fit.top = ::MulDiv(top, 96, dpi);
    fit.right = ::MulDiv(left + width, 96, dpi);
    fit.bottom = ::MulDiv(top + height, 96, dpi);
    return fit;
}

namespace {
bool LastWriteTime(const std::wstring& path, FILETIME* time) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    *time = data.ftLastWriteTime;
    return true;
}
}  // namespace

POINT PreviewPositionBeside(POINT wanted, const RECT& labelOnScreen, SIZE card, const RECT& shadowMargins,
                            const RECT& workArea) {
    POINT at = wanted;
    if (at.x + card.cx + shadowMargins.right > workArea.right) {
        LONG left = labelOnScreen.left - shadowMargins.right - card.cx;
        if (left - shadowMargins.left >= workArea.left) at.x = left;
    }
    if (at.y + card.cy + shadowMargins.bottom > workArea.bottom) {
        at.y = std::max(workArea.top + shadowMargins.top, workArea.bottom - shadowMargins.bottom - card.cy);
    }
    return at;
}

void CPreviewDlg::ShowBeside(const std::wstring& imagePath, const RECT& labelOnScreen) {
    if (imagePath.empty() || !IsWindow()) return;
    POINT wanted{labelOnScreen.right + LeftLaceMargin(), (labelOnScreen.top + labelOnScreen.bottom) / 2};
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    SIZE card{window.right - window.left, window.bottom - window.top};
    const CWndLace& lace = GetLace();
    RECT margins{lace.left, lace.top, lace.right, lace.bottom};
    MONITORINFO monitor{sizeof(monitor)};
    POINT at = wanted;
    if (::GetMonitorInfoW(::MonitorFromPoint(wanted, MONITOR_DEFAULTTONEAREST), &monitor))
        at = PreviewPositionBeside(wanted, labelOnScreen, card, margins, monitor.rcWork);
    ShowAt(imagePath, at.x, at.y);
}

void CPreviewDlg::ShowAt(const std::wstring& imagePath, int x, int y) {
    if (imagePath.empty() || !IsWindow()) return;
    // The list asks again on every mouse move over the same count label: while that picture
    // is up and its file unchanged there is nothing to read again.
    FILETIME written{};
    bool stamped = LastWriteTime(imagePath, &written);
    bool unchanged = IsWindowVisible() && stamped && shownStamped_ && imagePath == shownPath_ &&
                     ::CompareFileTime(&written, &shownWritten_) == 0;
    if (!unchanged) {
        // The file is rewritten under the same name after every block; the cache would keep
        // showing the first picture it read.
        m_pm.RemoveImage(imagePath.c_str());
        if (preview_) {
            // Double quotes cannot occur in a Windows path, single quotes and '=' can.
            std::wstring image = L"file=\"" + imagePath + L"\"";
            RECT dest = FitImage(imagePath);
            if (dest.right > dest.left && dest.bottom > dest.top) {
                image += FormatW(L" dest='%ld,%ld,%ld,%ld'", dest.left, dest.top, dest.right, dest.bottom);
            }
            // The engine ignores setting the same image string again; the blank forces the
            // control to take the reloaded picture.
            preview_->SetBkImage(L" ");
            preview_->SetBkImage(image.c_str());
            currentImage_ = image;
        }
        // Only the picture on show stays decoded: hovering row after row of a long list
        // would otherwise keep every screenshot it ever showed until the program ends.
        if (!shownPath_.empty() && shownPath_ != imagePath) m_pm.RemoveImage(shownPath_.c_str());
        shownPath_ = imagePath;
        shownWritten_ = written;
        shownStamped_ = stamped;
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE);
}

void CPreviewDlg::Hide() {
    if (IsWindow()) ShowWindow(SW_HIDE);
}

int CPreviewDlg::LeftLaceMargin() { return GetLace().left; }

void CPreviewDlg::DestroyPreview() {
    if (IsWindow()) DestroyWindow();
    preview_ = nullptr;
}

CPreviewDlg& PreviewWindow() {
    static CPreviewDlg preview;
    return preview;
}

}  // namespace winhush::ui
