#include "ui/dui/UIFileIcon.h"

#include <shellapi.h>

#include "ui/dui/UIRender.h"

namespace winhush::dui {

CFileIconUI::CFileIconUI() = default;
CFileIconUI::~CFileIconUI() { FreeIcon(); }

LPCTSTR CFileIconUI::GetClass() const { return L"FileIconUI"; }
LPVOID CFileIconUI::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"FileIcon") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CFileIconUI::FreeIcon() {
    icon_.reset();
    fallback_ = false;
}

void CFileIconUI::SetFilePath(LPCTSTR path) {
    path_ = path ? path : L"";
    LoadIconForSize();
    Invalidate();
}

CDuiString CFileIconUI::GetFilePath() const { return path_; }

void CFileIconUI::LoadIconForSize() {
    FreeIcon();
    int side = std::min(GetWidth(), GetHeight());
    if (side <= 0) side = std::min(GetFixedWidth(), GetFixedHeight());
    large_ = side > DpiScale(20);
    int size = side > 0 ? side : (large_ ? ::GetSystemMetrics(SM_CXICON) : ::GetSystemMetrics(SM_CXSMICON));
    if (!path_.empty() && ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
        // The executable's own icon at the size shown; other files get their shell icon.
        HICON icon = nullptr;
        UINT id = 0;
        if (::PrivateExtractIconsW(path_.c_str(), 0, size, size, &icon, &id, 1, 0) == 1 && icon) {
            icon_.reset(icon);
            return;
        }
        SHFILEINFOW info = {};
        if (::SHGetFileInfoW(path_.c_str(), 0, &info, sizeof(info),
                             SHGFI_ICON | (large_ ? SHGFI_LARGEICON : SHGFI_SMALLICON)) &&
            info.hIcon) {
            icon_.reset(info.hIcon);
            return;
        }
    }
    HICON shared = static_cast<HICON>(::LoadImageW(nullptr, MAKEINTRESOURCEW(32512) /* IDI_APPLICATION */,
                                                   IMAGE_ICON, size, size, LR_SHARED));
    icon_.reset(shared ? ::CopyIcon(shared) : nullptr);
    fallback_ = true;
}

void CFileIconUI::SetPos(RECT rc, bool needInvalidate) {
    int oldSide = std::min(GetWidth(), GetHeight());
    CControlUI::SetPos(rc, needInvalidate);
    int side = std::min(GetWidth(), GetHeight());
    if (side != oldSide && !path_.empty()) LoadIconForSize();
}

void CFileIconUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name && value && wcscmp(name, L"file") == 0) {
        SetFilePath(value);
        return;
    }
    CControlUI::SetAttribute(name, value);
}

void CFileIconUI::PaintBkImage(HDC hDC) {
    CControlUI::PaintBkImage(hDC);
    if (!icon_) return;
    int side = std::min(GetWidth(), GetHeight());
    if (side <= 0) return;
    int x = rcItem_.left + (GetWidth() - side) / 2;
    int y = rcItem_.top + (GetHeight() - side) / 2;
    ::DrawIconEx(hDC, x, y, icon_.get(), side, side, 0, nullptr, DI_NORMAL);
}

}  // namespace winhush::dui
