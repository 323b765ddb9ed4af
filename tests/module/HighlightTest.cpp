// The highlight of the picked transformer, drawn on a repaint in the click
// step: expected drawings worked out by hand from the symbol's placement.
//
// The test map's view (ModuleHarness.h): window x = 2x - 0.5, window y =
// 400.5 - 2y, each floored. Symbol 1 spans (-10, -5) to (10, 5).
#include <gtest/gtest.h>

#include <sstream>

#include "ModuleHarness.h"
#include "module/SelectionHighlight.h"

namespace moduletest {
namespace {

using Highlight = ModuleTest;

// The frame and grip lines around four window corners and four midpoints,
// drawn into a context whose raster operation was `rop` (so the grips show
// that operation again), with its initial black pen and white brush.
std::vector<std::string> ExpectedDrawing(int rop, const std::vector<std::pair<int, int>>& corners,
                                         const std::vector<std::pair<int, int>>& midpoints) {
    std::vector<std::string> lines{"rop 4 -> " + std::to_string(rop), "pen dot 1 0x0000FF"};
    for (size_t i = 0; i < 4; ++i) {
        const auto& from = corners[i];
        const auto& to = corners[(i + 1) % 4];
        lines.push_back("moveto " + std::to_string(from.first) + " " + std::to_string(from.second));
        lines.push_back("lineto " + std::to_string(to.first) + " " + std::to_string(to.second));
    }
    lines.push_back("pen solid 1 0x000000");
    lines.push_back("rop " + std::to_string(rop) + " -> 4");
    lines.push_back("pen solid 1 0x00FF00");
    lines.push_back("brush solid 0x00FF7A");
    auto grip = [&](const std::pair<int, int>& p) {
        lines.push_back("rect " + std::to_string(p.first - 3) + " " + std::to_string(p.second - 3) + " " +
                        std::to_string(p.first + 3) + " " + std::to_string(p.second + 3));
    };
    for (const auto& c : corners) grip(c);
    for (const auto& m : midpoints) grip(m);
    lines.push_back("pen solid 1 0x000000");
    lines.push_back("brush solid 0xFFFFFF");
    lines.push_back("rop " + std::to_string(rop) + " -> " + std::to_string(rop));
    return lines;
}

TEST_F(Highlight, AnUnrotatedSymbolGetsAnAxisParallelFrameAndEightGrips) {
    Launch();
    Pick({kFlatTransformer});
    // Placed 40 x 10 on a 20 x 10 definition: sx = 2, sy = 1. Insertion (100, 50):
    //   c0 = (-10·2 + 100, 5 + 50) = (80, 55)    -> window (159.5, 290.5) -> (159, 290)
    //   c1 = (10·2 + 100, 55)      = (120, 55)   -> (239.5, 290.5)        -> (239, 290)
    //   c2 = (120, -5 + 50)        = (120, 45)   -> (239.5, 310.5)        -> (239, 310)
    //   c3 = (80, 45)                            -> (159.5, 310.5)        -> (159, 310)
    // Midpoints (100, 55), (120, 50), (100, 45), (80, 50) -> (199, 290), (239, 300), (199, 310), (159, 300).
    // Drawn into a context in R2_XORPEN (7), which the grips use again.
    EXPECT_EQ(Repaint(R2_XORPEN), ExpectedDrawing(R2_XORPEN, {{159, 290}, {239, 290}, {239, 310}, {159, 310}},
                                                  {{199, 290}, {239, 300}, {199, 310}, {159, 300}}));
}

TEST_F(Highlight, ARotatedSymbolGetsItsFrameTurnedAboutTheInsertionPoint) {
    Launch();
    Pick({kTurnedTransformer});
    // Placed 20 x 10: sx = sy = 1. Insertion (300, 100), turned 30° counter-clockwise:
    // x' = dx·cos30 − dy·sin30, y' = dx·sin30 + dy·cos30 (cos30 = 0.8660254, sin30 = 0.5).
    //   c0 (dx −10, dy 5):  (−11.160254, −0.669873) -> (288.839746, 99.330127) -> window (577.18, 201.84) -> (577, 201)
    //   c1 (dx 10, dy 5):   (6.160254, 9.330127)    -> (306.160254, 109.330127) -> (611.82, 181.84) -> (611, 181)
    //   c2 (dx 10, dy −5):  (11.160254, 0.669873)   -> (311.160254, 100.669873) -> (621.82, 199.16) -> (621, 199)
    //   c3 (dx −10, dy −5): (−6.160254, −9.330127)  -> (293.839746, 90.669873)  -> (587.18, 219.16) -> (587, 219)
    // Midpoints, the mean of the turned corners:
    //   c0c1 (297.5, 104.330127) -> (594.5, 191.84) -> (594, 191)
    //   c1c2 (308.660254, 105)   -> (616.82, 190.5) -> (616, 190)
    //   c2c3 (302.5, 95.669873)  -> (604.5, 209.16) -> (604, 209)
    //   c3c0 (291.339746, 95)    -> (582.18, 210.5) -> (582, 210)
    EXPECT_EQ(Repaint(), ExpectedDrawing(R2_COPYPEN, {{577, 201}, {611, 181}, {621, 199}, {587, 219}},
                                         {{594, 191}, {616, 190}, {604, 209}, {582, 210}}));
}

TEST_F(Highlight, NothingIsDrawnBeforeATransformerIsPickedAndNothingForAFlatSymbol) {
    Launch();
    m_log.Clear();
    EXPECT_TRUE(Repaint().empty());
    EXPECT_EQ(m_log.Count("MapToClient"), 0u);
    // A definition without width would divide by zero: the drawing is skipped.
    Pick({kFlatSymbolTransformer});
    ASSERT_EQ(state().current.step, 1);
    EXPECT_TRUE(Repaint().empty());
    EXPECT_EQ(m_log.Count("MapToClient"), 0u);
}


TEST_F(Highlight, ASymbolNearTheEndOfTheDoubleRangeIsDrawnWithinTheDrawableRange) {
    // Placed near ±1e308 the corners overflow to infinity in the view
    // transform; the window coordinates must stay drawable, and a grip's
    // offsets must not overflow an int (which would flip its rectangle).
    for (const double far : {1e308, -1e308, 1.7e308}) {
        m_map.FindByEntity(kFlatTransformer)->insertion = {far, -far, 0.0};
        Launch();
        Pick({kFlatTransformer});
        const std::vector<std::string> drawing = Repaint();
        ASSERT_FALSE(drawing.empty()) << "the frame and the eight grips are still drawn";
        int rectangles = 0, lines = 0;
        for (const std::string& line : drawing) {
            std::istringstream words(line);
            std::string verb;
            words >> verb;
            if (verb != "moveto" && verb != "lineto" && verb != "rect") continue;
            std::vector<long long> numbers;
            for (long long n = 0; words >> n;) numbers.push_back(n);
            for (const long long n : numbers) {
                EXPECT_LE(n, jdmodule::kDrawableLimit + jdmodule::kGripHalfSize) << line;
                EXPECT_GE(n, -jdmodule::kDrawableLimit - jdmodule::kGripHalfSize) << line;
            }
            if (verb == "rect") {
                ASSERT_EQ(numbers.size(), 4u) << line;
                EXPECT_EQ(numbers[2] - numbers[0], 2 * jdmodule::kGripHalfSize) << line;
                EXPECT_EQ(numbers[3] - numbers[1], 2 * jdmodule::kGripHalfSize) << line;
                ++rectangles;
            } else {
                ++lines;
            }
        }
        EXPECT_EQ(rectangles, 8);
        EXPECT_EQ(lines, 8);
        module().MouseStatus(7, 27, 0);  // ESC ends the command for the next round
    }
}

}  // namespace
}  // namespace moduletest
