// Pixels: trees painted into a memory bitmap through the manager, as WM_PAINT does into
// its back buffer (PrintWindow is not reliable under Wine).
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "UiTestSupport.h"
#include "TestSupport.h"
#include "base/Handles.h"

namespace winhush::dui {
namespace {

using test::Canvas;
using winhush::test::ScopedTempDir;

constexpr DWORD kFill = 0x010203;

// A pixel and the colour it must have (0x00RRGGBB).
struct Probe {
    int x, y;
    DWORD colour;
};

void ExpectPixels(const Canvas& canvas, std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
        EXPECT_EQ(canvas.At(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
    }
}

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        CPaintManagerUI::SetResourcePath(dir_.path().c_str());
        CPaintManagerUI::SetResourceZip(L"");
    }
    void TearDown() override { CPaintManagerUI::SetResourcePath(L""); }

    // Builds the body inside a <Window> of the given size and paints it whole.
    void Paint(const std::wstring& body, int width, int height, Canvas& canvas, UINT dpi = 96) {
        manager_.SetDPI(dpi);
        std::wstring xml = L"<Window size=\"" + std::to_wstring(width) + L"," + std::to_wstring(height) + L"\">" + body +
                           L"</Window>";
        CDialogBuilder builder;
        CControlUI* root = builder.Create(xml.c_str(), nullptr, nullptr, &manager_, nullptr);
        ASSERT_NE(root, nullptr);
        manager_.AttachDialog(root);
        RECT all = {0, 0, canvas.width(), canvas.height()};
        manager_.PaintTo(canvas.dc(), all);
    }

