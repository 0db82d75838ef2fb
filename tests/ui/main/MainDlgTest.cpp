// The main window in this process against the program's real window monitor (on a
// temporary data directory) and the real settings key of the test prefix. What the window
// shows is read back from its controls, found by name in its paint manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "settings/Hotkeys.h"
#include "settings/SettingsStore.h"
#include "ui/controls/SplitButton.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dui/UIContainer.h"
#include "ui/framework/FormatText.h"
#include "ui/framework/MessageBoxBase.h"
#include "ui/framework/MainCommands.h"
#include "ui/main/MainDlg.h"

using namespace winhush::ui;
using namespace winhush::test;
using winhush::settings::kHotkeyLocate;
using winhush::settings::kHotkeyMain;
using winhush::monitor::BlockRecord;
namespace monitor = winhush::monitor;
namespace dui = winhush::dui;

namespace {

const std::wstring kSettingsKey = winhush::settings::kSettingsKeyPath;

// One program's worth of state for all tests: the UI thread's loop, the window monitor on
// a temporary data directory, the layouts and artwork.
class MainWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UseProjectUiResources();
        Module().Init(::GetModuleHandleW(nullptr));
        Module().AddMessageLoop(&loop);
        winhush::FillStartupBasics(winhush::GetStartupConfig());
        ASSERT_TRUE(monitor::WndMgr().InitWithDataDirectory(data_.path(), false));
    }
    void TearDown() override {
        winhush::rules::StopAutoCheck();
        monitor::WndMgr().Stop();
        Module().RemoveMessageLoop();
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
    }

    static inline CMessageLoop loop;
    ScopedTempDir data_;
};

[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

DWORD Setting(const wchar_t* name) { return RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name).value_or(0xDEAD); }

void DropAllRecords() {
    std::vector<BlockRecord> all;
    ASSERT_TRUE(monitor::WndMgr().CopyRecords(0, all));
    for (BlockRecord record : all) {
        record.status = monitor::kStatusRecorded;
        record.recordCnt = 0;
        monitor::WndMgr().StoreRecord(record);
    }
    monitor::WndMgr().ClearRecorded();
}

BlockRecord MakeRecord(uint64_t hash, const std::wstring& name, int status, uint32_t blockCnt, int64_t timeBlock,
                       int pos = monitor::kPositionRightBottom) {
    BlockRecord record;
    record.hash = hash;
    record.name = name;
    record.window.path = L"C:\\PROGRAM FILES\\" + name + L"\\" + name + L".EXE";
    record.window.className = L"AdWindow";
    record.window.pos = pos;
    record.status = status;
    record.blockCnt = blockCnt;
    record.timeBlock = timeBlock;
    return record;
}

std::vector<BlockRecord> StoredRecords() {
    std::vector<BlockRecord> all;
    monitor::WndMgr().CopyRecords(0, all);
    return all;
}

// Status of the stored record, -1 when there is none.
int StoredStatus(uint64_t hash) {
    for (const BlockRecord& r : StoredRecords())
        if (r.hash == hash) return r.status;
    return -1;
}

// Runs the thread's own message loop (with the idle hook, as the program does) until the
// predicate holds or the limit passes.
std::function<bool()> g_loopDone;
std::chrono::steady_clock::time_point g_loopDeadline;
void CALLBACK LoopCheck(HWND, UINT, UINT_PTR, DWORD) {
    if (g_loopDone() || std::chrono::steady_clock::now() > g_loopDeadline) ::PostQuitMessage(0);
}
bool RunLoopUntil(std::function<bool()> done, std::chrono::milliseconds limit) {
    g_loopDone = std::move(done);
    g_loopDeadline = std::chrono::steady_clock::now() + limit;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 20, LoopCheck);
    MainWindowEnvironment::loop.Run();
    ::KillTimer(nullptr, timer);
    return g_loopDone();
}

// A message box of this process, through the window object behind it.
CMessageBoxBase* OpenMessageBox(HWND owner) {
    for (HWND hwnd : TopLevelWindowsOf(::GetCurrentProcessId())) {
        if (!::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER) != owner) continue;
        auto* root = reinterpret_cast<CWindowImplRoot*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (auto* box = dynamic_cast<CMessageBoxBase*>(root); box && box->IsLayoutLoaded()) return box;
    }
    return nullptr;
}

