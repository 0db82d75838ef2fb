// The record dialog in a real window against the program's real window monitor (on a
// temporary data directory): its pages by recording state and rows, the order and content of
// its rows, clearing all recordings, blocking a row through the add confirmation, and the
// hover preview.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "DialogsTestSupport.h"
#include "FrameworkTestSupport.h"
#include "TestSupport.h"
#include "settings/StartupConfig.h"
#include "monitor/WndMgr.h"
#include "ui/dialogs/PreviewDlg.h"
#include "ui/dialogs/RecordDlg.h"
#include "ui/dui/UIContainer.h"
#include "ui/framework/FramedDialog.h"

using namespace winhush::ui;
using namespace winhush::test;
using namespace std::chrono_literals;
using winhush::monitor::BlockRecord;
namespace monitor = winhush::monitor;
namespace dui = winhush::dui;

namespace {

class RecordEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        UseProjectUiResources();
        Module().Init(::GetModuleHandleW(nullptr));
        Module().AddMessageLoop(&loop);
        winhush::StartupConfig& config = winhush::GetStartupConfig();
        config.ownProcessId = ::GetCurrentProcessId();
        config.suiteProgramDir = L"C:\\ZELVANE\\BIN\\";
        ASSERT_TRUE(monitor::WndMgr().InitWithDataDirectory(data_.path(), false));
        ASSERT_TRUE(PreviewWindow().CreateHidden());
    }
    void TearDown() override {
        PreviewWindow().DestroyPreview();
        monitor::WndMgr().Stop();
        Module().RemoveMessageLoop();
    }
    CMessageLoop loop;
    ScopedTempDir data_;
};
RecordEnvironment* g_environment = nullptr;
[[maybe_unused]] auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(g_environment = new RecordEnvironment);

std::wstring DataDir() { return g_environment->data_.path(); }

// A recorded window of a made-up program, with a picture file of its own.
BlockRecord Recorded(const std::wstring& name, int64_t timeRecord, int recordCnt, int status = 0) {
    BlockRecord r;
    r.window.path = L"C:\\PROGRAM FILES\\" + name + L"\\" + name + L".EXE";
    r.window.className = L"AdWnd";
    r.window.rect = RECT{900, 500, 1200, 700};
    r.window.style = WS_POPUP | WS_VISIBLE;
    r.hash = monitor::WindowKeyHash(r.window);
    r.name = name + L".EXE";
    r.imagePath = DataDir() + name + L"0000000000300200.jpg";
    EXPECT_TRUE(WriteFileBytes(r.imagePath, "jpeg"));
    r.status = status;
    r.recordCnt = recordCnt;
    r.timeRecord = timeRecord;
    return r;
}

std::vector<BlockRecord> Decided() {
    std::vector<BlockRecord> records;
    monitor::WndMgr().CopyRecords(0, records);
    return records;
}

const BlockRecord* Find(const std::vector<BlockRecord>& records, uint64_t hash) {
    for (const BlockRecord& r : records)
        if (r.hash == hash) return &r;
    return nullptr;
}

class RecordDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        monitor::WndMgr().recording = 0;
        Clear();
        ASSERT_NE(owner.hwnd(), nullptr);
    }
    void TearDown() override {
        if (dialog && dialog->IsWindow()) dialog->DestroyWindow();
        dialog.reset();
        monitor::WndMgr().recording = 0;
        Clear();
    }
    static void Clear() {
        for (BlockRecord record : Decided()) {
            record.status = monitor::kStatusRecorded;
            record.recordCnt = 0;
            monitor::WndMgr().StoreRecord(record);
        }
        monitor::WndMgr().ClearRecorded();
    }
    static void Store(const BlockRecord& record) { ASSERT_TRUE(monitor::WndMgr().StoreRecord(record)); }
    // Shows the dialog over `owner` as its runner does, without its modal loop.
    void Open() {
        dialog = std::make_unique<CRecordDlg>();
        ASSERT_TRUE(CreateFramedDialog(*dialog, owner.hwnd()));
        ShowAndPaint(*dialog);
        ShowAndPaint(*dialog);
    }
    dui::CControlUI* Control(const wchar_t* name) { return dialog->m_pm.FindControl(name); }
    bool Visible(const wchar_t* name) {
        dui::CControlUI* c = Control(name);
        return c && c->IsVisible();
    }
    int Page() {
        auto* tab = dynamic_cast<dui::CTabLayoutUI*>(Control(L"tab_main"));
        return tab ? tab->GetCurSel() : -1;
    }
    void Click(const wchar_t* name) {
        dui::CControlUI* control = Control(name);
        ASSERT_NE(control, nullptr);
        ::InvalidateRect(*dialog, nullptr, FALSE);
        ::UpdateWindow(*dialog);
        ClickAt(*dialog, CentreOf(control));
        PumpFor(50ms);
    }
    // What row `index` shows, filled the way the list fills its rows.
    struct Shown {
        std::wstring name, count;
        bool openVisible;
    };
    Shown RowShown(int index) {
        std::unique_ptr<dui::CControlUI> row(dialog->List()->CreateRow());
        dialog->FillRow(row.get(), index);
        auto text = [&](const wchar_t* n) { return std::wstring(dialog->m_pm.FindSubControlByName(row.get(), n)->GetText()); };
        return Shown{text(L"lab_name"), text(L"lab_count"),
                     dialog->m_pm.FindSubControlByName(row.get(), L"btn_open")->IsVisible()};
    }

    ForegroundWindow owner;
    std::unique_ptr<CRecordDlg> dialog;
};

