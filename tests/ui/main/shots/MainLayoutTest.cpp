// The main window's layout against what its code and its artwork need: every control the
// window drives exists once with the right type, the row template builds, and the frame
// strips agree with the controls that cut frames out of them. A layout edit that breaks
// one of these shows as a missing count or an animation that slides off its strip, not as
// an error, so it is caught here.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <cwchar>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "GdiPlus.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "ui/controls/ControlFactory.h"
#include "ui/controls/SlideOption.h"
#include "ui/controls/SplitButton.h"
#include "ui/controls/VirtualList.h"
#include "ui/dui/UIContainer.h"
#include "ui/dui/UILabel.h"
#include "ui/dui/UIList.h"
#include "ui/framework/DuiWindow.h"

using namespace winhush;
using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

class LayoutHost : public CDuiFrameWndImpl<LayoutHost> {
public:
    const wchar_t* GetSkinFile() override { return L"dlg_main.xml"; }
    CControlUI* CreateControl(const wchar_t* className) override { return CreateCustomControl(className); }
};

// Rows for the list: none of the data matters here, only that rows get built.
class NoData : public IVListCallbackUI {
public:
    void FillRow(dui::CControlUI*, int) override {}
};

std::wstring ArtDir() {
    std::string dir = WINHUSH_UI_ART_DIR;
    return test::HostPathToWindows(std::wstring(dir.begin(), dir.end())) + L"\\";
}

std::wstring LayoutDir() {
    std::string dir = WINHUSH_UI_SOURCE_DIR;
    return test::HostPathToWindows(std::wstring(dir.begin(), dir.end())) + L"\\";
}

std::unique_ptr<Gdiplus::Bitmap> LoadArt(const std::wstring& name) {
    auto bitmap = std::make_unique<Gdiplus::Bitmap>((ArtDir() + name).c_str());
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return bitmap;
}

// The source rectangle of an image string ("... source='l,t,r,b' ...").
bool SourceOf(const std::wstring& image, RECT& rc) {
    std::wsmatch match;
    static const std::wregex source(L"source='(-?\\d+),(-?\\d+),(-?\\d+),(-?\\d+)'");
    if (!std::regex_search(image, match, source)) return false;
    rc = {std::stol(match[1].str()), std::stol(match[2].str()), std::stol(match[3].str()), std::stol(match[4].str())};
    return true;
}

// True when two equal-sized areas of a bitmap hold the same pixels.
bool SamePixels(Gdiplus::Bitmap& bitmap, const RECT& a, const RECT& b) {
    for (LONG y = 0; y < a.bottom - a.top; ++y) {
        for (LONG x = 0; x < a.right - a.left; ++x) {
            Gdiplus::Color one, two;
            bitmap.GetPixel(a.left + x, a.top + y, &one);
            bitmap.GetPixel(b.left + x, b.top + y, &two);
            if (one.GetValue() != two.GetValue()) return false;
        }
    }
    return true;
}

void CountNames(dui::CControlUI* control, std::map<std::wstring, int>& names) {
    if (!control) return;
    if (!control->GetName().empty()) ++names[control->GetName()];
    if (auto* container = static_cast<dui::IContainerUI*>(control->GetInterface(L"IContainer"))) {
        // Pages and rows, including those the list keeps in its own body.
        for (int i = 0; i < container->GetCount(); ++i) CountNames(container->GetItemAt(i), names);
    }
}

class MainLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gdiplus = std::make_unique<test::GdiPlusSession>();
        test::UseProjectUiResources();
    }
    static void TearDownTestSuite() { gdiplus.reset(); }

    void SetUp() override {
        ASSERT_TRUE(host.Create(nullptr, RECT{100, 100, 780, 600}, L"layout", kMainWindowStyle, WS_EX_TOOLWINDOW));
        ASSERT_TRUE(host.IsLayoutLoaded());
        test::ShowAndPaint(host);
    }
    void TearDown() override {
        if (host.IsWindow()) host.DestroyWindow();
        test::PumpFor(20ms);
    }

    // A fixed size in layout units (96 DPI), as the frame arithmetic uses it.
    int Units(int pixels) { return ::MulDiv(pixels, 96, static_cast<int>(host.m_pm.GetDPI())); }

    template <typename T>
    T* Find(const wchar_t* name, const wchar_t* interfaceName) {
        dui::CControlUI* control = host.m_pm.FindControl(name);
        return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
    }

    // The list page with `count` rows built from the row template (none of the data
    // matters here); the first row, or null when none was built in time.
    dui::CControlUI* BuildRows(int count) {
        auto* list = Find<CVListUI>(L"list_block", L"IVirtualList");
        auto* tab = Find<dui::CTabLayoutUI>(L"tab_main", L"TabLayout");
        if (!list || !tab) return nullptr;
        list->SetCallback(&noData);
        list->SetBuilderCallback(&host);
        tab->SelectItem(2);
        list->SetItemCount(count);
        test::WaitUntil([&] { return list->GetItemAt(0) != nullptr; }, 2s);
        return list->GetItemAt(0);
    }

    static std::unique_ptr<test::GdiPlusSession> gdiplus;
    LayoutHost host;
    NoData noData;
};
std::unique_ptr<test::GdiPlusSession> MainLayoutTest::gdiplus;