// Presses a button of the message box that shows up over `owner` while a modal loop runs.
std::wstring g_pressName;
HWND g_pressOwner = nullptr;
bool g_pressed = false;
std::chrono::steady_clock::time_point g_pressDeadline;
void CALLBACK PressInBox(HWND, UINT, UINT_PTR timer, DWORD) {
    CMessageBoxBase* box = OpenMessageBox(g_pressOwner);
    if (box && !g_pressed) {
        if (dui::CControlUI* button = box->m_pm.FindControl(g_pressName.c_str())) {
            POINT at = CentreOf(button);
            box->PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
            box->PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            g_pressed = true;
        }
    }
    if (g_pressed || std::chrono::steady_clock::now() > g_pressDeadline) {
        ::KillTimer(nullptr, timer);
        // A box nobody could answer must not hold the test.
        if (!g_pressed && box) box->PostMessage(WM_CLOSE);
    }
}

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeAt(HKEY_LOCAL_MACHINE, kSettingsKey);
        for (auto [name, value] : {std::pair{L"ScanSoftware", 0},
                                   {L"AutoCheck", 0},
                                   {L"Block", 1},
                                   {L"HideTray", 0},
                                   {L"IconTip", 0},
                                   {L"BlockCount", 0}}) {
            ASSERT_TRUE(RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, static_cast<DWORD>(value)));
        }
        DropAllRecords();
    }
    void TearDown() override {
        for (MainDialog d : {MainDialog::Locate, MainDialog::Records, MainDialog::Rules, MainDialog::Settings})
            SetDialogRunner(d, nullptr);
        if (dlg && dlg->IsWindow()) dlg->DestroyWindow();
        dlg.reset();
        // The window's destruction ends "the program's" loop; this test thread goes on.
        MSG msg;
        PumpFor(20ms);
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        DropAllRecords();
    }

    // Creates the main window and shows it without activation so that it lays out and paints.
    void Open() {
        dlg = std::make_unique<CMainDlg>();
        ASSERT_NE(dlg->CreateMainWindow(), nullptr);
        ::SetWindowPos(dlg->m_hWnd, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ShowAndPaint(dlg->m_hWnd);
        ASSERT_TRUE(dlg->IsLayoutLoaded());
        ASSERT_NE(dlg->ListBlock(), nullptr);
        ASSERT_NE(dlg->TabMain(), nullptr);
    }

    dui::CControlUI* Control(const wchar_t* name) { return dlg->m_pm.FindControl(name); }
    std::wstring CounterText() {
        auto* counter = dynamic_cast<dui::CContainerUI*>(Control(L"lay_counter"));
        if (!counter) return L"<missing>";
        std::wstring text;
        for (int i = 0; i < counter->GetCount(); ++i) text += counter->GetItemAt(i)->GetText();
        return text;
    }
    int Page() { return dlg->TabMain()->GetCurSel(); }
    // The pooled row that currently shows data item `index`.
    dui::CControlUI* Row(int index) { return dlg->ListBlock()->GetBody()->FindRow(index); }
    dui::CControlUI* InRow(int index, const wchar_t* name) {
        dui::CControlUI* row = Row(index);
        return row ? dlg->m_pm.FindSubControlByName(row, name) : nullptr;
    }
    std::wstring RowText(int index, const wchar_t* name) {
        dui::CControlUI* c = InRow(index, name);
        return c ? std::wstring(c->GetText()) : L"<missing>";
    }
    // Waits for the refresh timer to have the list show `count` rows, painted.
    bool WaitForRows(int count) {
        bool ok = WaitUntil(
            [&] {
                Settle();
                return dlg->ListBlock()->GetItemCount() == count && (count == 0 || RowText(0, L"lab_name") != L"");
            },
            3s);
        if (!ok) ADD_FAILURE() << "the list shows " << dlg->ListBlock()->GetItemCount() << " rows on page " << Page();
        return ok;
    }
    // Lets the window lay out and paint what changed, as the screen would.
    void Settle() {
        ::InvalidateRect(dlg->m_hWnd, nullptr, FALSE);
        ::UpdateWindow(dlg->m_hWnd);
    }
    void Command(WORD id) { ::SendMessageW(dlg->m_hWnd, WM_COMMAND, id, reinterpret_cast<LPARAM>(dlg->m_hWnd)); }

    std::unique_ptr<CMainDlg> dlg;
};

}  // namespace

TEST(MainDlgTexts, RowCountFormatIsDataNotCode) {
    // A layout text with other conversions must not read arguments that are not there.
    EXPECT_EQ(FormatRowCount(L"%s %d %x %%", 7), L"%s 7 %x %");
    EXPECT_EQ(FormatRowCount(L"%03d", 7), L"007");
}

TEST_F(MainDlgTest, CounterShowsTheStoredTotalOnEveryRefresh) {
    Open();
    EXPECT_EQ(CounterText(), L"000000");
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 999999);
    EXPECT_TRUE(WaitUntil([&] { return CounterText() == L"999999"; }, 3s));
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 1000000);
    EXPECT_TRUE(WaitUntil([&] { return CounterText() == L"99999+"; }, 3s));
}

