#include "ui/dialogs/AddConfirmDlg.h"

#include <algorithm>

#include "base/Strings.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UIEdit.h"
#include "ui/dui/UILabel.h"

namespace winhush::ui {

bool IsSystemWindow(const monitor::BlockRecord& record, const StartupConfig& config) {
    const std::wstring& path = record.window.path;
    if (!config.explorerPath.empty() && !path.empty() && ::lstrcmpiW(path.c_str(), config.explorerPath.c_str()) == 0)
        return true;
    const std::wstring& className = record.window.className;
    return std::find(config.systemClasses.begin(), config.systemClasses.end(), className) !=
           config.systemClasses.end();
}

RECT FitPicture(SIZE image, SIZE area) {
    RECT fit{};
    if (image.cx <= 0 || image.cy <= 0 || area.cx <= 0 || area.cy <= 0) return fit;
    long long width = image.cx, height = image.cy;
    if (width > area.cx || height > area.cy) {
        // The smaller of the two scale factors, compared as cross products.
        if (static_cast<long long>(area.cx) * height <= static_cast<long long>(area.cy) * width) {
            height = std::max(1LL, height * area.cx / width);
            width = area.cx;
        } else {
            width = std::max(1LL, width * area.cy / height);
            height = area.cy;
        }
    }
    fit.left = static_cast<LONG>((area.cx - width) / 2);
    fit.top = static_cast<LONG>((area.cy - height) / 2);
    fit.right = fit.left + static_cast<LONG>(width);
    fit.bottom = fit.top + static_cast<LONG>(height);
    return fit;
}

bool CAddConfirmDlg::Confirm(HWND parent, monitor::BlockRecord& record) {
    CAddConfirmDlg dialog;
    dialog.record = record;
    int answer = dialog.Run(parent, kAddConfirmLayout);
    if (answer == kDeclined) return false;
    record.name = dialog.record.name;
    return true;
}

void CAddConfirmDlg::OnLayoutInit() {
    if (auto* title = m_pm.FindControl(L"lab_title")) ::SetWindowTextW(m_hWnd, title->GetText().c_str());
    if (auto* name = dynamic_cast<dui::CLabelUI*>(m_pm.FindControl(L"lab_name"))) {
        name->SetText(record.name.c_str());
        name->SetToolTip(record.window.path.c_str());
    }
    if (record.recordCnt != 0) {
        if (auto* time = m_pm.FindControl(L"lab_time")) time->SetText(monitor::FormatBlockTime(record.timeRecord).c_str());
    } else if (auto* row = m_pm.FindControl(L"lay_time")) {
        row->SetVisible(false);
    }
    nameEdit_ = dynamic_cast<dui::CEditUI*>(m_pm.FindControl(L"edit_name"));
    if (nameEdit_) {
        nameEdit_->SetText(record.name.c_str());
        nameEdit_->SetSelAll();
    }
    CControlUI* preview = m_pm.FindControl(L"lab_preview");
    if (preview && !record.imagePath.empty()) {
        // The picture keeps its proportions inside the area and is never enlarged; its
        // pixels are screen pixels, the area's rectangle is in layout units.
        const RECT& pos = preview->GetPos();
        SIZE area{pos.right - pos.left, pos.bottom - pos.top};
        if (area.cx <= 0 || area.cy <= 0) area = SIZE{preview->GetFixedWidth(), preview->GetFixedHeight()};
        const int dpi = static_cast<int>(m_pm.GetDPI() ? m_pm.GetDPI() : 96);
        // One pixel of border stays visible around the picture.
        SIZE inner{std::max(0L, area.cx - ::MulDiv(2, dpi, 96)), std::max(0L, area.cy - ::MulDiv(2, dpi, 96))};
        std::wstring image = L"file=\"" + record.imagePath + L"\"";
        RECT fit = FitPicture(SIZE{record.window.width(), record.window.height()}, inner);
        if (fit.right > fit.left && fit.bottom > fit.top) {
            int border = ::MulDiv(1, dpi, 96);
            image += FormatW(L" dest='%d,%d,%d,%d'", ::MulDiv(fit.left + border, 96, dpi),
                             ::MulDiv(fit.top + border, 96, dpi), ::MulDiv(fit.right + border, 96, dpi),
                             ::MulDiv(fit.bottom + border, 96, dpi));
        }
        // The same file may have been rewritten since the engine last read it.
        m_pm.RemoveImage(record.imagePath.c_str());
        preview->SetBkImage(image.c_str());
    }
}

void CAddConfirmDlg::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    dui::CDuiString name = msg.pSender->GetName();
    if (name == L"sysclosebutton" || name == L"btn_cancel") {
        result = kDeclined;
        PostMessage(WM_CLOSE);
        return;
    }
    if (name != L"btn_ok") return;
    record.name = nameEdit_ ? std::wstring(nameEdit_->GetText()) : record.name;
    result = kConfirmed;
    if (IsSystemWindow(record, GetStartupConfig())) {
        CScopedLock<CAddConfirmDlg> lock(*this);
        CMessageBoxBase warning;
        if (warning.Run(m_hWnd, kSystemTipLayout) != kConfirmed) result = kDeclined;
    }
    PostMessage(WM_CLOSE);
}

LRESULT CAddConfirmDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    ForwardToLock(message, wParam, lParam);
    return CMessageBoxBase::HandleMessage(message, wParam, lParam, handled);
}

}  // namespace winhush::ui
