// The main and tray menus: where they open (the placement rules for every work-area and
// taskbar edge, and real menus in the Wine test desktop, whose work area is
// (0,0)-(1280,780) above a bottom taskbar), what the tray menu shows with blocking off,
// which command each entry posts to the main window, and when a menu closes and frees
// itself. The "main window" is a plain window of this test registered as the program's.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "FrameworkTestSupport.h"
#include "TestSupport.h"
#include "app/StartupConfig.h"
#include "settings/SettingsStore.h"
#include "ui/controls/SlideOption.h"
#include "ui/main/Commands.h"
#include "ui/main/Menu.h"

using namespace winhush::ui;
using namespace winhush::test;
namespace dui = winhush::dui;

namespace {

const std::wstring kSettingsKey = winhush::settings::kSettingsKeyPath;

// ---- placement rules -------------------------------------------------------------------

struct MainCase {
    const char* what;
    POINT anchor;
    RECT work;
    POINT expected;
};

TEST(MainMenuPosition, OpensLeftAndDownUnlessAnEdgeIsTooClose) {
    const SIZE menu = {160, 125};
    const RECT desktop = {0, 0, 1280, 780};
    const MainCase cases[] = {
        {"room everywhere: right edge and top edge at the anchor", {1000, 100}, desktop, {840, 100}},
        {"near the left edge: opens to the right", {50, 100}, desktop, {50, 100}},
        {"exactly the menu's width from the left edge still opens left", {160, 100}, desktop, {0, 100}},
        {"near the bottom edge: opens upwards", {600, 700}, desktop, {440, 575}},
        {"exactly the menu's height above the bottom still opens down", {600, 655}, desktop, {440, 655}},
        {"bottom-left corner: right and up", {10, 770}, desktop, {10, 645}},
        {"a second monitor's work area counts from its own edges", {1300, 1000}, {1280, 0, 2560, 1040}, {1300, 875}},
    };
    for (const auto& c : cases) {
        POINT at = ComputeMainMenuPosition(c.anchor, menu, c.work);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

struct TrayCase {
    const char* what;
    POINT anchor;
    SIZE size;
    RECT work;
    std::optional<RECT> taskbar;
    POINT expected;
};

TEST(TrayMenuPosition, FlipsAtTheWorkAreaEdgesAndKeepsItsShadowOffTheTaskbar) {
    const SIZE menu = {176, 161};
    const MenuMargins shadow = {12, 10, 12, 14};  // left, top, right, bottom
    const TrayCase cases[] = {
        {"bottom taskbar: above and left of the cursor, raised by the bottom margin",
         {1270, 790},
         menu,
         {0, 0, 1280, 780},
         RECT{0, 780, 1280, 800},
         {1094, 615}},
        {"no taskbar: no shift", {1270, 790}, menu, {0, 0, 1280, 780}, std::nullopt, {1094, 629}},
        {"left taskbar: moved right by the left margin",
         {20, 700},
         menu,
         {40, 0, 1280, 800},
         RECT{0, 0, 40, 800},
         {32, 539}},
        {"top taskbar: moved down by the top margin",
         {1260, 20},
         menu,
         {0, 40, 1280, 800},
         RECT{0, 0, 1280, 40},
         {1084, 30}},
        {"right taskbar: moved left by the right margin",
         {1260, 700},
         menu,
         {0, 0, 1240, 800},
         RECT{1240, 0, 1280, 800},
         {1072, 539}},
        {"room below and to the right: opens at the cursor",
         {300, 200},
         menu,
         {0, 0, 1280, 780},
         RECT{0, 780, 1280, 800},
         {300, 186}},
        {"the 20 px slack on the right flips it early", {1085, 200}, menu, {0, 0, 1280, 780}, std::nullopt, {909, 200}},
        {"one pixel more room keeps it right of the cursor",
         {1084, 200},
         menu,
         {0, 0, 1280, 780},
         std::nullopt,
         {1084, 200}},
        {"taller than the work area: starts at the work area's top, not the screen's",
         {100, 700},
         {176, 800},
         {0, 40, 1280, 800},
         std::nullopt,
         {100, 40}},
        {"wider than the work area: starts at the work area's left",
         {1500, 100},
         {1400, 161},
         {1280, 0, 2560, 1040},
         std::nullopt,
         {1280, 100}},
        {"second monitor below-right corner", {2550, 1030}, menu, {1280, 0, 2560, 1040}, std::nullopt, {2374, 869}},
    };
    for (const auto& c : cases) {
        POINT at = ComputeTrayMenuPosition(c.anchor, c.size, c.work, c.taskbar, shadow);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

// ---- real menus -------------------------------------------------------------------------

struct Command {
    WORD id;
    LPARAM lParam;
};

// Stands in for the main window: records the commands it is sent.
class FakeMainWindow {
public:
    FakeMainWindow() {
        WNDCLASSEXW wc = {sizeof(wc)};
        wc.lpfnWndProc = &FakeMainWindow::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"WinhushMenuTestMain";
        ::RegisterClassExW(&wc);
        hwnd = ::CreateWindowExW(WS_EX_APPWINDOW, wc.lpszClassName, L"menu test main", WS_POPUP, 300, 200, 400, 300,
                                 nullptr, nullptr, wc.hInstance, this);
    }
    ~FakeMainWindow() { ::DestroyWindow(hwnd); }

    HWND hwnd = nullptr;
    std::vector<Command> commands;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<FakeMainWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == WM_COMMAND) {
            self->commands.push_back({LOWORD(wParam), lParam});
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

// Menus that report when they are freed, so that the self-deletion is observed rather than
// assumed.
template <class Menu>
class Probe : public Menu {
public:
    explicit Probe(bool* freed) : freed_(freed) {}
    ~Probe() override { *freed_ = true; }

private:
    bool* freed_;
};

// A menu whose layout holds a switch next to an ordinary entry.
class SwitchMenu : public CFrameMenuBase {
public:
    explicit SwitchMenu(bool* freed, std::vector<std::wstring>* clicks) : freed_(freed), clicks_(clicks) {}
    ~SwitchMenu() override { *freed_ = true; }
    const wchar_t* GetSkinFile() override {
        return L"<Window size=\"160,84\"><VerticalLayout bkcolor=\"#FFFFFFFF\">"
               L"<ListContainerElement height=\"40\"><SlideOption name=\"opt_switch\" framecount=\"4\" "
               L"framewidth=\"40\" frameheight=\"20\" ellapse=\"20\" /></ListContainerElement>"
               L"<ListContainerElement height=\"40\"><Button name=\"btn_plain\" text=\"x\" /></ListContainerElement>"
               L"</VerticalLayout></Window>";
    }
    void OnClick(TNotifyUI& msg) override { clicks_->push_back(msg.pSender->GetName()); }

private:
    bool* freed_;
    std::vector<std::wstring>* clicks_;
};

class MenuWindows : public ::testing::Test {
protected:
    void SetUp() override {
        UseProjectUiResources();
        savedBlock_ = RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, winhush::settings::kBlock);
        ASSERT_NE(main_.hwnd, nullptr);
        winhush::SetMainWindowHandle(main_.hwnd);
    }
    void TearDown() override {
        for (HWND menu : menus_)
            if (::IsWindow(menu)) ::DestroyWindow(menu);
        PumpFor(30ms);
        winhush::SetMainWindowHandle(nullptr);
        if (savedBlock_)
            RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, winhush::settings::kBlock, *savedBlock_);
        else
            RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, winhush::settings::kBlock);
    }

    void SetBlocking(DWORD on) {
        ASSERT_TRUE(RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, winhush::settings::kBlock, on));
    }

    // Opens a menu and lets it lay out and paint ("windowinit" comes with the first paint).
    template <class Menu>
    HWND Open(Menu* menu, HWND owner, POINT at) {
        HWND hwnd = menu->Create(owner, at.x, at.y);
        if (!hwnd) return nullptr;
        menus_.push_back(hwnd);
        ::UpdateWindow(hwnd);
        PumpFor(50ms);
        return hwnd;
    }

    static dui::CControlUI* Find(CMenuBase* menu, const wchar_t* name) { return menu->m_pm.FindControl(name); }

    static void Click(CMenuBase* menu, const wchar_t* name) {
        dui::CControlUI* control = Find(menu, name);
        ASSERT_NE(control, nullptr) << "no control of that name";
        ClickAt(menu->m_hWnd, CentreOf(control));
    }

    bool Gone(HWND hwnd) {
        return WaitUntil([&] { return !::IsWindow(hwnd); }, 2s);
    }

    FakeMainWindow main_;
    std::optional<DWORD> savedBlock_;
    std::vector<HWND> menus_;
};

TEST_F(MenuWindows, TrayMenuWithBlockingOffDisablesLocatingAndOffersToSwitchBlockingOn) {
    SetBlocking(0);
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    HWND hwnd = Open(menu, nullptr, {600, 300});
    ASSERT_NE(hwnd, nullptr);

    dui::CControlUI* locate = Find(menu, L"btn_locate");
    ASSERT_NE(locate, nullptr);
    EXPECT_FALSE(locate->IsEnabled());
    dui::CControlUI* row = locate->GetParent();
    while (row && !row->GetInterface(L"ListContainerElement")) row = row->GetParent();
    ASSERT_NE(row, nullptr) << "the entry must sit in a menu row";
    EXPECT_FALSE(row->IsEnabled());

    dui::CControlUI* block = Find(menu, L"btn_block");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::wstring(block->GetText()), L"开启拦截");
    EXPECT_FALSE(block->GetUserData().empty());
    EXPECT_EQ(std::wstring(block->GetBkImage()), std::wstring(block->GetUserData()));
    // The other entries are untouched.
    EXPECT_TRUE(Find(menu, L"btn_main")->IsEnabled());
    EXPECT_TRUE(Find(menu, L"btn_quit")->IsEnabled());

    // The greyed entry does nothing and does not close the menu.
    Click(menu, L"btn_locate");
    PumpFor(50ms);
    EXPECT_TRUE(main_.commands.empty());
    EXPECT_TRUE(::IsWindow(hwnd));
}

TEST_F(MenuWindows, TrayMenuWithBlockingOnKeepsTheLayoutsEntries) {
    SetBlocking(1);
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    ASSERT_NE(Open(menu, nullptr, {600, 300}), nullptr);

    EXPECT_TRUE(Find(menu, L"btn_locate")->IsEnabled());
    dui::CControlUI* block = Find(menu, L"btn_block");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::wstring(block->GetText()), L"关闭拦截");
    EXPECT_NE(std::wstring(block->GetBkImage()), std::wstring(block->GetUserData()));
}

