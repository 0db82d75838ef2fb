#include "app/CrashDump.h"

#include <dbghelp.h>

#include <string>

#include "settings/Paths.h"
#include "base/Handles.h"

namespace winhush {

LONG WINAPI WriteCrashDump(EXCEPTION_POINTERS* exceptionPointers) {
    std::wstring dumpPath = GetExecutablePath();
    if (!dumpPath.empty()) {
        dumpPath += L".dmp";
        UniqueFile file(::CreateFileW(dumpPath.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            MINIDUMP_EXCEPTION_INFORMATION info = {};
            info.ThreadId = ::GetCurrentThreadId();
            info.ExceptionPointers = exceptionPointers;
            info.ClientPointers = FALSE;
            ::MiniDumpWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), file.get(), MiniDumpNormal, &info,
                                nullptr, nullptr);
        }
    }
    ::ExitProcess(0);
}

void InstallCrashDumpFilter() { ::SetUnhandledExceptionFilter(WriteCrashDump); }

}  // namespace winhush
