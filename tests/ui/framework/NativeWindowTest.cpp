// The native window layer: attaching objects to windows, class registration, final-message
// timing, centring and the modal loop, all with real windows on this thread.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ui/framework/ModalLoop.h"
#include "ui/framework/Window.h"
#include "ui/framework/WindowPlacement.h"

using namespace winhush::ui;
using namespace winhush::test;

namespace {

class ProbeWnd : public CWindowImpl<ProbeWnd, CWinTraits<WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW>> {
public:
    std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)> onMessage;
    std::vector<UINT> seen;
    int finalCount = 0;
    HWND finalHwnd = nullptr;

    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        seen.push_back(message);
        return onMessage && onMessage(message, wParam, lParam, result);
    }
    void OnFinalMessage(HWND hwnd) override {
        ++finalCount;
        finalHwnd = hwnd;
    }
};

class OtherWnd : public CWindowImpl<OtherWnd, CWinTraits<WS_POPUP, 0>> {
public:
    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
};

// The main window needs a fixed class name so that a second instance can find it.
class FixedNameWnd : public CWindowImpl<FixedNameWnd, CWinTraits<WS_POPUP, 0>> {
public:
    static CWndClassInfo& GetWndClassInfo() {
        static CWndClassInfo info{L"WinhushFixedClassProbe"};
        return info;
    }
    BOOL ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override { return FALSE; }
};

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

}  // namespace

namespace {
std::vector<UINT>* gHooked = nullptr;
LRESULT CALLBACK RecordSentMessages(int code, WPARAM wParam, LPARAM lParam) {
    auto* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    wchar_t name[8] = {};
    // Only messages for windows of the probe's class: generated names start with "ATL:".
    if (code == HC_ACTION && gHooked && ::GetClassNameW(sent->hwnd, name, 8) && std::wstring(name, 4) == L"ATL:")
        gHooked->push_back(sent->message);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
}  // namespace

TEST(NativeWindow, ReceivesEveryMessageFromTheFirstOn) {
    std::vector<UINT> hooked;
    gHooked = &hooked;
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, RecordSentMessages, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    ProbeWnd wnd;
    HWND created = wnd.Create(nullptr, Rect(10, 10, 210, 110));
    ::UnhookWindowsHookEx(hook);
    gHooked = nullptr;
    ASSERT_TRUE(created);
    // Pop-ups may get WM_GETMINMAXINFO before WM_NCCREATE; the object must see that too,
    // in fact every message the window was sent during creation.
    ASSERT_FALSE(hooked.empty());
    EXPECT_EQ(wnd.seen, hooked);
    EXPECT_NE(std::find(wnd.seen.begin(), wnd.seen.end(), static_cast<UINT>(WM_NCCREATE)), wnd.seen.end());
    EXPECT_NE(std::find(wnd.seen.begin(), wnd.seen.end(), static_cast<UINT>(WM_CREATE)), wnd.seen.end());
    RECT rc = wnd.GetWindowRect();
    EXPECT_EQ(rc.right - rc.left, 200);
    EXPECT_EQ(wnd.GetStyle() & WS_POPUP, static_cast<DWORD>(WS_POPUP));
    EXPECT_TRUE(wnd.GetExStyle() & WS_EX_TOOLWINDOW);
    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
}

TEST(NativeWindow, RegistersOneGeneratedClassPerWindowType) {
    ProbeWnd a, b;
    OtherWnd c;
    ASSERT_TRUE(a.Create(nullptr, Rect(0, 0, 50, 50)));
    ASSERT_TRUE(b.Create(nullptr, Rect(0, 0, 50, 50)));
    ASSERT_TRUE(c.Create(nullptr, Rect(0, 0, 50, 50)));
    EXPECT_EQ(ClassOf(a), ClassOf(b));
    EXPECT_NE(ClassOf(a), ClassOf(c));
    EXPECT_EQ(ClassOf(a).rfind(L"ATL:", 0), 0u);
    WNDCLASSEXW info = {sizeof(info)};
    ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), ClassOf(a).c_str(), &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    FixedNameWnd fixed;
    ASSERT_TRUE(fixed.Create(nullptr, Rect(0, 0, 50, 50)));
    EXPECT_EQ(ClassOf(fixed), L"WinhushFixedClassProbe");
    EXPECT_EQ(::FindWindowW(L"WinhushFixedClassProbe", nullptr), fixed.m_hWnd);
    fixed.DestroyWindow();
    a.DestroyWindow();
    b.DestroyWindow();
    c.DestroyWindow();
}

