// The screenshot preview in a real window: created hidden and disabled, shown at a point
// without resizing or activation, the picture fitted into its area, a screenshot rewritten
// under the same name shown anew, hidden on request.
#include <gtest/gtest.h>

// clang-format off
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <string>
#include <vector>

#include "ForegroundWindow.h"
#include "UiTestSupport.h"
#include "ui/dialogs/PreviewDlg.h"

using namespace winhush::ui;
using namespace winhush::test;
namespace dui = winhush::dui;

namespace {

class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiplusSession() { Gdiplus::GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};

bool JpegEncoder(CLSID* clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/jpeg") {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// A JPEG of one colour, as the monitor writes screenshots.
bool WriteSolidJpeg(const std::wstring& path, int width, int height, COLORREF colour) {
    CLSID jpeg;
    if (!JpegEncoder(&jpeg)) return false;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics graphics(&bitmap);
        graphics.Clear(Gdiplus::Color(255, GetRValue(colour), GetGValue(colour), GetBValue(colour)));
    }
    return bitmap.Save(path.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
}

constexpr COLORREF kRed = RGB(208, 48, 48);
constexpr COLORREF kBlue = RGB(40, 90, 210);
constexpr COLORREF kAreaGrey = RGB(0xF5, 0xF7, 0xFA);  // the preview area's own background

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseProjectUiResources();
        ASSERT_TRUE(preview.CreateHidden());
    }
    void TearDown() override { preview.DestroyPreview(); }

    // Screen point of the preview area at (dx, dy) from its centre.
    POINT AreaPoint(int dx, int dy) {
        dui::CControlUI* area = preview.m_pm.FindControl(L"preview");
        const RECT& pos = area->GetPos();
        POINT pt{(pos.left + pos.right) / 2 + dx, (pos.top + pos.bottom) / 2 + dy};
        ::ClientToScreen(preview, &pt);
        return pt;
    }
    // Waits for the picture to be painted: the area's centre turns the expected colour.
    bool CentreBecomes(COLORREF colour) {
        return WaitUntil(
            [&] {
                dui::CControlUI* area = preview.m_pm.FindControl(L"preview");
                if (!area || area->GetPos().right <= area->GetPos().left) return false;
                return NearColour(ScreenPixel(AreaPoint(0, 0)), colour);
            },
            3000ms);
    }

    GdiplusSession gdiplus;
    ScopedTempDir folder;
    CPreviewDlg preview;
};

TEST_F(PreviewTest, IsCreatedHiddenDisabledAndWithoutTaskbarButton) {
    EXPECT_TRUE(preview.IsWindow());
    EXPECT_FALSE(preview.IsWindowVisible());
    EXPECT_FALSE(preview.IsWindowEnabled()) << "the preview must never take mouse or keyboard input";
    EXPECT_EQ(preview.GetStyle() & (WS_POPUP | WS_CHILD), static_cast<DWORD>(WS_POPUP));
    EXPECT_TRUE(preview.GetExStyle() & WS_EX_TOOLWINDOW);
    EXPECT_EQ(preview.GetOwner(), nullptr);
    EXPECT_EQ(::GetParent(preview), nullptr);
    EXPECT_EQ(preview.LeftLaceMargin(), 12) << "the shadow frame's left margin at 96 DPI";
    // A second create keeps the one window.
    HWND first = preview.m_hWnd;
    EXPECT_TRUE(preview.CreateHidden());
    EXPECT_EQ(preview.m_hWnd, first);
}

TEST_F(PreviewTest, EmptyPathChangesNothing) {
    RECT before = preview.GetWindowRect();
    preview.ShowAt(L"", 300, 200);
    PumpFor(30ms);
    EXPECT_FALSE(preview.IsWindowVisible());
    RECT after = preview.GetWindowRect();
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_TRUE(preview.CurrentImage().empty());
}

