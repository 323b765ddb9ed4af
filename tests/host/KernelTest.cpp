#include "host/Kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "host/MapDocument.h"
#include "platform/Gbk.h"

namespace {

constexpr LONG kTransformer = 1000;
constexpr LONG kMotor = 1001;
constexpr LONG kIsolated = 1002;
constexpr LONG kFeedLine = 2000;  // transformer -> motor
constexpr LONG kOpenLine = 2001;  // motor -> nothing
constexpr LONG kSymbol = 7;

LONG WordAt(const void* record, size_t offset) {
    LONG value = 0;
    std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
    return value;
}

// A small feeder: a mobile substation feeding a motor over one line, a second
// line leaving the motor towards nothing, and one object without connections.
class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc.layers().push_back({1, FromUtf8("电力"), 0x00FF00, {}});
        doc.layers().push_back({2, FromUtf8("变电"), 0x123456, {}});
        host::SymbolDefinition symbol;
        symbol.id = kSymbol;
        symbol.name = "TR";
        symbol.x0 = -2.0;
        symbol.y0 = -1.0;
        symbol.x1 = 2.0;
        symbol.y1 = 1.0;
        doc.symbols().push_back(symbol);

        host::MapObject transformer;
        transformer.entityId = 100;
        transformer.handle = kTransformer;
        transformer.entityType = host::EntityType::Transformer;
        transformer.kind = FromUtf8(host::KindName::MobileSubstation);
        transformer.name = FromUtf8("1号移变");
        transformer.layer = 2;
        transformer.colour = 0xFF;
        transformer.flags = 0x20;
        transformer.insertion = {10.0, 20.0, 0.5};
        transformer.outline = {{6, 18, 0}, {14, 18, 0}, {14, 22, 0}, {6, 22, 0}};
        transformer.symbol = kSymbol;
        transformer.width = 8.0;
        transformer.height = 4.0;
        transformer.rotation = 90.0;
        transformer.labels = {{FromUtf8("KBSGZY-500"), 1, 0}, {FromUtf8("1号移变"), 1, 8}};
        doc.AddObject(transformer);

        host::MapObject motor;
        motor.entityId = 101;
        motor.handle = kMotor;
        motor.kind = FromUtf8(host::KindName::Motor);
        motor.name = "M1";
        motor.symbol = kSymbol;
        doc.AddObject(motor);

        host::MapObject isolated;
        isolated.entityId = 102;
        isolated.handle = kIsolated;
        isolated.kind = FromUtf8(host::KindName::ShortCircuitPoint);
        doc.AddObject(isolated);

        host::MapObject feed;
        feed.entityId = 200;
        feed.handle = kFeedLine;
        feed.entityType = host::EntityType::Line;
        feed.isLine = true;
        feed.fromEntity = 100;
        feed.toEntity = 101;
        feed.lineProperty = 2;
        doc.AddObject(feed);

        host::MapObject open;
        open.entityId = 201;
        open.handle = kOpenLine;
        open.entityType = host::EntityType::Line;
        open.isLine = true;
        open.fromEntity = 101;
        open.toEntity = 0;
        doc.AddObject(open);

        doc.setModified(false);
        mapHandle = KernelAttachMap(doc);
    }
    void TearDown() override { KernelDetachMap(mapHandle); }

    host::MapObject& Object(LONG handle) { return *doc.FindByHandle(handle); }

    host::MapDocument doc;
    LONG mapHandle = 0;
};

// ---- Map binding and refusals -------------------------------------------------

