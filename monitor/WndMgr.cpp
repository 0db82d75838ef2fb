#include "monitor/WndMgr.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "app/Paths.h"
#include "base/Handles.h"
#include "base/Strings.h"
#include "monitor/Candidate.h"
#include "monitor/Screenshot.h"
#include "settings/SettingsStore.h"

namespace winhush::monitor {

namespace {

constexpr DWORD kScanPeriodMs = 500;
constexpr DWORD kJoinLimitMs = 1000;
constexpr DWORD kListReadLimitMs = 100;
constexpr int kOffScreen = 9999;

void DeleteFileIfPresent(const std::wstring& path) {
    if (!path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) ::DeleteFileW(path.c_str());
}

// Moves a window out of sight before hiding it, so a program that shows it again shows it
// off screen; its size is kept.
void HideOffScreen(HWND hwnd, const RECT& rect) {
    ::MoveWindow(hwnd, rect.left + kOffScreen, rect.top + kOffScreen, rect.right - rect.left, rect.bottom - rect.top,
                 FALSE);
    ::ShowWindow(hwnd, SW_HIDE);
}

bool Near(const RECT& a, const RECT& b) {
    return std::labs(a.left - b.left) < 10 && std::labs(a.top - b.top) < 10 && std::labs(a.right - b.right) < 10 &&
           std::labs(a.bottom - b.bottom) < 10;
}

BOOL CALLBACK HideOwnedPopup(HWND hwnd, LPARAM ownerParam) {
    HWND owner = reinterpret_cast<HWND>(ownerParam);
    if (::IsWindow(hwnd) && ::GetWindow(hwnd, GW_OWNER) == owner && ::IsWindowVisible(hwnd) &&
        (static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)) & WS_POPUP)) {
        RECT rect;
        if (::GetWindowRect(hwnd, &rect)) HideOffScreen(hwnd, rect);
    }
    return TRUE;
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

// Holds the record mutex for a scope. An abandoned mutex (its owner was ended by force)
// is ours all the same; a missing mutex means running unguarded, as before it existed.
class CWndMgr::Lock {
public:
    Lock(HANDLE mutex, DWORD limit) : mutex_(mutex) {
        DWORD result = mutex ? ::WaitForSingleObject(mutex, limit) : WAIT_FAILED;
        owned_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        timedOut_ = result == WAIT_TIMEOUT;
    }
    ~Lock() {
        if (owned_) ::ReleaseMutex(mutex_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    bool timedOut() const { return timedOut_; }

private:
    HANDLE mutex_;
    bool owned_ = false;
    bool timedOut_ = false;
};

wchar_t* AllocTooltipText(const std::wstring& text) {
    auto* copy = new (std::nothrow) wchar_t[text.size() + 1];
    if (copy) std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    return copy;
}

void FreeTooltipText(wchar_t* text) { delete[] text; }

CWndMgr::CWndMgr() : config_(&GetStartupConfig()) {}

CWndMgr::~CWndMgr() {
    // The program stops the monitor explicitly; this only keeps tests from leaking a thread
    // that would run on a destroyed object.
    if (scanThread_) {
        stopRequested = 1;
        enabled = 0;
        if (::WaitForSingleObject(scanThread_, kJoinLimitMs) == WAIT_TIMEOUT) ::TerminateThread(scanThread_, 0);
        ::CloseHandle(scanThread_);
    }
    if (recordLock_) ::CloseHandle(recordLock_);
}

CWndMgr& WndMgr() {
    static CWndMgr g_wndMgr;
    return g_wndMgr;
}

bool CWndMgr::Init() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!recordLock_) recordLock_ = ::CreateMutexW(nullptr, FALSE, nullptr);
    std::wstring directory = GetDataDirectory();
    if (directory.empty()) return false;
    useProgramDataDirectory_ = true;
    dataDirectory_ = directory;
    AppendBackslash(directory);
    logPath_ = directory + L"WndMgrInfo.log";
    Load();
    UniqueHKey key = settings::OpenSettingsKey(false);
    enabled = settings::ReadFlag(key.get(), settings::kBlock) ? 1 : 0;
    return true;
}

bool CWndMgr::InitWithDataDirectory(const std::wstring& dataDirectory, bool enabledAtStart) {
    if (!recordLock_) recordLock_ = ::CreateMutexW(nullptr, FALSE, nullptr);
    if (dataDirectory.empty()) return false;
    useProgramDataDirectory_ = false;
    dataDirectory_ = dataDirectory;
    AppendBackslash(dataDirectory_);
    logPath_ = dataDirectory_ + L"WndMgrInfo.log";
    Load();
    enabled = enabledAtStart ? 1 : 0;
    return true;
}

bool CWndMgr::StartScanThread() {
    if (scanThread_) return true;
    stopRequested = 0;
    scanThread_ = ::CreateThread(nullptr, 0, ScanThread, this, 0, nullptr);
    return scanThread_ != nullptr;
}

DWORD WINAPI CWndMgr::ScanThread(LPVOID param) {
    auto* monitor = static_cast<CWndMgr*>(param);
    while (!monitor->stopRequested) {
        if (monitor->enabled) monitor->Pass();
        if (monitor->stopRequested) break;
        ::Sleep(kScanPeriodMs);
    }
    return 0;
}

BOOL CALLBACK CWndMgr::OnTopLevelWindow(HWND hwnd, LPARAM param) {
    auto* monitor = reinterpret_cast<CWndMgr*>(param);
    if (monitor->stopRequested || !monitor->enabled) return FALSE;
    if (!::IsIconic(hwnd) && ::IsWindowVisible(hwnd)) monitor->HandleWindow(hwnd);
    return TRUE;
}

void CWndMgr::Pass() {
    scanCache_.BeginPass();
    ::EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(this));
    scanCache_.EndPass();
}

