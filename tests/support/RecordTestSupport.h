// Records as the tests that watch the window monitor read and make them: the record file
// as it stands on disk, and the decision the rule list or the picker would store for a live
// window of another process.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "monitor/BlockRecord.h"

namespace winhush::test {

// The records of the file at `path`; none when it is missing or unreadable.
std::vector<monitor::BlockRecord> StoredRecords(const std::wstring& path);
std::optional<monitor::BlockRecord> StoredRecordWithHash(const std::wstring& path, uint64_t hash);
std::optional<monitor::BlockRecord> StoredRecordOfClass(const std::wstring& path, const std::wstring& className);

// The record of a decision about the live window `hwnd`, keyed as the monitor keys it (no
// handles, no process id), named after its program's file, added with the picker.
monitor::BlockRecord DecisionFor(HWND hwnd, int status = monitor::kStatusBlock);

}  // namespace winhush::test