TEST_F(KernelTest, WithoutAttachedMapEveryRoutineRefusesAndWritesNothing) {
    KernelDetachMap(mapHandle);
    LONG value = 12345;
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::LabelCount, &value, 0));
    EXPECT_EQ(value, 12345);
    EXPECT_FALSE(QueryMap(mapHandle, KernelMapQuery::CurrentColour, &value, 0));
    EXPECT_EQ(value, 12345);
    KernelObjectRecord record;
    EXPECT_FALSE(GetObjectInfo(kTransformer, &record));
    EXPECT_EQ(record.handle, -1);
    std::strcpy(record.name, "X");
    EXPECT_FALSE(SetObjectInfo(kTransformer, &record));
    EXPECT_EQ(Object(kTransformer).name, FromUtf8("1号移变"));
    KernelRect rect;
    EXPECT_FALSE(GetBlockExtent(kSymbol, 0, 0, &rect));
    EXPECT_EQ(rect.x1, 0.0);
    EXPECT_STRNE(KernelLastError(), "");
    EXPECT_EQ(KernelMap(mapHandle), nullptr);
    EXPECT_EQ(KernelCurrentDocument(), nullptr);
    EXPECT_FALSE(doc.modified());
}

TEST_F(KernelTest, UnknownHandleOrCodeAnswersFalseWithBufferUntouched) {
    LONG value = 777;
    EXPECT_FALSE(QueryObject(99999, KernelQuery::LabelCount, &value, 0));
    EXPECT_EQ(value, 777);
    EXPECT_FALSE(QueryObject(kTransformer, 4242, &value, 0));
    EXPECT_EQ(value, 777);
    EXPECT_NE(std::string(KernelLastError()).find("4242"), std::string::npos);
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::LabelCount, nullptr, 0));
    EXPECT_FALSE(QueryMap(mapHandle, 99, &value, 0));
    EXPECT_EQ(value, 777);
}

TEST_F(KernelTest, ObjectHandlesReferToTheMostRecentlyAttachedMap) {
    host::MapDocument other;
    host::MapObject single;
    single.handle = kTransformer;
    single.name = "OTHER";
    other.AddObject(single);
    const LONG otherHandle = KernelAttachMap(other);
    EXPECT_NE(otherHandle, mapHandle);
    EXPECT_EQ(KernelMap(otherHandle), &other);
    EXPECT_EQ(KernelCurrentMap(), otherHandle);
    EXPECT_EQ(KernelCurrentDocument(), &other);
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    EXPECT_STREQ(record.name, "OTHER");
    EXPECT_FALSE(GetObjectInfo(kMotor, &record));  // only in the first map

    KernelDetachMap(otherHandle);
    EXPECT_EQ(KernelCurrentMap(), mapHandle);
    EXPECT_EQ(KernelCurrentDocument(), &doc);
    ASSERT_TRUE(GetObjectInfo(kMotor, &record));
    EXPECT_STREQ(record.name, "M1");
}

// ---- QueryObject ----------------------------------------------------------------

TEST_F(KernelTest, InsertionPointOfSymbolAndRefusalForLine) {
    KernelPoint p;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::InsertionPoint, &p, 0));
    EXPECT_EQ(p.x, 10.0);
    EXPECT_EQ(p.y, 20.0);
    EXPECT_EQ(p.z, 0.5);
    KernelPoint untouched;
    EXPECT_FALSE(QueryObject(kFeedLine, KernelQuery::InsertionPoint, &untouched, 0));
    EXPECT_EQ(untouched.x, 0.0);
}

TEST_F(KernelTest, LineEndsAnswerTheObjectsOrZero) {
    LONG at = -5;
    ASSERT_TRUE(QueryObject(kFeedLine, KernelQuery::LineStartObject, &at, 0));
    EXPECT_EQ(at, kTransformer);
    ASSERT_TRUE(QueryObject(kFeedLine, KernelQuery::LineEndObject, &at, 0));
    EXPECT_EQ(at, kMotor);
    ASSERT_TRUE(QueryObject(kOpenLine, KernelQuery::LineStartObject, &at, 0));
    EXPECT_EQ(at, kMotor);
    at = -5;
    EXPECT_TRUE(QueryObject(kOpenLine, KernelQuery::LineEndObject, &at, 0));
    EXPECT_EQ(at, 0) << "a line end without object answers 0";
    at = -5;
    EXPECT_FALSE(QueryObject(kMotor, KernelQuery::LineEndObject, &at, 0));
    EXPECT_EQ(at, 0) << "a symbol asked for a line end answers 0";
}

