// Input through real windows: synthetic mouse and keyboard messages go through the
// window procedure into the paint manager, which routes them to the controls.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "TestSupport.h"

namespace winhush::dui {
namespace {

using test::CentreOf;
using test::TestHost;

const wchar_t* const kOptionsLayout =
    L"<Window><VerticalLayout>"
    L"<HorizontalLayout height=\"40\">"
    L"<Option name=\"opt_a\" group=\"g\" selected=\"true\" width=\"80\"/>"
    L"<Option name=\"opt_b\" group=\"g\" width=\"80\"/>"
    L"<Option name=\"opt_free\" width=\"80\"/>"
    L"</HorizontalLayout>"
    L"<HorizontalLayout height=\"40\">"
    L"<Button name=\"btn_one\" width=\"80\"/><Button name=\"btn_two\" width=\"80\"/>"
    L"<Button name=\"btn_off\" width=\"80\" enabled=\"false\"/>"
    L"<Label name=\"lab\" width=\"80\"/>"
    L"</HorizontalLayout>"
    L"<Control/></VerticalLayout></Window>";

TEST(Events, WindowInitIsSentOnceAfterTheFirstLayout) {
    TestHost host;
    int seenWidth = -1;
    host.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"windowinit") seenWidth = host.Find(L"btn_one") ? host.Find(L"btn_one")->GetWidth() : -2;
    };
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    host.Layout();
    int inits = 0;
    for (auto& e : host.notes().events) inits += e.type == L"windowinit";
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(seenWidth, 80);  // controls already have their positions
}

TEST(Events, AGroupedOptionSendsClickBeforeSelectChangedAndDeselectsItsPeerSilently) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    auto* a = static_cast<COptionUI*>(host.Find(L"opt_a"));
    auto* b = static_cast<COptionUI*>(host.Find(L"opt_b"));
    EXPECT_EQ(host.manager().GetFocus(), a);  // the first paint focuses the first tab stop
    host.notes().Clear();
    host.Click(CentreOf(b));
    EXPECT_EQ(host.notes().Sequence(), (std::vector<std::wstring>{L"killfocus:opt_a", L"setfocus:opt_b", L"click:opt_b",
                                                                  L"selectchanged:opt_b"}));
    EXPECT_TRUE(b->IsSelected());
    EXPECT_FALSE(a->IsSelected());

    // Clicking the selected member again: a click, no change.
    host.notes().Clear();
    host.Click(CentreOf(b));
    EXPECT_EQ(host.notes().Sequence(), (std::vector<std::wstring>{L"click:opt_b"}));
    EXPECT_TRUE(b->IsSelected());
}

TEST(Events, AnOptionWithoutAGroupTogglesAndReportsEveryChange) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    auto* free = static_cast<COptionUI*>(host.Find(L"opt_free"));
    host.Click(CentreOf(free));
    EXPECT_TRUE(free->IsSelected());
    host.notes().Clear();
    host.Click(CentreOf(free));
    EXPECT_FALSE(free->IsSelected());
    EXPECT_EQ(host.notes().Sequence(), (std::vector<std::wstring>{L"click:opt_free", L"selectchanged:opt_free"}));
}

TEST(Events, MovingTheFocusSendsKillFocusFromTheOldControlThenSetFocusFromTheNew) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    host.Click(CentreOf(host.Find(L"btn_one")));
    host.notes().Clear();
    host.Click(CentreOf(host.Find(L"btn_two")));
    auto sequence = host.notes().Sequence();
    ASSERT_GE(sequence.size(), 2u);
    EXPECT_EQ(sequence[0], L"killfocus:btn_one");
    EXPECT_EQ(sequence[1], L"setfocus:btn_two");
    EXPECT_EQ(host.manager().GetFocus(), host.Find(L"btn_two"));
    EXPECT_FALSE(host.Find(L"btn_one")->IsFocused());
    EXPECT_TRUE(host.Find(L"btn_two")->IsFocused());
}

TEST(Events, AButtonClicksOnlyWhenReleasedOverItselfAndFollowsTheCapturedMouse) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    auto* button = static_cast<CButtonUI*>(host.Find(L"btn_one"));
    POINT inside = CentreOf(button);
    POINT outside = {inside.x, inside.y + 100};

    host.MouseMove(inside);
    EXPECT_TRUE(button->GetButtonState() & UISTATE_HOT);
    host.MouseDown(inside);
    EXPECT_TRUE(button->GetButtonState() & UISTATE_PUSHED);
    EXPECT_EQ(::GetCapture(), host.hwnd());
    host.MouseMove(outside);  // still the click target while captured
    EXPECT_FALSE(button->GetButtonState() & UISTATE_PUSHED);
    host.notes().Clear();
    host.MouseUp(outside);
    EXPECT_TRUE(host.notes().Sequence().empty());
    EXPECT_NE(::GetCapture(), host.hwnd());
    EXPECT_FALSE(button->GetButtonState() & UISTATE_PUSHED);

    // Leaving the button clears its hover state.
    host.MouseMove(inside);
    host.MouseMove({inside.x + 300, inside.y});
    EXPECT_FALSE(button->GetButtonState() & UISTATE_HOT);
}

