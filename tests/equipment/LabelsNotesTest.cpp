// Labels the library puts on mobile substations, and the feeder switch's
// setting note, on the sample mine.
#include <gmock/gmock.h>

#include "SampleMineFixture.h"
#include "equipment/MapRoutines.h"

namespace jdtest {
namespace {

class LabelTest : public SampleMineTest {
protected:
    CStringArray Labels(const char* designation, const char* name) {
        CStringArray labels;
        labels.Add(G(designation));
        labels.Add(G(name));
        return labels;
    }
    std::vector<std::string> Texts(const char* object) {
        std::vector<std::string> texts;
        for (const host::Label& label : Object(object).labels) texts.push_back(ToUtf8(label.text));
        return texts;
    }
};

using ::testing::ElementsAre;

TEST_F(LabelTest, TheLibraryLabelsMobileSubstationsOnly) {
    EXPECT_TRUE(IsLabelledType(G("移动变电站")));
    EXPECT_FALSE(IsLabelledType(G("动力变压器")));
    EXPECT_FALSE(IsLabelledType(G("矿用变压器")));
    EXPECT_FALSE(IsLabelledType(""));
}

TEST_F(LabelTest, AMobileSubstationWithItsHeadsSetShowsThemInAThirdLabel) {
    LONG handle = Handle("1#移动变电站");
    CStringArray labels = Labels("KBSGZY-500/6/0.69", "1#移动变电站");
    ASSERT_TRUE(LabelObject(0, Map(), G("移动变电站"), &handle, &labels, 1));
    EXPECT_THAT(Texts("1#移动变电站"),
                ElementsAre("KBSGZY-500/6/0.69", "1#移动变电站", "高压头 PBG-100/6  低压头 KBZ-400/1140(660)"));
    const auto& placed = Object("1#移动变电站").labels;
    EXPECT_EQ(placed[0].placement, 0);
    EXPECT_EQ(placed[1].placement, 8);
    EXPECT_EQ(placed[1].style, GetLabelStyle());
    EXPECT_EQ(placed[2].placement, 9);
}

TEST_F(LabelTest, PlacementsStayWhenNothingChangedButANewLabelIsPlaced) {
    Object("1#移动变电站").labels[0].placement = 5;
    Object("1#移动变电站").labels[1].placement = 6;
    LONG handle = Handle("1#移动变电站");
    CStringArray labels = Labels("KBSGZY-500/6/0.69", "1#移动变电站");
    ASSERT_TRUE(LabelObject(0, Map(), G("移动变电站"), &handle, &labels, 0));
    const auto& placed = Object("1#移动变电站").labels;
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0].placement, 5);
    EXPECT_EQ(placed[1].placement, 6);
    EXPECT_EQ(placed[2].placement, 9) << "the head label did not exist before";
}

TEST_F(LabelTest, WithoutHeadsTwoLabels) {
    LONG handle = Handle("2#移动变电站");
    CStringArray labels = Labels("KBSGZY-800/6/1.2", "2#移动变电站");
    ASSERT_TRUE(LabelObject(0, Map(), G("移动变电站"), &handle, &labels, 1));
    EXPECT_THAT(Texts("2#移动变电站"), ElementsAre("KBSGZY-800/6/1.2", "2#移动变电站"));
    // A head cleared later takes its label away.
    handle = Handle("1#移动变电站");
    Object("1#移动变电站").fields[176][0] = "0";
    Object("1#移动变电站").fields[174][0] = "0";
    labels = Labels("KBSGZY-500/6/0.69", "1#移动变电站");
    ASSERT_TRUE(LabelObject(0, Map(), G("移动变电站"), &handle, &labels, 0));
    EXPECT_THAT(Texts("1#移动变电站"), ElementsAre("KBSGZY-500/6/0.69", "1#移动变电站"));
}

TEST_F(LabelTest, NoModelEmptiesTheExistingLabels) {
    LONG handle = Handle("1#移动变电站");
    CStringArray labels = Labels("", "");
    ASSERT_TRUE(LabelObject(0, Map(), G("移动变电站"), &handle, &labels, 1));
    EXPECT_THAT(Texts("1#移动变电站"), ElementsAre("", ""));
    EXPECT_EQ(Object("1#移动变电站").labels[0].style, GetLabelStyle());
}