TEST_F(KernelTest, LineEndNamingAMissingEntityAnswersZero) {
    Object(kOpenLine).toEntity = 555;  // no such entity in the map
    LONG at = -5;
    EXPECT_TRUE(QueryObject(kOpenLine, KernelQuery::LineEndObject, &at, 0));
    EXPECT_EQ(at, 0);
}

TEST_F(KernelTest, OutlineCopiesAtMostTheCountPassed) {
    LONG count = 0;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::OutlineCount, &count, 0));
    EXPECT_EQ(count, 4);
    KernelPoint points[4];
    points[2].x = -1.0;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::OutlinePoints, points, 2));
    EXPECT_EQ(points[0].x, 6.0);
    EXPECT_EQ(points[1].x, 14.0);
    EXPECT_EQ(points[1].y, 18.0);
    EXPECT_EQ(points[2].x, -1.0) << "third point was not asked for";
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::OutlinePoints, points, 4));
    EXPECT_EQ(points[3].x, 6.0);
    EXPECT_EQ(points[3].y, 22.0);
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::OutlinePoints, points, -1));
}

TEST_F(KernelTest, KindNameIsCutAtACharacterBoundaryWithinThirtyOneBytes) {
    char kind[32];
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::KindName, kind, 0));
    EXPECT_EQ(CString(kind), FromUtf8("移动变电站"));

    // 17 two-byte characters = 34 bytes: 15 of them (30 bytes) fit.
    const std::string seventeen = "一二三四五六七八九十甲乙丙丁戊己庚";
    Object(kMotor).kind = FromUtf8(seventeen);
    std::memset(kind, 'x', sizeof kind);
    ASSERT_TRUE(QueryObject(kMotor, KernelQuery::KindName, kind, 0));
    EXPECT_EQ(std::strlen(kind), 30u);
    EXPECT_EQ(CString(kind), FromUtf8("一二三四五六七八九十甲乙丙丁戊"));

    // "a" + 16 characters = 33 bytes: "a" + 15 characters = 31 bytes, the limit.
    Object(kMotor).kind = FromUtf8("a" + seventeen.substr(0, 16 * 3));
    ASSERT_TRUE(QueryObject(kMotor, KernelQuery::KindName, kind, 0));
    EXPECT_EQ(std::strlen(kind), 31u);
    EXPECT_EQ(kind[31], '\0');
}

TEST_F(KernelTest, LabelCountSetResizesWithEmptyNewLabels) {
    LONG count = 0;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::LabelCount, &count, 0));
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(doc.modified());

    LONG four = 4;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelCount, &four, 0));
    EXPECT_TRUE(doc.modified());
    const auto& labels = Object(kTransformer).labels;
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].text, FromUtf8("KBSGZY-500")) << "existing labels are kept";
    EXPECT_EQ(labels[3], host::Label{});

    LONG one = 1;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelCount, &one, 0));
    EXPECT_EQ(Object(kTransformer).labels.size(), 1u);
    LONG negative = -1;
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelCount, &negative, 0));
    LONG tooMany = kMaxLabelCount + 1;
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelCount, &tooMany, 0));
    EXPECT_EQ(Object(kTransformer).labels.size(), 1u);
}

TEST_F(KernelTest, LabelTextStyleAndPlacementByIndex) {
    const CString spare = FromUtf8("备用");
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelText, const_cast<char*>(spare.GetString()), 0));
    LONG style = 5;
    LONG placement = 3;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelStyle, &style, 1));
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelPlacement, &placement, 0));
    const auto& labels = Object(kTransformer).labels;
    EXPECT_EQ(labels[0].text, spare);
    EXPECT_EQ(labels[0].placement, 3);
    EXPECT_EQ(labels[0].style, 1) << "style was set on label 1 only";
    EXPECT_EQ(labels[1].style, 5);
    EXPECT_EQ(labels[1].placement, 8);
    EXPECT_TRUE(doc.modified());
}

