#include "ui/controls/SlideOption.h"

// objidl.h declares what gdiplus.h uses.
// clang-format off
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <algorithm>

#include "ui/dui/UIParse.h"

namespace winhush::ui {

using namespace winhush::dui;

namespace {
constexpr const wchar_t* kAnimationStop = L"animation_stop";
}

CSlideOption::CSlideOption() : CUIAnimation(this) {}

LPCTSTR CSlideOption::GetClass() const { return L"SlideOption"; }

LPVOID CSlideOption::GetInterface(LPCTSTR name) {
    if (name && wcscmp(name, L"SlideOption") == 0) return static_cast<CSlideOption*>(this);
    return COptionUI::GetInterface(name);
}

bool CSlideOption::IsSwitching() const {
    return IsAnimationRunning(kAnimationToOff) || IsAnimationRunning(kAnimationToOn);
}

CDuiString CSlideOption::FrameSpec(const CDuiString& file, int frame) const {
    if (file.empty()) return CDuiString();
    CDuiString imageText;
    if (frameWidth <= 0 || frameHeight <= 0) {
        // No frame geometry: the file is one picture.
        imageText.Format(L"file='%s'", file.c_str());
        return imageText;
    }
    frame = std::max(frame, 0);
    imageText.Format(L"file='%s' source='%d,%d,%d,%d'", file.c_str(), frame * frameWidth, 0, (frame + 1) * frameWidth,
                frameHeight);
    return imageText;
}

void CSlideOption::ApplyRestingImages() {
    foreSource_ = IsSelected() ? 1 : 0;
    foreImageSpec = FrameSpec(IsSelected() ? foreImage1 : foreImage0, 0);
    // The last frame is where the slide to "off" ends; the resting "off" picture is the
    // one before it.
    switchImageSpec = FrameSpec(stripImage, IsSelected() ? 0 : frameCount - 2);
}

void CSlideOption::DoInit() {
    COptionUI::DoInit();
    bool on = IsSelected();
    text_ = on ? text1 : text0;
    textRect = on ? textRect1 : textRect0;
    foreSource_ = on ? 1 : 0;
    foreImageSpec = FrameSpec(on ? foreImage1 : foreImage0, 0);
    switchImageSpec = FrameSpec(stripImage, on ? 0 : frameCount - 1);
    textAlpha = 255;
}

bool CSlideOption::Activate() {
    // A second activation while the strip still moves (a key press; the mouse is already
    // shut out) would start the opposite slide on top of the running one.
    if (IsSwitching()) return false;
    if (!IsVisible() || !IsEnabled()) return false;
    int id = IsSelected() ? kAnimationToOff : kAnimationToOn;
    bool started = frameCount > 1 && StartAnimation(elapse, frameCount - 1, id, false);
    // Without a running slide nothing would ever give the mouse back.
    if (started) SetMouseEnabled(false);
    if (!COptionUI::Activate()) {
        if (started) {
            StopAnimation(id);
            SetMouseEnabled(true);
        }
        return false;
    }
    return true;
}

void CSlideOption::DoEvent(TEventUI& event) {
    COptionUI::DoEvent(event);
    if (event.Type == UIEVENT_TIMER &&
        (event.wParam == static_cast<WPARAM>(kAnimationToOff) || event.wParam == static_cast<WPARAM>(kAnimationToOn))) {
        OnAnimationElapse(static_cast<int>(event.wParam));
    }
}

void CSlideOption::OnAnimationStep(int totalFrame, int currentFrame, int animationId) {
    if (animationId != kAnimationToOff && animationId != kAnimationToOn) return;
    bool toOff = animationId == kAnimationToOff;
    const CDuiString& fore = toOff ? foreImage1 : foreImage0;
    const CDuiString& nextText = toOff ? text0 : text1;
    const RECT& nextRect = toOff ? textRect0 : textRect1;
    int k = fadeFrames;
    int remaining = totalFrame - currentFrame;
    if (k < 2) {
        // Too few frames to fade over: the caption changes at once.
        textAlpha = 255;
        text_ = nextText;
        textRect = nextRect;
    } else {
        if (currentFrame < k) {
            textAlpha = 255 - currentFrame * 255 / (k - 1);
        } else {
            text_.Empty();
        }
        if (remaining < k) {
            textAlpha = 255 - remaining * 255 / (k - 1);
            text_ = nextText;
            textRect = nextRect;
        }
    }
    foreSource_ = toOff ? 1 : 0;
    foreImageSpec = FrameSpec(fore, currentFrame);
    // Forwards to the off end, backwards to the on end.
    switchImageSpec = FrameSpec(stripImage, toOff ? currentFrame : remaining);
    Invalidate();
}

void CSlideOption::OnAnimationStop(int animationId) {
    if (animationId != kAnimationToOff && animationId != kAnimationToOn) return;
    textAlpha = 255;
    // Mouse back first: a handler of the notification may rebuild the row holding us.
    SetMouseEnabled(true);
    Invalidate();
    if (manager_) manager_->SendNotify(this, kAnimationStop, static_cast<WPARAM>(animationId));
}

void CSlideOption::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (!name || !value) return;
    std::wstring n = name;
    int number;
    RECT rc;
    if (n == L"bkimage") {
        stripImage = value;
        Invalidate();
    } else if (n == L"ellapse" || n == L"elapse") {
        if (detail::ParseInt(value, number)) elapse = number;
    } else if (n == L"framecount") {
        if (detail::ParseInt(value, number)) frameCount = number;
    } else if (n == L"framewidth") {
        if (detail::ParseInt(value, number)) frameWidth = number;
    } else if (n == L"frameheight") {
        if (detail::ParseInt(value, number)) frameHeight = number;
    } else if (n == L"framekey") {
        if (detail::ParseInt(value, number)) fadeFrames = number;
    } else if (n == L"foreimage0") {
        foreImage0 = value;
    } else if (n == L"foreimage1") {
        foreImage1 = value;
    } else if (n == L"text0") {
        text0 = value;
    } else if (n == L"text1") {
        text1 = value;
    } else if (n == L"textpadding0") {
        if (detail::ParseRect(value, rc)) textRect0 = rc;
    } else if (n == L"textpadding1") {
        if (detail::ParseRect(value, rc)) textRect1 = rc;
    } else {
        COptionUI::SetAttribute(name, value);
    }
}

