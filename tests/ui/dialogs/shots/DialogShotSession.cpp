#include "DialogShotSession.h"

// (Lean Windows headers leave out what GDI+ needs, and GDI+ expects min/max in scope.)
// clang-format off
#include <objidl.h>
#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
// clang-format on

#include <cstdio>

#include "TestSupport.h"
#include "monitor/WndMgr.h"
#include "rules/AutoCheck.h"
#include "settings/SettingsStore.h"

namespace winhush::ui::shots {

namespace {
constexpr int kBackdropWidth = 1280, kBackdropHeight = 780;

DWORD WINAPI Watchdog(void* program) {
    ::Sleep(120000);
    std::fwprintf(stderr, L"%ls: still running after 120 s, giving up\n", static_cast<const wchar_t*>(program));
    std::fflush(stderr);
    ::ExitProcess(3);
}

void SetSetting(const wchar_t* name, DWORD value) {
    auto key = settings::OpenSettingsKey(true);
    if (key) settings::WriteDword(key.get(), name, value);
}

std::wstring WithSlash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\') path.push_back(L'\\');
    return path;
}
}  // namespace

bool DialogShotSession::Start(int argc, wchar_t** argv, const wchar_t* program) {
    program_ = program;
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: %ls <resource folder> <output folder> [shot ...]\n", program);
        return false;
    }
    std::wstring folder = argv[1];
    outDir_ = argv[2];
    DWORD attributes = outDir_.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(outDir_.c_str());
    if (folder.empty() || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fwprintf(stderr, L"%ls: no output folder \"%ls\"\n", program, argv[2]);
        return false;
    }
    folder = WithSlash(folder);
    outDir_ = WithSlash(outDir_);
    for (int i = 3; i < argc; ++i) wanted_.insert(argv[i]);

    // Per-monitor aware like the program itself, so that 144 DPI is real pixels.
    ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, const_cast<wchar_t*>(program_.c_str()), 0, nullptr));
    ::OleInitialize(nullptr);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    Gdiplus::GdiplusStartup(&gdiplusToken_, &gdiplusInput, nullptr);
    dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    dui::CPaintManagerUI::SetResourcePath(folder.c_str());
    Module().Init(::GetModuleHandleW(nullptr));
    Module().AddMessageLoop(&loop_);

    // Normal phase, blocking on, nothing that pops up by itself.
    SetSetting(settings::kBlock, 1);
    SetSetting(settings::kScanSoftware, 0);
    SetSetting(settings::kAutoCheck, 0);
    SetSetting(settings::kIconTip, 0);
    SetSetting(settings::kHideTray, 0);
    SetSetting(settings::kIsLocateShortcut, 0);
    SetSetting(settings::kIsMainShortcut, 0);

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    dataDir_ = std::wstring(temp) + program + L"-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(dataDir_.c_str(), nullptr);
    monitor::WndMgr().InitWithDataDirectory(dataDir_, true);

    backdrop_.Create(nullptr, RECT{0, 0, kBackdropWidth, kBackdropHeight});
    backdrop_.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(backdrop_);

    main_ = new CMainDlg();
    if (!main_->CreateMainWindow()) {
        std::fwprintf(stderr, L"%ls: the main window cannot be created\n", program);
        delete main_;
        main_ = nullptr;
        return false;
    }
    main_->DeleteWhenGone();
    RECT rc = main_->GetWindowRect();
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    ::SetWindowPos(main_->m_hWnd, nullptr, (kBackdropWidth - width) / 2, (kBackdropHeight - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    main_->ShowWindow(SW_SHOW);
    // The main window starts the automatic check; the shots set its result themselves.
    test::WaitUntil([] { return rules::AutoCheck().done.load() != 0; }, std::chrono::seconds(20));
    Pump(std::chrono::milliseconds(600));
    std::fwprintf(stdout, L"%ls: DPI %u\n", program, ::GetDpiForSystem());
    return true;
}

int DialogShotSession::Finish() {
    if (main_ && main_->IsWindow()) main_->DestroyWindow();  // frees itself
    main_ = nullptr;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    rules::StopAutoCheck();
    monitor::WndMgr().Stop();
    Module().RemoveMessageLoop();
    Gdiplus::GdiplusShutdown(gdiplusToken_);
    return failures_;
}

void DialogShotSession::Pump(std::chrono::milliseconds duration) { test::PumpFor(duration); }

void DialogShotSession::Shoot(const std::wstring& name, RECT rc) {
    bool saved = SaveScreenPng(rc, outDir_ + name + L".png");
    std::fwprintf(stdout, L"%ls %ls%ls.png (%ldx%ld)\n", saved ? L"saved" : L"FAILED", outDir_.c_str(), name.c_str(),
                  static_cast<long>(rc.right - rc.left), static_cast<long>(rc.bottom - rc.top));
    std::fflush(stdout);
    if (!saved) ++failures_;
}

void DialogShotSession::Fail(const wchar_t* what) {
    std::fwprintf(stderr, L"%ls: %ls\n", program_.c_str(), what);
    ++failures_;
}

RECT DialogShotSession::MainArea(int grow) const {
    RECT rc = main_ ? main_->GetWindowRect() : RECT{};
    return RECT{rc.left - grow, rc.top - grow, rc.right + grow, rc.bottom + grow};
}

}  // namespace winhush::ui::shots
