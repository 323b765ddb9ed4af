#pragma once
// Maps made for the walks' tests: seeded random drawings of every kind the
// walks look at (transformers, switches, starters, protection units,
// distribution boxes, motors with and without data, short-circuit points,
// cables), with loops, lines joining one object twice, lines without an end,
// duplicate and empty names; and supply chains of any depth.
#include <cstdint>
#include <random>

#include "host/MapDocument.h"

namespace jdtest {

struct RandomMapShape {
    int objects = 40;        // symbols and points
    int lines = 60;          // cables between them (either end may be missing)
    int namePool = 0;        // names drawn from this many (0: one per object, so a few repeat only by chance)
};

// A random drawing; the same seed gives the same map.
host::MapDocument MakeRandomMap(uint32_t seed, const RandomMapShape& shape = {});

// A transformer, `depth` switches one below the other, each fed by a cable
// from the one above, and a running motor with data at the bottom: every walk
// goes `depth` objects deep. Names: "T", "S1" … "S<depth>", "M".
host::MapDocument MakeSupplyChain(int depth);

// Attaches the document to the kernel for the life of the object.
class KernelMapScope {
public:
    explicit KernelMapScope(host::MapDocument& document);
    ~KernelMapScope();
    KernelMapScope(const KernelMapScope&) = delete;
    KernelMapScope& operator=(const KernelMapScope&) = delete;

private:
    LONG m_handle = 0;
};

}  // namespace jdtest