TEST_F(RecordDlgTest, PagesFollowTheRecordingSwitchAndTheRows) {
    Store(Recorded(L"Alpha", 1700000000, 1));
    Open();
    // Off: the first page, even with recorded windows.
    EXPECT_EQ(Page(), kRecordPageOff);
    EXPECT_FALSE(Visible(L"btn_clear_all"));
    EXPECT_FALSE(Visible(L"lay_recording"));
    EXPECT_EQ(Control(L"btn_record")->GetText(), std::wstring(L"开始记录"));

    Click(L"btn_record");
    EXPECT_EQ(monitor::WndMgr().recording.load(), 1);
    EXPECT_EQ(Control(L"btn_record")->GetText(), std::wstring(L"停止记录"));
    EXPECT_EQ(Control(L"btn_record")->GetUserData(), std::wstring(L"开始记录"));
    EXPECT_EQ(Page(), kRecordPageList);
    EXPECT_TRUE(Visible(L"btn_clear_all"));
    EXPECT_TRUE(Visible(L"lay_recording"));
    EXPECT_EQ(Control(L"lab_record_count")->GetText(), std::wstring(L"正在记录，已记录 1 个窗口"));

    Click(L"btn_clear_all");
    EXPECT_EQ(Page(), kRecordPageWaiting);
    EXPECT_FALSE(Visible(L"btn_clear_all"));
    EXPECT_TRUE(Visible(L"lay_recording"));

    // A dialog opened while recording runs starts in the "on" look.
    dialog->DestroyWindow();
    Open();
    EXPECT_EQ(Control(L"btn_record")->GetText(), std::wstring(L"停止记录"));
    EXPECT_EQ(Page(), kRecordPageWaiting);
    Click(L"btn_record");
    EXPECT_EQ(monitor::WndMgr().recording.load(), 0);
    EXPECT_EQ(Page(), kRecordPageOff);
}

TEST_F(RecordDlgTest, ClearAllKeepsDecisionsWithoutCountsAndDeletesTheOthersPictures) {
    BlockRecord blocked = Recorded(L"Blocked", 1700000000, 3, monitor::kStatusBlock);
    BlockRecord allowed = Recorded(L"Allowed", 1700000001, 1, monitor::kStatusAllowed);
    BlockRecord recorded = Recorded(L"Recorded", 1700000002, 2);
    for (const BlockRecord& r : {blocked, allowed, recorded}) Store(r);
    monitor::WndMgr().recording = 1;
    Open();
    ASSERT_EQ(dialog->Rows().size(), 3u);
    Click(L"btn_clear_all");
    EXPECT_TRUE(dialog->Rows().empty());
    EXPECT_EQ(dialog->List()->GetItemCount(), 0);

    std::vector<BlockRecord> decided = Decided();
    ASSERT_EQ(decided.size(), 2u);
    for (const BlockRecord* r : {Find(decided, blocked.hash), Find(decided, allowed.hash)}) {
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->recordCnt, 0);
        EXPECT_TRUE(FileExists(r->imagePath));
    }
    EXPECT_FALSE(FileExists(recorded.imagePath));
    std::vector<BlockRecord> shown;
    ASSERT_TRUE(monitor::WndMgr().CopyRecords(1, shown));
    EXPECT_TRUE(shown.empty());
}

TEST_F(RecordDlgTest, RowsNewestFirstThenByCountWithCappedCountsAndNoBlockButtonOnceBlocked) {
    Store(Recorded(L"Fewer", 1700000000, 2));
    Store(Recorded(L"More", 1700000000, 5));
    Store(Recorded(L"Latest", 1700000100, 1500, monitor::kStatusBlock));
    monitor::WndMgr().recording = 1;
    Open();
    ASSERT_EQ(dialog->Rows().size(), 3u);
    Shown latest = RowShown(0), more = RowShown(1), fewer = RowShown(2);
    EXPECT_EQ(latest.name, L"Latest.EXE");
    EXPECT_EQ(latest.count, L"999+");
    EXPECT_FALSE(latest.openVisible) << "a blocked window has nothing left to block";
    EXPECT_EQ(more.name, L"More.EXE") << "recorded in the same second: more recordings first";
    EXPECT_EQ(more.count, L"5次");
    EXPECT_TRUE(more.openVisible);
    EXPECT_EQ(fewer.name, L"Fewer.EXE");
}

