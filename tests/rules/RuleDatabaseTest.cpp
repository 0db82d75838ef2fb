#include <gtest/gtest.h>

#include <jansson.h>

#include <chrono>
#include <cstring>
#include <random>

#include "RulesTestSupport.h"
#include "settings/StartupConfig.h"
#include "base/Strings.h"
#include "rules/RuleContainer.h"
#include "rules/RuleDatabase.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

constexpr char kProgramSection[] =
    R"({"in_rule": [{"name": "Foo", "uninst_reg": {"name_reg": "Foo"}, "popup": []}],
        "white_list": {"system_class": ["Shell_TrayWnd", "Progman"], "common_class": ["#32770"]}})";

std::string Dump(json_t* value) {
    if (!value) return "(null)";
    char* text = json_dumps(value, JSON_SORT_KEYS | JSON_COMPACT | JSON_ENCODE_ANY);
    std::string out = text ? text : "(undumpable)";
    free(text);
    return out;
}

std::string Container(const std::vector<ContainerInput>& entries) {
    std::optional<std::string> bytes = BuildContainer(entries);
    EXPECT_TRUE(bytes.has_value());
    return bytes.value_or("");
}

void PutU32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// Recomputes the checksum of the record at offset over its bytes 12..end, where end is the
// record's own length field clamped to the file: lets a test reach the length checks with
// an otherwise intact record.
void FixRecordCrc(std::string& bytes, size_t offset, size_t end) {
    end = std::min(end, bytes.size());
    if (offset + 12 > end) return;
    PutU32(bytes, offset + 4, Crc32(bytes.data() + offset + 12, end - offset - 12));
}

class RuleDatabase : public ::testing::Test {
protected:
    t::ScopedSuiteDataPath data;

    std::string Section(int kind) {
        UniqueJson section = GetRuleSection(kind);
        return Dump(section.get());
    }
    void ExpectNoSections(const char* why) {
        SCOPED_TRACE(why);
        EXPECT_EQ(Section(kSectionInRule), "(null)");
        EXPECT_EQ(Section(kSectionWhiteList), "(null)");
    }
};

TEST(RuleContainerFormat, ChecksumIsTheStandardCrc32) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(RuleContainerFormat, EntriesPresentTheDocumentedRecordLayout) {
    std::string bytes = Container({{"winhsh", "{}"}, {"", "[1]"}});
    ASSERT_EQ(bytes.size(), 16u + (14 + 6 + 2) + (14 + 0 + 3));
    EXPECT_EQ(bytes.substr(0, 4), "WHRC");
    // First record right after the 16-byte header.
    const size_t first = 16;
    EXPECT_EQ(bytes.substr(first, 4), "ENTR");
    EXPECT_EQ(static_cast<uint8_t>(bytes[first + 8]), 22);  // total length, little-endian
    EXPECT_EQ(bytes[first + 12], 6);                        // name length
    EXPECT_EQ(bytes.substr(first + 13, 6), "winhsh");
    EXPECT_EQ(bytes[first + 19], '\0');
    EXPECT_EQ(bytes.substr(first + 20, 2), "{}");
    const size_t second = first + 22;
    EXPECT_EQ(static_cast<uint8_t>(bytes[second + 8]), 17);
    EXPECT_EQ(bytes[second + 12], 0);
    EXPECT_EQ(bytes[second + 13], '\0');
    EXPECT_EQ(bytes.substr(second + 14), "[1]");
}

