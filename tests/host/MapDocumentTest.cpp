#include "host/MapDocument.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Gbk.h"

namespace host {
namespace {

// Ids and handles live in different ranges here (ids 1.., handles 1001..,
// lines 2001..) so that a lookup that confuses them fails visibly.
MapObject Symbol(LONG id, LONG handle, const char* utf8Name) {
    MapObject object;
    object.entityId = id;
    object.handle = handle;
    object.kind = FromUtf8(KindName::Motor);
    object.name = FromUtf8(utf8Name);
    return object;
}

MapObject Line(LONG id, LONG handle, LONG from, LONG to) {
    MapObject line;
    line.entityId = id;
    line.handle = handle;
    line.entityType = EntityType::Line;
    line.kind = FromUtf8(KindName::Cable);
    line.isLine = true;
    line.fromEntity = from;
    line.toEntity = to;
    return line;
}

// ---- AddObject ----------------------------------------------------------------

TEST(MapDocumentAddObject, AssignsOneMoreThanTheLargestIdAndHandleWhenZero) {
    MapDocument doc;
    doc.AddObject(Symbol(7, 1003, "甲"));
    doc.AddObject(Symbol(2, 1009, "乙"));
    const MapObject& added = doc.AddObject(Symbol(0, 0, "丙"));
    EXPECT_EQ(added.entityId, 8);
    EXPECT_EQ(added.handle, 1010);
    EXPECT_EQ(doc.FindByEntity(8), &doc.objects().back());
    EXPECT_EQ(doc.FindByHandle(1010), &doc.objects().back());
}

TEST(MapDocumentAddObject, RefusesTakenOrNegativeIdsAndHandlesWithoutAdding) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "甲"));
    EXPECT_THROW(doc.AddObject(Symbol(1, 1002, "乙")), std::invalid_argument);
    EXPECT_THROW(doc.AddObject(Symbol(2, 1001, "乙")), std::invalid_argument);
    EXPECT_THROW(doc.AddObject(Symbol(-3, 1002, "乙")), std::invalid_argument);
    EXPECT_THROW(doc.AddObject(Symbol(3, -1002, "乙")), std::invalid_argument);
    ASSERT_EQ(doc.objects().size(), 1u);
    EXPECT_EQ(doc.FindByName(FromUtf8("乙")), nullptr);
}

TEST(MapDocumentAddObject, FindsAnIdBelowTheLargestWhenTheLargestIsTheMaximum) {
    MapDocument doc;
    doc.AddObject(Symbol(2147483647, 2147483647, "甲"));
    doc.AddObject(Symbol(1, 1, "乙"));
    const MapObject& added = doc.AddObject(Symbol(0, 0, "丙"));
    EXPECT_EQ(added.entityId, 2);
    EXPECT_EQ(added.handle, 2);
}

// ---- Lookups ------------------------------------------------------------------

TEST(MapDocumentLookup, FindsByEntityHandleAndNameWithoutConfusingIdsAndHandles) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "1#移动变电站"));
    doc.AddObject(Symbol(2, 1002, "调度绞车"));
    EXPECT_EQ(doc.FindByEntity(2)->handle, 1002);
    EXPECT_EQ(doc.FindByHandle(1001)->entityId, 1);
    EXPECT_EQ(doc.FindByName(FromUtf8("调度绞车"))->entityId, 2);
    EXPECT_EQ(doc.FindByEntity(1001), nullptr);
    EXPECT_EQ(doc.FindByHandle(1), nullptr);
    EXPECT_EQ(doc.FindByHandle(0), nullptr);
    EXPECT_EQ(doc.FindByName(FromUtf8("喷浆机")), nullptr);
    const MapDocument& constDoc = doc;
    EXPECT_EQ(constDoc.FindByName(FromUtf8("1#移动变电站")), &doc.objects()[0]);
}

