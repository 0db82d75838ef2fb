// The richer controls in real windows: lists, combo boxes, the native-backed edit,
// file icons, frame animations and stand-alone scrollbars.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "TestSupport.h"

namespace winhush::dui {
namespace {

using test::CentreOf;
using test::TestHost;

const wchar_t* const kListLayout =
    L"<Window><VerticalLayout>"
    L"<List name=\"list_rows\" height=\"200\" itemtextpadding=\"4,0,4,0\">"
    L"<ListHeaderItem name=\"col_name\" text=\"Name\" width=\"120\"/><ListHeaderItem text=\"Count\"/>"
    L"<ListLabelElement name=\"row0\" text=\"zero\" height=\"30\"/>"
    L"<ListLabelElement name=\"row1\" text=\"one\" height=\"30\"/>"
    L"<ListLabelElement name=\"row2\" text=\"two\" height=\"30\"/>"
    L"</List><Control/></VerticalLayout></Window>";

TEST(ListControl, RoutesHeaderItemsToTheHeaderAndRowsToTheBody) {
    TestHost host;
    ASSERT_NE(host.Load(kListLayout), nullptr);
    auto* list = static_cast<CListUI*>(host.Find(L"list_rows"));
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->GetHeader()->GetCount(), 2);
    EXPECT_EQ(list->GetItemAt(2), host.Find(L"row2"));
    EXPECT_EQ(list->GetListInfo()->nColumns, 2);
    EXPECT_EQ(list->GetListInfo()->rcColumn[0].right - list->GetListInfo()->rcColumn[0].left, 120);
    // Rows sit below the header.
    EXPECT_GE(host.Find(L"row0")->GetPos().top, list->GetHeader()->GetPos().bottom);
    // Removing keeps the indexes consecutive.
    EXPECT_TRUE(list->RemoveAt(0));
    auto* row2 = static_cast<IListItemUI*>(list->GetItemAt(1)->GetInterface(L"ListItem"));
    EXPECT_EQ(row2->GetIndex(), 1);
}

TEST(ListControl, AClickSendsItemClickThenItemSelectWithNewAndOldIndexes) {
    TestHost host;
    ASSERT_NE(host.Load(kListLayout), nullptr);
    auto* list = static_cast<CListUI*>(host.Find(L"list_rows"));
    host.Click(CentreOf(host.Find(L"row1")));
    EXPECT_EQ(list->GetCurSel(), 1);
    host.notes().Clear();
    host.Click(CentreOf(host.Find(L"row2")));
    std::vector<test::Notification> relevant;
    for (auto& e : host.notes().events) {
        if (e.type == L"itemclick" || e.type == L"itemselect") relevant.push_back(e);
    }
    ASSERT_EQ(relevant.size(), 2u);
    EXPECT_EQ(relevant[0].type, L"itemclick");
    EXPECT_EQ(relevant[0].sender, L"row2");
    EXPECT_EQ(relevant[1].type, L"itemselect");
    EXPECT_EQ(relevant[1].sender, L"list_rows");
    EXPECT_EQ(relevant[1].wParam, 2u);
    EXPECT_EQ(relevant[1].lParam, 1);
    EXPECT_FALSE(static_cast<IListItemUI*>(host.Find(L"row1")->GetInterface(L"ListItem"))->IsSelected());

    // Keyboard: Up selects the previous row, selecting the current row again is silent.
    host.Key(VK_UP);
    EXPECT_EQ(list->GetCurSel(), 1);
    host.notes().Clear();
    EXPECT_TRUE(list->SelectItem(1));
    EXPECT_TRUE(host.notes().events.empty());
    EXPECT_FALSE(list->SelectItem(9));
}

TEST(ListControl, RowsAreBuiltFromTheRowTemplate) {
    winhush::test::ScopedTempDir dir;
    ASSERT_TRUE(winhush::test::WriteFileBytes(
        dir / L"row.xml",
        "<ListContainerElement height=\"40\"><HorizontalLayout><Label name=\"lab_name\"/><Button name=\"btn_del\" width=\"40\"/>"
        "</HorizontalLayout></ListContainerElement>"));
    CPaintManagerUI::SetResourcePath(dir.path().c_str());
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><List name=\"list_t\" containeritemxml=\"row.xml\"/></Window>"), nullptr);
    auto* list = static_cast<CListUI*>(host.Find(L"list_t"));
    EXPECT_EQ(list->GetContainerItemXML(), L"row.xml");
    CControlUI* row = list->AddContainerItem();
    ASSERT_NE(row, nullptr);
    ASSERT_NE(list->AddContainerItem(), nullptr);
    EXPECT_EQ(list->GetCount(), 2);
    CControlUI* label = host.manager().FindSubControlByName(row, L"lab_name");
    ASSERT_NE(label, nullptr);
    host.Layout();
    EXPECT_EQ(row->GetHeight(), 40);
    EXPECT_EQ(list->GetItemAt(1)->GetPos().top, row->GetPos().bottom);
    list->SetContainerItemXML(L"absent.xml");
    EXPECT_EQ(list->AddContainerItem(), nullptr);
    CPaintManagerUI::SetResourcePath(L"");
}

