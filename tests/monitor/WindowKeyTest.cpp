// Identity hashes, device-path mapping, position classes and the candidate filter's limits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/Strings.h"
#include "monitor/Candidate.h"
#include "monitor/Screenshot.h"
#include "monitor/WndInfo.h"

namespace winhush::monitor {
namespace {

// A byte-at-a-time rendering of MurmurHash64B, written from the algorithm's description
// independently of the production code (no word loads, no switch fall-through).
uint64_t ReferenceMurmur64B(const std::vector<unsigned char>& bytes, uint64_t seed) {
    const uint32_t m = 0x5BD1E995u;
    uint32_t h[2] = {static_cast<uint32_t>(seed) ^ static_cast<uint32_t>(bytes.size()),
                     static_cast<uint32_t>(seed >> 32)};
    size_t blocks = bytes.size() / 4;
    for (size_t i = 0; i < blocks; ++i) {
        uint32_t k = 0;
        for (int b = 3; b >= 0; --b) k = (k << 8) | bytes[i * 4 + b];
        k *= m;
        k ^= k >> 24;
        k *= m;
        uint32_t& target = h[i % 2];
        target = (target * m) ^ k;
    }
    size_t rest = bytes.size() % 4;
    if (rest) {
        uint32_t tail = 0;
        for (size_t b = 0; b < rest; ++b) tail |= static_cast<uint32_t>(bytes[blocks * 4 + b]) << (8 * b);
        h[1] = (h[1] ^ tail) * m;
    }
    h[0] ^= h[1] >> 18; h[0] *= m;
    h[1] ^= h[0] >> 22; h[1] *= m;
    h[0] ^= h[1] >> 17; h[0] *= m;
    h[1] ^= h[0] >> 19; h[1] *= m;
    return (static_cast<uint64_t>(h[0]) << 32) | h[1];
}

std::vector<unsigned char> Utf16LeBytes(const std::wstring& text) {
    std::vector<unsigned char> bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    }
    return bytes;
}

TEST(WindowKeyHash, MatchesValuesComputedOutsideTheProgram) {
    // Values from a separate script over the same UTF-16LE text.
    EXPECT_EQ(WindowKeyHash(L"C:\\APP.EXE", L"AdWnd", 300, 200), 0x6a1e98d9eaa3b629ull);
    EXPECT_EQ(WindowKeyHash(L"", L"", 0, 0), 0x14f3ab4e78d24711ull);  // the text "00"
    EXPECT_EQ(MurmurHash64B("", 0, kWindowHashSeed), 0x6ff17dd88d816f37ull);
    EXPECT_EQ(WindowKeyHash(L"C:\\PROGRAM FILES\\DEMO\\POP.EXE", L"#32770", -5, -7), 0xbb33ba5833df1fd7ull);
    EXPECT_EQ(MurmurHash64B(L"弹窗", 4, kWindowHashSeed), 0x555091565eb2600cull);
}

TEST(WindowKeyHash, HandlesEveryTailLength) {
    struct Case {
        const char* text;
        uint64_t expected;  // from the separate script
    } cases[] = {
        {"a", 0x58a04b370e57d62aull},         {"ab", 0x932c581a1fa1dae4ull},
        {"abc", 0xe3c8ed736969e948ull},       {"abcde", 0xa20646ac3f0aebd7ull},
        {"abcdefghi", 0x739494bd50a0d79bull}, {"0123456789abcdef012", 0x5bff9cb8db348f16ull},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MurmurHash64B(c.text, std::strlen(c.text), kWindowHashSeed), c.expected) << c.text;
    }
    // A seed with high bits feeds h2 from the start.
    EXPECT_EQ(MurmurHash64B("hello world", 11, 0x1234567800000042ull), 0x1bc0448abedac9d9ull);
}

TEST(WindowKeyHash, AgreesWithAReferenceForManyLengths) {
    std::vector<unsigned char> bytes;
    for (int length = 0; length < 70; ++length) {
        EXPECT_EQ(MurmurHash64B(bytes.data(), bytes.size(), kWindowHashSeed), ReferenceMurmur64B(bytes, kWindowHashSeed))
            << "length " << length;
        bytes.push_back(static_cast<unsigned char>(length * 37 + 11));
    }
    std::wstring path = L"C:\\USERS\\测试\\APPDATA\\ROAMING\\AD\\POPUP.EXE";
    std::wstring text = path + L"Chrome_WidgetWin_1" + L"1280" + L"720";
    EXPECT_EQ(WindowKeyHash(path.c_str(), L"Chrome_WidgetWin_1", 1280, 720),
              ReferenceMurmur64B(Utf16LeBytes(text), kWindowHashSeed));
}

