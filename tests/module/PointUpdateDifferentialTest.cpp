// OK's update of the short-circuit points against its plain form, kept here
// as the reference: the dialog's loop as first written (each point's path
// read, rewritten by the plain rewrite, the point recomputed and the path
// written, one call of each routine per point, each its own access to the
// map). Both run on twin copies of seeded maps — generated mine maps of both
// point kinds, and random drawings with loops, repeated and stale names and
// points of transformers that are not on the map — with new models that
// change some paths and leave others, renamed transformers, and a host that
// refuses writes to the points' field. The saved maps (records, labels and
// all), the refusals and their messages must be the same.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "MapGenerator.h"
#include "equipment/GeneratedMaps.h"
#include "equipment/JDBase.h"
#include "equipment/MapRoutines.h"
#include "equipment/PathFields.h"
#include "host/AttributeAccess.h"
#include "host/CallLog.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/MapFile.h"
#include "module/TransformerImpedance.h"
#include "module/TransformerRecords.h"
#include "platform/Gbk.h"

namespace {

// ---- the plain forms ---------------------------------------------------------------------

std::optional<PointPathUpdate> PlainRewriteSupplyPath(const CString& path, const SupplyTransformer& t) {
    const int firstSeparator = path.Find(';');
    if (path.IsEmpty() || firstSeparator < 0) return std::nullopt;
    const std::string_view kind = path.view().substr(0, static_cast<size_t>(firstSeparator));
    std::vector<std::string_view> fields;
    std::vector<std::string_view> parts;
    jdpath::Split(path.view(), ';', fields);
    if (kind == "0") {
        jdpath::Split(jdpath::Field(fields, 2), ',', parts);
        const CString oldPrefix(std::string(jdpath::Field(parts, 1)));
        const std::string_view oldCapacity = jdpath::Field(parts, 2);
        if (!(std::fabs(ParseDouble(CString(std::string(oldCapacity))) - t.capacityKVA) > kZeroTolerance) &&
            oldPrefix == t.modelPrefix) {
            return std::nullopt;
        }
        const CString capacity = CString::Formatted("%.0f", t.capacityKVA);
        const std::string_view tail = jdpath::Field(fields, 3);
        std::string newPath = jdpath::Join(fields, 0, 2, ';');
        newPath += ';' + t.name.str() + ',' + t.modelPrefix.str() + ',' + capacity.str() + ';';
        newPath += tail;
        newPath += ';';
        PointPathUpdate update;
        update.kind = 0;
        update.newPath = CString(std::move(newPath));
        update.prefix = t.modelPrefix;
        update.capacityText = capacity;
        update.fieldText = CString(std::string(tail));
        return update;
    }
    if (kind == "1") {
        jdpath::Split(jdpath::Field(fields, 3), ',', parts);
        const CString oldR(std::string(jdpath::Field(parts, 1)));
        const CString oldX(std::string(jdpath::Field(parts, 2)));
        const CString newR = CString::Formatted("%.4f", t.resistanceOhm);
        const CString newX = CString::Formatted("%.4f", t.reactanceOhm);
        if (newR == oldR && newX == oldX) return std::nullopt;
        const CString sumR(std::string(jdpath::Field(fields, 4)));
        const CString sumX(std::string(jdpath::Field(fields, 5)));
        PointPathUpdate update;
        update.kind = 1;
        update.sumROhm = ParseDouble(sumR) - ParseDouble(oldR) + t.resistanceOhm;
        update.sumXOhm = ParseDouble(sumX) - ParseDouble(oldX) + t.reactanceOhm;
        std::string newPath = jdpath::Join(fields, 0, 3, ';');
        newPath += ';' + t.name.str() + ',' + newR.str() + ',' + newX.str() + ';';
        newPath += CString::Formatted("%.4f", update.sumROhm).str() + ';';
        newPath += CString::Formatted("%.4f", update.sumXOhm).str() + ';';
        update.newPath = CString(std::move(newPath));
        update.fieldText = "0";
        return update;
    }
    return std::nullopt;
}

void PlainUpdate(CMorvaObjects* map, const CString& nameAtOpen, CKernelObjectArray* objects, CEntityIdArray* ids,
                 const SupplyTransformer& t, double secondaryVoltageV) {
    CKernelObjectArray points;
    CEntityIdArray pointIds;
    FindShortCircuitPoints(map, 1, CString(), nameAtOpen, CString(), objects, ids, &points, &pointIds);
    const CString voltage = CString::Formatted("%.0f", secondaryVoltageV);
    const CUnchangedLinesScope linesStay;
    for (int i = 0; i < points.GetSize() && i < pointIds.GetSize(); ++i) {
        const auto update = PlainRewriteSupplyPath(ReadPointPath(map, pointIds[i]), t);
        if (!update) continue;
        RecalcShortCircuitPoint(map, points[i], pointIds[i], CString(), voltage, update->kind, update->prefix,
                                update->capacityText, update->fieldText, update->sumROhm, update->sumXOhm);
        WritePointPath(map, pointIds[i], update->newPath);
    }
}

// ---- running both -----------------------------------------------------------------------

// Where two saved maps first differ, with some text of each around it; empty
// when they are equal (a whole map in a failure message helps nobody).
std::string FirstDifference(const std::string& actual, const std::string& expected) {
    if (actual == expected) return std::string();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    const size_t from = at < 200 ? 0 : at - 200;
    return "byte " + std::to_string(at) + ":\n got …" + actual.substr(from, 400) + "\n want …" +
           expected.substr(from, 400);
}

struct Outcome {
    std::string saved;
    unsigned long refusals = 0;
    std::string lastRefusal;
    int found = -1;
};

// One form of the update on its own copy of the map, in a session as jdhost opens it.
Outcome RunUpdate(host::MapDocument& doc, bool plain, const CString& nameAtOpen, const SupplyTransformer& t, double u2,
            bool refuseWrites) {
    host::CallLog nothing(host::CallLog::kNothing);
    host::HostSession session(doc, &nothing);
    if (refuseWrites) session.state().refusedWriteFields.insert(161);
    CKernelObjectArray objects;
    CEntityIdArray ids;
    CollectMapObjects(&session.mapControl(), &objects, &ids);
    Outcome outcome;
    const unsigned long before = AttributeWriteRefusals();
    if (plain) {
        PlainUpdate(&session.mapControl(), nameAtOpen, &objects, &ids, t, u2);
    } else {
        outcome.found = UpdateShortCircuitPointsOf(&session.mapControl(), nameAtOpen, &objects, &ids, t, u2);
    }
    outcome.refusals = AttributeWriteRefusals() - before;
    outcome.lastRefusal = AttributeLastRefusedWrite();
    outcome.saved = host::SerializeMap(doc);
    return outcome;
}

// Transformer data for one update: a model prefix and capacity now equal to
// the paths' and now not, impedances now equal to the kind "1" paths'
// (0.0117, 0.0363: those paths stay) and now not.
SupplyTransformer RandomTransformer(std::mt19937& rng, const CString& name) {
    std::uniform_int_distribution<int> percent(0, 99);
    const char* const prefixes[] = {"KBSG", "KBSGZY", ""};
    const double capacities[] = {200.0, 500.0, 630.0, 200.4};
    SupplyTransformer t;
    t.name = percent(rng) < 20 ? FromUtf8("新名变压器") : name;
    t.modelPrefix = FromUtf8(prefixes[percent(rng) % 3]);
    t.capacityKVA = capacities[percent(rng) % 4];
    const bool samePath = percent(rng) < 25;
    t.resistanceOhm = samePath ? 0.0117 : 0.001 + percent(rng) / 997.0;
    t.reactanceOhm = samePath ? 0.0363 : 0.002 + percent(rng) / 331.0;
    return t;
}

void ExpectSameUpdate(const std::string& mapText, host::MapDocument (*make)(uint32_t), uint32_t seed,
                      const CString& nameAtOpen, const SupplyTransformer& t, double u2, bool refuseWrites) {
    host::MapDocument plainDoc, fastDoc;
    if (make) {
        plainDoc = make(seed);
        fastDoc = make(seed);
    } else {
        ASSERT_TRUE(host::ParseMap(mapText, plainDoc).ok);
        ASSERT_TRUE(host::ParseMap(mapText, fastDoc).ok);
    }
    const Outcome plain = RunUpdate(plainDoc, true, nameAtOpen, t, u2, refuseWrites);
    const Outcome fast = RunUpdate(fastDoc, false, nameAtOpen, t, u2, refuseWrites);
    const std::string where = "seed " + std::to_string(seed) + ", transformer " + ToUtf8(nameAtOpen);
    EXPECT_EQ(FirstDifference(fast.saved, plain.saved), "") << where;
    EXPECT_EQ(fast.refusals, plain.refusals) << where;
    EXPECT_EQ(fast.lastRefusal, plain.lastRefusal) << where;
}

host::MapDocument RandomDrawing(uint32_t seed) {
    jdtest::RandomMapShape shape;
    shape.objects = 20 + static_cast<int>(seed % 50);
    shape.lines = shape.objects + static_cast<int>(seed % 37);
    shape.namePool = seed % 4 == 0 ? 5 : 0;
    return jdtest::MakeRandomMap(seed, shape);
}

std::string MineMap(long long objects, bool big, bool mine, unsigned seed, jdmapgen::Summary& summary) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = ::open_memstream(&buffer, &size);
    jdmapgen::Options options;
    options.objects = objects;
    options.big = big;
    options.firstMine = mine;
    options.seed = seed;
    summary = jdmapgen::WriteMineMap(options, out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(PointUpdateDifferential, GeneratedMineMapsOfBothPointKindsGiveThePlainUpdatesMap) {
    int mapsWithChanges = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        jdmapgen::Summary summary;
        const bool big = seed % 3 != 0;
        const bool mine = seed % 2 == 0;
        const std::string text = MineMap(900 + 150 * seed, big, mine, seed, summary);
        std::mt19937 rng(seed);
        for (const std::string& name : {summary.firstTransformer, summary.lastTransformer}) {
            const CString gbk = FromUtf8(name);
            const SupplyTransformer t = RandomTransformer(rng, gbk);
            ExpectSameUpdate(text, nullptr, seed, gbk, t, seed % 2 ? 690.0 : 1200.0, seed == 5);
            host::MapDocument probe;
            ASSERT_TRUE(host::ParseMap(text, probe).ok);
            const std::string before = host::SerializeMap(probe);
            if (RunUpdate(probe, false, gbk, t, 690.0, false).saved != before) ++mapsWithChanges;
        }
    }
    EXPECT_GT(mapsWithChanges, 6);  // most updates rewrote points: the comparison is not of no-ops
}

TEST(PointUpdateDifferential, RandomDrawingsWithStaleNamesAndLoopsGiveThePlainUpdatesMap) {
    for (uint32_t seed = 1; seed <= 80; ++seed) {
        const host::MapDocument drawing = RandomDrawing(seed);
        std::vector<CString> names;
        for (const host::MapObject& object : drawing.objects()) {
            if (object.kind == FromUtf8(host::KindName::MobileSubstation) ||
                object.kind == FromUtf8(host::KindName::MineTransformer)) {
                names.push_back(object.name);
            }
        }
        names.push_back(FromUtf8("改名前的变压器"));  // the stale name some paths carry
        std::mt19937 rng(seed);
        const CString name = names[rng() % names.size()];
        ExpectSameUpdate(std::string(), RandomDrawing, seed, name, RandomTransformer(rng, name), 690.0, seed % 7 == 0);
    }
}

// Random supply paths (GBK): kinds "0", "1" and others, any number of fields
// and parts, numbers in every form the parse meets, a missing last ";", and a
// lone lead byte that takes the separator after it.
std::vector<CString> RandomPaths(uint32_t seed, int count) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<std::string> pieces;  // GBK
    for (const char* utf8 : {"0", "1", "2", "", " 5", "0.0117", "0.0363", "1e-3", "-0.5", "abc", "KBSG", "630", "200",
                             "甲", "变压器", "0.16594", "x,y", ",", ";", "1200.4", "nan"}) {
        pieces.push_back(FromUtf8(utf8).str());
    }
    pieces.push_back("\x81");
    std::vector<CString> paths;
    for (int i = 0; i < count; ++i) {
        std::string path = percent(rng) < 45 ? "0;" : percent(rng) < 80 ? "1;" : "";
        const int fields = percent(rng) % 8;
        for (int f = 0; f < fields; ++f) {
            const int parts = 1 + percent(rng) % 3;
            for (int p = 0; p < parts; ++p) {
                if (p) path += ',';
                path += pieces[static_cast<size_t>(percent(rng)) % pieces.size()];
            }
            if (percent(rng) < 90) path += ';';
        }
        paths.emplace_back(path);
    }
    return paths;
}