void CWndMgr::ScanOnce() { Pass(); }

bool CWndMgr::Stop() {
    stopRequested = 1;
    enabled = 0;
    if (scanThread_) {
        if (::WaitForSingleObject(scanThread_, kJoinLimitMs) == WAIT_TIMEOUT) ::TerminateThread(scanThread_, 0);
        ::CloseHandle(scanThread_);
        scanThread_ = nullptr;
    }
    if (recordLock_) {
        ::CloseHandle(recordLock_);
        recordLock_ = nullptr;
    }
    return SaveLocked();
}

bool CWndMgr::Load() {
    records_.clear();
    LoadResult result = LoadRecordFile(logPath_, records_);
    keepDamagedFile_ = result.damaged;
    return result.fileExisted && !result.damaged;
}

bool CWndMgr::SaveLocked() {
    if (!SaveRecordFile(logPath_, records_, keepDamagedFile_)) return false;
    keepDamagedFile_ = false;
    return true;
}

bool CWndMgr::Save() {
    Lock lock(recordLock_, INFINITE);
    return SaveLocked();
}

bool CWndMgr::CopyRecords(int mode, std::vector<BlockRecord>& out) {
    Lock lock(recordLock_, kListReadLimitMs);
    if (lock.timedOut()) return false;
    out.clear();
    if (mode == 0) {
        for (const BlockRecord& record : records_) {
            if (record.status == kStatusBlock || record.status == kStatusAllowed) out.push_back(record);
        }
        return true;
    }
    bool changed = false;
    for (auto it = records_.begin(); it != records_.end();) {
        if (!IsCandidate(it->window, config(), kCheckRevalidate)) {
            if (it->status != kStatusBlock && it->status != kStatusAllowed) {
                DeleteFileIfPresent(it->imagePath);
                it = records_.erase(it);
                changed = true;
                continue;
            }
            if (it->recordCnt != 0) changed = true;
            it->recordCnt = 0;
        }
        ++it;
    }
    for (const BlockRecord& record : records_) {
        if (record.recordCnt != 0 && !record.imagePath.empty()) out.push_back(record);
    }
    // Nothing changed means the file already holds exactly this list.
    if (changed) SaveLocked();
    return true;
}