TEST(MapDocumentLookup, NameLookupGivesTheFirstOfEqualNames) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "d1"));
    doc.AddObject(Symbol(2, 1002, "d1"));
    EXPECT_EQ(doc.FindByName("d1")->entityId, 1);
}

TEST(MapDocumentLookup, FollowsAnObjectRenamedInPlace) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "1#变压器"));
    doc.AddObject(Symbol(2, 1002, "2#变压器"));
    ASSERT_NE(doc.FindByName(FromUtf8("1#变压器")), nullptr);
    doc.FindByHandle(1001)->name = FromUtf8("主变压器");  // as the kernel's SetObjectInfo renames
    EXPECT_EQ(doc.FindByName(FromUtf8("1#变压器")), nullptr);
    ASSERT_NE(doc.FindByName(FromUtf8("主变压器")), nullptr);
    EXPECT_EQ(doc.FindByName(FromUtf8("主变压器"))->handle, 1001);
}

TEST(MapDocumentLookup, AnObjectRenamedToALaterOnesNameIsFoundFirst) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "T1"));
    doc.AddObject(Symbol(2, 1002, "d4"));
    doc.AddObject(Symbol(3, 1003, "d4"));
    ASSERT_EQ(doc.FindByName("d4")->entityId, 2);
    MapObject& renamed = *doc.FindByHandle(1001);
    renamed.name = "d4";
    doc.NoteRenamed(renamed);
    EXPECT_EQ(doc.FindByName("d4")->entityId, 1);
    EXPECT_EQ(doc.FindByName("T1"), nullptr);
    // Renamed away again, the next of that name is the first once more.
    renamed.name = "T9";
    doc.NoteRenamed(renamed);
    EXPECT_EQ(doc.FindByName("d4")->entityId, 2);
    EXPECT_EQ(doc.FindByName("T9")->entityId, 1);
    doc.FindByHandle(1002)->name = "x";  // the index is not told: found by a search
    EXPECT_EQ(doc.FindByName("d4")->entityId, 3);
}

// Of two objects loaded with one name only the first is entered; once it is
// renamed away, the second still comes before a later object renamed to it.
TEST(MapDocumentLookup, ALoadedDuplicateComesBeforeALaterRenameOnceTheFirstIsRenamedAway) {
    MapDocument doc;
    doc.objects().push_back(Symbol(1, 1001, "d4"));
    doc.objects().push_back(Symbol(2, 1002, "d4"));
    doc.objects().push_back(Symbol(3, 1003, "T3"));
    ASSERT_EQ(doc.FindByName("d4")->entityId, 1);
    MapObject& later = *doc.FindByHandle(1003);
    later.name = "d4";
    doc.NoteRenamed(later);
    MapObject& first = *doc.FindByHandle(1001);
    first.name = "T1";
    doc.NoteRenamed(first);
    EXPECT_EQ(doc.FindByName("d4")->entityId, 2);
    EXPECT_EQ(doc.FindByName("T1")->entityId, 1);
    EXPECT_EQ(doc.FindByName("T3"), nullptr);
}

TEST(MapDocumentLookup, SeesObjectsAddedAndRemovedThroughTheObjectList) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "甲"));
    ASSERT_NE(doc.FindByEntity(1), nullptr);
    doc.objects().push_back(Symbol(5, 1005, "戊"));
    ASSERT_NE(doc.FindByHandle(1005), nullptr);
    EXPECT_EQ(doc.FindByHandle(1005)->entityId, 5);
    doc.objects().erase(doc.objects().begin());
    EXPECT_EQ(doc.FindByEntity(1), nullptr);
    EXPECT_EQ(doc.FindByEntity(5), &doc.objects()[0]);
    // The next free id still follows the largest id in use.
    EXPECT_EQ(doc.AddObject(Symbol(0, 0, "己")).entityId, 6);
}

