// The slide switch in a real window: the strip frames it rests on, the caption fade of a
// slide (frame by frame, including fade lengths the formula cannot divide by), the slide
// driven by the window's timers with the mouse shut out until "animation_stop", and the
// caption colour as the layout writes it.
#include <gtest/gtest.h>

#include "ControlHost.h"
#include "TestSupport.h"
#include "ui/controls/SlideOption.h"

namespace winhush::ui {
namespace {

using namespace std::chrono_literals;
using test::Canvas;
using test::CentreOf;
using test::ControlHost;

// Five frames, each one solid colour, so a pixel tells which frame is shown.
const std::vector<DWORD> kFrameColours = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFF00FF};
constexpr DWORD kRed = 0xFF0000, kYellow = 0xFFFF00, kMagenta = 0xFF00FF;

class SlideOptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        stripPath_ = temp_ / L"switch_strip.png";
        ASSERT_TRUE(test::WriteStrip(stripPath_, 20, 10, kFrameColours));
    }

    std::wstring Layout(const std::wstring& switchAttributes) const {
        return L"<Window><VerticalLayout><SlideOption name=\"opt_switch\" width=\"40\" height=\"20\" bkimage=\"" +
               stripPath_ + L"\" framecount=\"5\" framewidth=\"20\" frameheight=\"10\" " + switchAttributes +
               L"/><Control/></VerticalLayout></Window>";
    }

    winhush::test::ScopedTempDir temp_;
    std::wstring stripPath_;
};

TEST_F(SlideOptionTest, RestsOnTheFirstFrameWhenOnAndOnTheSecondToLastWhenOff) {
    ControlHost host;
    ASSERT_NE(host.Load(Layout(L"selected=\"true\"")), nullptr);
    auto* option = host.FindAs<CSlideOption>(L"opt_switch");
    ASSERT_NE(option, nullptr);
    {
        Canvas canvas(200, 100);
        canvas.PaintFrom(host.manager());
        EXPECT_EQ(canvas.At(5, 5), kRed);
    }
    option->Selected(false);
    Canvas canvas(200, 100);
    canvas.PaintFrom(host.manager());
    // Frame 3 of 5: the last frame is only where the slide ends.
    EXPECT_EQ(canvas.At(5, 5), kYellow);
    EXPECT_NE(canvas.At(5, 5), kMagenta);
}

// Expected caption alpha and text per frame of a slide from on to off over 10 frames
// (total 9) with a fade of 3 frames: 255 - c * 255 / 2 while fading out, nothing in the
// middle, 255 - r * 255 / 2 with r = 9 - c while fading in.
TEST_F(SlideOptionTest, FadesTheCaptionOutAndTheOtherStatesCaptionIn) {
    ControlHost host;
    ASSERT_NE(host.Load(Layout(L"selected=\"true\" text0=\"off\" text1=\"on\" textpadding0=\"1,2,3,4\" "
                               L"textpadding1=\"5,6,7,8\" framekey=\"3\"")),
              nullptr);
    auto* option = host.FindAs<CSlideOption>(L"opt_switch");
    struct Step {
        int alpha;
        const wchar_t* caption;
    };
    const Step expected[10] = {{255, L"on"}, {128, L"on"}, {0, L"on"},  {0, L""},      {0, L""},
                               {0, L""},     {0, L""},     {0, L"off"}, {128, L"off"}, {255, L"off"}};
    for (int c = 0; c <= 9; ++c) {
        option->OnAnimationStep(9, c, CSlideOption::kAnimationToOff);
        EXPECT_EQ(option->GetTextAlpha(), expected[c].alpha) << "frame " << c;
        EXPECT_EQ(option->GetText(), expected[c].caption) << "frame " << c;
    }
    EXPECT_EQ(option->GetTextRect().left, 1);
    EXPECT_EQ(option->GetTextRect().bottom, 4);
    // The strip runs forwards to the off end, and backwards to the on end.
    option->OnAnimationStep(4, 1, CSlideOption::kAnimationToOff);
    EXPECT_NE(option->GetSwitchImageSpec().find(L"source='20,0,40,10'"), std::wstring::npos);
    option->OnAnimationStep(4, 1, CSlideOption::kAnimationToOn);
    EXPECT_NE(option->GetSwitchImageSpec().find(L"source='60,0,80,10'"), std::wstring::npos);
    EXPECT_EQ(option->GetTextRect().left, 1) << "not yet in the fade-in frames";
    option->OnAnimationStep(4, 4, CSlideOption::kAnimationToOn);
    EXPECT_EQ(option->GetText(), L"on");
    EXPECT_EQ(option->GetTextRect().left, 5);
}

// A fade length below 2 has no frames to spread the fade over (the formula would divide
// by zero or a negative number): the caption changes at once, fully opaque.
TEST_F(SlideOptionTest, FadeShorterThanTwoFramesSwitchesTheCaptionAtOnce) {
    for (const wchar_t* key : {L"1", L"0", L"-3"}) {
        ControlHost host;
        ASSERT_NE(host.Load(Layout(std::wstring(L"text0=\"off\" text1=\"on\" framekey=\"") + key + L"\"")), nullptr);
        auto* option = host.FindAs<CSlideOption>(L"opt_switch");
        EXPECT_EQ(option->GetText(), L"off");
        option->OnAnimationStep(4, 0, CSlideOption::kAnimationToOn);
        EXPECT_EQ(option->GetText(), L"on") << "framekey " << key;
        EXPECT_EQ(option->GetTextAlpha(), 255) << "framekey " << key;
        option->OnAnimationStep(4, 2, CSlideOption::kAnimationToOn);
        EXPECT_EQ(option->GetText(), L"on") << "framekey " << key;
        EXPECT_EQ(option->GetTextAlpha(), 255) << "framekey " << key;
    }
}

