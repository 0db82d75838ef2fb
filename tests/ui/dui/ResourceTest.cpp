// Where layouts and images come from: the instance folder, a resource folder, or a zip
// archive read into memory once.
#include <gtest/gtest.h>
#include <minizip/zip.h>

#include "UiTestSupport.h"
#include "TestSupport.h"
#include "base/Strings.h"

namespace winhush::dui {
namespace {

using winhush::test::ScopedTempDir;

// Writes a zip with the given (stored name, content) entries.
bool WriteZip(const std::wstring& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    zipFile zip = zipOpen64(WideToUtf8(path).c_str(), APPEND_STATUS_CREATE);
    if (!zip) return false;
    bool ok = true;
    for (const auto& [name, content] : entries) {
        zip_fileinfo info = {};
        ok = ok && zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                       Z_DEFAULT_COMPRESSION) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && ok;
}

class Resources : public ::testing::Test {
protected:
    void TearDown() override {
        // Leave no archive behind for the other tests.
        CPaintManagerUI::SetResourceZip(L"");
        CPaintManagerUI::SetResourcePath(L"");
    }
    ScopedTempDir dir_;
};

TEST_F(Resources, InstancePathIsTheModuleFolderWithATrailingBackslash) {
    HINSTANCE saved = CPaintManagerUI::GetInstance();
    CPaintManagerUI::SetInstance(nullptr);
    EXPECT_EQ(CPaintManagerUI::GetInstancePath(), L"");
    CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    wchar_t exe[MAX_PATH];
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring expected(exe);
    expected.erase(expected.find_last_of(L'\\') + 1);
    EXPECT_EQ(CPaintManagerUI::GetInstancePath(), expected);
    CPaintManagerUI::SetInstance(saved);
}

TEST_F(Resources, ResourcePathGetsATrailingBackslash) {
    CPaintManagerUI::SetResourcePath(L"C:\\skins");
    EXPECT_EQ(CPaintManagerUI::GetResourcePath(), L"C:\\skins\\");
    CPaintManagerUI::SetResourcePath(L"C:\\skins\\");
    EXPECT_EQ(CPaintManagerUI::GetResourcePath(), L"C:\\skins\\");
}

TEST_F(Resources, LayoutsComeFromTheResourceFolderWithoutAnArchive) {
    ASSERT_TRUE(winhush::test::WriteFileBytes(dir_ / L"dlg_plain.xml", "<Window><Label name=\"from_folder\"/></Window>"));
    CPaintManagerUI::SetResourcePath(dir_.path().c_str());
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"dlg_plain.xml", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"from_folder");
    delete root;
}

TEST_F(Resources, ArchiveEntriesAreFoundIgnoringAsciiCaseButNotWithBackslashes) {
    ASSERT_TRUE(WriteZip(dir_ / L"skin.ui",
                         {{"dlg_main.xml", "<Window><Label name=\"zipped\" text=\"\xE5\xBC\xB9\xE7\xAA\x97\"/></Window>"},
                          {"sub/inner.xml", "<Window><Button name=\"nested\"/></Window>"},
                          {"frame.xml", "<Window><VerticalLayout name=\"frame\"><Include source=\"Dlg_Main.XML\" count=\"2\"/></VerticalLayout></Window>"}}));
    CPaintManagerUI::SetResourcePath(dir_.path().c_str());
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(L"skin.ui", true));
    // The file may go away: the archive was read into memory.
    ASSERT_TRUE(::DeleteFileW((dir_ / L"skin.ui").c_str()));

    CPaintManagerUI manager;
    CDialogBuilder upper;
    CControlUI* root = upper.Create(L"DLG_MAIN.xml", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetText(), L"\x5F39\x7A97");  // UTF-8 in the layout, UTF-16 in the control
    delete root;

    CDialogBuilder slash, backslash;
    CControlUI* nested = slash.Create(L"sub/inner.xml", nullptr, nullptr, &manager);
    EXPECT_NE(nested, nullptr);
    delete nested;
    EXPECT_EQ(backslash.Create(L"sub\\inner.xml", nullptr, nullptr, &manager), nullptr);

    CDialogBuilder frameBuilder;
    CControlUI* frame = frameBuilder.Create(L"frame.xml", nullptr, nullptr, &manager);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(static_cast<CContainerUI*>(frame)->GetCount(), 2);  // included twice
    delete frame;

    CDialogBuilder missing;
    EXPECT_EQ(missing.Create(L"dlg_absent.xml", nullptr, nullptr, &manager), nullptr);
}

TEST_F(Resources, AnUncachedArchiveIsReadAgainForEveryLookup) {
    ASSERT_TRUE(WriteZip(dir_ / L"live.ui", {{"a.xml", "<Window><Label name=\"first\"/></Window>"}}));
    CPaintManagerUI::SetResourcePath(dir_.path().c_str());
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(L"live.ui", false));
    EXPECT_FALSE(CPaintManagerUI::IsCachedResourceZip());
    ASSERT_TRUE(WriteZip(dir_ / L"live.ui", {{"a.xml", "<Window><Label name=\"second\"/></Window>"}}));
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"a.xml", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), L"second");
    delete root;
}

TEST_F(Resources, AMissingOrBrokenArchiveIsRefused) {
    CPaintManagerUI::SetResourcePath(dir_.path().c_str());
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(L"absent.ui", true));
    ASSERT_TRUE(winhush::test::WriteFileBytes(dir_ / L"text.ui", "this is not a zip archive"));
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(L"text.ui", true));
    std::string garbage(300, '\x50');
    EXPECT_FALSE(CPaintManagerUI::SetResourceZip(garbage.data(), static_cast<unsigned>(garbage.size())));
    // After a refused archive, lookups go to the folder again.
    ASSERT_TRUE(winhush::test::WriteFileBytes(dir_ / L"b.xml", "<Window><Label name=\"folder\"/></Window>"));
    CPaintManagerUI manager;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"b.xml", nullptr, nullptr, &manager);
    ASSERT_NE(root, nullptr);
    delete root;
}

TEST_F(Resources, ImagesFallBackToAPlainPathButLayoutsDoNot) {
    auto red = [](int, int) -> DWORD { return 0xFFFF0000; };
    ASSERT_TRUE(test::WritePng(dir_ / L"outside.png", 4, 4, red));
    ASSERT_TRUE(winhush::test::WriteFileBytes(dir_ / L"outside.xml", "<Window><Label/></Window>"));
    ASSERT_TRUE(WriteZip(dir_ / L"pack.ui", {{"x.xml", "<Window><Label/></Window>"}}));
    CPaintManagerUI::SetResourcePath(dir_.path().c_str());
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(L"pack.ui", true));
    CPaintManagerUI manager;
    std::wstring imagePath = dir_ / L"outside.png";
    const TImageInfo* image = manager.GetImageEx(imagePath.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->nX, 4);
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create((dir_ / L"outside.xml").c_str(), nullptr, nullptr, &manager), nullptr);
}

}  // namespace
}  // namespace winhush::dui
