// CFileIconUI: shows the shell icon of a file (typically an executable), small or large
// by the control's size, falling back to the generic program icon when the file has none
// or does not exist. The control owns its icon.
#pragma once

#include "base/Handles.h"
#include "ui/dui/UIControl.h"

namespace winhush::dui {

class CFileIconUI : public CControlUI {
public:
    CFileIconUI();
    ~CFileIconUI() override;

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    void SetFilePath(LPCTSTR path);
    CDuiString GetFilePath() const;
    HICON GetIcon() const { return icon_.get(); }
    bool IsFallbackIcon() const { return fallback_; }

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintBkImage(HDC hDC) override;

private:
    void LoadIconForSize();
    void FreeIcon();

    CDuiString path_;
    UniqueHIcon icon_;
    bool fallback_ = false;
    bool large_ = false;
};

}  // namespace winhush::dui