TEST_F(MainDlgTest, RowsAreOrderedByBlocksThenLatestBlockAndShowTheirCounts) {
    auto& m = monitor::WndMgr();
    m.StoreRecord(MakeRecord(11, L"Older", monitor::kStatusBlock, 5, 1000));
    m.StoreRecord(MakeRecord(12, L"Newer", monitor::kStatusBlock, 5, 2000, monitor::kPositionCenter));
    m.StoreRecord(MakeRecord(13, L"Never", monitor::kStatusAllowed, 0, 3000, monitor::kPositionNone));
    m.StoreRecord(MakeRecord(14, L"Many", monitor::kStatusBlock, 1000, 10));
    m.StoreRecord(MakeRecord(15, L"Edge", monitor::kStatusBlock, 999, 10, monitor::kPositionLeftTop));
    // Records only seen by the recorder are not listed.
    m.StoreRecord([] {
        BlockRecord r = MakeRecord(16, L"Recorded", monitor::kStatusRecorded, 0, 10);
        r.recordCnt = 1;
        return r;
    }());
    Open();
    ASSERT_TRUE(WaitForRows(5));

    std::vector<std::wstring> names;
    for (int i = 0; i < 5; ++i) names.push_back(RowText(i, L"lab_name"));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Many", L"Edge", L"Newer", L"Older", L"Never"}));
    EXPECT_EQ(RowText(0, L"lab_count"), L"999+");
    EXPECT_EQ(RowText(1, L"lab_count"), L"999次");
    EXPECT_EQ(RowText(4, L"lab_count"), L"0次");
    EXPECT_EQ(InRow(0, L"lab_count")->GetBkColor(), 0xFF64B5EFu);
    EXPECT_EQ(InRow(4, L"lab_count")->GetBkColor(), 0xFF91CAF2u);
    EXPECT_EQ(RowText(1, L"lab_pos"), L"左上弹窗");
    EXPECT_EQ(RowText(2, L"lab_pos"), L"中央弹窗");
    EXPECT_EQ(RowText(4, L"lab_pos"), L"位置未知");
    EXPECT_EQ(std::wstring(Row(2)->GetUserData()), L"12");
    EXPECT_EQ(std::wstring(InRow(2, L"lab_name")->GetToolTip()), L"Newer");
    auto* switchOn = dynamic_cast<dui::COptionUI*>(InRow(3, L"opt_switch"));
    auto* switchOff = dynamic_cast<dui::COptionUI*>(InRow(4, L"opt_switch"));
    ASSERT_TRUE(switchOn && switchOff);
    EXPECT_TRUE(switchOn->IsSelected());
    EXPECT_FALSE(switchOff->IsSelected());

    // A later block of the older record moves it up on the next refresh.
    BlockRecord bumped = MakeRecord(11, L"Older", monitor::kStatusBlock, 6, 4000);
    m.StoreRecord(bumped);
    EXPECT_TRUE(WaitUntil(
        [&] {
            ::UpdateWindow(dlg->m_hWnd);
            return RowText(2, L"lab_name") == L"Older";
        },
        3s));
}

TEST_F(MainDlgTest, PageFollowsBlockingAndTheList) {
    Open();
    EXPECT_EQ(Page(), 1);
    EXPECT_TRUE(Control(L"btn_stop")->IsVisible());
    EXPECT_FALSE(Control(L"btn_block")->IsVisible());

    monitor::WndMgr().StoreRecord(MakeRecord(21, L"Ad", monitor::kStatusBlock, 1, 10));
    EXPECT_TRUE(WaitUntil([&] { return Page() == 2; }, 3s));

    Command(ID_TOGGLE_BLOCK);
    EXPECT_EQ(Setting(L"Block"), 0u);
    EXPECT_EQ(Page(), 3);
    EXPECT_TRUE(Control(L"btn_block")->IsVisible());
    EXPECT_FALSE(Control(L"btn_stop")->IsVisible());
    EXPECT_FALSE(Control(L"btn_append")->IsVisible());

    // The layout's own "turn on" button.
    Settle();
    ClickAt(dlg->m_hWnd, CentreOf(Control(L"btn_block")));
    EXPECT_TRUE(WaitUntil([&] { return Setting(L"Block") == 1; }, 2s));
    EXPECT_EQ(Page(), 2);
    EXPECT_TRUE(Control(L"btn_append")->IsVisible());
}

TEST_F(MainDlgTest, CommandsCountOnlyWhenAddressedWithTheWindowsOwnHandle) {
    Open();
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, ID_TOGGLE_BLOCK, 0);
    ::SendMessageW(dlg->m_hWnd, WM_COMMAND, ID_TOGGLE_BLOCK, reinterpret_cast<LPARAM>(::GetDesktopWindow()));
    EXPECT_EQ(Setting(L"Block"), 1u);
    EXPECT_EQ(Page(), 1);
    ASSERT_TRUE(PostMainCommand(dlg->m_hWnd, ID_TOGGLE_BLOCK));
    EXPECT_TRUE(WaitUntil([&] { return Setting(L"Block") == 0; }, 2s));
    EXPECT_EQ(Page(), 3);
}