TEST_F(KernelTest, LabelIndexOutOfRangeChangesNothing) {
    const auto before = Object(kTransformer).labels;
    char text[] = "X";
    LONG value = 9;
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelText, text, 2));
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelText, text, -1));
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelStyle, &value, 2));
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelPlacement, &value, 7));
    EXPECT_NE(std::string(KernelLastError()).find("label index 7"), std::string::npos);
    EXPECT_EQ(Object(kTransformer).labels, before);
    EXPECT_FALSE(doc.modified());
}

TEST_F(KernelTest, LabelTextIsCutToTheByteLimitWithoutSplittingACharacter) {
    std::string utf8;
    for (int i = 0; i < 200; ++i) utf8 += "电";  // 400 GBK bytes
    const CString text = FromUtf8(utf8);
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelText, const_cast<char*>(text.GetString()), 1));
    // 255 bytes hold 127 two-byte characters (254 bytes).
    EXPECT_EQ(Object(kTransformer).labels[1].text.GetLength(), 254);
    EXPECT_EQ(Object(kTransformer).labels[1].text, text.Left(254));
}

TEST_F(KernelTest, ALabelTextThatIsNotGbkIsRefusedAndTheLabelKept) {
    const auto before = Object(kTransformer).labels;
    // A byte that starts no character, a lead byte with nothing after it, a
    // pair GBK leaves empty: each refused with where and why, nothing changed.
    for (const char* bad : {"\xFF" "abc", "abc\xB1", "\xA2\xA0"}) {
        std::string text = bad;
        EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::SetLabelText, text.data(), 0)) << text;
        EXPECT_NE(std::string(KernelLastError()).find("the label text is not valid GBK"), std::string::npos) << text;
    }
    EXPECT_EQ(Object(kTransformer).labels, before);
    EXPECT_FALSE(doc.modified());
    // A pair that would end past the limit is cut off whole, and what is left is GBK.
    std::string text(254, 'a');
    text += "\xB1\xE4";
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::SetLabelText, text.data(), 0));
    EXPECT_EQ(Object(kTransformer).labels[0].text, CString(std::string(254, 'a')));
}

TEST_F(KernelTest, LinePropertyOnlyForLines) {
    LONG property = -1;
    ASSERT_TRUE(QueryObject(kFeedLine, KernelQuery::LineProperty, &property, 0));
    EXPECT_EQ(property, 2);
    property = -1;
    EXPECT_FALSE(QueryObject(kTransformer, KernelQuery::LineProperty, &property, 0));
    EXPECT_EQ(property, -1);
}

TEST_F(KernelTest, ConnectionsCountAndListCopyAtMostTheCountPassed) {
    LONG count = -1;
    ASSERT_TRUE(QueryObject(kMotor, KernelQuery::ConnectionCount, &count, 0));
    EXPECT_EQ(count, 2);
    // The motor ends line 2000 (+2000) and starts line 2001 (-2001), in document order.
    LONG list[2] = {0, 0};
    ASSERT_TRUE(QueryObject(kMotor, KernelQuery::ConnectionList, list, 2));
    EXPECT_EQ(list[0], kFeedLine);
    EXPECT_EQ(list[1], -kOpenLine);

    LONG one[2] = {0, 4711};
    ASSERT_TRUE(QueryObject(kMotor, KernelQuery::ConnectionList, one, 1));
    EXPECT_EQ(one[0], kFeedLine);
    EXPECT_EQ(one[1], 4711);

    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::ConnectionCount, &count, 0));
    EXPECT_EQ(count, 1);
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::ConnectionList, list, 1));
    EXPECT_EQ(list[0], -kFeedLine);
}

TEST_F(KernelTest, ObjectWithoutConnectionsAnswersZero) {
    LONG count = -1;
    ASSERT_TRUE(QueryObject(kIsolated, KernelQuery::ConnectionCount, &count, 0));
    EXPECT_EQ(count, 0);
}

// ---- QueryMap -------------------------------------------------------------------

