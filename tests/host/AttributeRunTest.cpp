// Runs of record accesses (one entity store for the run, writes to one field
// sharing one opening) against the plain one-sequence-per-access functions,
// kept as the reference: on seeded random documents and random accesses —
// fields present and absent, entities not in the map, negative sub-indexes,
// texts longer than a read's first buffer, fields the host refuses to write —
// both give the same texts, results, error texts, refusal counts and records.
// And the host's calls answer the same whether or not the log keeps them.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/AttributeAccess.h"
#include "host/CallLog.h"
#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"

namespace {

constexpr LONG kFields[] = {151, 161, 163};
constexpr LONG kFirstEntity = 500;

// Entities kFirstEntity … +11, each with a random choice of the fields; rows
// of random length holding short GBK texts and now and then one of 300 bytes.
host::MapDocument RandomDocument(uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    host::MapDocument doc;
    for (LONG e = 0; e < 12; ++e) {
        host::MapObject object;
        object.entityId = kFirstEntity + e;
        object.name = CString::Formatted("E%d", static_cast<int>(e));
        for (LONG field : kFields) {
            if (percent(rng) < 30) continue;
            host::AttributeRow row(static_cast<size_t>(percent(rng) % 14));
            for (size_t sub = 0; sub < row.size(); ++sub) {
                row[sub] = percent(rng) < 8 ? CString(std::string(300, static_cast<char>('a' + sub)))
                                            : FromUtf8("值" + std::to_string(percent(rng)));
            }
            object.fields[field] = std::move(row);
        }
        doc.AddObject(std::move(object));
    }
    return doc;
}

struct Access {
    LONG entity;
    LONG field;
    LONG sub;
    CString text;
};

// Random accesses: entities of the map and two it lacks, sub-indexes −1 to 15.
std::vector<Access> RandomAccesses(uint32_t seed, int count) {
    std::mt19937 rng(seed * 7919u + 1u);
    std::uniform_int_distribution<int> entity(-1, 13);
    std::uniform_int_distribution<int> field(0, 2);
    std::uniform_int_distribution<int> sub(-1, 15);
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<Access> accesses;
    for (int i = 0; i < count; ++i) {
        Access a;
        // Half of them go on with the entity and field before, as a point's writes do.
        const bool again = !accesses.empty() && percent(rng) < 50;
        a.entity = again ? accesses.back().entity : kFirstEntity + entity(rng);
        a.field = again ? accesses.back().field : kFields[field(rng)];
        a.sub = sub(rng);
        a.text = percent(rng) < 10 ? CString(std::string(280, 'z')) : FromUtf8("新" + std::to_string(i));
        accesses.push_back(a);
    }
    return accesses;
}

void ExpectSameRecords(const host::MapDocument& expected, const host::MapDocument& actual, uint32_t seed) {
    ASSERT_EQ(expected.objects().size(), actual.objects().size());
    for (size_t i = 0; i < expected.objects().size(); ++i) {
        EXPECT_EQ(expected.objects()[i].fields, actual.objects()[i].fields) << "seed " << seed << ", object " << i;
    }
    EXPECT_EQ(expected.modified(), actual.modified()) << "seed " << seed;
}

TEST(AttributeRun, ReadsGiveThePlainReadsTextsAndErrors) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        host::MapDocument doc = RandomDocument(seed);
        host::HostSession session(doc);
        CMorvaObjects* map = &session.mapControl();
        AttributeRun run(map);
        for (const Access& a : RandomAccesses(seed, 80)) {
            const CString plain = ReadAttributeText(map, a.entity, a.field, a.sub);
            const std::string plainError = AttributeAccessLastError();
            const CString fast = run.ReadText(a.entity, a.field, a.sub);
            ASSERT_EQ(fast, plain) << "seed " << seed << ": entity " << a.entity << " field " << a.field << " sub " << a.sub;
            ASSERT_EQ(AttributeAccessLastError(), plainError) << "seed " << seed;
        }
    }
}

TEST(AttributeRun, WritesGiveThePlainWritesRecordsResultsAndRefusals) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        host::MapDocument plainDoc = RandomDocument(seed);
        host::MapDocument fastDoc = RandomDocument(seed);
        host::HostSession plainSession(plainDoc);
        host::HostSession fastSession(fastDoc);
        // Every third map refuses writes to one field, as a host may.
        if (seed % 3 == 0) {
            plainSession.state().refusedWriteFields.insert(161);
            fastSession.state().refusedWriteFields.insert(161);
        }
        AttributeRun run(&fastSession.mapControl());
        std::unique_ptr<AttributeFieldWriter> writer;
        LONG writerField = 0;
        for (const Access& a : RandomAccesses(seed, 80)) {
            // Consecutive writes to the same entity and field share a writer,
            // as a point's current and path do (on even seeds each write has its own).
            if (!writer || writer->entityId() != a.entity || writerField != a.field || seed % 2 == 0) {
                writer = std::make_unique<AttributeFieldWriter>(run, a.entity, a.field);
                writerField = a.field;
            }
            const AttributeValue value{a.sub, a.text};

            const unsigned long refusalsBefore = AttributeWriteRefusals();
            const bool plain = WriteAttributeValues(&plainSession.mapControl(), a.entity, a.field, {value});
            const std::string plainError = AttributeAccessLastError();
            const std::string plainRefused = AttributeLastRefusedWrite();
            const unsigned long plainRefusals = AttributeWriteRefusals() - refusalsBefore;

            const unsigned long fastBefore = AttributeWriteRefusals();
            const bool fast = writer->Write(value);
            ASSERT_EQ(fast, plain) << "seed " << seed << ": entity " << a.entity << " sub " << a.sub;
            ASSERT_EQ(AttributeAccessLastError(), plainError) << "seed " << seed;
            ASSERT_EQ(AttributeLastRefusedWrite(), plainRefused) << "seed " << seed;
            ASSERT_EQ(AttributeWriteRefusals() - fastBefore, plainRefusals) << "seed " << seed;
        }
        writer.reset();
        ExpectSameRecords(plainDoc, fastDoc, seed);
    }
}

