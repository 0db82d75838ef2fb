// The rule list in real windows, against the program's real window monitor (on a temporary
// data directory) and automatic-check results built here: what it offers, how its buttons
// follow the check boxes, what adding stores, and that it never waits for the check.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "ForegroundWindow.h"
#include "UiTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "rules/RuleCandidate.h"
#include "ui/dialogs/InRuleDlg.h"
#include "ui/dui/UIList.h"
#include "ui/framework/FramedDialog.h"
#include "ui/framework/MainCommands.h"

using namespace winhush::ui;
using namespace winhush::test;
using namespace std::chrono_literals;
using winhush::monitor::BlockRecord;
namespace monitor = winhush::monitor;
namespace rules = winhush::rules;
namespace dui = winhush::dui;

namespace {

class InRuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UseProjectUiResources();
        Module().Init(::GetModuleHandleW(nullptr));
        Module().AddMessageLoop(&loop);
        ASSERT_TRUE(monitor::WndMgr().InitWithDataDirectory(data_.path(), false));
    }
    void TearDown() override {
        monitor::WndMgr().Stop();
        Module().RemoveMessageLoop();
    }
    CMessageLoop loop;
    ScopedTempDir data_;
};
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new InRuleEnvironment);

rules::PopupRule Rule(const std::wstring& name, int pos, bool isNew, int width = 300) {
    rules::PopupRule rule;
    rule.displayName = name;
    rule.filePath = L"C:\\PROGRAM FILES\\" + name + L"\\" + name + L".EXE";
    rule.className = L"AdWnd";
    rule.position = pos;
    rule.width = width;
    rule.height = 200;
    rule.isNew = isNew ? 1 : 0;
    return rule;
}

uint64_t HashOf(const rules::PopupRule& rule) {
    return monitor::WindowKeyHash(rule.filePath.c_str(), rule.className.c_str(), rule.width, rule.height);
}

std::vector<BlockRecord> AllRecords() {
    // Status 0 records are only visible to the record dialog's copy, which needs a picture.
    std::vector<BlockRecord> decided;
    monitor::WndMgr().CopyRecords(0, decided);
    return decided;
}

const BlockRecord* Find(const std::vector<BlockRecord>& records, uint64_t hash) {
    for (const BlockRecord& r : records)
        if (r.hash == hash) return &r;
    return nullptr;
}

void DropAllRecords() {
    for (BlockRecord record : AllRecords()) {
        record.status = monitor::kStatusRecorded;
        record.recordCnt = 0;
        monitor::WndMgr().StoreRecord(record);
    }
    monitor::WndMgr().ClearRecorded();
}

class InRuleDlgTest : public ::testing::Test {
public:  // also reached from the timers of the modal case
    void SetUp() override {
        DropAllRecords();
        check.done = 1;
        ASSERT_NE(owner.hwnd(), nullptr);
    }
    void TearDown() override {
        if (dialog && dialog->IsWindow()) dialog->DestroyWindow();
        dialog.reset();
        DropAllRecords();
    }
    // Shows the dialog over `owner` as its runner does, but without its modal loop.
    void Open() {
        dialog = std::make_unique<CInRuleDlg>(nullptr, &check);
        ASSERT_TRUE(CreateFramedDialog(*dialog, owner.hwnd()));
        ShowAndPaint(*dialog);
    }
    dui::CControlUI* Control(const wchar_t* name) { return dialog->m_pm.FindControl(name); }
    std::wstring Text(const wchar_t* name) {
        dui::CControlUI* c = Control(name);
        return c ? std::wstring(c->GetText()) : L"<missing>";
    }
    int Rows() { return dialog->List() ? dialog->List()->GetCount() : -1; }
    dui::CControlUI* InRow(int row, const wchar_t* name) {
        dui::CControlUI* item = dialog->List()->GetItemAt(row);
        return item ? dialog->m_pm.FindSubControlByName(item, name) : nullptr;
    }
    std::wstring RowText(int row, const wchar_t* name) {
        dui::CControlUI* c = InRow(row, name);
        return c ? std::wstring(c->GetText()) : L"<missing>";
    }
    bool Checked(int row) {
        auto* option = dynamic_cast<dui::COptionUI*>(InRow(row, L"opt_check"));
        return option && option->IsSelected();
    }
    // A click as the user makes it, on the control's centre once laid out.
    void Click(dui::CControlUI* control) {
        ASSERT_NE(control, nullptr);
        ::InvalidateRect(*dialog, nullptr, FALSE);
        ::UpdateWindow(*dialog);
        ClickAt(*dialog, CentreOf(control));
        PumpFor(30ms);
    }
    bool Visible(const wchar_t* name) {
        dui::CControlUI* c = Control(name);
        return c && c->IsVisible();
    }

