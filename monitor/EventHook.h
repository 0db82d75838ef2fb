// Window events of other programs, so that a blocked pop-up is hidden the moment it
// appears instead of at the next scan. An out-of-context WinEvent hook on a thread of its
// own reports the creation and showing of top-level windows; the hook's callback only
// notes the window (each window once until it is taken, however many events it causes)
// and wakes the scan thread, which does all the work on windows. So a burst of events is
// never dropped and never waits behind a slow program.
//
// Under Wine only creation events arrive; the scan thread therefore looks again at a
// window created hidden for a short while (see CWndMgr).
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace winhush::monitor {

class CEventHook {
public:
    // active: the monitor's "enabled" flag; while it is 0 the callback notes nothing.
    explicit CEventHook(const std::atomic<int>& active);
    ~CEventHook();
    CEventHook(const CEventHook&) = delete;
    CEventHook& operator=(const CEventHook&) = delete;

    // Starts the hook thread and waits (at most limitMs) until the hook is set.
    bool Start(DWORD limitMs);
    // Ends the hook thread within limitMs (then by force); the hook goes with it.
    void Stop(DWORD limitMs);
    bool running() const { return thread_ != nullptr; }

    // Signalled when windows were noted, a display changed, or Wake was called.
    HANDLE wakeEvent() const { return wake_; }
    void Wake() { ::SetEvent(wake_); }
    // A window reported since the last Take; created: one of its events was its creation,
    // so whatever was known under its handle belonged to an earlier window.
    struct Noted {
        HWND hwnd;
        bool created;
    };
    // The noted windows in the order of their first event since the last call.
    void Take(std::vector<Noted>& out);
    // Whether windows wait to be taken (cheap enough to ask between two windows of a pass).
    bool HasNoted() const { return hasNoted_.load(std::memory_order_relaxed); }
    // Whether the display configuration changed since the last call.
    bool TakeDisplayChange() { return displayChanged_.exchange(false); }

private:
    static DWORD WINAPI ThreadProc(LPVOID self);
    static void CALLBACK OnEvent(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child, DWORD thread,
                                 DWORD time);
    static LRESULT CALLBACK SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Note(HWND hwnd, bool created);
    DWORD Run();

    const std::atomic<int>& active_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE wake_ = nullptr;
    HANDLE ready_ = nullptr;
    std::atomic<bool> hooked_{false};
    std::atomic<bool> displayChanged_{false};
    std::atomic<bool> hasNoted_{false};
    std::mutex lock_;  // guards the noted windows only; never held while calling a window
    std::vector<Noted> noted_;
    std::unordered_map<HWND, size_t> notedAt_;  // index in noted_
};

}  // namespace winhush::monitor
