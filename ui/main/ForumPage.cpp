#include "ui/main/ForumPage.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

namespace winhush::ui {

namespace {

bool Started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "scheme://..." with a scheme of letters, digits, '+', '-' or '.', and not "file": the
// shell then hands the text to the scheme's handler and never runs it as a program.
bool IsWebAddress(const std::wstring& address) {
    size_t colon = address.find(L':');
    if (colon == std::wstring::npos || colon < 2 || address.compare(colon, 3, L"://") != 0) return false;
    if (!IsAsciiLetter(address[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        wchar_t c = address[i];
        if (!IsAsciiLetter(c) && !(c >= L'0' && c <= L'9') && c != L'+' && c != L'-' && c != L'.') return false;
    }
    if (::_wcsnicmp(address.c_str(), L"file", colon) == 0 && colon == 4) return false;
    // A quote or control character would let the text break out of the handler's command line.
    for (wchar_t c : address) {
        if (c < 0x20 || c == L'"') return false;
    }
    return true;
}

// "X:\..." : a folder the shell gave us, never one relative to the current drive or folder.
bool IsAbsoluteFolder(const std::wstring& folder) {
    return folder.size() >= 3 && IsAsciiLetter(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
}

}  // namespace

bool OpenWebPage(const std::wstring& address, const std::wstring& programFilesDir) {
    // An elevated process: whatever it is asked to open must not be a program or a file.
    if (!IsWebAddress(address)) return false;
    // A stale last error from earlier calls must not send a successful open to the fallback
    // as well (two browser windows): the shell's own result decides first.
    ::SetLastError(ERROR_SUCCESS);
    HINSTANCE result = ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (Started(result)) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_NO_ASSOCIATION && reinterpret_cast<INT_PTR>(result) != SE_ERR_NOASSOC) return false;
    // Without the system's folder, "\Internet Explorer\iexplore.exe" would be looked for on
    // the current drive, where anyone may have put a program of that name.
    if (!IsAbsoluteFolder(programFilesDir)) return false;

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
