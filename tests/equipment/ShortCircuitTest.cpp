// Short-circuit points of the sample mine found by their supply paths and
// recomputed. Expected currents: the hand calculation of docs/map-format.md,
// and for changed data the same method worked by hand (docs/engineering.md).
#include <gmock/gmock.h>

#include <fstream>
#include <string>
#include <vector>

#include "SampleMineFixture.h"
#include "equipment/MapRoutines.h"
#include "host/Kernel.h"

namespace jdtest {
namespace {

using ::testing::ElementsAre;

class ShortCircuitTest : public SampleMineTest {
protected:
    // Empties the stored current, so that a recomputation must write it anew.
    void ClearCurrent(const char* point) { Object(point).fields[161][1] = "0"; }
    CString PathField(const char* point, LONG index) {
        CString field;
        const CString path = FromUtf8(Field(point, 161, 11));
        ExtractFields(&path, ";", index, index + 1, &field);
        return field;
    }
    BOOL RecalcKind0(const char* point, const char* prefix, const char* capacity) {
        return RecalcShortCircuitPoint(Map(), Handle(point), Id(point), G(point), "690", 0, G(prefix), capacity,
                                       PathField(point, 3), 0.0, 0.0);
    }
};

TEST_F(ShortCircuitTest, PointsAreFoundByTheTransformerTheirPathNames) {
    CKernelObjectArray points;
    CEntityIdArray ids;
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("1#矿用变压器"), "", &m_objects, &m_ids, &points, &ids), 3);
    EXPECT_THAT(Names(points), ElementsAre("d1", "d2", "d3"));  // kind "0" paths, field 2
    EXPECT_THAT(ids.items(), ElementsAre(Id("d1"), Id("d2"), Id("d3")));
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("1#移动变电站"), "", &m_objects, &m_ids, &points, &ids), 3);
    EXPECT_THAT(Names(points), ElementsAre("d4", "d5", "d6"));  // kind "1" paths, field 3
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("2#移动变电站"), "", &m_objects, &m_ids, &points, &ids), 0);
    EXPECT_TRUE(points.IsEmpty());
}

TEST_F(ShortCircuitTest, FindMatchesTheWholeNameAndSkipsPathsOfOtherKinds) {
    CKernelObjectArray points;
    CEntityIdArray ids;
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("1#移动"), "", &m_objects, &m_ids, &points, &ids), 0);
    Object("d5").fields[161][11] = G("2;690;x;1#移动变电站,0.0117,0.0363;0.1335;0.0812;");
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("1#移动变电站"), "", &m_objects, &m_ids, &points, &ids), 2);
    EXPECT_THAT(Names(points), ElementsAre("d4", "d6"));
    // Without lists the whole map is searched.
    EXPECT_EQ(FindShortCircuitPoints(Map(), 1, "", G("1#矿用变压器"), "", nullptr, nullptr, &points, &ids), 3);
}

TEST_F(ShortCircuitTest, KindOneUsesTheLoopTotals) {
    // d4 of docs/map-format.md: ΣR 0.165941 → 0.1659, ΣX 0.080835 → 0.0808
    // (seed row 4, KBSGZY-500/6) → 690 / (2·√(0.1659² + 0.0808²)) = 1869.61 A.
    ClearCurrent("d4");
    ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "690", 1, "", "", "0", 0.165941,
                                        0.080835));
    EXPECT_EQ(Field("d4", 161, 1), "1869.61");
    // The path 1;a;b;T1,0.0100,0.0300;0.1100;0.2300; rewritten for the 500 kVA unit:
    // ΣR' = 0.11 − 0.01 + 0.00590364 = 0.10590364,
    // ΣX' = 0.23 − 0.03 + 0.0376277 = 0.2376277 → 690 / (2·√(0.1059² + 0.2376²)) = 1326.25 A.
    ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "690", 1, "", "", "0", 0.10590364,
                                        0.2376277));
    EXPECT_EQ(Field("d4", 161, 1), "1326.25");
}

TEST_F(ShortCircuitTest, KindZeroFollowsTheCableRunAsTheHandCalculationDoes) {
    // docs/map-format.md (KBSG-200/6, seed row 57: R_T 0.037136, X_T 0.087680):
    // d1 1039.66 A, d2 1190.62 A, d3 1188.55 A.
    const std::pair<const char*, const char*> expected[] = {{"d1", "1039.66"}, {"d2", "1190.62"}, {"d3", "1188.55"}};
    for (const auto& [point, current] : expected) {
        ClearCurrent(point);
        ASSERT_TRUE(RecalcKind0(point, "KBSG", "200")) << point;
        EXPECT_EQ(Field(point, 161, 1), current) << point;
    }
}

