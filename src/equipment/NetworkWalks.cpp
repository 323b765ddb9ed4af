#include "equipment/NetworkWalks.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>

#include "equipment/MapAccess.h"
#include "host/MapDocument.h"

namespace jdwalk {

namespace {

const CString& KindText(const char* utf8Kind) { return jdmap::Gbk(utf8Kind); }

}  // namespace

bool EndsSupplyWalk(LONG object) { return jdmap::IsTransformerObject(object); }

bool EndsStarterSearch(LONG object) {
    static const CString& protection = KindText(host::KindName::ProtectionUnit);
    return jdmap::KindIs(object, protection) || jdmap::IsTransformerObject(object);
}

bool EndsLowVoltageRun(LONG object) { return jdmap::IsTransformerObject(object); }

bool EndsHighVoltageRun(LONG object) {
    static const CString& box = KindText(host::KindName::HvDistributionBox);
    return jdmap::KindIs(object, box);
}

bool IsMotor(LONG object) {
    static const CString& motor = KindText(host::KindName::Motor);
    const host::MapObject* found = jdmap::ObjectOfHandle(object);
    if (!found || found->isLine) return false;
    return found->motor.has_value() || found->kind == motor;
}

bool ObjectKindIs(const host::MapObject* object, LONG handle, const CString& gbkKind) {
    if (!object) return gbkKind.IsEmpty();
    // The kernel answers the kind cut to 31 bytes at a character boundary and
    // up to its first NUL, so its answer begins the kind: a kind that does
    // not begin with the one asked is another. A kind of that very length
    // it answers whole when it is short and holds no NUL; any other case
    // (rare) is left to the kernel's answer.
    const std::string_view kind = object->kind.view();
    const std::string_view wanted = gbkKind.view();
    if (kind.size() < wanted.size() || kind.compare(0, wanted.size(), wanted) != 0) return false;
    if (kind.size() == wanted.size() && kind.size() < 31 && kind.find('\0') == std::string_view::npos) return true;
    return jdmap::KindIs(handle, gbkKind);
}

bool ObjectIsTransformer(const host::MapObject* object, LONG handle) {
    static const CString& mobile = KindText(host::KindName::MobileSubstation);
    static const CString& mine = KindText(host::KindName::MineTransformer);
    return ObjectKindIs(object, handle, mobile) || ObjectKindIs(object, handle, mine);
}

namespace {

// A set or map keyed by handle without an allocation per entry: open
// addressing over a power-of-two table, at most half full. A large unit's
// walk follows ~100,000 lines; node-based containers spent more on malloc
// than on the walk. Key 0 (no line, no object) is kept beside the table.
template <typename Value>
class HandleTable {
public:
    // The entry of `key`, value-initialised when it is new; `added` says so.
    Value& Find(LONG key, bool& added) {
        if (key == 0) {
            added = !m_hasZero;
            m_hasZero = true;
            return m_zero;
        }
        if ((m_count + 1) * 2 > m_slots.size()) Grow();
        Slot& slot = Probe(key);
        added = slot.key == 0;
        if (added) {
            slot.key = key;
            ++m_count;
        }
        return slot.value;
    }
    void Clear() {
        m_slots.clear();
        m_count = 0;
        m_hasZero = false;
        m_zero = Value();
    }

private:
    struct Slot {
        LONG key = 0;
        Value value{};
    };
    Slot& Probe(LONG key) {
        const size_t mask = m_slots.size() - 1;
        // Fibonacci hashing: handles are often consecutive numbers.
        size_t i = static_cast<size_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(key)) *
                                        0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (m_slots[i].key != 0 && m_slots[i].key != key) i = (i + 1) & mask;
        return m_slots[i];
    }
    void Grow() {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(old.empty() ? 64 : old.size() * 2);
        for (Slot& slot : old) {
            if (slot.key != 0) Probe(slot.key) = std::move(slot);
        }
    }
    std::vector<Slot> m_slots;
    size_t m_count = 0;
    bool m_hasZero = false;
    Value m_zero{};
};

class LineSet {
public:
    // True when the line was not in the set yet.
    bool Insert(LONG line) {
        bool added = false;
        m_table.Find(line, added);
        return added;
    }

private:
    struct Nothing {};
    HandleTable<Nothing> m_table;
};

bool ObjectIsMotor(const host::MapObject* object) {
    static const CString& motor = KindText(host::KindName::Motor);
    if (!object || object->isLine) return false;
    return object->motor.has_value() || object->kind == motor;
}

// Depth first in connection order, as a recursive walk would go, but with the
// pending lines of every level on an explicit stack: a supply chain may be
// 100,000 objects deep, far deeper than the call stack allows. A level's
// outgoing lines are asked for when the walk enters its object, as the
// recursive form asked for them on entering its call. The pending lines of
// all levels share one buffer (a level's lines follow its parent's), and each
// object reached is looked up once for all the questions the walk asks of it.
// With `record`, each entered object's stretch of motors is remembered.
void Walk(LONG from, std::vector<LONG>& motors, RecordedWalk* record) {
    struct Level {
        LONG object;
        size_t begin;  // the level's lines: pending[begin, end)
        size_t next;
        size_t end;
        size_t firstMotor;
    };
    const host::MapDocument* document = jdmap::CurrentDocument();
    std::vector<LONG> pending;
    std::vector<Level> stack;
    LineSet followed;
    auto enter = [&](LONG object) {
        const size_t begin = pending.size();
        if (document && object != 0) {
            document->ForEachConnection(object, [&](LONG c) {
                if (c < 0) pending.push_back(-c);
            });
        }
        stack.push_back(Level{object, begin, begin, pending.size(), motors.size()});
    };
    enter(from);
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.end) {
            if (record) record->stretchOf.try_emplace(level.object, level.firstMotor, motors.size());
            pending.resize(level.begin);
            stack.pop_back();
            continue;
        }
        const LONG line = pending[level.next++];
        if (!followed.Insert(line)) {
            if (record) record->exact = false;  // a join or a loop: a walk from below would differ
            continue;
        }
        // LineEndObject, then the object of that handle as IsMotor and the
        // stopping rule would look it up.
        const host::MapObject* lineObject = document->FindByHandle(line);
        if (!lineObject || !lineObject->isLine || lineObject->toEntity == 0) continue;
        const host::MapObject* end = document->FindByEntity(lineObject->toEntity);
        const LONG next = end ? end->handle : 0;
        if (next == 0) continue;
        const host::MapObject* reached = document->FindByHandle(next);
        if (ObjectIsMotor(reached)) {
            motors.push_back(next);
        } else if (!ObjectIsTransformer(reached, next)) {
            enter(next);  // `level` is not used after this
        }
    }
}

