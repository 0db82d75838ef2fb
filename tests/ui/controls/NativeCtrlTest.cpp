// The native window host: the hosted window follows the control's rectangle and
// visibility, survives the control, and an owner is asked for a window when the control
// shows without one (and may decline).
#include <gtest/gtest.h>

#include "ControlHost.h"
#include "TestSupport.h"
#include "ui/controls/NativeCtrl.h"

namespace winhush::ui {
namespace {

using namespace std::chrono_literals;
using test::ControlHost;

const wchar_t* const kLayout =
    L"<Window><VerticalLayout inset=\"10,20,10,10\"><Control height=\"30\"/>"
    L"<NativeCtrl name=\"native\" width=\"150\" height=\"40\" padding=\"5,0,0,0\"/>"
    L"<Control/></VerticalLayout></Window>";

HWND MakeChild(HWND parent) {
    return ::CreateWindowExW(0, L"STATIC", L"hosted", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}

RECT ClientRectOf(HWND window, HWND parent) {
    RECT rc;
    ::GetWindowRect(window, &rc);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

TEST(NativeCtrl, KeepsTheHostedWindowOnItsRectangleAndInStepWithItsVisibility) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* native = host.FindAs<CNativeCtrl>(L"native");
    ASSERT_NE(native, nullptr);
    HWND child = MakeChild(host.hwnd());
    ASSERT_NE(child, nullptr);

    native->Attach(child);
    EXPECT_TRUE(::IsWindowVisible(child));
    RECT placed = ClientRectOf(child, host.hwnd());
    EXPECT_EQ(placed.left, 15);
    EXPECT_EQ(placed.top, 50);
    EXPECT_EQ(placed.right - placed.left, 150);
    EXPECT_EQ(placed.bottom - placed.top, 40);

    native->SetVisible(false);
    EXPECT_FALSE(::IsWindowVisible(child));
    native->SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(child));

    // A new size from the layout moves the window with it.
    native->SetFixedWidth(60);
    host.Layout();
    placed = ClientRectOf(child, host.hwnd());
    EXPECT_EQ(placed.right - placed.left, 60);

    EXPECT_EQ(native->Detach(), child);
    EXPECT_EQ(native->GetHostedWindow(), nullptr);
    native->SetVisible(false);
    EXPECT_TRUE(::IsWindowVisible(child)) << "a detached window is left alone";
    ::DestroyWindow(child);
}

TEST(NativeCtrl, NeverDestroysTheWindowItHosts) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* native = host.FindAs<CNativeCtrl>(L"native");
    HWND child = MakeChild(host.hwnd());
    native->Attach(child);
    auto* parent = static_cast<dui::CContainerUI*>(native->GetParent());
    ASSERT_TRUE(parent->Remove(native));
    winhush::test::PumpFor(100ms);  // the removal is carried out after the current message
    EXPECT_TRUE(::IsWindow(child));
    ::DestroyWindow(child);
}

TEST(NativeCtrl, AsksForAWindowWhenShownWithoutOneAndStaysEmptyIfNoneComes) {
    ControlHost host;
    ASSERT_NE(host.Load(kLayout), nullptr);
    auto* native = host.FindAs<CNativeCtrl>(L"native");
    native->SetVisible(false);
    native->SetVisible(true);
    EXPECT_EQ(host.NotesOf(L"nativectrl_init").size(), 1u);
    EXPECT_EQ(native->GetHostedWindow(), nullptr);
    host.Layout();  // painting an empty host is harmless

    // An owner that answers gets its window placed and shown at once.
    HWND child = MakeChild(host.hwnd());
    host.onNotify = [&](dui::TNotifyUI& msg) {
        if (msg.sType == L"nativectrl_init") static_cast<CNativeCtrl*>(msg.pSender)->Attach(child);
    };
    native->SetVisible(false);
    native->SetVisible(true);
    EXPECT_EQ(native->GetHostedWindow(), child);
    EXPECT_TRUE(::IsWindowVisible(child));
    EXPECT_EQ(ClientRectOf(child, host.hwnd()).top, 50);
    host.onNotify = nullptr;
    native->Detach();
    ::DestroyWindow(child);
}

}  // namespace
}  // namespace winhush::ui
