// The look of interactive states, read back from pixels: a button's images and colours
// follow disabled > pushed > hot > focused > normal; options show their selection.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "TestSupport.h"

namespace winhush::dui {
namespace {

using test::Canvas;
using test::CentreOf;
using test::TestHost;


class States : public ::testing::Test {
protected:
    void SetUp() override {
        // One flat image per state, each its own colour.
        const std::pair<const wchar_t*, DWORD> images[] = {{L"n.png", 0xFF101010}, {L"h.png", 0xFF202020},
                                                           {L"p.png", 0xFF303030}, {L"f.png", 0xFF404040},
                                                           {L"d.png", 0xFF505050}};
        for (auto& [name, colour] : images) {
            current_ = colour;
            ASSERT_TRUE(test::WritePng(dir_ / name, 4, 4, [](int, int) { return current_; }));
        }
        CPaintManagerUI::SetResourcePath(dir_.path().c_str());
        CPaintManagerUI::SetResourceZip(L"");
    }
    void TearDown() override { CPaintManagerUI::SetResourcePath(L""); }

    DWORD ColourOf(TestHost& host, CControlUI* control) {
        Canvas canvas(400, 300);
        RECT all = {0, 0, 400, 300};
        host.manager().PaintTo(canvas.dc(), all);
        POINT pt = {control->GetPos().left + 2, control->GetPos().top + 2};
        return canvas.At(pt.x, pt.y);
    }

    static inline DWORD current_ = 0;
    winhush::test::ScopedTempDir dir_;
};

TEST_F(States, ButtonImagesFollowThePriorityOfStates) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><VerticalLayout><Button name=\"b\" height=\"40\" normalimage=\"n.png\" hotimage=\"h.png\" "
                        L"pushedimage=\"p.png\" focusedimage=\"f.png\" disabledimage=\"d.png\"/>"
                        L"<Button name=\"other\" height=\"40\"/><Control/></VerticalLayout></Window>"),
              nullptr);
    auto* b = host.Find(L"b");
    host.Find(L"other")->SetFocus();
    EXPECT_EQ(ColourOf(host, b), 0x101010u);  // normal
    b->SetFocus();
    EXPECT_EQ(ColourOf(host, b), 0x404040u);  // focused
    host.MouseMove(CentreOf(b));
    EXPECT_EQ(ColourOf(host, b), 0x202020u);  // hot wins over focused
    host.MouseDown(CentreOf(b));
    EXPECT_EQ(ColourOf(host, b), 0x303030u);  // pushed wins over hot
    host.MouseUp(CentreOf(b));
    b->SetEnabled(false);
    EXPECT_EQ(ColourOf(host, b), 0x505050u);  // disabled wins over everything
}

TEST_F(States, HoverColourIsUsedWithoutAHoverImageAndSelectedOptionsShowTheirColour) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><VerticalLayout><Button name=\"b\" height=\"40\" bkcolor=\"#FF111111\" hotbkcolor=\"#FF222222\"/>"
                        L"<Option name=\"o\" height=\"40\" bkcolor=\"#FF111111\" selectedbkcolor=\"#FF333333\"/>"
                        L"<Control/></VerticalLayout></Window>"),
              nullptr);
    auto* b = host.Find(L"b");
    auto* o = static_cast<COptionUI*>(host.Find(L"o"));
    EXPECT_EQ(ColourOf(host, b), 0x111111u);
    host.MouseMove(CentreOf(b));
    EXPECT_EQ(ColourOf(host, b), 0x222222u);
    host.MouseMove({390, 290});
    EXPECT_EQ(ColourOf(host, b), 0x111111u);
    EXPECT_EQ(ColourOf(host, o), 0x111111u);
    o->Selected(true);
    EXPECT_EQ(ColourOf(host, o), 0x333333u);
}

TEST_F(States, ListRowsShowHotAndSelectedBackgrounds) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><List name=\"l\" itembkcolor=\"#FF0A0A0A\" itemhotbkcolor=\"#FF1B1B1B\" "
                        L"itemselectedbkcolor=\"#FF2C2C2C\" header=\"hidden\">"
                        L"<ListLabelElement name=\"r0\" height=\"30\"/><ListLabelElement name=\"r1\" height=\"30\"/>"
                        L"</List></Window>"),
              nullptr);
    auto* r0 = host.Find(L"r0");
    auto* r1 = host.Find(L"r1");
    EXPECT_EQ(r0->GetPos().top, 0);  // no header space when hidden
    EXPECT_EQ(ColourOf(host, r0), 0x0A0A0Au);
    host.MouseMove(CentreOf(r0));
    EXPECT_EQ(ColourOf(host, r0), 0x1B1B1Bu);
    host.Click(CentreOf(r1));
    EXPECT_EQ(ColourOf(host, r1), 0x2C2C2Cu);
    r1->SetEnabled(false);
    EXPECT_EQ(ColourOf(host, r1), 0xFFFFFFu);  // the disabled background wins
}

