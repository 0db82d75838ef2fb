// The resource cache on its own: fonts by declaration and by lookup, images by name, the
// default attributes, and that every GDI handle it handed out is gone with its entry.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "UiTestSupport.h"

namespace winhush::dui {
namespace {

using winhush::test::ScopedTempDir;

bool IsLive(HGDIOBJ handle) { return handle && ::GetObjectType(handle) != 0; }

TEST(ResourceCache, AFontDeclaredTwiceIsTwoEntriesAndLookupsFindTheFirst) {
    CPaintManagerUI manager;
    CResourceCache cache(manager);
    HFONT first = cache.AddFont(L"Tahoma", 14, true, false, false);
    HFONT second = cache.AddFont(L"Tahoma", 14, true, false, false);
    ASSERT_TRUE(IsLive(first));
    ASSERT_TRUE(IsLive(second));
    EXPECT_NE(first, second);
    EXPECT_EQ(cache.GetCustomFontCount(), 2u);
    EXPECT_EQ(cache.GetFontIndex(first), 0);
    EXPECT_EQ(cache.GetFontIndex(second), 1);
    EXPECT_EQ(cache.GetFont(L"Tahoma", 14, true, false, false), first);

    // An undeclared face/size is made once, shared by later lookups and never numbered.
    HFONT looked = cache.GetFont(L"Tahoma", 30, false, false, true);
    EXPECT_EQ(cache.GetFont(L"Tahoma", 30, false, false, true), looked);
    EXPECT_EQ(cache.GetCustomFontCount(), 2u);
    EXPECT_EQ(cache.GetFontIndex(looked), -1);
    TFontInfo* info = cache.GetFontInfo(looked);
    EXPECT_EQ(info->iSize, 30);
    EXPECT_TRUE(info->bItalic);
    EXPECT_GT(info->tm.tmHeight, cache.GetFontInfo(0)->tm.tmHeight);

    // A declared size of 0 or less is the engine's 12.
    cache.AddFont(L"Tahoma", 0, false, false, false);
    EXPECT_EQ(cache.GetFontInfo(2)->iSize, 12);
}

TEST(ResourceCache, FontHandlesAreFreedWithTheirEntries) {
    CPaintManagerUI manager;
    HFONT declared, looked, defaultFont;
    {
        CResourceCache cache(manager);
        declared = cache.AddFont(L"Tahoma", 12, false, false, false);
        looked = cache.GetFont(L"Tahoma", 20, false, false, false);
        defaultFont = cache.GetDefaultFontInfo()->hFont;
        ASSERT_TRUE(IsLive(defaultFont));
        cache.RemoveAllFonts();
        EXPECT_FALSE(IsLive(declared)) << "a removed font leaked";
        EXPECT_FALSE(IsLive(looked)) << "a removed lookup font leaked";
        EXPECT_EQ(cache.GetCustomFontCount(), 0u);
        EXPECT_EQ(cache.GetFont(0), defaultFont) << "without fonts every index is the default";

        HFONT before = cache.GetDefaultFontInfo()->hFont;
        cache.SetDefaultFont(L"Tahoma", 18, false, true, false);
        defaultFont = cache.GetDefaultFontInfo()->hFont;
        // The old handle is freed before the new one is made, so GDI may hand out its value again.
        if (defaultFont != before) {
            EXPECT_FALSE(IsLive(before)) << "the replaced default font leaked";
        }
        EXPECT_TRUE(cache.GetDefaultFontInfo()->bUnderline);
    }
    EXPECT_FALSE(IsLive(defaultFont)) << "the default font outlived the cache";
}

TEST(ResourceCache, ADpiChangeRebuildsFontsLargerAndFreesTheOldOnes) {
    CPaintManagerUI manager;
    HFONT before = manager.AddFont(L"Tahoma", 12, false, false, false);
    LONG height96 = manager.GetFontInfo(0)->tm.tmHeight;
    manager.SetDPI(144);
    HFONT after = manager.GetFont(0);
    EXPECT_TRUE(IsLive(after));
    if (after != before) {
        EXPECT_FALSE(IsLive(before)) << "the font of the old scale leaked";
    }
    EXPECT_GT(manager.GetFontInfo(0)->tm.tmHeight, height96);
    EXPECT_EQ(manager.GetFontInfo(after), manager.GetFontInfo(0));
}

class ResourceCacheImages : public ::testing::Test {
protected:
    void SetUp() override {
        auto opaque = [](int, int) -> DWORD { return 0xFF2080C0; };
        auto clear = [](int x, int) -> DWORD { return x == 0 ? 0x00000000 : 0xFF00FF00; };
        ASSERT_TRUE(test::WritePng(dir_ / L"solid.png", 3, 2, opaque));
        ASSERT_TRUE(test::WritePng(dir_ / L"solid@2x.png", 6, 4, opaque));
        ASSERT_TRUE(test::WritePng(dir_ / L"holes.png", 2, 2, clear));
        CPaintManagerUI::SetResourcePath(dir_.path().c_str());
        CPaintManagerUI::SetResourceZip(L"");
    }
    void TearDown() override { CPaintManagerUI::SetResourcePath(L""); }

