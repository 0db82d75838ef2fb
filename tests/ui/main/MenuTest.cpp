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

#include "UiTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "settings/SettingsStore.h"
#include "ui/controls/SlideOption.h"
#include "ui/framework/MainCommands.h"
#include "ui/main/Menu.h"

using namespace winhush::ui;
using namespace winhush::test;
namespace dui = winhush::dui;

namespace {

const std::wstring kSettingsKey = winhush::settings::kSettingsKeyPath;

// ---- placement rules -------------------------------------------------------------------

// Where a menu opened at `anchor` in the work area `work` must put its top-left corner;
// `size` for the menus whose size varies.
struct Placement {
    const char* what;
    POINT anchor;
    RECT work;
    POINT expected;
    SIZE size = {};
};

template <class Compute>
void ExpectPlacements(const std::vector<Placement>& cases, Compute compute) {
    for (const auto& c : cases) {
        POINT at = compute(c);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

TEST(MainMenuPosition, OpensLeftAndDownUnlessAnEdgeIsTooClose) {
    const SIZE menu = {160, 125};
    const RECT desktop = {0, 0, 1280, 780};
    ExpectPlacements(
        {
            {"room: right and top edge at the anchor", {1000, 100}, desktop, {840, 100}},
            {"near the left edge: opens to the right", {50, 100}, desktop, {50, 100}},
            {"exactly its width from the left edge", {160, 100}, desktop, {0, 100}},
            {"near the bottom edge: opens upwards", {600, 700}, desktop, {440, 575}},
            {"exactly its height above the bottom", {600, 655}, desktop, {440, 655}},
            {"bottom-left corner: right and up", {10, 770}, desktop, {10, 645}},
            {"second monitor, from its own edges", {1300, 1000}, {1280, 0, 2560, 1040}, {1300, 875}},
        },
        [&](const Placement& c) { return ComputeMainMenuPosition(c.anchor, menu, c.work); });
}

// The tray menu's own size and the shadow margins of "dlg_lace.xml" (left, top, right, bottom).
const SIZE kTrayMenu = {176, 161};
const MenuMargins kShadow = {12, 10, 12, 14};

TEST(TrayMenuPosition, FlipsAboveAndLeftOfTheCursorOnlyWhereItDoesNotFit) {
    const RECT desktop = {0, 0, 1280, 780};
    ExpectPlacements(
        {
            {"tray corner: above and left", {1270, 790}, desktop, {1094, 629}, kTrayMenu},
            {"20 px slack on the right", {1085, 200}, desktop, {909, 200}, kTrayMenu},
            {"one pixel more room", {1084, 200}, desktop, {1084, 200}, kTrayMenu},
            {"just fits above the bottom", {300, 619}, desktop, {300, 619}, kTrayMenu},
            {"one pixel too low", {300, 620}, desktop, {300, 459}, kTrayMenu},
            {"taller than the work area", {100, 700}, {0, 40, 1280, 800}, {100, 40}, {176, 800}},
            {"wider than the work area", {1500, 100}, {1280, 0, 2560, 1040}, {1280, 100}, {1400, 161}},
        },
        [&](const Placement& c) { return ComputeTrayMenuPosition(c.anchor, c.size, c.work, std::nullopt, kShadow); });
}

TEST(TrayMenuPosition, MovesAwayFromTheTaskbarByTheShadowOnThatSide) {
    const struct {
        const char* what;
        RECT work;
        std::optional<RECT> taskbar;
        POINT expected;  // the menu fits at the anchor (600, 300) in every case
    } cases[] = {
        {"bottom: up by the bottom margin", {0, 0, 1280, 780}, RECT{0, 780, 1280, 800}, {600, 286}},
        {"left: right by the left margin", {40, 0, 1280, 800}, RECT{0, 0, 40, 800}, {612, 300}},
        {"top: down by the top margin", {0, 40, 1280, 800}, RECT{0, 0, 1280, 40}, {600, 310}},
        {"right: left by the right margin", {0, 0, 1240, 800}, RECT{1240, 0, 1280, 800}, {588, 300}},
        {"no taskbar: no shift", {0, 0, 1280, 800}, std::nullopt, {600, 300}},
    };
    for (const auto& c : cases) {
        POINT at = ComputeTrayMenuPosition({600, 300}, kTrayMenu, c.work, c.taskbar, kShadow);
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
        hwnd = CreateTestWindow(L"WinhushMenuTestMain", &FakeMainWindow::Proc, this, L"menu test main", WS_EX_APPWINDOW,
                                RECT{300, 200, 700, 500});
    }
    ~FakeMainWindow() { ::DestroyWindow(hwnd); }

    HWND hwnd = nullptr;
    std::vector<Command> commands;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = TestWindowObject<FakeMainWindow>(hwnd, message, lParam);
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
        ::ShowWindow(main_.hwnd, SW_SHOWNORMAL);
        SetBlocking(1);
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
    HWND Open(CMenuBase* menu, HWND owner, POINT at) {
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
        ASSERT_NE(control, nullptr) << "no such entry";
        ClickAt(menu->m_hWnd, CentreOf(control));
    }
    static bool Gone(HWND hwnd) {
        return WaitUntil([&] { return !::IsWindow(hwnd); }, 2s);
    }
    static void Key(HWND hwnd, UINT vk) {
        ::PostMessageW(hwnd, WM_KEYDOWN, vk, 0);
        PumpFor(30ms);
    }

    FakeMainWindow main_;
    std::optional<DWORD> savedBlock_;
    std::vector<HWND> menus_;
};

TEST_F(MenuWindows, TrayMenuFollowsTheBlockingSetting) {
    for (DWORD blocking : {0u, 1u}) {
        SCOPED_TRACE(blocking ? "blocking on" : "blocking off");
        SetBlocking(blocking);
        bool freed = false;
        auto* menu = new Probe<CTrayMenu>(&freed);
        HWND hwnd = Open(menu, nullptr, {600, 300});
        ASSERT_NE(hwnd, nullptr);

        dui::CControlUI* locate = Find(menu, L"btn_locate");
        ASSERT_NE(locate, nullptr);
        dui::CControlUI* row = locate->GetParent();
        while (row && !row->GetInterface(L"ListContainerElement")) row = row->GetParent();
        ASSERT_NE(row, nullptr) << "the entry must sit in a menu row";
        EXPECT_EQ(locate->IsEnabled(), blocking == 1);
        EXPECT_EQ(row->IsEnabled(), blocking == 1);
        EXPECT_TRUE(Find(menu, L"btn_main")->IsEnabled());

        dui::CControlUI* block = Find(menu, L"btn_block");
        ASSERT_NE(block, nullptr);
        ASSERT_FALSE(block->GetUserData().empty());
        EXPECT_EQ(std::wstring(block->GetText()), blocking ? L"关闭拦截" : L"开启拦截");
        EXPECT_EQ(std::wstring(block->GetBkImage()) == std::wstring(block->GetUserData()), blocking == 0);

        if (!blocking) {
            // The greyed entry neither posts anything nor closes the menu.
            Click(menu, L"btn_locate");
            EXPECT_TRUE(main_.commands.empty());
            EXPECT_TRUE(::IsWindow(hwnd));
        }
        ::DestroyWindow(hwnd);
        EXPECT_TRUE(freed);
    }
}

TEST_F(MenuWindows, TrayMenuAtTheTaskbarOpensAboveLeftOfTheCursorClearOfTheTaskbar) {
    ASSERT_NE(::FindWindowW(L"Shell_TrayWnd", nullptr), nullptr) << "the test desktop has no taskbar";
    bool freed = false;
    // Where a right click on the first tray icon of the test desktop happens.
    HWND hwnd = Open(new Probe<CTrayMenu>(&freed), nullptr, {1270, 790});
    ASSERT_NE(hwnd, nullptr);
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right, 1270) << "right edge at the cursor";
    // Bottom edge at the cursor, then raised by the shadow's bottom reach (14 px at 96 DPI).
    EXPECT_EQ(rc.bottom, 790 - 14);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_EQ(::GetForegroundWindow(), hwnd);
    // Above the topmost notification tips that share its corner (regression: a later
    // SetWindowPos could not make it topmost once its shadow sat behind it).
    PumpFor(100ms);
    EXPECT_NE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(MenuWindows, MainMenuOpensRightNearTheLeftEdgeAndUpwardsNearTheBottom) {
    struct {
        POINT anchor;
        bool right, up;
    } cases[] = {{{5, 200}, true, false}, {{700, 770}, false, true}, {{700, 200}, false, false}};
    for (const auto& c : cases) {
        bool freed = false;
        HWND hwnd = Open(new Probe<CMainMenu>(&freed), main_.hwnd, c.anchor);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(::GetWindow(hwnd, GW_OWNER), main_.hwnd);
        RECT rc = {};
        ::GetWindowRect(hwnd, &rc);
        EXPECT_EQ(c.right ? rc.left : rc.right, c.anchor.x);
        EXPECT_EQ(c.up ? rc.bottom : rc.top, c.anchor.y);
        ::DestroyWindow(hwnd);
        EXPECT_TRUE(freed);
    }
}

TEST_F(MenuWindows, MenuClosesAndFreesItselfOnEscapeAndOnFocusLoss) {
    bool freed = false;
    HWND hwnd = Open(new Probe<CMainMenu>(&freed), main_.hwnd, {700, 300});
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(::GetFocus(), hwnd) << "the menu takes the focus when it opens";
    Key(hwnd, 'A');
    ::SetFocus(hwnd);  // focus staying with the menu
    PumpFor(30ms);
    EXPECT_TRUE(::IsWindow(hwnd));
    Key(hwnd, VK_ESCAPE);
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(freed);

    freed = false;
    hwnd = Open(new Probe<CMainMenu>(&freed), main_.hwnd, {700, 300});
    ASSERT_NE(hwnd, nullptr);
    ::SetForegroundWindow(main_.hwnd);
    ::SetFocus(main_.hwnd);
    EXPECT_TRUE(Gone(hwnd));
    EXPECT_TRUE(freed);
}

TEST_F(MenuWindows, EachEntryPostsItsCommandToTheMainWindowAndClosesTheMenu) {
    const struct {
        bool tray;
        const wchar_t* entry;
        MainCommand command;
    } cases[] = {
        {false, L"btn_setting", ID_OPEN_SETTINGS}, {false, L"btn_quit", ID_EXIT}, {true, L"btn_locate", ID_OPEN_LOCATE},
        {true, L"btn_block", ID_TOGGLE_BLOCK},     {true, L"btn_quit", ID_EXIT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.entry, c.entry + wcslen(c.entry)) + (c.tray ? " (tray)" : " (main)"));
        main_.commands.clear();
        bool freed = false;
        CMenuBase* menu = c.tray ? static_cast<CMenuBase*>(new Probe<CTrayMenu>(&freed))
                                 : static_cast<CMenuBase*>(new Probe<CMainMenu>(&freed));
        HWND hwnd = Open(menu, c.tray ? nullptr : main_.hwnd, {600, 300});
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

// Regression: the engine's own close handling gave the closing menu the focus back, which
// took the activation away from the main window the entry had just brought forward.
TEST_F(MenuWindows, OpenMainWindowEntryShowsTheHiddenMainWindowInFront) {
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

TEST_F(MenuWindows, ArrowKeysWalkTheEnabledEntriesAndEnterChoosesOne) {
    SetBlocking(0);  // "btn_locate" greyed: the walk must pass over it
    bool freed = false;
    auto* menu = new Probe<CTrayMenu>(&freed);
    HWND hwnd = Open(menu, nullptr, {600, 300});
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(menu->KeyboardEntry(), nullptr);
    Key(hwnd, VK_DOWN);
    EXPECT_EQ(menu->KeyboardEntry(), Find(menu, L"btn_main"));
    Key(hwnd, VK_DOWN);
    EXPECT_EQ(menu->KeyboardEntry(), Find(menu, L"btn_block"));
    Key(hwnd, VK_UP);
    Key(hwnd, VK_UP);
    EXPECT_EQ(menu->KeyboardEntry(), Find(menu, L"btn_quit")) << "wraps around at the top";
    Key(hwnd, VK_DOWN);
    Key(hwnd, VK_DOWN);
    auto* block = static_cast<dui::CButtonUI*>(Find(menu, L"btn_block")->GetInterface(L"Button"));
    EXPECT_NE(block->GetButtonState() & dui::UISTATE_HOT, 0u) << "the keyboard's entry looks hovered";
    EXPECT_EQ(static_cast<dui::CButtonUI*>(Find(menu, L"btn_main")->GetInterface(L"Button"))->GetButtonState() &
                  dui::UISTATE_HOT,
              0u);
    Key(hwnd, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return !main_.commands.empty(); }, 1s));
    EXPECT_EQ(main_.commands[0].id, ID_TOGGLE_BLOCK);
    EXPECT_TRUE(Gone(hwnd));
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
