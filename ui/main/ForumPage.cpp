#include "ui/main/ForumPage.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

namespace winhush::ui {

namespace {

bool Started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

bool OpenWebPage(const std::wstring& address, const std::wstring& programFilesDir) {
    // A stale last error from earlier calls must not send a successful open to the fallback
    // as well (two browser windows): the shell's own result decides first.
    ::SetLastError(ERROR_SUCCESS);
    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (Started(result)) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_ASSOCIATION && reinterpret_cast<INT_PTR>(result) != SE_ERR_NOASSOC) return false;

    std::wstring browser = L"\"" + programFilesDir + L"\\Internet Explorer\\iexplore.exe\"";
    result = ::ShellExecuteW(nullptr, L"open", browser.c_str(), address.c_str(), nullptr, SW_SHOWNORMAL);
    return Started(result);
}

bool OpenForumPage() {
    wchar_t programFiles[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE)) programFiles[0] = L'\0';
    return OpenWebPage(kForumPageAddress, programFiles);
}

}  // namespace winhush::ui
