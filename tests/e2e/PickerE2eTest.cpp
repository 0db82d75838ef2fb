// The window picker of a running Winhush.exe, driven as a user drives it: the real pointer
// (xdotool) presses the crosshair, drags it over windows of another process and releases or
// cancels; what the user would see (the outline on screen, which windows are shown) and the
// record file are checked from outside.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ProgramTestSupport.h"
#include "RecordTestSupport.h"
#include "TestSupport.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"

namespace t = winhush::test;
using namespace std::chrono_literals;

namespace winhush::monitor {
namespace {

using t::kSettingsKey;
constexpr wchar_t kPickerTitle[] = L"手动定位窗口";
constexpr wchar_t kConfirmTitle[] = L"添加拦截";
constexpr WORD kOpenLocate = 2;

// Places in the layouts, in 96-DPI units from the window's top-left corner (the tests run
// at 96 DPI): "btn_locate" of dlg_locate.xml, and in dlg_add_confirm.xml for a fresh pick
// (no time row) "edit_name", "btn_ok" and "btn_cancel"; "btn_cancel" of msg_system_tip.xml.
constexpr POINT kLocateButton{60, 92};
constexpr POINT kNameEdit{256, 312};
constexpr POINT kConfirmOk{372, 400};
constexpr POINT kConfirmCancel{276, 400};
constexpr POINT kSystemTipCancel{236, 160};

using t::ScreenPixel;

bool Near(COLORREF a, COLORREF b) { return t::NearColour(a, b, 8); }

// On screen where the user can see it (the picker leaves the screen while a drag lasts).
bool OnScreen(HWND window) {
    RECT rc{}, screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}, common{};
    return ::IsWindowVisible(window) && ::GetWindowRect(window, &rc) && ::IntersectRect(&common, &rc, &screen);
}

COLORREF Inverted(COLORREF c) { return RGB(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c)); }

std::wstring Point(POINT p) { return std::to_wstring(p.x) + L" " + std::to_wstring(p.y); }

POINT At(HWND window, POINT offset) {
    RECT rc{};
    ::GetWindowRect(window, &rc);
    return POINT{rc.left + offset.x, rc.top + offset.y};
}