TEST(NativeWindow, FinalMessageWaitsForTheOutermostHandler) {
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, Rect(0, 0, 80, 80)));
    HWND hwnd = wnd;
    int finalSeenInsideHandler = -1;
    wnd.onMessage = [&](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message != WM_APP) return false;
        ::DestroyWindow(hwnd);
        // The object may be freed by OnFinalMessage: it must not run while we are here.
        finalSeenInsideHandler = wnd.finalCount;
        result = 5;
        return true;
    };
    EXPECT_EQ(::SendMessageW(hwnd, WM_APP, 0, 0), 5);
    EXPECT_EQ(finalSeenInsideHandler, 0);
    EXPECT_EQ(wnd.finalCount, 1);
    EXPECT_EQ(wnd.finalHwnd, hwnd);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(NativeWindow, AnExceptionInAHandlerDoesNotEscapeTheWindowProcedure) {
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, Rect(0, 0, 80, 80)));
    wnd.onMessage = [](UINT message, WPARAM, LPARAM, LRESULT&) -> bool {
        if (message == WM_APP) throw std::runtime_error("handler fault");
        return false;
    };
    EXPECT_EQ(::SendMessageW(wnd, WM_APP, 0, 0), 0);  // default treatment
    EXPECT_TRUE(wnd.IsWindow());
    wnd.DestroyWindow();
}

TEST(NativeWindow, DestroyingTheObjectDestroysItsWindow) {
    HWND hwnd = nullptr;
    {
        ProbeWnd wnd;
        hwnd = wnd.Create(nullptr, Rect(0, 0, 80, 80));
        ASSERT_TRUE(hwnd);
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Centring, CentresOverTheAnchorAndClampsIntoTheWorkArea) {
    struct Case {
        RECT anchor;
        SIZE size;
        RECT expected;
    } cases[] = {
        {{100, 100, 500, 400}, {200, 100}, {200, 200, 400, 300}},     // plain centring
        {{0, 0, 1280, 780}, {300, 200}, {490, 290, 790, 490}},        // over the work area
        {{1100, 600, 1300, 800}, {300, 200}, {980, 580, 1280, 780}},  // pushed back from right/bottom
        {{-200, -100, 0, 50}, {300, 200}, {0, 0, 300, 200}},          // pushed back from left/top
        {{0, 0, 1280, 780}, {1400, 900}, {0, 0, 1400, 900}},          // larger than the area: left/top win
    };
    RECT work = {0, 0, 1280, 780};
    for (const auto& c : cases) {
        RECT rc = CenteredRect(c.anchor, c.size, work);
        EXPECT_EQ(rc.left, c.expected.left);
        EXPECT_EQ(rc.top, c.expected.top);
        EXPECT_EQ(rc.right, c.expected.right);
        EXPECT_EQ(rc.bottom, c.expected.bottom);
    }
}

TEST(Centring, UsesTheOwnerOnlyWhenItCanBeSeen) {
    ProbeWnd owner, dialog;
    ASSERT_TRUE(owner.Create(nullptr, Rect(100, 100, 500, 400)));
    ASSERT_TRUE(dialog.Create(owner, Rect(0, 0, 200, 100)));
    owner.ShowWindow(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(CenterWindowOverOwner(dialog));
    RECT rc = dialog.GetWindowRect();
    EXPECT_EQ(rc.left, 200);
    EXPECT_EQ(rc.top, 200);
    EXPECT_EQ(rc.right - rc.left, 200);  // size kept

    owner.ShowWindow(SW_HIDE);
    ASSERT_TRUE(CenterWindowOverOwner(dialog));
    MONITORINFO info = {sizeof(info)};
    ::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &info);
    rc = dialog.GetWindowRect();
    EXPECT_EQ(rc.left, info.rcWork.left + (info.rcWork.right - info.rcWork.left - 200) / 2);
    EXPECT_EQ(rc.top, info.rcWork.top + (info.rcWork.bottom - info.rcWork.top - 100) / 2);
    dialog.DestroyWindow();
    owner.DestroyWindow();
}

namespace {

// A dialog that records the state of its owner at the moments that matter.
struct ModalFixture {
    ProbeWnd owner, dialog;
    CMessageLoop loop;
    bool ownerEnabledAtDestroy = false;
    bool ownerFocusedAtDestroy = false;
    bool ownerDisabledWhileRunning = false;
    bool dialogVisibleWhileRunning = false;

    void Create(bool closeOnTimer = true) {
        ASSERT_TRUE(owner.Create(nullptr, Rect(100, 100, 500, 400), L"owner", WS_POPUP | WS_VISIBLE));
        ASSERT_TRUE(dialog.Create(owner, Rect(150, 150, 350, 300), L"dialog", WS_POPUP));
        dialog.onMessage = [this, closeOnTimer](UINT message, WPARAM, LPARAM, LRESULT&) {
            if (message == WM_TIMER) {
                ownerDisabledWhileRunning = !::IsWindowEnabled(owner);
                dialogVisibleWhileRunning = ::IsWindowVisible(dialog) != FALSE;
                ::KillTimer(dialog, 1);
                if (closeOnTimer) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
                return true;
            }
            if (message == WM_DESTROY) {
                ownerEnabledAtDestroy = ::IsWindowEnabled(owner) != FALSE;
                ownerFocusedAtDestroy = ::GetFocus() == owner.m_hWnd;
            }
            return false;
        };
        ::SetTimer(dialog, 1, 20, nullptr);
    }
    ~ModalFixture() {
        if (dialog.IsWindow()) dialog.DestroyWindow();
        if (owner.IsWindow()) owner.DestroyWindow();
    }
};

}  // namespace

TEST(ModalLoop, ReEnablesAndFocusesTheOwnerBeforeTheDialogIsDestroyed) {
    ModalFixture f;
    f.Create();
    ModalLoopEnd end = RunModalLoop(f.dialog, f.loop);
    EXPECT_FALSE(end.quit);
    EXPECT_TRUE(f.ownerDisabledWhileRunning);
    EXPECT_TRUE(f.dialogVisibleWhileRunning);
    EXPECT_TRUE(f.ownerEnabledAtDestroy);
    EXPECT_TRUE(f.ownerFocusedAtDestroy);
    EXPECT_FALSE(f.dialog.IsWindow());
    EXPECT_TRUE(f.owner.IsWindowEnabled());
}

TEST(ModalLoop, QuitEndsTheDialogLoopAndIsPostedAgainForTheOuterLoop) {
    ModalFixture f;
    f.Create(false);
    ::PostQuitMessage(7);
    ModalLoopEnd end = RunModalLoop(f.dialog, f.loop);
    EXPECT_TRUE(end.quit);
    EXPECT_EQ(end.quitCode, 7);
    EXPECT_TRUE(f.dialog.IsWindow());  // the loop ended, not the dialog
    EXPECT_TRUE(f.owner.IsWindowEnabled());
    MSG msg = {};
    bool sawQuit = false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            sawQuit = true;
            EXPECT_EQ(msg.wParam, 7u);
            break;
        }
    }
    EXPECT_TRUE(sawQuit);
}

