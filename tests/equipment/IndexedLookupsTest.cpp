// Lookups that index or take one pass where the plain forms scanned: each is
// compared with its plain form, kept here as the reference, on seeded random
// drawings with repeated handles and names, stale names, lines without ends
// and loops. The answers must be equal, first-match and order included.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "GeneratedMaps.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "host/AttributeRecords.h"
#include "host/HostDispids.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/KernelRecords.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"

namespace jdtest {
namespace {

constexpr uint32_t kMaps = 200;

RandomMapShape ShapeOf(uint32_t seed) {
    RandomMapShape shape;
    shape.objects = 8 + static_cast<int>(seed % 60);
    shape.lines = shape.objects + static_cast<int>(seed % 41);
    shape.namePool = seed % 3 == 0 ? 6 : 0;  // every third map repeats names a lot
    return shape;
}

// ---- the plain forms -------------------------------------------------------------------

// Connections through the kernel: the count, then the list.
std::vector<LONG> KernelConnections(LONG handle) {
    LONG count = 0;
    if (handle == 0 || !QueryObject(handle, KernelQuery::ConnectionCount, &count, 0) || count <= 0) return {};
    std::vector<LONG> values(static_cast<size_t>(count), 0);
    if (!QueryObject(handle, KernelQuery::ConnectionList, values.data(), count)) return {};
    return values;
}

// GetObjectEntity's own search: the lists front to back, then the map.
LONG PlainObjectEntity(LONG handle, const CKernelObjectArray& objects, const CEntityIdArray& ids,
                       const host::MapDocument& map) {
    if (handle == 0) return 0;
    const int n = std::min(objects.GetSize(), ids.GetSize());
    for (int i = 0; i < n; ++i) {
        if (objects[i] == handle) return ids[i];
    }
    for (const host::MapObject& object : map.objects()) {
        if (object.handle == handle) return object.entityId;
    }
    return 0;
}

double PlainRatio(const host::MapDocument& map, LONG transformer) {
    if (const host::MapObject* object = map.FindByHandle(transformer)) {
        const double u1 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 4);
        const double u2 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 5);
        if (u1 > 0.0 && u2 > 0.0) return u2 / u1;
    }
    return static_cast<double>(map.project().lowVoltage) / map.project().highVoltage;
}

struct Currents {
    double maxStart = 0.0, allRated = 0.0, otherRated = 0.0;
};

LONG PlainStarter(LONG motor);
LONG PlainSupplyTransformer(LONG object);

// CalcMotorCurrents as first written: for each group's first motor, the
// later motors of its starter searched again.
Currents PlainMotorCurrents(const host::MapDocument& map, const CKernelObjectArray& motors) {
    struct Entry {
        double ratedA, startA;
        LONG starter;
        bool group;
    };
    std::vector<Entry> entries;
    for (LONG handle : motors) {
        const host::MapObject* object = map.FindByHandle(handle);
        if (!object || !object->motor) continue;
        const double ratio = PlainRatio(map, PlainSupplyTransformer(handle));
        const LONG starter = object->motor->groupStart ? PlainStarter(handle) : 0;
        entries.push_back(Entry{object->motor->ratedCurrentA * ratio, object->motor->startCurrentA * ratio, starter,
                                object->motor->groupStart && starter != 0});
    }
    Currents c;
    double ratedOfMax = 0.0;
    std::set<LONG> grouped;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        double groupRated = e.ratedA, groupStart = e.startA;
        if (e.group) {
            if (!grouped.insert(e.starter).second) continue;
            for (size_t j = i + 1; j < entries.size(); ++j) {
                if (entries[j].group && entries[j].starter == e.starter) {
                    groupRated += entries[j].ratedA;
                    groupStart += entries[j].startA;
                }
            }
        }
        c.allRated += groupRated;
        if (groupStart > c.maxStart) {
            c.maxStart = groupStart;
            ratedOfMax = groupRated;
        }
    }
    c.otherRated = c.allRated - ratedOfMax;
    return c;
}

// Kind and line ends through the kernel's queries, as the walks asked them.
CString KernelKind(LONG handle) {
    char kind[32] = {};
    if (handle == 0 || !QueryObject(handle, KernelQuery::KindName, kind, 0)) return CString();
    kind[31] = '\0';
    return CString(kind);
}

LONG KernelLineStart(LONG line) {
    LONG start = 0;
    return QueryObject(line, KernelQuery::LineStartObject, &start, 0) ? start : 0;
}