bool CWndMgr::CountRecorded(int& count) {
    std::vector<BlockRecord> scratch;
    if (!CopyRecords(1, scratch)) return false;
    count = static_cast<int>(scratch.size());
    return true;
}

bool CWndMgr::StoreRecord(const BlockRecord& record) {
    Lock lock(recordLock_, INFINITE);
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const BlockRecord& r) { return r.hash == record.hash; });
    if (it == records_.end()) {
        records_.push_back(record);
    } else if (record.status != 0 || record.recordCnt != 0) {
        *it = record;
    } else {
        DeleteFileIfPresent(record.imagePath);
        records_.erase(it);
    }
    SaveLocked();
    return true;
}

void CWndMgr::ClearRecorded() {
    Lock lock(recordLock_, INFINITE);
    for (auto it = records_.begin(); it != records_.end();) {
        if (it->status != kStatusRecorded) {
            it->recordCnt = 0;
            ++it;
        } else {
            DeleteFileIfPresent(it->imagePath);
            it = records_.erase(it);
        }
    }
    SaveLocked();
}

bool CWndMgr::StoreDecision(const BlockRecord& decision, bool freshSnapshot) {
    Lock lock(recordLock_, INFINITE);
    auto it = std::find_if(records_.begin(), records_.end(),
                           [&](const BlockRecord& r) { return r.hash == decision.hash; });
    if (it == records_.end()) {
        records_.push_back(decision);
        return SaveLocked();
    }
    it->status = decision.status;
    it->addType = decision.addType;
    it->name = decision.name;
    if (freshSnapshot) {
        it->window = decision.window;
        if (!decision.imagePath.empty() && decision.imagePath != it->imagePath) {
            DeleteFileIfPresent(it->imagePath);
            it->imagePath = decision.imagePath;
        }
    }
    return SaveLocked();
}

void CWndMgr::DeleteScreenshotUnlessUsed(const std::wstring& imagePath) {
    if (imagePath.empty()) return;
    Lock lock(recordLock_, INFINITE);
    for (const BlockRecord& record : records_) {
        if (::lstrcmpiW(record.imagePath.c_str(), imagePath.c_str()) == 0) return;
    }
    // Only a picture of ours: the name the screenshots get, inside the data directory.
    std::wstring directory = dataDirectory_;
    AppendBackslash(directory);
    if (imagePath.size() <= directory.size() ||
        ::CompareStringOrdinal(imagePath.c_str(), static_cast<int>(directory.size()), directory.c_str(),
                               static_cast<int>(directory.size()), TRUE) != CSTR_EQUAL ||
        imagePath.find(L'\\', directory.size()) != std::wstring::npos)
        return;
    DeleteFileIfPresent(imagePath);
}

std::wstring CWndMgr::Screenshot(const BlockRecord& record) {
    return useProgramDataDirectory_ ? TakeScreenshot(record) : TakeScreenshot(record, dataDirectory_);
}

bool CWndMgr::ComputeKey(BlockRecord& record, bool withScreenshot) {
    record.name = FileNameOf(record.window.path);
    record.hash = WindowKeyHash(record.window);
    record.imagePath = withScreenshot ? Screenshot(record) : std::wstring();
    return true;
}