TEST(ComboControl, SelectingSendsItemSelectAndTheTextFollowsTheSelection) {
    TestHost host;
    CComboUI* combo = host.LoadCombo(L"<ListLabelElement text=\"first\"/><ListLabelElement text=\"second\"/>"
                                     L"<ListLabelElement text=\"third\"/>");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetCurSel(), -1);
    EXPECT_EQ(combo->GetText(), L"");
    EXPECT_TRUE(combo->SelectItem(1));
    EXPECT_EQ(combo->GetText(), L"second");
    host.notes().Clear();
    EXPECT_TRUE(combo->SelectItem(1));
    EXPECT_TRUE(host.notes().events.empty());
    EXPECT_TRUE(combo->SelectItem(2));
    ASSERT_EQ(host.notes().events.size(), 1u);
    EXPECT_EQ(host.notes().events[0].type, L"itemselect");
    EXPECT_EQ(host.notes().events[0].wParam, 2u);
    EXPECT_EQ(host.notes().events[0].lParam, 1);
    // Items are not shown inside the closed combo.
    EXPECT_FALSE(combo->GetItemAt(0)->IsVisible());
}

TEST(ComboControl, OpensADropListAndEscapeRestoresTheSelection) {
    TestHost host;
    CComboUI* combo = host.LoadCombo(L"<ListLabelElement text=\"first\"/><ListLabelElement text=\"second\"/>");
    ASSERT_NE(combo, nullptr);
    combo->SelectItem(0);
    host.notes().Clear();
    host.Click(CentreOf(combo));
    ASSERT_TRUE(combo->IsDropped());
    EXPECT_EQ(host.notes().Sequence({L"timer", L"setfocus", L"killfocus"}), (std::vector<std::wstring>{L"dropdown:combo"}));
    HWND drop = ::FindWindowW(L"WinhushDuiComboDrop", nullptr);
    ASSERT_NE(drop, nullptr);
    RECT dropRect, comboRect = combo->GetPos();
    ::GetWindowRect(drop, &dropRect);
    POINT below = {comboRect.left, comboRect.bottom};
    ::ClientToScreen(host.hwnd(), &below);
    EXPECT_EQ(dropRect.top, below.y);
    // Regression: the list was sized from items the closed combo hides, so it opened 2 px high.
    EXPECT_GE(dropRect.bottom - dropRect.top, combo->GetItemAt(0)->GetPos().bottom - combo->GetItemAt(0)->GetPos().top);
    EXPECT_GT(dropRect.bottom - dropRect.top, 10);
    EXPECT_TRUE(combo->GetItemAt(1)->IsVisible());  // shown in the drop list

    combo->SelectItem(1);
    ::SendMessageW(drop, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(winhush::test::WaitUntil([&] { return !combo->IsDropped(); }, std::chrono::milliseconds(2000)));
    EXPECT_EQ(combo->GetCurSel(), 0);
    EXPECT_FALSE(::IsWindow(drop));
    EXPECT_FALSE(combo->GetItemAt(1)->IsVisible());
    EXPECT_EQ(combo->GetItemAt(1)->GetManager(), &host.manager());
}

TEST(EditControl, FocusOpensANativeEditWhoseTypingReachesTheControl) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><VerticalLayout><Edit name=\"edit_name\" height=\"30\" text=\"abc\"/>"
                        L"<Button name=\"btn_other\" height=\"30\"/><Control/></VerticalLayout></Window>"),
              nullptr);
    auto* edit = static_cast<CEditUI*>(host.Find(L"edit_name"));
    host.Click(CentreOf(edit));
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(::GetParent(native), host.hwnd());
    wchar_t cls[16] = {};
    ::GetClassNameW(native, cls, 16);
    EXPECT_EQ(_wcsicmp(cls, L"Edit"), 0);
    EXPECT_EQ(::GetFocus(), native);

    host.notes().Clear();
    ::SendMessageW(native, EM_SETSEL, 3, 3);
    ::SendMessageW(native, WM_CHAR, L'd', 0);
    EXPECT_EQ(edit->GetText(), L"abcd");
    EXPECT_EQ(host.notes().Sequence(), (std::vector<std::wstring>{L"textchanged:edit_name"}));
    ::SendMessageW(native, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(host.notes().Sequence().back(), L"return:edit_name");

    // Focus elsewhere closes the native window and keeps the text.
    host.Click(CentreOf(host.Find(L"btn_other")));
    winhush::test::PumpFor(std::chrono::milliseconds(30));
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    EXPECT_FALSE(::IsWindow(native));
    EXPECT_EQ(edit->GetText(), L"abcd");
    edit->SetText(L"set from code");
    EXPECT_EQ(edit->GetText(), L"set from code");
}

