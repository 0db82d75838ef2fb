#include <gtest/gtest.h>

#include "ui/dui/UIBase.h"

namespace winhush::dui {
namespace {

TEST(DuiString, SubstringsClampToTheBounds) {
    CDuiString text(L"popup");
    EXPECT_EQ(text.Left(99), L"popup");
    EXPECT_EQ(text.Left(-3), L"");
    EXPECT_EQ(text.Mid(3), L"up");
    EXPECT_EQ(text.Mid(-2, 2), L"po");
    EXPECT_EQ(text.Mid(9, 2), L"");
    EXPECT_EQ(text.Right(2), L"up");
    EXPECT_EQ(text.Right(10), L"popup");
}

TEST(DuiString, FindsAndReplacesEveryOccurrence) {
    CDuiString text(L"a<n>b<n>c");
    EXPECT_EQ(text.Find(L"<n>"), 1);
    EXPECT_EQ(text.Find(L'z'), -1);
    EXPECT_EQ(text.Find(L'b', 50), -1);
    EXPECT_EQ(text.ReverseFind(L'<'), 5);
    EXPECT_EQ(text.Replace(L"<n>", L"\r\n"), 2);
    EXPECT_EQ(text, L"a\r\nb\r\nc");
    EXPECT_EQ(text.Replace(L"", L"x"), 0);
}

TEST(DuiString, FormatsAndComparesIgnoringCase) {
    CDuiString text;
    EXPECT_EQ(text.Format(L"%d,%d,%d", 17, -1, 65), 8);
    EXPECT_EQ(text, L"17,-1,65");
    EXPECT_EQ(CDuiString(L"ListUI").CompareNoCase(L"listui"), 0);
    EXPECT_NE(CDuiString(L"ListUI").Compare(L"listui"), 0);
    std::wstring longText(100000, L'x');
    text.Format(L"%s", longText.c_str());
    EXPECT_GT(text.GetLength(), 1000);  // cut, not refused and not overflowing
}

TEST(DuiRect, JoinGrowsToTheBoundingBoxEvenWithAnEmptyRectangle) {
    CDuiRect rc(10, 10, 20, 20);
    rc.Join(CDuiRect(0, 0, 0, 0));
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right, 20);
    EXPECT_EQ(rc.bottom, 20);
    CDuiRect inverted(30, 40, 10, 5);
    inverted.Normalize();
    EXPECT_EQ(inverted.GetWidth(), 20);
    EXPECT_EQ(inverted.GetHeight(), 35);
}

TEST(DuiPtrArray, InsertsAtTheEndAndAnswersNullOutOfRange) {
    int a = 1, b = 2, c = 3;
    CDuiPtrArray array;
    EXPECT_TRUE(array.Add(&a));
    EXPECT_TRUE(array.InsertAt(1, &c));  // index == count appends
    EXPECT_TRUE(array.InsertAt(1, &b));
    EXPECT_FALSE(array.InsertAt(5, &b));
    EXPECT_EQ(array.GetAt(1), &b);
    EXPECT_EQ(array.GetAt(3), nullptr);
    EXPECT_EQ(array[-1], nullptr);
    EXPECT_EQ(array.Find(&c), 2);
    EXPECT_TRUE(array.Remove(0, 2));
    EXPECT_EQ(array.GetSize(), 1);
    EXPECT_FALSE(array.Remove(0, 2));
    array.Resize(3);
    EXPECT_EQ(array.GetSize(), 3);
    EXPECT_EQ(array.GetAt(0), nullptr);
}

}  // namespace
}  // namespace winhush::dui