// Each point of the sample stores the current the library computes from its
// own path on the unchanged network, so a recomputation changes nothing. The
// values themselves are the hand calculation of docs/map-format.md, checked
// against it by the kind "0" test above and by tests/host/MapFileTest.cpp.
TEST_F(ShortCircuitTest, TheSampleStoresWhatARecomputationGives) {
    for (const char* point : {"d1", "d2", "d3", "d4", "d5", "d6"}) {
        const std::string stored = Field(point, 161, 1);
        ClearCurrent(point);
        const CString kind = PathField(point, 0);
        if (kind == "0") {
            CString owner = PathField(point, 2), prefix, capacity;
            ExtractFields(&owner, ",", 1, 2, &prefix);
            ExtractFields(&owner, ",", 2, 3, &capacity);
            ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle(point), Id(point), G(point), PathField(point, 1), 0,
                                                prefix, capacity, PathField(point, 3), 0.0, 0.0))
                << point;
        } else {
            ASSERT_EQ(kind, "1") << point;
            ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle(point), Id(point), G(point), PathField(point, 1), 1, "",
                                                "", "0", ParseDouble(PathField(point, 4)),
                                                ParseDouble(PathField(point, 5))))
                << point;
        }
        EXPECT_EQ(Field(point, 161, 1), stored) << point;
    }
}

TEST_F(ShortCircuitTest, KindZeroTakesAnotherModelFromTheCatalogue) {
    // The map's record is KBSG-200/6; KBSGZY 500 kVA comes from the seed catalogue
    // (ShortcutLose 6120 W, uk 4 %): R_T = 0.011655, X_T = 0.036261.
    // d1: ΣR = 0.000244 + 0.011655 + 0.2738 → 0.2857; ΣX = 0.009522 + 0.000033
    // + 0.036261 + 0.018 → 0.0638; 690 / (2·√(0.2857² + 0.0638²)) = 1178.53 A.
    ClearCurrent("d1");
    ASSERT_TRUE(RecalcKind0("d1", "KBSGZY", "500"));
    EXPECT_EQ(Field("d1", 161, 1), "1178.53");
}

TEST_F(ShortCircuitTest, OneUpdateAsksTheCatalogueOnceAndGetsTheSameCurrents) {
    // The currents of d1..d3 with KBSGZY 500 from the catalogue, point by point.
    const char* points[] = {"d1", "d2", "d3"};
    std::vector<std::string> fromCatalogue;
    for (const char* point : points) {
        ClearCurrent(point);
        ASSERT_TRUE(RecalcKind0(point, "KBSGZY", "500")) << point;
        fromCatalogue.push_back(Field(point, 161, 1));
    }
    EXPECT_EQ(fromCatalogue[0], "1178.53");  // the hand calculation above
    const size_t boxesBefore = Boxes().size();
    {
        // Within one update the first point reads the catalogue; the catalogue
        // then becomes unreadable, and the later points still get its answer,
        // so it was read once, not once per point.
        const CUnchangedLinesScope update;
        ClearCurrent("d1");
        ASSERT_TRUE(RecalcKind0("d1", "KBSGZY", "500"));
        EXPECT_EQ(Field("d1", 161, 1), fromCatalogue[0]);
        {
            std::ofstream broken(m_catalogue, std::ios::trunc);
            broken << "not a catalogue";
        }
        for (int i = 1; i < 3; ++i) {
            ClearCurrent(points[i]);
            ASSERT_TRUE(RecalcKind0(points[i], "KBSGZY", "500")) << points[i];
            EXPECT_EQ(Field(points[i], 161, 1), fromCatalogue[static_cast<size_t>(i)]) << points[i];
        }
        EXPECT_EQ(Boxes().size(), boxesBefore) << "the catalogue was not opened again";
    }
    // Outside an update each point asks again: the refusal is shown and the
    // reference transformer stands in, as without any catalogue.
    ClearCurrent("d2");
    ASSERT_TRUE(RecalcKind0("d2", "KBSGZY", "500"));
    EXPECT_NE(Field("d2", 161, 1), fromCatalogue[1]);
    EXPECT_GT(Boxes().size(), boxesBefore);
    // A refusal inside an update is shown once, and every point gets the same stand-in.
    const size_t boxesOutside = Boxes().size();
    std::vector<std::string> standIn;
    {
        const CUnchangedLinesScope update;
        for (const char* point : points) {
            ClearCurrent(point);
            ASSERT_TRUE(RecalcKind0(point, "KBSGZY", "500")) << point;
            standIn.push_back(Field(point, 161, 1));
        }
    }
    EXPECT_EQ(Boxes().size() - boxesOutside, boxesOutside - boxesBefore) << "the boxes of one refusal, not three";
    EXPECT_EQ(standIn[1], Field("d2", 161, 1));
}

