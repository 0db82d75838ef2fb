// One known window and the user's decision for it, and the JSON record file that mirrors
// the whole list ("WndMgrInfo.log" in the data directory). The file is read once at
// start-up and rewritten whole after every change; users' block decisions live only here,
// so a write never destroys the previous file before the new one is complete, and a file
// we cannot read is kept aside instead of being overwritten.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "monitor/WndInfo.h"

namespace winhush::monitor {

enum RecordStatus : int { kStatusRecorded = 0, kStatusBlock = 1, kStatusAllowed = 2 };
enum AddType : int { kAddedByMonitor = 0, kAddedFromRuleList = 1, kAddedFromRecordDialog = 2, kAddedByPicker = 3 };

// Seconds since 1970-01-01 UTC, what std::time gives, without the C library's time-zone
// work on every call (a list of 10,000 records makes as many).
int64_t CurrentUnixTime();

struct BlockRecord {
    WndInfo window;
    uint64_t hash = 0;
    std::wstring name;
    std::wstring imagePath;
    int status = kStatusRecorded;
    uint32_t blockCnt = 0;
    int recordCnt = 0;
    int64_t timeRecord = CurrentUnixTime();
    int64_t timeBlock = timeRecord;
    int sortKey = 0;  // filled by the rule list; never stored
    int addType = kAddedByMonitor;
};

// Orderings used by the lists: "is a before b".
bool ByBlocks(const BlockRecord& a, const BlockRecord& b);      // blockCnt desc, timeBlock desc
bool ByRecordTime(const BlockRecord& a, const BlockRecord& b);  // timeRecord desc, recordCnt desc
bool BySortKey(const BlockRecord& a, const BlockRecord& b);     // sortKey desc

// What a load found, so the first save knows whether the old file must be kept.
struct LoadResult {
    bool fileExisted = false;
    // Mended, cut short, not an array, or some records dropped: the original is kept aside
    // before the first save replaces it.
    bool damaged = false;
    // There but not readable (held by another program, too large): it must be neither kept
    // aside nor replaced, the user's records are still in it.
    bool unreadable = false;
    size_t dropped = 0;
};

// Reads the file at path into records (appending): every record that can be read, mending
// what hand editing and other tools leave (a byte-order mark, text that is not UTF-8, NUL
// or lone surrogate escapes, an unsigned hash, a cut or garbage after the records). A file
// held by another program is tried again for up to retryMs.
LoadResult LoadRecordFile(const std::wstring& path, std::vector<BlockRecord>& records, DWORD retryMs = 0);

// For a list that started without its file because the file could not be read: reads it
// again and puts its records back in front of the list's (a record of this run that only
// recorded a window gives way to the file's decision for it). False, list untouched, while
// the file still cannot be read.
bool RestoreUnreadRecords(const std::wstring& path, std::vector<BlockRecord>& records, bool& damaged);

// Writes the whole list: into a temporary file beside path, then moved over it in one
// step (a read-only attribute is cleared). With keepDamaged, the existing file is first
// renamed to a free "<path>.bad", "<path>.bad1"... name; the oldest of more than ten kept
// copies are removed.
bool SaveRecordFile(const std::wstring& path, const std::vector<BlockRecord>& records, bool keepDamaged);

// The serialised form of the list (used by SaveRecordFile; exposed for measurement).
std::string SerializeRecords(const std::vector<BlockRecord>& records);

// "2024/03/05 09:07" in local time.
std::wstring FormatBlockTime(int64_t time);

// The name shown for a window: the executable's file name.
std::wstring FileNameOf(const std::wstring& path);

}  // namespace winhush::monitor
