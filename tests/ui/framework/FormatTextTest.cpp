#include "ui/framework/FormatText.h"

#include <gtest/gtest.h>

#include <climits>

namespace winhush::ui {
namespace {

struct Case {
    const wchar_t* format;
    std::initializer_list<long long> values;
    const wchar_t* expected;
};

// The layouts' own wordings: the tips, the record counts, the row counts and the loading
// strips' image templates.
TEST(FormatLayoutText, FillsTheWordingsOfTheLayouts) {
    const Case cases[] = {
        {L"检测到 %d 个新安装软件的弹窗，可一键拦截", {5}, L"检测到 5 个新安装软件的弹窗，可一键拦截"},
        {L"正在记录，已记录 %d 个窗口", {0}, L"正在记录，已记录 0 个窗口"},
        {L"%d次", {999}, L"999次"},
        {L"file='loading_strip.png' source='%d,0,%d,56'", {280, 420}, L"file='loading_strip.png' source='280,0,420,56'"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLayoutText(c.format, c.values), c.expected) << c.format;
}

TEST(FormatLayoutText, FillsIntegerConversionsInOrderWithFlagAndWidth) {
    const Case cases[] = {
        {L"%d", {-12}, L"-12"},
        {L"%u and %i", {3, 4}, L"3 and 4"},
        {L"%03d", {7}, L"007"},
        {L"%05d", {-42}, L"-0042"},
        {L"[%4d]", {-7}, L"[  -7]"},
        {L"[%2d]", {12345}, L"[12345]"},
        {L"%0d", {9}, L"9"},
        {L"%d", {LLONG_MIN}, L"-9223372036854775808"},
        {L"%d%d", {1, 2}, L"12"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLayoutText(c.format, c.values), c.expected) << c.format;
}

// A wording is data: what it asks for beyond the values passed is never read.
TEST(FormatLayoutText, CopiesWhatItCannotFillAsWritten) {
    const Case cases[] = {
        // Missing argument.
        {L"%d of %d", {3}, L"3 of %d"},
        {L"%d", {}, L"%d"},
        {L"%05d", {}, L"%05d"},
        // Escaped marker, also next to a conversion and after the values ran out.
        {L"100%% sure: %d", {2}, L"100% sure: 2"},
        {L"%%d", {1}, L"%d"},
        {L"%d%%", {50}, L"50%"},
        {L"%d %%", {}, L"%d %"},
        // Unknown markers, with and without a width in front.
        {L"%s and %p: %d", {4}, L"%s and %p: 4"},
        {L"%x %5s %d", {8}, L"%x %5s 8"},
        {L"%ld", {1}, L"%ld"},
        // A trailing marker, a marker with only a width, and nothing at all.
        {L"trailing %", {1}, L"trailing %"},
        {L"%5", {1}, L"%5"},
        {L"no number", {9}, L"no number"},
        {L"", {5}, L""},
        // A width too long to read is not a conversion.
        {L"%6400d", {1}, L"%6400d"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatLayoutText(c.format, c.values), c.expected) << c.format;
}

TEST(FormatCounterText, PadsToTheDigitsOrShowsTheTailOfNines) {
    EXPECT_EQ(FormatCounterText(0, 6), L"000000");
    EXPECT_EQ(FormatCounterText(999999, 6), L"999999");
    EXPECT_EQ(FormatCounterText(1000000, 6), L"99999+");
    EXPECT_EQ(FormatCounterText(10, 1), L"+");
    EXPECT_EQ(FormatCounterText(4294967295u, 10), L"4294967295");
    EXPECT_EQ(FormatCounterText(7, 12), L"000000000007");
    EXPECT_EQ(FormatCounterText(7, 0), L"");
    EXPECT_EQ(FormatCounterText(7, -1), L"");
}

TEST(FormatRowCount, CapsAtNineHundredNinetyNinePlus) {
    EXPECT_EQ(FormatRowCount(L"%d次", 999), L"999次");
    EXPECT_EQ(FormatRowCount(L"%d次", 1000), L"999+");
    EXPECT_EQ(FormatRowCount(L"%d次", 0), L"0次");
}

}  // namespace
}  // namespace winhush::ui
