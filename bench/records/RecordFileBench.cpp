// Saving and loading the record file with 10,000 records, each against what the same bytes
// cost without us in the same run: a bare write, flush and rename of the text, and a bare
// read with a single json_loadb. Prints one line per number.
#include <windows.h>

#include <jansson.h>

#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "TestSupport.h"
#include "base/Strings.h"
#include "monitor/BlockRecord.h"

namespace t = winhush::test;
using namespace winhush::monitor;
using Clock = std::chrono::steady_clock;

namespace {

using t::MedianMs;
using t::Ms;

std::vector<BlockRecord> MakeRecords(size_t count, const std::wstring& dataDir) {
    std::vector<BlockRecord> records(count);
    for (size_t i = 0; i < count; ++i) {
        BlockRecord& r = records[i];
        r.window.path = L"C:\\PROGRAM FILES\\VENDOR " + std::to_wstring(i % 50) + L"\\UPDATER.EXE";
        r.window.caption = L"限时特惠 offer \"" + std::to_wstring(i) + L"\"";
        r.window.className = L"AdWindowClass" + std::to_wstring(i % 13);
        r.window.rect = {980, 580, 1280, 780};
        r.window.style = WS_POPUP | WS_VISIBLE;
        r.window.pos = 5;
        r.hash = 0x9E3779B97F4A7C15ull * (i + 1);
        r.name = L"UPDATER.EXE";
        r.imagePath = dataDir + L"UPDATER" + std::to_wstring(1234567890 + i) + L"300200.jpg";
        r.status = static_cast<int>(i % 3);
        r.blockCnt = static_cast<uint32_t>(i * 7);
        r.recordCnt = 1;
        r.addType = static_cast<int>(i % 4);
    }
    return records;
}

bool BareWrite(const std::wstring& path, const std::string& text) {
    std::wstring temporary = path + L".tmp";
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return ok && ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

size_t BareRead(const std::wstring& path) {
    auto bytes = t::ReadFileBytes(path);
    if (!bytes) return 0;
    json_t* root = json_loadb(bytes->data(), bytes->size(), 0, nullptr);
    size_t count = json_array_size(root);
    json_decref(root);
    return count;
}

// The way the file was written and read before: every record packed into jansson values
// and dumped with json_dumps, read back with json_loadb and json_unpack, strings converted
// through the system. Same text; kept here as the reference the figures are measured against.
std::string PackedText(const std::vector<BlockRecord>& records) {
    json_t* array = json_array();
    for (const BlockRecord& r : records) {
        const WndInfo& w = r.window;
        json_t* info = json_pack("{s:s, s:s, s:s, s:i, s:i, s:i, s:i, s:i, s:i}", "path",
                                 winhush::WideToUtf8(w.path).c_str(), "caption", winhush::WideToUtf8(w.caption).c_str(),
                                 "class", winhush::WideToUtf8(w.className).c_str(), "rect.left", (int)w.rect.left,
                                 "rect.top", (int)w.rect.top, "rect.right", (int)w.rect.right, "rect.bottom",
                                 (int)w.rect.bottom, "style", (int)w.style, "pos", w.pos);
        json_array_append_new(
            array, json_pack("{s:o, s:I, s:s, s:s, s:i, s:I, s:I, s:i, s:i, s:i}", "wndInfo", info, "hash",
                             (json_int_t)(int64_t)r.hash, "name", winhush::WideToUtf8(r.name).c_str(), "imagePath",
                             winhush::WideToUtf8(r.imagePath).c_str(), "status", r.status, "timeRecord",
                             (json_int_t)r.timeRecord, "timeBlock", (json_int_t)r.timeBlock, "blockCnt",
                             (int)r.blockCnt, "recordCnt", r.recordCnt, "addType", r.addType));
    }
    char* text = json_dumps(array, 0);
    std::string result(text ? text : "");
    free(text);
    json_decref(array);
    return result;
}

size_t UnpackedCount(const std::wstring& path) {
    auto bytes = t::ReadFileBytes(path);
    if (!bytes) return 0;
    json_t* root = json_loadb(bytes->data(), bytes->size(), 0, nullptr);
    size_t i, count = 0;
    json_t* element;
    json_array_foreach(root, i, element) {
        json_t* info;
        json_int_t hash, timeRecord, timeBlock;
        const char *name, *image, *path, *caption, *cls;
        int status, blockCnt, recordCnt, addType = 0, l, t, r, b, style, pos;
        if (json_unpack(element, "{s:o, s:I, s:s, s:s, s:i, s:I, s:I, s:i, s:i, s?i}", "wndInfo", &info, "hash",
                        &hash, "name", &name, "imagePath", &image, "status", &status, "timeRecord", &timeRecord,
                        "timeBlock", &timeBlock, "blockCnt", &blockCnt, "recordCnt", &recordCnt, "addType",
                        &addType) ||
            json_unpack(info, "{s:s, s:s, s:s, s:i, s:i, s:i, s:i, s:i, s:i}", "path", &path, "caption", &caption,
                        "class", &cls, "rect.left", &l, "rect.top", &t, "rect.right", &r, "rect.bottom", &b, "style",
                        &style, "pos", &pos))
            continue;
        BlockRecord record;
        record.window.path = winhush::Utf8ToWide(path);
        record.window.caption = winhush::Utf8ToWide(caption);
        record.window.className = winhush::Utf8ToWide(cls);
        record.name = winhush::Utf8ToWide(name);
        record.imagePath = winhush::Utf8ToWide(image);
        record.timeRecord = (int64_t)std::time(nullptr);
        ++count;
    }
    json_decref(root);
    return count;
}

}  // namespace

int wmain() {
    t::ScopedTempDir dir;
    const size_t count = 10000;
    std::vector<BlockRecord> records = MakeRecords(count, dir / L"data\\");
    std::wstring path = dir / L"WndMgrInfo.log";
    std::wstring barePath = dir / L"bare.log";

    std::string text = SerializeRecords(records);
    double serialize = MedianMs(7, [&] { SerializeRecords(records); });
    double save = MedianMs(7, [&] { SaveRecordFile(path, records, false); });
    double bareWrite = MedianMs(7, [&] { BareWrite(barePath, text); });
    bool same = t::ReadFileBytes(path).value_or("") == text;
    std::string packed = PackedText(records);
    double oldSerialize = MedianMs(5, [&] { PackedText(records); });
    double oldSave = MedianMs(5, [&] { BareWrite(barePath, PackedText(records)); });

    std::vector<BlockRecord> loaded;
    double load = MedianMs(7, [&] {
        loaded.clear();
        LoadRecordFile(path, loaded);
    });
    size_t bareCount = 0;
    double bareRead = MedianMs(7, [&] { bareCount = BareRead(barePath); });
    size_t oldCount = 0;
    double oldLoad = MedianMs(5, [&] { oldCount = UnpackedCount(barePath); });

    std::printf("record file, %zu records, %zu bytes%s%s\n", count, text.size(),
                same ? "" : " (error: the saved file differs from the serialised text)",
                packed == text ? ", same bytes as json_pack + json_dumps" : " (error: differs from json_dumps)");
    std::printf("save %.1f ms (JSON text alone %.1f ms); baseline bare write+flush+rename of the same bytes %.1f ms\n",
                save, serialize, bareWrite);
    std::printf("before (json_pack + json_dumps, one write): save %.1f ms (JSON text %.1f ms)\n", oldSave,
                oldSerialize);
    std::printf("before (json_loadb + json_unpack + system UTF-8 conversion): load %.1f ms (%zu records)\n", oldLoad,
                oldCount);
    std::printf("load %.1f ms (%zu records); baseline bare read + one json_loadb %.1f ms (%zu elements)\n", load,
                loaded.size(), bareRead, bareCount);
    return 0;
}