POINT CentreOf(HWND window) {
    RECT rc{};
    ::GetWindowRect(window, &rc);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

struct OwnedSearch {
    HWND owner;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<OwnedSearch*>(param);
    if (!::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
    if (search->title) {
        wchar_t text[128] = L"";
        ::GetWindowTextW(hwnd, text, 128);
        if (std::wstring(text) != search->title) return TRUE;
    } else if (!::IsWindowEnabled(hwnd)) {
        return TRUE;  // the shadow and the lock overlay are disabled companions
    }
    search->found = hwnd;
    return FALSE;
}

// A visible window owned by `owner` (with that title, or any enabled one), within the limit.
HWND WaitForOwned(HWND owner, const wchar_t* title, std::chrono::milliseconds limit) {
    OwnedSearch search{owner, title, nullptr};
    t::WaitUntil(
        [&] {
            search.found = nullptr;
            ::EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        limit);
    return search.found;
}

class PickerE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(suite_.Create(root_.path()));
        dataRoot_ = suite_.dataRoot();
        dataDir_ = suite_.dataDir();
        suiteRoot_ = suite_.suiteRoot();
        ASSERT_TRUE(::CreateDirectoryW((suiteRoot_ + L"bin\\").c_str(), nullptr));
        helperExe_ = root_ / L"PopHelper.exe";
        ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"winhelper.exe").c_str(), helperExe_.c_str(), FALSE));
        ASSERT_TRUE(t::SetQuietSettings(5));
        logPath_ = suite_.logPath();
        // The suite's rule database names the classes of the system's own windows.
        ASSERT_TRUE(::CreateDirectoryW((dataRoot_ + L"db\\").c_str(), nullptr));
        ASSERT_TRUE(t::WriteFileBytes(dataRoot_ + L"db\\winhsh.db",
                                      R"({"winhsh": {"in_rule": [], "white_list": {"system_class": ["Shell_TrayWnd",)"
                                      R"( "Progman", "WorkerW"], "common_class": ["#32770"]}}})"));
        ASSERT_TRUE(t::RunXdotool(L"mousemove 1200 40"));
    }
    void TearDown() override {
        // A drag left running would keep the pointer captured for the next test.
        t::RunXdotool(L"mouseup 1");
        winhush_.Close();
        helper_.Quit();
        suiteHelper_.Quit();
        suite_.Remove();
    }

    static std::optional<std::string> Ask(t::HelperProcess& helper, const std::wstring& exe, const std::string& line) {
        if (!helper.valid() && !helper.Start(exe)) return std::nullopt;
        return helper.Command(line);
    }
    HWND Open(const std::string& arguments, t::HelperProcess* helper = nullptr, const std::wstring& exe = L"") {
        t::HelperProcess& h = helper ? *helper : helper_;
        if (!h.valid() && !h.Start(exe.empty() ? helperExe_ : exe)) return nullptr;
        HWND hwnd = h.Open(arguments);
        if (hwnd) t::PumpFor(200ms);  // painted
        return hwnd;
    }
    static std::string Hex(HWND hwnd) { return t::HandleText(hwnd); }

    void StartWinhush() {
        ASSERT_TRUE(winhush_.Start());
        main_ = winhush_.WaitMainWindow(10s);
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(main_) != FALSE; }, 10s));
    }
    // The picker as the tray menu or the rule list opens it.
    HWND OpenPicker() {
        ::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kOpenLocate, 0), reinterpret_cast<LPARAM>(main_));
        HWND picker = WaitForOwned(main_, kPickerTitle, 10s);
        if (picker) t::PumpFor(300ms);  // laid out and painted
        return picker;
    }
    // Presses the crosshair; true once the picker and the main window are out of the way.
    bool Press(HWND picker) {
        if (!t::RunXdotool(L"mousemove " + Point(At(picker, kLocateButton)))) return false;
        t::PumpFor(300ms);
        if (!t::RunXdotool(L"mousedown 1")) return false;
        return t::WaitUntil([&] { return !OnScreen(picker) && !::IsWindowVisible(main_); }, 5s);
    }
    void MoveTo(POINT at) {
        t::RunXdotool(L"mousemove " + Point(POINT{at.x - 3, at.y - 3}));
        t::PumpFor(200ms);
        t::RunXdotool(L"mousemove " + Point(at));
        t::PumpFor(400ms);
    }
    void ClickAt(POINT at) {
        t::RunXdotool(L"mousemove " + Point(at));
        t::PumpFor(250ms);
        t::RunXdotool(L"click 1");
    }
    std::vector<BlockRecord> Records() { return t::StoredRecords(logPath_); }
    static uint64_t HashOf(HWND hwnd) {
        WndInfo info;
        EXPECT_TRUE(Snapshot(info, hwnd));
        return WindowKeyHash(info);
    }
    const BlockRecord* Find(const std::vector<BlockRecord>& records, uint64_t hash) {
        for (const BlockRecord& r : records)
            if (r.hash == hash) return &r;
        return nullptr;
    }
    // Drops the crosshair at `at` and expects the pick to be ignored: no confirmation, the
    // picker back on screen, no record for `hash`.
    void ExpectIgnoredDrop(HWND picker, POINT at, uint64_t hash, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(Press(picker));
        MoveTo(at);
        t::RunXdotool(L"mouseup 1");
        EXPECT_TRUE(t::WaitUntil([&] { return OnScreen(picker); }, 5s));
        EXPECT_EQ(WaitForOwned(picker, kConfirmTitle, 1500ms), nullptr) << "a confirmation was offered";
        EXPECT_TRUE(::IsWindowVisible(main_));
        EXPECT_EQ(Find(Records(), hash), nullptr);
    }

    t::ScopedTempDir root_;
    t::SuiteInstall suite_;
    std::wstring dataRoot_, dataDir_, suiteRoot_, helperExe_, logPath_;
    t::HelperProcess helper_, suiteHelper_;
    t::WinhushProcess winhush_;
    HWND main_ = nullptr;
};

