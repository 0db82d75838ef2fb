#include "monitor/WndInfo.h"

#include <psapi.h>

#include <algorithm>
#include <cwchar>

#include "base/Handles.h"
#include "base/Strings.h"

namespace winhush::monitor {

WndInfo::WndInfo(const WndInfo& other)
    : pid(other.pid),
      path(other.path),
      caption(other.caption),
      className(other.className),
      rect(other.rect),
      style(other.style),
      pos(other.pos) {
    CopyHandlesFrom(other);
}

WndInfo& WndInfo::operator=(const WndInfo& other) {
    if (this == &other) return *this;
    pid = other.pid;
    path = other.path;
    caption = other.caption;
    className = other.className;
    rect = other.rect;
    style = other.style;
    pos = other.pos;
    CopyHandlesFrom(other);
    return *this;
}

void WndInfo::Add(HWND hwnd) {
    hwnds.push_back(hwnd);
    Prune();
}

void WndInfo::Prune() {
    std::erase_if(hwnds, [](HWND h) { return !::IsWindow(h); });
}

HWND WndInfo::Current() const {
    for (auto it = hwnds.rbegin(); it != hwnds.rend(); ++it) {
        if (::IsWindow(*it)) return *it;
    }
    return nullptr;
}

bool WndInfo::Contains(HWND hwnd) {
    bool found = std::find(hwnds.begin(), hwnds.end(), hwnd) != hwnds.end();
    Prune();
    return found;
}

bool WndInfo::SharesHandle(const std::vector<HWND>& other) {
    bool shared = std::any_of(hwnds.begin(), hwnds.end(), [&](HWND h) {
        return std::find(other.begin(), other.end(), h) != other.end();
    });
    Prune();
    return shared;
}

void WndInfo::CopyHandlesFrom(const WndInfo& other) {
    if (&other != this) hwnds = other.hwnds;
    Prune();
}

bool Snapshot(WndInfo& info, HWND hwnd, ScanCache* cache) {
    if (!::IsWindow(hwnd)) return false;
    info.Add(hwnd);
    DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    if (style & WS_CHILD) return false;
    info.style = style;

    wchar_t text[260] = {};
    ::GetWindowTextW(hwnd, text, 260);
    info.caption = text;
    wchar_t className[260] = {};
    ::GetClassNameW(hwnd, className, 260);
    info.className = className;

    RECT rect;
    if (!::GetWindowRect(hwnd, &rect)) return false;
    info.rect = rect;
    info.pos = PositionClassOf(hwnd, rect, cache);

    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    info.pid = pid;
    if (cache) return cache->Lookup(pid, info.path);
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return false;
    return GetImagePath(process, info.path);
}

bool SnapshotIdentity(WndInfo& info, HWND hwnd, ScanCache* cache) {
    // No IsWindow first: a dead handle fails every call below.
    wchar_t className[260] = {};
    if (::GetClassNameW(hwnd, className, 260) == 0) return false;
    RECT rect;
    if (!::GetWindowRect(hwnd, &rect)) return false;
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(hwnd, &pid)) return false;
    std::wstring path;
    if (cache ? !cache->Lookup(pid, path) : !GetImagePath(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                                                                         FALSE, pid),
                                                           path))
        return false;
    info.hwnds.push_back(hwnd);
    info.className = className;
    info.rect = rect;
    info.pid = pid;
    info.path = std::move(path);
    return true;
}

bool SnapshotIdentity(WndInfo& info, HWND hwnd, const ScanCache::Window& known) {
    RECT rect;
    if (!::GetWindowRect(hwnd, &rect)) return false;
    info.hwnds.push_back(hwnd);
    info.className = known.className;
    info.rect = rect;
    info.pid = known.pid;
    info.path = known.path;
    return true;
}

bool SnapshotDetails(WndInfo& info, HWND hwnd, ScanCache* cache) {
    return SnapshotDetails(info, hwnd, static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE)), cache);
}

bool SnapshotDetails(WndInfo& info, HWND hwnd, DWORD style, ScanCache* cache) {
    if (style & WS_CHILD) return false;
    info.style = style;
    wchar_t text[260] = {};
    ::GetWindowTextW(hwnd, text, 260);
    info.caption = text;
    info.pos = PositionClassOf(hwnd, info.rect, cache);
    return true;
}

std::vector<DriveDevice> QueryDriveDevices() {
    std::vector<DriveDevice> result;
    wchar_t drives[261] = {};
    DWORD length = ::GetLogicalDriveStringsW(260, drives);
    if (length == 0 || length > 260) return result;
    for (const wchar_t* drive = drives; *drive; drive += std::wcslen(drive) + 1) {
        wchar_t name[3] = {drive[0], L':', 0};
        wchar_t target[260] = {};
        if (!::QueryDosDeviceW(name, target, 260)) continue;
        size_t n = std::wcslen(target);
        if (n == 0 || n >= 260) continue;
        result.push_back({drive[0], target});
    }
    return result;
}

