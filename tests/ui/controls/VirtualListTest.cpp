// The virtual list in a real window, 100 pixels high with rows of 30: the size of the row
// pool, rows re-assigned to data indexes by scrolling (and mapped back through the list),
// item counts that shrink below the view, filling only what is painted, the selection
// rules, keys that must not select, header columns, and templates that cannot be used.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ControlHost.h"
#include "TestSupport.h"
#include "ui/controls/SlideOption.h"
#include "ui/controls/VirtualList.h"

namespace winhush::ui {
namespace {

using test::Canvas;
using test::CentreOf;
using test::ControlHost;

class Source : public IVListCallbackUI {
public:
    void FillRow(dui::CControlUI* row, int index) override {
        filled.push_back(index);
        if (dui::CControlUI* label = row->GetManager()->FindSubControlByName(row, L"lab_name")) {
            label->SetText((L"item " + std::to_wstring(index)).c_str());
        }
    }
    void OnVisibleRange(int first, int end) override {
        lastFirst = first;
        lastEnd = end;
    }
    std::vector<int> filled;
    int lastFirst = -1, lastEnd = -1;
};

std::wstring ListLayout(const std::wstring& attributes, const std::wstring& children = L"") {
    return L"<Window><VerticalLayout><VirtualList name=\"list_block\" " + attributes + L">" + children +
           L"</VirtualList><Control/></VerticalLayout></Window>";
}

class VirtualListTest : public ::testing::Test {
protected:
    void SetUp() override { test::UseLayoutFolder(WINHUSH_CONTROLS_TEST_LAYOUTS); }

    CVListUI* Load(const std::wstring& layout) {
        if (!host_.Load(layout)) return nullptr;
        auto* list = host_.FindAs<CVListUI>(L"list_block");
        if (!list) return nullptr;
        list->SetCallback(&source_);
        list->SetBuilderCallback(host_.factory());
        return list;
    }
    CVListUI* LoadPlain() { return Load(ListLayout(L"height=\"100\" containeritemxml=\"vlist_row.xml\"")); }

    static int IndexOf(CVListUI* list, int poolPosition) {
        return list->GetItemIndex(list->GetBody()->GetChildAt(poolPosition));
    }

    ControlHost host_;
    Source source_;
};

TEST_F(VirtualListTest, PoolHoldsTheRowsThatFitTheVisibleHeight) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetCount(), 0) << "no items, no rows";
    EXPECT_FALSE(list->GetVerticalScrollBar()->IsVisible());

    list->SetItemCount(1000);
    EXPECT_EQ(list->GetCount(), 4) << "3 full rows and 1 partial";
    EXPECT_EQ(list->GetBody()->GetFullRows(), 3);
    EXPECT_TRUE(list->GetVerticalScrollBar()->IsVisible());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list->GetBody()->GetChildAt(i)->GetPos().top, 30 * i) << i;
        EXPECT_EQ(IndexOf(list, i), i);
    }

    list->SetItemCount(2);
    EXPECT_EQ(list->GetCount(), 2) << "fewer items than fit";
    EXPECT_FALSE(list->GetVerticalScrollBar()->IsVisible());

    list->SetItemCount(0);
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetScrollRange().cy, 0);
}

// With the first row cut at the top, four rows of 30 would leave the bottom of a
// 100-pixel list blank; the pool takes one more row while that is so.
TEST_F(VirtualListTest, RowsCoverTheWholeHeightWhenScrolledByPartOfARow) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(1000);
    list->SetScrollPos({0, 25});
    CVListBodyUI* body = list->GetBody();
    ASSERT_EQ(list->GetCount(), 5);
    EXPECT_EQ(body->GetChildAt(0)->GetPos().top, -25);
    EXPECT_GE(body->GetChildAt(list->GetCount() - 1)->GetPos().bottom, body->GetPos().bottom);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(IndexOf(list, i), i);
    dui::CControlUI* extra = body->GetChildAt(4);

    list->SetScrollPos({0, 30});
    EXPECT_EQ(list->GetCount(), 4) << "back to the rows that fit once no row is cut";
    EXPECT_EQ(IndexOf(list, 0), 1);
    // Scrolling keeps reusing the same rows: the extra one comes back rather than being
    // built again from the template.
    list->SetScrollPos({0, 55});
    ASSERT_EQ(list->GetCount(), 5);
    EXPECT_EQ(body->GetChildAt(4), extra);
    EXPECT_EQ(IndexOf(list, 4), 5);
}

