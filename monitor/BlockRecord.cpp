#include "monitor/BlockRecord.h"

#include <jansson.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "base/Handles.h"
#include "base/Json.h"
#include "base/Strings.h"

namespace winhush::monitor {

bool ByBlocks(const BlockRecord& a, const BlockRecord& b) {
    if (a.blockCnt != b.blockCnt) return a.blockCnt > b.blockCnt;
    return a.timeBlock > b.timeBlock;
}

bool ByRecordTime(const BlockRecord& a, const BlockRecord& b) {
    if (a.timeRecord != b.timeRecord) return a.timeRecord > b.timeRecord;
    return a.recordCnt > b.recordCnt;
}

bool BySortKey(const BlockRecord& a, const BlockRecord& b) { return a.sortKey > b.sortKey; }

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FormatBlockTime(int64_t time) {
    __time64_t value = time;
    struct tm local = {};
    if (_localtime64_s(&local, &value) != 0) return {};
    return FormatW(L"%d%c%02d%c%02d %02d:%02d", local.tm_year + 1900, L'/', local.tm_mon + 1, L'/', local.tm_mday,
                   local.tm_hour, local.tm_min);
}

namespace {

std::optional<std::string> ReadWholeFile(const std::wstring& path, bool& existed) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD openError = ::GetLastError();
    existed = static_cast<bool>(file) || (openError != ERROR_FILE_NOT_FOUND && openError != ERROR_PATH_NOT_FOUND);
    if (!file) return std::nullopt;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 512ll * 1024 * 1024) return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!::ReadFile(file.get(), bytes.data() + done, want, &chunk, nullptr) || chunk == 0) return std::nullopt;
        done += chunk;
    }
    return bytes;
}

bool ParseRecord(json_t* element, BlockRecord& record) {
    json_t* wndInfo = nullptr;
    json_int_t hash = 0, timeRecord = 0, timeBlock = 0;
    const char* name = nullptr;
    const char* imagePath = nullptr;
    int status = 0, blockCnt = 0, recordCnt = 0, addType = 0;
    if (json_unpack(element, "{s:o, s:I, s:s, s:s, s:i, s:I, s:I, s:i, s:i, s?i}", "wndInfo", &wndInfo, "hash", &hash,
                    "name", &name, "imagePath", &imagePath, "status", &status, "timeRecord", &timeRecord,
                    "timeBlock", &timeBlock, "blockCnt", &blockCnt, "recordCnt", &recordCnt, "addType",
                    &addType) != 0)
        return false;
    const char* path = nullptr;
    const char* caption = nullptr;
    const char* className = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0, style = 0, pos = 0;
    if (json_unpack(wndInfo, "{s:s, s:s, s:s, s:i, s:i, s:i, s:i, s:i, s:i}", "path", &path, "caption", &caption,
                    "class", &className, "rect.left", &left, "rect.top", &top, "rect.right", &right, "rect.bottom",
                    &bottom, "style", &style, "pos", &pos) != 0)
        return false;
    record.window.path = Utf8ToWide(path);
    record.window.caption = Utf8ToWide(caption);
    record.window.className = Utf8ToWide(className);
    record.window.rect = {left, top, right, bottom};
    record.window.style = static_cast<DWORD>(style);
    record.window.pos = pos;
    record.hash = static_cast<uint64_t>(hash);
    record.name = Utf8ToWide(name);
    record.imagePath = Utf8ToWide(imagePath);
    record.status = status;
    record.timeRecord = timeRecord;
    record.timeBlock = timeBlock;
    record.blockCnt = static_cast<uint32_t>(blockCnt);
    record.recordCnt = recordCnt;
    record.addType = addType;
    return true;
}