TEST_F(RuleDatabase, PlainTextWithAndWithoutByteOrderMarkGiveTheSameSections) {
    const std::string doc = std::string(R"({"winhsh": )") + kProgramSection + "}";
    ASSERT_TRUE(data.WriteDatabase(doc));
    const std::string inRule = Section(kSectionInRule);
    const std::string whiteList = Section(kSectionWhiteList);
    EXPECT_EQ(inRule, R"([{"name":"Foo","popup":[],"uninst_reg":{"name_reg":"Foo"}}])");
    EXPECT_EQ(whiteList, R"({"common_class":["#32770"],"system_class":["Shell_TrayWnd","Progman"]})");

    ASSERT_TRUE(data.WriteDatabase("\xEF\xBB\xBF" + doc));
    EXPECT_EQ(Section(kSectionInRule), inRule);
    EXPECT_EQ(Section(kSectionWhiteList), whiteList);

    // The same document as a container: same sections; the other entry is parsed and ignored.
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", kProgramSection}, {"other", R"({"x": 1})"}})));
    EXPECT_EQ(Section(kSectionInRule), inRule);
    EXPECT_EQ(Section(kSectionWhiteList), whiteList);
}

TEST_F(RuleDatabase, LargePlainDocumentIsReadToItsEnd) {
    // Far larger than one read-ahead block: the text crosses many block boundaries.
    std::string elements;
    for (int i = 0; i < 6000; ++i)
        elements += std::string(i ? "," : "") + R"({"name": "program )" + std::to_string(i) + R"(", "popup": []})";
    const std::string doc = R"({"winhsh": {"in_rule": [)" + elements + R"(], "white_list": {"common_class": ["end"]}}})";
    ASSERT_GT(doc.size(), 200000u);
    for (const std::string& bytes : {doc, "\xEF\xBB\xBF" + doc}) {
        ASSERT_TRUE(data.WriteDatabase(bytes));
        UniqueJson inRule = GetRuleSection(kSectionInRule);
        ASSERT_TRUE(json_is_array(inRule.get()));
        EXPECT_EQ(json_array_size(inRule.get()), 6000u);
        EXPECT_EQ(Dump(JsonPathGet(inRule.get(), "#5999/name")), R"("program 5999")");
        EXPECT_EQ(Section(kSectionWhiteList), R"({"common_class":["end"]})");
    }
}

TEST_F(RuleDatabase, ContainerDocumentHasOneMemberPerEntryAndLaterNamesWin) {
    ASSERT_TRUE(data.WriteDatabase(Container({{"a", "[1]"}, {"b", R"({"x": 0})"}, {"a", "[2]"}})));
    UniqueJson root = LoadRuleDocument(WideToUtf8(data.databasePath()));
    EXPECT_EQ(Dump(root.get()), R"({"a":[2],"b":{"x":0}})");

    ASSERT_TRUE(data.WriteDatabase(Container({{"", "[1]"}, {"", "{}"}})));
    root = LoadRuleDocument(WideToUtf8(data.databasePath()));
    EXPECT_EQ(Dump(root.get()), R"([[1],{}])");
    ExpectNoSections("unnamed entries form an array, which has no program section");

    ASSERT_TRUE(data.WriteDatabase(Container({})));
    root = LoadRuleDocument(WideToUtf8(data.databasePath()));
    EXPECT_EQ(Dump(root.get()), "{}");
}

TEST_F(RuleDatabase, OneUnusableEntrySpoilsTheWholeContainer) {
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", kProgramSection}, {"other", "{not json"}})));
    ExpectNoSections("payload is not JSON");
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", kProgramSection}, {"", "{}"}})));
    ExpectNoSections("unnamed entry after a named one");
    ASSERT_TRUE(data.WriteDatabase(Container({{"", "{}"}, {"winhsh", kProgramSection}})));
    ExpectNoSections("named entry after an unnamed one");
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", ""}})));
    ExpectNoSections("empty payload");
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", kProgramSection}, {"count", "3"}})));
    ExpectNoSections("payload that is a bare number, not a JSON document");
    ASSERT_TRUE(data.WriteDatabase(Container({{"\xC3\x28", kProgramSection}})));
    ExpectNoSections("entry name that is not UTF-8");
}

TEST_F(RuleDatabase, DamagedContainersYieldNothing) {
    const std::string good = Container({{"winhsh", kProgramSection}});
    ASSERT_TRUE(data.WriteDatabase(good));
    ASSERT_NE(Section(kSectionInRule), "(null)");
    const size_t record = 16;
    const size_t total = good.size() - record;

    struct Damage {
        const char* what;
        std::string bytes;
    };
    std::vector<Damage> cases;
    {
        std::string b = good;
        b[record + 12] = static_cast<char>(-3);
        FixRecordCrc(b, record, b.size());
        cases.push_back({"negative name length", b});
    }
    {
        std::string b = good;
        b[record + 12] = 127;  // runs past the record's end
        FixRecordCrc(b, record, b.size());
        cases.push_back({"name length beyond the record", b});
    }
    {
        // A self-consistent record that ends before its own header does: only the length
        // check stands between the reader and a negative payload size.
        std::string b = good.substr(0, record + 13);
        b[record + 12] = 0;
        PutU32(b, record + 8, 13);
        FixRecordCrc(b, record, record + 13);
        cases.push_back({"total shorter than the record header", b});
    }
    {
        std::string b = good;
        PutU32(b, record + 8, static_cast<uint32_t>(total + 1));
        cases.push_back({"total running past the file", b});
    }
    {
        std::string b = good;
        PutU32(b, record + 8, static_cast<uint32_t>(total - 1));
        FixRecordCrc(b, record, record + total - 1);
        cases.push_back({"bytes left after the last entry", b});
    }
    {
        std::string b = good;
        b[record + 13 + 6] = 'X';  // the NUL after the name
        FixRecordCrc(b, record, b.size());
        cases.push_back({"name without its terminator", b});
    }
    {
        std::string b = good;
        b[b.size() - 2] ^= 0x20;
        cases.push_back({"payload changed behind the checksum", b});
    }
    {
        std::string b = good;
        PutU32(b, 8, 2);  // header claims two entries
        PutU32(b, 12, Crc32(b.data(), 12));
        cases.push_back({"entry count larger than the file holds", b});
    }
    {
        std::string b = good;
        PutU32(b, 8, 0x7fffffff);
        PutU32(b, 12, Crc32(b.data(), 12));
        cases.push_back({"absurd entry count", b});
    }
    cases.push_back({"truncated in the payload", good.substr(0, good.size() - 5)});
    cases.push_back({"truncated in the record header", good.substr(0, record + 10)});
    cases.push_back({"only the magic", good.substr(0, 4)});
    cases.push_back({"empty file", ""});
    {
        std::mt19937 random(20261208);
        std::string b(4096, '\0');
        for (auto& c : b) c = static_cast<char>(random());
        cases.push_back({"random bytes", b});
        cases.push_back({"random bytes after the magic", "WHRC" + b});
    }
    for (const auto& c : cases) {
        ASSERT_TRUE(data.WriteDatabase(c.bytes));
        ExpectNoSections(c.what);
    }
}

TEST_F(RuleDatabase, ReservedLengthBitsAreIgnored) {
    std::string b = Container({{"winhsh", kProgramSection}});
    b[16 + 11] = static_cast<char>(0xFC);  // the upper 6 bits of the length field
    ASSERT_TRUE(data.WriteDatabase(b));
    EXPECT_NE(Section(kSectionInRule), "(null)");
}

TEST_F(RuleDatabase, PlainDocumentsWithoutAProgramObjectYieldNothing) {
    ASSERT_TRUE(data.WriteDatabase(R"([{"winhsh": {"in_rule": []}}])"));
    ExpectNoSections("root is an array");
    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": [1, 2]})"));
    ExpectNoSections("program section is not an object");
    ASSERT_TRUE(data.WriteDatabase(R"({"other": {"in_rule": []}})"));
    ExpectNoSections("no program section");
    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"in_rule": []}} trailing)"));
    ExpectNoSections("text after the document");
    ASSERT_TRUE(data.WriteDatabase("{\"winhsh\": {\"in_rule\": [\"\xff\xfe\"]}}"));
    ExpectNoSections("string that is not UTF-8");
    ASSERT_TRUE(data.WriteDatabase(std::string(200000, '[') + std::string(200000, ']')));
    ExpectNoSections("nesting far deeper than any database");
    ASSERT_TRUE(data.WriteDatabase(Container({{"winhsh", std::string(100000, '[') + std::string(100000, ']')}})));
    ExpectNoSections("deep nesting inside a container entry");

    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"white_list": {}}})"));
    EXPECT_EQ(Section(kSectionInRule), "(null)");
    EXPECT_EQ(Section(kSectionWhiteList), "{}");
}