LONG KernelLineEnd(LONG line) {
    LONG end = 0;
    return QueryObject(line, KernelQuery::LineEndObject, &end, 0) ? end : 0;
}

bool KernelKindIs(LONG handle, const char* utf8Kind) { return KernelKind(handle) == FromUtf8(utf8Kind); }

bool KernelIsTransformer(LONG handle) {
    return KernelKindIs(handle, host::KindName::MobileSubstation) || KernelKindIs(handle, host::KindName::MineTransformer);
}

// The upward walk as first written: the first incoming line of every object
// from the kernel's lists, a set of the lines followed, a loop giving top 0.
jdwalk::UpstreamRun PlainUpstream(LONG object, const std::function<bool(LONG)>& stop) {
    jdwalk::UpstreamRun run;
    auto firstIncoming = [](LONG handle) {
        for (LONG c : KernelConnections(handle)) {
            if (c > 0) return c;
        }
        return 0;
    };
    LONG line = firstIncoming(object);
    std::set<LONG> followed;
    while (line != 0) {
        if (!followed.insert(line).second) {
            run.top = 0;
            return run;
        }
        run.lines.push_back(line);
        const LONG start = KernelLineStart(line);
        run.top = start;
        if (start == 0 || stop(start)) return run;
        line = firstIncoming(start);
    }
    return run;
}

LONG PlainStarter(LONG motor) {
    const auto run = PlainUpstream(motor, [](LONG o) {
        return KernelKindIs(o, host::KindName::Starter) || KernelKindIs(o, host::KindName::ProtectionUnit) ||
               KernelIsTransformer(o);
    });
    return run.top != 0 && KernelKindIs(run.top, host::KindName::Starter) ? run.top : 0;
}

LONG PlainSupplyTransformer(LONG object) {
    const auto run = PlainUpstream(object, KernelIsTransformer);
    return run.top != 0 && KernelIsTransformer(run.top) ? run.top : 0;
}

// The path's transformer through the kernel's ExtractFields.
CString PlainTransformerOfPath(const CString& path) {
    auto field = [](const CString& text, const char* separator, LONG index) {
        CString out;
        ExtractFields(&text, separator, index, index + 1, &out);
        return out;
    };
    const CString kind = field(path, ";", 0);
    if (kind == "0") return field(field(path, ";", 2), ",", 0);
    if (kind == "1") return field(field(path, ";", 3), ",", 0);
    return CString();
}

// Lists as a caller may hand them: the map's own, shuffled, cut short, with
// handles repeated under other ids, unknown handles and a shorter id list.
void RandomLists(std::mt19937& rng, const host::MapDocument& map, CKernelObjectArray& objects, CEntityIdArray& ids) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<const host::MapObject*> order;
    for (const host::MapObject& object : map.objects()) order.push_back(&object);
    std::shuffle(order.begin(), order.end(), rng);
    for (const host::MapObject* object : order) {
        if (percent(rng) < 20) continue;  // not every object is in the lists
        objects.Add(object->handle);
        ids.Add(percent(rng) < 10 ? object->entityId + 100000 : object->entityId);
        if (percent(rng) < 10) {  // the same handle again, with another id: the first place wins
            objects.Add(object->handle);
            ids.Add(-object->entityId);
        }
    }
    objects.Add(987654);  // in no map
    ids.Add(1);
    if (percent(rng) < 30 && ids.GetSize() > 2) ids.SetSize(ids.GetSize() - 2);
}

// ---- the comparisons ---------------------------------------------------------------------

TEST(IndexedLookups, ConnectionsFromTheMapEqualTheKernelsCountThenList) {
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        for (const host::MapObject& object : map.objects()) {
            ASSERT_EQ(jdmap::Connections(object.handle), KernelConnections(object.handle)) << "seed " << seed;
        }
        EXPECT_TRUE(jdmap::Connections(0).empty());
        EXPECT_TRUE(jdmap::Connections(987654).empty());
    }
}

