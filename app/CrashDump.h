// The process-wide unhandled-exception filter: writes "<exe path>.dmp" and ends the
// process with exit code 0, so a crash never shows the system's error dialog.
#pragma once

#include <windows.h>

namespace winhush {

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers);

// Installs WriteCrashDump for every thread of the process.
void InstallCrashDumpFilter();

}  // namespace winhush
