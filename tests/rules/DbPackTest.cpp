#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "base/Strings.h"
#include "rules/RuleDatabase.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

struct PackRun {
    std::optional<DWORD> exitCode;
    std::string output;
};

PackRun DbPack(const std::wstring& arguments) {
    t::ChildProcess child = t::ChildProcess::Start(t::ToolsDir() + L"dbpack.exe", arguments, true);
    PackRun run;
    if (!child.valid()) return run;
    while (std::optional<std::string> line = child.ReadLine(std::chrono::seconds(10))) run.output += *line + "\n";
    run.exitCode = child.WaitExit(std::chrono::seconds(10));
    return run;
}

std::string Dump(json_t* value) {
    if (!value) return "(null)";
    char* text = json_dumps(value, JSON_SORT_KEYS | JSON_COMPACT);
    std::string out = text;
    free(text);
    return out;
}

TEST(DbPack, PacksNamedJsonFilesTheReaderUnderstands) {
    t::ScopedSuiteDataPath data;
    t::ScopedTempDir dir;
    ASSERT_TRUE(t::WriteFileBytes(dir / L"winhsh.json",
                                  "\xEF\xBB\xBF{\"in_rule\": [], \"white_list\": {\"system_class\": [\"Progman\"]}}"));
    ASSERT_TRUE(t::WriteFileBytes(dir / L"other.json", R"({"version": 3})"));
    PackRun packed = DbPack(L"\"" + data.databasePath() + L"\" winhsh=\"" + (dir / L"winhsh.json") + L"\" other=\"" +
                        (dir / L"other.json") + L"\"");
    ASSERT_EQ(packed.exitCode, 0u) << packed.output;

    UniqueJson root = LoadRuleDocument(WideToUtf8(data.databasePath()));
    EXPECT_EQ(Dump(root.get()),
              R"({"other":{"version":3},"winhsh":{"in_rule":[],"white_list":{"system_class":["Progman"]}}})");
    UniqueJson whiteList = GetRuleSection(kSectionWhiteList);
    EXPECT_EQ(Dump(whiteList.get()), R"({"system_class":["Progman"]})");

    PackRun listed = DbPack(L"--list \"" + data.databasePath() + L"\"");
    EXPECT_EQ(listed.exitCode, 0u);
    EXPECT_EQ(listed.output, "winhsh\t60\nother\t14\n");
}

TEST(DbPack, RefusesInputThatIsNotJsonUnlessRaw) {
    t::ScopedTempDir dir;
    ASSERT_TRUE(t::WriteFileBytes(dir / L"bad.json", "{oops"));
    const std::wstring out = dir / L"out.db";
    PackRun refused = DbPack(L"\"" + out + L"\" winhsh=\"" + (dir / L"bad.json") + L"\"");
    EXPECT_EQ(refused.exitCode, 2u);
    EXPECT_FALSE(t::FileExists(out));

    PackRun raw = DbPack(L"--raw \"" + out + L"\" winhsh=\"" + (dir / L"bad.json") + L"\"");
    EXPECT_EQ(raw.exitCode, 0u);
    EXPECT_EQ(Dump(LoadRuleDocument(WideToUtf8(out)).get()), "(null)") << "the reader refuses the bad entry";

    EXPECT_EQ(DbPack(L"\"" + out + L"\" winhsh=\"" + (dir / L"missing.json") + L"\"").exitCode, 2u);
    EXPECT_EQ(DbPack(L"\"" + out + L"\" " + std::wstring(130, L'n') + L"=\"" + (dir / L"bad.json") + L"\" --raw")
                  .exitCode,
              2u);
    EXPECT_EQ(DbPack(L"\"" + out + L"\"").exitCode, 1u);
    EXPECT_EQ(DbPack(L"--list \"" + (dir / L"bad.json") + L"\"").exitCode, 2u);
}

}  // namespace
