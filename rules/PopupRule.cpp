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

bool StopRequested(CAutoCheck* owner) {
    return owner && owner->stopRequested.load(std::memory_order_relaxed);
}

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

int LoadPopupRulesFrom(json_t* inRule, CAutoCheck* owner, std::vector<PopupRule>& rules) {
    rules.clear();
    if (!json_is_array(inRule)) return 0;

    std::vector<SoftwareEntry> installed;
    CollectInstalledSoftware(installed);

    const size_t programCount = json_array_size(inRule);
    for (size_t programIndex = 0; programIndex < programCount; ++programIndex) {
        if (StopRequested(owner)) break;
        json_t* program = json_array_get(inRule, programIndex);
        if (!program) break;
        const char* name = nullptr;
        json_t* uninstReg = nullptr;
        json_t* popups = nullptr;
        if (json_unpack(program, "{s:s, s:o, s:o}", "name", &name, "uninst_reg", &uninstReg, "popup", &popups) != 0)
            continue;
        const char* nameRegUtf8 = nullptr;
        if (json_unpack(uninstReg, "{s:s}", "name_reg", &nameRegUtf8) != 0) continue;
        const std::wstring nameReg = Utf8ToWide(nameRegUtf8);
        if (nameReg.empty()) continue;

        std::vector<const SoftwareEntry*> matches;
        for (const auto& entry : installed) {
            if (entry.keyPath.find(nameReg) != std::wstring::npos) matches.push_back(&entry);
        }
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
                // Two uninstall entries of one program: when the other one does not lead to a
                // second existing folder, this is the only installation and needs no suffix.
                std::wstring other;
                if (!ResolveInstallLocation(*matches[m == 0 ? 1 : 0], uninstReg, other) || other.empty() ||
                    other == location || other == unresolvedLocation) {
                    single = true;
                } else if (!ResolveWildcardPath(other) || other == location) {
                    single = true;
                }
            }

            const size_t popupCount = json_is_array(popups) ? json_array_size(popups) : 0;
            for (size_t p = 0; p < popupCount; ++p) {
                json_t* popup = json_array_get(popups, p);
                if (!popup) break;
                const char* displayName = nullptr;
                const char* file = nullptr;
                const char* className = nullptr;
                const char* pos = nullptr;
                int width = 0;
                int height = 0;
                if (!json_is_object(popup) ||
                    json_unpack(popup, "{s:s, s:s, s:s, s:s, s:i, s:i}", "display_name", &displayName, "file", &file,
                                "class", &className, "pos", &pos, "width", &width, "height", &height) != 0)
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
                if (!single) rule.displayName += matches[m]->fromWow6432Node ? kSuffix32Bit : kSuffix64Bit;
                rule.className = Utf8ToWide(className);
                rule.width = width;
                rule.height = height;
                rule.isNew = IsNewProgram(nameReg) ? 1 : 0;
                rule.hasWildcard = wildcard ? 1 : 0;
                rule.position = PositionFromName(pos);
                rules.push_back(std::move(rule));
            }
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