TEST(Events, DraggingOffTheWindowWhileCapturedEndsTheHoverState) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    auto* button = static_cast<CButtonUI*>(host.Find(L"btn_one"));
    host.MouseDown(CentreOf(button));
    host.MouseMove({-50, -50});  // dragged off the window while captured
    host.MouseUp({-50, -50});
    EXPECT_FALSE(button->GetButtonState() & UISTATE_HOT);
    EXPECT_EQ(host.manager().GetHoverControl(), nullptr);
}

TEST(Events, DisabledControlsAreHitButDoNotReact) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    CControlUI* off = host.Find(L"btn_off");
    EXPECT_EQ(host.manager().FindControl(CentreOf(off)), off);
    host.notes().Clear();
    host.Click(CentreOf(off));
    for (auto& step : host.notes().Sequence()) EXPECT_NE(step, L"click:btn_off");
}

TEST(Events, HitTestingFindsTheTopmostControlAndSkipsMouseTransparentOnes) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><Container name=\"root\">"
                        L"<Control name=\"under\"/>"
                        L"<Container name=\"glass\" mouse=\"false\"><Button name=\"deep\" float=\"true\" pos=\"10,10,50,50\"/></Container>"
                        L"</Container></Window>"),
              nullptr);
    EXPECT_EQ(host.manager().FindControl(POINT{20, 20}), host.Find(L"deep"));
    // The mouse-transparent container is skipped, so the control below it is hit.
    EXPECT_EQ(host.manager().FindControl(POINT{200, 200}), host.Find(L"under"));
}

TEST(Events, SpaceOnTheFocusedButtonClicksAndTabMovesTheFocus) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    host.Find(L"btn_one")->SetFocus();
    host.notes().Clear();
    host.Key(VK_SPACE);
    EXPECT_EQ(host.notes().Sequence(), (std::vector<std::wstring>{L"click:btn_one"}));
    LRESULT result = 0;
    EXPECT_TRUE(host.manager().PreMessageHandler(WM_KEYDOWN, VK_TAB, 0, result));
    EXPECT_EQ(host.manager().GetFocus(), host.Find(L"btn_two"));
}

TEST(Events, TimersReachTheirControlAndAPairCannotBeStartedTwice) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    CControlUI* label = host.Find(L"lab");
    ASSERT_TRUE(host.manager().SetTimer(label, 7, 10));
    EXPECT_FALSE(host.manager().SetTimer(label, 7, 10));
    ASSERT_TRUE(winhush::test::WaitUntil(
        [&] {
            for (auto& e : host.notes().events) {
                if (e.type == L"timer" && e.sender == L"lab" && e.wParam == 7) return true;
            }
            return false;
        },
        std::chrono::milliseconds(2000)));
    EXPECT_TRUE(host.manager().KillTimer(label, 7));
    EXPECT_FALSE(host.manager().KillTimer(label, 7));
    EXPECT_TRUE(host.manager().SetTimer(label, 7, 10));  // a killed pair can be re-armed
    host.manager().KillTimer(label);
}

TEST(Events, TheWheelScrollsTheContainerUnderTheCursor) {
    TestHost host(200, 100);
    CContainerUI* list =
        host.LoadScrollBox(L"<Control name=\"r0\" height=\"60\"/><Control height=\"60\"/><Control height=\"60\"/>");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetScrollRange().cy, 80);
    POINT row = CentreOf(host.Find(L"r0"));
    host.WheelAt(row, false);
    int line = host.manager().GetDefaultFontInfo()->tm.tmHeight + 8;
    EXPECT_EQ(list->GetScrollPos().cy, std::min(line, 80));
    host.WheelAt(row, true);
    EXPECT_EQ(list->GetScrollPos().cy, 0);
}