json_t* PackRecord(const BlockRecord& record) {
    const WndInfo& w = record.window;
    json_t* wndInfo = json_pack("{s:s, s:s, s:s, s:i, s:i, s:i, s:i, s:i, s:i}", "path", WideToUtf8(w.path).c_str(),
                                "caption", WideToUtf8(w.caption).c_str(), "class", WideToUtf8(w.className).c_str(),
                                "rect.left", static_cast<int>(w.rect.left), "rect.top", static_cast<int>(w.rect.top),
                                "rect.right", static_cast<int>(w.rect.right), "rect.bottom",
                                static_cast<int>(w.rect.bottom), "style", static_cast<int>(static_cast<int32_t>(w.style)),
                                "pos", w.pos);
    if (!wndInfo) return nullptr;
    // "o" hands wndInfo's reference to the new object, even when packing fails.
    return json_pack("{s:o, s:I, s:s, s:s, s:i, s:I, s:I, s:i, s:i, s:i}", "wndInfo", wndInfo, "hash",
                     static_cast<json_int_t>(static_cast<int64_t>(record.hash)), "name",
                     WideToUtf8(record.name).c_str(), "imagePath", WideToUtf8(record.imagePath).c_str(), "status",
                     record.status, "timeRecord", static_cast<json_int_t>(record.timeRecord), "timeBlock",
                     static_cast<json_int_t>(record.timeBlock), "blockCnt", static_cast<int>(record.blockCnt),
                     "recordCnt", record.recordCnt, "addType", record.addType);
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = 0;
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!::WriteFile(file.get(), bytes.data() + done, want, &chunk, nullptr) || chunk == 0) return false;
        done += chunk;
    }
    return ::FlushFileBuffers(file.get()) != 0;
}

bool KeepDamagedFile(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;  // nothing left to keep
    std::wstring target = path + L".bad";
    for (int i = 1; i < 100 && ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        target = path + L".bad" + std::to_wstring(i);
    return ::MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace

LoadResult LoadRecordFile(const std::wstring& path, std::vector<BlockRecord>& records) {
    LoadResult result;
    if (path.empty()) return result;
    std::optional<std::string> bytes = ReadWholeFile(path, result.fileExisted);
    if (!bytes) {
        result.damaged = result.fileExisted;  // there but unreadable: never overwrite blindly
        return result;
    }
    if (bytes->find_first_not_of(" \t\r\n") == std::string::npos) return result;  // empty: no records to lose
    json_error_t error;
    UniqueJson root(json_loadb(bytes->data(), bytes->size(), 0, &error));
    if (!root || !json_is_array(root.get())) {
        result.damaged = true;
        return result;
    }
    size_t index;
    json_t* element;
    json_array_foreach(root.get(), index, element) {
        BlockRecord record;
        if (ParseRecord(element, record)) {
            records.push_back(std::move(record));
        } else {
            ++result.dropped;
        }
    }
    result.damaged = result.dropped != 0;
    return result;
}

std::string SerializeRecords(const std::vector<BlockRecord>& records) {
    UniqueJson array(json_array());
    if (!array) return {};
    for (const BlockRecord& record : records) {
        if (json_t* object = PackRecord(record)) json_array_append_new(array.get(), object);
    }
    char* text = json_dumps(array.get(), 0);
    if (!text) return {};
    std::string result(text);
    free(text);
    return result;
}

bool SaveRecordFile(const std::wstring& path, const std::vector<BlockRecord>& records, bool keepDamaged) {
    if (path.empty()) return false;
    std::string text = SerializeRecords(records);
    if (text.empty()) return false;
    // Same folder as the target so the final move is a rename, never a copy.
    std::wstring temporary = path + L".tmp";
    if (!WriteWholeFile(temporary, text)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    if (keepDamaged && !KeepDamagedFile(path)) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    // A file that someone else has open (a viewer, a virus scanner) cannot be replaced for
    // that moment; such readers let go within milliseconds.
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DWORD error = ::GetLastError();
        if (attempt >= 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) break;
        ::Sleep(5);
    }
    ::DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace winhush::monitor