TEST_F(MenuWindows, TrayMenuAtTheTaskbarOpensAboveLeftOfTheCursorClearOfTheTaskbar) {
    SetBlocking(1);
    ASSERT_NE(::FindWindowW(L"Shell_TrayWnd", nullptr), nullptr) << "the test desktop has no taskbar";
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    // Where a right click on the first tray icon of the test desktop happens.
    HWND hwnd = Open(menu, nullptr, {1270, 790});
    ASSERT_NE(hwnd, nullptr);

    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    const int height = rc.bottom - rc.top;
    EXPECT_EQ(rc.right, 1270) << "right edge at the cursor";
    // Bottom edge at the cursor, then raised by the shadow's bottom reach (14 px at 96 DPI)
    // because the taskbar lies below the work area.
    EXPECT_EQ(rc.top, 790 - height - 14);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetForegroundWindow(), hwnd);
}

TEST_F(MenuWindows, MainMenuOpensRightNearTheLeftEdgeAndUpwardsNearTheBottom) {
    SetBlocking(1);
    ::ShowWindow(main_.hwnd, SW_SHOWNORMAL);
    struct {
        POINT anchor;
        bool rightOfAnchor;
        bool aboveAnchor;
    } cases[] = {
        {{5, 200}, true, false},
        {{700, 770}, false, true},
        {{700, 200}, false, false},
    };
    for (const auto& c : cases) {
        bool freed = false;
        auto* menu = new Probe<CMainMenu>(&freed);
        HWND hwnd = Open(menu, main_.hwnd, c.anchor);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), main_.hwnd);
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        if (c.rightOfAnchor)
            EXPECT_EQ(rc.left, c.anchor.x);
        else
            EXPECT_EQ(rc.right, c.anchor.x);
        if (c.aboveAnchor)
            EXPECT_EQ(rc.bottom, c.anchor.y);
        else
            EXPECT_EQ(rc.top, c.anchor.y);
        ::DestroyWindow(hwnd);
        EXPECT_TRUE(freed);
    }
}

