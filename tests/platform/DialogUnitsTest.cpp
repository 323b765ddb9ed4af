#include <gtest/gtest.h>

#include "platform/Resources.h"

// A font 7 pixels wide on average and 16 high: a horizontal dialog unit is
// 7/4 pixel, a vertical one 16/8 = 2 pixels; halves round away from zero.
TEST(DialogUnitsTest, ConvertWithTheFontsBaseUnits) {
    EXPECT_EQ(DialogUnitsToPixelsX(330, 7), 578);   // 577.5
    EXPECT_EQ(DialogUnitsToPixelsX(60, 7), 105);
    EXPECT_EQ(DialogUnitsToPixelsX(1, 7), 2);       // 1.75
    EXPECT_EQ(DialogUnitsToPixelsX(-3, 7), -5);     // -5.25
    EXPECT_EQ(DialogUnitsToPixelsY(306, 16), 612);
    EXPECT_EQ(DialogUnitsToPixelsY(5, 13), 8);      // 8.125
    const CRect r = DialogUnitsToPixels(CRect(330, 306, 390, 322), 7, 16);
    EXPECT_EQ(r, CRect(578, 612, 683, 644));        // 390 * 7 / 4 = 682.5
    EXPECT_EQ(DialogUnitsToPixelsX(10, 0), 0);
}

TEST(DialogUnitsTest, FindsTemplateControlsById) {
    RegisterDialogTemplate({.id = 64001, .caption = "t", .width = 100, .height = 50,
                            .controls = {{.kind = ControlKind::Static, .caption = "a", .x = 1, .y = 2},
                                         {.id = 7, .kind = ControlKind::Edit, .x = 10, .y = 20, .w = 30, .h = 12}}});
    const DialogResource* res = FindDialogResource(64001);
    ASSERT_NE(res, nullptr);
    const ControlResource* edit = FindControlResource(*res, 7);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->rect, CRect(10, 20, 40, 32));
    EXPECT_EQ(FindControlResource(*res, 8), nullptr);
    UnregisterDialogTemplate(64001);
}