bool MapDevicePath(const std::wstring& devicePath, const std::vector<DriveDevice>& drives, std::wstring& out) {
    for (const DriveDevice& drive : drives) {
        size_t n = drive.device.size();
        if (n == 0 || devicePath.size() <= n) continue;
        if (::_wcsnicmp(devicePath.c_str(), drive.device.c_str(), n) != 0) continue;
        // A device name is only a prefix of a path when a separator follows it.
        if (drive.device.back() != L'\\' && devicePath[n] != L'\\') continue;
        out.assign(1, drive.letter);
        out += L':';
        out.append(devicePath, n, std::wstring::npos);
        out = ToUpper(out);
        return true;
    }
    return false;
}

namespace {
bool ImagePathOf(HANDLE process, const std::vector<DriveDevice>& drives, std::wstring& out) {
    wchar_t devicePath[260] = {};
    DWORD length = ::GetProcessImageFileNameW(process, devicePath, 260);
    if (length == 0 || devicePath[0] == 0) return false;
    return MapDevicePath(devicePath, drives, out);
}
}  // namespace

bool GetImagePath(HANDLE process, std::wstring& out) {
    UniqueHandle owned(process);
    return ImagePathOf(process, QueryDriveDevices(), out);
}

namespace {
constexpr unsigned kUnresolvedRetryPasses = 4;
}  // namespace

struct ScanCache::Entry {
    DWORD pid;
    UniqueHandle process;
    std::wstring path;
    bool met;
};

ScanCache::ScanCache() = default;
ScanCache::~ScanCache() = default;

void ScanCache::BeginPass() {
    // Most passes open no process and look at no monitor: both are read when first needed.
    haveDrives_ = false;
    haveMonitors_ = false;
    ++pass_;
    for (Entry& entry : entries_) entry.met = false;
}

void ScanCache::ReadMonitors() {
    monitors_.clear();
    ::EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM param) -> BOOL {
            MONITORINFO info = {sizeof(info)};
            if (::GetMonitorInfoW(monitor, &info))
                reinterpret_cast<decltype(monitors_)*>(param)->emplace_back(monitor, info);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors_));
    haveMonitors_ = true;
}

void ScanCache::DisplayChanged() {
    haveMonitors_ = false;
    haveDrives_ = false;
}

void ScanCache::EndPass() {
    std::erase_if(windows_, [&](const auto& item) { return item.second.lastPass != pass_; });
    // A process whose windows are remembered is still met: its handle keeps its id ours.
    for (const auto& [hwnd, window] : windows_) {
        auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.pid == window.pid; });
        if (it != entries_.end()) it->met = true;
    }
    std::erase_if(entries_, [](const Entry& entry) { return !entry.met; });
}

ScanCache::Window* ScanCache::Identify(HWND hwnd) {
    auto it = windows_.find(hwnd);
    if (it != windows_.end()) {
        it->second.lastPass = pass_;
        // A process that could not be opened is asked again every few passes, not each time.
        if (!it->second.path.empty()) return &it->second;
        if (pass_ - it->second.tried < kUnresolvedRetryPasses) return nullptr;
    }
    // No IsWindow first: a dead handle fails both calls.
    wchar_t className[260] = {};
    DWORD pid = 0;
    if (::GetClassNameW(hwnd, className, 260) == 0 || !::GetWindowThreadProcessId(hwnd, &pid)) {
        if (it != windows_.end()) windows_.erase(it);
        return nullptr;
    }
    Window& window = windows_[hwnd];
    window.pid = pid;
    window.className = className;
    window.lastPass = pass_;
    window.mayMatch = false;
    if (!Lookup(pid, window.path)) {
        window.path.clear();
        window.tried = pass_;
        return nullptr;
    }
    window.filter = 0;
    return &window;
}

void ScanCache::Forget(HWND hwnd) { windows_.erase(hwnd); }

size_t ScanCache::windowCount() const { return windows_.size(); }

bool ScanCache::NearestMonitor(HWND hwnd, MONITORINFO& info) {
    if (!haveMonitors_) ReadMonitors();
    if (monitors_.size() == 1) {
        info = monitors_[0].second;
        return true;
    }
    HMONITOR monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    for (const auto& [handle, known] : monitors_) {
        if (handle == monitor) {
            info = known;
            return true;
        }
    }
    info.cbSize = sizeof(info);
    return ::GetMonitorInfoW(monitor, &info) != 0;
}

bool NearestMonitorInfo(HWND hwnd, MONITORINFO& info, ScanCache* cache) {
    if (cache) return cache->NearestMonitor(hwnd, info);
    info.cbSize = sizeof(info);
    return ::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info) != 0;
}