TEST_F(MainDlgTest, SwitchAndRemoveWriteTheRecordBack) {
    auto& m = monitor::WndMgr();
    m.StoreRecord(MakeRecord(31, L"First", monitor::kStatusBlock, 3, 10));
    m.StoreRecord(MakeRecord(32, L"Second", monitor::kStatusAllowed, 1, 10));
    Open();
    ASSERT_TRUE(WaitForRows(2));

    ClickAt(dlg->m_hWnd, CentreOf(InRow(0, L"opt_switch")));
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(31) == monitor::kStatusAllowed; }, 2s));
    ClickAt(dlg->m_hWnd, CentreOf(InRow(1, L"opt_switch")));
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(32) == monitor::kStatusBlock; }, 2s));

    ClickAt(dlg->m_hWnd, CentreOf(InRow(0, L"btn_remove")));
    EXPECT_TRUE(WaitUntil([&] { return StoredRecords().size() == 1; }, 2s));
    EXPECT_EQ(StoredStatus(31), -1);
    EXPECT_EQ(dlg->ListBlock()->GetItemCount(), 1);
    ClickAt(dlg->m_hWnd, CentreOf(InRow(0, L"btn_remove")));
    EXPECT_TRUE(WaitUntil([&] { return Page() == 1; }, 2s));
    EXPECT_TRUE(StoredRecords().empty());
}

TEST_F(MainDlgTest, BlockTooltipBlinksEndsOnTheAlertIconAndTheFirstBlockShowsTheTip) {
    Open();
    ASSERT_TRUE(dlg->IsAdded());
    const std::wstring restingTip = dlg->CurrentTooltip();

    ::SendMessageW(dlg->m_hWnd, monitor::WM_BLOCK_TOOLTIP, 0, 0);
    EXPECT_EQ(dlg->BlinkCountdown(), 0);

    std::wstring tooLong(127, L'x');
    ::SendMessageW(dlg->m_hWnd, monitor::WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(monitor::AllocTooltipText(tooLong)),
                   0);
    EXPECT_EQ(dlg->BlinkCountdown(), 0);
    EXPECT_EQ(dlg->CurrentTooltip(), restingTip);

    std::wstring text = L"Zelvane-弹窗拦截\r\n拦截窗口：AD.EXE\r\n拦截时间：2026/12/08 08:00";
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 5);
    auto blockTipShown = [] {
        for (HWND hwnd : TopLevelWindowsOf(::GetCurrentProcessId())) {
            auto* root = reinterpret_cast<CWindowImplRoot*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (::IsWindowVisible(hwnd) && dynamic_cast<CBlockTipWnd*>(root)) return true;
        }
        return false;
    };
    ::PostMessageW(dlg->m_hWnd, monitor::WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(monitor::AllocTooltipText(text)),
                   0);
    EXPECT_TRUE(WaitUntil([&] { return dlg->BlinkCountdown() > 0; }, 2s));
    EXPECT_EQ(dlg->CurrentTooltip(), text);
    bool sawNormal = false;
    EXPECT_TRUE(WaitUntil(
        [&] {
            sawNormal = sawNormal || dlg->CurrentIcon() == dlg->NormalIcon();
            return dlg->BlinkCountdown() == 0;
        },
        6s));
    PumpFor(450ms);  // the step after the last one settles the icon
    EXPECT_TRUE(sawNormal);
    EXPECT_EQ(dlg->CurrentIcon(), dlg->AlertIcon());
    EXPECT_EQ(dlg->CurrentTooltip(), text);
    EXPECT_FALSE(blockTipShown()) << "only the very first block is announced with the tip";

    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 1);
    ::SendMessageW(dlg->m_hWnd, monitor::WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(monitor::AllocTooltipText(L"a")),
                   0);
    EXPECT_TRUE(WaitUntil(blockTipShown, 2s));
}

TEST_F(MainDlgTest, ClosingHidesToTrayAndShowsTheBalloonOnce) {
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"IconTip", 1);
    Open();
    ASSERT_TRUE(dlg->IsAdded());
    ::SendMessageW(dlg->m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(dlg->IsWindowVisible());
    EXPECT_EQ(Setting(L"IconTip"), 0u);
    // Back from the tray by the icon, then closed again: the hint is spent.
    ::SendMessageW(dlg->m_hWnd, dlg->TrayCallbackMessage(), 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(dlg->IsWindowVisible());
    ClickAt(dlg->m_hWnd, CentreOf(Control(L"sysclosebutton")));
    EXPECT_TRUE(WaitUntil([&] { return !dlg->IsWindowVisible(); }, 2s));
    EXPECT_EQ(Setting(L"IconTip"), 0u);
    EXPECT_TRUE(::IsWindow(dlg->m_hWnd));
}

TEST_F(MainDlgTest, DialogsOpenFromTheIdleHookInOrderUnderTheLock) {
    Open();
    struct Seen {
        std::wstring which;
        bool locked;
        bool lockShown;
        bool ownerEnabled;
        bool visibleAfterClose;
    };
    std::vector<Seen> seen;
    auto runnerFor = [&](const wchar_t* which) {
        return [&, which](HWND owner) {
            struct Box : CMessageBoxBase {
                std::function<void()> onShown;
                void OnLayoutInit() override {
                    onShown();
                    PostMessage(WM_CLOSE);
                }
            } box;
            box.onShown = [&] {
                Seen s{which, dlg->IsLocked(), dlg->GetLockWnd().IsWindowVisible(), ::IsWindowEnabled(owner) != 0,
                       false};
                // The user closes the main window while the dialog is up: nothing happens.
                ::SendMessageW(owner, WM_SYSCOMMAND, SC_CLOSE, 0);
                s.visibleAfterClose = ::IsWindowVisible(owner) != 0;
                seen.push_back(s);
            };
            box.Run(owner, L"msg_system_tip.xml");
        };
    };
    // No dialog behind a request: it is dropped without a lock.
    ASSERT_TRUE(PostMainCommand(dlg->m_hWnd, ID_OPEN_LOCATE));
    EXPECT_TRUE(RunLoopUntil([&] { return dlg->PendingActions() == 0; }, 2s));
    EXPECT_FALSE(dlg->GetLockWnd().IsWindowVisible());

    SetDialogRunner(MainDialog::Locate, runnerFor(L"locate"));
    SetDialogRunner(MainDialog::Records, runnerFor(L"records"));
    ASSERT_TRUE(PostMainCommand(dlg->m_hWnd, ID_OPEN_RECORDS));
    ASSERT_TRUE(PostMainCommand(dlg->m_hWnd, ID_OPEN_LOCATE));
    EXPECT_TRUE(RunLoopUntil([&] { return seen.size() == 2; }, 10s));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].which, L"locate");
    EXPECT_EQ(seen[1].which, L"records");
    for (const Seen& s : seen) {
        EXPECT_TRUE(s.locked);
        EXPECT_TRUE(s.lockShown);
        EXPECT_FALSE(s.ownerEnabled);
        EXPECT_TRUE(s.visibleAfterClose);
    }
    EXPECT_EQ(dlg->PendingActions(), 0u);
    EXPECT_FALSE(dlg->IsLocked());
    EXPECT_FALSE(dlg->GetLockWnd().IsWindowVisible());
    EXPECT_TRUE(dlg->IsWindowVisible());
}