TEST(IndexedLookups, TheEntityIndexAnswersAsGetObjectEntityWithRepeatsAndStrangers) {
    int fromLists = 0, fromMap = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        std::mt19937 rng(seed);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        RandomLists(rng, map, objects, ids);
        const CObjectEntityIndex index(&objects, &ids);
        std::vector<LONG> asked{0, 987654, 555555};
        for (const host::MapObject& object : map.objects()) asked.push_back(object.handle);
        for (LONG handle : asked) {
            const LONG expected = PlainObjectEntity(handle, objects, ids, map);
            ASSERT_EQ(GetObjectEntity(nullptr, handle, &objects, &ids), expected) << "seed " << seed;
            ASSERT_EQ(index.Find(nullptr, handle), expected) << "seed " << seed << " handle " << handle;
            const host::MapObject* object = map.FindByHandle(handle);
            (object && expected == object->entityId ? fromMap : fromLists) += 1;
        }
        // Without lists both answer from the map alone.
        const CObjectEntityIndex none(nullptr, nullptr);
        for (const host::MapObject& object : map.objects()) ASSERT_EQ(none.Find(nullptr, object.handle), object.entityId);
    }
    EXPECT_GT(fromLists, 500) << "the lists' own ids must be exercised";
    EXPECT_GT(fromMap, 500);
}

TEST(IndexedLookups, MotorCurrentsInOnePassEqualTheSearchOfTheLaterMotors) {
    int groupsSeen = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        std::mt19937 rng(seed * 7919u);
        // Every motor under every transformer, and a shuffled list with repeats and non-motors.
        CKernelObjectArray all;
        for (const host::MapObject& object : map.objects()) {
            if (jdmap::IsTransformerKind(object.kind)) CollectSuppliedMotors(0, object.handle, &all);
        }
        CKernelObjectArray mixed;
        for (const host::MapObject& object : map.objects()) {
            if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) mixed.Add(object.handle);
        }
        mixed.Append(all);
        for (const CKernelObjectArray* motors : {&all, &mixed}) {
            const Currents expected = PlainMotorCurrents(map, *motors);
            Currents found;
            ASSERT_TRUE(CalcMotorCurrents(const_cast<CKernelObjectArray*>(motors), &found.maxStart, &found.allRated,
                                          &found.otherRated));
            // The same additions in the same order: equal to the last bit.
            ASSERT_EQ(found.maxStart, expected.maxStart) << "seed " << seed;
            ASSERT_EQ(found.allRated, expected.allRated) << "seed " << seed;
            ASSERT_EQ(found.otherRated, expected.otherRated) << "seed " << seed;
        }
        for (LONG handle : all) {
            const host::MapObject* object = map.FindByHandle(handle);
            if (object && object->motor && object->motor->groupStart && jdwalk::FindStarter(handle) != 0) ++groupsSeen;
        }
    }
    EXPECT_GT(groupsSeen, 20) << "group-start motors behind starters must be exercised";
}

TEST(IndexedLookups, ShortCircuitPointsCarryTheIdsGetObjectEntityGives) {
    int found = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        std::mt19937 rng(seed);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        RandomLists(rng, map, objects, ids);
        std::set<std::string> names{"改名前的变压器"};  // a stale name in some paths
        for (const host::MapObject& object : map.objects()) names.insert(ToUtf8(object.name));
        for (const std::string& name : names) {
            CKernelObjectArray points;
            CEntityIdArray pointIds;
            FindShortCircuitPoints(&session.mapControl(), 1, CString(), FromUtf8(name), CString(), &objects, &ids,
                                   &points, &pointIds);
            ASSERT_EQ(points.GetSize(), pointIds.GetSize());
            // The plain search: every object of the lists, its kind and path through the kernel.
            std::vector<LONG> expected;
            for (LONG handle : objects) {
                if (name.empty()) break;  // an empty name finds nothing
                if (KernelKind(handle) != FromUtf8(host::KindName::ShortCircuitPoint)) continue;
                const host::MapObject* point = map.FindByHandle(handle);
                if (point && PlainTransformerOfPath(jdmap::FieldText(*point, 161, 11)) == FromUtf8(name)) {
                    expected.push_back(handle);
                }
            }
            ASSERT_EQ(points.items(), expected) << "seed " << seed << " " << name;
            for (int i = 0; i < points.GetSize(); ++i) {
                ASSERT_EQ(pointIds[i], PlainObjectEntity(points[i], objects, ids, map)) << "seed " << seed;
                ++found;
            }
        }
    }
    EXPECT_GT(found, 200);
}

// A supply path of bytes that trouble a field split: GBK lead bytes just
// before a ";" or "," (which then belong to the character), runs of lead
// bytes of either parity, a lead byte at the end, and the kind fields a
// path may begin with, well formed or not.
std::string AwkwardPath(std::mt19937& rng, const std::vector<std::string>& names) {
    static const char* const starts[] = {"0;", "1;", "0", "1", "01;", "2;", "", ";", "1;;", "0;;"};
    static const std::string pieces[] = {";", ",", "\x81", "\xFE", "\xB6\xCC", "\x81;", "\xFE,", "\x81\x81;",
                                         "\x81\x81\x81;", "690", "a/b", "\x80", "\xFF", "0.0117", "\x81\x40"};
    std::uniform_int_distribution<int> percent(0, 99);
    std::string path = starts[rng() % (sizeof starts / sizeof starts[0])];
    const int parts = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < parts; ++i) {
        if (!names.empty() && percent(rng) < 25) {
            path += names[rng() % names.size()];
        } else {
            path += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        }
    }
    return path;
}

