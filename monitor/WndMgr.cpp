#include "monitor/WndMgr.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "settings/Paths.h"
#include "base/Handles.h"
#include "base/Strings.h"
#include "monitor/Candidate.h"
#include "monitor/JpegWriter.h"
#include "monitor/Screenshot.h"
#include "monitor/WindowDecision.h"
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
constexpr DWORD kHookJoinLimitMs = 200;
// When a window reported by the hook is looked at, counted from its report: at once, then
// until it is visible (under Wine nothing reports the showing) or has its final size.
constexpr DWORD kLookAgainMs[] = {0, 4, 10, 20, 35, 55, 80, 110};
// The bookkeeping of blocks that window events brought (owned pop-ups, pictures, counts, the
// record file, the notification) waits until no block came for kQuietMs, at most
// kDeferLimitMs: during a burst the scan thread only hides.
constexpr DWORD kQuietMs = 60;
constexpr DWORD kDeferLimitMs = 2000;

// Asks a window of any program to move out of sight and hide, without waiting for it: a
// program whose thread does not answer must never hold up the scan or, through it, the
// user interface. The requests wait in that thread's queue and are carried out in order
// when it pumps again. The window is moved out of sight as it is hidden, so that a program
// that shows it again shows it off screen; its size is kept. One request does both: in a burst
// the program's thread carries out every request before the last window goes, and a second
// request per window (a separate move) doubled that time. Only the active window is hidden
// with ShowWindow as well, which hands the activation on to another window.
void HideOffScreen(HWND hwnd, const RECT& rect) {
    constexpr UINT kFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    if (::GetForegroundWindow() == hwnd) {
        ::SetWindowPos(hwnd, nullptr, rect.left + kOffScreen, rect.top + kOffScreen, 0, 0, kFlags | SWP_NOREDRAW);
        ::ShowWindowAsync(hwnd, SW_HIDE);
        return;
    }
    ::SetWindowPos(hwnd, nullptr, rect.left + kOffScreen, rect.top + kOffScreen, 0, 0, kFlags | SWP_HIDEWINDOW);
}

bool Near(const RECT& a, const RECT& b) {
    return std::labs(a.left - b.left) < 10 && std::labs(a.top - b.top) < 10 && std::labs(a.right - b.right) < 10 &&
           std::labs(a.bottom - b.bottom) < 10;
}

// owners: a sorted list of the windows hidden in a batch.
BOOL CALLBACK HideOwnedPopups(HWND hwnd, LPARAM ownersParam) {
    const auto& owners = *reinterpret_cast<const std::vector<HWND>*>(ownersParam);
    if (!::IsWindowVisible(hwnd)) return TRUE;
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    if (!owner || !std::binary_search(owners.begin(), owners.end(), owner)) return TRUE;
    if (static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)) & WS_POPUP) {
        RECT rect;
        if (::GetWindowRect(hwnd, &rect)) HideOffScreen(hwnd, rect);
    }
    return TRUE;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
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

// What one pass, or one burst of window events, does before its bookkeeping.
struct CWndMgr::Batch {
    bool events = false;          // window events: their windows have not been painted yet
    std::vector<uint64_t> known;  // every record's hash at the start, sorted
    std::vector<HWND> hidden;     // whose owned pop-ups go too
    std::vector<BlockRecord> counted;
    std::vector<uint64_t> pictured;  // identities photographed in this batch
    std::vector<std::pair<size_t, UniqueHBitmap>> captures;  // pictures of counted[first], still to be written
    bool dirty = false;                 // records changed: written once at the end
    std::vector<std::pair<DWORD, bool>> answers;  // threads asked in this batch whether they answer