TEST(PointUpdateDifferential, AFieldReadAloneIsTheFieldOfTheWholeSplit) {
    std::vector<std::string_view> fields;
    for (const CString& path : RandomPaths(77, 5000)) {
        for (char separator : {';', ','}) {
            jdpath::Split(path.view(), separator, fields);
            for (size_t k = 0; k < 9; ++k) {
                ASSERT_EQ(jdpath::NthField(path.view(), separator, k), jdpath::Field(fields, k))
                    << ToUtf8(path) << " field " << k;
            }
        }
    }
}

TEST(PointUpdateDifferential, TheLeadingFieldsAndTheirJoinAreThoseOfTheWholeSplit) {
    std::vector<std::string_view> fields;
    for (const CString& path : RandomPaths(78, 5000)) {
        for (char separator : {';', ','}) {
            jdpath::Split(path.view(), separator, fields);
            const auto leading = jdpath::SplitLeading<4>(path.view(), separator);
            for (size_t k = 0; k < 4; ++k) {
                ASSERT_EQ(leading[k], jdpath::Field(fields, k)) << ToUtf8(path) << " field " << k;
            }
            for (size_t end = 0; end <= 4; ++end) {
                ASSERT_EQ(leading.JoinedFromStart(path.view(), end), jdpath::Join(fields, 0, end, separator))
                    << ToUtf8(path) << " fields 0.." << end;
            }
        }
    }
}

