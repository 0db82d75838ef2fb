// Layout parsing: attribute values (valid and malformed), <Window> data, fonts,
// per-class defaults, includes and unknown tags.
#include <gtest/gtest.h>

#include "UiTestSupport.h"

namespace winhush::dui {
namespace {

CControlUI* BuildInto(CPaintManagerUI& manager, const std::wstring& xml, IDialogBuilderCallback* callback = nullptr) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(xml.c_str(), nullptr, callback, &manager, nullptr);
    if (root) manager.AttachDialog(root);
    return root;
}

TEST(Builder, ReadsWellFormedAttributeValues) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window><VerticalLayout>"
                                 L"<Button name=\"b\" width=\"120\" height=\"32\" bkcolor=\"#FF112233\" bordercolor=\"0xFF445566\" "
                                 L"padding=\"1,2,3,4\" textpadding=\"5, 6, 7, 8\" tooltip=\"a&lt;n&gt;b\" userdata=\"%d items\" "
                                 L"enabled=\"false\" visible=\"true\" borderround=\"6,6\" font=\"2\"/>"
                                 L"</VerticalLayout></Window>"),
              nullptr);
    auto* button = static_cast<CButtonUI*>(manager.FindControl(L"b"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetFixedWidth(), 120);
    EXPECT_EQ(button->GetFixedHeight(), 32);
    EXPECT_EQ(button->GetBkColor(), 0xFF112233u);
    EXPECT_EQ(button->GetBorderColor(), 0xFF445566u);
    RECT padding = button->GetPadding();
    EXPECT_EQ(padding.left, 1);
    EXPECT_EQ(padding.bottom, 4);
    EXPECT_EQ(button->GetTextPadding().right, 7);
    EXPECT_EQ(button->GetToolTip(), L"a\r\nb");
    EXPECT_EQ(button->GetUserData(), L"%d items");
    EXPECT_FALSE(button->IsEnabled());
    EXPECT_EQ(button->GetBorderRound().cx, 6);
    EXPECT_EQ(button->GetFont(), 2);
    EXPECT_STREQ(button->GetClass(), L"ButtonUI");
    EXPECT_NE(button->GetInterface(L"Button"), nullptr);
    EXPECT_NE(button->GetInterface(L"Label"), nullptr);
    EXPECT_EQ(button->GetInterface(L"Option"), nullptr);
}

TEST(Builder, MalformedValuesLeaveTheDefaults) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window size=\"abc\" caption=\"0,0,x,30\" roundcorner=\"5\" mininfo=\"10,10,10\">"
                                 L"<VerticalLayout name=\"root\" inset=\"1,2,3,4,5\" childpadding=\"wide\">"
                                 L"<Label name=\"l\" width=\"abc\" height=\"-5\" bkcolor=\"#GG0000\" bordercolor=\"#123456789\" "
                                 L"padding=\"1,2,3\" bordersize=\"thick\" font=\"1.5\" textcolor=\"\" minwidth=\"9x\" "
                                 L"borderround=\"-3,4\" pos=\"1,2,3\"/>"
                                 L"</VerticalLayout></Window>"),
              nullptr);
    auto* label = static_cast<CLabelUI*>(manager.FindControl(L"l"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->GetFixedWidth(), 0);
    EXPECT_EQ(label->GetFixedHeight(), 0);
    EXPECT_EQ(label->GetBkColor(), 0u);
    EXPECT_EQ(label->GetBorderColor(), 0u);
    EXPECT_EQ(label->GetPadding().left, 0);
    EXPECT_EQ(label->GetBorderSize(), 0);
    EXPECT_EQ(label->GetFont(), -1);
    EXPECT_EQ(label->GetTextColor(), 0u);
    EXPECT_EQ(label->GetMinWidth(), 0);
    EXPECT_EQ(label->GetBorderRound().cx, 0);
    EXPECT_FALSE(label->IsFloat());
    auto* root = static_cast<CContainerUI*>(manager.FindControl(L"root"));
    EXPECT_EQ(root->GetInset().left, 0);
    EXPECT_EQ(root->GetChildPadding(), 0);
    EXPECT_EQ(manager.GetInitSize().cx, 0);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 0);
    EXPECT_EQ(manager.GetRoundCorner().cx, 0);
    EXPECT_EQ(manager.GetMinInfo().cx, 0);
}

TEST(Builder, ColoursNeedTheirAlphaByte) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window><Control name=\"c\" bkcolor=\"#FF0000\"/></Window>"), nullptr);
    // Six digits parse, but with alpha 0 the colour is "unset" and draws nothing.
    EXPECT_EQ(manager.FindControl(L"c")->GetBkColor(), 0x00FF0000u);
}

TEST(Builder, WindowAttributesConfigureTheManager) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window size=\"400,200\" caption=\"0,0,0,48\" sizebox=\"4,5,6,7\" roundcorner=\"16,16\" "
                                 L"mininfo=\"300,150\" maxinfo=\"800,600\" defaultfontcolor=\"#FF1F2329\" "
                                 L"disabledfontcolor=\"#66646A73\"><Control/></Window>"),
              nullptr);
    EXPECT_EQ(manager.GetInitSize().cx, 400);
    EXPECT_EQ(manager.GetCaptionRect().bottom, 48);
    EXPECT_EQ(manager.GetSizeBox().top, 5);
    EXPECT_EQ(manager.GetSizeBox().bottom, 7);
    EXPECT_EQ(manager.GetRoundCorner().cy, 16);
    EXPECT_EQ(manager.GetMinInfo().cy, 150);
    EXPECT_EQ(manager.GetMaxInfo().cx, 800);
    EXPECT_EQ(manager.GetDefaultFontColor(), 0xFF1F2329u);
    EXPECT_EQ(manager.GetDefaultDisabledColor(), 0x66646A73u);
}