    bool Known(uint64_t hash) const { return std::binary_search(known.begin(), known.end(), hash); }
    bool empty() const { return hidden.empty() && counted.empty() && !dirty; }
    // Whether the window's thread takes a sent message within a short time, asked once per
    // thread and batch: a program busy opening hundreds of windows would otherwise cost the
    // wait once for each of them.
    bool Answers(HWND hwnd) {
        const DWORD thread = ::GetWindowThreadProcessId(hwnd, nullptr);
        for (const auto& [asked, answered] : answers) {
            if (asked == thread) return answered;
        }
        DWORD_PTR ignored = 0;
        const bool answered =
            ::SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kPendingCheckMs, &ignored) != 0;
        answers.emplace_back(thread, answered);
        return answered;
    }
};



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
    // Without the hook (a system that refuses it) the scan alone still catches everything,
    // a period later.
    eventHookSet_ = eventHook_.Start(kJoinLimitMs);
    scanThread_ = ::CreateThread(nullptr, 0, ScanThread, this, 0, nullptr);
    return scanThread_ != nullptr;
}

DWORD WINAPI CWndMgr::ScanThread(LPVOID param) {
    auto* monitor = static_cast<CWndMgr*>(param);
    while (!monitor->stopRequested) {
        if (monitor->enabled) monitor->Pass();
        if (monitor->stopRequested) break;
        monitor->WaitForNextPass();
    }
    // The windows are hidden; their counts are not to be lost with the thread.
    monitor->FlushDeferred(true);
    return 0;
}

BOOL CALLBACK CWndMgr::OnTopLevelWindow(HWND hwnd, LPARAM param) {
    auto* monitor = reinterpret_cast<CWndMgr*>(param);
    if (monitor->stopRequested || !monitor->enabled) return FALSE;
    // A window that just appeared goes before the rest of a long pass.
    if (monitor->eventHook_.HasNoted()) monitor->ServeEvents();
    monitor->LookAt(hwnd, *monitor->batch_);
    return TRUE;
}

// Each question to another program's window is a round trip to the window server, so the
// questions go cheapest first: the remembered identity, then (only if some record can be this
// window's, or recording is on) one style read for visibility, then the rest.
CWndMgr::Seen CWndMgr::LookAt(HWND hwnd, Batch& batch) {
    ScanCache::Window* known = scanCache_.Identify(hwnd);
    if (!known) return Seen::Gone;
    if (!recording && !MayMatch(*known)) return Seen::NeverOurs;
    // For a top-level window both visibility tests are its style bits: one call instead of two.
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    if ((style & (WS_VISIBLE | WS_MINIMIZE)) != WS_VISIBLE) return Seen::NotShown;
    return HandleIdentified(hwnd, *known, style, batch) ? Seen::Hidden : Seen::Looked;
}

bool CWndMgr::MayMatch(ScanCache::Window& known) {
    if (filter_.everything) return true;
    if (known.filter != filter_.generation) {
        std::wstring key = known.path + known.className;
        auto it = std::lower_bound(filter_.texts.begin(), filter_.texts.end(), key);
        known.mayMatch = it != filter_.texts.end() && it->compare(0, key.size(), key) == 0;
        known.filter = filter_.generation;
    }
    return known.mayMatch;
}

// Under the lock. A record's identity is the hash of its path, class and size written one
// after the other; a window can only be a record's when its path and class begin that text.
// A record whose hash is not that of its own window (edited by hand) turns the filter off.
void CWndMgr::RefreshFilter(const std::vector<uint64_t>& known) {
    if (filter_.generation != 0 && known == filter_.hashes) return;
    filter_.hashes = known;
    filter_.texts.clear();
    filter_.everything = false;
    for (const BlockRecord& r : records_) {
        std::wstring text = r.window.path + r.window.className + std::to_wstring(r.window.width()) +
                            std::to_wstring(r.window.height());
        if (MurmurHash64B(text.data(), text.size() * sizeof(wchar_t), kWindowHashSeed) != r.hash) {
            filter_.everything = true;
            break;
        }
        filter_.texts.push_back(std::move(text));
    }
    std::sort(filter_.texts.begin(), filter_.texts.end());
    if (++filter_.generation == 0) filter_.generation = 1;
}

void CWndMgr::Pass() {
    if (eventHook_.TakeDisplayChange()) scanCache_.DisplayChanged();
    scanCache_.BeginPass();
    Batch batch;
    BeginBatch(batch, true);
    batch_ = &batch;
    ::EnumWindows(OnTopLevelWindow, reinterpret_cast<LPARAM>(this));
    batch_ = nullptr;
    EndBatch(batch);
    scanCache_.EndPass();
}