// Whether the line is in the run already. Runs are a few cables long, so the
// run itself is searched; a long one (a deep chain) gets a set.
class FollowedLines {
public:
    bool Insert(LONG line, const std::vector<LONG>& run) {
        if (run.size() < kSearched) return std::find(run.begin(), run.end(), line) == run.end();
        if (m_set.empty()) m_set.insert(run.begin(), run.end());
        return m_set.insert(line).second;
    }

private:
    static constexpr size_t kSearched = 32;
    std::unordered_set<LONG> m_set;
};

UpstreamRun Follow(LONG line, bool (*stop)(LONG)) {
    UpstreamRun run;
    FollowedLines followed;
    while (line != 0) {
        if (!followed.Insert(line, run.lines)) {
            run.top = 0;
            return run;
        }
        run.lines.push_back(line);
        const LONG start = jdmap::LineStartObject(line);
        run.top = start;
        if (start == 0 || stop(start)) return run;
        line = jdmap::FirstIncomingLine(start);
    }
    return run;
}

}  // namespace

RecordedWalk CollectMotorsDownstreamRecorded(LONG from) {
    RecordedWalk walk;
    Walk(from, walk.motors, &walk);
    return walk;
}

void CollectMotorsDownstream(LONG from, std::vector<LONG>& motors) { Walk(from, motors, nullptr); }

namespace {

// FindStarter's stopping rule: a starter, or where EndsStarterSearch gives up.
bool EndsStarterRun(LONG object) {
    static const CString& starter = KindText(host::KindName::Starter);
    return jdmap::KindIs(object, starter) || EndsStarterSearch(object);
}

// The top of a run that reached an object (tested by `stop`), as Follow would
// end it: the object when `stop` accepts it or no line arrives at it, 0 when
// the line arriving has no object at its start, else the top of the run from
// the object at that start; 0 when the runs go round a loop for ever. This
// depends on the object alone, not on where the run began (the lines and
// objects that follow an object are fixed, and a loop ends every run that
// enters it with 0), so it is remembered per object.
struct TopEntry {
    LONG top = 0;
    bool known = false;  // false while the run through it is being followed
};

struct RunMemory {
    const host::MapDocument* document = nullptr;
    std::map<std::pair<LONG, bool (*)(LONG)>, UpstreamRun> runs;
    HandleTable<LONG> firstIncoming;  // FirstIncomingLine of each object asked
    std::vector<std::pair<bool (*)(LONG), HandleTable<TopEntry>>> tops;  // by stopping rule

