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

struct BlockRecord {
    WndInfo window;
    uint64_t hash = 0;
    std::wstring name;
    std::wstring imagePath;
    int status = kStatusRecorded;
    uint32_t blockCnt = 0;
    int recordCnt = 0;
    int64_t timeRecord = static_cast<int64_t>(std::time(nullptr));
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
    bool damaged = false;  // unparsable, not an array, or some records had to be dropped
    size_t dropped = 0;
};

// Reads the file at path into records (appending). A missing or damaged file leaves what
// could be read.
LoadResult LoadRecordFile(const std::wstring& path, std::vector<BlockRecord>& records);

// Writes the whole list: into a temporary file beside path, then moved over it in one
// step. With keepDamaged, the existing file is first renamed to a free "<path>.bad" name.
bool SaveRecordFile(const std::wstring& path, const std::vector<BlockRecord>& records, bool keepDamaged);

// The serialised form of the list (used by SaveRecordFile; exposed for measurement).
std::string SerializeRecords(const std::vector<BlockRecord>& records);

// "2024/03/05 09:07" in local time.
std::wstring FormatBlockTime(int64_t time);

// The name shown for a window: the executable's file name.
std::wstring FileNameOf(const std::wstring& path);

}  // namespace winhush::monitor
