// Parsing of attribute values shared by the builder and the controls. Each parser
// answers false on a malformed value so that the caller keeps its default.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winhush::dui::detail {

// "#AARRGGBB", "AARRGGBB" or "0xAARRGGBB" (up to 8 hex digits).
bool ParseColor(const wchar_t* text, DWORD& color);
bool ParseInt(const wchar_t* text, int& value);
// Exactly four comma-separated integers.
bool ParseRect(const wchar_t* text, RECT& rc);
// Exactly two comma-separated integers.
bool ParseSize(const wchar_t* text, SIZE& size);
inline bool ParseBool(const wchar_t* text) { return text && wcscmp(text, L"true") == 0; }
// Splits  a="1" b='2'  into name/value pairs; false on malformed input (pairs before the
// fault are still returned).
bool ParseAttributeList(const wchar_t* text, std::vector<std::pair<std::wstring, std::wstring>>& pairs);
bool EqualsNoCaseAscii(const std::wstring& a, const std::wstring& b);
// Without the blanks (spaces, tabs, line ends) at either end.
std::wstring Trim(const std::wstring& text);

// GDI+ is started once for the process on first use.
void EnsureGdiplus();
void ShutdownGdiplus();

}  // namespace winhush::dui::detail
