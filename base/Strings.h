// Text helpers: the program is UTF-16 inside, UTF-8 at the JSON boundary.
#pragma once

#include <string>
#include <string_view>

namespace winhush {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Appends a backslash unless the text already ends with one (an empty text stays empty).
void AppendBackslash(std::wstring& path);

// Upper-cases ASCII letters only, as _wcsupr_s does in the C locale. This is the mapping
// window identities are defined with: every producer of a record's path (snapshots, rules,
// the picker, other tools writing records) must agree on it, so é, Ä or Cyrillic letters
// stay as they are rather than following the system's language tables.
std::wstring ToUpper(std::wstring_view text);

// printf-style formatting into a wide string.
std::wstring FormatW(const wchar_t* format, ...);

}  // namespace winhush