TEST(MapDocumentLookup, ReindexPicksUpAnIdChangedInPlace) {
    MapDocument doc;
    doc.AddObject(Symbol(1, 1001, "甲"));
    doc.AddObject(Symbol(2, 1002, "乙"));
    doc.objects()[0].entityId = 40;
    doc.Reindex();
    ASSERT_NE(doc.FindByEntity(40), nullptr);
    EXPECT_EQ(doc.FindByEntity(40)->handle, 1001);
    EXPECT_EQ(doc.FindByEntity(1), nullptr);
}

// Regression: an index of pointers copied with the document would hand out
// the original's objects from the copy.
TEST(MapDocumentLookup, CopyLooksUpItsOwnObjects) {
    MapDocument original;
    original.AddObject(Symbol(1, 1001, "甲"));
    original.AddObject(Symbol(2, 1002, "乙"));
    ASSERT_NE(original.FindByEntity(2), nullptr);
    MapDocument copy = original;
    const MapObject* found = copy.FindByEntity(2);
    EXPECT_EQ(found, &copy.objects()[1]);
    copy.FindByName(FromUtf8("乙"))->name = FromUtf8("丙");
    EXPECT_NE(original.FindByName(FromUtf8("乙")), nullptr);
}

TEST(MapDocumentLookup, StaysCorrectOnALargeMapBuiltObjectByObject) {
    constexpr int kCount = 30000;
    MapDocument doc;
    for (int i = 0; i < kCount; ++i) {
        MapObject object;
        object.name = CString::Formatted("M%d", i);
        doc.AddObject(object);  // ids 1.., handles 1.. assigned
    }
    ASSERT_EQ(doc.objects().size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; i += 997) {
        const MapObject* byName = doc.FindByName(CString::Formatted("M%d", i));
        ASSERT_NE(byName, nullptr) << i;
        EXPECT_EQ(byName->entityId, i + 1);
        EXPECT_EQ(doc.FindByEntity(i + 1), byName);
        EXPECT_EQ(doc.FindByHandle(i + 1), byName);
    }
}

