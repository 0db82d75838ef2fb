// The split button: picks announced with "itemselect" (index, -1) and never kept, indexes
// past the end clamped to the last action, picks that must not happen (nothing to pick,
// the mouse wheel, arrow keys), a pick made by clicking in the open drop list, and the
// size estimate of the caption.
#include <gtest/gtest.h>

#include "ControlHost.h"
#include "TestSupport.h"
#include "ui/controls/SplitButton.h"

namespace winhush::ui {
namespace {

using namespace std::chrono_literals;
using test::CentreOf;
using test::ControlHost;

const wchar_t* const kLayout =
    L"<Window><VerticalLayout>"
    L"<SplitButton name=\"btn_append\" text=\"Add\" width=\"120\" height=\"32\">"
    L"<ListLabelElement text=\"rules\" height=\"28\"/><ListLabelElement text=\"records\" height=\"28\"/>"
    L"<ListLabelElement text=\"locate\" height=\"28\"/></SplitButton>"
    L"<Control/></VerticalLayout></Window>";

TEST(SplitButton, AnnouncesPicksWithoutKeepingThemAndClampsToTheLastItem) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* button = host.FindAs<CSplitButton>(L"btn_append");
    ASSERT_NE(button, nullptr);

    EXPECT_TRUE(button->SelectItem(7));
    EXPECT_TRUE(button->SelectItem(1));
    EXPECT_TRUE(button->SelectItem(1)) << "the same action can be picked again";
    auto picks = host.NotesOf(L"itemselect");
    ASSERT_EQ(picks.size(), 3u);
    EXPECT_EQ(picks[0].wParam, 2u);
    EXPECT_EQ(picks[1].wParam, 1u);
    EXPECT_EQ(picks[2].wParam, 1u);
    for (const auto& pick : picks) {
        EXPECT_EQ(pick.lParam, -1);
        EXPECT_EQ(pick.sender, L"btn_append");
    }
    EXPECT_EQ(button->GetCurSel(), -1);
    EXPECT_EQ(button->GetText(), L"Add");
    for (int i = 0; i < button->GetCount(); ++i) {
        auto* item = static_cast<dui::IListItemUI*>(button->GetItemAt(i)->GetInterface(L"ListItem"));
        EXPECT_FALSE(item->IsSelected()) << i;
    }
}

TEST(SplitButton, PicksNothingBelowZeroFromAnEmptyListOrFromItemsThatAreNoListItems) {
    ControlHost host;
    ASSERT_NE(
        host.Load(L"<Window><VerticalLayout>"
                  L"<SplitButton name=\"btn_empty\" text=\"Empty\" width=\"80\" height=\"30\"/>"
                  L"<SplitButton name=\"btn_odd\" text=\"Odd\" width=\"80\" height=\"30\"><Control/></SplitButton>"
                  L"<SplitButton name=\"btn_off\" text=\"Off\" width=\"80\" height=\"30\">"
                  L"<ListLabelElement text=\"a\" enabled=\"false\"/></SplitButton>"
                  L"</VerticalLayout></Window>"),
        nullptr);
    EXPECT_FALSE(host.FindAs<CSplitButton>(L"btn_empty")->SelectItem(0));
    EXPECT_FALSE(host.FindAs<CSplitButton>(L"btn_empty")->SelectItem(-1));
    EXPECT_FALSE(host.FindAs<CSplitButton>(L"btn_odd")->SelectItem(0));
    EXPECT_FALSE(host.FindAs<CSplitButton>(L"btn_odd")->SelectItem(-1));
    EXPECT_FALSE(host.FindAs<CSplitButton>(L"btn_off")->SelectItem(0));
    EXPECT_TRUE(host.NotesOf(L"itemselect").empty());
}

// A combo box changes its choice with the wheel and the arrow keys; for a button whose
// choices are actions that would run an action because the wheel passed over it.
TEST(SplitButton, NeitherWheelNorArrowKeysRunAnAction) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* button = host.FindAs<CSplitButton>(L"btn_append");
    host.Wheel(CentreOf(button), false);
    host.Wheel(CentreOf(button), true);
    button->SetFocus();
    for (UINT key : {VK_DOWN, VK_UP, VK_NEXT, VK_PRIOR, VK_HOME, VK_END}) host.Key(key);
    EXPECT_TRUE(host.NotesOf(L"itemselect").empty());
}

TEST(SplitButton, AClickInTheOpenDropListAnnouncesThatItemAndClosesTheList) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* button = host.FindAs<CSplitButton>(L"btn_append");
    host.Click(CentreOf(button));
    ASSERT_TRUE(button->IsDropped());
    HWND drop = winhush::test::WaitForWindow(L"WinhushDuiComboDrop", ::GetCurrentProcessId(), 3s);
    ASSERT_NE(drop, nullptr);
    ::UpdateWindow(drop);  // lays the items out in the drop list
    ASSERT_TRUE(button->IsDropped());
    RECT dropRect;
    ::GetClientRect(drop, &dropRect);
    EXPECT_GE(dropRect.bottom, 3 * 28) << "the drop list holds every action";
    ASSERT_GT(button->GetItemAt(2)->GetPos().bottom, 0);
    POINT item = CentreOf(button->GetItemAt(2));
    LPARAM at = MAKELPARAM(item.x, item.y);
    ::SendMessageW(drop, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(drop, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(drop, WM_LBUTTONUP, 0, at);
    auto picks = host.NotesOf(L"itemselect");
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0].wParam, 2u);
    EXPECT_EQ(picks[0].lParam, -1);
    EXPECT_TRUE(winhush::test::WaitUntil([&] { return !button->IsDropped(); }, 3s));
    EXPECT_EQ(button->GetText(), L"Add");
}

TEST(SplitButton, EstimatesItsSizeFromTheCaptionPlusInsetsUnlessBothSidesAreFixed) {
    ControlHost host;
    ASSERT_NE(host.Load(L"<Window><HorizontalLayout>"
                        L"<SplitButton name=\"fixed\" width=\"90\" height=\"30\" text=\"a long caption here\"/>"
                        L"<SplitButton name=\"empty\" textpadding=\"10,4,30,6\"/>"
                        L"<SplitButton name=\"short\" textpadding=\"10,4,30,6\" text=\"Add\"/>"
                        L"<SplitButton name=\"long\" textpadding=\"10,4,30,6\" text=\"Add more rules\" height=\"40\"/>"
                        L"</HorizontalLayout></Window>"),
              nullptr);
    SIZE available = {400, 100};
    SIZE fixed = host.FindAs<CSplitButton>(L"fixed")->EstimateSize(available);
    EXPECT_EQ(fixed.cx, 90);
    EXPECT_EQ(fixed.cy, 30);
    SIZE empty = host.FindAs<CSplitButton>(L"empty")->EstimateSize(available);
    EXPECT_EQ(empty.cx, 40);
    EXPECT_EQ(empty.cy, 10);
    SIZE shortSize = host.FindAs<CSplitButton>(L"short")->EstimateSize(available);
    SIZE longSize = host.FindAs<CSplitButton>(L"long")->EstimateSize(available);
    EXPECT_GT(shortSize.cx, 40);
    EXPECT_GT(shortSize.cy, 10);
    EXPECT_GT(longSize.cx, shortSize.cx);
    EXPECT_EQ(longSize.cy, 40) << "a fixed height stays";
}

}  // namespace
}  // namespace winhush::ui
