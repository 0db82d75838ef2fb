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
constexpr DWORD kStartupReadRetryMs = 2000;  // a record file another program holds at start
constexpr int kOffScreen = 9999;
// How long a hiding request may wait in a window's queue before it is sent again, and how
// long the scan asks a window whose request is waiting whether it has come back.
constexpr DWORD kPendingHideMs = 5000;
constexpr DWORD kPendingCheckMs = 50;

// Asks a window of any program to move out of sight and hide, without waiting for it: a
// program whose thread does not answer must never hold up the scan or, through it, the
// user interface. The requests wait in that thread's queue and are carried out in order
// when it pumps again. The window is moved before it is hidden, so that a program that shows
// it again shows it off screen; its size is kept.
void HideOffScreen(HWND hwnd, const RECT& rect) {
    ::SetWindowPos(hwnd, nullptr, rect.left + kOffScreen, rect.top + kOffScreen, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_ASYNCWINDOWPOS);
    ::ShowWindowAsync(hwnd, SW_HIDE);
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

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Whether the window's thread takes a sent message within a short time.
bool AnswersQuickly(HWND hwnd) {
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kPendingCheckMs, &ignored) != 0;
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
    LoadResult result = LoadRecordFile(logPath_, records_, kStartupReadRetryMs);
    keepDamagedFile_ = result.damaged;
    unreadFile_ = result.unreadable;
    return result.fileExisted && !result.damaged && !result.unreadable;
}

bool CWndMgr::SaveLocked() {
    // Until the file that could not be read at start is read, it holds decisions this list
    // lacks: it is neither replaced nor kept aside.
    if (unreadFile_) {
        if (!RestoreUnreadRecords(logPath_, records_, keepDamagedFile_)) return false;
        unreadFile_ = false;
    }
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
                std::wstring picture = it->imagePath;
                it = records_.erase(it);
                DeletePicture(picture);
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
    auto it = Find(record.hash);
    if (it == records_.end()) {
        records_.push_back(record);
    } else if (record.status != 0 || record.recordCnt != 0) {
        *it = record;
    } else {
        records_.erase(it);
        DeletePicture(record.imagePath);
    }
    SaveLocked();
    return true;
}

std::vector<BlockRecord>::iterator CWndMgr::Find(uint64_t hash) {
    return std::find_if(records_.begin(), records_.end(), [&](const BlockRecord& r) { return r.hash == hash; });
}

bool CWndMgr::DeletePicture(const std::wstring& path) {
    if (path.empty()) return false;
    // A picture another record still shows stays (pictures are named by identity, not path).
    for (const BlockRecord& r : records_) {
        if (r.imagePath == path) return false;
    }
    return DeleteScreenshotFile(path, dataDirectory_);
}

bool CWndMgr::SetRecordStatus(uint64_t hash, int status) {
    Lock lock(recordLock_, INFINITE);
    auto it = Find(hash);
    if (it == records_.end()) return false;
    if (it->status == status) return true;
    it->status = status;
    SaveLocked();
    return true;
}

bool CWndMgr::RemoveDecision(uint64_t hash) {
    Lock lock(recordLock_, INFINITE);
    auto it = Find(hash);
    if (it == records_.end()) return false;
    if (it->recordCnt != 0) {
        // Still listed by the record dialog: only the decision and its count go.
        it->status = kStatusRecorded;
        it->blockCnt = 0;
    } else {
        std::wstring picture = it->imagePath;
        records_.erase(it);
        DeletePicture(picture);
    }
    SaveLocked();
    return true;
}

bool CWndMgr::AddDecision(const BlockRecord& record) {
    Lock lock(recordLock_, INFINITE);
    auto it = Find(record.hash);
    if (it == records_.end()) {
        records_.push_back(record);
    } else {
        // What the user decided, on what the monitor has meanwhile stored for the window.
        it->status = record.status;
        it->name = record.name;
        it->addType = record.addType;
        if (it->imagePath.empty()) it->imagePath = record.imagePath;
    }
    SaveLocked();
    return true;
}

bool CWndMgr::MoveRecord(uint64_t hash, const std::wstring& newPath) {
    Lock lock(recordLock_, INFINITE);
    auto it = Find(hash);
    if (it == records_.end() || it->window.path == newPath) return false;
    BlockRecord moved = *it;
    moved.window.path = newPath;
    moved.hash = WindowKeyHash(moved.window);
    if (moved.hash == hash) return false;
    // The old identity keeps only what the record dialog still lists; its picture now
    // belongs to the moved record.
    if (it->recordCnt != 0) {
        it->status = kStatusRecorded;
    } else {
        records_.erase(it);
    }
    auto target = Find(moved.hash);
    if (target == records_.end()) {
        records_.push_back(std::move(moved));
    } else {
        *target = std::move(moved);
    }
    SaveLocked();
    return true;
}

