// Photographs the tips and the preview as the program shows them (real classes, real
// placement, a made-up screenshot), so that their look can be checked without Windows.
//
//   dialogs_shots.exe <resource folder> <output folder>
#include <windows.h>
// (Lean Windows headers leave out what GDI+ needs, and GDI+ expects min/max in scope.)
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ShotSupport.h"
#include "ui/dialogs/NotifyTips.h"
#include "ui/dialogs/PreviewDlg.h"

using namespace winhush::ui;

namespace {

void Pump(DWORD milliseconds) {
    DWORD end = ::GetTickCount() + milliseconds;
    MSG msg;
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
}

bool SaveScreen(RECT rc, const std::wstring& path) {
    bool saved = shots::SaveScreenPng(rc, path);
    std::fwprintf(stdout, L"%ls %ls (%ldx%ld)\n", saved ? L"saved" : L"FAILED", path.c_str(), rc.right - rc.left,
                  rc.bottom - rc.top);
    return saved;
}

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

template <class Window>
RECT WithShadow(Window& window) {
    RECT rc = window.GetWindowRect();
    CWndLace& lace = window.GetLace();
    return RECT{rc.left - lace.left, rc.top - lace.top, rc.right + lace.right, rc.bottom + lace.bottom};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: dialogs_shots <resource folder> <output folder>\n");
        return 2;
    }
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    winhush::dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    winhush::dui::CPaintManagerUI::SetResourcePath(argv[1]);
    std::wstring out = argv[2];
    if (out.back() != L'\\') out += L'\\';
    int failures = 0;

    CBlockTipWnd blockTip;
    if (!blockTip.ShowTip()) ++failures;
    Pump(500);
    failures += !SaveScreen(WithShadow(blockTip), out + L"tip-block.png");
    blockTip.DestroyTip();

    CNewWndTipWnd newTip;
    if (!newTip.ShowTip(3)) ++failures;
    Pump(500);
    failures += !SaveScreen(WithShadow(newTip), out + L"tip-new-wnd.png");
    newTip.DestroyTip();

    CPreviewDlg& preview = PreviewWindow();
    if (!preview.CreateHidden()) ++failures;
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    struct Shot {
        const wchar_t* name;
        int width, height;
    } shots[] = {{L"preview-wide", 480, 300}, {L"preview-tall", 300, 420}, {L"preview-small", 200, 140}};
    for (const Shot& shot : shots) {
        std::wstring jpeg = std::wstring(temp) + shot.name + L".jpg";
        if (!WriteFakeScreenshot(jpeg, shot.width, shot.height)) ++failures;
        preview.ShowAt(jpeg, 400, 260);
        Pump(500);
        failures += !SaveScreen(WithShadow(preview), out + shot.name + L".png");
        preview.Hide();
        ::DeleteFileW(jpeg.c_str());
    }
    preview.DestroyPreview();
    Gdiplus::GdiplusShutdown(token);
    return failures;
}
