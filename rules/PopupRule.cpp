#include "rules/PopupRule.h"

#include <mutex>
#include <set>
#include <optional>

#include "base/Handles.h"
#include "base/Json.h"
#include "base/Strings.h"
#include "rules/AutoCheck.h"
#include "rules/InstallLocation.h"
#include "rules/RuleDatabase.h"
#include "rules/SoftwareInventory.h"
#include "settings/SettingsStore.h"

namespace winhush::rules {

namespace {

// Tags this run has written already: later sightings stay new but need no registry trip.
struct AnnouncedTags {
    std::mutex mutex;
    std::set<std::wstring> tags;
};
AnnouncedTags& Announced() {
    static AnnouncedTags announced;
    return announced;
}

bool FitsInt32(json_int_t value) { return value >= INT32_MIN && value <= INT32_MAX; }

bool StopRequested(CAutoCheck* owner) {
    return owner && owner->stopRequested.load(std::memory_order_relaxed);
}

// The inventory prepared for "name_reg" searches. Every registry path is an uninstall key's
// path, "\\" and the entry's subkey, and the few uninstall keys are shared by hundreds of
// entries: a text that occurs in an entry's uninstall key occurs in all of that key's
// entries, and one that does not can only occur in the tail that the subkey adds, together
// with the last characters before it. Same answers as searching each path whole.
class InventoryIndex {
public:
    explicit InventoryIndex(const std::vector<SoftwareEntry>& entries) : entries_(entries) {
        groupOf_.reserve(entries.size());
        for (const SoftwareEntry& entry : entries) {
            const size_t slash = entry.keyPath.rfind(L'\\');
            const std::wstring_view parent =
                slash == std::wstring::npos ? std::wstring_view() : std::wstring_view(entry.keyPath).substr(0, slash + 1);
            size_t group = 0;
            while (group < parents_.size() && parents_[group] != parent) ++group;
            if (group == parents_.size()) parents_.push_back(parent);
            groupOf_.push_back(group);
        }
    }

