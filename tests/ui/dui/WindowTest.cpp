// What the manager does for its window: the size from the layout, min/max tracking,
// a DPI change, per-window transparency, message filters and delayed notifications.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "TestSupport.h"

namespace winhush::dui {
namespace {

using test::TestHost;

TEST(HostWindow, TheLayoutSizeResizesTheWindowBeforeTheTreeIsAttached) {
    TestHost host(100, 100);
    ASSERT_NE(host.Load(L"<Window size=\"320,180\"><Control/></Window>"), nullptr);
    RECT rc;
    ::GetWindowRect(host.hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 320);
    EXPECT_EQ(rc.bottom - rc.top, 180);
    EXPECT_EQ(host.manager().GetRoot()->GetWidth(), 320);
    // Once attached, a size in another layout built for this manager leaves the window alone.
    CDialogBuilder later;
    CControlUI* extra = later.Create(L"<Window size=\"50,50\"><Control/></Window>", nullptr, nullptr, &host.manager());
    delete extra;
    ::GetWindowRect(host.hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 320);
}

TEST(HostWindow, MinimumAndMaximumTrackingSizesComeFromTheLayout) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window mininfo=\"200,120\" maxinfo=\"600,0\"><Control/></Window>"), nullptr);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 2};
    info.ptMaxTrackSize = {3000, 4000};
    ::SendMessageW(host.hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 200);
    EXPECT_EQ(info.ptMinTrackSize.y, 120);
    EXPECT_EQ(info.ptMaxTrackSize.x, 600);
    EXPECT_EQ(info.ptMaxTrackSize.y, 4000);  // 0 means unset
}

TEST(HostWindow, ADpiChangeRescalesFontsLayoutAndWindowData) {
    TestHost host(300, 200);
    ASSERT_NE(host.Load(L"<Window caption=\"0,0,0,40\"><Font name=\"Tahoma\" size=\"14\"/>"
                        L"<VerticalLayout><Control name=\"bar\" height=\"40\"/><Control/></VerticalLayout></Window>"),
              nullptr);
    host.manager().SetDPI(96);
    host.Layout();
    int font96 = host.manager().GetFontInfo(0)->tm.tmHeight;
    RECT suggested = {40, 40, 40 + 450, 40 + 300};
    ::SendMessageW(host.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    host.Layout();
    EXPECT_EQ(host.manager().GetDPI(), 144u);
    EXPECT_EQ(host.manager().GetCaptionRect().bottom, 60);
    EXPECT_EQ(host.Find(L"bar")->GetHeight(), 60);
    EXPECT_GT(host.manager().GetFontInfo(0)->tm.tmHeight, font96);
    RECT rc;
    ::GetWindowRect(host.hwnd(), &rc);
    EXPECT_EQ(rc.right - rc.left, 450);
    EXPECT_EQ(rc.bottom - rc.top, 300);
}

TEST(HostWindow, AlphaMakesTheWindowLayeredAndOpaqueAgainRemovesIt) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window alpha=\"200\"><Control/></Window>"), nullptr);
    EXPECT_TRUE(::GetWindowLongPtrW(host.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(host.hwnd(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 200);
    host.manager().SetTransparent(255);
    EXPECT_FALSE(::GetWindowLongPtrW(host.hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
}

TEST(HostWindow, AsynchronousNotificationsArriveWithTheNextMessage) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><Button name=\"b\"/></Window>"), nullptr);
    host.notes().Clear();
    host.manager().SendNotify(host.Find(L"b"), L"later", 5, 0, true);
    EXPECT_TRUE(host.notes().events.empty());
    ::SendMessageW(host.hwnd(), WM_NULL, 0, 0);
    ASSERT_EQ(host.notes().events.size(), 1u);
    EXPECT_EQ(host.notes().events[0].type, L"later");
    EXPECT_EQ(host.notes().events[0].wParam, 5u);
}

class Vetoing : public IMessageFilterUI {
public:
    LRESULT MessageHandler(UINT msg, WPARAM, LPARAM, bool& handled) override {
        if (msg == WM_LBUTTONDOWN) {
            handled = true;
            ++seen;
        }
        return 0;
    }
    int seen = 0;
};

TEST(HostWindow, MessageFiltersRunBeforeTheManager) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><Button name=\"b\"/></Window>"), nullptr);
    Vetoing filter;
    host.manager().AddMessageFilter(&filter);
    host.notes().Clear();
    host.Click(test::CentreOf(host.Find(L"b")));
    EXPECT_EQ(filter.seen, 1);
    EXPECT_TRUE(host.notes().Sequence({L"timer", L"setfocus", L"killfocus"}).empty());
    host.manager().RemoveMessageFilter(&filter);
    host.Click(test::CentreOf(host.Find(L"b")));
    EXPECT_EQ(host.notes().Sequence({L"timer", L"setfocus", L"killfocus"}), (std::vector<std::wstring>{L"click:b"}));
}

TEST(HostWindow, APageSwitchLeavesTheKeyboardFocusWithTheWindowThatHasIt) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><TabLayout name=\"tab\"><VerticalLayout><Button name=\"a\"/></VerticalLayout>"
                        L"<VerticalLayout><Button name=\"b\"/></VerticalLayout></TabLayout></Window>"),
              nullptr);
    host.Layout();
    TestHost other;
    ::SetForegroundWindow(other.hwnd());
    ::SetFocus(other.hwnd());
    ASSERT_EQ(::GetFocus(), other.hwnd());
    auto* tab = static_cast<CTabLayoutUI*>(host.Find(L"tab"));
    ASSERT_TRUE(tab->SelectItem(1));
    EXPECT_EQ(::GetFocus(), other.hwnd()) << "a page switched in the background took the focus";
    EXPECT_TRUE(host.Find(L"b")->IsVisible());

    // In the focused window the focus moves into the new page as before.
    ::SetForegroundWindow(host.hwnd());
    ::SetFocus(host.hwnd());
    ASSERT_TRUE(tab->SelectItem(0));
    EXPECT_EQ(::GetFocus(), host.hwnd());
    EXPECT_EQ(host.manager().GetFocus(), host.Find(L"a"));
}

}  // namespace
}  // namespace winhush::dui