TEST(FileIconControl, ShowsTheFilesIconOrTheGenericProgramIcon) {
    TestHost host;
    ASSERT_NE(host.Load(L"<Window><HorizontalLayout><FileIcon name=\"icon_app\" width=\"32\" height=\"32\"/>"
                        L"<Control/></HorizontalLayout></Window>"),
              nullptr);
    auto* icon = static_cast<CFileIconUI*>(host.Find(L"icon_app"));
    icon->SetFilePath(L"C:\\no\\such\\program.exe");
    EXPECT_NE(icon->GetIcon(), nullptr);
    EXPECT_TRUE(icon->IsFallbackIcon());
    wchar_t notepad[MAX_PATH];
    ::GetWindowsDirectoryW(notepad, MAX_PATH);
    wcscat(notepad, L"\\notepad.exe");
    icon->SetFilePath(notepad);
    ASSERT_NE(icon->GetIcon(), nullptr);
    EXPECT_FALSE(icon->IsFallbackIcon());
    ICONINFO info = {};
    ASSERT_TRUE(::GetIconInfo(icon->GetIcon(), &info));
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);  // the size shown, not the default icon size
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
}

class Blinker : public CLabelUI, public CUIAnimation {
public:
    Blinker() : CUIAnimation(this) {}
    void DoEvent(TEventUI& event) override {
        if (event.Type == UIEVENT_TIMER) {
            OnAnimationElapse(static_cast<int>(event.wParam));
            return;
        }
        CLabelUI::DoEvent(event);
    }
    void OnAnimationStart(int id, bool firstLoop) override { log.push_back(L"start" + std::to_wstring(id) + (firstLoop ? L"+" : L"")); }
    void OnAnimationStep(int total, int frame, int id) override {
        log.push_back(L"step" + std::to_wstring(id) + L":" + std::to_wstring(frame) + L"/" + std::to_wstring(total));
    }
    void OnAnimationStop(int id) override { log.push_back(L"stop" + std::to_wstring(id)); }
    std::vector<std::wstring> log;
};

class BlinkerFactory : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(LPCTSTR name) override { return wcscmp(name, L"Blinker") == 0 ? new Blinker : nullptr; }
};

