// Record files and rule databases damaged in every way an unlucky computer manages, read by
// the loaders in process. Nothing may crash or hang, and every record that is intact in a
// damaged record file must come back. The figures (inputs tried, records lost) are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "base/Json.h"
#include "monitor/BlockRecord.h"
#include "rules/PopupRule.h"
#include "rules/RuleContainer.h"
#include "rules/RuleDatabase.h"

namespace winhush {
namespace {

using monitor::BlockRecord;
using monitor::LoadRecordFile;
using monitor::SerializeRecords;
using test::ScopedTempDir;
using test::WriteFileBytes;

constexpr int kRecords = 40;

std::vector<BlockRecord> GoodRecords() {
    std::vector<BlockRecord> records(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        BlockRecord& r = records[i];
        r.window.path = L"C:\\PROGRAM FILES\\厂商 " + std::to_wstring(i) + L"\\POP.EXE";
        r.window.caption = i % 3 ? L"限时 \"优惠\" " + std::to_wstring(i) : L"a\\b/c\t{[,]}";
        r.window.className = L"AdWnd" + std::to_wstring(i);
        r.window.rect = {i, -i, 300 + i, 200};
        r.window.style = 0x94000000u;
        r.hash = 0x9E3779B97F4A7C15ull * (i + 1);
        r.name = L"POP.EXE";
        r.imagePath = i % 2 ? L"" : L"C:\\DATA\\POP" + std::to_wstring(i) + L".jpg";
        r.status = i % 3;
        r.blockCnt = static_cast<uint32_t>(i) * 1000000000u;
        r.recordCnt = i;
        r.addType = i % 4;
    }
    return records;
}

// Where each record's text lies in the serialised file: [begin, end).
std::vector<std::pair<size_t, size_t>> RecordSpans(const std::string& text) {
    std::vector<std::pair<size_t, size_t>> spans;
    size_t at = 0;
    while ((at = text.find("{\"wndInfo\"", at)) != std::string::npos) {
        if (!spans.empty()) spans.back().second = text.rfind('}', at) + 1;
        spans.push_back({at, text.size() - 1});
        ++at;
    }
    return spans;
}

struct Tally {
    int inputs = 0;
    int lost = 0;  // records intact in the input that did not come back
    int expected = 0;
};

// Loads text and counts which of the expected hashes are missing.
void Check(const ScopedTempDir& dir, const std::string& text, const std::set<uint64_t>& expected, Tally& tally,
           const char* what) {
    ++tally.inputs;
    tally.expected += static_cast<int>(expected.size());
    ASSERT_TRUE(WriteFileBytes(dir / L"WndMgrInfo.log", text));
    std::vector<BlockRecord> loaded;
    LoadRecordFile(dir / L"WndMgrInfo.log", loaded);
    std::set<uint64_t> found;
    for (const BlockRecord& r : loaded) found.insert(r.hash);
    for (uint64_t hash : expected) {
        if (!found.count(hash)) {
            ++tally.lost;
            ADD_FAILURE() << what << ": an intact record was lost, hash " << hash;
        }
    }
}

std::set<uint64_t> HashesExcept(const std::vector<BlockRecord>& records, int skipped) {
    std::set<uint64_t> hashes;
    for (int i = 0; i < static_cast<int>(records.size()); ++i)
        if (i != skipped) hashes.insert(records[i].hash);
    return hashes;
}

// The text with the value of the first `key` member from `from` on (a string, an object or a
// plain value) replaced by `value`.
std::string WithMemberValue(std::string text, size_t from, const char* key, const char* value) {
    size_t at = text.find(key, from) + std::strlen(key);
    size_t end = at;
    if (text[at] == '"') {
        end = at + 1;
        while (text[end] != '"' || text[end - 1] == '\\') ++end;
        ++end;
    } else if (text[at] == '{') {
        end = text.find('}', at) + 1;
    } else {
        while (text[end] != ',' && text[end] != '}') ++end;
    }
    text.replace(at, end - at, value);
    return text;
}

TEST(DamagedRecordFiles, EveryIntactRecordComesBack) {
    ScopedTempDir dir;
    const std::vector<BlockRecord> records = GoodRecords();
    const std::string text = SerializeRecords(records);
    const auto spans = RecordSpans(text);
    ASSERT_EQ(spans.size(), static_cast<size_t>(kRecords));
    std::mt19937 random(20261208);
    Tally truncated, changed, nested, mistyped, garbage;

    // Cut anywhere: every record that ends before the cut is intact.
    for (int i = 0; i < 300; ++i) {
        size_t cut = text.size() * i / 300;
        std::set<uint64_t> intact;
        for (int r = 0; r < kRecords; ++r)
            if (spans[r].second <= cut) intact.insert(records[r].hash);
        Check(dir, text.substr(0, cut), intact, truncated, "truncated");
    }

    // One to four random bytes changed inside one record: every other record is intact.
    for (int i = 0; i < 400; ++i) {
        int victim = static_cast<int>(random() % kRecords);
        std::string damaged = text;
        int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            size_t at = spans[victim].first + random() % (spans[victim].second - spans[victim].first);
            damaged[at] = static_cast<char>(random() % 256);
        }
        Check(dir, damaged, HashesExcept(records, victim), changed, "random bytes");
    }

