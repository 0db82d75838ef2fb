// The steps behind HTML-style text on their own: markup into runs, runs into lines inside
// a rectangle, link rectangles out of the lines, and what drawing leaves behind in the DC.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "base/Handles.h"
#include "base/Strings.h"
#include "ui/dui/UIHtmlText.h"

namespace winhush::dui {
namespace {

using detail::HtmlLayout;
using detail::HtmlMarkup;

constexpr DWORD kText = 0xFF101010;
constexpr DWORD kLink = 0xFF0000EE;

class HtmlText : public ::testing::Test {
protected:
    void SetUp() override {
        manager_.SetDefaultFont(L"Tahoma", 16, false, false, false);
        manager_.SetDefaultLinkFontColor(kLink);
    }

    HtmlMarkup Parse(const wchar_t* text) { return detail::ParseHtmlText(manager_, text, kText); }
    HtmlLayout Lay(const HtmlMarkup& markup, const RECT& rc, UINT style) {
        return detail::LayoutHtmlText(canvas_.dc(), markup, manager_.GetDefaultFontInfo()->hFont, rc, style);
    }
    SIZE Extent(const wchar_t* text, HFONT font = nullptr) {
        SelectedObject selected(canvas_.dc(), font ? font : manager_.GetDefaultFontInfo()->hFont);
        SIZE size = {};
        ::GetTextExtentPoint32W(canvas_.dc(), text, static_cast<int>(wcslen(text)), &size);
        return size;
    }
    TEXTMETRICW Metrics(HFONT font) {
        SelectedObject selected(canvas_.dc(), font);
        TEXTMETRICW tm = {};
        ::GetTextMetricsW(canvas_.dc(), &tm);
        return tm;
    }