TEST(WindowKeyHash, IsZeroWithoutPathOrClassAndDependsOnSize) {
    EXPECT_EQ(WindowKeyHash(nullptr, L"x", 1, 1), 0u);
    EXPECT_EQ(WindowKeyHash(L"x", nullptr, 1, 1), 0u);
    EXPECT_NE(WindowKeyHash(L"C:\\A.EXE", L"W", 300, 200), WindowKeyHash(L"C:\\A.EXE", L"W", 301, 200));
    // "12"+"3" and "1"+"23" form the same text and so the same identity.
    EXPECT_EQ(WindowKeyHash(L"C:\\A.EXE", L"W", 12, 3), WindowKeyHash(L"C:\\A.EXE", L"W", 1, 23));
}

TEST(DevicePath, MapsToUpperCaseDriveLetterPaths) {
    std::vector<DriveDevice> drives = {{L'C', L"\\Device\\HarddiskVolume1"}, {L'D', L"\\Device\\HarddiskVolume10"}};
    std::wstring out;
    ASSERT_TRUE(MapDevicePath(L"\\Device\\HarddiskVolume1\\Program Files\\Ad\\pop.exe", drives, out));
    EXPECT_EQ(out, L"C:\\PROGRAM FILES\\AD\\POP.EXE");
    // A shorter device name must not claim a longer one's paths.
    ASSERT_TRUE(MapDevicePath(L"\\device\\harddiskvolume10\\x.exe", drives, out));
    EXPECT_EQ(out, L"D:\\X.EXE");
    out = L"unchanged";
    EXPECT_FALSE(MapDevicePath(L"\\Device\\HarddiskVolume2\\x.exe", drives, out));
    EXPECT_FALSE(MapDevicePath(L"\\Device\\HarddiskVolume1", drives, out));
    EXPECT_EQ(out, L"unchanged");
}

// Paths are upper-cased as the C locale does it, ASCII letters only: the hash below was
// computed outside the program from "C:\USERS\ZOë\ÄRGER\Программа\éDITEUR.EXE".
TEST(DevicePath, UpperCasesOnlyAsciiLettersSoIdentitiesMatchOtherProducers) {
    std::vector<DriveDevice> drives = {{L'C', L"\\Device\\HarddiskVolume1"}};
    std::wstring out;
    ASSERT_TRUE(MapDevicePath(L"\\Device\\HarddiskVolume1\\Users\\Zo\u00EB\\\u00C4rger\\\u041F\u0440\u043E\u0433"
                              L"\u0440\u0430\u043C\u043C\u0430\\\u00E9diteur.exe",
                              drives, out));
    EXPECT_EQ(out, L"C:\\USERS\\ZO\u00EB\\\u00C4RGER\\\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u0430\\"
                   L"\u00E9DITEUR.EXE");
    EXPECT_EQ(WindowKeyHash(out.c_str(), L"AdWnd", 300, 200), 0x416939329db3ef96ull);
    EXPECT_EQ(ToUpper(L"\u00E9\u00FF\u0101\u0431\u03B1i\u0131z{`"), L"\u00E9\u00FF\u0101\u0431\u03B1I\u0131Z{`");
}

TEST(DevicePath, ResolvesARunningProcessOnDriveC) {
    wchar_t windows[MAX_PATH];
    ASSERT_NE(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    std::wstring exe = std::wstring(windows) + L"\\system32\\cmd.exe";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    std::wstring commandLine = L"\"" + exe + L"\" /c ping -n 3 127.0.0.1 >nul";
    ASSERT_TRUE(::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &si, &pi));
    std::wstring path;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pi.dwProcessId);
    bool ok = GetImagePath(process, path);
    ::TerminateProcess(pi.hProcess, 0);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ASSERT_TRUE(ok);
    std::wstring expected = exe;
    for (wchar_t& c : expected) c = static_cast<wchar_t>(::towupper(c));
    EXPECT_EQ(path, expected);
}