// A plain WM_CLOSE reaching the main window (taskkill without /F) while a dialog opened
// from the idle hook is up: the window goes, the program's loop ends, and neither the loop
// nor the returning runner touches the window object after it is gone.
namespace {
struct DoomedMainDlg : CMainDlg {
    bool* deleted = nullptr;
    ~DoomedMainDlg() override { *deleted = true; }
};
// A runner whose dialog asks the owner to close as soon as it shows.
DialogRunner CloseOwnerWhileOpen(std::function<void()> afterDialog) {
    return [afterDialog](HWND owner) {
        struct Box : CMessageBoxBase {
            HWND owner = nullptr;
            void OnLayoutInit() override { ::PostMessageW(owner, WM_CLOSE, 0, 0); }
        } box;
        box.owner = owner;
        box.Run(owner, L"msg_system_tip.xml");
        afterDialog();
    };
}
}  // namespace

TEST_F(MainDlgTest, ClosedWhileADialogRunsTheWindowLeavesTheLoopItJoined) {
    Open();
    bool dialogRan = false;
    SetDialogRunner(MainDialog::Rules, CloseOwnerWhileOpen([&] { dialogRan = true; }));
    dlg->RequestDialog(PENDING_RULES);
    RunLoopUntil([&] { return false; }, 5s);  // ends on the window's quit message
    EXPECT_TRUE(dialogRan);
    EXPECT_FALSE(::IsWindow(dlg->m_hWnd));
    EXPECT_FALSE(MainWindowEnvironment::loop.HasMessageFilter(dlg.get()));
    EXPECT_FALSE(MainWindowEnvironment::loop.HasIdleHandler(dlg.get()));
}

TEST_F(MainDlgTest, ClosedWhileADialogRunsTheObjectOutlivesTheRunner) {
    bool deleted = false, deletedWhileRunnerRan = true;
    auto* doomed = new DoomedMainDlg();
    doomed->deleted = &deleted;
    ASSERT_NE(doomed->CreateMainWindow(), nullptr);
    doomed->DeleteWhenGone();
    ShowAndPaint(doomed->m_hWnd);
    SetDialogRunner(MainDialog::Rules, CloseOwnerWhileOpen([&] { deletedWhileRunnerRan = deleted; }));
    doomed->RequestDialog(PENDING_RULES);
    RunLoopUntil([&] { return false; }, 5s);
    EXPECT_FALSE(deletedWhileRunnerRan) << "the runner returned into a deleted window object";
    EXPECT_TRUE(deleted) << "the object still frees itself once the dialog has returned";
}

// The rule list opens at once from its button on the empty page and from the new-pop-ups
// tip's command, which also brings the window back from the tray; the veil covers the
// window only once it is shown.
TEST_F(MainDlgTest, RuleListOpensFromItsButtonAndFromTheTipCommandAlsoFromTheTray) {
    Open();
    struct Seen {
        bool ownerVisible, locked, lockShown;
    };
    std::vector<Seen> seen;
    SetDialogRunner(MainDialog::Rules, [&](HWND owner) {
        seen.push_back({::IsWindowVisible(owner) != 0, dlg->IsLocked(), dlg->GetLockWnd().IsWindowVisible()});
    });
    ASSERT_TRUE(WaitUntil([&] { return Page() == 1; }, 2s));
    dui::CControlUI* button = Control(L"btn_rule");
    ASSERT_NE(button, nullptr);
    Settle();
    ClickAt(dlg->m_hWnd, CentreOf(button));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].locked);

    dlg->ShowWindow(SW_HIDE);  // in the tray
    ASSERT_TRUE(PostMainCommand(dlg->m_hWnd, ID_OPEN_RULES));
    EXPECT_TRUE(RunLoopUntil([&] { return seen.size() == 2; }, 3s));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[1].ownerVisible);
    EXPECT_TRUE(seen[1].locked);
    EXPECT_TRUE(seen[1].lockShown);
    EXPECT_FALSE(dlg->IsLocked());
}