TEST_F(MenuWindows, EscapeClosesTheMenuAndTheMenuFreesItself) {
    SetBlocking(1);
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    HWND hwnd = Open(menu, nullptr, {600, 300});
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(::GetFocus(), hwnd) << "the menu takes the focus when it opens";

    ::PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(freed);
    // Any other key leaves a menu open.
    freed = false;
    menu = new Probe<CTrayMenu>(&freed);
    hwnd = Open(menu, nullptr, {600, 300});
    ::PostMessageW(hwnd, WM_KEYDOWN, 'A', 0);
    PumpFor(50ms);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(freed);
}

TEST_F(MenuWindows, MenuClosesWhenAnotherWindowTakesTheFocus) {
    SetBlocking(1);
    ::ShowWindow(main_.hwnd, SW_SHOWNORMAL);
    bool freed = false;
    auto* menu = new Probe<CMainMenu>(&freed);
    HWND hwnd = Open(menu, main_.hwnd, {700, 300});
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(::GetFocus(), hwnd);
    // Focus staying inside the menu (the paint manager focusing a control) keeps it open.
    ::SetFocus(hwnd);
    PumpFor(50ms);
    ASSERT_TRUE(::IsWindow(hwnd));

    ::SetForegroundWindow(main_.hwnd);
    ::SetFocus(main_.hwnd);
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(freed);
}