TEST_F(ShortCircuitTest, KindZeroFallsBackToTheReferenceTransformer) {
    // No model XYZ anywhere: 315 kVA stand-in, 3650 W and 4 %: R_T = 0.017513,
    // X_T = 0.057865; d1: ΣR → 0.2916, ΣX → 0.0854 → 1135.44 A.
    ClearCurrent("d1");
    ASSERT_TRUE(RecalcKind0("d1", "XYZ", "315"));
    EXPECT_EQ(Field("d1", 161, 1), "1135.44");
}

TEST_F(ShortCircuitTest, KindZeroUsesTheConvertedLengthWhenTheRunIsGone) {
    // d1's cable is not on the map any more: the path's 602 m of 50 mm² reference
    // cable (0.4484 / 0.081 Ω/km) replace it; the transformer is the one the path
    // names (its record: seed row 57, R_T 0.037136, X_T 0.087680).
    // ΣR = 0.000244 + 0.037136 + 0.269937 = 0.307317 → 0.3073;
    // ΣX = 0.009522 + 0.000033 + 0.087680 + 0.048762 = 0.145997 → 0.1460 → 1014.05 A.
    Object("d1").fields[161][0] = G("已拆除电缆");
    ClearCurrent("d1");
    ASSERT_TRUE(RecalcKind0("d1", "KBSG", "200"));
    EXPECT_EQ(Field("d1", 161, 1), "1014.05");
}

TEST_F(ShortCircuitTest, NothingIsWrittenWhenNothingCanBeComputed) {
    ClearCurrent("d4");
    EXPECT_FALSE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "", 1, "", "", "0", 0.16, 0.08));
    EXPECT_FALSE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "690", 1, "", "", "0", 0, 0));
    EXPECT_FALSE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "690", 7, "", "", "0", 0.16, 0.08));
    EXPECT_FALSE(RecalcShortCircuitPoint(nullptr, Handle("d4"), Id("d4"), G("d4"), "690", 1, "", "", "0", 0.16, 0.08));
    EXPECT_EQ(Field("d4", 161, 1), "0");
    // Kind 0 without run and without converted length.
    Object("d1").fields[161][0] = G("已拆除电缆");
    ClearCurrent("d1");
    EXPECT_FALSE(RecalcShortCircuitPoint(Map(), Handle("d1"), Id("d1"), G("d1"), "690", 0, G("KBSG"), "200", "", 0, 0));
    EXPECT_EQ(Field("d1", 161, 1), "0");
}

TEST_F(ShortCircuitTest, ThePointsLabelFollowsItsNewCurrent) {
    ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle("d4"), Id("d4"), G("d4"), "690", 1, "", "", "0", 0.10590364,
                                        0.2376277));
    EXPECT_EQ(ToUtf8(Object("d4").labels[0].text), "d4 Id(2)=1326A");
    // A label of another form is left alone.
    Object("d5").labels[0].text = G("掘进机短路点");
    ASSERT_TRUE(RecalcShortCircuitPoint(Map(), Handle("d5"), Id("d5"), G("d5"), "690", 1, "", "", "0", 0.1, 0.1));
    EXPECT_EQ(ToUtf8(Object("d5").labels[0].text), "掘进机短路点");
}

TEST_F(ShortCircuitTest, PathIsWrittenToSubIndex11Only) {
    const CString path = G("1;690;2-1电缆/2-2电缆;新名称,0.0117,0.0363;0.1659;0.0808;");
    ASSERT_TRUE(WritePointPath(Map(), Id("d4"), path));
    EXPECT_EQ(Field("d4", 161, 11), ToUtf8(path));
    EXPECT_EQ(Field("d4", 161, 1), "1869.61") << "the current as the sample stores it";
    EXPECT_TRUE(m_document.modified());
    EXPECT_FALSE(WritePointPath(Map(), Id("掘进机"), path)) << "no field 161 on a motor";
    EXPECT_FALSE(Object("掘进机").fields.count(161));
}

}  // namespace
}  // namespace jdtest