// Content larger than the view both ways: each step must move its own axis only, by its
// own amount (a text line or 8 px, the view less the other bar), and stop at the ends.
TEST(Events, ScrollStepsMoveOnlyTheirOwnAxisByTheirOwnAmount) {
    TestHost host(200, 100);
    CContainerUI* box = host.LoadScrollBox(L"<Control width=\"500\" height=\"150\"/><Control width=\"500\" height=\"150\"/>",
                                           L"vscrollbar=\"true\" hscrollbar=\"true\"");
    ASSERT_NE(box, nullptr);
    SIZE range = box->GetScrollRange();
    ASSERT_GT(range.cx, 200);
    ASSERT_GT(range.cy, 200);
    int line = host.manager().GetDefaultFontInfo()->tm.tmHeight + 8;
    int pageDown = 100 - box->GetHorizontalScrollBar()->GetFixedHeight();
    int pageRight = 200 - box->GetVerticalScrollBar()->GetFixedWidth();
    auto at = [&](LONG cx, LONG cy) {
        SIZE pos = box->GetScrollPos();
        return pos.cx == cx && pos.cy == cy;
    };
    box->LineDown();
    EXPECT_TRUE(at(0, line));
    box->LineRight();
    EXPECT_TRUE(at(8, line));
    box->PageDown();
    EXPECT_TRUE(at(8, line + pageDown));
    box->PageRight();
    EXPECT_TRUE(at(8 + pageRight, line + pageDown));
    box->LineUp();
    EXPECT_TRUE(at(8 + pageRight, pageDown));
    box->PageLeft();
    EXPECT_TRUE(at(8, pageDown));
    box->PageUp();
    EXPECT_TRUE(at(8, 0));
    box->LineLeft();
    box->LineLeft();  // stays at the start
    box->LineUp();
    EXPECT_TRUE(at(0, 0));
    box->EndDown();
    EXPECT_TRUE(at(0, range.cy));
    box->EndRight();
    EXPECT_TRUE(at(range.cx, range.cy));
    box->PageDown();  // held at the end
    EXPECT_TRUE(at(range.cx, range.cy));
    box->HomeUp();
    EXPECT_TRUE(at(range.cx, 0));
    box->HomeLeft();
    EXPECT_TRUE(at(0, 0));
}

// Keys scroll along the vertical bar when there is one, else along the horizontal bar.
TEST(Events, ScrollKeysFollowTheVerticalBarElseTheHorizontalOne) {
    TestHost host(200, 100);
    ASSERT_NE(host.Load(L"<Window><VerticalLayout>"
                        L"<HorizontalLayout name=\"row\" height=\"50\" hscrollbar=\"true\">"
                        L"<Control width=\"500\"/></HorizontalLayout>"
                        L"<VerticalLayout name=\"col\" vscrollbar=\"true\" hscrollbar=\"true\">"
                        L"<Control width=\"500\" height=\"300\"/></VerticalLayout>"
                        L"</VerticalLayout></Window>"),
              nullptr);
    auto* row = static_cast<CContainerUI*>(host.Find(L"row"));
    auto* col = static_cast<CContainerUI*>(host.Find(L"col"));
    ASSERT_GT(row->GetScrollRange().cx, 0);
    ASSERT_GT(col->GetScrollRange().cy, 0);
    auto key = [](CContainerUI* target, WORD vk) {
        TEventUI event = {};
        event.Type = UIEVENT_KEYDOWN;
        event.chKey = vk;
        target->DoEvent(event);
    };
    key(row, VK_DOWN);
    EXPECT_EQ(row->GetScrollPos().cx, 8);
    key(row, VK_END);
    EXPECT_EQ(row->GetScrollPos().cx, row->GetScrollRange().cx);
    key(row, VK_HOME);
    EXPECT_EQ(row->GetScrollPos().cx, 0);
    key(col, VK_NEXT);
    EXPECT_GT(col->GetScrollPos().cy, 0);
    EXPECT_EQ(col->GetScrollPos().cx, 0);
    key(col, VK_END);
    EXPECT_EQ(col->GetScrollPos().cy, col->GetScrollRange().cy);
    EXPECT_EQ(col->GetScrollPos().cx, 0);
}

TEST(Events, AButtonRemovedByItsOwnClickHandlerIsDeletedLater) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    bool destroyed = false;
    CControlUI* one = host.Find(L"btn_one");
    one->OnDestroy += [&](void*) {
        destroyed = true;
        return true;
    };
    host.onNotify = [&](TNotifyUI& msg) {
        if (msg.sType == L"click" && msg.pSender == one) {
            static_cast<CContainerUI*>(one->GetParent())->Remove(one);
        }
    };
    host.Click(CentreOf(one));
    EXPECT_FALSE(destroyed);  // still alive while its own handler runs
    EXPECT_EQ(host.Find(L"btn_one"), one);
    winhush::test::PumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(host.Find(L"btn_one"), nullptr);
    EXPECT_EQ(host.manager().GetFocus(), nullptr);
}

TEST(Events, ClosingTheWindowReleasesThePendingTargets) {
    TestHost host;
    ASSERT_NE(host.Load(kOptionsLayout), nullptr);
    auto* button = static_cast<CButtonUI*>(host.Find(L"btn_one"));
    host.MouseDown(CentreOf(button));
    LRESULT result = 0;
    host.manager().MessageHandler(WM_CLOSE, 0, 0, result);
    EXPECT_FALSE(button->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED | UISTATE_HOT));
    EXPECT_EQ(host.manager().GetFocus(), nullptr);
}

}  // namespace
}  // namespace winhush::dui
