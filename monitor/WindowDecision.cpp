#include "monitor/WindowDecision.h"

#include <algorithm>

#include "monitor/Candidate.h"

namespace winhush::monitor {

namespace {

bool Holds(const WndInfo& window, HWND hwnd) {
    return std::find(window.hwnds.begin(), window.hwnds.end(), hwnd) != window.hwnds.end();
}

bool SharesAny(const WndInfo& window, const std::vector<HWND>& handles) {
    return std::any_of(window.hwnds.begin(), window.hwnds.end(),
                       [&](HWND h) { return std::find(handles.begin(), handles.end(), h) != handles.end(); });
}

}  // namespace

WindowDecision DecideWindow(const WindowFacts& facts, const std::vector<BlockRecord>& records,
                            const StartupConfig& config, bool recording) {
    WindowDecision decision;
    const WndInfo& s = facts.window;
    auto match = std::find_if(records.begin(), records.end(), [&](const BlockRecord& r) { return r.hash == facts.hash; });
    if (match != records.end()) {
        const BlockRecord& m = *match;
        decision.record = m.hash;
        const bool known = Holds(m.window, facts.hwnd);
        // The stored snapshot is judged: its class or program may have been excluded since.
        if (!known && !IsCandidateOn(m.window, config, kCheckRevalidate, nullptr)) {
            if (m.status != kStatusBlock && m.status != kStatusAllowed) {
                decision.action = WindowAction::DropStale;
                return decision;
            }
            decision.clearRecordCount = m.recordCnt != 0;
        }
        if (m.status == kStatusBlock) {
            decision.action = IsCandidateOn(s, config, kCheckCounted, facts.monitor) ? WindowAction::BlockCounted
                                                                                      : WindowAction::BlockUncounted;
            return decision;
        }
        if (!known && recording && IsCandidateOn(s, config, kCheckRecord, facts.monitor))
            decision.action = WindowAction::RecordAgain;
        return decision;
    }

    if (!recording || !IsCandidateOn(s, config, kCheckChanged, facts.monitor)) return decision;
    // Only a record without a decision follows its window: a decision stays with the
    // identity it was made for, or the next window of the original size would get through.
    auto changed = std::find_if(records.begin(), records.end(), [&](const BlockRecord& c) {
        return c.status == kStatusRecorded && c.window.pid == s.pid && SharesAny(c.window, s.hwnds);
    });
    if (changed != records.end()) {
        decision.action = WindowAction::FollowChanged;
        decision.record = changed->hash;
    } else if (IsCandidateOn(s, config, kCheckRecord, facts.monitor)) {
        decision.action = WindowAction::RecordNew;
        decision.record = facts.hash;
    }
    return decision;
}

}  // namespace winhush::monitor