void CWndMgr::ScanOnce() { Pass(); }

void CWndMgr::WaitForNextPass() {
    const DWORD start = ::GetTickCount();
    while (!stopRequested) {
        ServeEvents();
        const DWORD now = ::GetTickCount();
        const DWORD elapsed = now - start;
        if (elapsed >= scanPeriodMs_) return;
        DWORD wait = scanPeriodMs_ - elapsed;
        auto until = [&](DWORD due) { wait = std::min(wait, static_cast<LONG>(due - now) > 0 ? due - now : 0); };
        for (const Watched& w : watched_) until(w.since + kLookAgainMs[w.step]);
        if (deferred_) until(std::min(deferredLast_ + kQuietMs, deferredSince_ + kDeferLimitMs));
        ::WaitForSingleObject(eventHook_.wakeEvent(), wait);
    }
}

void CWndMgr::ServeEvents() {
    FlushDeferred(false);
    eventHook_.Take(fresh_);
    if (!enabled) {
        // "Block" is off: whatever was reported meanwhile is not acted on later either.
        watched_.clear();
        return;
    }
    if (eventHook_.TakeDisplayChange()) scanCache_.DisplayChanged();
    const DWORD now = ::GetTickCount();
    for (const CEventHook::Noted& noted : fresh_) {
        if (noted.created) scanCache_.Forget(noted.hwnd);
        auto it = std::find_if(watched_.begin(), watched_.end(), [&](const Watched& w) { return w.hwnd == noted.hwnd; });
        // A window shown again (a second event) is looked at now and for a while again.
        if (it != watched_.end()) {
            it->since = now;
            it->step = 0;
        } else {
            watched_.push_back({noted.hwnd, now, 0});
        }
    }
    auto due = [&](const Watched& w) { return static_cast<LONG>(now - (w.since + kLookAgainMs[w.step])) >= 0; };
    if (std::none_of(watched_.begin(), watched_.end(), due)) return;

    // A batch of its own also inside a pass: these windows have not been painted yet, so
    // their pictures come after the hides, and their bookkeeping waits for the burst's end.
    Batch own;
    own.events = true;
    BeginBatch(own, true);
    Batch* batch = &own;
    for (auto it = watched_.begin(); it != watched_.end();) {
        if (!due(*it)) {
            ++it;
            continue;
        }
        // A window created hidden is shown a moment later; one shown at once may still get
        // its final size. Systems that report showing send another event; under Wine only
        // the creation is reported, so it is looked at a few more times. A window no record
        // can be (whatever its size) and that recording does not want is let go at once.
        const Seen seen = LookAt(it->hwnd, *batch);
        const bool done = seen == Seen::Hidden || seen == Seen::Gone || seen == Seen::NeverOurs;
        if (!done && ++it->step < static_cast<int>(std::size(kLookAgainMs))) {
            ++it;
            continue;
        }
        it = watched_.erase(it);
    }
    Defer(own);
}

void CWndMgr::Defer(Batch& batch) {
    if (batch.empty()) return;
    const DWORD now = ::GetTickCount();
    if (!deferred_) {
        deferred_ = std::make_unique<Batch>();
        deferred_->events = true;
        deferredSince_ = now;
    }
    Batch& d = *deferred_;
    d.hidden.insert(d.hidden.end(), batch.hidden.begin(), batch.hidden.end());
    std::move(batch.counted.begin(), batch.counted.end(), std::back_inserter(d.counted));
    d.dirty = d.dirty || batch.dirty;
    deferredLast_ = now;
}

void CWndMgr::FlushDeferred(bool now) {
    if (!deferred_) return;
    const DWORD tick = ::GetTickCount();
    if (!now && tick - deferredLast_ < kQuietMs && tick - deferredSince_ < kDeferLimitMs) return;
    std::unique_ptr<Batch> batch = std::move(deferred_);
    EndBatch(*batch);
}