TEST(Builder, FontsAreNumberedInDeclarationOrderAndUnknownIndexesGiveTheDefault) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window><Font name=\"Tahoma\" size=\"12\"/><Font name=\"Tahoma\" size=\"24\" bold=\"true\"/>"
                                 L"<Font name=\"Tahoma\" size=\"16\" default=\"true\"/><Control/></Window>"),
              nullptr);
    EXPECT_EQ(manager.GetCustomFontCount(), 3u);
    EXPECT_EQ(manager.GetFontInfo(1)->iSize, 24);
    EXPECT_TRUE(manager.GetFontInfo(1)->bBold);
    EXPECT_GT(manager.GetFontInfo(1)->tm.tmHeight, manager.GetFontInfo(0)->tm.tmHeight);
    EXPECT_EQ(manager.GetFont(-1), manager.GetDefaultFontInfo()->hFont);
    EXPECT_EQ(manager.GetFont(7), manager.GetDefaultFontInfo()->hFont);
    EXPECT_EQ(manager.GetDefaultFontInfo()->iSize, 16);
    EXPECT_EQ(manager.GetFontIndex(manager.GetFont(2)), 2);
}

TEST(Builder, DefaultAttributesComeBeforeTheElementsOwn) {
    CPaintManagerUI manager;
    ASSERT_NE(BuildInto(manager, L"<Window><Default name=\"Button\" value=\"width=&quot;88&quot; height=&quot;32&quot; textcolor=&quot;#FF010203&quot;\"/>"
                                 L"<VerticalLayout><Button name=\"plain\"/><Button name=\"own\" width=\"40\"/>"
                                 L"<Option name=\"opt\"/></VerticalLayout></Window>"),
              nullptr);
    EXPECT_EQ(manager.FindControl(L"plain")->GetFixedWidth(), 88);
    EXPECT_EQ(static_cast<CButtonUI*>(manager.FindControl(L"plain"))->GetTextColor(), 0xFF010203u);
    EXPECT_EQ(manager.FindControl(L"own")->GetFixedWidth(), 40);
    EXPECT_EQ(manager.FindControl(L"own")->GetFixedHeight(), 32);
    EXPECT_EQ(manager.FindControl(L"opt")->GetFixedWidth(), 0);  // defaults go by exact tag
}

class Factory : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(LPCTSTR className) override {
        asked.push_back(className);
        if (wcscmp(className, L"Gadget") == 0) return new CLabelUI;
        return nullptr;
    }
    std::vector<std::wstring> asked;
};

TEST(Builder, UnknownTagsGoToTheFactoryAndAreSkippedWhenNobodyKnowsThem) {
    CPaintManagerUI manager;
    Factory factory;
    ASSERT_NE(BuildInto(manager, L"<Window><HorizontalLayout name=\"row\">"
                                 L"<Gadget name=\"g\" text=\"made\"/><Mystery name=\"m\"><Button name=\"inner\"/></Mystery>"
                                 L"<Button name=\"after\"/></HorizontalLayout></Window>",
                        &factory),
              nullptr);
    EXPECT_EQ(factory.asked, (std::vector<std::wstring>{L"Gadget", L"Mystery"}));
    ASSERT_NE(manager.FindControl(L"g"), nullptr);
    EXPECT_EQ(manager.FindControl(L"g")->GetText(), L"made");
    EXPECT_EQ(manager.FindControl(L"m"), nullptr);
    EXPECT_EQ(manager.FindControl(L"inner"), nullptr);
    EXPECT_NE(manager.FindControl(L"after"), nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(manager.FindControl(L"row"))->GetCount(), 2);
}

TEST(Builder, MalformedOrMissingLayoutsFailWithoutAControl) {
    CPaintManagerUI manager;
    CDialogBuilder broken;
    EXPECT_EQ(broken.Create(L"<Window><VerticalLayout></Window>", nullptr, nullptr, &manager), nullptr);
    EXPECT_FALSE(broken.IsValid());
    wchar_t message[128] = {};
    broken.GetLastErrorMessage(message, 128);
    EXPECT_NE(message[0], 0);
    CDialogBuilder missing;
    CPaintManagerUI::SetResourcePath(L"C:\\does-not-exist\\");
    EXPECT_EQ(missing.Create(L"nowhere.xml", nullptr, nullptr, &manager), nullptr);
    CDialogBuilder empty;
    EXPECT_EQ(empty.Create(L"", nullptr, nullptr, &manager), nullptr);
    EXPECT_EQ(empty.Create(nullptr, nullptr, nullptr, &manager), nullptr);
    CDialogBuilder noControls;
    EXPECT_EQ(noControls.Create(L"<Window><Font name=\"x\"/></Window>", nullptr, nullptr, &manager), nullptr);
}

TEST(Builder, ReusedMarkupBuildsIndependentCopies) {
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* first = builder.Create(L"<ListContainerElement height=\"30\"><Label name=\"cell\"/></ListContainerElement>",
                                       nullptr, nullptr, &manager);
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(builder.IsValid());
    CControlUI* second = builder.Create(nullptr, &manager, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_STREQ(second->GetClass(), L"ListContainerElementUI");
    EXPECT_EQ(second->GetFixedHeight(), 30);
    EXPECT_NE(manager.FindSubControlByName(second, L"CELL"), nullptr);  // case ignored below a parent
    delete first;
    delete second;
}

}  // namespace
}  // namespace winhush::dui
