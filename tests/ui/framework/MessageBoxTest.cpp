// Message boxes run modally over a real owner, answered through their own layouts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "UiTestSupport.h"
#include "ui/framework/MessageBoxBase.h"

using namespace winhush::ui;
using namespace winhush::test;

namespace {

class OwnerWnd : public CWindowImpl<OwnerWnd, CWinTraits<WS_POPUP | WS_VISIBLE, WS_EX_TOOLWINDOW>> {
public:
    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
};

// Acts on the box once its layout is up, as a user would.
class ScriptedBox : public CMessageBoxBase {
public:
    static constexpr UINT_PTR kWatchdog = 0x5A5A;
    std::function<void(ScriptedBox&)> script;
    bool timedOut = false;
    bool ownerDisabledWhileShown = false;
    bool centred = false;
    void OnLayoutInit() override {
        HWND owner = GetOwner();
        ownerDisabledWhileShown = owner && !::IsWindowEnabled(owner);
        RECT box = GetWindowRect(), over = {};
        ::GetWindowRect(owner, &over);
        centred = std::abs((box.left + box.right) - (over.left + over.right)) <= 1 &&
                  std::abs((box.top + box.bottom) - (over.top + over.bottom)) <= 1;
        // A script that fails to close the box must fail the test, not hang it.
        ::SetTimer(m_hWnd, kWatchdog, 5000, nullptr);
        if (script) script(*this);
    }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override {
        if (message == WM_TIMER && wParam == kWatchdog) {
            timedOut = true;
            ::KillTimer(m_hWnd, kWatchdog);
            PostMessage(WM_CLOSE);
            handled = TRUE;
            return 0;
        }
        return CMessageBoxBase::HandleMessage(message, wParam, lParam, handled);
    }
    void Press(const wchar_t* name) {
        CControlUI* control = m_pm.FindControl(name);
        ASSERT_NE(control, nullptr) << "no control in the layout";
        POINT at = CentreOf(control);
        LPARAM lp = MAKELPARAM(at.x, at.y);
        PostMessage(WM_MOUSEMOVE, 0, lp);
        PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, lp);
        PostMessage(WM_LBUTTONUP, 0, lp);
    }
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseProjectUiResources();
        ASSERT_TRUE(owner.Create(nullptr, RECT{200, 150, 900, 650}));
    }
    void TearDown() override {
        if (owner.IsWindow()) owner.DestroyWindow();
    }
    int RunWith(const wchar_t* layout, std::function<void(ScriptedBox&)> script) {
        box.script = std::move(script);
        return box.Run(owner, layout);
    }
    OwnerWnd owner;
    ScriptedBox box;
};

}  // namespace

TEST_F(MessageBoxTest, OkAnswersOneAndHandsTheOwnerBack) {
    EXPECT_EQ(RunWith(L"msg_exit_tip.xml", [](ScriptedBox& b) { b.Press(L"btn_ok"); }), 1);
    EXPECT_FALSE(box.timedOut);
    EXPECT_TRUE(box.ownerDisabledWhileShown);
    EXPECT_TRUE(box.centred);
    EXPECT_FALSE(box.IsWindow());
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(MessageBoxTest, CancelCloseButtonEscapeAndWmCloseAllAnswerTwo) {
    EXPECT_EQ(RunWith(L"msg_system_tip.xml", [](ScriptedBox& b) { b.Press(L"btn_cancel"); }), 2);
    EXPECT_FALSE(box.timedOut);
    ScriptedBox second;
    second.script = [](ScriptedBox& b) { b.Press(L"sysclosebutton"); };
    EXPECT_EQ(second.Run(owner, L"msg_system_tip.xml"), 2);
    EXPECT_FALSE(second.timedOut);
    ScriptedBox third;
    third.script = [](ScriptedBox& b) { b.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0); };
    EXPECT_EQ(third.Run(owner, L"msg_exit_tip.xml"), 2);
    EXPECT_FALSE(third.timedOut);
    ScriptedBox fourth;
    fourth.script = [](ScriptedBox& b) { b.PostMessage(WM_CLOSE); };
    EXPECT_EQ(fourth.Run(owner, L"msg_exit_tip.xml"), 2);
    EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(MessageBoxTest, ClicksOnOtherControlsDoNotAnswer) {
    int clicks = 0;
    ScriptedBox b;
    b.script = [&](ScriptedBox& box) {
        box.Press(L"lab_title");
        box.Press(L"lab_text");
        // Only then the real answer; a box that had closed on the labels would answer 2.
        box.Press(L"btn_ok");
        ++clicks;
    };
    EXPECT_EQ(b.Run(owner, L"msg_exit_tip.xml"), 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b.timedOut);
}

TEST_F(MessageBoxTest, WithoutALayoutNameAnswersTwoAtOnceAndShowsNothing) {
    ScriptedBox b;
    EXPECT_EQ(b.Run(owner, nullptr), 2);
    EXPECT_EQ(b.Run(owner, L""), 2);
    EXPECT_FALSE(b.IsWindow());
    EXPECT_TRUE(b.skinFile.empty());
}

TEST_F(MessageBoxTest, QuitWhileTheBoxIsOpenEndsItAndReachesTheOuterLoop) {
    int answer = RunWith(L"msg_exit_tip.xml", [](ScriptedBox&) { ::PostQuitMessage(3); });
    EXPECT_EQ(answer, 2);
    EXPECT_FALSE(box.IsWindow());
    EXPECT_TRUE(owner.IsWindowEnabled());
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}