    // A value replaced by deep nesting, of arrays or objects, closed or not.
    for (int i = 0; i < 40; ++i) {
        int victim = static_cast<int>(random() % kRecords);
        size_t depth = 1000 + random() % 200000;
        std::string deep = i % 2 ? std::string(depth, '[') + std::string(i % 4 == 1 ? depth : 0, ']')
                                 : std::string(depth, '{');
        std::string damaged = text;
        size_t caption = damaged.find("\"caption\": ", spans[victim].first) + 11;
        size_t valueEnd = damaged.find(", \"class\"", caption);
        damaged.replace(caption, valueEnd - caption, deep);
        Check(dir, damaged, HashesExcept(records, victim), nested, "nested");
    }

    // Each member of one record given a value of another type or out of its range.
    const char* keys[] = {"\"path\": ",       "\"caption\": ",    "\"class\": ",    "\"rect.left\": ",
                          "\"rect.top\": ",   "\"rect.right\": ", "\"rect.bottom\": ", "\"style\": ",
                          "\"pos\": ",        "\"hash\": ",       "\"name\": ",     "\"imagePath\": ",
                          "\"status\": ",     "\"timeRecord\": ", "\"timeBlock\": ", "\"blockCnt\": ",
                          "\"recordCnt\": ",  "\"addType\": ",    "\"wndInfo\": "};
    const char* values[] = {"\"text\"", "17", "1.5", "null", "true", "[]", "{}", "99999999999999999999", "4294967297"};
    for (const char* key : keys) {
        for (const char* value : values) {
            int victim = static_cast<int>(random() % kRecords);
            std::string damaged = WithMemberValue(text, spans[victim].first, key, value);
            Check(dir, damaged, HashesExcept(records, victim), mistyped, "mistyped");
        }
    }

    // Files that were never record files.
    for (int i = 0; i < 100; ++i) {
        std::string bytes(random() % 65536, '\0');
        for (char& c : bytes) c = static_cast<char>(i % 2 ? random() % 256 : "[]{},:\"\\0123456789-e.tfn "[random() % 25]);
        Check(dir, bytes, {}, garbage, "random file");
    }

