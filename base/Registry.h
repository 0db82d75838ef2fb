// Careful registry reads: a value of the wrong type, an unterminated string or one longer
// than the caller allows is "missing", never a partial or unterminated result.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace winhush {

// A REG_SZ or REG_EXPAND_SZ value of at most maxChars characters (terminator included),
// NUL-terminated within its data, cut at its first NUL. Expand strings are not expanded.
std::optional<std::wstring> ReadRegistryString(HKEY key, const wchar_t* valueName, size_t maxChars);

// A REG_DWORD value.
std::optional<DWORD> ReadRegistryDword(HKEY key, const wchar_t* valueName);

}  // namespace winhush
