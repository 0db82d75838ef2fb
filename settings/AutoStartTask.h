// The scheduled task that starts the program hidden ("-hide") at the user's logon, kept in
// line with the "AutoRun" setting. Windows up to 5.2 get a Task Scheduler 1.0 work item,
// later versions a 2.0 task with the highest run level; the presence query always goes
// through 1.0, which later versions still answer for tasks of the root folder.
//
// COM must be initialised on the calling thread. Every failure is only a false result: the
// next start tries again through the synchronisation.
#pragma once

#include <windows.h>

#include "settings/Hotkeys.h"

namespace winhush::settings {

inline constexpr const wchar_t* kAutoStartTaskName = kProductTaskName;
inline constexpr wchar_t kAutoStartArguments[] = L"-hide";

// Windows 5.2 or older (GetVersionExW; a failed call counts as not old).
bool IsOldSystem();

// Whether a task of our name exists; any failure counts as absent.
bool IsAutoStartTaskPresent();

// Creates (true) or deletes (false) the task with the variant the system calls for.
bool ApplyAutoStartTask(bool enable);
// The two variants. 1.0 leaves an existing task as it is; 2.0 always registers anew, so a
// program that moved gets a task pointing at its new place.
bool ApplyAutoStartTaskV1(bool enable);
bool ApplyAutoStartTaskV2(bool enable);

// Brings the task in line with "AutoRun": a missing or mistyped value counts as 1 (written
// back when the key is writable) and creates the task; otherwise the task is created or
// deleted only when its presence differs. Returns whether auto-start is wanted.
bool SyncAutoStartTask(HKEY settingsKey);

}  // namespace winhush::settings