TEST(Hover, ShowsTheTooltipOfTheControlUnderTheMouse) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><VerticalLayout><Button name=\"b\" height=\"40\" tooltip=\"first&lt;n&gt;second\"/>"
                        L"<Control/></VerticalLayout></Window>"),
              nullptr);
    POINT pt = CentreOf(host.Find(L"b"));
    host.MouseMove(pt);
    ::SendMessageW(host.hwnd(), WM_MOUSEHOVER, 0, MAKELPARAM(pt.x, pt.y));
    HWND tip = host.manager().GetTooltipWindow();
    ASSERT_NE(tip, nullptr);
    wchar_t text[64] = {};
    TOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.hwnd = host.hwnd();
    info.uId = reinterpret_cast<UINT_PTR>(host.hwnd());
    info.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(text, L"first\r\nsecond");
}

TEST(ScrollBarDrag, DraggingTheThumbScrollsTheOwnerProportionally) {
    TestHost host(200, 100);
    CContainerUI* list = host.LoadScrollBox(L"<Control height=\"100\"/><Control height=\"100\"/><Control height=\"100\"/>");
    ASSERT_NE(list, nullptr);
    CScrollBarUI* bar = list->GetVerticalScrollBar();
    ASSERT_EQ(list->GetScrollRange().cy, 200);
    RECT thumb = bar->GetThumbRect();
    int track = bar->GetButton2Rect().top - bar->GetButton1Rect().bottom;
    int travel = track - (thumb.bottom - thumb.top);
    ASSERT_GT(travel, 0);
    POINT grab = {(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    host.MouseDown(grab);
    host.MouseMove({grab.x, grab.y + travel / 2});
    EXPECT_NEAR(list->GetScrollPos().cy, 100, 4);
    host.MouseMove({grab.x, grab.y + travel * 3});  // beyond the end: clamped
    EXPECT_EQ(list->GetScrollPos().cy, 200);
    host.MouseUp({grab.x, grab.y + travel * 3});
    EXPECT_EQ(bar->GetScrollPos(), 200);
}

TEST(ComboKeys, ArrowsAndWheelMoveTheSelectionOfAClosedCombo) {
    TestHost host;
    CComboUI* combo = host.LoadCombo(
        L"<ListLabelElement text=\"a\"/><ListLabelElement text=\"b\" enabled=\"false\"/><ListLabelElement text=\"c\"/>",
        L"height=\"30\"");
    ASSERT_NE(combo, nullptr);
    combo->SetFocus();
    host.Key(VK_DOWN);
    EXPECT_EQ(combo->GetCurSel(), 0);
    host.Key(VK_DOWN);
    EXPECT_EQ(combo->GetCurSel(), 2);  // the disabled item is skipped
    host.Key(VK_HOME);
    EXPECT_EQ(combo->GetCurSel(), 0);
    host.WheelAt(CentreOf(combo), false);
    EXPECT_EQ(combo->GetCurSel(), 2);
    EXPECT_FALSE(combo->IsDropped());
}

TEST(ListKeys, KeyboardSelectionScrollsTheRowIntoView) {
    TestHost host(200, 100);
    ASSERT_NE(host.Load(L"<Window><List name=\"l\" header=\"hidden\" vscrollbar=\"true\">"
                        L"<ListLabelElement height=\"40\"/><ListLabelElement height=\"40\"/><ListLabelElement height=\"40\"/>"
                        L"<ListLabelElement name=\"last\" height=\"40\"/></List></Window>"),
              nullptr);
    auto* list = static_cast<CListUI*>(host.Find(L"l"));
    list->SetFocus();
    host.Key(VK_END);
    EXPECT_EQ(list->GetCurSel(), 3);
    EXPECT_EQ(list->GetScrollPos().cy, 60);
    EXPECT_EQ(host.Find(L"last")->GetPos().bottom, 100);
    host.Key(VK_HOME);
    EXPECT_EQ(list->GetCurSel(), 0);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
}

}  // namespace
}  // namespace winhush::dui
