// The window monitor: one process-wide object whose scan thread walks the desktop's
// top-level windows every 500 ms, hides the windows the user chose to block and, while
// recording is on, remembers pop-up-like windows with a picture. It also owns the record
// list and its file; every other part of the program reads and changes records through
// the locked operations here and receives copies, never references.
//
// The lock is a Win32 mutex rather than a critical section: it is re-entrant (blocking a
// window from inside the scan's own lookup takes it again) and a scan thread ended by
// force leaves it abandoned instead of held forever.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "monitor/EventHook.h"
#include "monitor/WindowDecision.h"

namespace winhush::monitor {

// Posted to the main window after a counted block; wParam is a text from
// AllocTooltipText that the receiver releases with FreeTooltipText, or 0 when the text is to
// be taken from the monitor (TakeBlockTooltip): the monitor keeps one text and posts again
// only once that has been taken, so a burst of blocks never queues messages.
inline constexpr UINT WM_BLOCK_TOOLTIP = WM_USER + 1;
wchar_t* AllocTooltipText(const std::wstring& text);
void FreeTooltipText(wchar_t* text);

// String resource of the tooltip text, in the executable.
inline constexpr UINT kBlockTooltipStringId = 107;

class CWndMgr {
public:
    CWndMgr();
    ~CWndMgr();
    CWndMgr(const CWndMgr&) = delete;
    CWndMgr& operator=(const CWndMgr&) = delete;

    // Start-up: lock, record file path in the data directory, records, initial "Block".
    bool Init();
    // The same with an explicit data directory (tests, tools); no registry read.
    bool InitWithDataDirectory(const std::wstring& dataDirectory, bool enabledAtStart);

    // Starts the scan thread unless one runs, with the window-event hook beside it; the
    // caller sets enabled first.
    bool StartScanThread();
    // Shutdown: ends the scan thread (1 s, then by force), closes the lock, last write.
    bool Stop();

    std::atomic<int> enabled{0};
    std::atomic<int> recording{0};
    std::atomic<int> stopRequested{0};

    // Record operations, all under the lock.
    bool Load();
    bool Save();
    bool CopyRecords(int mode, std::vector<BlockRecord>& out);
    bool CountRecorded(int& count);
    bool StoreRecord(const BlockRecord& record);
    void ClearRecorded();
    // Deletes a picture taken for a window that was not added after all, unless a record
    // shows it (records of one window identity share one file name).
    void DeleteScreenshotUnlessUsed(const std::wstring& imagePath);
    // Name, hash and (optionally) a picture for a record whose window has been snapshot.
    bool ComputeKey(BlockRecord& record, bool withScreenshot);

    // Changes of one stored record by its identity, for writers that hold a copy that may be
    // old by now: each changes only what it names and keeps what the scan has written
    // meanwhile (counts, times, picture). False when no record has that hash.
    bool SetRecordStatus(uint64_t hash, int status);
    // The user's remove: the decision and its count go; the record itself (with its picture)
    // goes too unless the record dialog still lists it.
    bool RemoveDecision(uint64_t hash);
    // A user's decision for a window: added when unknown, otherwise its status, name and
    // origin are set on the stored record (a picture only when it has none).
    bool AddDecision(const BlockRecord& record);
    // The record of a program that moved: re-keyed to the executable at newPath, with all it
    // holds; the old identity stays only while the record dialog lists it.
    bool MoveRecord(uint64_t hash, const std::wstring& newPath);

    // The per-window routine of the scan and the hiding of one blocked window (the picker's,
    // on the UI thread).
    void HandleWindow(HWND hwnd);
    void BlockWindow(HWND hwnd, bool counted);

    // One scan pass over all top-level windows (what the thread does every period).
    void ScanOnce();

    // The latest block text for the main window and whether the blocks it stands for
    // include the program's very first; false when none waits.
    bool TakeBlockTooltip(std::wstring& text, bool& first);
    // Whether window events reach the monitor (the hook is set).
    bool eventHookActive() const { return eventHookSet_; }
    // Tools and tests stretch the scan period to watch the event path alone.
    void SetScanPeriod(DWORD milliseconds) { scanPeriodMs_ = milliseconds; }

    const std::wstring& logPath() const { return logPath_; }
    const std::wstring& dataDirectory() const { return dataDirectory_; }
    bool scanning() const { return scanThread_ != nullptr; }

    // Tests and tools run the monitor against their own facts.
    void SetConfig(const StartupConfig* config) { config_ = config; }
    // Where tooltips go; by default the program's main window.
    void SetNotifyWindow(HWND hwnd) { notifyWindow_ = hwnd; }

private:
    class Lock;
    friend class Lock;
    static DWORD WINAPI ScanThread(LPVOID monitor);
    static BOOL CALLBACK OnTopLevelWindow(HWND hwnd, LPARAM monitor);
    void Pass();

