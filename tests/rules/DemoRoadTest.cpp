#include <gtest/gtest.h>

#include "RulesTestSupport.h"
#include "base/Strings.h"
#include "monitor/WndInfo.h"
#include "rules/PopupRule.h"
#include "rules/SoftwareInventory.h"

using namespace winhush;
using namespace winhush::rules;
namespace t = winhush::test;

namespace {

// The demo's rule database, installed as the demo installs it, finds the demo program, and
// the pop-up that program opens has exactly the identity the rule describes.
TEST(DemoRoad, DemoRuleDescribesTheDemoProgramsPopup) {
    t::ScopedSuiteDataPath data;
    const std::wstring source = t::HostPathToWindows(Utf8ToWide(WINHUSH_SOURCE_DIR)) + L"\\resources\\demo\\winhsh.json";
    std::optional<std::string> database = t::ReadFileBytes(source);
    ASSERT_TRUE(database) << WideToUtf8(source);
    ASSERT_TRUE(data.WriteDatabase(*database));

    t::ScopedTempDir install;
    const std::wstring folder = install / L"Lumen Reader";
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring exe = folder + L"\\LumenPromo.exe";
    ASSERT_TRUE(::CopyFileW((t::ToolsDir() + L"demopopup.exe").c_str(), exe.c_str(), FALSE))
        << "demopopup.exe missing in " << WideToUtf8(t::ToolsDir());

    t::ScopedUninstallEntries entries;
    const std::wstring key = entries.Add(HKEY_LOCAL_MACHINE, kNativeUninstallPath, L"LumenReaderDemo");
    t::RegSetString(HKEY_LOCAL_MACHINE, key, L"InstallLocation", folder);
    ResetNewProgramCache();

    std::vector<PopupRule> rules;
    ASSERT_EQ(LoadPopupRules(nullptr, rules), 1);
    ASSERT_EQ(rules.size(), 1u) << "only the installed demo program has rules";
    const PopupRule& rule = rules[0];
    EXPECT_EQ(rule.displayName, L"Lumen 阅读器 限时特惠弹窗");
    EXPECT_EQ(rule.filePath, ToUpper(exe));

    t::ChildProcess demo = t::ChildProcess::Start(exe, L"--once --show 30");
    ASSERT_TRUE(demo.valid());
    HWND popup = t::WaitForWindow(rule.className, demo.pid(), std::chrono::seconds(10));
    ASSERT_NE(popup, nullptr) << "the demo program opened no pop-up";
    monitor::WndInfo info;
    ASSERT_TRUE(t::WaitUntil([&] { return ::IsWindowVisible(popup) && monitor::Snapshot(info, popup); },
                             std::chrono::seconds(5)));
    EXPECT_EQ(info.path, rule.filePath);
    EXPECT_EQ(info.className, rule.className);
    EXPECT_EQ(info.width(), rule.width);
    EXPECT_EQ(info.height(), rule.height);
    EXPECT_EQ(info.pos, rule.position);
    EXPECT_EQ(monitor::WindowKeyHash(info),
              monitor::WindowKeyHash(rule.filePath.c_str(), rule.className.c_str(), rule.width, rule.height));
    demo.Kill();
    t::RegDeleteValueAt(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Zelvane\\Winhush", L"InstSoftware");
    ResetNewProgramCache();
}

}  // namespace