TEST(IndexedLookups, PointsOfAwkwardPathsAndKindsAreThoseThePlainSearchFinds) {
    const CString pointKind = FromUtf8(host::KindName::ShortCircuitPoint);
    int found = 0, awkwardFound = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        std::mt19937 rng(seed * 31u + 7u);
        std::vector<std::string> names;
        for (const host::MapObject& object : map.objects()) {
            if (!object.name.IsEmpty()) names.push_back(object.name.str());
        }
        auto& objects = map.objects();
        for (size_t i = 0; i < objects.size(); ++i) {
            host::MapObject& object = objects[i];
            // Kinds that begin as a point's does: cut by the kernel to a
            // point's (after a NUL), too long to be answered whole, or merely longer.
            switch (rng() % 8) {
                case 0: object.kind = CString(pointKind.str() + std::string(1, '\0') + "x"); break;
                case 1: object.kind = CString(pointKind.str() + std::string(30, 'k')); break;
                case 2: object.kind = pointKind + "x"; break;
                case 3: object.kind = pointKind; break;
                default: break;
            }
            if (rng() % 2 == 0) {
                auto& record = object.fields[AttributeField::ShortCircuitPoint];
                if (record.size() < 12) record.resize(12);
                record[11] = CString(AwkwardPath(rng, names));
            }
        }
        map.Reindex();
        host::HostSession session(map);
        CKernelObjectArray lists[2];
        CEntityIdArray ids[2];
        RandomLists(rng, map, lists[0], ids[0]);  // lists[1] stays empty: the map's own are taken
        CKernelObjectArray wholeMap;
        for (const host::MapObject& object : map.objects()) wholeMap.Add(object.handle);
        // Every transformer the plain split finds in a path, and names no path gives.
        std::set<std::string> asked{"", "nobody", "\x81"};
        for (const host::MapObject& object : map.objects()) {
            const auto record = object.fields.find(AttributeField::ShortCircuitPoint);
            if (record != object.fields.end() && record->second.size() > 11) {
                asked.insert(PlainTransformerOfPath(record->second[11]).str());
            }
        }
        for (int which = 0; which < 2; ++which) {
            const CKernelObjectArray& plainList = which == 0 ? lists[0] : wholeMap;
            for (const std::string& name : asked) {
                CKernelObjectArray points;
                CEntityIdArray pointIds;
                FindShortCircuitPoints(&session.mapControl(), 1, CString(), CString(name), CString(), &lists[which],
                                       &ids[which], &points, &pointIds);
                std::vector<LONG> expected;
                for (LONG handle : plainList) {
                    if (name.empty()) break;
                    if (KernelKind(handle) != pointKind) continue;
                    const host::MapObject* point = map.FindByHandle(handle);
                    if (point && PlainTransformerOfPath(jdmap::FieldText(*point, 161, 11)).str() == name) {
                        expected.push_back(handle);
                    }
                }
                ASSERT_EQ(points.items(), expected) << "seed " << seed << " list " << which;
                for (int i = 0; i < points.GetSize(); ++i) {
                    const LONG id = which == 0 ? PlainObjectEntity(points[i], lists[0], ids[0], map)
                                               : map.FindByHandle(points[i])->entityId;
                    ASSERT_EQ(pointIds[i], id) << "seed " << seed;
                    ++found;
                    const std::string path = jdmap::FieldText(*map.FindByHandle(points[i]), 161, 11).str();
                    if (path.find_first_of("\x81\xFE") != std::string::npos) ++awkwardFound;
                }
            }
        }
    }
    EXPECT_GT(found, 500);
    EXPECT_GT(awkwardFound, 100) << "paths with lead bytes must be found, not only skipped";
}