void CWndMgr::HandleWindow(HWND hwnd) {
    BlockRecord s;
    if (!::IsWindow(hwnd) || !Snapshot(s.window, hwnd, &scanCache_)) return;
    ComputeKey(s, false);

    Lock lock(recordLock_, INFINITE);
    auto match = std::find_if(records_.begin(), records_.end(), [&](const BlockRecord& r) { return r.hash == s.hash; });
    if (match != records_.end()) {
        BlockRecord& m = *match;
        const bool known = m.window.Contains(hwnd);
        if (!known && !IsCandidate(m.window, config(), kCheckRevalidate, &scanCache_)) {
            // Its class or program has been excluded since it was stored.
            if (m.status != kStatusBlock && m.status != kStatusAllowed) {
                DeleteFileIfPresent(m.imagePath);
                records_.erase(match);
                SaveLocked();
                return;
            }
            m.recordCnt = 0;
        }
        if (m.status == kStatusBlock) {
            BlockWindow(hwnd, IsCandidate(s.window, config(), kCheckCounted, &scanCache_), &scanCache_);
            return;
        }
        if (known || !recording || !IsCandidate(s.window, config(), kCheckRecord, &scanCache_)) return;
        m.window.Add(hwnd);
        s.window.CopyHandlesFrom(m.window);
        m.window = s.window;
        ++m.recordCnt;
        m.imagePath = Screenshot(m);
        m.timeRecord = Now();
        SaveLocked();
        return;
    }

    if (!recording || !IsCandidate(s.window, config(), kCheckChanged, &scanCache_)) return;
    auto changed = std::find_if(records_.begin(), records_.end(), [&](BlockRecord& c) {
        return c.window.pid == s.window.pid && c.window.SharesHandle(s.window.hwnds);
    });
    if (changed == records_.end()) {
        if (!IsCandidate(s.window, config(), kCheckRecord, &scanCache_)) return;
        s.recordCnt = 1;
        s.imagePath = Screenshot(s);
        records_.push_back(s);
        SaveLocked();
        return;
    }
    // The same window seen earlier under another size, class or path: re-key its record.
    BlockRecord& c = *changed;
    DeleteFileIfPresent(c.imagePath);
    c.hash = s.hash;
    c.timeRecord = s.timeRecord;
    // Only this handle has the new identity. Other handles still showing the old one would
    // otherwise find the record through the shared handle and pull it back on every pass.
    c.window.hwnds.clear();
    c.window.Add(hwnd);
    s.window.CopyHandlesFrom(c.window);
    c.window = s.window;
    c.imagePath = Screenshot(s);
    SaveLocked();
}

void CWndMgr::BlockWindow(HWND hwnd, bool counted) { BlockWindow(hwnd, counted, nullptr); }

void CWndMgr::BlockWindow(HWND hwnd, bool counted, ScanCache* cache) {
    BlockRecord b;
    if (Snapshot(b.window, hwnd, cache)) ComputeKey(b, counted);

    Lock lock(recordLock_, INFINITE);
    auto found = std::find_if(records_.begin(), records_.end(), [&](const BlockRecord& r) { return r.hash == b.hash; });
    if (found == records_.end()) return;
    BlockRecord& r = *found;
    if (::IsWindow(hwnd)) {
        RECT wr = {};
        ::GetWindowRect(hwnd, &wr);
        HWND parent = ::GetParent(hwnd);
        RECT pr;
        if (parent && ::GetWindowRect(parent, &pr) && Near(pr, wr)) HideOffScreen(parent, pr);
        HideOffScreen(hwnd, wr);
        ::EnumWindows(HideOwnedPopup, reinterpret_cast<LPARAM>(hwnd));
    }
    if (!counted) return;

    ++r.blockCnt;
    r.window = b.window;
    r.timeBlock = b.timeBlock;
    if (b.imagePath != r.imagePath) {
        DeleteFileIfPresent(r.imagePath);
        r.imagePath = b.imagePath;
    }
    {
        UniqueHKey key = settings::OpenSettingsKey(true);
        if (key) settings::WriteDword(key.get(), settings::kBlockCount, settings::ReadBlockCount(key.get()) + 1);
    }
    SaveLocked();
    NotifyBlocked(r);
}

void CWndMgr::NotifyBlocked(const BlockRecord& record) {
    HWND target = notifyWindow_ ? notifyWindow_ : GetMainWindowHandle();
    if (!target) return;
    const wchar_t* format = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), kBlockTooltipStringId, reinterpret_cast<LPWSTR>(&format), 0);
    if (length <= 0 || !format) return;
    std::wstring pattern(format, static_cast<size_t>(length));
    std::wstring text = FormatW(pattern.c_str(), record.name.c_str(), FormatBlockTime(record.timeBlock).c_str());
    wchar_t* copy = AllocTooltipText(text);
    if (!copy) return;
    // A post that does not arrive must not leak: the receiver never sees this text.
    if (!::PostMessageW(target, WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(copy), 0)) FreeTooltipText(copy);
}

}  // namespace winhush::monitor