TEST(PositionClass, SortsCentresIntoQuartersWithTheCentreFirst) {
    const RECT work = {0, 0, 1280, 780};
    // Exactly centred: also inside a quarter, but the centre test wins.
    EXPECT_EQ(ClassifyPosition({440, 240, 840, 540}, work), kPositionCenter);
    // 14 pixels off still counts as centred (sum difference 28), 15 does not.
    EXPECT_EQ(ClassifyPosition({454, 254, 854, 554}, work), kPositionCenter);
    EXPECT_EQ(ClassifyPosition({455, 200, 855, 500}, work), kPositionRightTop);
    EXPECT_EQ(ClassifyPosition({0, 0, 200, 100}, work), kPositionLeftTop);
    EXPECT_EQ(ClassifyPosition({0, 680, 200, 780}, work), kPositionLeftBottom);
    EXPECT_EQ(ClassifyPosition({1080, 0, 1280, 100}, work), kPositionRightTop);
    EXPECT_EQ(ClassifyPosition({980, 580, 1280, 780}, work), kPositionRightBottom);
    // Centre on the vertical middle line (x = 640): a right quarter.
    EXPECT_EQ(ClassifyPosition({540, 0, 740, 100}, work), kPositionRightTop);
    EXPECT_EQ(ClassifyPosition({540, 680, 740, 780}, work), kPositionRightBottom);
    // Centre on the horizontal middle line (y = 390): a lower quarter.
    EXPECT_EQ(ClassifyPosition({0, 340, 200, 440}, work), kPositionLeftBottom);
    EXPECT_EQ(ClassifyPosition({1080, 340, 1280, 440}, work), kPositionRightBottom);
    // Centre outside the work area (a hidden window moved off screen).
    EXPECT_EQ(ClassifyPosition({10000, 10000, 10300, 10200}, work), kPositionNone);
    EXPECT_EQ(ClassifyPosition({1180, 700, 1380, 900}, work), kPositionNone);  // centre (1280, 800)
}

MONITORINFO Monitor1280x800() {
    MONITORINFO info = {sizeof(info)};
    info.rcMonitor = {0, 0, 1280, 800};
    info.rcWork = {0, 0, 1280, 780};
    return info;
}

TEST(CandidateFilter, SmallCentredWindowsUpTo800By600) {
    MONITORINFO m = Monitor1280x800();
    EXPECT_TRUE(PassesAdPlace({240, 90, 1040, 690}, &m));    // 800 x 600, exactly centred
    EXPECT_FALSE(PassesAdPlace({240, 90, 1041, 690}, &m));   // 801 wide
    EXPECT_FALSE(PassesAdPlace({240, 89, 1040, 690}, &m));   // 601 high
    EXPECT_TRUE(PassesAdPlace({455, 255, 855, 555}, &m));    // sums 30 off: centres 15 apart
    EXPECT_FALSE(PassesAdPlace({456, 240, 856, 540}, &m));   // 32 off
    EXPECT_FALSE(PassesAdPlace({440, 240, 840, 540}, nullptr));
}

TEST(CandidateFilter, BottomRightCornerRegionReaches49PixelsBeyondTheWorkArea) {
    MONITORINFO m = Monitor1280x800();
    EXPECT_TRUE(PassesAdPlace({980, 580, 1280, 780}, &m));    // flush with the corner
    EXPECT_TRUE(PassesAdPlace({1029, 629, 1329, 829}, &m));   // 49 beyond right and bottom
    EXPECT_FALSE(PassesAdPlace({1030, 629, 1330, 829}, &m));  // 50 beyond on the right
    EXPECT_FALSE(PassesAdPlace({1029, 630, 1329, 830}, &m));  // 50 beyond at the bottom
    EXPECT_TRUE(PassesAdPlace({780, 380, 1280, 780}, &m));    // top-left exactly on the region's corner
    EXPECT_FALSE(PassesAdPlace({779, 380, 1279, 780}, &m));   // one pixel further left
    EXPECT_FALSE(PassesAdPlace({0, 580, 300, 780}, &m));      // bottom-left is not an ad place
}

TEST(CandidateFilter, PopupShapeRejectsFullScreenMaximisedAndOffScreenWindows) {
    MONITORINFO m = Monitor1280x800();
    EXPECT_TRUE(PassesPopupShape({980, 580, 1280, 780}, &m));
    EXPECT_FALSE(PassesPopupShape({0, 0, 1280, 800}, &m));        // the monitor
    EXPECT_FALSE(PassesPopupShape({0, 0, 1280, 780}, &m));        // the work area (maximised)
    EXPECT_FALSE(PassesPopupShape({100, 100, 100, 300}, &m));     // no width
    EXPECT_FALSE(PassesPopupShape({10980, 10580, 11280, 10780}, &m));  // moved off screen
    EXPECT_FALSE(PassesPopupShape({-8, -8, 1288, 788}, &m));      // maximised with borders
    EXPECT_TRUE(PassesPopupShape({-100, -50, 300, 200}, &m));     // corner off, but smaller than the work area
    EXPECT_FALSE(PassesPopupShape({-100, 100, 1280, 300}, &m));   // corner off and as wide as the work area
    EXPECT_FALSE(PassesPopupShape({980, 580, 1280, 780}, nullptr));
}

