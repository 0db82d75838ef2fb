// The once-per-run automatic check: on its own thread, load the pop-up rules of the software
// installed here and carry block decisions over to executables that a wildcard rule now
// finds under a new name. The UI polls the done flag and then takes copies of the result.
//
// Hand-over: the worker writes rules, then publishes done with release ordering; readers
// load done with acquire ordering before they touch rules. The thread handle is taken out
// of `thread` with one atomic exchange by whoever closes it (the worker at its end or
// shutdown), so it is closed exactly once.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "rules/PopupRule.h"

namespace winhush::monitor {
class CWndMgr;
}

namespace winhush::rules {

class CAutoCheck {
public:
    std::atomic<HANDLE> thread{nullptr};
    std::atomic<uint32_t> done{0};
    std::vector<PopupRule> rules;  // written by the worker only before done becomes 1
    // Set by shutdown: the worker stops reading the database, between programs, and skips
    // the carry-over.
    std::atomic<bool> stopRequested{false};
    // Where records are carried over; the program's window monitor when null.
    monitor::CWndMgr* recordStore = nullptr;
};

// The program's check object.
CAutoCheck& AutoCheck();

// Starts the worker unless one is running (clears done first). False when the thread could
// not be created (done then stays 0: the UI keeps waiting, as for a check that never ends).
bool StartAutoCheck(CAutoCheck& check = AutoCheck());

// Thread procedure; parameter is the CAutoCheck. Returns 0.
DWORD WINAPI AutoCheckThread(LPVOID check);

// 0 while the check runs; afterwards appends a copy of every rule to out and returns 1.
int GetAutoCheckResult(std::vector<PopupRule>& out, CAutoCheck& check = AutoCheck());

// Shutdown: sets the stop flag, which the worker obeys wherever it is (also inside parsing
// the rule database), waits up to 1000 ms for it, ends it by force only after that, closes
// the handle and sets done. True when the worker ended by itself.
bool StopAutoCheck(CAutoCheck& check = AutoCheck());

// For every wildcard rule, moves block records (status 1 or 2) of the same pop-up whose
// executable was renamed inside the same folder to the rule's current path.
void CarryOverWildcardRecords(const std::vector<PopupRule>& rules, monitor::CWndMgr& store);

// Same folder (exact) and names that share more than 3 leading characters or have the
// same length.
bool SimilarPath(const std::wstring& a, const std::wstring& b);

}  // namespace winhush::rules
