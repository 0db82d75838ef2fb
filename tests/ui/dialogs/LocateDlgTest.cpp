// The picker's pieces that need no other program: the pick rules, the system-window test,
// how a picture is fitted into the confirmation, the outline on the screen, and the
// confirmation's rows for a fresh pick and for a recorded window.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "DialogsTestSupport.h"
#include "FrameworkTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "ui/dialogs/AddConfirmDlg.h"
#include "ui/dialogs/LocateDlg.h"

using namespace winhush::ui;
using namespace winhush::test;
using namespace std::chrono_literals;
using winhush::StartupConfig;
using winhush::monitor::BlockRecord;

namespace {

BlockRecord Picked(const std::wstring& path, DWORD pid = 4242, DWORD style = WS_POPUP | WS_VISIBLE) {
    BlockRecord r;
    r.window.path = path;
    r.window.pid = pid;
    r.window.style = style;
    r.window.className = L"AdWnd";
    return r;
}

TEST(PickRules, IgnoreFailedSnapshotsMinimisedWindowsOurOwnAndTheSuitesPrograms) {
    StartupConfig config;
    config.ownProcessId = 77;
    config.suiteProgramDir = L"C:\\Program Files\\Zelvane\\Trevisk\\bin\\";
    const std::wstring other = L"C:\\PROGRAM FILES\\ADTOOL\\ADTOOL.EXE";
    EXPECT_EQ(CheckPick(Picked(other), true, config), PickRefusal::None);
    EXPECT_EQ(CheckPick(Picked(other), false, config), PickRefusal::SnapshotFailed);
    EXPECT_EQ(CheckPick(Picked(other, 4242, WS_POPUP | WS_MINIMIZE), true, config), PickRefusal::Minimised);
    EXPECT_EQ(CheckPick(Picked(other, 77), true, config), PickRefusal::OwnProcess);
    // Paths are upper case, the folder as the registry spells it.
    EXPECT_EQ(CheckPick(Picked(L"C:\\PROGRAM FILES\\ZELVANE\\TREVISK\\BIN\\UPDATER.EXE"), true, config),
              PickRefusal::SuiteProgram);
    EXPECT_EQ(CheckPick(Picked(L"C:\\PROGRAM FILES\\ZELVANE\\TREVISK\\BINARIES\\X.EXE"), true, config),
              PickRefusal::None);
    // Without a suite on this computer there is no folder to protect: every other window
    // can still be picked (an empty folder would otherwise be a prefix of every path).
    config.suiteProgramDir.clear();
    EXPECT_EQ(CheckPick(Picked(other), true, config), PickRefusal::None);
}

TEST(PickRules, SystemWindowsAreExplorersOrOfASystemClass) {
    StartupConfig config;
    config.explorerPath = L"C:\\windows\\explorer.exe";
    config.systemClasses = {L"Shell_TrayWnd", L"Progman"};
    BlockRecord r = Picked(L"C:\\WINDOWS\\EXPLORER.EXE");
    EXPECT_TRUE(IsSystemWindow(r, config)) << "the path compares without case";
    r = Picked(L"C:\\PROGRAM FILES\\SHELLX\\SHELLX.EXE");
    r.window.className = L"Shell_TrayWnd";
    EXPECT_TRUE(IsSystemWindow(r, config));
    r.window.className = L"shell_traywnd";
    EXPECT_FALSE(IsSystemWindow(r, config)) << "classes compare exactly";
    config.explorerPath.clear();
    EXPECT_FALSE(IsSystemWindow(Picked(L""), config)) << "no explorer known matches no empty path";
}

TEST(ConfirmPicture, ShrinksToFitKeepingItsShapeAndNeverGrows) {
    RECT wide = FitPicture(SIZE{1280, 720}, SIZE{392, 200});
    EXPECT_EQ(wide.right - wide.left, 355);
    EXPECT_EQ(wide.bottom - wide.top, 200);
    EXPECT_EQ(wide.left, (392 - 355) / 2);
    RECT small = FitPicture(SIZE{100, 50}, SIZE{392, 200});
    EXPECT_EQ(small.right - small.left, 100);
    EXPECT_EQ(small.bottom - small.top, 50);
    EXPECT_EQ(small.top, 75);
    RECT tall = FitPicture(SIZE{200, 2000}, SIZE{392, 200});
    EXPECT_EQ(tall.bottom - tall.top, 200);
    EXPECT_EQ(tall.right - tall.left, 20);
    RECT none = FitPicture(SIZE{0, 100}, SIZE{392, 200});
    EXPECT_TRUE(::IsRectEmpty(&none));
}

TEST(Outline, SitsJustInsideTheWindowAndASecondDrawingRemovesIt) {
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 300, 200,
                                    200, 120, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    PumpFor(200ms);
    RECT rc;
    ::GetWindowRect(window, &rc);
    const POINT edge{rc.left, rc.top}, inner{rc.left + 2, rc.top + 2}, beyond{rc.left + 3, rc.top + 3},
        outside{rc.left - 1, rc.top - 1};
    const COLORREF edgeBefore = ScreenPixel(edge), beyondBefore = ScreenPixel(beyond), outsideBefore = ScreenPixel(outside);
    const COLORREF innerBefore = ScreenPixel(inner);
    InvertFrame(rc, 3);
    auto inverted = [](COLORREF c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); };
    EXPECT_TRUE(NearColour(ScreenPixel(edge), inverted(edgeBefore), 4));
    EXPECT_TRUE(NearColour(ScreenPixel(inner), inverted(innerBefore), 4));
    EXPECT_TRUE(NearColour(ScreenPixel(beyond), beyondBefore, 4)) << "wider than asked";
    EXPECT_TRUE(NearColour(ScreenPixel(outside), outsideBefore, 4)) << "drawn over the neighbours";
    InvertFrame(rc, 3);
    EXPECT_TRUE(NearColour(ScreenPixel(edge), edgeBefore, 4));
    EXPECT_TRUE(NearColour(ScreenPixel(inner), innerBefore, 4));
    ::DestroyWindow(window);
}

TEST(Outline, TheWindowUnderAChildIsItsTopLevelAncestor) {
    // Not STATIC windows: they let hit tests through to what lies beneath.
    HWND top = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"LISTBOX", L"", WS_POPUP | WS_VISIBLE, 300, 200, 300,
                                 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    HWND child = ::CreateWindowExW(0, L"BUTTON", L"child", WS_CHILD | WS_VISIBLE, 20, 20, 100, 40, top, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    HWND grandchild = ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 5, 5, 20, 20, child, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(top && child && grandchild);
    PumpFor(150ms);
    EXPECT_EQ(::WindowFromPoint(POINT{330, 230}), grandchild);
    EXPECT_EQ(TopLevelWindowAt(POINT{330, 230}), top);
    EXPECT_EQ(TopLevelWindowAt(POINT{500, 350}), top);
    ::DestroyWindow(top);
}

}  // namespace
