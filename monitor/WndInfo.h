// What the program knows about one top-level window of another process: the handles seen
// for it, its executable, caption, class, rectangle, style and screen corner, plus the
// identity hash that ties a live window to its record in the record file.
//
// The hash is stored in users' record files, so its bytes (path, class and size as
// UTF-16LE, MurmurHash64B with our seed) must never change.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace winhush::monitor {

enum PositionClass : int {
    kPositionNone = 0,
    kPositionLeftTop = 1,
    kPositionLeftBottom = 2,
    kPositionCenter = 3,
    kPositionRightTop = 4,
    kPositionRightBottom = 5,
};

inline constexpr uint64_t kWindowHashSeed = 0x19870714;

struct WndInfo {
    std::vector<HWND> hwnds;  // every live handle seen for this window; the last is current
    DWORD pid = 0;
    std::wstring path;  // drive-letter form, upper case
    std::wstring caption;
    std::wstring className;
    RECT rect = {};
    DWORD style = 0;
    int pos = kPositionNone;

    WndInfo() = default;
    // Copies drop handles of windows that have died meanwhile.
    WndInfo(const WndInfo& other);
    WndInfo& operator=(const WndInfo& other);
    WndInfo(WndInfo&&) noexcept = default;
    WndInfo& operator=(WndInfo&&) noexcept = default;

    LONG width() const { return rect.right - rect.left; }
    LONG height() const { return rect.bottom - rect.top; }

    void Add(HWND hwnd);
    void Prune();
    // The last handle that is still a window, or null.
    HWND Current() const;
    bool Contains(HWND hwnd);
    bool SharesHandle(const std::vector<HWND>& other);
    void CopyHandlesFrom(const WndInfo& other);
};

struct DriveDevice {
    wchar_t letter;
    std::wstring device;
};

// What a scan pass looks up again and again, kept for the scanning thread only.
//
// Executable paths: opening a process and asking for its image name is most of a pass's
// cost. A process's image never changes, and holding its handle keeps its id from being
// reused by another program, so a cached path is always the one a fresh lookup would give.
// Processes not met in a pass are let go at its end.
//
// Monitors: read once per pass, and again after a display change. With a single monitor
// every window's nearest monitor is that one, so no per-window monitor lookup is needed;
// with several, the system decides. Windows met between passes (window events) use the
// last pass's monitors.
//
// Windows: a window's process and class never change, so each handle is asked for them once
// and remembered while the passes keep meeting it. A handle not met in a pass is forgotten,
// and so is one reported as created anew (a handle value can be given to a new window).
class ScanCache {
public:
    struct Window {
        DWORD pid = 0;
        std::wstring className;
        std::wstring path;      // empty: the process could not be resolved (asked again later)
        unsigned lastPass = 0;  // the pass that last met it
        unsigned tried = 0;     // the pass that last tried to resolve its process
        unsigned filter = 0;    // the record filter mayMatch was computed against (0: none)
        bool mayMatch = false;
    };

    ScanCache();
    ~ScanCache();
    ScanCache(const ScanCache&) = delete;
    ScanCache& operator=(const ScanCache&) = delete;

    void BeginPass();  // drive letters and monitors are read again when next needed
    void EndPass();    // forgets the windows and processes the pass did not meet
    bool Lookup(DWORD pid, std::wstring& path);
    // Process and class of a window, from memory when the handle is known; null when the
    // handle is dead or its process cannot be resolved.
    Window* Identify(HWND hwnd);
    // The handle belongs to a window created just now: what was known under it is not its.
    void Forget(HWND hwnd);
    size_t windowCount() const;
    // The information of the monitor nearest to a window (hwnd may be null).
    bool NearestMonitor(HWND hwnd, MONITORINFO& info);
    // Monitors (and drive letters) are read afresh at the next use.
    void DisplayChanged();
    size_t size() const;

private:
    struct Entry;
    void ReadMonitors();
    std::vector<Entry> entries_;
    std::unordered_map<HWND, Window> windows_;
    unsigned pass_ = 1;
    std::vector<DriveDevice> drives_;
    bool haveDrives_ = false;
    std::vector<std::pair<HMONITOR, MONITORINFO>> monitors_;
    bool haveMonitors_ = false;
};

// The monitor nearest to a window, through the cache when there is one.
bool NearestMonitorInfo(HWND hwnd, MONITORINFO& info, ScanCache* cache);

// Fills info from a live top-level window of any process. False when the handle is dead,
// a child window, or its process or executable cannot be resolved to a drive-letter path.
// The scan passes its cache; other callers look the process up afresh.
bool Snapshot(WndInfo& info, HWND hwnd, ScanCache* cache = nullptr);
// The two halves of Snapshot, for the scan: first what the identity hash needs (handle,
// pid, path, class, rectangle), then the rest (style with the child test, caption,
// position), read only for a window the monitor has something to do with.
bool SnapshotIdentity(WndInfo& info, HWND hwnd, ScanCache* cache);
bool SnapshotDetails(WndInfo& info, HWND hwnd, ScanCache* cache);
// The scan's halves: the identity from what the cache knows plus the rectangle, and the
// details from a style already read.
bool SnapshotIdentity(WndInfo& info, HWND hwnd, const ScanCache::Window& known);
bool SnapshotDetails(WndInfo& info, HWND hwnd, DWORD style, ScanCache* cache);

// The executable of a process in drive-letter form, upper case. Takes ownership of the
// process handle and closes it in every case.
bool GetImagePath(HANDLE process, std::wstring& out);

// Maps a native device path ("\Device\HarddiskVolume1\x.exe") through a list of
// (drive, device name) pairs; the device name must be followed by a path separator so
// that "\Device\HarddiskVolume1" does not claim "\Device\HarddiskVolume10\...".
bool MapDevicePath(const std::wstring& devicePath, const std::vector<DriveDevice>& drives, std::wstring& out);
std::vector<DriveDevice> QueryDriveDevices();

PositionClass PositionClassOf(HWND hwnd, const RECT& rect, ScanCache* cache = nullptr);
// The classification against a given work area (what PositionClassOf does after the
// monitor lookup).
PositionClass ClassifyPosition(const RECT& rect, const RECT& work);

uint64_t MurmurHash64B(const void* data, size_t length, uint64_t seed);
uint64_t WindowKeyHash(const wchar_t* path, const wchar_t* className, LONG width, LONG height);
inline uint64_t WindowKeyHash(const WndInfo& info) {
    return WindowKeyHash(info.path.c_str(), info.className.c_str(), info.width(), info.height());
}

}  // namespace winhush::monitor