TEST_F(MainLayoutTest, EveryControlTheWindowDrivesIsThereOnceWithItsType) {
    for (const wchar_t* name : {L"btn_menu", L"sysminbutton", L"sysclosebutton", L"btn_block", L"btn_stop", L"btn_rule",
                                L"btn_locate", L"btn_record", L"btn_record_view"}) {
        EXPECT_NE(Find<dui::CButtonUI>(name, L"Button"), nullptr) << std::string(name, name + wcslen(name));
    }
    auto* tab = Find<dui::CTabLayoutUI>(L"tab_main", L"TabLayout");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCount(), 4);
    EXPECT_EQ(tab->GetCurSel(), 0) << "the first run starts on the loading page";
    EXPECT_NE(Find<dui::CLabelUI>(L"lab_load", L"Label"), nullptr);
    auto* recording = Find<dui::CVerticalLayoutUI>(L"lay_recording", L"VerticalLayout");
    ASSERT_NE(recording, nullptr);
    EXPECT_FALSE(recording->IsVisible()) << "the banner shows only while recording";
    EXPECT_NE(Find<dui::CLabelUI>(L"lab_record_count", L"Label"), nullptr);

    // One label per digit: the code writes one character into each child.
    auto* counter = Find<dui::CHorizontalLayoutUI>(L"lay_counter", L"HorizontalLayout");
    ASSERT_NE(counter, nullptr);
    ASSERT_EQ(counter->GetCount(), 6);
    for (int i = 0; i < counter->GetCount(); ++i) EXPECT_NE(counter->GetItemAt(i)->GetInterface(L"Label"), nullptr);

    // The split button's actions, in the order the code maps the picked index.
    auto* append = Find<CSplitButton>(L"btn_append", L"SplitButton");
    ASSERT_NE(append, nullptr);
    ASSERT_EQ(append->GetCount(), 3);
    EXPECT_EQ(append->GetItemAt(0)->GetText(), L"从规则列表添加");
    EXPECT_EQ(append->GetItemAt(1)->GetText(), L"从拦截记录添加");
    EXPECT_EQ(append->GetItemAt(2)->GetText(), L"手动定位窗口");

    auto* list = Find<CVListUI>(L"list_block", L"IVirtualList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetItemXml(), L"dlg_main_item.xml");

    // A name found twice would leave one of the two controls out of the code's reach (the
    // name table keeps the last one), e.g. a second "btn_block" never shown or hidden.
    std::map<std::wstring, int> names;
    CountNames(host.m_pm.GetRoot(), names);
    for (const auto& [name, count] : names) EXPECT_EQ(count, 1) << std::string(name.begin(), name.end());
}

TEST_F(MainLayoutTest, RowsBuildWithTheirControlsAndFormats) {
    dui::CControlUI* row = BuildRows(3);
    ASSERT_NE(row, nullptr);
    EXPECT_NE(row->GetInterface(L"ListContainerElement"), nullptr);
    EXPECT_EQ(Units(row->GetFixedHeight()), 56);

    auto sub = [&](const wchar_t* name, const wchar_t* interfaceName) -> dui::CControlUI* {
        dui::CControlUI* control = host.m_pm.FindSubControlByName(row, name);
        return control && control->GetInterface(interfaceName) ? control : nullptr;
    };
    EXPECT_NE(sub(L"icon_proc", L"FileIcon"), nullptr);
    EXPECT_NE(sub(L"lab_name", L"Label"), nullptr);
    EXPECT_NE(sub(L"lab_pos", L"Label"), nullptr);
    EXPECT_NE(sub(L"opt_switch", L"SlideOption"), nullptr);
    EXPECT_NE(sub(L"btn_remove", L"Button"), nullptr);
    dui::CControlUI* count = sub(L"lab_count", L"Label");
    ASSERT_NE(count, nullptr);

    // The formats take exactly one integer: anything else would read arguments the code
    // never passes.
    std::wstring rowFormat = count->GetUserData();
    wchar_t text[64] = {};
    std::swprintf(text, 64, rowFormat.c_str(), 42);
    EXPECT_EQ(std::wstring(text), L"42次");
    std::wstring recordFormat = host.m_pm.FindControl(L"lab_record_count")->GetUserData();
    EXPECT_EQ(std::count(recordFormat.begin(), recordFormat.end(), L'%'), 1);
    EXPECT_NE(recordFormat.find(L"%d"), std::wstring::npos);
}

