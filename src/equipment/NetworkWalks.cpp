#include "equipment/NetworkWalks.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "equipment/MapAccess.h"
#include "host/MapDocument.h"

namespace jdwalk {

bool EndsSupplyWalk(LONG object) { return jdmap::IsTransformerKind(jdmap::KindOf(object)); }

bool EndsStarterSearch(LONG object) {
    const CString kind = jdmap::KindOf(object);
    return kind == jdmap::Gbk(host::KindName::ProtectionUnit) || jdmap::IsTransformerKind(kind);
}

bool EndsLowVoltageRun(LONG object) { return jdmap::IsTransformerKind(jdmap::KindOf(object)); }

bool EndsHighVoltageRun(LONG object) { return jdmap::IsKind(object, host::KindName::HvDistributionBox); }

bool IsMotor(LONG object) {
    const host::MapObject* found = jdmap::ObjectOfHandle(object);
    if (!found || found->isLine) return false;
    return found->motor.has_value() || found->kind == jdmap::Gbk(host::KindName::Motor);
}

namespace {

// Depth first in connection order, as a recursive walk would go, but with the
// pending lines of every level on an explicit stack: a supply chain may be
// 100,000 objects deep, far deeper than the call stack allows. A level's
// outgoing lines are asked for when the walk enters its object, as the
// recursive form asked for them on entering its call.
void CollectFrom(LONG from, std::vector<LONG>& motors, std::set<LONG>& followed) {
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

UpstreamRun Follow(LONG line, bool (*stop)(LONG)) {
    UpstreamRun run;
    std::set<LONG> followed;
    while (line != 0) {
        if (!followed.insert(line).second) {
            run.top = 0;
            return run;
        }
        run.lines.push_back(line);
        const LONG start = jdmap::LineStartObject(line);
        run.top = start;
        if (start == 0 || stop(start)) return run;
        const std::vector<LONG> incoming = jdmap::IncomingLines(start);
        line = incoming.empty() ? 0 : incoming.front();
    }
    return run;
}

}  // namespace

void CollectMotorsDownstream(LONG from, std::vector<LONG>& motors) {
    std::set<LONG> followed;
    CollectFrom(from, motors, followed);
}

LONG FindStarter(LONG motor) {
    const UpstreamRun run = FollowUpstream(motor, [](LONG object) {
        return jdmap::IsKind(object, host::KindName::Starter) || EndsStarterSearch(object);
    });
    return run.top != 0 && jdmap::IsKind(run.top, host::KindName::Starter) ? run.top : 0;
}

namespace {

struct RunMemory {
    const host::MapDocument* document = nullptr;
    std::map<std::pair<LONG, bool (*)(LONG)>, UpstreamRun> runs;
};

thread_local RunMemory* t_runMemory = nullptr;
thread_local int t_runMemoDepth = 0;

UpstreamRun FollowUpstreamFresh(LONG object, bool (*stop)(LONG)) {
    const std::vector<LONG> incoming = jdmap::IncomingLines(object);
    if (incoming.empty()) return {};
    return Follow(incoming.front(), stop);
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