size_t ScanCache::size() const { return entries_.size(); }

bool ScanCache::Lookup(DWORD pid, std::wstring& path) {
    if (!haveDrives_) {
        drives_ = QueryDriveDevices();
        haveDrives_ = true;
    }
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.pid == pid; });
    // Checked once per pass: while we hold its handle the id cannot go to another process.
    if (it != entries_.end() && it->met) {
        path = it->path;
        return true;
    }
    if (it != entries_.end()) {
        DWORD exitCode = 0;
        if (::GetExitCodeProcess(it->process.get(), &exitCode) && exitCode == STILL_ACTIVE) {
            it->met = true;
            path = it->path;
            return true;
        }
        entries_.erase(it);  // ended: its id may be handed to another process
    }
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return false;
    std::wstring found;
    if (!ImagePathOf(process.get(), drives_, found)) return false;
    path = found;
    entries_.push_back({pid, std::move(process), std::move(found), true});
    return true;
}

PositionClass PositionClassOf(HWND hwnd, const RECT& rect, ScanCache* cache) {
    MONITORINFO info = {sizeof(info)};
    if (!NearestMonitorInfo(hwnd, info, cache)) return kPositionNone;
    return ClassifyPosition(rect, info.rcWork);
}

namespace {
// PtInRect's rule: left and top edges inside, right and bottom edges outside.
bool Inside(LONG x, LONG y, LONG left, LONG top, LONG right, LONG bottom) {
    return x >= left && x < right && y >= top && y < bottom;
}
}  // namespace

PositionClass ClassifyPosition(const RECT& rect, const RECT& work) {
    const LONG L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    const LONG WL = work.left, WT = work.top, WR = work.right, WB = work.bottom;
    // Sums are twice the centres: a window whose centre is within 15 pixels is centred.
    if (std::labs((L + R) - (WR + WL)) < 30 && std::labs((T + B) - (WT + WB)) < 30) return kPositionCenter;
    const LONG x = (L + R) / 2;
    const LONG y = (T + B) / 2;
    if (Inside(x, y, WL, WT, (WR + WL) / 2, (WT + WB) / 2)) return kPositionLeftTop;
    if (Inside(x, y, WL, WT + (WB - WT) / 2, WR - (WR - WL) / 2, WB)) return kPositionLeftBottom;
    if (Inside(x, y, WL + (WR - WL) / 2, WT, WR, WB - (WB - WT) / 2)) return kPositionRightTop;
    if (Inside(x, y, (WR + WL) / 2, (WB + WT) / 2, WR, WB)) return kPositionRightBottom;
    return kPositionNone;
}

namespace {
uint32_t ReadWord(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

uint64_t MurmurHash64B(const void* data, size_t length, uint64_t seed) {
    constexpr uint32_t m = 0x5BD1E995;
    constexpr int r = 24;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    uint32_t h1 = static_cast<uint32_t>(seed) ^ static_cast<uint32_t>(length);
    uint32_t h2 = static_cast<uint32_t>(seed >> 32);
    auto mix = [](uint32_t& h, uint32_t k) {
        k *= m;
        k ^= k >> r;
        k *= m;
        h *= m;
        h ^= k;
    };
    while (length >= 8) {
        mix(h1, ReadWord(bytes));
        mix(h2, ReadWord(bytes + 4));
        bytes += 8;
        length -= 8;
    }
    if (length >= 4) {
        mix(h1, ReadWord(bytes));
        bytes += 4;
        length -= 4;
    }
    switch (length) {
        case 3:
            h2 ^= static_cast<uint32_t>(bytes[2]) << 16;
            [[fallthrough]];
        case 2:
            h2 ^= static_cast<uint32_t>(bytes[1]) << 8;
            [[fallthrough]];
        case 1:
            h2 ^= bytes[0];
            h2 *= m;
    }
    h1 ^= h2 >> 18;
    h1 *= m;
    h2 ^= h1 >> 22;
    h2 *= m;
    h1 ^= h2 >> 17;
    h1 *= m;
    h2 ^= h1 >> 19;
    h2 *= m;
    return (static_cast<uint64_t>(h1) << 32) | h2;
}

uint64_t WindowKeyHash(const wchar_t* path, const wchar_t* className, LONG width, LONG height) {
    if (!path || !className) return 0;
    std::wstring text = path;
    text += className;
    text += std::to_wstring(width);
    text += std::to_wstring(height);
    // wchar_t is UTF-16LE on Windows, so the string's memory is exactly the hashed bytes.
    return MurmurHash64B(text.data(), text.size() * sizeof(wchar_t), kWindowHashSeed);
}

}  // namespace winhush::monitor
