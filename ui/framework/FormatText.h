// Numbers put into the wording of a layout. Format texts come from the UI archive (a label's
// user data), so they are data, not code: only integer conversions are filled in, from the
// values actually passed, and everything else is copied as written. A text can never make the
// program read an argument that is not there.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

namespace winhush::ui {

// Puts `values` in order in place of the "%d" conversions of `format` ("%u" and "%i" too,
// with an optional zero flag and a width, as in "%03d"); "%%" is a percent sign. A
// conversion left over once the values are used up, an unknown one ("%s", "%x") and a
// trailing "%" stay as written.
std::wstring FormatLayoutText(const std::wstring& format, std::initializer_list<long long> values);

// The block counter's digits: `digits` characters, zero-padded, or the tail of nines and a
// plus when the value needs more digits than there are; empty without digits.
std::wstring FormatCounterText(DWORD count, int digits);

// A list row's count: the layout's format with the count, or "999+" from 1000 on.
std::wstring FormatRowCount(const std::wstring& format, uint32_t count);

}  // namespace winhush::ui