void CWndMgr::ClearRecorded() {
    Lock lock(recordLock_, INFINITE);
    std::vector<std::wstring> pictures;
    for (auto it = records_.begin(); it != records_.end();) {
        if (it->status != kStatusRecorded) {
            it->recordCnt = 0;
            ++it;
        } else {
            pictures.push_back(it->imagePath);
            it = records_.erase(it);
        }
    }
    for (const std::wstring& picture : pictures) DeletePicture(picture);
    SaveLocked();
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

// The per-window routine. What to do is decided under the record lock from the records
// alone; everything that touches the window itself (its picture, hiding it) happens after
// the lock is released, and the result is then written to the record found again by its
// identity, because the user may have changed or removed it meanwhile.
void CWndMgr::HandleWindow(HWND hwnd) {
    BlockRecord s;
    if (!::IsWindow(hwnd) || !Snapshot(s.window, hwnd, &scanCache_)) return;
    ComputeKey(s, false);

    enum class Next { Nothing, Block, RecordAgain, RecordNew, Rekey } next = Next::Nothing;
    uint64_t changedHash = 0;
    {
        Lock lock(recordLock_, INFINITE);
        auto match = Find(s.hash);
        if (match != records_.end()) {
            BlockRecord& m = *match;
            const bool known = m.window.Contains(hwnd);
            if (!known && !IsCandidate(m.window, config(), kCheckRevalidate, &scanCache_)) {
                // Its class or program has been excluded since it was stored.
                if (m.status != kStatusBlock && m.status != kStatusAllowed) {
                    std::wstring picture = m.imagePath;
                    records_.erase(match);
                    DeletePicture(picture);
                    SaveLocked();
                    return;
                }
                m.recordCnt = 0;
            }
            if (m.status == kStatusBlock) {
                next = Next::Block;
            } else if (!known && recording && IsCandidate(s.window, config(), kCheckRecord, &scanCache_)) {
                next = Next::RecordAgain;
            }
        } else if (recording && IsCandidate(s.window, config(), kCheckChanged, &scanCache_)) {
            // The same window seen earlier under another size, class or path. Only a record
            // without a decision follows it: a decision stays with the identity it was made
            // for, or the next window of the original size would no longer be blocked.
            auto changed = std::find_if(records_.begin(), records_.end(), [&](BlockRecord& c) {
                return c.status == kStatusRecorded && c.window.pid == s.window.pid &&
                       c.window.SharesHandle(s.window.hwnds);
            });
            if (changed != records_.end()) {
                next = Next::Rekey;
                changedHash = changed->hash;
            } else if (IsCandidate(s.window, config(), kCheckRecord, &scanCache_)) {
                next = Next::RecordNew;
            }
        }
    }

    switch (next) {
        case Next::Nothing:
            return;
        case Next::Block:
            BlockWindow(hwnd, IsCandidate(s.window, config(), kCheckCounted, &scanCache_), &scanCache_);
            return;
        case Next::RecordAgain:
        case Next::RecordNew:
        case Next::Rekey:
            break;
    }

    std::wstring picture = Screenshot(s);
    Lock lock(recordLock_, INFINITE);
    auto match = Find(s.hash);
    if (next == Next::RecordAgain || (next == Next::RecordNew && match != records_.end())) {
        if (match == records_.end() || match->status == kStatusBlock || match->window.Contains(hwnd)) return;
        BlockRecord& m = *match;
        m.window.Add(hwnd);
        s.window.CopyHandlesFrom(m.window);
        m.window = s.window;
        ++m.recordCnt;
        std::wstring old = m.imagePath;
        m.imagePath = picture;
        if (old != picture) DeletePicture(old);
        m.timeRecord = Now();
        SaveLocked();
        return;
    }
    if (next == Next::RecordNew) {
        s.recordCnt = 1;
        s.imagePath = picture;
        records_.push_back(s);
        SaveLocked();
        return;
    }
    // Re-key, unless the record was decided, removed or taken by the new identity meanwhile.
    auto changed = Find(changedHash);
    if (match != records_.end() || changed == records_.end() || changed->status != kStatusRecorded) return;
    BlockRecord& c = *changed;
    std::wstring old = c.imagePath;
    c.hash = s.hash;
    c.timeRecord = s.timeRecord;
    // Only this handle has the new identity. Other handles still showing the old one would
    // otherwise find the record through the shared handle and pull it back on every pass.
    c.window.hwnds.clear();
    c.window.Add(hwnd);
    s.window.CopyHandlesFrom(c.window);
    c.window = s.window;
    c.imagePath = picture;
    if (old != picture) DeletePicture(old);
    SaveLocked();
}

void CWndMgr::BlockWindow(HWND hwnd, bool counted) { BlockWindow(hwnd, counted, nullptr); }

CWndMgr::Pending CWndMgr::HidePending(HWND hwnd) {
    std::lock_guard<std::mutex> guard(pendingLock_);
    std::erase_if(pendingHides_, [](const PendingHide& p) { return !::IsWindow(p.hwnd); });
    auto it =
        std::find_if(pendingHides_.begin(), pendingHides_.end(), [&](const PendingHide& p) { return p.hwnd == hwnd; });
    if (it == pendingHides_.end()) return Pending::None;
    RECT rect;
    if (!::GetWindowRect(hwnd, &rect) || !SameRect(rect, it->rect)) {
        pendingHides_.erase(it);
        return Pending::None;
    }
    return ::GetTickCount() - it->since > kPendingHideMs ? Pending::Stale : Pending::Waiting;
}

void CWndMgr::ForgetPendingHide(HWND hwnd) {
    std::lock_guard<std::mutex> guard(pendingLock_);
    std::erase_if(pendingHides_, [&](const PendingHide& p) { return p.hwnd == hwnd; });
}

void CWndMgr::NoteHideRequested(HWND hwnd, const RECT& rect) {
    std::lock_guard<std::mutex> guard(pendingLock_);
    std::erase_if(pendingHides_, [&](const PendingHide& p) { return p.hwnd == hwnd; });
    pendingHides_.push_back({hwnd, rect, ::GetTickCount()});
}

void CWndMgr::HideBlockedWindow(HWND hwnd) {
    if (!::IsWindow(hwnd)) return;
    RECT wr = {};
    ::GetWindowRect(hwnd, &wr);
    HWND parent = ::GetParent(hwnd);
    RECT pr;
    // A pop-up built inside an invisible frame of the same size goes with its frame.
    if (parent && ::GetWindowRect(parent, &pr) && Near(pr, wr)) HideOffScreen(parent, pr);
    HideOffScreen(hwnd, wr);
    ::EnumWindows(HideOwnedPopup, reinterpret_cast<LPARAM>(hwnd));
    NoteHideRequested(hwnd, wr);
}

void CWndMgr::BlockWindow(HWND hwnd, bool counted, ScanCache* cache) {
    BlockRecord b;
    if (Snapshot(b.window, hwnd, cache)) ComputeKey(b, false);
    {
        Lock lock(recordLock_, INFINITE);
        if (Find(b.hash) == records_.end()) return;  // not (or no longer) blocked: left as it is
    }
    // Still where it was when it was asked to hide: its program has not pumped since. It is
    // not counted again while that request waits, and asked again only now and then; a
    // program that answers has carried the request out, so a window seen there again was
    // shown again by it and counts as a new block.
    if (Pending pending = HidePending(hwnd); pending != Pending::None) {
        if (!AnswersQuickly(hwnd)) {
            if (pending == Pending::Stale) HideBlockedWindow(hwnd);
            return;
        }
        ForgetPendingHide(hwnd);
    }
    // The picture first: once hidden there is nothing left to photograph.
    if (counted) b.imagePath = Screenshot(b);
    HideBlockedWindow(hwnd);
    if (!counted) return;

    std::wstring name;
    int64_t timeBlock = 0;
    {
        Lock lock(recordLock_, INFINITE);
        auto found = Find(b.hash);
        if (found == records_.end()) {
            // Removed by the user while the picture was taken.
            DeletePicture(b.imagePath);
            return;
        }
        BlockRecord& r = *found;
        ++r.blockCnt;
        r.window = b.window;
        r.timeBlock = b.timeBlock;
        if (b.imagePath != r.imagePath) {
            std::wstring old = r.imagePath;
            r.imagePath = b.imagePath;
            DeletePicture(old);
        }
        {
            UniqueHKey key = settings::OpenSettingsKey(true);
            if (key) settings::WriteDword(key.get(), settings::kBlockCount, settings::ReadBlockCount(key.get()) + 1);
        }
        SaveLocked();
        name = r.name;
        timeBlock = r.timeBlock;
    }
    NotifyBlocked(name, timeBlock);
}

void CWndMgr::NotifyBlocked(const std::wstring& name, int64_t timeBlock) {
    HWND target = notifyWindow_ ? notifyWindow_ : GetMainWindowHandle();
    if (!target) return;
    const wchar_t* format = nullptr;
    int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), kBlockTooltipStringId, reinterpret_cast<LPWSTR>(&format), 0);
    if (length <= 0 || !format) return;
    std::wstring pattern(format, static_cast<size_t>(length));
    std::wstring text = FormatW(pattern.c_str(), name.c_str(), FormatBlockTime(timeBlock).c_str());
    wchar_t* copy = AllocTooltipText(text);
    if (!copy) return;
    // A post that does not arrive must not leak: the receiver never sees this text.
    if (!::PostMessageW(target, WM_BLOCK_TOOLTIP, reinterpret_cast<WPARAM>(copy), 0)) FreeTooltipText(copy);
}

}  // namespace winhush::monitor
