// acceptrules: accepts every pop-up the rule database offers for this computer, as a user
// would with the rule list's "add all", and stores the block decisions in the record file.
// The demo uses it before Winhush starts; Winhush must not be running (it owns the file).
//
//   acceptrules            prints one line per stored record and the count
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/Strings.h"
#include "monitor/WndMgr.h"
#include "rules/PopupRule.h"
#include "rules/RuleCandidate.h"

using namespace winhush;

int wmain() {
    std::vector<rules::PopupRule> offered;
    if (!rules::LoadPopupRules(nullptr, offered)) {
        std::fputs("acceptrules: no rule database or no rules in it\n", stderr);
        return 1;
    }
    monitor::CWndMgr& store = monitor::WndMgr();
    if (!store.Init() || store.logPath().empty()) {
        std::fputs("acceptrules: no data directory (is the suite's DataPath set?)\n", stderr);
        return 1;
    }
    int stored = 0;
    for (const rules::PopupRule& rule : offered) {
        monitor::BlockRecord record = rules::CandidateFromRule(rule);
        record.status = monitor::kStatusBlock;
        record.addType = monitor::kAddedFromRuleList;
        record.sortKey = 0;
        // A record the monitor already keeps for the window keeps its counts and picture.
        if (!store.AddDecision(record)) continue;
        ++stored;
        std::printf("accepted %s  %s  %dx%d\n", WideToUtf8(rule.displayName).c_str(), WideToUtf8(rule.filePath).c_str(),
                    rule.width, rule.height);
    }
    store.Stop();
    std::printf("acceptrules: %d record(s) in %s\n", stored, WideToUtf8(store.logPath()).c_str());
    return stored > 0 ? 0 : 1;
}