    ScopedTempDir dir_;
    CPaintManagerUI manager_;
};

TEST_F(Render, BackgroundColourFillsExactlyTheControl) {
    Canvas canvas(100, 100);
    Paint(L"<Container><Control float=\"true\" pos=\"10,20,40,60\" bkcolor=\"#FF3366CC\"/></Container>", 100, 100, canvas);
    ExpectPixels(canvas, {{10, 20, 0x3366CC}, {39, 59, 0x3366CC}, {40, 59, kFill}, {39, 60, kFill}, {9, 20, kFill}});
}

TEST_F(Render, AColourWithoutAlphaDrawsNothingAndHalfAlphaBlends) {
    Canvas canvas(100, 50, RGB(0, 0, 0));
    Paint(L"<HorizontalLayout><Control bkcolor=\"#FF0000\"/><Control bkcolor=\"#80FFFFFF\"/></HorizontalLayout>", 100, 50,
          canvas);
    EXPECT_EQ(canvas.At(10, 10), 0x000000u);
    DWORD blended = canvas.At(60, 10);
    EXPECT_NEAR(static_cast<int>(blended & 0xFF), 128, 2);
}

TEST_F(Render, ChildrenAreClippedToTheirContainersClientArea) {
    Canvas canvas(100, 100);
    Paint(L"<Container><VerticalLayout float=\"true\" pos=\"0,0,50,50\" inset=\"5,5,5,5\">"
          L"<Control height=\"200\" bkcolor=\"#FF00FF00\"/></VerticalLayout></Container>",
          100, 100, canvas);
    EXPECT_EQ(canvas.At(10, 10), 0x00FF00u);
    EXPECT_EQ(canvas.At(10, 46), kFill);  // below the inset: clipped
    EXPECT_EQ(canvas.At(10, 70), kFill);  // outside the container
}

DWORD HalvesRedBlue(int x, int) { return x < 10 ? 0xFFFF0000 : 0xFF0000FF; }
DWORD HalvesGreenYellow(int x, int) { return x < 20 ? 0xFF00FF00 : 0xFFFFFF00; }

TEST_F(Render, AnImageIsDrawnFromItsSourceRectangle) {
    ASSERT_TRUE(test::WritePng(dir_ / L"halves.png", 20, 10, HalvesRedBlue));
    Canvas canvas(60, 30);
    Paint(L"<HorizontalLayout><Control width=\"30\" bkimage=\"file='halves.png' source='10,0,20,10'\"/>"
          L"<Control width=\"30\" bkimage=\"halves.png\"/></HorizontalLayout>",
          60, 30, canvas);
    EXPECT_EQ(canvas.At(2, 2), 0x0000FFu);   // only the blue half, stretched
    EXPECT_EQ(canvas.At(27, 27), 0x0000FFu);
    EXPECT_EQ(canvas.At(32, 5), 0xFF0000u);  // the whole image: red on the left
    EXPECT_EQ(canvas.At(57, 5), 0x0000FFu);
}

DWORD Frame(int x, int y) {
    bool border = x < 2 || y < 2 || x >= 8 || y >= 8;
    return border ? 0xFF000000 : 0xFFFFFFFF;
}

TEST_F(Render, NineGridCornersKeepTheirSizeWhileTheCentreStretches) {
    ASSERT_TRUE(test::WritePng(dir_ / L"frame.png", 10, 10, Frame));
    Canvas canvas(80, 40);
    Paint(L"<Control bkimage=\"file='frame.png' corner='2,2,2,2'\"/>", 80, 40, canvas);
    // The border stays 2 px wide at the corners, the edges stretch along, the centre fills.
    ExpectPixels(canvas, {{1, 1, 0x000000}, {2, 2, 0xFFFFFF}, {77, 37, 0xFFFFFF}, {78, 38, 0x000000},
                          {40, 1, 0x000000}, {40, 20, 0xFFFFFF}});
}

TEST_F(Render, MaskColourBecomesTransparentAndFadeBlends) {
    ASSERT_TRUE(test::WritePng(dir_ / L"halves.png", 20, 10, HalvesRedBlue));
    Canvas canvas(40, 20, RGB(0, 0, 0));
    Paint(L"<HorizontalLayout><Control width=\"20\" bkimage=\"file='halves.png' mask='#FFFF0000'\"/>"
          L"<Control width=\"20\" bkimage=\"file='halves.png' source='10,0,20,10' fade='128'\"/></HorizontalLayout>",
          40, 20, canvas);
    EXPECT_EQ(canvas.At(3, 5), 0x000000u);   // the red half is masked away
    EXPECT_EQ(canvas.At(15, 5), 0x0000FFu);
    EXPECT_NEAR(static_cast<int>(canvas.At(30, 5) & 0xFF), 128, 2);
}

TEST_F(Render, AMissingImageDrawsNothingAndReportsFailure) {
    Canvas canvas(40, 40);
    Paint(L"<Control name=\"c\" bkcolor=\"#FF808080\" bkimage=\"absent.png\"/>", 40, 40, canvas);
    EXPECT_EQ(canvas.At(20, 20), 0x808080u);
    CControlUI* control = manager_.FindControl(L"c");
    EXPECT_FALSE(control->DrawImage(canvas.dc(), L"absent.png"));
}

TEST_F(Render, At144DpiSizesAreOneAndAHalfTimesLargerAndThe2xArtworkIsUsed) {
    ASSERT_TRUE(test::WritePng(dir_ / L"art.png", 20, 10, HalvesRedBlue));
    ASSERT_TRUE(test::WritePng(dir_ / L"art@2x.png", 40, 20, HalvesGreenYellow));
    Canvas canvas(150, 100);
    Paint(L"<Container><Control float=\"true\" pos=\"10,10,50,30\" bkcolor=\"#FF3366CC\"/>"
          L"<Control float=\"true\" pos=\"60,10,80,20\" bkimage=\"file='art.png' source='10,0,20,10'\"/></Container>",
          100, 60, canvas, 144);
    // 10..50 x 10..30 at 96 DPI is 15..75 x 15..45 at 144.
    ExpectPixels(canvas, {{15, 15, 0x3366CC}, {74, 44, 0x3366CC}, {75, 44, kFill}, {74, 45, kFill}});
    // The 2x file is taken and the 1x source rectangle addresses its right half.
    EXPECT_EQ(canvas.At(92, 17), 0xFFFF00u);
    EXPECT_EQ(manager_.GetImage(L"art.png")->nScale, 2);
}

TEST_F(Render, At96DpiThe1xArtworkIsUsed) {
    ASSERT_TRUE(test::WritePng(dir_ / L"art.png", 20, 10, HalvesRedBlue));
    ASSERT_TRUE(test::WritePng(dir_ / L"art@2x.png", 40, 20, HalvesGreenYellow));
    Canvas canvas(40, 20);
    Paint(L"<Control bkimage=\"art.png\"/>", 40, 20, canvas);
    EXPECT_EQ(canvas.At(5, 5), 0xFF0000u);
    EXPECT_EQ(manager_.GetImage(L"art.png")->nScale, 1);
}

TEST_F(Render, RemovedImagesAreReloadedOnTheNextDraw) {
    ASSERT_TRUE(test::WritePng(dir_ / L"swap.png", 4, 4, [](int, int) -> DWORD { return 0xFFFF0000; }));
    Canvas canvas(20, 20);
    Paint(L"<Control bkimage=\"swap.png\"/>", 20, 20, canvas);
    EXPECT_EQ(canvas.At(5, 5), 0xFF0000u);
    ASSERT_TRUE(test::WritePng(dir_ / L"swap.png", 4, 4, [](int, int) -> DWORD { return 0xFF00FF00; }));
    RECT all = {0, 0, 20, 20};
    manager_.PaintTo(canvas.dc(), all);
    EXPECT_EQ(canvas.At(5, 5), 0xFF0000u);  // cached
    EXPECT_TRUE(manager_.RemoveImage(L"swap.png"));
    manager_.PaintTo(canvas.dc(), all);
    EXPECT_EQ(canvas.At(5, 5), 0x00FF00u);
}

TEST_F(Render, RoundedBackgroundsLeaveTheCornersUnpainted) {
    Canvas canvas(60, 60);
    Paint(L"<Control bkcolor=\"#FF204080\" borderround=\"20,20\"/>", 60, 60, canvas);
    ExpectPixels(canvas, {{0, 0, kFill}, {59, 59, kFill}, {30, 30, 0x204080}, {30, 0, 0x204080}});
}

TEST_F(Render, BordersAreDrawnInsideTheControl) {
    Canvas canvas(50, 50);
    Paint(L"<Control bordersize=\"2\" bordercolor=\"#FFFF0000\"/>", 50, 50, canvas);
    ExpectPixels(canvas, {{0, 25, 0xFF0000}, {1, 25, 0xFF0000}, {2, 25, kFill}, {49, 49, 0xFF0000}});
}

// The bounds of the DC's clip region in device pixels (left, top, right, bottom); zeros
// when it has none.
using Box = std::array<LONG, 4>;
Box ClipBox(HDC dc) {
    UniqueGdiObject region(::CreateRectRgn(0, 0, 0, 0));
    RECT box = {};
    if (::GetClipRgn(dc, static_cast<HRGN>(region.get())) == 1) ::GetRgnBox(static_cast<HRGN>(region.get()), &box);
    return {box.left, box.top, box.right, box.bottom};
}

TEST(RenderClip, NarrowsAnExistingClipAndGivesTheSameRegionBack) {
    Canvas canvas(60, 60);
    HDC dc = canvas.dc();
    ::SetWindowOrgEx(dc, 10, 0, nullptr);  // logical 10 is device 0
    UniqueGdiObject outer(::CreateRectRgn(0, 0, 40, 40));
    ::SelectClipRgn(dc, static_cast<HRGN>(outer.get()));
    {
        CRenderClip clip;
        CRenderClip::GenerateClip(dc, {30, 20, 70, 70}, clip);
        EXPECT_EQ(ClipBox(dc), (Box{20, 20, 40, 40}));  // device units, cut by the old clip
        CRenderClip::UseOldClipBegin(dc, clip);
        EXPECT_EQ(ClipBox(dc), (Box{0, 0, 40, 40}));
        CRenderClip::UseOldClipEnd(dc, clip);
        EXPECT_EQ(ClipBox(dc), (Box{20, 20, 40, 40}));
    }
    EXPECT_EQ(ClipBox(dc), (Box{0, 0, 40, 40}));
}

TEST(RenderClip, ARoundClipKeepsPaintOutOfTheCorners) {
    Canvas canvas(40, 40);
    HDC dc = canvas.dc();
    {
        CRenderClip clip;
        CRenderClip::GenerateRoundClip(dc, {0, 0, 40, 40}, {0, 0, 39, 39}, 20, 20, clip);
        CRenderEngine::DrawColor(dc, {0, 0, 40, 40}, 0xFFFF0000);
    }
    ExpectPixels(canvas, {{0, 0, kFill}, {39, 39, kFill}, {20, 20, 0xFF0000}, {20, 0, 0xFF0000}});
    EXPECT_EQ(ClipBox(dc), (Box{0, 0, 0, 0}));  // none before, none after
}

int CountDark(const Canvas& canvas, const RECT& rc) {
    int dark = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) dark += (canvas.At(x, y) & 0xFF) < 0x80;
    }
    return dark;
}

TEST_F(Render, TextIsDrawnInsideItsPaddingIncludingChineseText) {
    Canvas canvas(200, 40, RGB(255, 255, 255));
    Paint(L"<Font name=\"Microsoft YaHei\" size=\"16\"/><HorizontalLayout>"
          L"<Label name=\"latin\" width=\"100\" text=\"Winhush\" font=\"0\" textcolor=\"#FF000000\" textpadding=\"50,0,0,0\"/>"
          L"<Label name=\"cjk\" width=\"100\" text=\"&#x5F39;&#x7A97;&#x62E6;&#x622A;\" font=\"0\" textcolor=\"#FF000000\"/>"
          L"</HorizontalLayout>",
          200, 40, canvas);
    EXPECT_EQ(CountDark(canvas, {0, 0, 50, 40}), 0);  // the padding stays empty
    EXPECT_GT(CountDark(canvas, {50, 0, 100, 40}), 20);
    EXPECT_GT(CountDark(canvas, {100, 0, 200, 40}), 20);
}

}  // namespace
}  // namespace winhush::dui
