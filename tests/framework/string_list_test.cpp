// The framework's portable pieces: CString and CPtrList.
#include <gtest/gtest.h>

#include <vector>

#include "framework/afx_ptrlist.h"
#include "framework/afx_string.h"

TEST(CStringTest, FormatGrowsToAnyLength) {
    CString text;
    const std::string long_part(2000, 'x');
    text.Format("%s=%d", long_part.c_str(), 42);
    EXPECT_EQ(text.GetLength(), 2003);
    EXPECT_EQ(text.Right(3), "=42");
}

TEST(CStringTest, SlicesClampInsteadOfThrowing) {
    const CString text("Label1.Type");
    EXPECT_EQ(text.Left(6), "Label1");
    EXPECT_EQ(text.Mid(7), "Type");
    EXPECT_EQ(text.Mid(50), "");
    EXPECT_EQ(text.Mid(-3, 2), "La");
    EXPECT_EQ(text.Left(-1), "");
    EXPECT_EQ(text.Right(99), "Label1.Type");
    EXPECT_EQ(text.ReverseFind('.'), 6);
    EXPECT_EQ(text.Find("Type"), 7);
    EXPECT_EQ(text.Find('Z'), -1);
}

TEST(CStringTest, ReplaceDoesNotRescanWhatItInserted) {
    CString text("a\\nb\\n");
    EXPECT_EQ(text.Replace("\\n", "\\n\\n"), 2);
    EXPECT_EQ(text, "a\\n\\nb\\n\\n");
}

TEST(CStringTest, BufferRoundTripStopsAtTerminator) {
    CString text;
    char* buffer = text.GetBuffer(16);
    std::snprintf(buffer, 16, "abc");
    text.ReleaseBuffer();
    EXPECT_EQ(text.GetLength(), 3);
    EXPECT_EQ(text, "abc");
}

TEST(CPtrListTest, KeepsOrderAcrossManyBlocks) {
    CPtrList list(3);
    std::vector<int> values(25);
    for (int& value : values)
        list.AddTail(&value);
    ASSERT_EQ(list.GetCount(), 25);
    int index = 0;
    for (POSITION at = list.GetHeadPosition(); at; ++index)
        EXPECT_EQ(list.GetNext(at), &values[static_cast<size_t>(index)]);
    EXPECT_EQ(index, 25);
}

TEST(CPtrListTest, RemoveAtRelinksAndReusesNodes) {
    CPtrList list(2);
    int a = 0, b = 0, c = 0, d = 0;
    list.AddTail(&a);
    POSITION middle = list.AddTail(&b);
    list.AddTail(&c);
    list.RemoveAt(middle);
    list.AddHead(&d);
    std::vector<void*> seen;
    for (POSITION at = list.GetHeadPosition(); at;)
        seen.push_back(list.GetNext(at));
    EXPECT_EQ(seen, (std::vector<void*>{&d, &a, &c}));
    EXPECT_EQ(list.Find(&b), nullptr);
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
}
