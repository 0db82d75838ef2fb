// Plain and HTML-style text: colours, measuring, links and their notifications.
#include <gtest/gtest.h>

#include "UiTestSupport.h"

namespace winhush::dui {
namespace {

using test::Canvas;

int CountColour(const Canvas& canvas, const RECT& rc, bool (*match)(DWORD)) {
    int count = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) count += match(canvas.At(x, y));
    }
    return count;
}
bool Reddish(DWORD c) { return ((c >> 16) & 0xFF) > 0xA0 && ((c >> 8) & 0xFF) < 0x60 && (c & 0xFF) < 0x60; }
bool Dark(DWORD c) { return ((c >> 16) & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && (c & 0xFF) < 0x60; }

class Text : public ::testing::Test {
protected:
    void SetUp() override {
        manager_.SetDefaultFont(L"Tahoma", 16, false, false, false);
        canvas_ = std::make_unique<Canvas>(300, 60, RGB(255, 255, 255));
    }
    CPaintManagerUI manager_;
    std::unique_ptr<Canvas> canvas_;
};

TEST_F(Text, HtmlColourTagsColourOnlyTheirRun) {
    RECT rc = {0, 0, 300, 60};
    int links = 0;
    CRenderEngine::DrawHtmlText(canvas_->dc(), &manager_, rc, L"plain {c #FFFF0000}RED RED{/c} plain", 0xFF000000,
                                nullptr, nullptr, links, DT_SINGLELINE | DT_VCENTER);
    EXPECT_GT(CountColour(*canvas_, {0, 0, 300, 60}, Reddish), 20);
    EXPECT_GT(CountColour(*canvas_, {0, 0, 300, 60}, Dark), 20);
    // The first word is not red.
    EXPECT_EQ(CountColour(*canvas_, {0, 0, 30, 60}, Reddish), 0);
}

TEST_F(Text, MeasuringGrowsWithTheTextAndBoldIsWider) {
    HDC dc = canvas_->dc();
    int links = 0;
    RECT shortRc = {0, 0, 1000, 100}, longRc = {0, 0, 1000, 100}, boldRc = {0, 0, 1000, 100};
    CRenderEngine::DrawHtmlText(dc, &manager_, shortRc, L"abc", 0, nullptr, nullptr, links, DT_SINGLELINE | DT_CALCRECT);
    CRenderEngine::DrawHtmlText(dc, &manager_, longRc, L"abcabcabc", 0, nullptr, nullptr, links, DT_SINGLELINE | DT_CALCRECT);
    CRenderEngine::DrawHtmlText(dc, &manager_, boldRc, L"<b>abcabcabc</b>", 0, nullptr, nullptr, links,
                                DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(longRc.right - longRc.left, 2 * (shortRc.right - shortRc.left));
    EXPECT_GT(boldRc.right - boldRc.left, longRc.right - longRc.left);
    EXPECT_EQ(shortRc.bottom - shortRc.top, manager_.GetDefaultFontInfo()->tm.tmHeight);
    // Unknown tags are text, not markup.
    RECT unknown = {0, 0, 1000, 100};
    CRenderEngine::DrawHtmlText(dc, &manager_, unknown, L"<zz>", 0, nullptr, nullptr, links, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(unknown.right - unknown.left, 0);
}

TEST_F(Text, WrappedTextBreaksIntoSeveralLinesAndNewLineTagsBreakToo) {
    HDC dc = canvas_->dc();
    int links = 0;
    RECT one = {0, 0, 1000, 1000};
    CRenderEngine::DrawHtmlText(dc, &manager_, one, L"word word word word word word", 0, nullptr, nullptr, links,
                                DT_WORDBREAK | DT_CALCRECT);
    RECT narrow = {0, 0, 80, 1000};
    CRenderEngine::DrawHtmlText(dc, &manager_, narrow, L"word word word word word word", 0, nullptr, nullptr, links,
                                DT_WORDBREAK | DT_CALCRECT);
    EXPECT_GE(narrow.bottom - narrow.top, 3 * (one.bottom - one.top));
    EXPECT_LE(narrow.right - narrow.left, 80);
    RECT lines = {0, 0, 1000, 1000};
    CRenderEngine::DrawHtmlText(dc, &manager_, lines, L"a<n>b<n>c", 0, nullptr, nullptr, links, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(lines.bottom - lines.top, 3 * (one.bottom - one.top));
}

TEST_F(Text, LinksReportTheirRectanglesAndTargets) {
    RECT rc = {0, 0, 300, 60};
    RECT linkRects[4] = {};
    CDuiString targets[4];
    int links = 4;
    CRenderEngine::DrawHtmlText(canvas_->dc(), &manager_, rc, L"see <a settings>here</a> or {a help}there{/a}", 0xFF000000,
                                linkRects, targets, links, DT_SINGLELINE | DT_VCENTER);
    ASSERT_EQ(links, 2);
    EXPECT_EQ(targets[0], L"settings");
    EXPECT_EQ(targets[1], L"help");
    EXPECT_LT(linkRects[0].right, linkRects[1].left + 1);
    EXPECT_GT(linkRects[0].left, 0);
    // Room for one link only: the count is capped, nothing overflows.
    links = 1;
    CRenderEngine::DrawHtmlText(canvas_->dc(), &manager_, rc, L"<a x>1</a><a y>2</a>", 0xFF000000, linkRects, targets,
                                links, DT_SINGLELINE);
    EXPECT_EQ(links, 1);
}

TEST(TextControl, ClickingALinkSendsLinkWithItsIndex) {
    test::TestHost host(300, 100);
    ASSERT_NE(host.Load(L"<Window><Text name=\"txt\" showhtml=\"true\" text=\"go {a one}first{/a} then {a two}second{/a}\"/></Window>"),
              nullptr);
    auto* text = static_cast<CTextUI*>(host.Find(L"txt"));
    ::UpdateWindow(host.hwnd());
    host.Layout();
    ASSERT_NE(text->GetLinkContent(1), nullptr);
    EXPECT_EQ(*text->GetLinkContent(1), L"two");
    // Find the second link by scanning the line for the hand cursor area.
    RECT rc = text->GetPos();
    int found = -1;
    for (int x = rc.right - 1; x > rc.left && found < 0; --x) {
        for (int y = rc.top; y < rc.bottom && found < 0; y += 2) {
            host.notes().Clear();
            host.Click({x, y});
            for (auto& e : host.notes().events) {
                if (e.type == L"link") found = static_cast<int>(e.wParam);
            }
        }
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(text->GetLinkContent(5), nullptr);
}

TEST(TextControl, LabelColoursFallBackToTheManagersDefaults) {
    test::TestHost host(200, 60);
    ASSERT_NE(host.Load(L"<Window defaultfontcolor=\"#FFFF0000\" disabledfontcolor=\"#FF00FF00\"><HorizontalLayout>"
                        L"<Label name=\"on\" width=\"100\" text=\"MMMM\"/><Label name=\"off\" width=\"100\" text=\"MMMM\" enabled=\"false\"/>"
                        L"</HorizontalLayout></Window>"),
              nullptr);
    Canvas canvas(200, 60, RGB(255, 255, 255));
    RECT all = {0, 0, 200, 60};
    host.manager().PaintTo(canvas.dc(), all);
    EXPECT_GT(CountColour(canvas, {0, 0, 100, 60}, Reddish), 10);
    EXPECT_GT(CountColour(canvas, {100, 0, 200, 60}, [](DWORD c) { return ((c >> 8) & 0xFF) > 0xA0 && ((c >> 16) & 0xFF) < 0x60; }),
              10);
}

}  // namespace
}  // namespace winhush::dui