// The name check as first written: every handle's name through the kernel's record.
bool PlainNameFree(LONG self, const CKernelObjectArray* list, const char* name, const host::MapDocument& map) {
    if (!name || !*name) return true;
    const auto taken = [&](LONG handle) {
        if (handle == self || handle == 0) return false;
        KernelObjectRecord record;
        PrepareObjectRecord(record);
        if (!GetObjectInfo(handle, &record)) return false;
        record.name[31] = '\0';
        return CString(record.name) == CString(name);
    };
    if (list && !list->IsEmpty()) {
        for (LONG handle : *list) {
            if (taken(handle)) return false;
        }
        return true;
    }
    for (const host::MapObject& object : map.objects()) {
        if (taken(object.handle)) return false;
    }
    return true;
}

TEST(IndexedLookups, NameChecksFromOnePassAnswerAsTheKernelsRecords) {
    int taken = 0, free = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        std::mt19937 rng(seed * 131u);
        auto& objects = map.objects();
        // Names the kernel answers otherwise than the document holds them: too
        // long for its record (cut, inside a character too), a NUL after a
        // name, and a rename in place that the name index is not told of.
        if (objects.size() > 6) {
            objects[0].name = objects[3].name + std::string(40, 'x').c_str();
            objects[1].name = CString(objects[4].name.str() + std::string(1, '\0') + "tail");
            objects[2].name = CString(std::string(30, 'a') + "\xB6\xCC");
            objects[5].name = FromUtf8("改名后");
        }
        KernelMapScope attached(map);
        CKernelObjectArray list, some;
        CEntityIdArray ids;
        RandomLists(rng, map, list, ids);
        for (const host::MapObject& object : map.objects()) {
            if (rng() % 4 == 0) some.Add(object.handle);
        }
        std::set<std::string> asked{"", "nobody", std::string(30, 'a'), std::string(31, 'a'), "改名后",
                                    std::string(30, 'a') + "\xB6"};
        for (const host::MapObject& object : map.objects()) {
            asked.insert(object.name.str().c_str());  // up to a NUL, as a typed name is
            asked.insert(object.name.str().substr(0, 2));
        }
        std::vector<LONG> selves{0, 987654};
        for (int k = 0; k < 4 && !objects.empty(); ++k) selves.push_back(objects[rng() % objects.size()].handle);
        CKernelObjectArray empty;
        for (const std::string& name : asked) {
            for (LONG self : selves) {
                for (CKernelObjectArray* within : {&list, &some, &empty, static_cast<CKernelObjectArray*>(nullptr)}) {
                    LONG asSelf = self;
                    const bool expected = PlainNameFree(self, within, name.c_str(), map);
                    ASSERT_EQ(IsObjectNameFree(nullptr, &asSelf, within, name.c_str()) != FALSE, expected)
                        << "seed " << seed << " name " << name << " self " << self;
                    (expected ? free : taken) += 1;
                }
            }
        }
        LONG none = 0;
        ASSERT_TRUE(IsObjectNameFree(nullptr, nullptr, nullptr, nullptr));
        ASSERT_EQ(IsObjectNameFree(nullptr, nullptr, nullptr, "nobody") != FALSE, PlainNameFree(0, nullptr, "nobody", map));
        ASSERT_EQ(IsObjectNameFree(nullptr, &none, &list, "nobody") != FALSE, true);
    }
    EXPECT_GT(taken, 1000);
    EXPECT_GT(free, 1000);
}

TEST(IndexedLookups, TheKernelsConnectionListFillsNoMoreThanItIsAskedFor) {
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        for (const host::MapObject& object : map.objects()) {
            const std::vector<LONG> all = KernelConnections(object.handle);
            if (all.empty()) continue;
            // One fewer than there are: the last slot keeps what it held.
            std::vector<LONG> buffer(all.size(), 4242);
            ASSERT_TRUE(QueryObject(object.handle, KernelQuery::ConnectionList, buffer.data(),
                                    static_cast<LONG>(all.size() - 1)));
            ASSERT_TRUE(std::equal(all.begin(), all.end() - 1, buffer.begin())) << "seed " << seed;
            ASSERT_EQ(buffer.back(), 4242) << "seed " << seed;
        }
    }
}

