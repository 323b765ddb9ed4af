#pragma once
// The topology walks of the library's map routines. Each walk's stopping rule
// is its own small function, so that where a walk ends can be read (and
// changed) without reading the walk. Every walk carries the set of lines it
// has followed, so a loop drawn by mistake ends the walk instead of hanging it.
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

namespace host {
struct MapObject;
}  // namespace host

namespace jdwalk {

// ---- Stopping rules ------------------------------------------------------------

// The downstream walk from a transformer does not enter another transformer:
// its loads are that transformer's.
bool EndsSupplyWalk(LONG object);
// The upstream search for a motor's starter gives up at a protection unit or
// a transformer (a starter behind those is not the motor's).
bool EndsStarterSearch(LONG object);
// A low-voltage run followed upstream ends at the transformer that feeds it.
bool EndsLowVoltageRun(LONG object);
// A high-voltage run followed upstream from a transformer ends at the
// distribution box, the bus whose short-circuit capacity the system
// reactance stands for, or where no line arrives.
bool EndsHighVoltageRun(LONG object);

// Whether the object (ObjectOfHandle(handle), already looked up) is of the
// GBK kind, as jdmap::KindIs answers: compared in place unless the kernel
// would answer the kind cut.
bool ObjectKindIs(const host::MapObject* object, LONG handle, const CString& gbkKind);
// jdmap::IsTransformerObject of an object already looked up.
bool ObjectIsTransformer(const host::MapObject* object, LONG handle);

// ---- Walks ------------------------------------------------------------------------

// Whether the object is a motor: it carries motor data, or its kind is "电动机".
bool IsMotor(LONG object);

// Appends the motors fed from `from`, depth first in connection order,
// following outgoing lines and not entering an object EndsSupplyWalk names.
void CollectMotorsDownstream(LONG from, std::vector<LONG>& motors);

// CollectMotorsDownstream from `from`, remembering for every object the walk
// entered which stretch of `motors` it appended while it was entered. When
// the walk followed no line twice (no join, no loop below `from`), that
// stretch is exactly what CollectMotorsDownstream from the object would
// append, so one walk answers for every object below: `exact` says so.
struct RecordedWalk {
    std::vector<LONG> motors;
    bool exact = true;
    // First and one-past-last index into `motors`, by object handle.
    std::unordered_map<LONG, std::pair<size_t, size_t>> stretchOf;
};
RecordedWalk CollectMotorsDownstreamRecorded(LONG from);

// The motor's starter: up the first incoming line, object by object, until a
// starter ("启动器") or EndsStarterSearch; 0 when none.
LONG FindStarter(LONG motor);

// A run of lines followed upstream: `lines` from the first line followed to
// the last; `top` the object at the start of the last line, where the run
// ended (0 when a line had no object at its start or the run looped).
struct UpstreamRun {
    std::vector<LONG> lines;
    LONG top = 0;
};
// From the object, up its first incoming line, then the first incoming line of
// the object at that line's start, and so on, until `stop` accepts the object
// reached or no line arrives. The object itself is not tested.
UpstreamRun FollowUpstream(LONG object, bool (*stop)(LONG));
// The same starting with a given line.
UpstreamRun FollowUpstreamFromLine(LONG line, bool (*stop)(LONG));

// While one lives (on this thread), FollowUpstream remembers each run it
// followed from an object and answers the same question again from memory:
// a loop over the points of one transformer asks the run above it for every
// point. Only for stretches in which no line of the drawing changes; scopes
// nest, the outermost one's memory is used.
class UpstreamRunMemo {
public:
    UpstreamRunMemo();
    ~UpstreamRunMemo();
    UpstreamRunMemo(const UpstreamRunMemo&) = delete;
    UpstreamRunMemo& operator=(const UpstreamRunMemo&) = delete;
};

// The transformer whose low-voltage network holds the object (the run's top
// when it is a transformer), or 0.
LONG FindSupplyTransformer(LONG object);

}  // namespace jdwalk
