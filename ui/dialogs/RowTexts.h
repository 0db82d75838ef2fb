// Texts that the lists of blocked windows build from records and layout formats: the main
// window's list, the record dialog and the rule list show them alike.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace winhush::ui {

// Puts integers in place of the "%d" conversions of a format text from a layout (see the
// definition for what is accepted); anything else is copied as written.
std::wstring FormatInts(const std::wstring& format, std::initializer_list<long long> values);
// A row's count: the layout's format with the count, or "999+" from 1000 on.
std::wstring FormatRowCount(const std::wstring& format, uint32_t blockCnt);
// The screen corner of a window as the list names it.
const wchar_t* PositionText(int positionClass);

}  // namespace winhush::ui
