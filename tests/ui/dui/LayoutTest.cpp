// Layout arithmetic on trees built from markup and laid out without a window (the
// manager's size comes from the layout's <Window size>).
#include <gtest/gtest.h>

#include "UiTestSupport.h"

namespace winhush::dui {
namespace {

class Layout : public ::testing::Test {
protected:
    CControlUI* Build(const std::wstring& body, const std::wstring& windowAttributes = L"size=\"200,300\"") {
        std::wstring xml = L"<Window " + windowAttributes + L">" + body + L"</Window>";
        CDialogBuilder builder;
        CControlUI* root = builder.Create(xml.c_str(), nullptr, nullptr, &manager_, nullptr);
        if (root) {
            manager_.AttachDialog(root);
            manager_.UpdateLayout();
        }
        return root;
    }
    RECT Pos(const wchar_t* name) {
        CControlUI* control = manager_.FindControl(name);
        EXPECT_NE(control, nullptr) << "no control named " << std::string(name, name + wcslen(name));
        return control ? control->GetPos() : RECT{-1, -1, -1, -1};
    }
    CPaintManagerUI manager_;
};

#define EXPECT_RECT(rc, l, t, r, b)                                               \
    do {                                                                         \
        RECT actual_ = (rc);                                                     \
        EXPECT_EQ(actual_.left, l);                                              \
        EXPECT_EQ(actual_.top, t);                                               \
        EXPECT_EQ(actual_.right, r);                                             \
        EXPECT_EQ(actual_.bottom, b);                                            \
    } while (0)

TEST_F(Layout, VerticalSharesTheRestAmongStretchChildrenAndTheLastTakesTheRemainder) {
    ASSERT_NE(Build(L"<VerticalLayout>"
                    L"<Control name=\"a\" height=\"50\"/><Control name=\"b\"/>"
                    L"<Control name=\"c\" height=\"30\"/><Control name=\"d\"/>"
                    L"</VerticalLayout>",
                    L"size=\"200,301\""),
              nullptr);
    // 301 - 80 = 221 for two stretch children: 110, then the remaining 111.
    EXPECT_RECT(Pos(L"a"), 0, 0, 200, 50);
    EXPECT_RECT(Pos(L"b"), 0, 50, 200, 160);
    EXPECT_RECT(Pos(L"c"), 0, 160, 200, 190);
    EXPECT_RECT(Pos(L"d"), 0, 190, 200, 301);
}

TEST_F(Layout, HorizontalClampsStretchChildrenToTheirMaximumAndFixedWidthsToTheirMinimum) {
    ASSERT_NE(Build(L"<HorizontalLayout>"
                    L"<Control name=\"a\" maxwidth=\"40\"/><Control name=\"b\" width=\"10\" minwidth=\"30\"/>"
                    L"<Control name=\"c\"/>"
                    L"</HorizontalLayout>"),
              nullptr);
    // Fixed: b = 30 after clamping; stretch space 170 -> a gets min(85, 40), c the rest (130).
    EXPECT_RECT(Pos(L"a"), 0, 0, 40, 300);
    EXPECT_RECT(Pos(L"b"), 40, 0, 70, 300);
    EXPECT_RECT(Pos(L"c"), 70, 0, 200, 300);
}

TEST_F(Layout, InsetPaddingAndChildPaddingShiftChildrenWithoutGrowingThem) {
    ASSERT_NE(Build(L"<VerticalLayout inset=\"10,20,30,40\" childpadding=\"5\">"
                    L"<Control name=\"a\" height=\"50\" padding=\"3,4,5,6\"/>"
                    L"<Control name=\"b\" height=\"20\" width=\"60\"/>"
                    L"<Control name=\"c\"/>"
                    L"</VerticalLayout>"),
              nullptr);
    // Client area (10,20)-(170,260); a: padding 3/4/5/6 -> width 160-8, its bottom padding
    // and the child padding follow it; c stretches over what is left.
    EXPECT_RECT(Pos(L"a"), 13, 24, 165, 74);
    EXPECT_RECT(Pos(L"b"), 10, 85, 70, 105);
    EXPECT_RECT(Pos(L"c"), 10, 110, 170, 260);
}

TEST_F(Layout, InvisibleChildrenTakeNeitherSpaceNorChildPadding) {
    ASSERT_NE(Build(L"<VerticalLayout childpadding=\"10\">"
                    L"<Control name=\"a\" height=\"40\"/><Control name=\"hidden\" height=\"70\" visible=\"false\"/>"
                    L"<Control name=\"b\" height=\"40\"/><Control name=\"c\"/>"
                    L"</VerticalLayout>"),
              nullptr);
    EXPECT_RECT(Pos(L"b"), 0, 50, 200, 90);
    EXPECT_RECT(Pos(L"c"), 0, 100, 200, 300);
    // Showing it again makes room for it at the next layout.
    manager_.FindControl(L"hidden")->SetVisible(true);
    manager_.UpdateLayout();
    EXPECT_RECT(Pos(L"hidden"), 0, 50, 200, 120);
    EXPECT_RECT(Pos(L"b"), 0, 130, 200, 170);
}

TEST_F(Layout, MinimumHeightWinsOverTheStretchShare) {
    ASSERT_NE(Build(L"<VerticalLayout>"
                    L"<Control name=\"a\" height=\"250\"/><Control name=\"b\" minheight=\"80\"/>"
                    L"</VerticalLayout>"),
              nullptr);
    EXPECT_RECT(Pos(L"b"), 0, 250, 200, 330);
}

TEST_F(Layout, FloatChildrenAreAbsoluteAndNegativeOffsetsAnchorToTheFarEdges) {
    ASSERT_NE(Build(L"<VerticalLayout inset=\"7,7,7,7\">"
                    L"<Control name=\"flow\" height=\"30\"/>"
                    L"<Control name=\"f1\" float=\"true\" pos=\"10,20,60,50\"/>"
                    L"<Control name=\"f2\" float=\"true\" pos=\"-40,-30,-10,-10\"/>"
                    L"</VerticalLayout>"),
              nullptr);
    EXPECT_RECT(Pos(L"flow"), 7, 7, 193, 37);     // floats take no space
    EXPECT_RECT(Pos(L"f1"), 10, 20, 60, 50);      // inset ignored
    EXPECT_RECT(Pos(L"f2"), 130, 250, 160, 270);  // right edge at 200-40, bottom at 300-30
}

TEST_F(Layout, PlainContainerGivesEveryChildTheWholeClientArea) {
    ASSERT_NE(Build(L"<Container inset=\"12,10,12,14\">"
                    L"<Control name=\"a\" width=\"20\"/><Control name=\"b\"/>"
                    L"</Container>"),
              nullptr);
    EXPECT_RECT(Pos(L"a"), 12, 10, 188, 286);
    EXPECT_RECT(Pos(L"b"), 12, 10, 188, 286);
}

TEST_F(Layout, TabLayoutLaysOutOnlyTheSelectedPage) {
    test::NotifyRecorder recorder;
    ASSERT_NE(Build(L"<TabLayout name=\"tab\" selectedid=\"1\" inset=\"5,5,5,5\">"
                    L"<Control name=\"p0\"/><Control name=\"p1\" padding=\"1,2,3,4\"/><Control name=\"p2\"/>"
                    L"</TabLayout>"),
              nullptr);
    manager_.AddNotifier(&recorder);
    auto* tab = static_cast<CTabLayoutUI*>(manager_.FindControl(L"tab"));
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_FALSE(manager_.FindControl(L"p0")->IsVisible());
    EXPECT_TRUE(manager_.FindControl(L"p1")->IsVisible());
    EXPECT_RECT(Pos(L"p1"), 6, 7, 192, 291);

    EXPECT_TRUE(tab->SelectItem(1));  // already current: no notification
    EXPECT_TRUE(recorder.events.empty());
    auto tabSelects = [&] {
        std::vector<test::Notification> found;
        for (auto& e : recorder.events) {
            if (e.type == L"tabselect") found.push_back(e);
        }
        return found;
    };
    EXPECT_FALSE(tab->SelectItem(3));
    EXPECT_FALSE(tab->SelectItem(-1));
    EXPECT_TRUE(tab->SelectItem(2));
    manager_.UpdateLayout();
    auto selects = tabSelects();
    ASSERT_EQ(selects.size(), 1u);
    EXPECT_EQ(selects[0].sender, L"tab");
    EXPECT_EQ(selects[0].wParam, 2u);
    EXPECT_EQ(selects[0].lParam, 1);
    EXPECT_FALSE(manager_.FindControl(L"p1")->IsVisible());
    EXPECT_RECT(Pos(L"p2"), 5, 5, 195, 295);
    manager_.RemoveNotifier(&recorder);
}

TEST_F(Layout, RemovingTheCurrentTabPageSelectsTheFirst) {
    ASSERT_NE(Build(L"<TabLayout name=\"tab\" selectedid=\"2\"><Control name=\"p0\"/><Control/><Control name=\"p2\"/></TabLayout>"),
              nullptr);
    auto* tab = static_cast<CTabLayoutUI*>(manager_.FindControl(L"tab"));
    EXPECT_TRUE(tab->Remove(manager_.FindControl(L"p2")));
    EXPECT_EQ(tab->GetCurSel(), 0);
    EXPECT_TRUE(manager_.FindControl(L"p0")->IsVisible());
}

TEST_F(Layout, ScrollRangeIsContentMinusViewportAndChildrenMoveWithThePosition) {
    ASSERT_NE(Build(L"<VerticalLayout name=\"list\" vscrollbar=\"true\">"
                    L"<Control name=\"r0\" height=\"40\"/><Control height=\"40\"/><Control height=\"40\"/>"
                    L"<Control height=\"40\"/><Control name=\"r4\" height=\"40\"/>"
                    L"</VerticalLayout>",
                    L"size=\"100,100\""),
              nullptr);
    auto* list = static_cast<CContainerUI*>(manager_.FindControl(L"list"));
    ASSERT_NE(list->GetVerticalScrollBar(), nullptr);
    EXPECT_TRUE(list->GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(list->GetScrollRange().cy, 100);
    EXPECT_RECT(Pos(L"r0"), 0, 0, 100 - CScrollBarUI::kDefaultThickness, 40);

    list->SetScrollPos({0, 30});
    EXPECT_EQ(list->GetScrollPos().cy, 30);
    EXPECT_RECT(Pos(L"r0"), 0, -30, 84, 10);
    list->SetScrollPos({0, 500});
    EXPECT_EQ(list->GetScrollPos().cy, 100);
    EXPECT_RECT(Pos(L"r4"), 0, 60, 84, 100);
    list->HomeUp();
    EXPECT_EQ(list->GetScrollPos().cy, 0);

    // Once the content fits, the bar goes away with its range and position.
    list->SetScrollPos({0, 60});
    while (list->GetCount() > 2) list->RemoveAt(list->GetCount() - 1);
    manager_.UpdateLayout();
    EXPECT_FALSE(list->GetVerticalScrollBar()->IsVisible());
    EXPECT_EQ(list->GetScrollRange().cy, 0);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
    EXPECT_RECT(Pos(L"r0"), 0, 0, 100, 40);
}

TEST_F(Layout, LabelsAndButtonsWithoutAHeightTakeTheirFontHeight) {
    ASSERT_NE(Build(L"<Font name=\"Tahoma\" size=\"20\"/>"
                    L"<VerticalLayout><Label name=\"l\" font=\"0\" text=\"x\"/><Button name=\"b\" text=\"y\"/>"
                    L"<Control name=\"rest\"/></VerticalLayout>"),
              nullptr);
    int labelFont = manager_.GetFontInfo(0)->tm.tmHeight;
    int defaultFont = manager_.GetDefaultFontInfo()->tm.tmHeight;
    EXPECT_EQ(Pos(L"l").bottom - Pos(L"l").top, labelFont + 4);
    EXPECT_EQ(Pos(L"b").bottom - Pos(L"b").top, defaultFont + 8);
}

TEST_F(Layout, At144DpiEveryLayoutNumberIsOneAndAHalfTimesLarger) {
    manager_.SetDPI(144);
    ASSERT_NE(Build(L"<VerticalLayout inset=\"10,10,10,10\" childpadding=\"4\">"
                    L"<Control name=\"a\" height=\"40\" width=\"100\" padding=\"2,2,2,2\"/>"
                    L"<Control name=\"f\" float=\"true\" pos=\"20,30,60,50\"/>"
                    L"</VerticalLayout>",
                    L"size=\"200,100\" caption=\"0,0,0,32\" sizebox=\"4,4,4,4\" roundcorner=\"8,8\" mininfo=\"300,200\""),
              nullptr);
    EXPECT_EQ(manager_.GetInitSize().cx, 300);
    EXPECT_EQ(manager_.GetInitSize().cy, 150);
    EXPECT_RECT(Pos(L"a"), 18, 18, 168, 78);
    EXPECT_RECT(Pos(L"f"), 30, 45, 90, 75);
    EXPECT_EQ(manager_.GetCaptionRect().bottom, 48);
    EXPECT_EQ(manager_.GetSizeBox().left, 6);
    EXPECT_EQ(manager_.GetRoundCorner().cx, 12);
    EXPECT_EQ(manager_.GetMinInfo().cx, 450);
    // Back at 96 the same numbers apply unscaled.
    manager_.SetDPI(96);
    EXPECT_EQ(manager_.GetCaptionRect().bottom, 32);
}

}  // namespace
}  // namespace winhush::dui
