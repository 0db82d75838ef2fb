// The "forum" entry of the main menu: the product's forum page in the user's browser, and
// Internet Explorer by its full path when no browser is associated with web addresses
// (stripped-down systems where the shell knows no handler for the address).
#pragma once

#include <string>

namespace winhush::ui {

// Where the forum lives; a build setting rather than anything the user changes.
inline constexpr wchar_t kForumPageAddress[] = L"https://bbs.zelvane.com/forum-178-1.html";

// Opens a web address ("scheme://...", never a program, a file or a "file:" address) with
// the shell; when the shell reports that nothing is associated with it, runs
// "<programFilesDir>\Internet Explorer\iexplore.exe" with the address instead, provided
// the folder is absolute. True when one of the two was started. Never shows a message.
bool OpenWebPage(const std::wstring& address, const std::wstring& programFilesDir);

// OpenWebPage with the forum address and the system's Program Files folder.
bool OpenForumPage();

}  // namespace winhush::ui
