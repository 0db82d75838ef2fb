// CSlideOption: the animated on/off switch of the per-window rows, the settings dialog and
// the menus. Its look comes from a horizontal strip of switch frames (frame 0 = on, the
// last frames = off) plus an optional foreground strip per state; a click slides the strip
// from one end to the other on the paint manager's timers while the caption fades out and
// the other state's caption fades in. The selection itself flips at the start of the
// slide, so owners read the new state at once; "animation_stop" tells them when the
// pictures have caught up.
#pragma once

#include "ui/dui/UIAnimation.h"
#include "ui/dui/UILabel.h"

namespace winhush::ui {

class CSlideOption : public dui::COptionUI, public dui::CUIAnimation {
public:
    // Animation ids, also the timer ids on the control.
    static constexpr int kAnimationToOff = 8;
    static constexpr int kAnimationToOn = 9;

    CSlideOption();

    LPCTSTR GetClass() const override;
    LPVOID GetInterface(LPCTSTR name) override;
    bool Activate() override;
    void DoInit() override;
    void DoEvent(dui::TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    void OnAnimationStep(int totalFrame, int currentFrame, int animationId) override;
    void OnAnimationStop(int animationId) override;

    bool IsSwitching() const;

    // What the next paint uses; for owners that draw the switch elsewhere and for tests.
    int GetTextAlpha() const { return textAlpha; }
    const RECT& GetTextRect() const { return textRect; }
    const dui::CDuiString& GetForeImageSpec() const { return foreImageSpec; }
    const dui::CDuiString& GetSwitchImageSpec() const { return switchImageSpec; }
    int GetFrameCount() const { return frameCount; }

private:
    // "file='...' source='...'" for frame `frame` of `file`; empty for an empty file name.
    dui::CDuiString FrameSpec(const dui::CDuiString& file, int frame) const;
    // The two image strings of the state at rest.
    void ApplyRestingImages();

    dui::CDuiString stripImage;
    int elapse = 40;
    int frameCount = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int fadeFrames = 3;
    dui::CDuiString foreImage0;
    dui::CDuiString foreImage1;
    dui::CDuiString text0;
    dui::CDuiString text1;
    RECT textRect0 = {};  // 96-DPI units
    RECT textRect1 = {};

    int textAlpha = 255;
    RECT textRect = {};
    dui::CDuiString foreImageSpec;
    dui::CDuiString switchImageSpec;
    int foreSource_ = 0;  // which foreground strip foreImageSpec shows: 0 off, 1 on
};

}  // namespace winhush::ui