TEST_F(PickerE2e, DragOutlinesTheTopLevelWindowOfAChildAndRightButtonCancels) {
    const COLORREF top = RGB(0x30, 0x60, 0xC0), child = RGB(0x20, 0xA0, 0x40);
    HWND window = Open("class=PickTop x=200 y=150 w=400 h=300 style=popup color=3060C0");
    ASSERT_NE(window, nullptr);
    HWND inner = Open("class=PickChild x=100 y=80 w=150 h=100 style=child color=20A040 parent=" + Hex(window));
    ASSERT_NE(inner, nullptr);
    StartWinhush();
    HWND picker = OpenPicker();
    ASSERT_NE(picker, nullptr);

    const POINT edge{201, 151}, inside{240, 190};
    ASSERT_TRUE(Near(ScreenPixel(edge), top));
    ASSERT_TRUE(Press(picker));
    MoveTo(CentreOf(inner));
    // The frame runs just inside the top-level window, not around the child under the pointer.
    EXPECT_TRUE(t::WaitUntil([&] { return Near(ScreenPixel(edge), Inverted(top)); }, 2s))
        << std::hex << ScreenPixel(edge);
    EXPECT_TRUE(Near(ScreenPixel(inside), top));
    RECT childRect{};
    ::GetWindowRect(inner, &childRect);
    EXPECT_TRUE(Near(ScreenPixel(POINT{childRect.left + 1, childRect.top + 1}), child));
    // Moving within the same window draws nothing new: the outline stays as it is.
    MoveTo(POINT{260, 200});
    EXPECT_TRUE(Near(ScreenPixel(edge), Inverted(top)));

    t::RunXdotool(L"mousedown 3");
    t::PumpFor(150ms);
    t::RunXdotool(L"mouseup 3");
    EXPECT_TRUE(t::WaitUntil([&] { return OnScreen(picker) && ::IsWindowVisible(main_); }, 5s));
    EXPECT_TRUE(t::WaitUntil([&] { return Near(ScreenPixel(edge), top); }, 2s)) << "the outline stayed behind";
    EXPECT_EQ(WaitForOwned(picker, kConfirmTitle, 1s), nullptr);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(Find(Records(), HashOf(window)), nullptr);
}

TEST_F(PickerE2e, DropsOnOurTipAMinimisedWindowOrASuiteProgramAreIgnored) {
    // A first block makes the program show its tip, a window of its own.
    HWND popup = Open("class=AdPopup caption=Ad w=300 h=200 corner=rb style=popup");
    ASSERT_NE(popup, nullptr);
    BlockRecord decision;
    ASSERT_TRUE(Snapshot(decision.window, popup));
    decision.hash = WindowKeyHash(decision.window);
    decision.name = L"Ad";
    decision.status = kStatusBlock;
    ASSERT_TRUE(SaveRecordFile(logPath_, {decision}, false));
    ASSERT_TRUE(t::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, L"BlockCount", 0));
    HWND plain = Open("class=PickPlain x=120 y=120 w=360 h=260 style=popup color=806030");
    ASSERT_NE(plain, nullptr);
    const std::wstring suiteExe = suiteRoot_ + L"bin\\SuiteTool.exe";
    ASSERT_TRUE(::CopyFileW(helperExe_.c_str(), suiteExe.c_str(), FALSE));
    HWND suite = Open("class=SuiteWindow x=700 y=120 w=360 h=260 style=popup color=506070", &suiteHelper_,
                      suiteExe);
    ASSERT_NE(suite, nullptr);

    StartWinhush();
    ASSERT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 5s)) << "the pop-up was not blocked";
    HWND tip = nullptr;
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            for (HWND w : t::TopLevelWindowsOf(winhush_.pid())) {
                if (w != main_ && ::IsWindowVisible(w) && ::IsWindowEnabled(w) && !::GetWindow(w, GW_OWNER)) tip = w;
            }
            return tip != nullptr;
        },
        5s))
        << "no tip after the first block";
    HWND picker = OpenPicker();
    ASSERT_NE(picker, nullptr);

    ExpectIgnoredDrop(picker, CentreOf(tip), HashOf(tip), "our own tip");
    ExpectIgnoredDrop(picker, CentreOf(suite), HashOf(suite), "a program of the suite's folder");

    // A window minimised while it is outlined: the release picks it, and it is ignored.
    uint64_t plainHash = HashOf(plain);
    ASSERT_TRUE(Press(picker));
    MoveTo(CentreOf(plain));
    ASSERT_TRUE(Near(ScreenPixel(POINT{121, 121}), Inverted(RGB(0x80, 0x60, 0x30))));
    ASSERT_EQ(Ask(helper_, helperExe_, "show " + Hex(plain) + " min"), std::optional<std::string>("ok"));
    ASSERT_TRUE(t::WaitUntil([&] { return ::IsIconic(plain) != FALSE; }, 3s));
    t::RunXdotool(L"mouseup 1");
    EXPECT_TRUE(t::WaitUntil([&] { return OnScreen(picker); }, 5s));
    EXPECT_EQ(WaitForOwned(picker, kConfirmTitle, 1500ms), nullptr);
    EXPECT_EQ(Find(Records(), plainHash), nullptr);
    EXPECT_EQ(Records().size(), 1u);
}

