// The pop-up rules of the software installed here: the database's "in_rule" programs matched
// against the uninstall registry, their install folders resolved, and each pop-up turned
// into a PopupRule whose executable exists. Produced on the automatic check's thread.
#pragma once

#include <jansson.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winhush::rules {

class CAutoCheck;

struct PopupRule {
    std::wstring displayName;  // "display_name", with a bitness suffix for twice-installed programs
    std::wstring filePath;     // install folder + "file", wildcard resolved, upper case
    std::wstring className;    // "class", case kept
    int32_t position = 0;      // PositionClass code of "pos"
    int32_t width = 0;
    int32_t height = 0;
    uint32_t isNew = 0;        // the program's tag was not yet in "InstSoftware"
    uint32_t hasWildcard = 0;  // a '*' appeared in this program's location or in this or an earlier "file"
};

inline constexpr wchar_t kSuffix64Bit[] = L"(64位)";
inline constexpr wchar_t kSuffix32Bit[] = L"(32位)";

// "left_top" 1, "left_bottom" 2, "center" 3, "right_top" 4, "right_bottom" 5, else 0 (exact case).
int32_t PositionFromName(std::string_view pos);

// Clears rules and fills them from the database. 0 (rules empty) when the "in_rule" section is
// missing or not an array, else 1. owner may be null; when its stop is requested the walk
// ends early between programs, so shutdown rarely has to end the thread by force.
int LoadPopupRules(CAutoCheck* owner, std::vector<PopupRule>& rules);

// The same walk over a given "in_rule" value.
int LoadPopupRulesFrom(json_t* inRule, CAutoCheck* owner, std::vector<PopupRule>& rules);

// Whether the program tagged "[nameReg]" is seen for the first time: answered from a copy of
// "InstSoftware" kept for the whole run; a first sighting adds the tag to the registry value.
bool IsNewProgram(const std::wstring& nameReg);
// Forgets the kept copy (tests start each case from the registry).
void ResetNewProgramCache();

}  // namespace winhush::rules