TEST_F(VirtualListTest, RowsStandForOtherDataIndexesAfterScrollingAndMapBackThroughTheList) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(1000);
    dui::CControlUI* first = list->GetBody()->GetChildAt(0);
    list->SetScrollPos({0, 90});
    EXPECT_EQ(list->GetBody()->GetTopIndex(), 3);
    EXPECT_EQ(list->GetBody()->GetChildAt(0), first) << "the same rows, new indexes";
    EXPECT_EQ(list->GetItemIndex(first), 3);
    EXPECT_EQ(list->GetItemAt(3), first);
    EXPECT_EQ(list->GetItemAt(0), nullptr) << "scrolled out of view";
    EXPECT_EQ(list->GetItemAt(7), nullptr);

    dui::CControlUI* second = list->GetBody()->GetChildAt(1);
    dui::CControlUI* button = host_.manager().FindSubControlByName(second, L"btn_remove");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(list->GetRowIndexOf(button), 4);
    EXPECT_EQ(list->GetRowIndexOf(list), -1);

    host_.Click(CentreOf(host_.manager().FindSubControlByName(second, L"lab_name")));
    auto picks = host_.NotesOf(L"itemselect");
    ASSERT_EQ(picks.size(), 1u);
    EXPECT_EQ(picks[0].wParam, 4u);
    EXPECT_EQ(picks[0].lParam, -1);
    EXPECT_EQ(list->GetCurSel(), 4);
}

TEST_F(VirtualListTest, AnItemCountBelowTheTopIndexResetsTheViewToTheTop) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(1000);
    list->SetScrollPos({0, 3000});
    ASSERT_EQ(list->GetBody()->GetTopIndex(), 100);
    list->SetItemCount(50);
    EXPECT_EQ(list->GetBody()->GetTopIndex(), 0);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
    EXPECT_EQ(IndexOf(list, 0), 0);

    // Above the top index but too few to fill the view from there: the view ends at the
    // last item and no row stands for an item that is gone.
    list->SetItemCount(1000);
    list->SetScrollPos({0, 3000});
    list->SetItemCount(102);
    EXPECT_EQ(list->GetScrollPos().cy, 102 * 30 - 100);
    for (int i = 0; i < list->GetCount(); ++i) EXPECT_LT(IndexOf(list, i), 102);
    EXPECT_EQ(IndexOf(list, list->GetCount() - 1), 101);
}

TEST_F(VirtualListTest, FillsOnlyThePaintedRowsForTheIndexesTheyStandFor) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(100000);
    ASSERT_EQ(list->GetCount(), 4);
    source_.filled.clear();
    {
        Canvas canvas(400, 300);
        canvas.PaintFrom(host_.manager());
    }
    EXPECT_EQ(source_.filled, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(source_.lastFirst, 0);
    EXPECT_EQ(source_.lastEnd, 4);

    list->SetScrollPos({0, 50000 * 30});
    EXPECT_TRUE(source_.filled.size() == 4u) << "scrolling alone fills nothing";
    source_.filled.clear();
    {
        Canvas canvas(400, 300);
        canvas.PaintFrom(host_.manager());
    }
    EXPECT_EQ(source_.filled, (std::vector<int>{50000, 50001, 50002, 50003}));
    EXPECT_EQ(list->GetCount(), 4);
    dui::CControlUI* label = host_.manager().FindSubControlByName(list->GetItemAt(50000), L"lab_name");
    EXPECT_EQ(label->GetText(), L"item 50000");

    list->EndDown();
    EXPECT_EQ(list->GetBody()->GetTopIndex(), 99996);
    EXPECT_EQ(IndexOf(list, list->GetCount() - 1), 99999);
}