TEST_F(MainLayoutTest, LoadingTemplateCutsWholeFramesOfItsStripAtBothScales) {
    auto* load = Find<dui::CLabelUI>(L"lab_load", L"Label");
    ASSERT_NE(load, nullptr);
    auto strip = LoadArt(L"loading_strip.png");
    auto strip2x = LoadArt(L"loading_strip@2x.png");
    ASSERT_TRUE(strip && strip2x);
    // The code fills the two numbers with the label's width (in layout units) times the
    // frame and the next frame.
    const int width = Units(load->GetFixedWidth());
    const int frames = 69;
    wchar_t image[256] = {};
    std::swprintf(image, 256, load->GetUserData().c_str(), width * (frames - 1), width * frames);
    RECT last;
    ASSERT_TRUE(SourceOf(image, last)) << "the user data must be an image string with a source rectangle";
    EXPECT_EQ(last.right, static_cast<LONG>(strip->GetWidth())) << "the last frame must end where the strip ends";
    EXPECT_EQ(last.bottom - last.top, static_cast<LONG>(strip->GetHeight()));
    EXPECT_EQ(last.bottom - last.top, Units(load->GetFixedHeight()));
    EXPECT_EQ(strip2x->GetWidth(), 2 * strip->GetWidth());
    EXPECT_EQ(strip2x->GetHeight(), 2 * strip->GetHeight());
    // The first frame the label shows before the first tick is frame 0 of the same strip.
    RECT first;
    ASSERT_TRUE(SourceOf(load->GetBkImage(), first));
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.right, width);
}

TEST_F(MainLayoutTest, SwitchStripEndsOnTwoIdenticalOffFrames) {
    dui::CControlUI* row = BuildRows(1);
    ASSERT_NE(row, nullptr);
    auto* option =
        static_cast<CSlideOption*>(host.m_pm.FindSubControlByName(row, L"opt_switch")->GetInterface(L"SlideOption"));
    ASSERT_NE(option, nullptr);
    auto strip = LoadArt(L"switch_strip.png");
    auto strip2x = LoadArt(L"switch_strip@2x.png");
    ASSERT_TRUE(strip && strip2x);

    // At rest the switch names its frames itself: off is frame count - 2, on is frame 0.
    const int frames = option->GetFrameCount();
    ASSERT_GE(frames, 3);
    option->Selected(false, false);
    option->Invalidate();
    test::PumpFor(50ms);
    RECT off;
    ASSERT_TRUE(SourceOf(option->GetSwitchImageSpec(), off));
    const LONG frameWidth = off.right - off.left;
    EXPECT_EQ(off.left, frameWidth * (frames - 2));
    EXPECT_EQ(static_cast<LONG>(strip->GetWidth()), frameWidth * frames) << "frame count and strip disagree";
    EXPECT_EQ(static_cast<LONG>(strip->GetHeight()), off.bottom - off.top);
    EXPECT_EQ(Units(option->GetFixedWidth()), frameWidth);
    EXPECT_EQ(Units(option->GetFixedHeight()), off.bottom - off.top);
    EXPECT_EQ(strip2x->GetWidth(), 2 * strip->GetWidth());

    // The slide to off ends on the last frame and then rests on the one before: they must
    // be the same picture, or the switch jumps when it settles; on and off must differ.
    RECT last = {off.right, off.top, off.right + frameWidth, off.bottom};
    RECT on = {0, off.top, frameWidth, off.bottom};
    EXPECT_TRUE(SamePixels(*strip, off, last));
    EXPECT_FALSE(SamePixels(*strip, off, on));
}

// Every image the main window's layouts name exists at 1x and at twice that size at 2x.
TEST(MainLayoutArt, EveryImageComesAtBothScales) {
    test::GdiPlusSession gdiplus;
    int checked = 0;
    for (const wchar_t* layout : {L"dlg_main.xml", L"dlg_main_item.xml"}) {
        auto bytes = test::ReadFileBytes(LayoutDir() + layout);
        ASSERT_TRUE(bytes.has_value());
        std::string text = *bytes;
        static const std::regex image("([A-Za-z0-9_]+)\\.png");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), image); it != std::sregex_iterator(); ++it) {
            std::string base = (*it)[1].str();
            std::wstring name(base.begin(), base.end());
            auto one = LoadArt(name + L".png");
            auto two = LoadArt(name + L"@2x.png");
            ASSERT_TRUE(one && two) << base;
            EXPECT_EQ(two->GetWidth(), 2 * one->GetWidth()) << base;
            EXPECT_EQ(two->GetHeight(), 2 * one->GetHeight()) << base;
            ++checked;
        }
    }
    EXPECT_GT(checked, 10);
}

}  // namespace
