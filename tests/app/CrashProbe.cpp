// A program that installs the crash-dump filter and then fails, so the tests can check
// what the filter leaves behind.
#include <windows.h>

#include "app/CrashDump.h"

int wmain() {
    winhush::InstallCrashDumpFilter();
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 3;  // not reached: the filter ends the process with 0
}