    LONG FirstIncoming(LONG object) {
        bool added = false;
        LONG& line = firstIncoming.Find(object, added);
        if (added) line = jdmap::FirstIncomingLine(object);
        return line;
    }

    HandleTable<TopEntry>& TopsOf(bool (*stop)(LONG)) {
        for (auto& [rule, table] : tops) {
            if (rule == stop) return table;
        }
        tops.emplace_back(stop, HandleTable<TopEntry>());
        return tops.back().second;
    }

    // FollowUpstream(object, stop).top.
    LONG TopOf(LONG object, bool (*stop)(LONG)) {
        const LONG line = FirstIncoming(object);
        if (line == 0) return 0;
        const LONG start = jdmap::LineStartObject(line);
        return start == 0 ? 0 : TopOfReached(start, stop);
    }

    LONG TopOfReached(LONG reached, bool (*stop)(LONG)) {
        HandleTable<TopEntry>& table = TopsOf(stop);
        std::vector<LONG> path;  // objects whose top is the one found at the end
        LONG object = reached;
        LONG top = 0;
        for (;;) {
            bool added = false;
            TopEntry& entry = table.Find(object, added);
            if (!added) {
                top = entry.known ? entry.top : 0;  // unknown: the run came round to it again
                break;
            }
            path.push_back(object);
            if (stop(object)) {
                top = object;
                break;
            }
            const LONG line = FirstIncoming(object);
            if (line == 0) {
                top = object;
                break;
            }
            object = jdmap::LineStartObject(line);
            if (object == 0) {
                top = 0;
                break;
            }
        }
        for (LONG passed : path) {
            bool added = false;
            TopEntry& entry = table.Find(passed, added);
            entry.top = top;
            entry.known = true;
        }
        return top;
    }
};

thread_local RunMemory* t_runMemory = nullptr;
thread_local int t_runMemoDepth = 0;

UpstreamRun FollowUpstreamFresh(LONG object, bool (*stop)(LONG)) {
    const LONG line = jdmap::FirstIncomingLine(object);
    if (line == 0) return {};
    return Follow(line, stop);
}

// The memory of the scope held, emptied when another map was attached since;
// null when no scope is held.
RunMemory* CurrentRunMemory() {
    if (!t_runMemory) return nullptr;
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (t_runMemory->document != document) {
        RunMemory* memory = t_runMemory;
        memory->runs.clear();
        memory->firstIncoming.Clear();
        memory->tops.clear();
        memory->document = document;
    }
    return t_runMemory;
}

// FollowUpstream(object, stop).top, from memory while a scope is held.
LONG TopOf(LONG object, bool (*stop)(LONG)) {
    if (RunMemory* memory = CurrentRunMemory()) return memory->TopOf(object, stop);
    return FollowUpstreamFresh(object, stop).top;
}

}  // namespace

LONG FindStarter(LONG motor) {
    static const CString& starter = KindText(host::KindName::Starter);
    const LONG top = TopOf(motor, EndsStarterRun);
    return top != 0 && jdmap::KindIs(top, starter) ? top : 0;
}

UpstreamRunMemo::UpstreamRunMemo() {
    if (t_runMemoDepth++ == 0) t_runMemory = new RunMemory;
}

UpstreamRunMemo::~UpstreamRunMemo() {
    if (--t_runMemoDepth == 0) {
        delete t_runMemory;
        t_runMemory = nullptr;
    }
}

UpstreamRun FollowUpstream(LONG object, bool (*stop)(LONG)) {
    RunMemory* memory = CurrentRunMemory();
    if (!memory) return FollowUpstreamFresh(object, stop);
    const auto key = std::make_pair(object, stop);
    const auto found = memory->runs.find(key);
    if (found != memory->runs.end()) return found->second;
    return memory->runs.emplace(key, FollowUpstreamFresh(object, stop)).first->second;
}

UpstreamRun FollowUpstreamFromLine(LONG line, bool (*stop)(LONG)) { return Follow(line, stop); }

LONG FindSupplyTransformer(LONG object) {
    const LONG top = TopOf(object, EndsLowVoltageRun);
    return top != 0 && EndsLowVoltageRun(top) ? top : 0;
}

}  // namespace jdwalk