TEST(Animation, RunsFramesZeroToTotalThenStops) {
    TestHost host;
    BlinkerFactory factory;
    ASSERT_NE(host.Load(L"<Window><Blinker name=\"blink\"/></Window>", &factory), nullptr);
    auto* blinker = static_cast<Blinker*>(host.Find(L"blink"));
    EXPECT_FALSE(blinker->StartAnimation(0, 3, 9));
    EXPECT_FALSE(blinker->StartAnimation(10, 0, 9));
    ASSERT_TRUE(blinker->StartAnimation(10, 3, 9));
    EXPECT_FALSE(blinker->StartAnimation(10, 3, 9));  // already running
    EXPECT_TRUE(blinker->IsAnimationRunning(9));
    EXPECT_EQ(blinker->GetCurrentFrame(4), -1);
    EXPECT_FALSE(blinker->SetCurrentFrame(4, 9));
    ASSERT_TRUE(winhush::test::WaitUntil([&] { return !blinker->IsAnimationRunning(9); }, std::chrono::milliseconds(3000)));
    EXPECT_EQ(blinker->log, (std::vector<std::wstring>{L"start9+", L"step9:0/3", L"step9:1/3", L"step9:2/3", L"step9:3/3",
                                                       L"stop9"}));
    // Its timer is gone: no further steps arrive.
    winhush::test::PumpFor(std::chrono::milliseconds(60));
    EXPECT_EQ(blinker->log.size(), 6u);
}

TEST(Animation, LoopingRestartsAtFrameOneAndStopAnimationZeroStopsAll) {
    TestHost host;
    BlinkerFactory factory;
    ASSERT_NE(host.Load(L"<Window><Blinker name=\"blink\"/></Window>", &factory), nullptr);
    auto* blinker = static_cast<Blinker*>(host.Find(L"blink"));
    ASSERT_TRUE(blinker->StartAnimation(10, 1, 5, true));
    ASSERT_TRUE(blinker->StartAnimation(10, 50, 6));
    ASSERT_TRUE(winhush::test::WaitUntil(
        [&] { return std::count(blinker->log.begin(), blinker->log.end(), L"stop5") >= 2; }, std::chrono::milliseconds(3000)));
    blinker->StopAnimation(0);
    EXPECT_FALSE(blinker->IsAnimationRunning(5));
    EXPECT_FALSE(blinker->IsAnimationRunning(6));
    // After the wrap the start hook is not repeated and the next step is frame 1.
    auto firstStop = std::find(blinker->log.begin(), blinker->log.end(), L"stop5");
    auto next = std::find_if(firstStop, blinker->log.end(), [](const std::wstring& s) { return s.rfind(L"step5", 0) == 0; });
    ASSERT_NE(next, blinker->log.end());
    EXPECT_EQ(*next, L"step5:1/1");
    EXPECT_EQ(std::count(blinker->log.begin(), blinker->log.end(), L"start5+"), 1);
    EXPECT_EQ(std::count(blinker->log.begin(), blinker->log.end(), L"start5"), 0);
}

TEST(ScrollBarControl, AStandAloneBarReportsScrollAndClampsItsPosition) {
    TestHost host(200, 200);
    ASSERT_NE(host.Load(L"<Window><Container><ScrollBar name=\"bar\" float=\"true\" pos=\"0,0,16,160\" range=\"50\" "
                        L"linesize=\"10\"/></Container></Window>"),
              nullptr);
    auto* bar = static_cast<CScrollBarUI*>(host.Find(L"bar"));
    EXPECT_EQ(bar->GetScrollRange(), 50);
    bar->SetScrollPos(80);
    EXPECT_EQ(bar->GetScrollPos(), 50);
    bar->SetScrollPos(0);
    host.notes().Clear();
    host.Click(POINT{8, 150});  // the lower end button
    EXPECT_EQ(bar->GetScrollPos(), 10);
    EXPECT_EQ(host.notes().Sequence({L"timer", L"setfocus", L"killfocus"}), (std::vector<std::wstring>{L"scroll:bar"}));
    RECT thumb = bar->GetThumbRect();
    EXPECT_GT(thumb.top, 16);  // moved off the top of the track
}

}  // namespace
}  // namespace winhush::dui