void CSlideOption::PaintStatusImage(HDC hDC) {
    if (!IsSwitching()) ApplyRestingImages();
    if (!switchImageSpec.empty() && !DrawImage(hDC, switchImageSpec.c_str())) {
        // A strip that cannot be loaded is not looked up again on every paint.
        stripImage.Empty();
        switchImageSpec.Empty();
    }
    if (!foreImageSpec.empty() && !DrawImage(hDC, foreImageSpec.c_str())) {
        (foreSource_ == 1 ? foreImage1 : foreImage0).Empty();
        foreImageSpec.Empty();
    }
    // Optional overlays of the layout for hover and keyboard focus.
    if (IsEnabled() && !IsSwitching()) {
        if ((buttonState_ & UISTATE_HOT) && !hotImage_.empty()) {
            DrawImage(hDC, hotImage_.c_str());
        } else if (IsFocused() && !focusedImage_.empty()) {
            DrawImage(hDC, focusedImage_.c_str());
        }
    }
}

void CSlideOption::PaintText(HDC hDC) {
    if (!IsSwitching()) {
        text_ = IsSelected() ? text1 : text0;
        textRect = IsSelected() ? textRect1 : textRect0;
    }
    if (text_.empty() || !manager_ || textAlpha <= 0) return;
    RECT insets = DpiScale(textRect);
    float left = static_cast<float>(rcItem_.left + insets.left);
    float top = static_cast<float>(rcItem_.top + insets.top);
    float width = static_cast<float>(rcItem_.right - insets.right) - left;
    float height = static_cast<float>(rcItem_.bottom - insets.bottom) - top;
    if (width <= 0 || height <= 0) return;

    DWORD color = textColor_ ? textColor_ : manager_->GetDefaultFontColor();
    if (!IsEnabled()) color = disabledTextColor_ ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
    // The colour is ARGB as written in the layout; its own alpha scales the fade.
    BYTE alpha = static_cast<BYTE>(std::clamp(textAlpha, 0, 255) * ((color >> 24) & 0xFF) / 255);
    if (alpha == 0) return;

    detail::EnsureGdiplus();
    Gdiplus::Graphics graphics(hDC);
    Gdiplus::Font font(hDC, manager_->GetFont(GetFont()));
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    format.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    Gdiplus::SolidBrush brush(Gdiplus::Color(alpha, static_cast<BYTE>((color >> 16) & 0xFF),
                                             static_cast<BYTE>((color >> 8) & 0xFF), static_cast<BYTE>(color & 0xFF)));
    Gdiplus::RectF layout(left, top, width, height);
    graphics.DrawString(text_.c_str(), -1, &font, layout, &format, &brush);
}

}  // namespace winhush::ui
