// The program runs elevated, started from a folder the user (or anyone who can write to the
// suite's folder or the current directory) may have filled: a DLL of a known name dropped
// there would run with administrator rights the first time it is loaded. From the start on,
// DLLs loaded at run time come from System32 only.
#pragma once

namespace winhush {

// True when the search was restricted (Windows 7 with the loader update, and later).
bool RestrictDllSearchToSystem32();

}  // namespace winhush