    CPaintManagerUI manager_;
    test::Canvas canvas_{300, 200, RGB(255, 255, 255)};
};

// One expected run; face null and size 0 mean the default font's.
struct WantedRun {
    const wchar_t* text;
    bool bold = false, italic = false, underline = false;
    DWORD color = kText;
    int link = -1;
    bool selected = false, newline = false;
    int indent = 0;
    const wchar_t* face = nullptr;
    int size = 0;
};
WantedRun Bold(const wchar_t* text) { return {text, true}; }
WantedRun Coloured(const wchar_t* text, DWORD color) { return {text, false, false, false, color}; }
WantedRun NewLine(const wchar_t* text) { return {text, false, false, false, kText, -1, false, true}; }

struct ParseCase {
    const wchar_t* markup;
    std::vector<WantedRun> runs;
};

TEST_F(HtmlText, MarkupBecomesRunsOfOneStyleEach) {
    const ParseCase cases[] = {
        {L"plain text", {{L"plain text"}}},
        {L"a <b>bold</b> c", {{L"a "}, Bold(L"bold"), {L" c"}}},
        {L"a {b}bold{/b} c", {{L"a "}, Bold(L"bold"), {L" c"}}},
        {L"<i><u>both</u></i>", {{L"both", false, true, true}}},
        {L"{c #FF0000}red{/c}", {Coloured(L"red", 0xFFFF0000)}},     // no alpha means opaque
        {L"<c #80FF0000>half</c>", {Coloured(L"half", 0x80FF0000)}},  // given alpha is kept
        {L"<c nonsense>same</c>", {{L"same"}}},
        {L"<s>picked</s>", {{L"picked", false, false, false, kText, -1, true}}},
        {L"see <a settings>here</a>!",
         {{L"see "}, {L"here", false, false, true, kLink, 0}, {L"!"}}},
        {L"a<n>b<p>c</p>d", {{L"a"}, NewLine(L"b"), NewLine(L"c"), {L"d"}}},
        {L"<x 10>in", {{L"in", false, false, false, kText, -1, false, false, 10}}},
        {L"<y 10>y", {{L"y"}}},
        {L"<r><b>raw</b></r> after", {{L"<b>raw</b> after"}}},
        {L"{r}<b>{/r}", {{L"<b>"}}},
        {L"<zz>x <q a>", {{L"<zz>x <q a>"}}},
        {L"1 < 2 and {open", {{L"1 < 2 and {open"}}},
        {L"</b>unbalanced", {{L"unbalanced"}}},
        {L"<f Arial 20 bold>big</f>", {{L"big", true, false, false, kText, -1, false, false, 0, L"Arial", 20}}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "markup: " << WideToUtf8(c.markup));
        HtmlMarkup markup = Parse(c.markup);
        ASSERT_EQ(markup.runs.size(), c.runs.size());
        for (size_t i = 0; i < c.runs.size(); ++i) {
            const WantedRun& want = c.runs[i];
            const auto& got = markup.runs[i];
            SCOPED_TRACE(testing::Message() << "run " << i);
            EXPECT_EQ(got.text, want.text);
            EXPECT_EQ(got.font, manager_.GetFont(want.face ? want.face : L"Tahoma", want.size ? want.size : 16,
                                                 want.bold, want.underline, want.italic));
            EXPECT_EQ(got.color, want.color);
            EXPECT_EQ(got.link, want.link);
            EXPECT_EQ(got.selected, want.selected);
            EXPECT_EQ(got.newline, want.newline);
            EXPECT_EQ(got.indentX, want.indent);
        }
    }
}

TEST_F(HtmlText, LinksNameTheirTargetsInOrderAndFontIndexesTakeTheLayoutsFont) {
    HtmlMarkup links = Parse(L"<a one>1</a> <a>2</a> {a three}3{/a}");
    ASSERT_EQ(links.targets.size(), 3u);
    EXPECT_EQ(links.targets[0], L"one");
    EXPECT_EQ(links.targets[1], L"");
    EXPECT_EQ(links.targets[2], L"three");
    EXPECT_EQ(links.runs.back().link, 2);

    HFONT layoutFont = manager_.AddFont(L"Verdana", 20, true, false, true);
    HtmlMarkup font = Parse(L"<f 0>big</f>small");
    ASSERT_EQ(font.runs.size(), 2u);
    EXPECT_EQ(font.runs[0].font, layoutFont);
    EXPECT_EQ(font.runs[1].font, manager_.GetFont(L"Tahoma", 16, false, false, false));
}

TEST_F(HtmlText, IndentsScaleWithTheDpi) {
    manager_.SetDPI(144);
    EXPECT_EQ(Parse(L"<x 10>a").runs.at(0).indentX, 15);
}

TEST_F(HtmlText, LatinTextWrapsAtTheLastBlankThatFits) {
    int height = Metrics(manager_.GetDefaultFontInfo()->hFont).tmHeight;
    RECT rc = {10, 20, 10 + Extent(L"word word").cx + 1, 200};
    HtmlLayout layout = Lay(Parse(L"word word word"), rc, DT_WORDBREAK);
    ASSERT_EQ(layout.lines.size(), 2u);
    ASSERT_EQ(layout.lines[0].pieces.size(), 1u);
    ASSERT_EQ(layout.lines[1].pieces.size(), 1u);
    EXPECT_EQ(layout.lines[0].pieces[0].text, L"word word ");  // the blank stays with the first line
    EXPECT_EQ(layout.lines[1].pieces[0].text, L"word");
    const RECT& second = layout.lines[1].pieces[0].area;
    EXPECT_EQ(second.left, 10);
    EXPECT_EQ(second.top, 20 + height);
    EXPECT_EQ(second.right, 10 + Extent(L"word").cx);
    EXPECT_EQ(layout.height, 2 * height);
    EXPECT_EQ(layout.width, Extent(L"word word ").cx);
    // On one line nothing breaks, however narrow the rectangle.
    EXPECT_EQ(Lay(Parse(L"word word word"), rc, DT_SINGLELINE).lines.size(), 1u);
}

TEST_F(HtmlText, ChineseTextBreaksBetweenAnyTwoCharacters) {
    const wchar_t* text = L"\x5F39\x7A97\x62E6\x622A\x5F39\x7A97\x62E6\x622A";
    RECT rc = {0, 0, Extent(L"\x5F39\x7A97\x62E6").cx + 1, 200};
    HtmlLayout layout = Lay(Parse(text), rc, DT_WORDBREAK);
    ASSERT_EQ(layout.lines.size(), 3u);
    EXPECT_EQ(layout.lines[0].pieces.at(0).text, L"\x5F39\x7A97\x62E6");
    EXPECT_EQ(layout.lines[1].pieces.at(0).text, L"\x622A\x5F39\x7A97");
    EXPECT_EQ(layout.lines[2].pieces.at(0).text, L"\x62E6\x622A");
}

TEST_F(HtmlText, AWordWiderThanTheRectangleStillAdvancesOneCharacterPerLine) {
    HtmlLayout layout = Lay(Parse(L"abc"), {0, 0, 1, 100}, DT_WORDBREAK);
    ASSERT_EQ(layout.lines.size(), 3u);
    EXPECT_EQ(layout.lines[2].pieces.at(0).text, L"c");
    // An empty text is one empty line of the default font.
    HtmlLayout empty = Lay(Parse(L""), {0, 0, 100, 100}, DT_WORDBREAK);
    ASSERT_EQ(empty.lines.size(), 1u);
    EXPECT_TRUE(empty.lines[0].pieces.empty());
    EXPECT_EQ(empty.height, Metrics(manager_.GetDefaultFontInfo()->hFont).tmHeight);
}

TEST_F(HtmlText, FontsOnOneLineShareTheirBaselineAndTheTallestSetsTheHeight) {
    HFONT big = manager_.GetFont(L"Tahoma", 32, false, false, false);
    TEXTMETRICW small = Metrics(manager_.GetDefaultFontInfo()->hFont), large = Metrics(big);
    HtmlLayout layout = Lay(Parse(L"a<f Tahoma 32>B</f>c"), {0, 10, 300, 200}, DT_SINGLELINE);
    ASSERT_EQ(layout.lines.size(), 1u);
    const auto& line = layout.lines[0];
    ASSERT_EQ(line.pieces.size(), 3u);
    EXPECT_EQ(line.height, large.tmHeight);
    EXPECT_EQ(line.pieces[1].top, 10);
    EXPECT_EQ(line.pieces[0].top, 10 + large.tmAscent - small.tmAscent);
    EXPECT_EQ(line.pieces[0].area.bottom - line.pieces[0].area.top, large.tmHeight);  // cells fill the line
    EXPECT_EQ(line.pieces[1].area.left, Extent(L"a").cx);
    EXPECT_EQ(line.pieces[2].area.left, Extent(L"a").cx + Extent(L"B", big).cx);
}

TEST_F(HtmlText, AlignmentPlacesEachLineInTheRectangle) {
    int height = Metrics(manager_.GetDefaultFontInfo()->hFont).tmHeight;
    int width = Extent(L"mid").cx;
    RECT rc = {0, 0, 300, 60};
    RECT centred = Lay(Parse(L"mid"), rc, DT_SINGLELINE | DT_CENTER | DT_VCENTER).lines[0].pieces.at(0).area;
    EXPECT_EQ(centred.left, (300 - width) / 2);
    EXPECT_EQ(centred.top, (60 - height) / 2);
    RECT corner = Lay(Parse(L"mid"), rc, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM).lines[0].pieces.at(0).area;
    EXPECT_EQ(corner.right, 300);
    EXPECT_EQ(corner.bottom, 60);
    RECT indented = Lay(Parse(L"<x 7>mid"), rc, DT_SINGLELINE).lines[0].pieces.at(0).area;
    EXPECT_EQ(indented.left, 7);
}

TEST_F(HtmlText, LinkRectanglesCoverTheirTextOnEveryLineItSpans) {
    int height = Metrics(manager_.GetDefaultFontInfo()->hFont).tmHeight;
    RECT rc = {5, 5, 5 + Extent(L"go ").cx + Extent(L"word").cx + 1, 200};
    HtmlMarkup markup = Parse(L"go <a far>word word</a>");
    HtmlLayout layout = Lay(markup, rc, DT_WORDBREAK);
    RECT links[4] = {};
    CDuiString targets[4];
    ASSERT_EQ(detail::CollectHtmlLinks(markup, layout, links, targets, 4), 2);
    EXPECT_EQ(links[0].left, 5 + Extent(L"go ").cx);
    EXPECT_EQ(links[0].right, links[0].left + Extent(L"word ").cx);
    EXPECT_EQ(links[0].top, 5);
    EXPECT_EQ(links[0].bottom, 5 + height);
    EXPECT_EQ(links[1].left, 5);
    EXPECT_EQ(links[1].top, 5 + height);
    EXPECT_EQ(targets[0], L"far");
    EXPECT_EQ(targets[1], L"far");
    // Room for one: the first is written and nothing past the array.
    RECT one[1] = {};
    EXPECT_EQ(detail::CollectHtmlLinks(markup, layout, one, nullptr, 1), 1);
    EXPECT_EQ(one[0].left, links[0].left);
    EXPECT_EQ(detail::CollectHtmlLinks(markup, layout, nullptr, nullptr, 4), 0);
}

TEST_F(HtmlText, MeasuringReportsTheLaidOutSizeCappedAtTheRectangle) {
    int height = Metrics(manager_.GetDefaultFontInfo()->hFont).tmHeight;
    int links = 0;
    RECT wrapped = {0, 0, 1, 100};
    CRenderEngine::DrawHtmlText(canvas_.dc(), &manager_, wrapped, L"ab", 0, nullptr, nullptr, links,
                                DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(wrapped.right, 1);  // "a" overhangs a 1-pixel room, the answer does not
    EXPECT_EQ(wrapped.bottom, 2 * height);
    RECT single = {0, 0, 1, 100};
    CRenderEngine::DrawHtmlText(canvas_.dc(), &manager_, single, L"ab", 0, nullptr, nullptr, links,
                                DT_SINGLELINE | DT_CALCRECT);
    EXPECT_EQ(single.right, Extent(L"ab").cx);
}

TEST_F(HtmlText, DrawingPaintsTheSelectedBackgroundAndLeavesTheDcAsItWas) {
    manager_.SetDefaultSelectedBkColor(0xFF00C000);
    HDC dc = canvas_.dc();
    HGDIOBJ fontBefore = ::GetCurrentObject(dc, OBJ_FONT);
    int modeBefore = ::GetBkMode(dc);
    RECT rc = {0, 0, 300, 60};
    HtmlMarkup markup = Parse(L"<s>    </s><b>x</b>");
    HtmlLayout layout = Lay(markup, rc, DT_SINGLELINE);
    detail::DrawHtmlLayout(dc, manager_, markup, layout, rc);
    const RECT& blanks = layout.lines[0].pieces.at(0).area;
    EXPECT_EQ(canvas_.At(blanks.left + 1, blanks.top + 1), 0x00C000u);
    EXPECT_EQ(canvas_.At(blanks.right, blanks.top + 1), 0xFFFFFFu);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), fontBefore);
    EXPECT_EQ(::GetBkMode(dc), modeBefore);
    UniqueGdiObject clip(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::GetClipRgn(dc, static_cast<HRGN>(clip.get())), 0);  // the DC had no clip region and has none again
}

}  // namespace
}  // namespace winhush::dui