TEST(IndexedLookups, KindsAndLineEndsReadInPlaceEqualTheKernelsAnswers) {
    const char* kinds[] = {host::KindName::MobileSubstation, host::KindName::MineTransformer, host::KindName::Starter,
                           host::KindName::ProtectionUnit,   host::KindName::HvDistributionBox, host::KindName::Motor,
                           host::KindName::ShortCircuitPoint, host::KindName::Cable};
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        // Kinds the kernel answers cut: longer than its 31 bytes (cut inside a
        // character), and one with a NUL after a known kind.
        auto& objects = map.objects();
        if (objects.size() > 3) {
            objects[0].kind = FromUtf8("短路点短路点短路点短路点短路点短路点");
            objects[1].kind = FromUtf8("x短路点短路点短路点短路点短路点短路点");
            objects[2].kind = CString(std::string("\xB6\xCC\xC2\xB7\xB5\xE3", 6) + std::string(1, '\0') + "tail");
        }
        // The same for the transformers' kinds, which the supply walks and
        // the feeder sum decide in place.
        if (objects.size() > 7) {
            const CString mobile = FromUtf8(host::KindName::MobileSubstation);
            objects[3].kind = CString(mobile.str() + std::string(1, '\0') + "x");
            objects[4].kind = CString(mobile.str() + std::string(31, 'k'));
            objects[5].kind = mobile + "k";
            objects[6].kind = CString(FromUtf8(host::KindName::MineTransformer).str() + std::string(1, '\0'));
            objects[7].kind = CString(std::string(31, 'k'));
        }
        map.Reindex();
        KernelMapScope attached(map);
        std::vector<LONG> asked{0, 987654};
        for (const host::MapObject& object : map.objects()) asked.push_back(object.handle);
        for (LONG handle : asked) {
            for (const char* kind : kinds) {
                ASSERT_EQ(jdmap::IsKind(handle, kind), KernelKind(handle) == FromUtf8(kind)) << "seed " << seed;
            }
            ASSERT_EQ(jdmap::KindIs(handle, KernelKind(handle)), true) << "seed " << seed << " handle " << handle;
            ASSERT_EQ(jdmap::KindIs(handle, CString()), KernelKind(handle).IsEmpty());
            ASSERT_EQ(jdmap::IsTransformerObject(handle), KernelIsTransformer(handle));
            ASSERT_EQ(IsTransformer(handle) != FALSE, KernelIsTransformer(handle)) << "seed " << seed;
            for (const char* kind : kinds) {
                ASSERT_EQ(jdwalk::ObjectKindIs(map.FindByHandle(handle), handle, FromUtf8(kind)),
                          KernelKind(handle) == FromUtf8(kind))
                    << "seed " << seed << " handle " << handle;
            }
            const CString own = KernelKind(handle);
            ASSERT_TRUE(jdwalk::ObjectKindIs(map.FindByHandle(handle), handle, own)) << "seed " << seed;
            ASSERT_EQ(jdwalk::ObjectKindIs(map.FindByHandle(handle), handle, CString(std::string(31, 'k'))),
                      own == CString(std::string(31, 'k')));
            ASSERT_EQ(jdmap::LineStartObject(handle), KernelLineStart(handle)) << "seed " << seed;
            ASSERT_EQ(jdmap::LineEndObject(handle), KernelLineEnd(handle)) << "seed " << seed;
        }
    }
}

TEST(IndexedLookups, UpstreamWalksEqualTheirPlainFormsWithLoopsAndDeepChains) {
    auto check = [](const host::MapDocument& map, const std::string& where) {
        for (const host::MapObject& object : map.objects()) {
            const LONG h = object.handle;
            ASSERT_EQ(jdwalk::FindStarter(h), PlainStarter(h)) << where;
            ASSERT_EQ(jdwalk::FindSupplyTransformer(h), PlainSupplyTransformer(h)) << where;
            const auto run = jdwalk::FollowUpstream(h, jdwalk::EndsHighVoltageRun);
            const auto plain = PlainUpstream(h, [](LONG o) { return KernelKindIs(o, host::KindName::HvDistributionBox); });
            ASSERT_EQ(run.lines, plain.lines) << where;
            ASSERT_EQ(run.top, plain.top) << where;
        }
    };
    int loops = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        check(map, "seed " + std::to_string(seed));
        {
            const jdwalk::UpstreamRunMemo memo;  // the same answers with the runs remembered
            check(map, "memo, seed " + std::to_string(seed));
        }
        for (const host::MapObject& object : map.objects()) {
            if (!PlainUpstream(object.handle, [](LONG) { return false; }).lines.empty() &&
                PlainUpstream(object.handle, [](LONG) { return false; }).top == 0) {
                ++loops;
            }
        }
    }
    EXPECT_GT(loops, 50) << "walks into loops must be exercised";
    // Runs longer than the searched stretch: a deep chain, and the same chain
    // closed into a loop by feeding its top switch from its bottom one.
    for (bool closed : {false, true}) {
        host::MapDocument chain = MakeSupplyChain(80);
        if (closed) {
            const LONG bottom = chain.FindByName(CString("S80"))->entityId;
            for (host::MapObject& object : chain.objects()) {
                if (object.isLine && object.toEntity == chain.FindByName(CString("S1"))->entityId) object.fromEntity = bottom;
            }
            chain.Reindex();
        }
        KernelMapScope attached(chain);
        check(chain, closed ? "closed chain" : "chain");
        const auto run = jdwalk::FollowUpstream(chain.FindByName(CString("M"))->handle, jdwalk::EndsHighVoltageRun);
        EXPECT_EQ(run.top == 0, closed);
        EXPECT_GE(run.lines.size(), 80u);
    }
}