TEST(ModalLoop, LeavesAnOwnerThatWasAlreadyDisabledDisabled) {
    ModalFixture f;
    f.Create();
    f.owner.EnableWindow(false);
    RunModalLoop(f.dialog, f.loop);
    EXPECT_FALSE(f.dialog.IsWindow());
    EXPECT_FALSE(f.owner.IsWindowEnabled());
}

TEST(ModalLoop, KeepsTheOwnerBlockedWhenTheDialogRefusesToClose) {
    ModalFixture f;
    f.Create(false);
    int closes = 0;
    bool ownerDisabledAfterRefusal = false;
    f.dialog.onMessage = [&](UINT message, WPARAM, LPARAM, LRESULT& result) {
        if (message == WM_CLOSE) {
            result = 0;
            if (++closes == 1) {  // refuse the first close, accept the second
                ::SetTimer(f.dialog, 2, 20, nullptr);
                return true;
            }
            return false;
        }
        if (message == WM_TIMER) {
            ::KillTimer(f.dialog, 2);
            ownerDisabledAfterRefusal = !::IsWindowEnabled(f.owner);
            ::PostMessageW(f.dialog, WM_CLOSE, 0, 0);
            return true;
        }
        return false;
    };
    ::PostMessageW(f.dialog, WM_CLOSE, 0, 0);
    RunModalLoop(f.dialog, f.loop);
    EXPECT_EQ(closes, 2);
    EXPECT_TRUE(ownerDisabledAfterRefusal);
    EXPECT_TRUE(f.owner.IsWindowEnabled());
}

namespace {
struct CountingFilter : CMessageFilter {
    std::vector<int>* order;
    int id;
    UINT swallow;
    CountingFilter(std::vector<int>* o, int i, UINT s) : order(o), id(i), swallow(s) {}
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message != WM_APP + 5) return FALSE;
        order->push_back(id);
        return msg->message == swallow;
    }
};
// Closes the dialog from its first idle call: the loop only ends if idle processing runs.
struct ClosingIdle : CIdleHandler {
    HWND dialog = nullptr;
    int calls = 0;
    BOOL OnIdle() override {
        if (++calls == 1) ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        return FALSE;
    }
};
}  // namespace