TEST_F(MainDlgTest, FirstRunAnimatesUntilTheCheckIsDoneThenOffersTheRuleList) {
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"ScanSoftware", 1);
    int rulesOpened = 0;
    SetDialogRunner(MainDialog::Rules, [&](HWND) { ++rulesOpened; });
    // A check that is still running: the window must not leave the loading phase for it.
    auto& check = winhush::rules::AutoCheck();
    winhush::rules::StopAutoCheck(check);
    HANDLE running = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    check.done = 0;
    check.thread = running;
    struct Restore {
        winhush::rules::CAutoCheck& check;
        HANDLE running;
        ~Restore() {
            check.thread = nullptr;
            check.done = 1;
            ::CloseHandle(running);
        }
    } restore{check, running};

    Open();
    EXPECT_EQ(Setting(L"ScanSoftware"), 0u);
    EXPECT_TRUE(dlg->InLoadingPhase());
    EXPECT_EQ(Page(), 0);

    // Each tick shows the next frame of the strip: a window of the label's width.
    auto* load = Control(L"lab_load");
    ASSERT_NE(load, nullptr);
    std::vector<int> lefts;
    WaitUntil(
        [&] {
            int left = -1, right = -1;
            std::wstring image = load->GetBkImage();
            size_t at = image.find(L"source='");
            if (at != std::wstring::npos && swscanf(image.c_str() + at, L"source='%d,0,%d", &left, &right) == 2) {
                EXPECT_EQ(right - left, 56) << "one frame of the 56-pixel strip";
                if (lefts.empty() || lefts.back() != left) lefts.push_back(left);
            }
            return lefts.size() >= 3;
        },
        6s);
    ASSERT_GE(lefts.size(), 3u);
    for (size_t i = 1; i < lefts.size(); ++i) EXPECT_EQ(lefts[i] % 56, 0);

    // Past the minimum time the phase goes on for as long as the check runs.
    PumpFor(3200ms);
    EXPECT_TRUE(dlg->InLoadingPhase());
    EXPECT_EQ(rulesOpened, 0);

    check.done = 1;
    EXPECT_TRUE(RunLoopUntil([&] { return rulesOpened == 1; }, 8s));
    EXPECT_FALSE(dlg->InLoadingPhase());
    EXPECT_TRUE(dlg->IsWindowVisible());
    EXPECT_EQ(dlg->PendingActions(), 0u);
    EXPECT_TRUE(WaitUntil([&] { return Page() == 1; }, 2s)) << "the refresh takes over";
}

TEST_F(MainDlgTest, AddMenuChoicesAskForTheirDialogs) {
    Open();
    auto* append = dynamic_cast<CSplitButton*>(Control(L"btn_append"));
    ASSERT_NE(append, nullptr);
    append->SelectItem(0);
    EXPECT_EQ(dlg->PendingActions(), static_cast<uint32_t>(PENDING_RULES));
    append->SelectItem(1);
    append->SelectItem(2);
    EXPECT_EQ(dlg->PendingActions(), static_cast<uint32_t>(PENDING_RULES | PENDING_RECORDS | PENDING_LOCATE));
    // Without dialogs behind them the requests are dropped at the next idle moment.
    EXPECT_TRUE(RunLoopUntil([&] { return dlg->PendingActions() == 0; }, 2s));
}