TEST_F(KernelTest, MapCurrentColourAndLayerRecordColourAtByte96) {
    LONG colour = 0;
    ASSERT_TRUE(QueryMap(mapHandle, KernelMapQuery::CurrentColour, &colour, 0));
    EXPECT_EQ(colour, -1);
    doc.setCurrentColour(0x96F0);
    ASSERT_TRUE(QueryMap(mapHandle, KernelMapQuery::CurrentColour, &colour, 0));
    EXPECT_EQ(colour, 0x96F0);

    unsigned char raw[sizeof(KernelLayerRecord)];
    std::memset(raw, 0xCC, sizeof raw);
    ASSERT_TRUE(QueryMap(mapHandle, KernelMapQuery::LayerRecord, raw, 2));
    EXPECT_EQ(WordAt(raw, 96), 0x123456);
    EXPECT_EQ(WordAt(raw, 0), 2);
    EXPECT_EQ(CString(reinterpret_cast<const char*>(raw + 4)), FromUtf8("变电"));

    KernelLayerRecord untouched;
    EXPECT_FALSE(QueryMap(mapHandle, KernelMapQuery::LayerRecord, &untouched, 3));
    EXPECT_EQ(untouched.id, -1);
    EXPECT_EQ(untouched.colour, 0);
}

// ---- Object records ----------------------------------------------------------------

TEST_F(KernelTest, PreparedObjectRecordHasMinusOneAtBytes0And16) {
    KernelObjectRecord record;
    std::memset(static_cast<void*>(&record), 0x5A, sizeof record);  // garbage the preparation must overwrite
    PrepareObjectRecord(record);
    EXPECT_EQ(WordAt(&record, 0), -1);
    EXPECT_EQ(WordAt(&record, 16), -1);
    for (size_t offset : {4u, 8u, 12u, 20u, 56u, 60u, 132u, 136u}) {
        EXPECT_EQ(WordAt(&record, offset), 0) << "byte " << offset;
    }
    EXPECT_EQ(reinterpret_cast<const char*>(&record)[24], '\0');
}

TEST_F(KernelTest, ObjectInfoAtTheRawOffsets) {
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    unsigned char raw[140];
    std::memcpy(raw, &record, sizeof raw);
    EXPECT_EQ(WordAt(raw, 0), kTransformer);
    EXPECT_EQ(WordAt(raw, 4), host::EntityType::Transformer);
    EXPECT_EQ(WordAt(raw, 8), 100);
    EXPECT_EQ(WordAt(raw, 16), 2);
    EXPECT_EQ(WordAt(raw, 20), 0x20);
    EXPECT_EQ(CString(reinterpret_cast<const char*>(raw + 24)), FromUtf8("1号移变"));
    EXPECT_EQ(WordAt(raw, 56), 0xFF);
    EXPECT_EQ(WordAt(raw, 136), 0);
}

TEST_F(KernelTest, SetObjectInfoRenamesRecoloursAndMovesLayerAndFlags) {
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    const CString name = FromUtf8("2号变压器");
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.name, name.GetString(), static_cast<size_t>(name.GetLength()));
    record.colour = 0x96F0;
    record.layer = 1;
    record.flags ^= kObjectFlagLayerColour;
    ASSERT_TRUE(SetObjectInfo(kTransformer, &record));
    const host::MapObject& object = Object(kTransformer);
    EXPECT_EQ(object.name, name);
    EXPECT_EQ(object.colour, 0x96F0);
    EXPECT_EQ(object.layer, 1);
    EXPECT_EQ(object.flags, 0x1020u);
    EXPECT_TRUE(doc.modified());
}

// Names repeat in real drawings; after a rename the first object of a name is
// still the one found, as every walk by name expects.
TEST_F(KernelTest, SetObjectInfoToALaterObjectsNameMakesTheRenamedOneFoundFirst) {
    const CString motorName = Object(kMotor).name;
    ASSERT_EQ(doc.FindByName(motorName)->handle, kMotor);
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.name, motorName.GetString(), static_cast<size_t>(motorName.GetLength()));
    ASSERT_TRUE(SetObjectInfo(kTransformer, &record));
    ASSERT_LT(&Object(kTransformer), &Object(kMotor)) << "the transformer comes first in the drawing";
    EXPECT_EQ(doc.FindByName(motorName)->handle, kTransformer);
}