bool CWndMgr::Stop() {
    stopRequested = 1;
    enabled = 0;
    eventHook_.Wake();
    // The hook's thread never waits on anything, so it ends at once; the scan thread may be
    // inside a pass.
    eventHook_.Stop(kHookJoinLimitMs);
    eventHookSet_ = false;
    if (scanThread_) {
        if (::WaitForSingleObject(scanThread_, kJoinLimitMs) == WAIT_TIMEOUT) ::TerminateThread(scanThread_, 0);
        ::CloseHandle(scanThread_);
        scanThread_ = nullptr;
    }
    // Left only by a scan thread ended by force: the windows were hidden all the same.
    FlushDeferred(true);
    watched_.clear();
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

void CWndMgr::DeleteScreenshotUnlessUsed(const std::wstring& imagePath) {
    Lock lock(recordLock_, INFINITE);
    DeletePicture(imagePath);
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

void CWndMgr::BeginBatch(Batch& batch, bool scanThread) {
    Lock lock(recordLock_, INFINITE);
    batch.known.reserve(records_.size());
    for (const BlockRecord& r : records_) batch.known.push_back(r.hash);
    std::sort(batch.known.begin(), batch.known.end());
    if (scanThread) RefreshFilter(batch.known);
}

void CWndMgr::EndBatch(Batch& batch) {
    {
        // Once per batch, not per window: a burst leaves hundreds of requests to look through.
        std::lock_guard<std::mutex> guard(pendingLock_);
        std::erase_if(pendingHides_, [](const PendingHide& p) { return !::IsWindow(p.hwnd); });
    }
    if (!batch.hidden.empty()) {
        // One walk over all windows for the owned pop-ups of every window hidden in the batch.
        std::sort(batch.hidden.begin(), batch.hidden.end());
        ::EnumWindows(HideOwnedPopups, reinterpret_cast<LPARAM>(&batch.hidden));
    }
    if (!batch.counted.empty()) {
        CountBlocks(batch);
    } else if (batch.dirty) {
        Lock lock(recordLock_, INFINITE);
        SaveLocked();
    }
}

void CWndMgr::HandleWindow(HWND hwnd) {
    Batch batch;
    BeginBatch(batch, false);
    if (ScanCache::Window* known = scanCache_.Identify(hwnd))
        HandleIdentified(hwnd, *known, static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)), batch);
    EndBatch(batch);
}

// The identity comes first and costs one rectangle read (process and class are remembered);
// a window that no record knows while recording is off is left after that. Only the rest is
// decided under the record lock, from facts alone, and carried out after it.
bool CWndMgr::HandleIdentified(HWND hwnd, const ScanCache::Window& known, DWORD style, Batch& batch) {
    BlockRecord s;
    if (!SnapshotIdentity(s.window, hwnd, known)) return false;
    s.hash = WindowKeyHash(s.window);
    if (!recording && !batch.Known(s.hash)) return false;
    if (HideWaits(hwnd, batch)) return false;
    if (!SnapshotDetails(s.window, hwnd, style, &scanCache_)) return false;
    s.name = FileNameOf(s.window.path);
    MONITORINFO monitor = {sizeof(monitor)};
    const bool haveMonitor = NearestMonitorInfo(hwnd, monitor, &scanCache_);

    WindowDecision decision;
    {
        Lock lock(recordLock_, INFINITE);
        decision = DecideWindow({s.window, s.hash, hwnd, haveMonitor ? &monitor : nullptr}, records_, config(),
                                recording != 0);
        auto match = Find(decision.record);
        if (decision.action == WindowAction::DropStale && match != records_.end()) {
            std::wstring picture = match->imagePath;
            records_.erase(match);
            DeletePicture(picture);
            batch.dirty = true;
            return false;
        }
        if (decision.clearRecordCount && match != records_.end()) {
            match->recordCnt = 0;
            batch.dirty = true;
        }
    }
    switch (decision.action) {
        case WindowAction::BlockCounted:
        case WindowAction::BlockUncounted:
            return Block(hwnd, s, decision.action == WindowAction::BlockCounted, batch);
        case WindowAction::RecordNew:
        case WindowAction::RecordAgain:
        case WindowAction::FollowChanged:
            Record(decision, s, hwnd, batch);
            return false;
        case WindowAction::Ignore:
        case WindowAction::DropStale:
            break;
    }
    return false;
}

