#include "ShotSupport.h"

#include <cstdio>

#include "GdiPlus.h"
#include "TestSupport.h"
#include "base/DibSurface.h"
#include "base/Handles.h"
#include "ui/dui/UIManager.h"

namespace winhush::ui::shots {

bool ImageEncoder(const wchar_t* mime, CLSID* clsid) {
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    if (!bytes) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, bytes, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == mime) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SaveScreenPng(RECT rc, const std::wstring& path) {
    RECT screenRect = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!::IntersectRect(&rc, &rc, &screenRect)) return false;
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    WindowDc screen(nullptr);
    // A bitmap in the screen's own format: the PNG holds exactly what the screen shows.
    DibSurface copy;
    if (!copy.CreateCompatible(width, height, screen.get())) return false;
    ::BitBlt(copy.hdc(), 0, 0, width, height, screen.get(), rc.left, rc.top, SRCCOPY);
    HBITMAP bitmap = copy.ReleaseBitmap();
    UniqueHBitmap owned(bitmap);
    CLSID png;
    if (!ImageEncoder(L"image/png", &png)) return false;
    Gdiplus::Bitmap image(bitmap, nullptr);
    return image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

RECT Grow(RECT rc, int by) { return RECT{rc.left - by, rc.top - by, rc.right + by, rc.bottom + by}; }

RECT Union(RECT a, RECT b) {
    RECT out;
    ::UnionRect(&out, &a, &b);
    return out;
}

RECT RectOf(HWND hwnd) {
    RECT rc = {};
    ::GetWindowRect(hwnd, &rc);
    return rc;
}

void HoverAt(HWND window, RECT client) {
    POINT at{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    POINT screen = at;
    ::ClientToScreen(window, &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
}

BOOL CBackdrop::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_PAINT) return FALSE;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    UniqueGdiObject brush(::CreateSolidBrush(RGB(0xE9, 0xEC, 0xF1)));
    ::FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(brush.get()));
    ::EndPaint(hwnd, &ps);
    result = 0;
    return TRUE;
}

namespace {
std::wstring WithSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path.push_back(L'\\');
    return path;
}

}  // namespace

ShotSession::ShotSession() = default;
ShotSession::~ShotSession() = default;

bool ShotSession::Start(int argc, wchar_t** argv, const wchar_t* program) {
    program_ = program;
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: %ls <resource folder> <output folder> [name ...]\n", program);
        return false;
    }
    // An empty or missing folder (a path conversion that failed) must not scatter PNGs over
    // the root of a drive.
    std::wstring folder = argv[1];
    outDir_ = argv[2];
    DWORD attributes = outDir_.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(outDir_.c_str());
    if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fwprintf(stderr, L"%ls: no output folder \"%ls\"\n", program, argv[2]);
        return false;
    }
    resourceFolder_ = WithSlash(folder);
    outDir_ = WithSlash(outDir_);
    for (int i = 3; i < argc; ++i) names_.push_back(argv[i]);

    // Per-monitor aware like the program itself, so that 144 DPI is real pixels.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    gdiplus_ = std::make_unique<test::GdiPlusSession>();
    dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    dui::CPaintManagerUI::SetResourcePath(resourceFolder_.c_str());
    std::fwprintf(stdout, L"%ls: DPI %u\n", program, ::GetDpiForSystem());

    backdrop_.Create(nullptr, RECT{0, 0, kBackdropWidth, kBackdropHeight});
    backdrop_.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(backdrop_);
    return true;
}

int ShotSession::Finish() {
    if (backdrop_.IsWindow()) backdrop_.DestroyWindow();
    gdiplus_.reset();
    return failures_ == 0 ? 0 : 1;
}

void ShotSession::EndAfter(std::chrono::seconds limit) {
    watchdogSeconds_ = static_cast<DWORD>(limit.count());
    ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, this, 0, nullptr));
}

DWORD WINAPI ShotSession::Watchdog(void* param) {
    auto* self = static_cast<ShotSession*>(param);
    ::Sleep(self->watchdogSeconds_ * 1000);
    std::fwprintf(stderr, L"%ls: still running after %lu s, giving up\n", self->program_.c_str(),
                  static_cast<unsigned long>(self->watchdogSeconds_));
    std::fflush(stderr);
    ::ExitProcess(3);
}

bool ShotSession::Wanted(const std::wstring& name) const {
    return names_.empty() || std::find(names_.begin(), names_.end(), name) != names_.end();
}

void ShotSession::Pump(std::chrono::milliseconds duration) { test::PumpFor(duration); }

void ShotSession::Centre(HWND window) const {
    RECT rc = RectOf(window);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    ::SetWindowPos(window, nullptr, (kBackdropWidth - width) / 2, (kBackdropHeight - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ShotSession::Shoot(const std::wstring& name, RECT rc) {
    bool saved = SaveScreenPng(rc, outDir_ + name + L".png");
    std::fwprintf(stdout, L"%ls %ls%ls.png (%ldx%ld)\n", saved ? L"saved" : L"FAILED", outDir_.c_str(), name.c_str(),
                  static_cast<long>(rc.right - rc.left), static_cast<long>(rc.bottom - rc.top));
    std::fflush(stdout);
    if (!saved) ++failures_;
    return saved;
}

void ShotSession::Fail(const wchar_t* what) {
    std::fwprintf(stderr, L"%ls: %ls\n", program_.c_str(), what);
    ++failures_;
}

}  // namespace winhush::ui::shots