    // Windows handled together (one pass, or one burst of window events): blocked windows
    // are hidden at once, the rest waits for the end of the batch: one walk for owned
    // pop-ups, pictures, counts, one registry and one file write, one notification.
    struct Batch;
    void BeginBatch(Batch& batch, bool scanThread);
    void EndBatch(Batch& batch);
    // What looking at one window came to.
    enum class Seen {
        Gone,       // dead, or its program cannot be resolved
        NeverOurs,  // recording is off and no record can be this window's at any size
        NotShown,   // hidden or minimised
        Looked,     // looked at, not hidden
        Hidden,
    };
    Seen LookAt(HWND hwnd, Batch& batch);
    // The per-window routine after the identity; true when the window was hidden.
    bool HandleIdentified(HWND hwnd, const ScanCache::Window& known, DWORD style, Batch& batch);
    // Path-and-class texts of the records, rebuilt when the set of identities changes (scan
    // thread only).
    struct RecordFilter {
        std::vector<uint64_t> hashes;
        std::vector<std::wstring> texts;  // sorted
        bool everything = false;          // some record cannot be filtered: every window may match
        unsigned generation = 0;
    };
    RecordFilter filter_;
    bool MayMatch(ScanCache::Window& known);
    void RefreshFilter(const std::vector<uint64_t>& known);
    bool Block(HWND hwnd, BlockRecord& snapshot, bool counted, Batch& batch);
    // Whether the window's hiding was asked for and its program has not carried it out yet.
    bool HideWaits(HWND hwnd, Batch& batch);
    void CountBlocks(Batch& batch);
    void Record(const WindowDecision& decision, BlockRecord& snapshot, HWND hwnd, Batch& batch);
    // The windows reported by the hook, and those created hidden that are looked at again.
    void ServeEvents();
    void WaitForNextPass();
    // The bookkeeping of event batches, put off while a burst goes on (scan thread only).
    void Defer(Batch& batch);
    void FlushDeferred(bool now);
    std::unique_ptr<Batch> deferred_;
    DWORD deferredSince_ = 0;  // when the first deferred batch came
    DWORD deferredLast_ = 0;   // and the latest

    const StartupConfig& config() const { return *config_; }
    std::wstring Screenshot(const BlockRecord& record);
    bool SaveLocked();
    void NotifyBlocked(const std::wstring& name, int64_t timeBlock, bool first);
    // Under the lock.
    std::vector<BlockRecord>::iterator Find(uint64_t hash);
    // Deletes a picture of ours that no record shows any more.
    bool DeletePicture(const std::wstring& path);

    // Hiding one blocked window (with a same-sized parent; its owned pop-ups follow at the
    // end of the batch): requests only, never a wait on its program. Never called with the
    // record lock held.
    void HideBlockedWindow(HWND hwnd, const RECT& rect);
    // Windows asked to hide whose programs have not carried that out yet.
    enum class Pending { None, Waiting, Stale };
    Pending HidePending(HWND hwnd);
    void NoteHideRequested(HWND hwnd, const RECT& rect);
    void ForgetPendingHide(HWND hwnd);
    struct PendingHide {
        HWND hwnd;
        RECT rect;  // where it was when asked
        DWORD since;
    };
    std::mutex pendingLock_;
    std::vector<PendingHide> pendingHides_;

    std::vector<BlockRecord> records_;
    std::wstring logPath_;
    std::wstring dataDirectory_;
    HANDLE scanThread_ = nullptr;
    HANDLE recordLock_ = nullptr;
    bool keepDamagedFile_ = false;  // the loaded file could not be fully read
    bool unreadFile_ = false;       // the file could not be read at all at start
    bool useProgramDataDirectory_ = true;
    const StartupConfig* config_;
    HWND notifyWindow_ = nullptr;
    ScanCache scanCache_;  // the scanning thread's only
    DWORD scanPeriodMs_ = 500;
    CEventHook eventHook_{enabled};
    bool eventHookSet_ = false;
    struct Watched {
        HWND hwnd;
        DWORD since;
        int step;
    };
    std::vector<Watched> watched_;  // scan thread only
    std::vector<CEventHook::Noted> fresh_;  // scan thread only, kept to spare an allocation per burst
    Batch* batch_ = nullptr;        // the open batch of the scan thread's pass
    std::mutex tipLock_;
    std::wstring tipText_;
    bool tipFirst_ = false;
    bool tipWaiting_ = false;  // a message is posted and its text not yet taken
};

// The program's monitor.
CWndMgr& WndMgr();

}  // namespace winhush::monitor