TEST_F(KernelTest, SetObjectInfoRefusesUnterminatedOrInvalidNames) {
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    record.colour = 1;
    std::memset(record.name, 'A', sizeof record.name);  // no terminator in 32 bytes
    EXPECT_FALSE(SetObjectInfo(kTransformer, &record));
    std::memset(record.name, 0, sizeof record.name);
    record.name[0] = 'A';
    record.name[1] = static_cast<char>(0x81);  // lead byte with no trail byte
    EXPECT_FALSE(SetObjectInfo(kTransformer, &record));
    EXPECT_NE(std::string(KernelLastError()).find("GBK"), std::string::npos);
    EXPECT_EQ(Object(kTransformer).name, FromUtf8("1号移变"));
    EXPECT_EQ(Object(kTransformer).colour, 0xFF);
    EXPECT_FALSE(doc.modified());
}

TEST_F(KernelTest, EmptyNameIsStored) {
    KernelObjectRecord record;
    ASSERT_TRUE(GetObjectInfo(kTransformer, &record));
    record.name[0] = '\0';
    ASSERT_TRUE(SetObjectInfo(kTransformer, &record));
    EXPECT_TRUE(Object(kTransformer).name.IsEmpty());
}

// ---- Symbol geometry -------------------------------------------------------------

TEST_F(KernelTest, GraphicSizeAndExtentOfAPlacedSymbol) {
    GraphicRecord graphic;
    EXPECT_EQ(graphic.colour, 16777215);
    ASSERT_TRUE(GetObjectGraphic(kTransformer, &graphic));
    EXPECT_EQ(graphic.block.ref0, kSymbol);
    EXPECT_EQ(graphic.block.ref1, 0);
    EXPECT_EQ(graphic.block.ref2, 0);
    EXPECT_EQ(graphic.block.value2, 90.0);
    EXPECT_EQ(graphic.colour, 0xFF);
    EXPECT_EQ(graphic.extent.x0, 6.0);
    EXPECT_EQ(graphic.extent.y1, 22.0);

    KernelRect extent;
    ASSERT_TRUE(GetBlockExtent(graphic.block.ref0, graphic.block.ref1, graphic.block.ref2, &extent));
    EXPECT_EQ(extent.x0, -2.0);
    EXPECT_EQ(extent.y0, -1.0);
    EXPECT_EQ(extent.x1, 2.0);
    EXPECT_EQ(extent.y1, 1.0);

    KernelSizeRecord size;
    ASSERT_TRUE(GetObjectSize(kTransformer, &size));
    EXPECT_EQ(size.ref0, kSymbol);
    EXPECT_EQ(size.width, 8.0);
    EXPECT_EQ(size.height, 4.0);
}

TEST_F(KernelTest, HighlightCornerFromTheGeometryRoutines) {
    // Corner c1 of the selection frame, by hand: the extent is 4 x 2 and the
    // placed size 8 x 4, so both scale factors are 2; c1 = (2*2 + 10, 1*2 + 20)
    // = (14, 22). Turned 90 degrees counter-clockwise about (10, 20) the offset
    // (4, 2) becomes (-2, 4): (8, 24).
    KernelPoint p;
    GraphicRecord graphic;
    KernelRect e;
    KernelSizeRecord size;
    ASSERT_TRUE(QueryObject(kTransformer, KernelQuery::InsertionPoint, &p, 0));
    ASSERT_TRUE(GetObjectGraphic(kTransformer, &graphic));
    ASSERT_TRUE(GetBlockExtent(graphic.block.ref0, graphic.block.ref1, graphic.block.ref2, &e));
    ASSERT_TRUE(GetObjectSize(kTransformer, &size));
    const double a = ConvertAngle(graphic.block.value2);
    const double sx = size.width / std::fabs(e.x1 - e.x0);
    const double sy = size.height / std::fabs(e.y1 - e.y0);
    double x = e.x1 * sx + p.x;
    double y = e.y1 * sy + p.y;
    RotatePoint(x, y, a, &x, &y, p.x, p.y);
    EXPECT_NEAR(x, 8.0, 1e-12);
    EXPECT_NEAR(y, 24.0, 1e-12);
}