// The picture is taken before the lock (it asks the window to draw itself); the record is
// then found again by its identity, because the user may have changed or removed it meanwhile.
void CWndMgr::Record(const WindowDecision& decision, BlockRecord& s, HWND hwnd, Batch& batch) {
    std::wstring picture = Screenshot(s);
    Lock lock(recordLock_, INFINITE);
    auto match = Find(s.hash);
    if (decision.action == WindowAction::RecordAgain || (decision.action == WindowAction::RecordNew && match != records_.end())) {
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
        batch.dirty = true;
        return;
    }
    if (decision.action == WindowAction::RecordNew) {
        s.recordCnt = 1;
        s.imagePath = picture;
        records_.push_back(s);
        batch.dirty = true;
        return;
    }
    // Re-key, unless the record was decided, removed or taken by the new identity meanwhile.
    auto changed = Find(decision.record);
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
    batch.dirty = true;
}

CWndMgr::Pending CWndMgr::HidePending(HWND hwnd) {
    std::lock_guard<std::mutex> guard(pendingLock_);
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

void CWndMgr::HideBlockedWindow(HWND hwnd, const RECT& wr) {
    HWND parent = ::GetParent(hwnd);
    RECT pr;
    // A pop-up built inside an invisible frame of the same size goes with its frame.
    if (parent && ::GetWindowRect(parent, &pr) && Near(pr, wr)) HideOffScreen(parent, pr);
    HideOffScreen(hwnd, wr);
    NoteHideRequested(hwnd, wr);
}

void CWndMgr::BlockWindow(HWND hwnd, bool counted) {
    BlockRecord b;
    if (!Snapshot(b.window, hwnd)) return;
    ComputeKey(b, false);
    {
        Lock lock(recordLock_, INFINITE);
        if (Find(b.hash) == records_.end()) return;  // not (or no longer) blocked: left as it is
    }
    Batch batch;
    if (HideWaits(hwnd, batch)) return;
    Block(hwnd, b, counted, batch);
    EndBatch(batch);
}

// Still where it was when it was asked to hide: its program has not pumped since. It is not
// counted again while that request waits, and asked again only now and then; a program that
// answers has carried the request out, so a window seen there again was shown again by it
// and counts as a new block. Asked before the rest of the snapshot, which a window that waits
// does not need.
bool CWndMgr::HideWaits(HWND hwnd, Batch& batch) {
    const Pending pending = HidePending(hwnd);
    if (pending == Pending::None) return false;
    if (batch.Answers(hwnd)) {
        ForgetPendingHide(hwnd);
        return false;
    }
    if (pending == Pending::Stale) {
        RECT again = {};
        ::GetWindowRect(hwnd, &again);
        HideBlockedWindow(hwnd, again);
    }
    return true;
}

bool CWndMgr::Block(HWND hwnd, BlockRecord& b, bool counted, Batch& batch) {
    if (!::IsWindow(hwnd)) return false;
    RECT wr = {};
    ::GetWindowRect(hwnd, &wr);
    // A window met by the scan has been on screen: its picture is copied before it is hidden
    // and written after all hides, once per identity in the batch (all windows of an
    // identity share one picture file). Windows reported by events have not been painted
    // yet, so theirs can only come from the window itself, after all hides.
    UniqueHBitmap capture;
    if (counted && !batch.events &&
        std::find(batch.pictured.begin(), batch.pictured.end(), b.hash) == batch.pictured.end()) {
        batch.pictured.push_back(b.hash);
        capture.reset(CaptureClient(b));
        // What the screen shows is its picture only while nothing lies over it.
        if (!capture && ::IsWindowVisible(hwnd) && !::IsIconic(hwnd) && !IsCoveredOnScreen(hwnd, b.window.rect))
            capture.reset(CaptureScreen(b));
    }
    HideBlockedWindow(hwnd, wr);
    batch.hidden.push_back(hwnd);
    if (!counted) return true;
    b.timeBlock = Now();
    batch.counted.push_back(std::move(b));
    if (capture) batch.captures.emplace_back(batch.counted.size() - 1, std::move(capture));
    return true;
}

// After the hides: the pictures, then every count, the registry's total and the record file
// once, and one notification.
void CWndMgr::CountBlocks(Batch& batch) {
    const std::wstring directory = useProgramDataDirectory_ ? GetDataDirectory() : dataDirectory_;
    for (auto& [index, capture] : batch.captures) {
        BlockRecord& b = batch.counted[index];
        std::wstring path = directory.empty() ? std::wstring() : ScreenshotFileName(directory, b.window);
        if (!path.empty() && SaveJpeg(capture.get(), path)) b.imagePath = path;
    }
    if (batch.events) {
        // The window draws itself, hidden as it is; never the screen, which it has left. Not
        // at shutdown, which the waits for answers could stretch past its limit.
        std::vector<uint64_t> pictured;
        for (auto it = batch.counted.rbegin(); it != batch.counted.rend() && !directory.empty() && !stopRequested;
             ++it) {
            if (std::find(pictured.begin(), pictured.end(), it->hash) != pictured.end()) continue;
            pictured.push_back(it->hash);
            std::wstring path = ScreenshotFileName(directory, it->window);
            UniqueHBitmap own(CaptureClient(*it));
            if (own && SaveJpeg(own.get(), path)) it->imagePath = path;
        }
    }
    std::wstring name;
    int64_t timeBlock = 0;
    bool first = false;
    {
        Lock lock(recordLock_, INFINITE);
        DWORD blocks = 0;
        for (BlockRecord& b : batch.counted) {
            auto found = Find(b.hash);
            if (found == records_.end()) {
                // Removed by the user while the picture was taken.
                DeletePicture(b.imagePath);
                continue;
            }
            BlockRecord& r = *found;
            ++r.blockCnt;
            r.window = b.window;
            r.timeBlock = b.timeBlock;
            // Only the window that was photographed for its identity brings a picture.
            if (!b.imagePath.empty() && b.imagePath != r.imagePath) {
                std::wstring old = r.imagePath;
                r.imagePath = b.imagePath;
                DeletePicture(old);
            }
            ++blocks;
            name = r.name;
            timeBlock = r.timeBlock;
        }
        if (blocks != 0) {
            UniqueHKey key = settings::OpenSettingsKey(true);
            if (key) {
                DWORD before = settings::ReadBlockCount(key.get());
                first = before == 0;
                settings::WriteDword(key.get(), settings::kBlockCount, before + blocks);
            }
        }
        if (blocks != 0 || batch.dirty) SaveLocked();
        if (blocks == 0) return;
    }
    NotifyBlocked(name, timeBlock, first);
}

bool CWndMgr::TakeBlockTooltip(std::wstring& text, bool& first) {
    std::lock_guard<std::mutex> guard(tipLock_);
    tipWaiting_ = false;
    if (tipText_.empty()) return false;
    text = std::move(tipText_);
    tipText_.clear();
    first = tipFirst_;
    tipFirst_ = false;
    return true;
}

void CWndMgr::NotifyBlocked(const std::wstring& name, int64_t timeBlock, bool first) {
    HWND target = notifyWindow_ ? notifyWindow_ : GetMainWindowHandle();
    if (!target) return;
    const wchar_t* format = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), kBlockTooltipStringId, reinterpret_cast<LPWSTR>(&format), 0);
    if (length <= 0 || !format) return;
    std::wstring pattern(format, static_cast<size_t>(length));
    std::wstring text = FormatW(pattern.c_str(), name.c_str(), FormatBlockTime(timeBlock).c_str());
    {
        std::lock_guard<std::mutex> guard(tipLock_);
        tipText_ = std::move(text);
        tipFirst_ = tipFirst_ || first;
        // The receiver takes the latest text when it gets to the message already waiting.
        if (tipWaiting_) return;
        tipWaiting_ = true;
    }
    if (!::PostMessageW(target, WM_BLOCK_TOOLTIP, 0, 0)) {
        std::lock_guard<std::mutex> guard(tipLock_);
        tipWaiting_ = false;
    }
}

}  // namespace winhush::monitor