// Inside a scope the top of every run is remembered per object reached, so
// that the motors of one starter or one transformer share their run above.
// That memory must not depend on which object was asked first: shuffled
// orders, the same object asked again, loops the motor itself lies in.
TEST(IndexedLookups, RememberedTopsOfRunsAnswerAsPlainWalksInAnyOrder) {
    int starters = 0, transformers = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        std::mt19937 rng(seed * 104729u);
        std::vector<LONG> asked{0, 987654};
        for (const host::MapObject& object : map.objects()) asked.push_back(object.handle);
        std::vector<std::pair<LONG, LONG>> expected;  // by handle: starter, supply transformer
        const jdwalk::UpstreamRunMemo memo;
        for (int pass = 0; pass < 3; ++pass) {
            std::shuffle(asked.begin(), asked.end(), rng);
            for (LONG h : asked) {
                // One question before the other in turns: each fills the memory the other may use.
                const bool starterFirst = (h + pass) % 2 == 0;
                const LONG supply = starterFirst ? 0 : jdwalk::FindSupplyTransformer(h);
                const LONG starter = jdwalk::FindStarter(h);
                const LONG supplyAfter = starterFirst ? jdwalk::FindSupplyTransformer(h) : supply;
                ASSERT_EQ(starter, PlainStarter(h)) << "seed " << seed << " handle " << h;
                ASSERT_EQ(supplyAfter, PlainSupplyTransformer(h)) << "seed " << seed << " handle " << h;
                if (pass == 0) {
                    starters += starter != 0;
                    transformers += supplyAfter != 0;
                }
            }
        }
    }
    EXPECT_GT(starters, 100);
    EXPECT_GT(transformers, 300);
    // A chain closed into a loop below its transformer, asked from the middle
    // first and then from the motor: every object of the loop answers 0.
    host::MapDocument chain = MakeSupplyChain(40);
    const LONG bottom = chain.FindByName(CString("S40"))->entityId;
    const LONG top = chain.FindByName(CString("S1"))->entityId;
    for (host::MapObject& object : chain.objects()) {
        if (object.isLine && object.toEntity == top) object.fromEntity = bottom;
    }
    chain.Reindex();
    KernelMapScope attached(chain);
    const jdwalk::UpstreamRunMemo memo;
    for (const char* name : {"S20", "M", "S1", "S40"}) {
        const LONG h = chain.FindByName(CString(name))->handle;
        EXPECT_EQ(jdwalk::FindSupplyTransformer(h), 0) << name;
        EXPECT_EQ(PlainSupplyTransformer(h), 0) << name;
    }
}