class CandidateConfig : public ::testing::Test {
protected:
    void SetUp() override {
        config.ownProcessId = 1234;
        config.explorerPath = L"C:\\windows\\explorer.exe";
        config.suiteProgramDir = L"C:\\Program Files\\Suite\\bin\\";
        config.systemClasses = {L"Shell_TrayWnd"};
        config.commonClasses = {L"#32770"};
        w.pid = 42;
        w.path = L"C:\\ADS\\POP.EXE";
        w.className = L"AdWnd";
        w.rect = {980, 580, 1280, 780};  // bottom-right of the primary work area in the test desktop
        w.style = WS_POPUP | WS_VISIBLE;
    }
    StartupConfig config;
    WndInfo w;
};

TEST_F(CandidateConfig, AcceptsAPopupOfAnotherProgramOnlyOutsideTheSuite) {
    EXPECT_TRUE(IsCandidate(w, config, kCheckRevalidate));
    w.path = L"C:\\PROGRAM FILES\\SUITE\\BIN\\TOOL.EXE";
    EXPECT_FALSE(IsCandidate(w, config, kCheckRevalidate));
    w.path = L"C:\\PROGRAM FILES\\SUITE\\BINARY.EXE";  // shares a prefix only
    EXPECT_TRUE(IsCandidate(w, config, kCheckRevalidate));
    config.suiteProgramDir.clear();  // no suite: nothing is a candidate
    EXPECT_FALSE(IsCandidate(w, config, kCheckRevalidate));
}

TEST_F(CandidateConfig, RejectsOwnMinimisedExplorerSystemAndCommonWindows) {
    WndInfo own = w;
    own.pid = config.ownProcessId;
    EXPECT_FALSE(IsCandidate(own, config, 0));
    WndInfo minimised = w;
    minimised.style |= WS_MINIMIZE;
    EXPECT_FALSE(IsCandidate(minimised, config, 0));
    WndInfo explorer = w;
    explorer.path = L"C:\\WINDOWS\\EXPLORER.EXE";
    EXPECT_FALSE(IsCandidate(explorer, config, CHECK_NOT_SYSTEM));
    EXPECT_TRUE(IsCandidate(explorer, config, CHECK_NOT_COMMON));
    WndInfo system = w;
    system.className = L"Shell_TrayWnd";
    EXPECT_FALSE(IsCandidate(system, config, CHECK_NOT_SYSTEM));
    system.className = L"shell_traywnd";  // class lists compare exactly
    EXPECT_TRUE(IsCandidate(system, config, CHECK_NOT_SYSTEM));
    WndInfo common = w;
    common.className = L"#32770";
    EXPECT_FALSE(IsCandidate(common, config, CHECK_NOT_COMMON));
    EXPECT_TRUE(IsCandidate(common, config, CHECK_NOT_SYSTEM));
}

TEST_F(CandidateConfig, RecordMaskNeedsShapeAndPlace) {
    EXPECT_TRUE(IsCandidate(w, config, kCheckRecord));
    w.rect = {0, 0, 300, 200};  // top-left: a pop-up's shape, not an ad place
    EXPECT_TRUE(IsCandidate(w, config, kCheckChanged));
    EXPECT_FALSE(IsCandidate(w, config, kCheckRecord));
}

TEST(ScreenshotName, UsesBaseNameClassHashDigitsAndPaddedSize) {
    WndInfo w;
    w.path = L"C:\\GAMES\\APP.EXE";
    w.className = L"AdWnd";
    w.rect = {0, 0, 1280, 720};
    // 1551128987: first ten digits of the class-name hash, from the separate script.
    EXPECT_EQ(ScreenshotFileName(L"C:\\data\\", w), L"C:\\data\\APP15511289871280720.jpg");
    w.rect = {10, 10, 60, 17};
    EXPECT_EQ(ScreenshotFileName(L"C:\\data", w), L"C:\\data\\APP1551128987050007.jpg");
    w.path = L"C:\\BIN\\LAUNCHER";  // no extension: the last four characters go all the same
    EXPECT_EQ(ScreenshotFileName(L"C:\\data\\", w), L"C:\\data\\LAUN1551128987050007.jpg");
}

}  // namespace
}  // namespace winhush::monitor