TEST(ModalLoop, OffersMessagesToTheNewestFilterFirstAndRunsIdleHandlers) {
    ModalFixture f;
    f.Create(false);
    std::vector<int> order;
    CountingFilter first(&order, 1, 0), second(&order, 2, WM_APP + 5);
    ClosingIdle idle;
    idle.dialog = f.dialog;
    f.loop.AddMessageFilter(&first);
    f.loop.AddMessageFilter(&second);
    f.loop.AddIdleHandler(&idle);
    bool dialogGotIt = false, watchdogFired = false;
    auto previous = f.dialog.onMessage;
    f.dialog.onMessage = [&](UINT message, WPARAM w, LPARAM l, LRESULT& r) {
        if (message == WM_APP + 5) dialogGotIt = true;
        if (message == WM_TIMER && w == 9) {  // the loop never idled: end it, fail below
            watchdogFired = true;
            ::PostMessageW(f.dialog, WM_CLOSE, 0, 0);
            return true;
        }
        return previous(message, w, l, r);
    };
    ::SetTimer(f.dialog, 9, 3000, nullptr);
    ::PostMessageW(f.dialog, WM_APP + 5, 0, 0);
    CMessageLoop* outer = Module().GetMessageLoop();
    RunModalLoop(f.dialog, f.loop);
    EXPECT_EQ(order, std::vector<int>{2});  // the newest filter consumed it
    EXPECT_FALSE(dialogGotIt);
    EXPECT_GE(idle.calls, 1);
    EXPECT_FALSE(watchdogFired);
    EXPECT_EQ(Module().GetMessageLoop(), outer);  // the thread's loop is restored
}

// The program's dialogs join the thread's loop in WM_CREATE (before their modal loop runs)
// and leave it in WM_DESTROY (inside the modal loop). Both must meet the same loop, or the
// thread's loop goes on calling a dialog that is gone; and a window created while a modal
// loop runs still gets its keyboard messages through the thread loop's filters.
TEST(ModalLoop, ADialogJoiningTheThreadLoopAtCreationLeavesTheSameLoopAtDestruction) {
    ASSERT_EQ(Module().Init(::GetModuleHandleW(nullptr)), S_OK);
    CMessageLoop threadLoop;
    ASSERT_TRUE(Module().AddMessageLoop(&threadLoop));
    struct Member : CMessageFilter, CIdleHandler {
        int filtered = 0, idles = 0;
        BOOL PreTranslateMessage(MSG* msg) override {
            if (msg->message == WM_APP + 6) ++filtered;
            return FALSE;
        }
        BOOL OnIdle() override {
            ++idles;
            return FALSE;
        }
    } member;
    ProbeWnd owner, dialog;
    ASSERT_TRUE(owner.Create(nullptr, Rect(100, 100, 500, 400), L"owner", WS_POPUP | WS_VISIBLE));
    dialog.onMessage = [&](UINT message, WPARAM, LPARAM, LRESULT&) {
        if (message == WM_CREATE) {
            Module().GetMessageLoop()->AddMessageFilter(&member);
            Module().GetMessageLoop()->AddIdleHandler(&member);
        } else if (message == WM_DESTROY) {
            Module().GetMessageLoop()->RemoveMessageFilter(&member);
            Module().GetMessageLoop()->RemoveIdleHandler(&member);
        } else if (message == WM_APP + 6) {
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        } else if (message == WM_TIMER) {  // watchdog
            ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        return false;
    };
    ASSERT_TRUE(dialog.Create(owner, Rect(150, 150, 350, 300), L"dialog", WS_POPUP));
    ::SetTimer(dialog, 1, 3000, nullptr);
    ::PostMessageW(dialog, WM_APP + 6, 0, 0);
    CMessageLoop modal;
    RunModalLoop(dialog, modal);
    EXPECT_FALSE(dialog.IsWindow());
    EXPECT_EQ(member.filtered, 1) << "the thread loop's filters see what the modal loop pumps";
    EXPECT_EQ(Module().GetMessageLoop(), &threadLoop);
    EXPECT_FALSE(threadLoop.HasMessageFilter(&member));
    int idlesBefore = member.idles;
    threadLoop.OnIdle(0);
    EXPECT_EQ(member.idles, idlesBefore) << "the thread loop still calls the destroyed dialog";
    owner.DestroyWindow();
    Module().RemoveMessageLoop();
    Module().Term();
}
