// The candidate filter: which windows look like advertising pop-ups worth recording,
// whether a stored record is still valid, and whether a block is counted.
#pragma once

#include <windows.h>

#include "settings/StartupConfig.h"
#include "monitor/WndInfo.h"

namespace winhush::monitor {

enum CandidateCheck : int {
    CHECK_NOT_COMMON = 1,
    CHECK_POPUP_SHAPE = 2,
    CHECK_AD_PLACE = 4,
    CHECK_NOT_SYSTEM = 8,
};

inline constexpr int kCheckRevalidate = CHECK_NOT_COMMON | CHECK_NOT_SYSTEM;           // 9
inline constexpr int kCheckCounted = CHECK_POPUP_SHAPE;                                // 2
inline constexpr int kCheckChanged = CHECK_POPUP_SHAPE | CHECK_NOT_SYSTEM;             // 10
inline constexpr int kCheckRecord = CHECK_NOT_COMMON | CHECK_POPUP_SHAPE | CHECK_AD_PLACE | CHECK_NOT_SYSTEM;  // 15

// The scan passes its cache for the monitor lookups.
bool IsCandidate(const WndInfo& w, const StartupConfig& config, int mask, ScanCache* cache = nullptr);
// The same against given monitor information (null: unavailable); touches no window.
bool IsCandidateOn(const WndInfo& w, const StartupConfig& config, int mask, const MONITORINFO* monitor);

// The geometric tests against a monitor (null when its information is unavailable).
bool PassesPopupShape(const RECT& rect, const MONITORINFO* monitor);
bool PassesAdPlace(const RECT& rect, const MONITORINFO* monitor);

}  // namespace winhush::monitor