// Answers the add confirmation as the user would, once it is up.
HWND g_confirmOwner = nullptr;
HWND g_ownerLock = nullptr;
bool g_ownerLockShown = false;
void CALLBACK PressConfirmOk(HWND, UINT, UINT_PTR id, DWORD) {
    HWND confirm = nullptr;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        wchar_t title[64] = L"";
        ::GetWindowTextW(w, title, 64);
        if (::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == g_confirmOwner && std::wstring(title) == L"添加拦截")
            confirm = w;
    }
    if (!confirm) return;
    ::KillTimer(nullptr, id);
    g_ownerLockShown = ::IsWindowVisible(g_ownerLock) != FALSE;
    // "btn_ok" of dlg_add_confirm.xml with its time row shown (96 DPI).
    ::PostMessageW(confirm, WM_MOUSEMOVE, 0, MAKELPARAM(372, 400));
    ::PostMessageW(confirm, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(372, 400));
    ::PostMessageW(confirm, WM_LBUTTONUP, 0, MAKELPARAM(372, 400));
}

TEST_F(RecordDlgTest, BlockingARowChangesOnlyTheDecisionOfTheStoredRecord) {
    BlockRecord row = Recorded(L"Popper", 1700000000, 2);
    Store(row);
    monitor::WndMgr().recording = 1;
    Open();
    ASSERT_EQ(dialog->Rows().size(), 1u);
    // The scan records the window again while the row on screen still shows the old counts.
    BlockRecord again = row;
    again.recordCnt = 3;
    again.timeRecord = 1700000050;
    Store(again);

    g_confirmOwner = *dialog;
    g_ownerLock = dialog->GetLockWnd();
    ::SetTimer(nullptr, 0, 50, PressConfirmOk);
    dui::CControlUI* listed = dialog->List()->GetBody()->FindRow(0);
    ASSERT_NE(listed, nullptr);
    dialog->BlockRow(dialog->m_pm.FindSubControlByName(listed, L"btn_open"));

    std::vector<BlockRecord> decided = Decided();
    const BlockRecord* stored = Find(decided, row.hash);
    ASSERT_NE(stored, nullptr) << "not blocked";
    EXPECT_EQ(stored->status, monitor::kStatusBlock);
    EXPECT_EQ(stored->addType, monitor::kAddedFromRecordDialog);
    EXPECT_EQ(stored->name, L"Popper.EXE");
    EXPECT_EQ(stored->recordCnt, 3) << "the row's older count was written back";
    EXPECT_EQ(stored->timeRecord, 1700000050);
    EXPECT_FALSE(RowShown(0).openVisible);
    EXPECT_TRUE(g_ownerLockShown) << "the record dialog was not veiled under the confirmation";
    EXPECT_FALSE(dialog->IsLocked());
}

TEST_F(RecordDlgTest, PreviewShowsOnTheCountAndHidesOffItOutsideAndWhenTheDialogCloses) {
    Store(Recorded(L"Shown", 1700000000, 4));
    monitor::WndMgr().recording = 1;
    Open();
    ASSERT_EQ(dialog->Rows().size(), 1u);
    dui::CControlUI* row = dialog->List()->GetBody()->FindRow(0);
    ASSERT_NE(row, nullptr);
    dui::CControlUI* count = dialog->m_pm.FindSubControlByName(row, L"lab_count");
    dui::CControlUI* name = dialog->m_pm.FindSubControlByName(row, L"lab_name");
    auto move = [&](POINT at) {
        ::SendMessageW(*dialog, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
        PumpFor(30ms);
    };
    move(CentreOf(count));
    EXPECT_TRUE(::IsWindowVisible(PreviewWindow()));
    move(CentreOf(name));
    EXPECT_FALSE(::IsWindowVisible(PreviewWindow())) << "still shown beside another control";
    move(CentreOf(count));
    ASSERT_TRUE(::IsWindowVisible(PreviewWindow()));
    ::SendMessageW(*dialog, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(PreviewWindow())) << "still shown after the pointer left the dialog";
    move(CentreOf(count));
    ASSERT_TRUE(::IsWindowVisible(PreviewWindow()));
    dialog->DestroyWindow();
    EXPECT_FALSE(::IsWindowVisible(PreviewWindow())) << "outlived the dialog";
}

}  // namespace
