#include "app/DllSearch.h"

#include <windows.h>

namespace winhush {

bool RestrictDllSearchToSystem32() {
    // The current directory leaves the search on every system that knows this call.
    ::SetDllDirectoryW(L"");
    // Looked up by name: a Windows 7 without the loader update does not have it.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    return setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace winhush
