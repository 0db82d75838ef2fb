// Turns an offered pop-up rule into the record the user accepts or declines: the identity a
// snapshot of such a window would get, so an accepted rule blocks the live window.
#pragma once

#include "monitor/BlockRecord.h"
#include "rules/PopupRule.h"

namespace winhush::rules {

// A record with status 0 and no picture, recorded and blocked as of now; sortKey is 1 for a
// newly seen program, else 0.
monitor::BlockRecord CandidateFromRule(const PopupRule& rule);

}  // namespace winhush::rules
