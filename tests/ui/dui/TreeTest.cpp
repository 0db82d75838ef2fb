// The control tree: the name table, searches below a parent, visibility inherited from
// containers, and clip regions restored after painting.
#include <gtest/gtest.h>

#include "UiTestSupport.h"

namespace winhush::dui {
namespace {

CControlUI* Attach(CPaintManagerUI& manager, const wchar_t* xml) {
    CDialogBuilder builder;
    CControlUI* root = builder.Create(xml, nullptr, nullptr, &manager);
    if (root) manager.AttachDialog(root);
    return root;
}

TEST(Tree, TheNameTableIsExactAndTheLastDuplicateWins) {
    CPaintManagerUI manager;
    ASSERT_NE(
        Attach(manager,
               L"<Window><VerticalLayout><Label name=\"dup\" text=\"1\"/><Label name=\"dup\" text=\"2\"/>"
               L"<HorizontalLayout name=\"row\"><Button name=\"Btn_X\"/></HorizontalLayout></VerticalLayout></Window>"),
        nullptr);
    EXPECT_EQ(manager.FindControl(L"dup")->GetText(), L"2");
    EXPECT_EQ(manager.FindControl(L"btn_x"), nullptr);
    EXPECT_NE(manager.FindControl(L"Btn_X"), nullptr);
    EXPECT_EQ(manager.FindSubControlByName(manager.FindControl(L"row"), L"btn_x"), manager.FindControl(L"Btn_X"));
    EXPECT_EQ(manager.FindSubControlByClass(nullptr, L"LabelUI", 1)->GetText(), L"2");
    EXPECT_EQ(manager.FindSubControlByClass(nullptr, L"LabelUI", 2), nullptr);
}

TEST(Tree, ReapingForgetsTheControlEverywhere) {
    CPaintManagerUI manager;
    ASSERT_NE(Attach(manager, L"<Window><VerticalLayout><Button name=\"gone\"/></VerticalLayout></Window>"), nullptr);
    CControlUI* gone = manager.FindControl(L"gone");
    auto* parent = static_cast<CContainerUI*>(gone->GetParent());
    ASSERT_NE(parent, nullptr);
    EXPECT_TRUE(parent->Remove(gone));  // no window: deleted at once
    EXPECT_EQ(manager.FindControl(L"gone"), nullptr);
    EXPECT_EQ(parent->GetCount(), 0);
}

TEST(Tree, ReapingTheRootAtWindowDestructionStillLetsTheManagerDeleteTheTree) {
    // Regression: reaping the root used to drop the manager's pointer to it, leaking the
    // whole tree of every closed window.
    bool destroyed = false;
    {
        CPaintManagerUI manager;
        CControlUI* root = Attach(manager, L"<Window><VerticalLayout><Button name=\"b\"/></VerticalLayout></Window>");
        ASSERT_NE(root, nullptr);
        manager.FindControl(L"b")->OnDestroy += [&](void*) {
            destroyed = true;
            return true;
        };
        manager.ReapObjects(manager.GetRoot());
        EXPECT_EQ(manager.GetRoot(), root);
    }
    EXPECT_TRUE(destroyed);
}

TEST(Tree, HidingAContainerHidesItsChildrenWithoutTouchingTheirOwnFlag) {
    CPaintManagerUI manager;
    ASSERT_NE(Attach(manager,
                     L"<Window><VerticalLayout name=\"outer\"><VerticalLayout name=\"inner\">"
                     L"<Button name=\"b\"/><Button name=\"hidden\" "
                     L"visible=\"false\"/></VerticalLayout></VerticalLayout></Window>"),
              nullptr);
    auto* inner = static_cast<CContainerUI*>(manager.FindControl(L"inner"));
    inner->SetVisible(false);
    EXPECT_FALSE(manager.FindControl(L"b")->IsVisible());
    inner->SetVisible(true);
    EXPECT_TRUE(manager.FindControl(L"b")->IsVisible());
    EXPECT_FALSE(manager.FindControl(L"hidden")->IsVisible());
    // A child added to a hidden container starts hidden.
    inner->SetVisible(false);
    auto* late = new CButtonUI;
    inner->Add(late);
    EXPECT_FALSE(late->IsVisible());
    inner->SetVisible(true);
    EXPECT_TRUE(late->IsVisible());
    // Taken out while hidden and put into a shown container, it shows (rows of a list page
    // that was hidden are moved like this).
    inner->SetVisible(false);
    inner->SetAutoDestroy(false);
    ASSERT_TRUE(inner->Remove(late));
    inner->SetAutoDestroy(true);
    auto* outer = static_cast<CContainerUI*>(manager.FindControl(L"outer"));
    ASSERT_TRUE(outer->Add(late));
    EXPECT_TRUE(late->IsVisible());
}

TEST(Tree, OptionGroupsAreKeptPerManagerAndLeftByDeletedOptions) {
    CPaintManagerUI manager;
    ASSERT_NE(Attach(manager,
                     L"<Window><HorizontalLayout name=\"row\"><Option name=\"a\" group=\"tabs\" selected=\"true\"/>"
                     L"<Option name=\"b\" group=\"tabs\"/></HorizontalLayout></Window>"),
              nullptr);
    CDuiPtrArray* group = manager.GetOptionGroup(L"tabs");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetSize(), 2);
    auto* b = static_cast<COptionUI*>(manager.FindControl(L"b"));
    b->Selected(true);
    EXPECT_FALSE(static_cast<COptionUI*>(manager.FindControl(L"a"))->IsSelected());
    static_cast<CContainerUI*>(manager.FindControl(L"row"))->Remove(manager.FindControl(L"a"));
    group = manager.GetOptionGroup(L"tabs");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetSize(), 1);
    b->SetGroup(L"");
    EXPECT_EQ(manager.GetOptionGroup(L"tabs"), nullptr);
}

TEST(RenderClip, RestoresThePreviousClipWhenTheScopeEnds) {
    test::Canvas canvas(40, 40);
    HDC dc = canvas.dc();
    {
        CRenderClip outer;
        CRenderClip::GenerateClip(dc, {0, 0, 20, 20}, outer);
        {
            CRenderClip inner;
            CRenderClip::GenerateClip(dc, {10, 10, 40, 40}, inner);
            CRenderEngine::DrawColor(dc, {0, 0, 40, 40}, 0xFF00FF00);
            CRenderClip::UseOldClipBegin(dc, inner);
            CRenderEngine::DrawColor(dc, {0, 0, 5, 5}, 0xFFFF0000);  // outer clip only
            CRenderClip::UseOldClipEnd(dc, inner);
        }
        CRenderEngine::DrawColor(dc, {0, 30, 40, 40}, 0xFF0000FF);  // outside the outer clip
    }
    CRenderEngine::DrawColor(dc, {35, 0, 40, 5}, 0xFFFFFFFF);  // no clip any more
    EXPECT_EQ(canvas.At(15, 15), 0x00FF00u);
    EXPECT_EQ(canvas.At(5, 15), 0x010203u);
    EXPECT_EQ(canvas.At(25, 25), 0x010203u);
    EXPECT_EQ(canvas.At(2, 2), 0xFF0000u);
    EXPECT_EQ(canvas.At(5, 35), 0x010203u);
    EXPECT_EQ(canvas.At(37, 2), 0xFFFFFFu);
}

}  // namespace
}  // namespace winhush::dui