TEST_F(SlideOptionTest, IgnoresClicksWhileSlidingAndTakesThemAgainAfterAnimationStop) {
    ControlHost host;
    ASSERT_NE(host.Load(Layout(L"ellapse=\"60\"")), nullptr);
    auto* option = host.FindAs<CSlideOption>(L"opt_switch");
    POINT centre = CentreOf(option);

    host.Click(centre);
    EXPECT_TRUE(option->IsSelected()) << "the state flips when the slide starts";
    EXPECT_TRUE(option->IsAnimationRunning(CSlideOption::kAnimationToOn));
    EXPECT_FALSE(option->IsAnimationRunning(CSlideOption::kAnimationToOff));
    EXPECT_FALSE(option->IsMouseEnabled());

    host.Click(centre);
    EXPECT_FALSE(option->Activate()) << "a key press during the slide";
    EXPECT_TRUE(option->IsSelected());
    EXPECT_EQ(host.NotesOf(L"click").size(), 1u);
    EXPECT_EQ(host.NotesOf(L"selectchanged").size(), 1u);

    ASSERT_TRUE(winhush::test::WaitUntil([&] { return !host.NotesOf(L"animation_stop").empty(); }, 5s));
    auto stops = host.NotesOf(L"animation_stop");
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].sender, L"opt_switch");
    EXPECT_EQ(stops[0].wParam, static_cast<WPARAM>(CSlideOption::kAnimationToOn));
    EXPECT_TRUE(option->IsMouseEnabled());
    EXPECT_FALSE(option->IsSwitching());

    // At rest again; the next click slides back with the other id.
    host.Click(centre);
    EXPECT_FALSE(option->IsSelected());
    EXPECT_TRUE(option->IsAnimationRunning(CSlideOption::kAnimationToOff));
    ASSERT_TRUE(winhush::test::WaitUntil([&] { return host.NotesOf(L"animation_stop").size() == 2u; }, 5s));
    EXPECT_EQ(host.NotesOf(L"click").size(), 2u);
}

// A switch that cannot slide (a single frame, no timer) still switches, and must not be
// left deaf to the mouse waiting for a stop that never comes.
TEST_F(SlideOptionTest, SwitchesWithoutSlidingWhenThereIsNothingToAnimate) {
    for (const wchar_t* attributes : {L"framecount=\"1\"", L"ellapse=\"0\""}) {
        ControlHost host;
        std::wstring layout = L"<Window><VerticalLayout><SlideOption name=\"opt_switch\" width=\"40\" height=\"20\" " +
                              std::wstring(attributes) + L"/><Control/></VerticalLayout></Window>";
        ASSERT_NE(host.Load(layout), nullptr);
        auto* option = host.FindAs<CSlideOption>(L"opt_switch");
        host.Click(CentreOf(option));
        EXPECT_TRUE(option->IsSelected()) << attributes;
        EXPECT_FALSE(option->IsSwitching()) << attributes;
        EXPECT_TRUE(option->IsMouseEnabled()) << attributes;
        host.Click(CentreOf(option));
        EXPECT_FALSE(option->IsSelected()) << attributes;
    }
}

// The caption colour is ARGB as the layout writes it; reading its bytes in the wrong
// order would paint a blue caption red.
TEST_F(SlideOptionTest, PaintsTheCaptionInTheLayoutsColour) {
    ControlHost host;
    ASSERT_NE(
        host.Load(L"<Window><Font name=\"Tahoma\" size=\"28\" bold=\"true\"/><VerticalLayout>"
                  L"<SlideOption name=\"opt_switch\" width=\"160\" height=\"48\" bkcolor=\"#FFFFFFFF\" font=\"0\" "
                  L"textcolor=\"#FF0000FF\" text1=\"HHHH\" selected=\"true\"/><Control/></VerticalLayout></Window>"),
        nullptr);
    Canvas canvas(200, 100);
    canvas.PaintFrom(host.manager());
    // The most strongly coloured pixel of the caption.
    DWORD darkest = 0xFFFFFF;
    int best = 3 * 255;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 160; ++x) {
            DWORD c = canvas.At(x, y);
            int sum =
                static_cast<int>((c >> 16) & 0xFF) + static_cast<int>((c >> 8) & 0xFF) + static_cast<int>(c & 0xFF);
            if (sum < best) {
                best = sum;
                darkest = c;
            }
        }
    }
    ASSERT_NE(darkest, 0xFFFFFFu) << "no caption was drawn";
    EXPECT_GT(darkest & 0xFF, 0xC0u) << std::hex << darkest;
    EXPECT_LT((darkest >> 16) & 0xFF, 0x40u) << std::hex << darkest;
}

}  // namespace
}  // namespace winhush::ui