    Tally total;
    for (const Tally* t : {&truncated, &changed, &nested, &mistyped, &garbage}) {
        total.inputs += t->inputs;
        total.lost += t->lost;
        total.expected += t->expected;
    }
    std::printf("damaged record files: %d inputs (%d truncated, %d with random bytes, %d nested, %d mistyped, %d "
                "random), 0 crashes, %d of %d intact records lost\n",
                total.inputs, truncated.inputs, changed.inputs, nested.inputs, mistyped.inputs, garbage.inputs,
                total.lost, total.expected);
    EXPECT_EQ(total.lost, 0);
}

std::string RuleDocument() {
    std::string programs;
    for (int i = 0; i < 30; ++i) {
        programs += std::string(i ? ", " : "") + R"({"name": "p)" + std::to_string(i) +
                    R"(", "uninst_reg": {"name_reg": "WinhushDamaged)" + std::to_string(i) +
                    R"(", "location": "InstallDir", "location_obj": {"find_string": "a", "find_value": "b", "back_level": 1},
                      "path": {"xp": "%CSIDL_WINDOWS%", "later": "%CSIDL_SYSTEM%\\x"}},
                      "popup": [{"display_name": "广告", "file": "a*.exe", "class": "c", "pos": "center",
                                 "width": 300, "height": 200}]})";
    }
    return R"({"winhsh": {"in_rule": [)" + programs +
           R"(], "white_list": {"system_class": ["Shell_TrayWnd", 1], "common_class": ["#32770"]}}})";
}

// Reads both sections and loads the pop-up rules from whatever came out.
void ReadDatabase(const std::wstring& path) {
    for (int kind : {rules::kSectionInRule, rules::kSectionWhiteList}) {
        UniqueJson section = rules::GetRuleSectionFrom(path, kind);
        if (kind == rules::kSectionInRule && json_is_array(section.get())) {
            std::vector<rules::PopupRule> loaded;
            rules::LoadPopupRulesFrom(section.get(), nullptr, loaded);
        }
    }
}

TEST(DamagedRuleDatabases, AreReadWithoutCrashingOrHanging) {
    ScopedTempDir dir;
    const std::wstring path = dir / L"winhsh.db";
    const std::string document = RuleDocument();
    std::optional<std::string> container =
        rules::BuildContainer({{"other", "[1, 2]"}, {"winhsh", document.substr(11, document.size() - 12)}});
    ASSERT_TRUE(container);
    std::mt19937 random(1208);
    int inputs = 0;
    const std::string* originals[] = {&document, &*container};
    for (const std::string* original : originals) {
        for (int i = 0; i < 150; ++i, ++inputs) {
            ASSERT_TRUE(WriteFileBytes(path, original->substr(0, original->size() * i / 150)));
            ReadDatabase(path);
        }
        for (int i = 0; i < 200; ++i, ++inputs) {
            std::string damaged = *original;
            for (int c = 0; c < 1 + i % 8; ++c) damaged[random() % damaged.size()] = static_cast<char>(random() % 256);
            ASSERT_TRUE(WriteFileBytes(path, damaged));
            ReadDatabase(path);
        }
    }
    // Nested far beyond any parser's stack, and every member of a program mistyped.
    for (const std::string& deep : {R"({"winhsh": {"in_rule": )" + std::string(300000, '[') + "]}}",
                                    R"({"winhsh": )" + std::string(300000, '{'),
                                    R"({"winhsh": {"in_rule": [)" + std::string(100000, '{') + "]}}"}) {
        ++inputs;
        ASSERT_TRUE(WriteFileBytes(path, deep));
        ReadDatabase(path);
    }
    const char* values[] = {"\"x\"", "-1", "4294967597", "1e308", "null", "[]", "{}", "[[[[[]]]]]"};
    for (const char* key : {"\"name\": ", "\"uninst_reg\": ", "\"name_reg\": ", "\"location\": ", "\"location_obj\": ",
                            "\"path\": ", "\"popup\": ", "\"display_name\": ", "\"file\": ", "\"width\": ",
                            "\"pos\": ", "\"in_rule\": ", "\"white_list\": ", "\"system_class\": "}) {
        for (const char* value : values) {
            ++inputs;
            std::string damaged = document;
            size_t at = damaged.find(key) + std::strlen(key);
            damaged.insert(at, std::string(value) + ", \"was\": ");
            ASSERT_TRUE(WriteFileBytes(path, damaged));
            ReadDatabase(path);
        }
    }
    std::printf("damaged rule databases: %d inputs (plain text and container), 0 crashes\n", inputs);
}

}  // namespace
}  // namespace winhush