TEST_F(MainDlgTest, HoveringABlockedCountShowsItsScreenshotBesideIt) {
    ScopedTempDir shots;
    std::wstring image = shots / L"shot.png";
    std::wstring art = dui::CPaintManagerUI::GetResourcePath() + std::wstring(L"empty_list.png");
    ASSERT_TRUE(::CopyFileW(art.c_str(), image.c_str(), FALSE));
    BlockRecord blocked = MakeRecord(51, L"Shown", monitor::kStatusBlock, 4, 10);
    blocked.imagePath = image;
    BlockRecord never = MakeRecord(52, L"Never", monitor::kStatusBlock, 0, 10);
    never.imagePath = image;
    monitor::WndMgr().StoreRecord(blocked);
    monitor::WndMgr().StoreRecord(never);
    Open();
    ASSERT_TRUE(WaitForRows(2));
    CPreviewDlg& preview = PreviewWindow();
    ASSERT_TRUE(preview.IsWindow());

    auto hover = [&](dui::CControlUI* control) {
        POINT at = CentreOf(control);
        ::SendMessageW(dlg->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        PumpFor(30ms);
    };
    hover(InRow(0, L"lab_count"));
    EXPECT_TRUE(preview.IsWindowVisible());
    RECT label = InRow(0, L"lab_count")->GetPos();
    POINT right{label.right, (label.top + label.bottom) / 2};
    ::ClientToScreen(dlg->m_hWnd, &right);
    RECT card = preview.GetWindowRect();
    EXPECT_EQ(card.left, right.x + preview.LeftLaceMargin());

    hover(InRow(0, L"lab_name"));
    EXPECT_FALSE(preview.IsWindowVisible());
    hover(InRow(1, L"lab_count"));
    EXPECT_FALSE(preview.IsWindowVisible()) << "a window never blocked has no screenshot to show";
}

TEST_F(MainDlgTest, ExitAsksFirstAndEndsOnlyWhenConfirmed) {
    Open();
    for (const wchar_t* answer : {L"btn_cancel", L"btn_ok"}) {
        g_pressName = answer;
        g_pressOwner = dlg->m_hWnd;
        g_pressed = false;
        g_pressDeadline = std::chrono::steady_clock::now() + 5s;
        ::SetTimer(nullptr, 0, 50, PressInBox);
        // The box runs its modal loop inside this call.
        Command(ID_EXIT);
        EXPECT_TRUE(g_pressed) << "no exit confirmation appeared";
        EXPECT_FALSE(dlg->IsLocked());
        PumpFor(50ms);
        if (answer == std::wstring(L"btn_cancel")) {
            EXPECT_TRUE(::IsWindow(dlg->m_hWnd));
            EXPECT_TRUE(dlg->IsWindowVisible());
        } else {
            EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dlg->m_hWnd); }, 2s));
            EXPECT_EQ(winhush::GetMainWindowHandle(), nullptr);
        }
    }
}

TEST_F(MainDlgTest, HotkeysAreHeldWhileTheWindowLives) {
    Open();
    const winhush::settings::HotkeySlot* slots = winhush::MainWindowHotkeys().slots;
    ASSERT_TRUE(slots[kHotkeyMain].registered);
    ASSERT_NE(slots[kHotkeyMain].atom, -1);
    // Alt+Shift+Z is taken while the window lives.
    EXPECT_FALSE(::RegisterHotKey(nullptr, 0x7001, MOD_ALT | MOD_SHIFT, 'Z'));
    ::ShowWindow(dlg->m_hWnd, SW_HIDE);
    ::SendMessageW(dlg->m_hWnd, WM_HOTKEY, slots[kHotkeyMain].atom, 0);
    EXPECT_TRUE(dlg->IsWindowVisible());

    // The picker hotkey opens the picker at once, not through the idle hook.
    int pickers = 0;
    SetDialogRunner(MainDialog::Locate, [&](HWND owner) {
        EXPECT_EQ(owner, dlg->m_hWnd);
        EXPECT_TRUE(dlg->IsLocked());
        ++pickers;
    });
    ASSERT_NE(slots[kHotkeyLocate].atom, -1);
    ::ShowWindow(dlg->m_hWnd, SW_HIDE);
    ::SendMessageW(dlg->m_hWnd, WM_HOTKEY, slots[kHotkeyLocate].atom, 0);
    EXPECT_EQ(pickers, 1);
    EXPECT_TRUE(dlg->IsWindowVisible());
    EXPECT_FALSE(dlg->IsLocked());

    dlg->DestroyWindow();
    EXPECT_EQ(slots[kHotkeyMain].atom, -1);
    EXPECT_EQ(slots[kHotkeyLocate].atom, -1);
    EXPECT_TRUE(::RegisterHotKey(nullptr, 0x7001, MOD_ALT | MOD_SHIFT, 'Z'));
    ::UnregisterHotKey(nullptr, 0x7001);
}

// Before: the switch and remove wrote back the row's copy, up to a refresh old, reverting
// what the scan had stored meanwhile (count, time, picture, a new recording).
TEST_F(MainDlgTest, SwitchAndRemoveKeepWhatTheScanStoredSinceTheRefresh) {
    auto& m = monitor::WndMgr();
    m.StoreRecord(MakeRecord(61, L"Counted", monitor::kStatusBlock, 3, 10));
    m.StoreRecord(MakeRecord(62, L"Recorded", monitor::kStatusBlock, 1, 10));
    Open();
    ASSERT_TRUE(WaitForRows(2));
    // No refresh between the scan's writes below and the clicks: the rows stay as loaded.
    ::KillTimer(dlg->m_hWnd, TIMER_REFRESH);

    BlockRecord counted = MakeRecord(61, L"Counted", monitor::kStatusBlock, 4, 20);
    m.StoreRecord(counted);
    BlockRecord recorded = MakeRecord(62, L"Recorded", monitor::kStatusBlock, 1, 10);
    recorded.recordCnt = 1;  // the record dialog lists it now
    m.StoreRecord(recorded);
    ASSERT_EQ(RowText(0, L"lab_name"), L"Counted");

    ClickAt(dlg->m_hWnd, CentreOf(InRow(0, L"opt_switch")));
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(61) == monitor::kStatusAllowed; }, 2s));
    for (const BlockRecord& r : StoredRecords()) {
        if (r.hash != 61) continue;
        EXPECT_EQ(r.blockCnt, 4u) << "the switch reverted a counted block";
        EXPECT_EQ(r.timeBlock, 20);
    }

    ClickAt(dlg->m_hWnd, CentreOf(InRow(1, L"btn_remove")));
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(62) == -1; }, 2s)) << "still listed under blocking";
    // The record dialog lists the window now: it stays recorded, only without a decision.
    std::vector<BlockRecord> inFile;
    monitor::LoadRecordFile(monitor::WndMgr().logPath(), inFile);
    bool kept = false;
    for (const BlockRecord& r : inFile) {
        if (r.hash != 62) continue;
        kept = true;
        EXPECT_EQ(r.status, monitor::kStatusRecorded);
        EXPECT_EQ(r.blockCnt, 0u);
        EXPECT_EQ(r.recordCnt, 1);
    }
    EXPECT_TRUE(kept) << "the remove dropped a recording the scan had just made";
}

