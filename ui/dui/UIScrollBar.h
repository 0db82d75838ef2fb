// CScrollBarUI: a windowless scrollbar owned by a container (or standing alone, when it
// announces "scroll" itself). Two end buttons, a proportional thumb, page clicks on the
// track, auto-repeat while a button is held.
#pragma once

#include "ui/dui/UIControl.h"

namespace winhush::dui {

class CContainerUI;

class CScrollBarUI : public CControlUI {
public:
    CScrollBarUI();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;

    CContainerUI* GetOwner() const;
    void SetOwner(CContainerUI* pOwner);

    void SetVisible(bool visible = true) override;
    void SetEnabled(bool enable = true) override;
    void SetFocus() override;

    bool IsHorizontal() const;
    void SetHorizontal(bool horizontal = true);
    int GetScrollRange() const;
    void SetScrollRange(int range);
    int GetScrollPos() const;
    void SetScrollPos(int pos);
    int GetLineSize() const;  // pixels
    void SetLineSize(int size);  // 96-DPI units

    bool GetShowButton1() const { return showButton1_; }
    void SetShowButton1(bool show);
    bool GetShowButton2() const { return showButton2_; }
    void SetShowButton2(bool show);

    // Geometry after layout, in client pixels (for tests and owner drawing).
    const RECT& GetButton1Rect() const { return rcButton1_; }
    const RECT& GetButton2Rect() const { return rcButton2_; }
    const RECT& GetThumbRect() const { return rcThumb_; }

    void SetPos(RECT rc, bool needInvalidate = true) override;
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void DoPaint(HDC hDC, const RECT& rcPaint) override;

    void PaintBk(HDC hDC);
    void PaintButton1(HDC hDC);
    void PaintButton2(HDC hDC);
    void PaintThumb(HDC hDC);
    void PaintRail(HDC hDC);

    static constexpr int kDefaultThickness = 16;  // 96-DPI units

private:
    enum : UINT { kRepeatTimerId = 10 };
    void ScrollBy(int part, int direction);
    bool AnyImageOrColour() const;

    bool horizontal_ = false;
    int range_ = 100;
    int pos_ = 0;
    int lineSize_ = 8;
    CContainerUI* owner_ = nullptr;
    POINT lastMouse_ = {};
    int lastScrollPos_ = 0;
    int lastScrollOffset_ = 0;
    int scrollRepeatDelay_ = 0;
    bool showButton1_ = true;
    bool showButton2_ = true;
    RECT rcButton1_ = {};
    RECT rcButton2_ = {};
    RECT rcThumb_ = {};
    UINT button1State_ = 0;
    UINT button2State_ = 0;
    UINT thumbState_ = 0;
    DWORD thumbColor_ = 0;
    DWORD thumbHotColor_ = 0;
    DWORD railColor_ = 0;
    CDuiString images_[5][4];  // bk, button1, button2, thumb, rail x normal/hot/pushed/disabled
};

}  // namespace winhush::dui