TEST(AttributeRun, WithoutAMapControlEveryAccessFailsAsThePlainOneDoes) {
    AttributeRun run(nullptr);
    EXPECT_TRUE(run.ReadText(7, 161, 11).IsEmpty());
    EXPECT_EQ(AttributeAccessLastError(), "reading of field 161 of entity 7: no map control");
    AttributeFieldWriter writer(run, 7, 161);
    const unsigned long before = AttributeWriteRefusals();
    EXPECT_FALSE(writer.Write(AttributeValue{1, "5.00"}));
    EXPECT_FALSE(writer.Write(AttributeValue{11, "path"}));
    EXPECT_EQ(AttributeWriteRefusals() - before, 2u);  // each write counts, as two plain writes would
    EXPECT_EQ(AttributeLastRefusedWrite(), "writing of field 161 of entity 7: no map control");
}

TEST(AttributeRun, ARunAsksForTheEntityStoreOnceAndAWriterOpensItsFieldOnce) {
    host::MapDocument doc = RandomDocument(5);
    doc.FindByEntity(kFirstEntity)->fields[161] = host::AttributeRow(12);
    doc.FindByEntity(kFirstEntity + 1)->fields[161] = host::AttributeRow(12, CString("x"));
    host::CallLog log;
    host::HostSession session(doc, &log);
    {
        AttributeRun run(&session.mapControl());
        EXPECT_EQ(run.ReadText(kFirstEntity + 1, 161, 11), "x");
        EXPECT_EQ(run.ReadText(kFirstEntity + 1, 161, 3), "x");
        AttributeFieldWriter writer(run, kFirstEntity, 161);
        EXPECT_TRUE(writer.Write(AttributeValue{1, "12.50"}));
        EXPECT_TRUE(writer.Write(AttributeValue{11, "1;a;b;"}));
    }
    EXPECT_EQ(log.Count("GetEntityStore"), 1u);
    EXPECT_EQ(log.Count("GetEntity"), 3u);  // two reads, one writer
    EXPECT_EQ(log.Count("FindField"), 3u);
    EXPECT_EQ(log.Count("GetFieldValue"), 2u);  // short texts: one call each
    EXPECT_EQ(log.Count("SetFieldValue"), 2u);
    EXPECT_EQ(doc.FindByEntity(kFirstEntity)->fields.at(161)[1], "12.50");
    EXPECT_EQ(doc.FindByEntity(kFirstEntity)->fields.at(161)[11], "1;a;b;");
}

// ---- calls answered with and without a log ----------------------------------------------

// One sequence of calls, refused ones among them, on a session; what the
// module sees of it: every result and every automation failure's text.
std::vector<std::string> RunCalls(host::HostSession& session) {
    std::vector<std::string> seen;
    ClearAutomationFailures();
    CMorvaObjects& map = session.mapControl();
    CMOEntityStore store(map.GetEntityStore());
    for (LONG e = kFirstEntity - 1; e <= kFirstEntity + 12; ++e) {
        seen.push_back("type " + std::to_string(store.GetEntityType(e)));
        CMOEntity entity(store.GetEntity(e));
        for (LONG access : {0, 1, 2}) {
            CMOAttributeTable table(entity.GetAttributeTable(access));
            for (LONG field : kFields) {
                const LONG column = table.FindField(field);
                seen.push_back("column " + std::to_string(column));
                for (LONG c : {column, column + 40}) {
                    for (LONG sub : {-1, 0, 3, 20}) {
                        char buffer[512] = {};
                        VARIANT value;
                        VariantInit(&value);
                        value.vt = VT_UI1 | VT_BYREF;
                        value.pbVal = reinterpret_cast<BYTE*>(buffer);
                        seen.push_back("size " + std::to_string(table.GetFieldValue(c, sub, 0, sizeof buffer, &value)) +
                                       " " + buffer);
                        value.pbVal = reinterpret_cast<BYTE*>(const_cast<char*>("new"));
                        table.SetFieldValue(c, sub, 0, 4, &value);
                        seen.push_back("set " + std::to_string(table.GetLastResult()));
                    }
                }
            }
        }
    }
    for (const AutomationFailure& failure : AutomationFailures()) seen.push_back(failure.ToString());
    return seen;
}

TEST(HostCalls, AnswerTheSameWhetherTheLogKeepsThemOrNot) {
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        host::MapDocument keptDoc = RandomDocument(seed);
        host::MapDocument bareDoc = RandomDocument(seed);
        host::CallLog kept;
        host::CallLog nothing(host::CallLog::kNothing);
        std::vector<std::string> withLog, withoutLog;
        {
            host::HostSession session(keptDoc, &kept);
            session.state().refusedWriteFields.insert(163);
            withLog = RunCalls(session);
        }
        {
            host::HostSession session(bareDoc, &nothing);
            session.state().refusedWriteFields.insert(163);
            withoutLog = RunCalls(session);
        }
        ASSERT_FALSE(kept.empty());
        EXPECT_TRUE(nothing.empty());
        EXPECT_EQ(withoutLog, withLog) << "seed " << seed;
        ExpectSameRecords(keptDoc, bareDoc, seed);
    }
}

}  // namespace
