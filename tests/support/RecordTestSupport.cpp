#include "RecordTestSupport.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "monitor/WndInfo.h"

namespace winhush::test {

std::vector<monitor::BlockRecord> StoredRecords(const std::wstring& path) {
    std::vector<monitor::BlockRecord> records;
    if (FileExists(path)) monitor::LoadRecordFile(path, records);
    return records;
}

std::optional<monitor::BlockRecord> StoredRecordWithHash(const std::wstring& path, uint64_t hash) {
    for (monitor::BlockRecord& r : StoredRecords(path)) {
        if (r.hash == hash) return r;
    }
    return std::nullopt;
}

std::optional<monitor::BlockRecord> StoredRecordOfClass(const std::wstring& path, const std::wstring& className) {
    for (monitor::BlockRecord& r : StoredRecords(path)) {
        if (r.window.className == className) return r;
    }
    return std::nullopt;
}

monitor::BlockRecord DecisionFor(HWND hwnd, int status) {
    monitor::BlockRecord r;
    EXPECT_TRUE(monitor::Snapshot(r.window, hwnd)) << "no snapshot of the window";
    r.window.hwnds.clear();
    r.window.pid = 0;
    r.hash = monitor::WindowKeyHash(r.window);
    r.name = monitor::FileNameOf(r.window.path);
    r.status = status;
    r.addType = monitor::kAddedByPicker;
    return r;
}

}  // namespace winhush::test
