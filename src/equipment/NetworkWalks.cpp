#include "equipment/NetworkWalks.h"

#include <algorithm>
#include <map>
#include <set>
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

namespace {

// Depth first in connection order, as a recursive walk would go, but with the
// pending lines of every level on an explicit stack: a supply chain may be
// 100,000 objects deep, far deeper than the call stack allows. A level's
// outgoing lines are asked for when the walk enters its object, as the
// recursive form asked for them on entering its call.
void CollectFrom(LONG from, std::vector<LONG>& motors, std::unordered_set<LONG>& followed) {
    struct Level {
        std::vector<LONG> lines;
        size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back(Level{jdmap::OutgoingLines(from), 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.lines.size()) {
            stack.pop_back();
            continue;
        }
        const LONG line = level.lines[level.next++];
        if (!followed.insert(line).second) continue;
        const LONG next = jdmap::LineEndObject(line);
        if (next == 0) continue;
        if (IsMotor(next)) {
            motors.push_back(next);
        } else if (!EndsSupplyWalk(next)) {
            stack.push_back(Level{jdmap::OutgoingLines(next), 0});  // `level` is not used after this
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
    // The walk of CollectFrom, step for step, with each level's object and
    // where its stretch of motors began.
    struct Level {
        LONG object;
        std::vector<LONG> lines;
        size_t next;
        size_t firstMotor;
    };
    RecordedWalk walk;
    std::unordered_set<LONG> followed;
    std::vector<Level> stack;
    stack.push_back(Level{from, jdmap::OutgoingLines(from), 0, 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.lines.size()) {
            walk.stretchOf.try_emplace(level.object, level.firstMotor, walk.motors.size());
            stack.pop_back();
            continue;
        }
        const LONG line = level.lines[level.next++];
        if (!followed.insert(line).second) {
            walk.exact = false;  // a join or a loop: a walk from below would differ
            continue;
        }
        const LONG next = jdmap::LineEndObject(line);
        if (next == 0) continue;
        if (IsMotor(next)) {
            walk.motors.push_back(next);
        } else if (!EndsSupplyWalk(next)) {
            const size_t firstMotor = walk.motors.size();
            stack.push_back(Level{next, jdmap::OutgoingLines(next), 0, firstMotor});  // `level` is not used after this
        }
    }
    return walk;
}

void CollectMotorsDownstream(LONG from, std::vector<LONG>& motors) {
    std::unordered_set<LONG> followed;
    CollectFrom(from, motors, followed);
}

LONG FindStarter(LONG motor) {
    static const CString& starter = KindText(host::KindName::Starter);
    const UpstreamRun run = FollowUpstream(motor, [](LONG object) {
        return jdmap::KindIs(object, starter) || EndsStarterSearch(object);
    });
    return run.top != 0 && jdmap::KindIs(run.top, starter) ? run.top : 0;
}

namespace {

struct RunMemory {
    const host::MapDocument* document = nullptr;
    std::map<std::pair<LONG, bool (*)(LONG)>, UpstreamRun> runs;
};

thread_local RunMemory* t_runMemory = nullptr;
thread_local int t_runMemoDepth = 0;

UpstreamRun FollowUpstreamFresh(LONG object, bool (*stop)(LONG)) {
    const LONG line = jdmap::FirstIncomingLine(object);
    if (line == 0) return {};
    return Follow(line, stop);
}

}  // namespace

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
    if (!t_runMemory) return FollowUpstreamFresh(object, stop);
    // Another map attached meanwhile makes the memory worthless.
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (t_runMemory->document != document) {
        t_runMemory->runs.clear();
        t_runMemory->document = document;
    }
    const auto key = std::make_pair(object, stop);
    const auto found = t_runMemory->runs.find(key);
    if (found != t_runMemory->runs.end()) return found->second;
    return t_runMemory->runs.emplace(key, FollowUpstreamFresh(object, stop)).first->second;
}

UpstreamRun FollowUpstreamFromLine(LONG line, bool (*stop)(LONG)) { return Follow(line, stop); }

LONG FindSupplyTransformer(LONG object) {
    const UpstreamRun run = FollowUpstream(object, EndsLowVoltageRun);
    return run.top != 0 && EndsLowVoltageRun(run.top) ? run.top : 0;
}

}  // namespace jdwalk
