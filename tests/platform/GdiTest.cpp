// The recording drawing context and the lifetime of pens and brushes.
#include <gtest/gtest.h>

#include "platform/RecordingDC.h"

TEST(RecordingDC, RecordsEveryOperationInOrder) {
    CRecordingDC dc;
    EXPECT_EQ(dc.GetROP2(), R2_COPYPEN);
    EXPECT_EQ(DescribeGdiObject(dc.CurrentPen()), "pen solid 1 0x000000");
    EXPECT_EQ(DescribeGdiObject(dc.CurrentBrush()), "brush solid 0xFFFFFF");

    const int oldRop = dc.SetROP2(R2_NOTCOPYPEN);
    EXPECT_EQ(oldRop, R2_COPYPEN);
    CPen pen(PS_DOT, 1, RGB(255, 0, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    ASSERT_NE(oldPen, nullptr);
    CGdiObject* oldBrush = dc.SelectStockObject(NULL_BRUSH);
    ASSERT_NE(oldBrush, nullptr);
    EXPECT_EQ(dc.MoveTo(10, 20), CPoint(0, 0));
    dc.LineTo(30, 20);
    dc.Rectangle(7, 7, 13, 13);
    dc.SelectObject(oldPen);
    dc.SelectObject(static_cast<CBrush*>(oldBrush));
    dc.SetROP2(oldRop);

    const std::vector<std::string> expected = {
        "rop 4 -> 13",
        "pen dot 1 0x0000FF",           // RGB(255, 0, 0) is 0x0000FF as a COLORREF
        "brush null",
        "moveto 10 20",
        "lineto 30 20",
        "rect 7 7 13 13",
        "pen solid 1 0x000000",
        "brush solid 0xFFFFFF",
        "rop 13 -> 4",
    };
    EXPECT_EQ(dc.Lines(), expected);
    EXPECT_EQ(dc.CurrentPosition(), CPoint(30, 20));
}

TEST(RecordingDC, TextAndColourSettingsReturnThePreviousValues) {
    CRecordingDC dc;
    EXPECT_EQ(dc.SetTextColor(RGB(0, 0, 255)), RGB(0, 0, 0));
    EXPECT_EQ(dc.SetBkColor(RGB(1, 2, 3)), RGB(255, 255, 255));
    EXPECT_EQ(dc.SetBkMode(TRANSPARENT), OPAQUE);
    dc.TextOut(5, 6, "T1");
    const std::vector<std::string> expected = {"textcolor 0xFF0000", "bkcolor 0x030201", "bkmode transparent",
                                               "text 5 6 T1"};
    EXPECT_EQ(dc.Lines(), expected);
}

TEST(GdiObjects, DeletingASelectedPenWaitsUntilItIsDeselected) {
    CRecordingDC dc;
    HPEN raw = CreatePen(PS_SOLID, 2, RGB(0, 255, 0));
    HGDIOBJ old = dc.SelectObject(raw);
    EXPECT_TRUE(DeleteObject(raw));
    EXPECT_TRUE(IsGdiObject(raw));   // still drawn with
    dc.SelectObject(old);
    EXPECT_FALSE(IsGdiObject(raw));
    // Stock objects are never deleted; unknown handles are refused.
    EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_PEN)));
    EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(GdiObjects, ObjectsDieWithTheirCppOwner) {
    HGDIOBJ handle = nullptr;
    {
        CBrush brush(RGB(1, 1, 1));
        handle = brush.GetSafeHandle();
        EXPECT_TRUE(IsGdiObject(handle));
        EXPECT_EQ(CBrush::FromHandle(handle), &brush);
        EXPECT_EQ(CPen::FromHandle(handle), nullptr);   // not a pen
    }
    EXPECT_FALSE(IsGdiObject(handle));
    CPen pen;
    EXPECT_TRUE(pen.CreatePen(PS_DASH, 1, 0));
    EXPECT_FALSE(pen.CreatePen(PS_DASH, 1, 0));   // already holds one
    EXPECT_TRUE(pen.DeleteObject());
    EXPECT_EQ(pen.GetSafeHandle(), nullptr);
}