TEST_F(PickerE2e, ConfirmedDropStoresTheEditedNameAndHidesTheWindowAndAClearedNameStaysEmpty) {
    HWND first = Open("class=PickFirst caption=First x=160 y=140 w=380 h=240 style=popup color=7040A0");
    HWND second = Open("class=PickSecond caption=Second x=640 y=300 w=340 h=220 style=popup color=A07040");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const uint64_t firstHash = HashOf(first), secondHash = HashOf(second);
    StartWinhush();

    struct Case {
        HWND window;
        uint64_t hash;
        const wchar_t* typed;  // null: the name is cleared
        const wchar_t* stored;
    };
    for (const Case& c : {Case{first, firstHash, L"My Pop", L"My Pop"}, Case{second, secondHash, nullptr, L""}}) {
        SCOPED_TRACE(testing::Message() << "stored name \"" << c.stored << "\"");
        HWND picker = OpenPicker();
        ASSERT_NE(picker, nullptr);
        ASSERT_TRUE(Press(picker));
        MoveTo(CentreOf(c.window));
        t::RunXdotool(L"mouseup 1");
        HWND confirm = WaitForOwned(picker, kConfirmTitle, 5s);
        ASSERT_NE(confirm, nullptr) << "no confirmation";
        t::PumpFor(400ms);
        // The name field starts with the executable's file name, all of it selected.
        ClickAt(At(confirm, kNameEdit));
        t::PumpFor(400ms);
        t::RunXdotool(L"key ctrl+a BackSpace");
        t::PumpFor(300ms);
        if (c.typed) {
            t::RunXdotool(L"type --delay 30 \"My Pop\"");
            t::PumpFor(800ms);
        }
        ClickAt(At(confirm, kConfirmOk));
        EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(c.window); }, 5s)) << "the window stayed";
        EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindow(picker); }, 5s)) << "the picker stayed open";
        std::vector<BlockRecord> records = Records();
        const BlockRecord* stored = Find(records, c.hash);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->status, kStatusBlock);
        EXPECT_EQ(stored->addType, kAddedByPicker);
        EXPECT_EQ(stored->name, c.stored);
        EXPECT_FALSE(stored->imagePath.empty());
    }
    EXPECT_EQ(Records().size(), 2u);
}