// Before: "btn_stop" and the tray switch only wrote "Block"; windows kept being hidden.
TEST_F(MainDlgTest, BlockOffPausesTheMonitorFromTheStartAndByEverySwitch) {
    RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"Block", 0);
    Open();
    EXPECT_EQ(monitor::WndMgr().enabled.load(), 0) << "started blocking although \"Block\" is 0";
    EXPECT_EQ(Page(), 3);
    ClickAt(dlg->m_hWnd, CentreOf(Control(L"btn_block")));
    EXPECT_TRUE(WaitUntil([&] { return Setting(L"Block") == 1; }, 2s));
    EXPECT_EQ(monitor::WndMgr().enabled.load(), 1);
    Settle();
    ClickAt(dlg->m_hWnd, CentreOf(Control(L"btn_stop")));
    EXPECT_TRUE(WaitUntil([&] { return Setting(L"Block") == 0; }, 2s));
    EXPECT_EQ(monitor::WndMgr().enabled.load(), 0);
    Command(ID_TOGGLE_BLOCK);
    EXPECT_EQ(monitor::WndMgr().enabled.load(), 1);
    Command(ID_TOGGLE_BLOCK);
    EXPECT_EQ(monitor::WndMgr().enabled.load(), 0);
}

// Before: hiding the hung program's window held the record lock while it waited on that
// program, and the switch's write waited for the lock: the whole window froze.
TEST_F(MainDlgTest, SwitchAnswersWhileTheScanMeetsAHungProgram) {
    ChildProcess helper = ChildProcess::Start(ToolsDir() + L"winhelper.exe", L"", true);
    ASSERT_TRUE(helper.valid() && helper.WriteLine("ping") && helper.ReadLine(10s) == std::optional<std::string>("ok"));
    struct Quit {
        ChildProcess& helper;
        ~Quit() {
            helper.WriteLine("quit");
            if (!helper.WaitExit(5s)) helper.Kill();
        }
    } quit{helper};
    ASSERT_TRUE(helper.WriteLine("open class=AdHungMain w=300 h=200 corner=rb thread=new"));
    std::optional<std::string> reply = helper.ReadLine(10s);
    ASSERT_TRUE(reply && reply->rfind("ok 0x", 0) == 0);
    HWND hung = reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(reply->substr(3), nullptr, 16)));
    BlockRecord decision;
    ASSERT_TRUE(monitor::Snapshot(decision.window, hung));
    decision.window.hwnds.clear();
    decision.hash = monitor::WindowKeyHash(decision.window);
    decision.name = L"Hung";
    decision.status = monitor::kStatusBlock;
    monitor::WndMgr().StoreRecord(decision);
    monitor::WndMgr().StoreRecord(MakeRecord(71, L"Other", monitor::kStatusBlock, 0, 10));
    char hang[64];
    std::snprintf(hang, sizeof(hang), "hang 0x%llx 8000",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hung)));
    ASSERT_TRUE(helper.WriteLine(hang));
    ASSERT_EQ(helper.ReadLine(10s), std::optional<std::string>("ok"));
    PumpFor(200ms);

    Open();  // starts the scan, which meets the hung window
    ASSERT_TRUE(WaitForRows(2));
    PumpFor(1200ms);
    dui::CControlUI* other = nullptr;
    for (int i = 0; i < 2; ++i)
        if (RowText(i, L"lab_name") == L"Other") other = InRow(i, L"opt_switch");
    ASSERT_NE(other, nullptr);
    auto clicked = std::chrono::steady_clock::now();
    ClickAt(dlg->m_hWnd, CentreOf(other));
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(71) == monitor::kStatusAllowed; }, 2s));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - clicked);
    EXPECT_LT(took.count(), 1000) << "the switch waited on the hung program";
    EXPECT_TRUE(::IsWindowVisible(hung)) << "the helper's thread should still be asleep";
}