TEST_F(PreviewTest, ShowsThePictureAtThePointWithoutResizingOrActivating) {
    std::wstring shot = folder / L"shot one.jpg";
    ASSERT_TRUE(WriteSolidJpeg(shot, 300, 180, kRed));
    ForegroundWindow foreground;
    ASSERT_TRUE(foreground.TakeForeground());
    RECT before = preview.GetWindowRect();

    preview.ShowAt(shot, 300, 200);
    EXPECT_TRUE(preview.IsWindowVisible());
    RECT rc = preview.GetWindowRect();
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.top, 200);
    EXPECT_EQ(rc.right - rc.left, before.right - before.left);
    EXPECT_EQ(rc.bottom - rc.top, before.bottom - before.top);
    EXPECT_TRUE(CentreBecomes(kRed)) << "the screenshot was not drawn";
    EXPECT_EQ(::GetForegroundWindow(), foreground.hwnd()) << "the preview took activation";

    preview.Hide();
    EXPECT_FALSE(preview.IsWindowVisible());
    EXPECT_FALSE(preview.GetLace().IsWindow() && preview.GetLace().IsWindowVisible()) << "the shadow stayed on screen";
}

TEST_F(PreviewTest, AScreenshotRewrittenUnderTheSameNameIsShownAnew) {
    std::wstring shot = folder / L"shot.jpg";
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kRed));
    preview.ShowAt(shot, 200, 150);
    ASSERT_TRUE(CentreBecomes(kRed));
    preview.Hide();

    // The monitor replaces the file after the next block of the same window.
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kBlue));
    preview.ShowAt(shot, 220, 160);
    EXPECT_TRUE(CentreBecomes(kBlue)) << "the preview kept showing the cached first picture";
}

// Regression: every screenshot the preview ever decoded stayed in the image cache until exit.
TEST_F(PreviewTest, KeepsOnlyThePictureOnShowDecoded) {
    std::vector<std::wstring> shots;
    for (int i = 0; i < 12; ++i) {
        shots.push_back(folder / (L"shot" + std::to_wstring(i) + L".jpg"));
        ASSERT_TRUE(WriteSolidJpeg(shots.back(), 320, 200, i % 2 ? kRed : kBlue));
        preview.ShowAt(shots.back(), 200, 150);
        PumpFor(30ms);
    }
    ASSERT_TRUE(CentreBecomes(kRed));
    for (size_t i = 0; i + 1 < shots.size(); ++i)
        EXPECT_EQ(preview.m_pm.GetImage(shots[i].c_str()), nullptr) << "still cached: " << i;
    EXPECT_NE(preview.m_pm.GetImage(shots.back().c_str()), nullptr) << "the picture on show is kept";
    // Shown again, an earlier picture is read afresh and shown.
    preview.ShowAt(shots[0], 200, 150);
    EXPECT_TRUE(CentreBecomes(kBlue));
}

bool GetWriteTime(const std::wstring& path, FILETIME* time) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    *time = data.ftLastWriteTime;
    return true;
}

bool SetWriteTime(const std::wstring& path, const FILETIME& time) {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool set = ::SetFileTime(file, nullptr, nullptr, &time) != FALSE;
    ::CloseHandle(file);
    return set;
}

TEST_F(PreviewTest, WhileShownTheScreenshotIsReadAgainOnlyWhenItsFileChanged) {
    std::wstring shot = folder / L"shot.jpg";
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kRed));
    preview.ShowAt(shot, 200, 150);
    ASSERT_TRUE(CentreBecomes(kRed));
    FILETIME first{};
    ASSERT_TRUE(GetWriteTime(shot, &first));

    // Other content under an unchanged write time stands for "nothing happened to the
    // file": the mouse moving over the same label must not decode it again each time.
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kBlue));
    ASSERT_TRUE(SetWriteTime(shot, first));
    preview.ShowAt(shot, 200, 150);
    PumpFor(200ms);
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(0, 0)), kRed)) << "an unchanged file was read again";

    // A block of the same window rewrites the file while the preview is still up.
    ULARGE_INTEGER later{};
    later.LowPart = first.dwLowDateTime;
    later.HighPart = first.dwHighDateTime;
    later.QuadPart += 10'000'000;  // one second
    ASSERT_TRUE(SetWriteTime(shot, FILETIME{later.LowPart, later.HighPart}));
    preview.ShowAt(shot, 200, 150);
    EXPECT_TRUE(CentreBecomes(kBlue)) << "a rewritten file was not read again while shown";
}