TEST_F(PickerE2e, TheTaskbarAsksASecondTimeAndDecliningStoresNothing) {
    StartWinhush();
    HWND taskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_NE(taskbar, nullptr);
    HWND picker = OpenPicker();
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(Press(picker));
    RECT bar{};
    ::GetWindowRect(taskbar, &bar);
    MoveTo(POINT{(bar.left + bar.right) / 2, (bar.top + bar.bottom) / 2});
    t::RunXdotool(L"mouseup 1");
    HWND confirm = WaitForOwned(picker, kConfirmTitle, 5s);
    ASSERT_NE(confirm, nullptr);
    t::PumpFor(400ms);
    ClickAt(At(confirm, kConfirmOk));
    HWND warning = WaitForOwned(confirm, nullptr, 5s);
    ASSERT_NE(warning, nullptr) << "no second confirmation for the taskbar";
    t::PumpFor(400ms);
    ClickAt(At(warning, kSystemTipCancel));
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindow(confirm); }, 5s));
    EXPECT_TRUE(OnScreen(picker));
    EXPECT_TRUE(::IsWindowVisible(taskbar));
    t::PumpFor(500ms);
    EXPECT_TRUE(Records().empty());
    // The picture taken for the confirmation goes with the cancelled pick.
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((dataDir_ + L"*.jpg").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << (search != INVALID_HANDLE_VALUE ? found.cFileName : L"");
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
}

}  // namespace
}  // namespace winhush::monitor

namespace winhush::monitor {
namespace {

constexpr wchar_t kRecordTitle[] = L"弹窗记录";
constexpr WORD kOpenRecords = 3;
// dlg_record.xml (96 DPI): "btn_record" in the top card, "btn_open" of the first row.
constexpr POINT kRecordSwitch{560, 76};
constexpr POINT kFirstRowOpen{579, 181};
constexpr POINT kConfirmOkWithTime{372, 400};

TEST_F(PickerE2e, RecordedPopUpIsListedWithItsPictureAndBlockedFromTheList) {
    StartWinhush();
    ::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(kOpenRecords, 0), reinterpret_cast<LPARAM>(main_));
    HWND records = WaitForOwned(main_, kRecordTitle, 10s);
    ASSERT_NE(records, nullptr);
    t::PumpFor(400ms);
    ClickAt(At(records, kRecordSwitch));
    t::PumpFor(600ms);

    // A pop-up in the corner, as advertising windows open; while recording it is noted.
    HWND popup = Open("class=AdRecorded caption=Offer w=300 h=200 corner=rb style=popup color=2B8FD9");
    ASSERT_NE(popup, nullptr);
    const uint64_t hash = HashOf(popup);
    const BlockRecord* seen = nullptr;
    std::vector<BlockRecord> stored;
    ASSERT_TRUE(t::WaitUntil(
        [&] {
            stored = Records();
            seen = Find(stored, hash);
            return seen && seen->recordCnt >= 1;
        },
        5s))
        << "not recorded";
    EXPECT_EQ(seen->status, kStatusRecorded);
    ASSERT_FALSE(seen->imagePath.empty());
    EXPECT_TRUE(t::FileExists(seen->imagePath));
    t::PumpFor(1500ms);  // the list's next reload

    ClickAt(At(records, kFirstRowOpen));
    HWND confirm = WaitForOwned(records, kConfirmTitle, 5s);
    ASSERT_NE(confirm, nullptr) << "no confirmation from the row's button";
    t::PumpFor(400ms);
    ClickAt(At(confirm, kConfirmOkWithTime));
    EXPECT_TRUE(t::WaitUntil([&] { return !::IsWindowVisible(popup); }, 5s)) << "the recorded window stayed";
    stored = Records();
    const BlockRecord* blocked = Find(stored, hash);
    ASSERT_NE(blocked, nullptr);
    EXPECT_EQ(blocked->status, kStatusBlock);
    EXPECT_EQ(blocked->addType, kAddedFromRecordDialog);
    EXPECT_GE(blocked->recordCnt, 1);
    EXPECT_TRUE(::IsWindowVisible(records)) << "the record dialog stays open";
}

}  // namespace
}  // namespace winhush::monitor