// The blocks of the motors a caller collected already equal those of the
// walking form: same motors, same order, same data, in both modes.
TEST(IndexedLookups, StatMotorsOfTheSuppliedListEqualThoseOfTheWalk) {
    int blocksCompared = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        for (const host::MapObject& object : map.objects()) {
            CKernelObjectArray supplied;
            CollectSuppliedMotors(0, object.handle, &supplied);
            for (int mode : {0, 1}) {
                CKernelObjectArray walkedMotors, givenMotors;
                CKernelBlockArray walkedBlocks, givenBlocks;
                const int walked = CollectStatMotors(nullptr, object.handle, &walkedMotors, &walkedBlocks, mode);
                const int given =
                    CollectStatMotorsOf(nullptr, object.handle, &supplied, &givenMotors, &givenBlocks, mode);
                ASSERT_EQ(given, walked) << "seed " << seed;
                ASSERT_EQ(std::vector<LONG>(givenMotors.begin(), givenMotors.end()),
                          std::vector<LONG>(walkedMotors.begin(), walkedMotors.end()));
                ASSERT_EQ(givenBlocks.GetSize(), walkedBlocks.GetSize());
                for (int i = 0; i < givenBlocks.GetSize(); ++i) {
                    const auto& a = *static_cast<const StatMotorBlock*>(givenBlocks[i].block);
                    const auto& b = *static_cast<const StatMotorBlock*>(walkedBlocks[i].block);
                    ASSERT_EQ(givenBlocks[i].value, walkedBlocks[i].value);
                    ASSERT_EQ(a.entityId, b.entityId);
                    ASSERT_EQ(a.starter, b.starter) << "seed " << seed;
                    ASSERT_EQ(a.starter, PlainStarter(givenBlocks[i].value)) << "seed " << seed;
                    ASSERT_EQ(a.groupStart, b.groupStart);
                    ASSERT_EQ(a.running, b.running);
                    ASSERT_EQ(a.ratedPowerKW, b.ratedPowerKW);
                    ASSERT_EQ(a.primaryRatedCurrentA, b.primaryRatedCurrentA);
                    ASSERT_EQ(a.primaryStartCurrentA, b.primaryStartCurrentA);
                    ++blocksCompared;
                }
                for (const KernelBlockEntry& e : givenBlocks) FreeKernelBlock(e.block);
                for (const KernelBlockEntry& e : walkedBlocks) FreeKernelBlock(e.block);
            }
        }
    }
    EXPECT_GT(blocksCompared, 1000);
    CKernelObjectArray motors;
    CKernelBlockArray blocks;
    EXPECT_EQ(CollectStatMotorsOf(nullptr, 1, nullptr, &motors, &blocks, 0), 0) << "no list: nothing";
}

TEST(IndexedLookups, PointsRecomputedInOneScopeEqualPointsRecomputedOneByOne) {
    // Kind "0" points read their cable and transformer by name; inside a scope
    // the names are looked up once. Cable names are drawn from the map's lines,
    // stale names and repeated names included; paths name stale transformers too.
    int written = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument original = MakeRandomMap(seed, ShapeOf(seed));
        std::mt19937 rng(seed * 31u);
        std::vector<CString> cables{FromUtf8("改名前的电缆"), CString()};
        for (const host::MapObject& object : original.objects()) {
            if (object.isLine) cables.push_back(object.name);
        }
        for (host::MapObject& object : original.objects()) {
            auto field = object.fields.find(AttributeField::ShortCircuitPoint);
            if (field == object.fields.end()) continue;
            field->second[0] = cables[std::uniform_int_distribution<size_t>(0, cables.size() - 1)(rng)];
        }
        host::MapDocument each = original;
        host::MapDocument scoped = original;
        auto recompute = [&](host::MapDocument& map, bool inScope) {
            host::HostSession session(map);
            std::optional<CUnchangedLinesScope> scope;
            if (inScope) scope.emplace();
            int ok = 0;
            for (const host::MapObject& object : original.objects()) {
                if (!object.fields.count(AttributeField::ShortCircuitPoint)) continue;
                const CString path = jdmap::FieldText(object, AttributeField::ShortCircuitPoint, 11);
                const int kind = path.Left(1) == "0" ? 0 : 1;
                ok += RecalcShortCircuitPoint(&session.mapControl(), object.handle, object.entityId, CString(), "690",
                                              kind, CString(), "200", "602", 0.1659, 0.0808);
            }
            return ok;
        };
        const int ok = recompute(each, false);
        ASSERT_EQ(recompute(scoped, true), ok) << "seed " << seed;
        ASSERT_TRUE(scoped == each) << "seed " << seed;
        written += ok;
    }
    EXPECT_GT(written, 500);
}

TEST(IndexedLookups, AddingToTheSelectionKeepsTheOrderAndSkipsWhatIsSelected) {
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> idOf(-2, static_cast<int>(map.objects().size()) + 3);
        std::vector<LONG> expected;
        CMOSelectionSet selection(session.mapControl().GetSelectionSet());
        for (int round = 0; round < 4; ++round) {
            CMOIntArray array;
            ASSERT_TRUE(array.CreateDispatch(host::kIntArrayProgId));
            std::vector<LONG> batch;
            for (int k = 0; k < 30; ++k) batch.push_back(idOf(rng));
            LONG added = 0;
            for (LONG id : batch) {
                array.Add(id);
                // The plain form: a search of the selection for every id.
                if (!map.FindByEntity(id) || std::find(expected.begin(), expected.end(), id) != expected.end()) continue;
                expected.push_back(id);
                ++added;
            }
            EXPECT_EQ(selection.AddToSelection(array.m_lpDispatch), added);
            ASSERT_EQ(session.state().selection, expected) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace jdtest