TEST_F(RuleDatabase, MissingDataPathOrFileGivesNothing) {
    ExpectNoSections("no database file");
    t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Trevisk\\app", L"DataPath");
    ExpectNoSections("no DataPath");
    ::CreateDirectoryW(data.databasePath().c_str(), nullptr);
    EXPECT_EQ(Dump(GetRuleSectionFrom(data.databasePath(), kSectionInRule).get()), "(null)");
}

TEST(JsonPathGet, WalksMembersAndArrayIndexes) {
    UniqueJson doc(json_loads(R"({"a": [10, 20, {"b": "deep"}], "c": {"#1": "member", "d": {"e": 5}}})", 0,
                              nullptr));
    ASSERT_TRUE(doc);
    json_t* root = doc.get();
    EXPECT_EQ(Dump(JsonPathGet(root, "a/#1")), "20");
    EXPECT_EQ(Dump(JsonPathGet(root, "a/#0x1")), "20");
    EXPECT_EQ(Dump(JsonPathGet(root, "a/#02")), R"({"b":"deep"})");
    EXPECT_EQ(Dump(JsonPathGet(root, "a/#2/b")), R"("deep")");
    EXPECT_EQ(Dump(JsonPathGet(root, "c//d/e")), "5");
    EXPECT_EQ(Dump(JsonPathGet(root, "c\\d\\e")), "5");
    EXPECT_EQ(Dump(JsonPathGet(root, "/c/d/e/")), "5");
    EXPECT_EQ(Dump(JsonPathGet(root, "c/#1")), R"("member")");
    EXPECT_EQ(JsonPathGet(root, ""), root);
    EXPECT_EQ(JsonPathGet(root, "//"), root);

    EXPECT_EQ(JsonPathGet(root, "a/#3"), nullptr);
    EXPECT_EQ(JsonPathGet(root, "a/#1x"), nullptr);
    EXPECT_EQ(JsonPathGet(root, "a/#09"), nullptr);  // not octal: neither index nor member
    EXPECT_EQ(JsonPathGet(root, "a/#"), nullptr);
    EXPECT_EQ(JsonPathGet(root, "a/#99999999999999999999999"), nullptr);
    EXPECT_EQ(JsonPathGet(root, "c/d/e/f"), nullptr);
    EXPECT_EQ(JsonPathGet(root, "x"), nullptr);
    EXPECT_EQ(JsonPathGet(nullptr, "a"), nullptr);
}