TEST(PointUpdateDifferential, TheRewriteGivesThePlainRewritesUpdateForRandomPaths) {
    std::mt19937 rng(4242);
    for (const CString& text : RandomPaths(4242, 20000)) {
        const SupplyTransformer t = RandomTransformer(rng, FromUtf8("1#移动变电站"));
        const auto plain = PlainRewriteSupplyPath(text, t);
        const auto fast = RewriteSupplyPath(text, t);
        ASSERT_EQ(fast.has_value(), plain.has_value()) << ToUtf8(text);
        if (!plain) continue;
        EXPECT_EQ(fast->kind, plain->kind) << ToUtf8(text);
        EXPECT_EQ(fast->newPath, plain->newPath) << ToUtf8(text);
        EXPECT_EQ(fast->prefix, plain->prefix) << ToUtf8(text);
        EXPECT_EQ(fast->capacityText, plain->capacityText) << ToUtf8(text);
        EXPECT_EQ(fast->fieldText, plain->fieldText) << ToUtf8(text);
        // Bitwise equal (NaN-free: the parse reads "nan" as 0).
        EXPECT_EQ(fast->sumROhm, plain->sumROhm) << ToUtf8(text);
        EXPECT_EQ(fast->sumXOhm, plain->sumXOhm) << ToUtf8(text);
    }
}

}  // namespace
