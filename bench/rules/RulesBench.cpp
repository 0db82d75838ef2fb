// Times the rule load against a large database: 2,000 programs with 3 pop-ups each, checked
// against 300 installed programs of which 150 are described by the database. Uninstall
// entries, install folders and the database are made here and removed afterwards; the
// suite's "DataPath" and the "InstSoftware" setting are put back as they were.
//
//   rules_bench.exe [rounds]      (default 5)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/Json.h"
#include "base/Strings.h"
#include "rules/PopupRule.h"
#include "rules/RuleContainer.h"
#include "rules/RuleDatabase.h"
#include "rules/SoftwareInventory.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

constexpr int kPrograms = 2000;
constexpr int kInstalled = 300;
constexpr double kLoadGoalMs = 300.0;
constexpr wchar_t kSuiteAppKey[] = L"SOFTWARE\\Zelvane\\Trevisk\\app";
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Zelvane\\Winhush";

std::string Escaped(const std::wstring& text) {
    std::string out;
    for (char c : WideToUtf8(text)) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

struct Stats {
    double min = 0, median = 0, max = 0;
};
template <typename F>
Stats Measure(int rounds, F&& body) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        auto start = std::chrono::steady_clock::now();
        body(i);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}
void Print(const char* what, const Stats& s) {
    std::printf("%-52s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", what, s.min, s.median, s.max);
}

// Installed programs under `prefix` with their pop-up files; returns their uninstall keys.
std::vector<std::wstring> InstallPrograms(const t::ScopedTempDir& temp, const std::wstring& prefix) {
    std::vector<std::wstring> created;
    for (int i = 0; i < kInstalled; ++i) {
        const std::wstring name = prefix + FormatW(L"%03d", i);
        const std::wstring key = std::wstring(kNativeUninstallPath) + L"\\" + name;
        const std::wstring folder = temp / (L"Programs\\" + name);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* file : {L"pop1.exe", L"pop2.exe", L"pop3_v7.exe"}) t::WriteFileBytes(folder + L"\\" + file, "MZ");
        t::RegSetString(HKEY_LOCAL_MACHINE, key, L"DisplayName", L"Bench program " + name);
        t::RegSetString(HKEY_LOCAL_MACHINE, key, L"UninstallString", L"\"" + folder + L"\\uninst.exe\" /S");
        t::RegSetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", folder);
        created.push_back(key);
    }
    return created;
}

// The rule section: the even installed programs are described by it, the odd ones are not,
// and the rest of its programs are not installed.
std::string BuildRuleSection(const t::ScopedTempDir& temp, const std::wstring& prefix) {
    std::string programs;
    for (int p = 0; p < kPrograms; ++p) {
        std::string nameReg;
        std::string location = R"("location": "InstallLocation")";
        if (p < kInstalled && p % 2 == 0) {
            nameReg = WideToUtf8(prefix + FormatW(L"%03d", p));
            if (p % 3 == 1) {
                location = R"("location_obj": {"find_string": "UninstallString", "find_value": "\\uninst", "back_level": 0})";
            } else if (p % 3 == 2) {
                location = R"("path": ")" + Escaped(temp / (L"Programs\\" + prefix + FormatW(L"%03d", p))) + "\"";
            }
        } else {
            nameReg = "BenchNotInstalled" + std::to_string(p);
        }
        std::string popups;
        for (int k = 1; k <= 3; ++k) {
            popups += std::string(k > 1 ? ", " : "") + R"({"display_name": "Pop-up )" + std::to_string(k) +
                      R"( of program )" + std::to_string(p) + R"(", "file": ")" + (k == 3 ? "pop3*.exe" : "pop" + std::to_string(k) + ".exe") +
                      R"(", "class": "BenchAd", "pos": "right_bottom", "width": 300, "height": 200})";
        }
        programs += std::string(p ? ",\n" : "") + R"({"name": "Program )" + std::to_string(p) +
                    R"(", "uninst_reg": {"name_reg": ")" + nameReg + R"(", )" + location + R"(}, "popup": [)" + popups + "]}";
    }
    return R"({"in_rule": [)" + programs + R"(], "white_list": {"system_class": [], "common_class": []}})";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    t::ScopedTempDir temp;
    const std::optional<std::wstring> oldDataPath = t::RegGetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
    DWORD oldInstType = 0;
    const std::optional<std::wstring> oldInst =
        t::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware", &oldInstType);
    ::CreateDirectoryW((temp / L"db").c_str(), nullptr);
    ::CreateDirectoryW((temp / L"Programs").c_str(), nullptr);
    t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", temp.path());

    const std::wstring prefix = FormatW(L"WinhushBench%lu_", ::GetCurrentProcessId());
    const std::vector<std::wstring> created = InstallPrograms(temp, prefix);
    const std::string section = BuildRuleSection(temp, prefix);
    const std::string plain = R"({"winhsh": )" + section + "}";
    const std::wstring databasePath = temp / L"db\\winhsh.db";
    t::WriteFileBytes(databasePath, plain);

    std::vector<SoftwareEntry> inventory;
    CollectInstalledSoftware(inventory);
    std::printf("database: %d programs x 3 pop-ups, %zu bytes of JSON; inventory: %zu entries (%d made here)\n",
                kPrograms, plain.size(), inventory.size(), kInstalled);

    Print("CollectInstalledSoftware", Measure(rounds, [](int) {
              std::vector<SoftwareEntry> list;
              CollectInstalledSoftware(list);
          }));
    Print("GetRuleSection(in_rule), plain JSON", Measure(rounds, [](int) { UniqueJson s = GetRuleSection(0); }));

    size_t found = 0;
    t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware");
    ResetNewProgramCache();
    Print("LoadPopupRules, plain JSON, first load (announces)", Measure(1, [&](int) {
              std::vector<PopupRule> rules;
              LoadPopupRules(nullptr, rules);
              found = rules.size();
          }));
    std::printf("rules found: %zu (expected %d)\n", found, kInstalled / 2 * 3);
    const Stats plainLoad = Measure(rounds, [&](int) {
        std::vector<PopupRule> rules;
        LoadPopupRules(nullptr, rules);
        found = rules.size();
    });
    Print("LoadPopupRules, plain JSON", plainLoad);
    std::printf("goal: LoadPopupRules median <= %.0f ms: %s\n", kLoadGoalMs, plainLoad.median <= kLoadGoalMs ? "met" : "MISSED");

    t::WriteFileBytes(databasePath, BuildContainer({{"winhsh", section}}).value_or(""));
    Print("GetRuleSection(in_rule), container", Measure(rounds, [](int) { UniqueJson s = GetRuleSection(0); }));
    Print("LoadPopupRules, container", Measure(rounds, [&](int) {
              std::vector<PopupRule> rules;
              LoadPopupRules(nullptr, rules);
              found = rules.size();
          }));
    std::printf("rules found from the container: %zu\n", found);

    PROCESS_MEMORY_COUNTERS memory = {sizeof(memory)};
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory)))
        std::printf("peak working set: %.1f MB\n", memory.PeakWorkingSetSize / (1024.0 * 1024.0));

    for (const auto& key : created) t::RegDeleteTreeAt(HKEY_LOCAL_MACHINE, key);
    if (oldDataPath) {
        t::RegSetString(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath", *oldDataPath);
    } else {
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSuiteAppKey, L"DataPath");
    }
    if (oldInst) {
        t::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware", *oldInst, oldInstType);
    } else {
        t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, L"InstSoftware");
    }
    return found == static_cast<size_t>(kInstalled / 2 * 3) ? 0 : 1;
}