// The index against plain front-to-back scans, on documents whose ids,
// handles and names repeat (set through objects(), as a loaded or edited map
// may have them) and whose lines pile up on a few objects, so that the
// tables grow, collide and wrap around. Ids are packed (kept in arrays),
// spread thinly (hashed) or packed with a few far away (both at once), and
// objects are then added one by one into and beyond the packed range.
TEST(MapDocumentLookup, AnswersAsAFrontToBackScanOnRandomDocuments) {
    std::mt19937 random(4242);
    for (int round = 0; round < 30; ++round) {
        MapDocument doc;
        const int count = 50 + static_cast<int>(random() % 3000);
        const int mode = round % 3;  // 0 packed, 1 thin, 2 packed with outliers
        const LONG spread = mode == 1 ? 1 + static_cast<LONG>(random() % 2000000000u)
                                      : 1 + static_cast<LONG>(random() % static_cast<unsigned>(count * 2));
        const auto someId = [&]() -> LONG {
            if (mode == 2 && random() % 20 == 0) return 1000000 + static_cast<LONG>(random() % 1000000000u);
            return 1 + static_cast<LONG>(random() % static_cast<unsigned>(spread));
        };
        for (int i = 0; i < count; ++i) {
            MapObject object;
            object.entityId = someId();
            object.handle = (i % 7 == 0 && mode != 0) ? -object.entityId : someId();
            object.name = CString::Formatted("N%u", static_cast<unsigned>(random() % static_cast<unsigned>(count / 2 + 1)));
            object.isLine = random() % 3 == 0;
            if (object.isLine) {
                object.fromEntity = static_cast<LONG>(random() % 20);
                object.toEntity = static_cast<LONG>(random() % 20);
            }
            doc.objects().push_back(object);
        }
        const auto scan = [&](auto matches) -> const MapObject* {
            for (const MapObject& object : doc.objects()) {
                if (matches(object)) return &object;
            }
            return nullptr;
        };
        // Every value in use and its neighbours (which may be free), and a few
        // past either end.
        std::vector<LONG> values{-3, -2, -1, 0, 1, 2, 3, spread + 1, spread + 2, spread + 3};
        for (const MapObject& object : doc.objects()) {
            for (const LONG delta : {-1, 0, 1}) {
                values.push_back(object.entityId + delta);
                values.push_back(object.handle + delta);
            }
        }
        const auto checkIds = [&](const char* when) {
            // The first of each id and handle, as a front-to-back scan meets them.
            std::unordered_map<LONG, const MapObject*> firstOfEntity, firstOfHandle;
            for (const MapObject& object : doc.objects()) {
                firstOfEntity.try_emplace(object.entityId, &object);
                firstOfHandle.try_emplace(object.handle, &object);
            }
            const auto expected = [](const auto& first, LONG value) -> const MapObject* {
                const auto it = first.find(value);
                return value == 0 || it == first.end() ? nullptr : it->second;
            };
            for (const LONG value : values) {
                ASSERT_EQ(doc.FindByEntity(value), expected(firstOfEntity, value)) << "round " << round << ", " << when;
                ASSERT_EQ(doc.FindByHandle(value), expected(firstOfHandle, value)) << "round " << round << ", " << when;
            }
        };
        checkIds("as built");
        const auto checkNames = [&](const char* when) {
            for (int n = 0; n <= count / 2 + 1; ++n) {
                const CString name = CString::Formatted("N%d", n);
                ASSERT_EQ(doc.FindByName(name), scan([&](const MapObject& o) { return o.name == name; }))
                    << "round " << round << ", " << when << ", name " << n;
            }
        };
        checkNames("as built");
        const auto scanConnections = [&](LONG entityId) {
            std::vector<LONG> expected;
            for (const MapObject& line : doc.objects()) {
                if (!line.isLine) continue;
                if (line.fromEntity == entityId) expected.push_back(-line.handle);
                if (line.toEntity == entityId) expected.push_back(line.handle);
            }
            return expected;
        };
        // Renames the index is told of, looked up between them as a command does.
        for (int k = 0; k < 40; ++k) {
            MapObject& object = doc.objects()[random() % doc.objects().size()];
            object.name = CString::Formatted("N%u", static_cast<unsigned>(random() % static_cast<unsigned>(count / 2 + 1)));
            doc.NoteRenamed(object);
            if (k % 8 == 7) checkNames("after renames");
        }
        for (const MapObject& object : doc.objects()) {
            if (object.entityId > 20 || doc.FindByHandle(object.handle) != &object) continue;
            ASSERT_EQ(doc.Connections(object.handle), scanConnections(object.entityId)) << "round " << round << " entity " << object.entityId;
        }
        // Additions after the index was built: assigned ids (one more than the
        // largest), free ids anywhere, lines between old and new objects.
        for (int k = 0; k < 300; ++k) {
            MapObject object;
            if (k % 2 == 1) {
                object.entityId = someId() + static_cast<LONG>(random() % 5000);
                object.handle = someId() + static_cast<LONG>(random() % 5000);
            }
            object.name = CString::Formatted("N%u", static_cast<unsigned>(random() % static_cast<unsigned>(count / 2 + 1)));
            object.isLine = random() % 2 == 0;
            if (object.isLine) {
                object.fromEntity = doc.objects()[random() % doc.objects().size()].entityId;
                object.toEntity = random() % 4 == 0 ? 0 : doc.objects()[random() % doc.objects().size()].entityId;
            }
            try {
                doc.AddObject(object);
            } catch (const std::invalid_argument&) {
                // taken: the document refuses it, as the scan below expects
            }
        }
        for (const MapObject& object : doc.objects()) {
            for (const LONG delta : {-1, 0, 1}) {
                values.push_back(object.entityId + delta);
                values.push_back(object.handle + delta);
            }
        }
        checkIds("after additions");
        checkNames("after additions");
        for (size_t at = 0; at < doc.objects().size(); at += 1 + random() % 5) {
            const MapObject& object = doc.objects()[at];
            if (object.entityId == 0 || doc.FindByHandle(object.handle) != &object) continue;
            ASSERT_EQ(doc.Connections(object.handle), scanConnections(object.entityId)) << "round " << round << " after additions, entity " << object.entityId;
        }
    }
}