    ForegroundWindow owner;
    rules::CAutoCheck check;
    std::unique_ptr<CInRuleDlg> dialog;
};

}  // namespace

TEST_F(InRuleDlgTest, OffersUndecidedRulesNewProgramsFirstEachCheckedWithItsCorner) {
    rules::PopupRule blocked = Rule(L"Blocked", 1, false), allowed = Rule(L"Allowed", 2, false),
                     recorded = Rule(L"RecordedOnly", 3, false), fresh = Rule(L"FreshTool", 5, true),
                     unknown = Rule(L"NoCorner", 0, false);
    check.rules = {blocked, allowed, recorded, unknown, fresh};
    for (auto [rule, status] : {std::pair{blocked, monitor::kStatusBlock},
                                {allowed, monitor::kStatusAllowed},
                                {recorded, monitor::kStatusRecorded}}) {
        BlockRecord record = rules::CandidateFromRule(rule);
        record.status = status;
        record.recordCnt = 1;  // keeps the status 0 record in the list
        ASSERT_TRUE(monitor::WndMgr().StoreRecord(record));
    }
    Open();
    EXPECT_FALSE(dialog->IsWaiting());
    EXPECT_EQ(Text(L"lab_title"), kInRuleTitleFound);
    ASSERT_EQ(Rows(), 3) << "status 1 and 2 hide a rule, status 0 does not";
    EXPECT_EQ(RowText(0, L"lab_name"), L"FreshTool") << "newly seen programs first";
    EXPECT_TRUE(InRow(0, L"lab_new")->IsVisible());
    EXPECT_EQ(RowText(0, L"lab_pos"), L"右下弹窗");
    EXPECT_EQ(RowText(1, L"lab_name"), L"RecordedOnly");
    EXPECT_FALSE(InRow(1, L"lab_new")->IsVisible());
    EXPECT_EQ(RowText(1, L"lab_pos"), L"中央弹窗");
    EXPECT_EQ(RowText(2, L"lab_pos"), L"位置未知");
    EXPECT_EQ(InRow(2, L"lab_name")->GetToolTip(), L"NoCorner");
    for (int row = 0; row < 3; ++row) EXPECT_TRUE(Checked(row));
    EXPECT_EQ(dialog->Candidates()[0].hash, HashOf(fresh));
    EXPECT_EQ(dialog->Candidates()[0].window.width(), 300);
}

TEST_F(InRuleDlgTest, SelectAllAndAppendFollowTheCheckBoxes) {
    check.rules = {Rule(L"One", 1, false), Rule(L"Two", 4, false)};
    Open();
    ASSERT_EQ(Rows(), 2);
    dui::CControlUI* selectAll = Control(L"btn_select_all");
    dui::CControlUI* append = Control(L"btn_append");
    EXPECT_EQ(selectAll->GetText(), std::wstring(kUnselectAllText));
    EXPECT_EQ(selectAll->GetTag(), 0u);

    Click(InRow(0, L"opt_check"));
    EXPECT_FALSE(Checked(0));
    EXPECT_EQ(selectAll->GetText(), std::wstring(L"全  选"));
    EXPECT_EQ(selectAll->GetTag(), 1u);
    EXPECT_TRUE(append->IsEnabled());

    Click(InRow(1, L"opt_check"));
    EXPECT_FALSE(append->IsEnabled()) << "nothing checked, nothing to add";

    Click(selectAll);
    EXPECT_TRUE(Checked(0));
    EXPECT_TRUE(Checked(1));
    EXPECT_EQ(selectAll->GetText(), std::wstring(L"取消全选"));
    EXPECT_TRUE(append->IsEnabled());
    Click(selectAll);
    EXPECT_FALSE(Checked(0) || Checked(1));
    EXPECT_FALSE(append->IsEnabled());
    EXPECT_TRUE(AllRecords().empty()) << "checking stores nothing";
}

TEST_F(InRuleDlgTest, OpenOnARowBlocksThatOneAtOnceAndTheLastLeavesTheEmptyTitle) {
    rules::PopupRule first = Rule(L"First", 1, true), second = Rule(L"Second", 2, false);
    check.rules = {first, second};
    Open();
    ASSERT_EQ(Rows(), 2);
    Click(InRow(0, L"btn_open"));
    std::vector<BlockRecord> stored = AllRecords();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].hash, HashOf(first));
    EXPECT_EQ(stored[0].status, monitor::kStatusBlock);
    EXPECT_EQ(stored[0].addType, monitor::kAddedFromRuleList);
    EXPECT_TRUE(stored[0].imagePath.empty());
    EXPECT_EQ(stored[0].name, L"First");
    EXPECT_EQ(stored[0].window.path, first.filePath);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(RowText(0, L"lab_name"), L"Second");
    EXPECT_TRUE(dialog->IsWindow()) << "the dialog stays open";

    Click(InRow(0, L"btn_open"));
    EXPECT_EQ(AllRecords().size(), 2u);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Text(L"lab_title"), kInRuleTitleNone);
    EXPECT_FALSE(Visible(L"list_inrule"));
    EXPECT_FALSE(Visible(L"btn_select_all"));
    EXPECT_FALSE(Visible(L"btn_append"));
    EXPECT_TRUE(Visible(L"lay_empty"));
}

