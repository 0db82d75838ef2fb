// What the monitor does with one window it meets, decided from facts alone: the window's
// snapshot and identity, the monitor it lies on, the record list, the run's configuration
// and whether recording is on. Nothing here touches a window or the record list, so the
// whole rule table can be checked without windows; the monitor carries the decision out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "settings/StartupConfig.h"
#include "monitor/BlockRecord.h"
#include "monitor/WndInfo.h"

namespace winhush::monitor {

enum class WindowAction {
    Ignore,
    BlockCounted,    // hide it, count it, photograph it, announce it
    BlockUncounted,  // hide it only (not shaped like a pop-up: maximised, full screen, off the work area)
    RecordNew,       // a new record with status 0
    RecordAgain,     // a new handle of a recorded window
    FollowChanged,   // a recorded window of this run changed its size, class or path: re-key its record
    DropStale,       // its record has neither a decision nor a valid class or program any more
};

struct WindowDecision {
    WindowAction action = WindowAction::Ignore;
    // The record acted on: the matching one, or for FollowChanged the one that changes.
    uint64_t record = 0;
    // The matching record's class or program is excluded now but the user decided on it:
    // the decision stays, the record dialog no longer lists it.
    bool clearRecordCount = false;
};

// The window as seen now: its snapshot (whose handle list holds hwnd), its identity hash
// and the information of its nearest monitor (null when unavailable).
struct WindowFacts {
    const WndInfo& window;
    uint64_t hash;
    HWND hwnd;
    const MONITORINFO* monitor;
};

WindowDecision DecideWindow(const WindowFacts& facts, const std::vector<BlockRecord>& records,
                            const StartupConfig& config, bool recording);

}  // namespace winhush::monitor