TEST_F(RuleDatabase, StartUpClassListsTakeOnlyStrings) {
    ASSERT_TRUE(data.WriteDatabase(
        R"({"winhsh": {"white_list": {"system_class": ["A", 5, null, "B"], "common_class": "C"}}})"));
    StartupConfig config;
    FillStartupClassLists(config);
    EXPECT_EQ(config.systemClasses, (std::vector<std::wstring>{L"A", L"B"}));
    EXPECT_TRUE(config.commonClasses.empty());

    ASSERT_TRUE(data.WriteDatabase(
        "{\"winhsh\": {\"white_list\": {\"common_class\": [\"\xE5\xBC\xB9\xE7\xAA\x97\", \"X\"]}}}"));
    StartupConfig chinese;
    FillStartupClassLists(chinese);
    EXPECT_TRUE(chinese.systemClasses.empty());
    EXPECT_EQ(chinese.commonClasses, (std::vector<std::wstring>{L"弹窗", L"X"}));

    ASSERT_TRUE(data.WriteDatabase(R"({"winhsh": {"in_rule": []}})"));
    StartupConfig none;
    FillStartupClassLists(none);
    EXPECT_TRUE(none.systemClasses.empty());
    EXPECT_TRUE(none.commonClasses.empty());
}

// Mutated containers and texts must never crash the reader or make it read outside the file;
// whatever it returns must be a usable value.
TEST_F(RuleDatabase, SurvivesThousandsOfMutatedFiles) {
    std::mt19937 random(0x5eed2026);
    const std::string base = Container({{"winhsh", kProgramSection}, {"other", R"({"k": [1, 2.5, "s"]})"}});
    const std::string plain = std::string(R"({"winhsh": )") + kProgramSection + "}";
    const std::string path = WideToUtf8(data.databasePath());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    int parsed = 0;
    int rounds = 0;
    for (; rounds < 3000 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        const bool container = rounds % 3 != 2;
        std::string b = container ? base : plain;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !b.empty(); ++e) {
            size_t at = random() % b.size();
            switch (random() % 5) {
                case 0: b[at] = static_cast<char>(random()); break;
                case 1: b.resize(at); break;
                case 2: b.insert(at, 1 + random() % 8, static_cast<char>(random())); break;
                case 3: b.erase(at, 1 + random() % 8); break;
                case 4:
                    if (container && b.size() >= 16 + 12) PutU32(b, 16 + 8, static_cast<uint32_t>(random()));
                    break;
            }
        }
        if (container && b.size() >= 28 && random() % 2) {
            // Keep the checksums right so the structural checks, not the checksums, are hit.
            PutU32(b, 12, Crc32(b.data(), 12));
            size_t offset = 16;
            while (offset + 14 <= b.size()) {
                uint32_t total = 0;
                std::memcpy(&total, b.data() + offset + 8, 4);
                total &= kEntryLengthMask;
                FixRecordCrc(b, offset, offset + total);
                if (total < 14) break;
                offset += total;
            }
        }
        ASSERT_TRUE(t::WriteFileBytes(data.databasePath(), b));
        UniqueJson root = LoadRuleDocument(path);
        if (root) {
            ++parsed;
            char* text = json_dumps(root.get(), JSON_ENCODE_ANY);
            EXPECT_NE(text, nullptr);
            free(text);
        }
    }
    EXPECT_GE(rounds, 1000) << "too few rounds in the time allowed";
    RecordProperty("rounds", rounds);
    RecordProperty("parsed", parsed);
    std::printf("fuzz: %d rounds, %d still parsed\n", rounds, parsed);
}

}  // namespace