TEST_F(PreviewTest, PictureIsFittedIntoTheAreaWithItsProportionsKept) {
    // Wider than the 320x200 area: scaled down to 320x80, centred, grey above and below.
    std::wstring wide = folder / L"wide.jpg";
    ASSERT_TRUE(WriteSolidJpeg(wide, 800, 200, kRed));
    preview.ShowAt(wide, 200, 150);
    ASSERT_TRUE(CentreBecomes(kRed));
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(150, 30)), kRed, 24)) << "the picture does not reach the sides";
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(0, -60)), kAreaGrey, 4)) << "the picture was stretched upwards";
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(0, 60)), kAreaGrey, 4)) << "the picture was stretched downwards";

    // Smaller than the area: shown at its own size, not blown up.
    std::wstring small = folder / L"small.jpg";
    ASSERT_TRUE(WriteSolidJpeg(small, 100, 60, kBlue));
    preview.ShowAt(small, 200, 150);
    ASSERT_TRUE(CentreBecomes(kBlue));
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(40, 20)), kBlue, 24));
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(70, 0)), kAreaGrey, 4)) << "a small screenshot was enlarged";
    EXPECT_TRUE(NearColour(ScreenPixel(AreaPoint(0, 45)), kAreaGrey, 4)) << "a small screenshot was enlarged";
}

TEST_F(PreviewTest, PathsWithQuotesAndEqualSignsAreShown) {
    // Both are legal in Windows file names and both mean something in an image string.
    std::wstring shot = folder / L"it's a=b.jpg";
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kBlue));
    preview.ShowAt(shot, 200, 150);
    EXPECT_TRUE(CentreBecomes(kBlue));
}

TEST_F(PreviewTest, IsMadeAgainAfterBeingDestroyedWithItsMainWindow) {
    std::wstring shot = folder / L"shot.jpg";
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kRed));
    preview.ShowAt(shot, 200, 150);
    ASSERT_TRUE(CentreBecomes(kRed));
    RECT first = preview.GetWindowRect();
    preview.DestroyPreview();
    EXPECT_FALSE(preview.IsWindow());

    // A new main window makes the program's one preview again.
    ASSERT_TRUE(preview.CreateHidden());
    EXPECT_FALSE(preview.IsWindowEnabled());
    RECT second = preview.GetWindowRect();
    EXPECT_EQ(second.right - second.left, first.right - first.left) << "the layout's size was not applied again";
    EXPECT_EQ(second.bottom - second.top, first.bottom - first.top);
    ASSERT_TRUE(WriteSolidJpeg(shot, 200, 150, kBlue));
    preview.ShowAt(shot, 200, 150);
    EXPECT_TRUE(CentreBecomes(kBlue));
}

// The card beside a count label near the screen's edges: work area (0,0)-(1280,780), a
// 336x216 card with a 12/10/12/14 shadow, the label 80x24.
TEST(PreviewPlacement, StaysOnTheLabelsMonitorWithoutCoveringTheLabel) {
    const RECT work{0, 0, 1280, 780};
    const SIZE card{336, 216};
    const RECT shadow{12, 10, 12, 14};
    auto place = [&](RECT label) {
        POINT wanted{label.right + shadow.left, (label.top + label.bottom) / 2};
        return PreviewPositionBeside(wanted, label, card, shadow, work);
    };
    struct Case {
        const char* what;
        RECT label;
        POINT expected;
    };
    const Case cases[] = {
        {"room on the right: as asked", {400, 200, 480, 224}, {492, 212}},
        {"right edge: left of the label", {1000, 200, 1080, 224}, {1000 - 12 - 336, 212}},
        {"exactly fits on the right", {920, 200, 920 + 0, 224}, {932, 212}},
        {"bottom edge: moved up above it", {400, 600, 480, 624}, {492, 780 - 14 - 216}},
        {"corner: both", {1100, 700, 1180, 724}, {1100 - 12 - 336, 780 - 14 - 216}},
    };
    for (const Case& c : cases) {
        POINT at = place(c.label);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
    // No room on either side (a label wider than the screen allows): the asked place stays.
    POINT at = PreviewPositionBeside({1212, 212}, RECT{200, 200, 1200, 224}, card, shadow, work);
    EXPECT_EQ(at.x, 1212);
    // A work area lower than the card: the top of the work area wins.
    at = PreviewPositionBeside({492, 100}, RECT{400, 88, 480, 112}, card, shadow, RECT{0, 0, 1280, 200});
    EXPECT_EQ(at.y, 10);
}

}  // namespace
