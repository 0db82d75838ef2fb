#include "monitor/Candidate.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace winhush::monitor {

namespace {

bool Inside(LONG x, LONG y, const RECT& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool InList(const std::wstring& className, const std::vector<std::wstring>& list) {
    return std::find(list.begin(), list.end(), className) != list.end();
}

// The suite's own programs (and, with no suite found, every program) are never ours to touch.
bool InSuiteProgramDir(const std::wstring& path, const std::wstring& suiteDir) {
    size_t n = std::min(suiteDir.size(), path.size());
    return ::_wcsnicmp(path.c_str(), suiteDir.c_str(), n) == 0;
}

}  // namespace

bool PassesPopupShape(const RECT& rect, const MONITORINFO* monitor) {
    if (rect.right - rect.left == 0 || rect.bottom - rect.top == 0) return false;
    if (!monitor) return false;
    const RECT& work = monitor->rcWork;
    if (SameRect(rect, monitor->rcMonitor) || SameRect(rect, work)) return false;
    if (!Inside((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, work)) return false;
    if (Inside(rect.left, rect.top, work)) return true;
    return rect.right - rect.left < work.right - work.left && rect.bottom - rect.top < work.bottom - work.top;
}

bool PassesAdPlace(const RECT& rect, const MONITORINFO* monitor) {
    const LONG L = rect.left, T = rect.top, R = rect.right, B = rect.bottom;
    if (monitor && R - L <= 800 && B - T <= 600) {
        const RECT& work = monitor->rcWork;
        if (std::labs((L + R) - (work.left + work.right)) <= 30 && std::labs((T + B) - (work.top + work.bottom)) <= 30)
            return true;
    }
    if (!monitor) return false;
    const RECT& work = monitor->rcWork;
    RECT corner = {work.right - 500, work.bottom - 400, work.right + 50, work.bottom + 50};
    return Inside(L, T, corner) && Inside(R, B, corner);
}

bool IsCandidate(const WndInfo& w, const StartupConfig& config, int mask, ScanCache* cache) {
    MONITORINFO info = {sizeof(info)};
    // Only the geometric tests need the monitor; the lookup is skipped when none is asked for.
    const bool haveMonitor = (mask & (CHECK_POPUP_SHAPE | CHECK_AD_PLACE)) && NearestMonitorInfo(w.Current(), info, cache);
    return IsCandidateOn(w, config, mask, haveMonitor ? &info : nullptr);
}

bool IsCandidateOn(const WndInfo& w, const StartupConfig& config, int mask, const MONITORINFO* monitor) {
    if (w.style & WS_MINIMIZE) return false;
    if (w.pid == config.ownProcessId) return false;
    if (mask & CHECK_NOT_SYSTEM) {
        if (!config.explorerPath.empty() && ::_wcsicmp(w.path.c_str(), config.explorerPath.c_str()) == 0) return false;
        if (InList(w.className, config.systemClasses)) return false;
    }
    if ((mask & CHECK_POPUP_SHAPE) && !PassesPopupShape(w.rect, monitor)) return false;
    if ((mask & CHECK_AD_PLACE) && !PassesAdPlace(w.rect, monitor)) return false;
    if ((mask & CHECK_NOT_COMMON) && InList(w.className, config.commonClasses)) return false;
    if (InSuiteProgramDir(w.path, config.suiteProgramDir)) return false;
    return true;
}

}  // namespace winhush::monitor