    // The entries whose registry path contains text (case-sensitive), in inventory order.
    void Find(const std::wstring& text, std::vector<const SoftwareEntry*>& out) const {
        out.clear();
        std::vector<char> inParent(parents_.size());
        for (size_t g = 0; g < parents_.size(); ++g) inParent[g] = parents_[g].find(text) != std::wstring_view::npos;
        for (size_t i = 0; i < entries_.size(); ++i) {
            const std::wstring& path = entries_[i].keyPath;
            bool found = inParent[groupOf_[i]] != 0;
            if (!found) {
                const size_t parent = parents_[groupOf_[i]].size();
                const size_t from = parent >= text.size() ? parent - text.size() + 1 : 0;
                found = path.find(text, from) != std::wstring::npos;
            }
            if (found) out.push_back(&entries_[i]);
        }
    }

private:
    const std::vector<SoftwareEntry>& entries_;
    std::vector<std::wstring_view> parents_;  // views into entries_' paths
    std::vector<size_t> groupOf_;
};

}  // namespace

int32_t PositionFromName(std::string_view pos) {
    if (pos == "left_top") return 1;
    if (pos == "left_bottom") return 2;
    if (pos == "center") return 3;
    if (pos == "right_top") return 4;
    if (pos == "right_bottom") return 5;
    return 0;
}

bool IsNewProgram(const std::wstring& nameReg) {
    const std::wstring tag = L"[" + nameReg + L"]";
    if (settings::ReadInstSoftware().find(tag) != std::wstring::npos) return false;
    AnnouncedTags& announced = Announced();
    std::lock_guard lock(announced.mutex);
    if (announced.tags.count(tag)) return true;

    // Announce it in the registry; the kept text stays as it was, so within this run the
    // program stays new and every load of this run offers it the same way.
    UniqueHKey key = settings::OpenSettingsKey(true);
    if (settings::AppendInstSoftware(key.get(), nameReg)) announced.tags.insert(tag);
    return true;
}

void ResetNewProgramCache() {
    settings::ResetInstSoftwareCache();
    AnnouncedTags& announced = Announced();
    std::lock_guard lock(announced.mutex);
    announced.tags.clear();
}

namespace {

// Two uninstall entries of one program: when the other one does not lead to a second
// existing folder, this is the only installation and needs no suffix.
bool OtherLeadsNowhereElse(const SoftwareEntry& other, json_t* uninstReg, const std::wstring& location,
                           const std::wstring& unresolvedLocation) {
    std::wstring otherLocation;
    if (!ResolveInstallLocation(other, uninstReg, otherLocation) || otherLocation.empty() ||
        otherLocation == location || otherLocation == unresolvedLocation)
        return true;
    return !ResolveWildcardPath(otherLocation) || otherLocation == location;
}

// One rule per well-formed pop-up of a program found at `lookup`. `wildcard` stays set for
// the program's later installations once a '*' has been seen.
void AppendPopupRules(json_t* popups, const std::wstring& lookup, const SoftwareEntry& match, bool single,
                      const std::wstring& nameReg, bool& wildcard, std::vector<PopupRule>& rules) {
    const size_t popupCount = json_is_array(popups) ? json_array_size(popups) : 0;
    for (size_t p = 0; p < popupCount; ++p) {
        json_t* popup = json_array_get(popups, p);
        if (!popup) break;
        const char* displayName = nullptr;
        const char* file = nullptr;
        const char* className = nullptr;
        const char* pos = nullptr;
        json_int_t width = 0;
        json_int_t height = 0;
        // Read whole and checked: a size of 2^32 + 300 is no size, not 300.
        if (!json_is_object(popup) ||
            json_unpack(popup, "{s:s, s:s, s:s, s:s, s:I, s:I}", "display_name", &displayName, "file", &file,
                        "class", &className, "pos", &pos, "width", &width, "height", &height) != 0 ||
            !FitsInt32(width) || !FitsInt32(height))
            continue;
        PopupRule rule;
        // The pop-up's own part upper case, so that a '*' in it matches names in any
        // case; the folder as its source writes it, which the file system finds
        // quickly (Wine has to match an upper-cased path folder by folder). The
        // record's path is upper case as a whole, also where a '*' stood for a
        // folder, whose name the walk brings back as stored.
        rule.filePath = lookup + ToUpper(Utf8ToWide(file));
        if (!wildcard && rule.filePath.find(L'*') != std::wstring::npos) wildcard = true;
        if (!ResolveWildcardPath(rule.filePath)) continue;
        rule.filePath = ToUpper(rule.filePath);
        rule.displayName = Utf8ToWide(displayName);
        if (!single) rule.displayName += match.fromWow6432Node ? kSuffix32Bit : kSuffix64Bit;
        rule.className = Utf8ToWide(className);
        rule.width = static_cast<int32_t>(width);
        rule.height = static_cast<int32_t>(height);
        rule.isNew = IsNewProgram(nameReg) ? 1 : 0;
        rule.hasWildcard = wildcard ? 1 : 0;
        rule.position = PositionFromName(pos);
        rules.push_back(std::move(rule));
    }
}

}  // namespace

int LoadPopupRulesFrom(json_t* inRule, CAutoCheck* owner, std::vector<PopupRule>& rules) {
    rules.clear();
    if (!json_is_array(inRule)) return 0;

    std::vector<SoftwareEntry> installed;
    CollectInstalledSoftware(installed);
    const InventoryIndex index(installed);
    std::vector<const SoftwareEntry*> matches;

    const size_t programCount = json_array_size(inRule);
    for (size_t programIndex = 0; programIndex < programCount; ++programIndex) {
        if (StopRequested(owner)) break;
        json_t* program = json_array_get(inRule, programIndex);
        if (!program) break;
        // The checks of the unpack formats "{s:s, s:o, s:o}" and "{s:s}" made by hand: every
        // element of a database of thousands passes here, and an unpack builds and frees a
        // table of the object's keys each time.
        json_t* uninstReg = json_object_get(program, "uninst_reg");
        json_t* popups = json_object_get(program, "popup");
        if (!json_is_string(json_object_get(program, "name")) || !uninstReg || !popups) continue;
        json_t* nameRegValue = json_object_get(uninstReg, "name_reg");
        if (!json_is_string(nameRegValue)) continue;
        const std::wstring nameReg = Utf8ToWide(json_string_value(nameRegValue));
        if (nameReg.empty()) continue;

        index.Find(nameReg, matches);
        if (matches.empty()) continue;

        bool single = false;
        bool wildcard = false;
        for (size_t m = 0; m < matches.size() && !single; ++m) {
            std::wstring location;
            std::wstring lookup;  // location in its source's letter case, for the file system
            if (!ResolveInstallLocation(*matches[m], uninstReg, location, lookup) || location.empty()) continue;
            const std::wstring unresolvedLocation = location;
            if (location.find(L'*') != std::wstring::npos) {
                wildcard = true;
                if (!ResolveWildcardPath(location)) continue;
                lookup = location;
            } else if (!ResolveWildcardPath(lookup)) {
                continue;
            }

            if (matches.size() == 1) {
                single = true;
            } else if (matches.size() == 2) {
                single = OtherLeadsNowhereElse(*matches[m == 0 ? 1 : 0], uninstReg, location, unresolvedLocation);
            }
            AppendPopupRules(popups, lookup, *matches[m], single, nameReg, wildcard, rules);
        }
    }
    return 1;
}

int LoadPopupRules(CAutoCheck* owner, std::vector<PopupRule>& rules) {
    rules.clear();
    UniqueJson inRule = GetRuleSection(kSectionInRule);
    if (!json_is_array(inRule.get())) return 0;
    return LoadPopupRulesFrom(inRule.get(), owner, rules);
}

}  // namespace winhush::rules