// ---- Connections --------------------------------------------------------------

// A transformer T feeding a switch S over line 2001 and a motor M over line
// 2003, with line 2002 running from M back into T in between, so that the
// lines touching T alternate between starting and ending there.
class MapDocumentConnections : public ::testing::Test {
protected:
    void SetUp() override {
        doc.AddObject(Symbol(1, 1001, "T"));
        doc.AddObject(Symbol(2, 1002, "S"));
        doc.AddObject(Symbol(3, 1003, "M"));
        doc.AddObject(Line(11, 2001, 1, 2));
        doc.AddObject(Line(12, 2002, 3, 1));
        doc.AddObject(Line(13, 2003, 1, 3));
    }
    MapDocument doc;
};

TEST_F(MapDocumentConnections, ListsLinesInDocumentOrderNegativeForStartPositiveForEnd) {
    EXPECT_EQ(doc.Connections(1001), (std::vector<LONG>{-2001, 2002, -2003}));
    EXPECT_EQ(doc.Connections(1002), (std::vector<LONG>{2001}));
    EXPECT_EQ(doc.Connections(1003), (std::vector<LONG>{-2002, 2003}));
}

TEST_F(MapDocumentConnections, UnknownHandlesAndObjectsWithoutLinesHaveNone) {
    doc.AddObject(Symbol(4, 1004, "孤立"));
    EXPECT_TRUE(doc.Connections(1004).empty());
    EXPECT_TRUE(doc.Connections(9999).empty());
    EXPECT_TRUE(doc.Connections(0).empty());
    EXPECT_TRUE(doc.Connections(3).empty());  // an entity id, not a handle
}

TEST_F(MapDocumentConnections, OpenLineEndsAndLinesThemselvesHaveNone) {
    doc.AddObject(Line(14, 2004, 2, 0));
    EXPECT_EQ(doc.Connections(1002), (std::vector<LONG>{2001, -2004}));
    EXPECT_TRUE(doc.Connections(2004).empty());
}

TEST_F(MapDocumentConnections, LineFromAnObjectToItselfGivesStartThenEnd) {
    doc.AddObject(Line(14, 2004, 2, 2));
    EXPECT_EQ(doc.Connections(1002), (std::vector<LONG>{2001, -2004, 2004}));
}

TEST_F(MapDocumentConnections, FollowsEndsSetOnTheObjectJustAdded) {
    MapObject& line = doc.AddObject(Line(14, 2004, 0, 0));
    EXPECT_EQ(doc.Connections(1002), (std::vector<LONG>{2001}));
    line.fromEntity = 2;
    EXPECT_EQ(doc.Connections(1002), (std::vector<LONG>{2001, -2004}));
}

// ---- Layers and symbols -------------------------------------------------------

TEST(MapDocumentDefinitions, FindsLayersAndSymbolsById) {
    MapDocument doc;
    doc.layers().push_back({3, FromUtf8("供电设备"), 0x008000, {}});
    SymbolDefinition symbol;
    symbol.id = 105;
    symbol.name = FromUtf8("启动器");
    doc.symbols().push_back(symbol);
    ASSERT_NE(doc.FindLayer(3), nullptr);
    EXPECT_EQ(doc.FindLayer(3)->colour, 0x008000);
    EXPECT_EQ(doc.FindLayer(105), nullptr);
    ASSERT_NE(doc.FindSymbol(105), nullptr);
    EXPECT_EQ(doc.FindSymbol(105)->name, FromUtf8("启动器"));
    EXPECT_EQ(doc.FindSymbol(3), nullptr);
}

}  // namespace
}  // namespace host
