// Reading the rule database "db\winhsh.db" in the suite's data folder, in either of its two
// forms (a rule container or a plain UTF-8 JSON text, with or without a byte-order mark),
// and handing out its sections. The file is read afresh on every call; nothing is cached.
// Every failure gives null: callers then see no rules and empty class lists.
#pragma once

#include <jansson.h>

#include <atomic>
#include <string>
#include <string_view>

#include "base/Json.h"

namespace winhush {
struct StartupConfig;
}

namespace winhush::rules {

enum RuleSectionKind : int {
    kSectionInRule = 0,     // "winhsh" / "in_rule": the pop-up rules of known programs
    kSectionWhiteList = 1,  // "winhsh" / "white_list": window class lists
};

// While one is alive on a thread, every read of the rule database on that thread gives up
// (returns null) soon after the flag is set, wherever it is: between container entries or
// in the middle of parsing a large text. Shutdown must never have to end a thread by force
// while it holds the heap.
class ScopedRuleReadStop {
public:
    explicit ScopedRuleReadStop(const std::atomic<bool>* flag);
    ~ScopedRuleReadStop();
    ScopedRuleReadStop(const ScopedRuleReadStop&) = delete;
    ScopedRuleReadStop& operator=(const ScopedRuleReadStop&) = delete;

private:
    const std::atomic<bool>* previous_;
};

// A new reference to a section of the database, or null (no data path, unreadable file, no
// "winhsh" object, no such member). The caller checks the type.
UniqueJson GetRuleSection(int kind);

// Same, from a given database file (path in UTF-16); GetRuleSection uses it with the suite's path.
UniqueJson GetRuleSectionFrom(const std::wstring& databasePath, int kind);

// The whole document of a database file (path in UTF-8), or null. A container yields an
// object with one member per named entry, or an array when its entries are unnamed.
UniqueJson LoadRuleDocument(std::string_view utf8Path);

// Walks member names separated by '/' or '\' (runs count as one); a segment "#<n>" (n in C
// notation: decimal, 0x hex, leading-0 octal) indexes an array. Borrowed reference or null;
// an empty path gives root.
json_t* JsonPathGet(json_t* root, std::string_view path);

// Appends the strings of "system_class" and "common_class" of the "white_list" section to the
// configuration's class lists; anything unreadable leaves them as they are.
void FillStartupClassLists(StartupConfig& config);

}  // namespace winhush::rules
