#include "rules/RuleCandidate.h"

#include <ctime>

#include "monitor/WndInfo.h"

namespace winhush::rules {

monitor::BlockRecord CandidateFromRule(const PopupRule& rule) {
    monitor::BlockRecord record;
    record.window.path = rule.filePath;
    record.window.className = rule.className;
    record.window.rect = RECT{0, 0, rule.width, rule.height};
    record.window.pos = rule.position;
    record.hash = monitor::WindowKeyHash(rule.filePath.c_str(), rule.className.c_str(), rule.width, rule.height);
    record.name = rule.displayName;
    record.timeRecord = record.timeBlock = static_cast<int64_t>(std::time(nullptr));
    record.sortKey = rule.isNew ? 1 : 0;
    return record;
}

}  // namespace winhush::rules