TEST_F(VirtualListTest, ArrowHomeEndAndEnterDoNotSelectWhilePagesAndTheWheelScroll) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(50);
    ASSERT_TRUE(list->SelectItem(1));
    host_.notes().Clear();
    list->SetFocus();
    ASSERT_TRUE(list->IsListFocused());
    for (UINT key : {VK_DOWN, VK_UP, VK_HOME, VK_END, VK_RETURN}) {
        host_.Key(key);
        EXPECT_EQ(list->GetCurSel(), 1) << key;
        EXPECT_EQ(list->GetScrollPos().cy, 0) << key;
    }
    EXPECT_TRUE(host_.NotesOf(L"itemselect").empty());

    host_.Key(VK_NEXT);
    EXPECT_EQ(list->GetScrollPos().cy, 100) << "a page is the visible height";
    host_.Key(VK_PRIOR);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
    host_.Wheel(CentreOf(list), false);
    int line = list->GetScrollPos().cy;
    EXPECT_GT(line, 0);
    host_.Wheel(CentreOf(list), false);
    EXPECT_EQ(list->GetScrollPos().cy, 2 * line);
    host_.Wheel(CentreOf(list), true);
    EXPECT_EQ(list->GetScrollPos().cy, line);
    EXPECT_EQ(list->GetCurSel(), 1);
}

TEST_F(VirtualListTest, SelectsOnlyRowsOnScreenScrollingACutRowIntoView) {
    CVListUI* list = LoadPlain();
    ASSERT_NE(list, nullptr);
    list->SetItemCount(50);
    EXPECT_FALSE(list->SelectItem(20)) << "not on screen";
    EXPECT_EQ(list->GetScrollPos().cy, 0) << "no scrolling for an index that is not shown";
    EXPECT_EQ(list->GetCurSel(), -1);

    EXPECT_TRUE(list->SelectItem(0));
    EXPECT_EQ(list->GetScrollPos().cy, 0);

    // Row 3 shows 10 of its 30 pixels: it is scrolled up until its bottom meets the list's.
    EXPECT_TRUE(list->SelectItem(3, true));
    EXPECT_EQ(list->GetScrollPos().cy, 20);
    EXPECT_EQ(list->GetItemAt(3)->GetPos().bottom, list->GetBody()->GetPos().bottom);
    auto picks = host_.NotesOf(L"itemselect");
    ASSERT_EQ(picks.size(), 2u);
    EXPECT_EQ(picks[1].wParam, 3u);
    EXPECT_EQ(picks[1].lParam, 0);

    // The selection belongs to the data index, whichever row shows it.
    list->SetScrollPos({0, 300});
    for (int i = 0; i < list->GetCount(); ++i) {
        auto* row = static_cast<dui::IListItemUI*>(list->GetBody()->GetChildAt(i)->GetInterface(L"ListItem"));
        EXPECT_FALSE(row->IsSelected()) << "row for index " << row->GetIndex();
    }
    list->SetScrollPos({0, 0});
    for (int i = 0; i < list->GetCount(); ++i) {
        auto* row = static_cast<dui::IListItemUI*>(list->GetBody()->GetChildAt(i)->GetInterface(L"ListItem"));
        EXPECT_EQ(row->IsSelected(), row->GetIndex() == 3) << "row for index " << row->GetIndex();
    }

    // The first row, cut at the top, is scrolled down into full view.
    list->SetScrollPos({0, 40});
    EXPECT_TRUE(list->SelectItem(1));
    EXPECT_EQ(list->GetScrollPos().cy, 30);
}