TEST_F(LabelTest, BadArgumentsAreRefused) {
    CStringArray labels = Labels("X", "Y");
    LONG nothing = 99999;
    EXPECT_FALSE(LabelObject(0, Map(), G("移动变电站"), nullptr, &labels, 1));
    EXPECT_FALSE(LabelObject(0, Map(), G("移动变电站"), &nothing, &labels, 1));
    LONG handle = Handle("1#移动变电站");
    EXPECT_FALSE(LabelObject(0, Map(), G("移动变电站"), &handle, nullptr, 1));
}

// ---- Setting notes --------------------------------------------------------------------

class NoteTest : public SampleMineTest {};

// The note as the Set Feeder Switch dialog begins it, completed by the library.
TEST_F(NoteTest, FeederSwitchNoteIsCompletedAndStoredAsTheLowVoltageHead) {
    // The sample's 1#移动变电站: its motors' rated currents on the low-voltage side
    // 356.60 A, its point d4 1869.61 A (docs/map-format.md); 1869.61 / 1200 = 1.56.
    CString note = G("移变1#移动变电站 低压侧: 过载整定计算值：356.60A，用户整定电流：");
    BuildSwitchNote(G("移动变电站"), G("电子式保护"), "1869.61", "1200", "1.56", &note);
    EXPECT_EQ(ToUtf8(note),
              "移变1#移动变电站 低压侧: 过载整定计算值：356.60A，用户整定电流：1200A，保护方式：电子式保护；"
              "校验短路点两相短路电流：1869.61A，灵敏度：1.56，满足要求。");
    m_document.setModified(false);
    ASSERT_TRUE(WriteSwitchNote(Map(), G("1#移动变电站"), note));
    EXPECT_EQ(Object("1#移动变电站").notes.at("lowVoltageHead"), note);
    EXPECT_EQ(ToUtf8(Object("1#移动变电站").notes.at("highVoltageHead")), "PBG-100/6 电子式保护");
    EXPECT_TRUE(m_document.modified());
}

TEST_F(NoteTest, SensitivityVerdictAtTheBoundary) {
    CString pass, fail;
    BuildSwitchNote(G("移动变电站"), G("过流继电器"), "900", "600", "1.5", &pass);
    BuildSwitchNote(G("移动变电站"), G("过流继电器"), "894", "600", "1.49", &fail);
    EXPECT_NE(ToUtf8(pass).find("，满足要求。"), std::string::npos) << ToUtf8(pass);
    EXPECT_NE(ToUtf8(fail).find("不满足要求"), std::string::npos) << ToUtf8(fail);
}

TEST_F(NoteTest, AnUncomputedShortCircuitCurrentIsSaidSo) {
    CString note;
    BuildSwitchNote(G("移动变电站"), G("电子式保护"), "0", "400", "0", &note);
    EXPECT_EQ(ToUtf8(note), "400A，保护方式：电子式保护；校验短路点短路电流未计算，灵敏度未校验。");
    BuildSwitchNote(G("移动变电站"), "", "0", "400", "0", nullptr);  // no crash
}

TEST_F(NoteTest, NotesGoToTheObjectOfTheNameUnderTheirSidesKey) {
    EXPECT_TRUE(WriteSwitchNote(Map(), G("1#矿用变压器"), G("高压侧: 测试")));
    EXPECT_EQ(ToUtf8(Object("1#矿用变压器").notes.at("highVoltageHead")), "高压侧: 测试");
    EXPECT_TRUE(WriteSwitchNote(Map(), G("1#矿用变压器"), G("其它")));
    EXPECT_EQ(ToUtf8(Object("1#矿用变压器").notes.at("setting")), "其它");
    EXPECT_FALSE(WriteSwitchNote(Map(), G("没有这个设备"), G("低压侧")));
    EXPECT_FALSE(WriteSwitchNote(Map(), "", G("低压侧")));
}

}  // namespace
}  // namespace jdtest
