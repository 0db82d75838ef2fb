#include <gtest/gtest.h>

#include "TestSupport.h"
#include "UiTestSupport.h"

namespace winhush::test {

namespace {
std::wstring Widen(const char* text) {
    std::wstring out;
    for (const char* p = text; *p; ++p) out.push_back(static_cast<unsigned char>(*p));
    return out;
}

void CopyMatching(const std::wstring& fromDir, const std::wstring& pattern, const std::wstring& toDir) {
    WIN32_FIND_DATAW found = {};
    HANDLE find = ::FindFirstFileW((fromDir + pattern).c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << "no " << std::string(pattern.begin(), pattern.end()) << " in the build";
    do {
        ::CopyFileW((fromDir + found.cFileName).c_str(), (toDir + found.cFileName).c_str(), FALSE);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
}
}  // namespace

void UseProjectUiResources() {
    static ScopedTempDir* folder = nullptr;
    if (folder) return;
    folder = new ScopedTempDir();  // kept to the end of the program: the engine reads lazily
    std::wstring layouts = HostPathToWindows(Widen(WINHUSH_UI_SOURCE_DIR)) + L"\\";
    std::wstring art = HostPathToWindows(Widen(WINHUSH_UI_ART_DIR)) + L"\\";
    CopyMatching(layouts, L"*.xml", folder->path());
    CopyMatching(art, L"*.png", folder->path());
    dui::CPaintManagerUI::SetInstance(::GetModuleHandleW(nullptr));
    dui::CPaintManagerUI::SetResourcePath(folder->path().c_str());
}

void UseLayoutFolder(const std::wstring& hostPath) {
    std::wstring dir = HostPathToWindows(hostPath);
    dui::CPaintManagerUI::SetResourcePath(dir.c_str());
}

void ClickAt(HWND hwnd, POINT client) {
    LPARAM at = MAKELPARAM(client.x, client.y);
    ::PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
    PumpFor(std::chrono::milliseconds(30));
}

LRESULT HitTestAt(HWND hwnd, POINT client) {
    POINT screen = client;
    ::ClientToScreen(hwnd, &screen);
    return ::SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
}

void ShowAndPaint(HWND hwnd, int command) {
    ::ShowWindow(hwnd, command);
    ::UpdateWindow(hwnd);
    PumpFor(std::chrono::milliseconds(30));
}

}  // namespace winhush::test
