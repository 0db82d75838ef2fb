#include "rules/AutoCheck.h"

#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"
#include "monitor/WndMgr.h"
#include "rules/RuleDatabase.h"

namespace winhush::rules {

namespace {
constexpr DWORD kStopWaitMs = 1000;
}

CAutoCheck& AutoCheck() {
    static CAutoCheck check;
    return check;
}

bool SimilarPath(const std::wstring& a, const std::wstring& b) {
    const size_t slashA = a.rfind(L'\\');
    const size_t slashB = b.rfind(L'\\');
    const std::wstring_view folderA = slashA == std::wstring::npos ? std::wstring_view() : std::wstring_view(a).substr(0, slashA);
    const std::wstring_view folderB = slashB == std::wstring::npos ? std::wstring_view() : std::wstring_view(b).substr(0, slashB);
    if (folderA != folderB) return false;
    const std::wstring_view nameA = slashA == std::wstring::npos ? std::wstring_view(a) : std::wstring_view(a).substr(slashA + 1);
    const std::wstring_view nameB = slashB == std::wstring::npos ? std::wstring_view(b) : std::wstring_view(b).substr(slashB + 1);
    size_t common = 0;
    while (common < nameA.size() && common < nameB.size() && nameA[common] == nameB[common]) ++common;
    return common > 3 || nameA.size() == nameB.size();
}

void CarryOverWildcardRecords(const std::vector<PopupRule>& rules, monitor::CWndMgr& store) {
    std::vector<monitor::BlockRecord> records;
    if (!store.CopyRecords(0, records)) return;  // the store stayed busy: try again next run
    std::vector<bool> carried(records.size(), false);
    for (const PopupRule& rule : rules) {
        if (!rule.hasWildcard) continue;
        for (size_t i = 0; i < records.size(); ++i) {
            const monitor::BlockRecord& record = records[i];
            // A record moves once: storing its removal a second time would bring it back.
            if (carried[i]) continue;
            if (record.name != rule.displayName) continue;
            if (record.window.path == rule.filePath) continue;
            if (!SimilarPath(rule.filePath, record.window.path)) continue;
            if (record.window.className != rule.className || record.window.width() != rule.width ||
                record.window.height() != rule.height)
                continue;

            // On the stored record, under the monitor's lock: the copy above may be older
            // than a block the scan has counted since.
            store.MoveRecord(record.hash, rule.filePath);
            carried[i] = true;
        }
    }
}

DWORD WINAPI AutoCheckThread(LPVOID parameter) {
    auto* check = static_cast<CAutoCheck*>(parameter);
    {
        ScopedRuleReadStop stopReading(&check->stopRequested);
        LoadPopupRules(check, check->rules);
    }
    if (!check->stopRequested.load(std::memory_order_relaxed)) {
        monitor::CWndMgr& store = check->recordStore ? *check->recordStore : monitor::WndMgr();
        CarryOverWildcardRecords(check->rules, store);
    }
    check->done.store(1, std::memory_order_release);
    if (HANDLE self = check->thread.exchange(nullptr)) ::CloseHandle(self);
    return 0;
}

bool StartAutoCheck(CAutoCheck& check) {
    if (check.thread.load() != nullptr) return true;
    check.done.store(0, std::memory_order_release);
    check.stopRequested.store(false);
    // Suspended until the handle is stored, so a quick worker cannot finish before its
    // handle exists and leave it unclosed.
    HANDLE handle = ::CreateThread(nullptr, 0, AutoCheckThread, &check, CREATE_SUSPENDED, nullptr);
    if (!handle) return false;
    check.thread.store(handle);
    ::ResumeThread(handle);
    return true;
}

int GetAutoCheckResult(std::vector<PopupRule>& out, CAutoCheck& check) {
    if (check.done.load(std::memory_order_acquire) == 0) return 0;
    out.insert(out.end(), check.rules.begin(), check.rules.end());
    return 1;
}

bool StopAutoCheck(CAutoCheck& check) {
    check.stopRequested.store(true);
    bool endedByItself = true;
    if (HANDLE handle = check.thread.exchange(nullptr)) {
        if (::WaitForSingleObject(handle, kStopWaitMs) == WAIT_TIMEOUT) {
            // Only a last resort: the worker stops at its flag long before this.
            ::TerminateThread(handle, 0);
            endedByItself = false;
        }
        ::CloseHandle(handle);
    }
    check.done.store(1, std::memory_order_release);
    return endedByItself;
}

}  // namespace winhush::rules