TEST_F(InRuleDlgTest, AppendAddsTheCheckedRowsAndCloses) {
    rules::PopupRule keep = Rule(L"Keep", 1, false), skip = Rule(L"Skip", 2, false), also = Rule(L"Also", 3, false);
    check.rules = {keep, skip, also};
    // Modal, as the main window runs it; the test presses the buttons from a timer.
    static InRuleDlgTest* self;
    self = this;
    dialog = std::make_unique<CInRuleDlg>(nullptr, &check);
    UINT_PTR timer = ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        self->Click(self->InRow(1, L"opt_check"));
        self->Click(self->Control(L"btn_append"));
    });
    UINT_PTR watchdog = ::SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
        if (self->dialog->IsWindow()) self->dialog->PostMessage(WM_CLOSE);
    });
    ModalLoopEnd end = RunFramedDialog(*dialog, owner.hwnd());
    ::KillTimer(nullptr, timer);
    ::KillTimer(nullptr, watchdog);
    EXPECT_FALSE(end.quit);
    EXPECT_FALSE(dialog->IsWindow());
    std::vector<BlockRecord> stored = AllRecords();
    ASSERT_EQ(stored.size(), 2u);
    for (const BlockRecord& r : stored) {
        EXPECT_EQ(r.status, monitor::kStatusBlock);
        EXPECT_EQ(r.addType, monitor::kAddedFromRuleList);
    }
    EXPECT_NE(Find(stored, HashOf(keep)), nullptr);
    EXPECT_NE(Find(stored, HashOf(also)), nullptr);
    EXPECT_EQ(Find(stored, HashOf(skip)), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
}

TEST_F(InRuleDlgTest, WaitsForARunningCheckWithoutHoldingTheThreadAndCanBeClosedMeanwhile) {
    check.done = 0;  // still running
    auto started = std::chrono::steady_clock::now();
    Open();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "the dialog waited inside its initialisation";
    EXPECT_TRUE(dialog->IsWaiting());
    EXPECT_TRUE(Visible(L"lay_waiting"));
    EXPECT_FALSE(Visible(L"list_inrule"));
    EXPECT_FALSE(Visible(L"btn_append"));
    // The loading picture moves on while it waits: the thread keeps pumping.
    std::wstring firstFrame = Control(L"lab_load")->GetBkImage();
    EXPECT_TRUE(WaitUntil([&] { return Control(L"lab_load")->GetBkImage() != firstFrame; }, 2s));

    check.rules = {Rule(L"Late", 4, false)};
    check.done = 1;
    EXPECT_TRUE(WaitUntil([&] { return !dialog->IsWaiting(); }, 2s));
    EXPECT_FALSE(Visible(L"lay_waiting"));
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Text(L"lab_title"), kInRuleTitleFound);

    // A second dialog, closed by the user before the check ends.
    dialog->DestroyWindow();
    check.done = 0;
    Open();
    ASSERT_TRUE(dialog->IsWaiting());
    Click(Control(L"sysclosebutton"));
    EXPECT_TRUE(WaitUntil([&] { return !dialog->IsWindow(); }, 2s));
}

TEST_F(InRuleDlgTest, LocateAndRecordButtonsCloseAndHandTheChoiceToTheMainWindow) {
    check.rules = {Rule(L"One", 1, false)};
    winhush::SetMainWindowHandle(owner.hwnd());
    for (auto [button, command] : {std::pair{L"btn_locate", ID_OPEN_LOCATE}, {L"btn_record", ID_OPEN_RECORDS}}) {
        size_t before = owner.commands().size();
        Open();
        Click(Control(button));
        EXPECT_TRUE(WaitUntil([&] { return !dialog->IsWindow(); }, 2s)) << button;
        ASSERT_TRUE(WaitUntil([&] { return owner.commands().size() > before; }, 2s)) << button;
        EXPECT_EQ(LOWORD(owner.commands().back().wParam), command);
        EXPECT_EQ(owner.commands().back().lParam, reinterpret_cast<LPARAM>(owner.hwnd()));
        EXPECT_TRUE(AllRecords().empty());
    }
    winhush::SetMainWindowHandle(nullptr);
}