struct EntryCase {
    bool trayMenu;
    const wchar_t* entry;
    MainCommand command;
};

TEST_F(MenuWindows, EachEntryPostsItsCommandToTheMainWindowAndClosesTheMenu) {
    SetBlocking(1);
    ::ShowWindow(main_.hwnd, SW_SHOWNORMAL);
    const EntryCase cases[] = {
        {false, L"btn_setting", ID_OPEN_SETTINGS}, {false, L"btn_quit", ID_EXIT}, {true, L"btn_locate", ID_OPEN_LOCATE},
        {true, L"btn_block", ID_TOGGLE_BLOCK},     {true, L"btn_quit", ID_EXIT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry, c.entry + wcslen(c.entry)) + (c.trayMenu ? " (tray)" : " (main)"));
        main_.commands.clear();
        bool freed = false;
        CMenuBase* menu = c.trayMenu ? static_cast<CMenuBase*>(new Probe<CTrayMenu>(&freed))
                                     : static_cast<CMenuBase*>(new Probe<CMainMenu>(&freed));
        HWND hwnd = Open(menu, c.trayMenu ? nullptr : main_.hwnd, {600, 300});
        ASSERT_NE(hwnd, nullptr);
        Click(menu, c.entry);
        ASSERT_TRUE(WaitUntil([&] { return !main_.commands.empty(); }, 1s));
        ASSERT_EQ(main_.commands.size(), 1u);
        EXPECT_EQ(main_.commands[0].id, c.command);
        EXPECT_EQ(main_.commands[0].lParam, reinterpret_cast<LPARAM>(main_.hwnd));
        EXPECT_TRUE(Gone(hwnd));
        EXPECT_TRUE(freed);
    }
}

TEST_F(MenuWindows, OpenMainWindowEntryShowsTheHiddenMainWindowInFront) {
    SetBlocking(1);
    ::ShowWindow(main_.hwnd, SW_HIDE);
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    HWND hwnd = Open(menu, nullptr, {600, 300});
    ASSERT_NE(hwnd, nullptr);
    Click(menu, L"btn_main");
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(::IsWindowVisible(main_.hwnd));
    EXPECT_EQ(::GetForegroundWindow(), main_.hwnd);
    EXPECT_TRUE(main_.commands.empty()) << "the main window is shown directly, not by a command";
}

TEST_F(MenuWindows, ASwitchInsideAMenuFlipsWithoutClosingIt) {
    bool freed = false;
    std::vector<std::wstring> clicks;
    auto* menu = new SwitchMenu(&freed, &clicks);
    HWND hwnd = Open(menu, main_.hwnd, {600, 300});
    ASSERT_NE(hwnd, nullptr);
    auto* option = dynamic_cast<CSlideOption*>(Find(menu, L"opt_switch"));
    ASSERT_NE(option, nullptr) << "the menus' factory must create slide switches";
    const bool before = option->IsSelected();

    Click(menu, L"opt_switch");
    PumpFor(200ms);  // past the slide
    EXPECT_EQ(clicks, std::vector<std::wstring>{L"opt_switch"});
    EXPECT_NE(option->IsSelected(), before);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_FALSE(freed);

    Click(menu, L"btn_plain");
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(freed);
}

}  // namespace