TEST_F(VirtualListTest, HeaderItemsBecomeColumnsAboveTheRows) {
    CVListUI* list = Load(ListLayout(L"height=\"130\" containeritemxml=\"vlist_row.xml\"",
                                     L"<ListHeaderItem name=\"col_a\" text=\"A\" width=\"120\" height=\"30\"/>"
                                     L"<ListHeaderItem name=\"col_b\" text=\"B\" width=\"80\" height=\"30\"/>"));
    ASSERT_NE(list, nullptr);
    list->SetItemCount(20);
    host_.Layout();
    EXPECT_TRUE(list->GetHeader()->IsVisible());
    EXPECT_EQ(list->GetListInfo()->nColumns, 2);
    EXPECT_EQ(list->GetListInfo()->rcColumn[0].right - list->GetListInfo()->rcColumn[0].left, 120);
    EXPECT_EQ(list->GetListInfo()->rcColumn[1].right - list->GetListInfo()->rcColumn[1].left, 80);
    EXPECT_EQ(list->GetItemIndex(host_.Find(L"col_b")), 1);
    EXPECT_EQ(list->GetItemIndex(list->GetHeader()), 0);
    EXPECT_EQ(list->GetBody()->GetChildAt(0)->GetPos().top, 30);
    EXPECT_EQ(list->GetCount(), 4);
}

TEST_F(VirtualListTest, WithoutAUsableTemplateThereAreNoRows) {
    for (const wchar_t* attributes : {L"height=\"100\"", L"height=\"100\" containeritemxml=\"vlist_missing.xml\"",
                                      L"height=\"100\" containeritemxml=\"vlist_not_a_row.xml\""}) {
        ControlHost host;
        ASSERT_NE(host.Load(ListLayout(attributes)), nullptr);
        auto* list = host.FindAs<CVListUI>(L"list_block");
        Source source;
        list->SetCallback(&source);
        list->SetItemCount(10);
        EXPECT_EQ(list->GetCount(), 0) << attributes;
        EXPECT_FALSE(list->SelectItem(0)) << attributes;
        Canvas canvas(400, 300);
        canvas.PaintFrom(host.manager());
        EXPECT_TRUE(source.filled.empty()) << attributes;
    }
}

// Dispatches one message at a time until the time is up, however many keep coming.
void PumpBounded(std::chrono::milliseconds duration) {
    auto deadline = std::chrono::steady_clock::now() + duration;
    MSG msg;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } else {
            ::Sleep(5);
        }
    }
}

// Filling a row during the paint must not ask for the next paint, or the window would
// repaint without end.
TEST_F(VirtualListTest, GoesIdleOnceItsRowsArePainted) {
    CVListUI* list = Load(ListLayout(L"height=\"100\" containeritemxml=\"vlist_switch_row.xml\""));
    ASSERT_NE(list, nullptr);
    list->SetItemCount(1000);
    host_.Layout();
    PumpBounded(std::chrono::milliseconds(200));
    ASSERT_FALSE(source_.filled.empty());
    source_.filled.clear();
    PumpBounded(std::chrono::milliseconds(300));
    EXPECT_TRUE(source_.filled.empty()) << source_.filled.size() << " fills while nothing changed";
}

TEST_F(VirtualListTest, BuildsRowsThroughTheOwnersControlFactory) {
    CVListUI* list = Load(ListLayout(L"height=\"100\" containeritemxml=\"vlist_switch_row.xml\""));
    ASSERT_NE(list, nullptr);
    list->SetItemCount(10);
    ASSERT_EQ(list->GetCount(), 3);
    dui::CControlUI* option = host_.manager().FindSubControlByName(list->GetItemAt(2), L"opt_switch");
    EXPECT_NE(dynamic_cast<CSlideOption*>(option), nullptr);
}

}  // namespace
}  // namespace winhush::ui