    ScopedTempDir dir_;
    CPaintManagerUI manager_;
};

TEST_F(ResourceCacheImages, AnImageLookedUpAfterRemovalIsGoneUntilLoadedAgain) {
    CResourceCache cache(manager_);
    EXPECT_EQ(cache.GetImage(L"solid.png"), nullptr) << "nothing is loaded by a plain lookup";
    const TImageInfo* image = cache.GetImageEx(L"solid.png", nullptr, 0);
    ASSERT_NE(image, nullptr);
    HBITMAP bitmap = image->hBitmap.get();
    ASSERT_TRUE(IsLive(bitmap));
    EXPECT_EQ(image->nX, 3);
    EXPECT_EQ(image->nScale, 1);
    EXPECT_FALSE(image->alphaChannel);
    EXPECT_EQ(cache.GetImageEx(L"solid.png", nullptr, 0), image) << "the first load is kept";

    EXPECT_TRUE(cache.RemoveImage(L"solid.png"));
    EXPECT_FALSE(IsLive(bitmap)) << "a removed image's bitmap leaked";
    EXPECT_EQ(cache.GetImage(L"solid.png"), nullptr);
    EXPECT_FALSE(cache.RemoveImage(L"solid.png"));
    EXPECT_FALSE(cache.RemoveImage(nullptr));
    const TImageInfo* again = cache.GetImageEx(L"solid.png", nullptr, 0);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(IsLive(again->hBitmap.get()));
}

TEST_F(ResourceCacheImages, AddingAgainReplacesTheEntryAndFreesTheOldBitmap) {
    CResourceCache cache(manager_);
    const TImageInfo* first = cache.AddImage(L"holes.png", nullptr, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->alphaChannel);
    HBITMAP oldBitmap = first->hBitmap.get();
    const TImageInfo* second = cache.AddImage(L"holes.png", nullptr, 0xFF00FF00);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(cache.GetImage(L"holes.png"), second);
    EXPECT_EQ(second->dwMask, 0xFF00FF00u);
    EXPECT_FALSE(IsLive(oldBitmap)) << "the replaced image's bitmap leaked";

    EXPECT_EQ(cache.AddImage(L"missing.png", nullptr, 0), nullptr);
    EXPECT_EQ(cache.AddImage(L"", nullptr, 0), nullptr);
    EXPECT_EQ(cache.GetImage(L"missing.png"), nullptr) << "a failed load leaves no entry";
}

TEST_F(ResourceCacheImages, ImagesFollowTheDpiAndDieWithTheCache) {
    HBITMAP bitmap = nullptr;
    {
        CResourceCache cache(manager_);
        ASSERT_EQ(cache.GetImageEx(L"solid.png", nullptr, 0)->nScale, 1);
        manager_.SetDPI(144);
        cache.OnDpiChanged();
        EXPECT_EQ(cache.GetImage(L"solid.png"), nullptr) << "images of the old scale stay cached";
        const TImageInfo* image = cache.GetImageEx(L"solid.png", nullptr, 0);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->nScale, 2);
        EXPECT_EQ(image->nX, 6);
        bitmap = image->hBitmap.get();
        // No 2x artwork: the 1x one serves.
        EXPECT_EQ(cache.GetImageEx(L"holes.png", nullptr, 0)->nScale, 1);
    }
    EXPECT_FALSE(IsLive(bitmap)) << "an image outlived the cache";
}

TEST(ResourceCache, DefaultAttributesAreKeptPerControlNameAndReplaced) {
    CPaintManagerUI manager;
    CResourceCache cache(manager);
    cache.AddDefaultAttributeList(L"Button", L"height=\"20\"");
    cache.AddDefaultAttributeList(L"Button", L"height=\"30\"");
    cache.AddDefaultAttributeList(L"Label", nullptr);
    cache.AddDefaultAttributeList(nullptr, L"width=\"1\"");
    EXPECT_STREQ(cache.GetDefaultAttributeList(L"Button"), L"height=\"30\"");
    EXPECT_STREQ(cache.GetDefaultAttributeList(L"Label"), L"");
    EXPECT_EQ(cache.GetDefaultAttributeList(L"button"), nullptr) << "control names are case-sensitive";
    EXPECT_EQ(cache.GetDefaultAttributeList(nullptr), nullptr);
    EXPECT_TRUE(cache.RemoveDefaultAttributeList(L"Button"));
    EXPECT_FALSE(cache.RemoveDefaultAttributeList(L"Button"));
    EXPECT_FALSE(cache.RemoveDefaultAttributeList(nullptr));
    cache.RemoveAllDefaultAttributeList();
    EXPECT_EQ(cache.GetDefaultAttributeList(L"Label"), nullptr);
}

// Registration lists hold each entry once; a null post-paint control would crash the next paint.
TEST(ManagerLists, PostPaintControlsAreHeldOnceAndNeverNull) {
    CPaintManagerUI manager;
    CControlUI control;
    EXPECT_FALSE(manager.AddPostPaint(nullptr));
    EXPECT_TRUE(manager.AddPostPaint(&control));
    EXPECT_FALSE(manager.AddPostPaint(&control));
    EXPECT_TRUE(manager.RemovePostPaint(&control));
    EXPECT_FALSE(manager.RemovePostPaint(&control));
}

}  // namespace
}  // namespace winhush::dui
