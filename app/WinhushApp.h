// The application: single-instance start-up, the UI thread's message loop and the orderly
// shutdown of the worker threads.
#pragma once

#include <windows.h>

namespace winhush {

inline constexpr wchar_t kInstanceMutexName[] = L"zv_winhush";
inline constexpr wchar_t kMainWindowClass[] = L"ZVWINHUSHWND";
inline constexpr wchar_t kMainWindowTitle[] = L"Zelvane-弹窗拦截";

// True when the command line asks for a hidden start (the auto-start task passes "-hide").
bool WantsHiddenStart(const wchar_t* commandLine);

// Enables one privilege on the process token; false when it could not be enabled.
bool EnablePrivilege(const wchar_t* name);

// The whole life of the process; the value wWinMain returns.
int RunWinhush(HINSTANCE instance, const wchar_t* commandLine);

}  // namespace winhush
