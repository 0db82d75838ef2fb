// Photographs the tips and the preview as the program shows them (real classes, real
// placement, a made-up screenshot), so that their look can be checked without Windows.
// scripts/shots leaves it out: main_shots photographs the same tips over the running
// main window under the same names.
//
//   dialogs_shots.exe <resource folder> <output folder>
#include <windows.h>

#include <string>

#include "GdiPlus.h"
#include "ShotSupport.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/dialogs/PreviewDlg.h"

using namespace winhush::ui;
using namespace std::chrono_literals;

namespace {

// Something that looks like a blocked advertising pop-up: a title strip, a picture, a button.
bool WriteFakeScreenshot(const std::wstring& path, int width, int height) {
    CLSID jpeg;
    if (!shots::ImageEncoder(L"image/jpeg", &jpeg)) return false;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    {
        Gdiplus::Graphics g(&bitmap);
        g.Clear(Gdiplus::Color(255, 255, 255, 255));
        Gdiplus::SolidBrush title(Gdiplus::Color(255, 230, 80, 60));
        g.FillRectangle(&title, 0, 0, width, 36);
        Gdiplus::LinearGradientBrush picture(Gdiplus::Point(0, 36), Gdiplus::Point(width, height),
                                             Gdiplus::Color(255, 255, 196, 64), Gdiplus::Color(255, 240, 96, 120));
        g.FillRectangle(&picture, 16, 52, width - 32, height - 120);
        Gdiplus::SolidBrush button(Gdiplus::Color(255, 230, 80, 60));
        g.FillRectangle(&button, width / 2 - 70, height - 52, 140, 36);
    }
    return bitmap.Save(path.c_str(), &jpeg, nullptr) == Gdiplus::Ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    shots::ShotSession session;
    if (!session.Start(argc, argv, L"dialogs_shots")) return 2;

    CBlockTipWnd blockTip;
    if (!blockTip.ShowTip()) session.Fail(L"the block tip cannot be shown");
    session.Pump(500ms);
    session.Shoot(L"tip-block", shots::WithLace(blockTip));
    blockTip.DestroyTip();

    CNewWndTipWnd newTip;
    if (!newTip.ShowTip(3)) session.Fail(L"the new pop-ups tip cannot be shown");
    session.Pump(500ms);
    session.Shoot(L"tip-new-wnd", shots::WithLace(newTip));
    newTip.DestroyTip();

    CPreviewDlg& preview = PreviewWindow();
    if (!preview.CreateHidden()) session.Fail(L"the preview cannot be created");
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    struct Shot {
        const wchar_t* name;
        int width, height;
    } previews[] = {{L"preview-wide", 480, 300}, {L"preview-tall", 300, 420}, {L"preview-small", 200, 140}};
    for (const Shot& shot : previews) {
        std::wstring jpeg = std::wstring(temp) + shot.name + L".jpg";
        if (!WriteFakeScreenshot(jpeg, shot.width, shot.height)) session.Fail(L"no stand-in screenshot");
        preview.ShowAt(jpeg, 400, 260);
        session.Pump(500ms);
        session.Shoot(shot.name, shots::WithLace(preview));
        preview.Hide();
        ::DeleteFileW(jpeg.c_str());
    }
    preview.DestroyPreview();
    return session.Finish();
}