TEST_F(KernelTest, GeometryRefusals) {
    KernelRect extent;
    EXPECT_FALSE(GetBlockExtent(kSymbol, 1, 0, &extent));
    EXPECT_FALSE(GetBlockExtent(99, 0, 0, &extent));
    EXPECT_EQ(extent.x1, 0.0);
    KernelSizeRecord size;
    EXPECT_FALSE(GetObjectSize(kFeedLine, &size));
    EXPECT_EQ(size.ref0, -1);
    GraphicRecord graphic;
    EXPECT_FALSE(GetObjectGraphic(kIsolated, &graphic));  // places no symbol
    EXPECT_EQ(graphic.block.ref0, -1);
}

TEST(KernelAngles, ConvertAngleTurnsDegreesIntoRadians) {
    EXPECT_DOUBLE_EQ(ConvertAngle(0.0), 0.0);
    EXPECT_DOUBLE_EQ(ConvertAngle(90.0), std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(ConvertAngle(180.0), std::numbers::pi);
    EXPECT_DOUBLE_EQ(ConvertAngle(-45.0), -std::numbers::pi / 4);
}

TEST(KernelAngles, RotatePointCounterClockwiseAboutACentre) {
    double x = 0.0;
    double y = 0.0;
    // (3, 1) about (1, 1): offset (2, 0); a quarter turn gives (0, 2), so (1, 3).
    RotatePoint(3.0, 1.0, std::numbers::pi / 2, &x, &y, 1.0, 1.0);
    EXPECT_NEAR(x, 1.0, 1e-12);
    EXPECT_NEAR(y, 3.0, 1e-12);
    // A half turn gives offset (-2, 0): (-1, 1).
    RotatePoint(3.0, 1.0, std::numbers::pi, &x, &y, 1.0, 1.0);
    EXPECT_NEAR(x, -1.0, 1e-12);
    EXPECT_NEAR(y, 1.0, 1e-12);
    // -90 degrees about the origin: (0, 5) -> (5, 0).
    RotatePoint(0.0, 5.0, ConvertAngle(-90.0), &x, &y, 0.0, 0.0);
    EXPECT_NEAR(x, 5.0, 1e-12);
    EXPECT_NEAR(y, 0.0, 1e-12);
}

// ---- Blocks ------------------------------------------------------------------------

TEST(KernelBlocks, EveryAllocatedBlockIsCountedUntilFreed) {
    const size_t before = LiveKernelBlockCount();
    void* a = AllocateKernelBlock(16);
    void* b = AllocateKernelBlock(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(a)[15], 0) << "blocks are zeroed";
    EXPECT_EQ(LiveKernelBlockCount(), before + 2);
    FreeKernelBlock(a);
    FreeKernelBlock(nullptr);
    EXPECT_EQ(LiveKernelBlockCount(), before + 1);
    FreeKernelBlock(a);  // second free is refused, not passed on to the allocator
    EXPECT_NE(std::string(KernelLastError()).find("FreeKernelBlock"), std::string::npos);
    EXPECT_EQ(LiveKernelBlockCount(), before + 1);
    FreeKernelBlock(b);
    EXPECT_EQ(LiveKernelBlockCount(), before);
}

// ---- Text fields -------------------------------------------------------------------

struct FieldCase {
    const char* text;
    const char* separator;
    LONG first;
    LONG end;
    const char* expected;
};

TEST(KernelText, ExtractFieldsTable) {
    const FieldCase cases[] = {
        {"a;b;c;", ";", 0, 2, "a;b"},
        {"a;b;c;", ";", 2, 3, "c"},
        {"a;b;c;", ";", 0, 1, "a"},
        {"a;b;c;", ";", 3, 4, ""},       // beyond the last field
        {"a;b;c;", ";", 1, 9, "b;c"},    // the end is cut to the fields present
        {"a;b;c", ";", 2, 3, "c"},       // no closing separator
        {"a;;c;", ";", 1, 2, ""},        // an empty field stays a field
        {"a;;c;", ";", 0, 3, "a;;c"},
        {"a;b;c;", ";", 2, 2, ""},       // first = end
        {"a;b;c;", ";", 2, 1, ""},       // first > end
        {"a;b;c;", ";", -1, 1, "a"},     // negative first counts from 0
        {"", ";", 0, 3, ""},
        {"T1,KBSG,500", ",", 1, 2, "KBSG"},
        {"T1,KBSG,500", ",", 2, 3, "500"},
        {"x::y::z", "::", 1, 3, "y::z"}, // separators longer than one byte
        {"abc", "", 0, 1, "abc"},
        {"abc", "", 1, 2, ""},
    };
    for (const FieldCase& c : cases) {
        const CString text(c.text);
        CString out("unchanged");
        ExtractFields(&text, c.separator, c.first, c.end, &out);
        EXPECT_EQ(out, CString(c.expected)) << c.text << " [" << c.first << ", " << c.end << ")";
    }
}

TEST(KernelText, ExtractFieldsOnTheSupplyPathOfAKindOnePoint) {
    const CString path = FromUtf8("1;甲;乙;T1,0.0100,0.0300;0.1100;0.2300;");
    CString head;
    CString old;
    CString r;
    ExtractFields(&path, ";", 0, 3, &head);
    EXPECT_EQ(head, FromUtf8("1;甲;乙"));
    ExtractFields(&path, ";", 3, 4, &old);
    ExtractFields(&old, ",", 1, 2, &r);
    EXPECT_EQ(r, CString("0.0100"));
    ExtractFields(&old, ",", 2, 3, &old);  // out may be the text itself
    EXPECT_EQ(old, CString("0.0300"));
}

TEST(KernelText, SeparatorIsNotMatchedInsideATwoByteCharacter) {
    // GBK "乙" (D2 D2) as the separator: "甲乙乙丙" has the fields "甲", "" and "丙".
    const CString text = FromUtf8("甲乙乙丙");
    const CString separator = FromUtf8("乙");
    ASSERT_EQ(separator.GetLength(), 2);
    CString out;
    ExtractFields(&text, separator, 0, 1, &out);
    EXPECT_EQ(out, FromUtf8("甲"));
    ExtractFields(&text, separator, 2, 3, &out);
    EXPECT_EQ(out, FromUtf8("丙"));
    // "电电" is B5 E7 B5 E7: the bytes "E7 B5" in the middle are no character.
    const CString pair = FromUtf8("电电");
    CString field;
    ExtractFields(&pair, "\xE7\xB5", 0, 1, &field);
    EXPECT_EQ(field, pair);
}

TEST(KernelText, NormalizeNumberTextTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"12.50", "12.5"},  {"3.00", "3"},     {"-0.00", "0"},   {"0.00", "0"},
        {"100.00", "100"},  {"1200", "1200"},  {"-2.50", "-2.5"}, {"0.05", "0.05"},
        {"5.", "5"},        {".50", ".5"},     {"-0", "0"},       {"+1.10", "+1.1"},
        {"abc", "abc"},     {"", ""},          {"1.5e3", "1.5e3"}, {" 2.50", " 2.50"},
        {"1.2.0", "1.2.0"}, {".", "."},        {"-", "-"},
    };
    for (const auto& [in, expected] : cases) {
        CString out("unchanged");
        NormalizeNumberText(CString(in), &out);
        EXPECT_EQ(out, CString(expected)) << "input '" << in << "'";
    }
    const CString chinese = FromUtf8("无");
    CString out;
    NormalizeNumberText(chinese, &out);
    EXPECT_EQ(out, chinese);
}

}  // namespace
