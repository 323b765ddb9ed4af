#pragma once
// mapgen: writes a valid mine map of about the size asked for, for benchmarks
// and load tests. The mine is a high-voltage distribution box fed from the
// surface and a number of units: a high-voltage cable to a mobile substation
// or a mine transformer, and low-voltage feeders below it -- starters with one
// motor, starters whose two motors start together, one-to-four switches with
// four motors, protection units -- each motor or unit with a short-circuit
// point at the far end of its cable. Mobile substations' points carry supply
// paths of kind "1" (loop totals), mine transformers' of kind "0" (converted
// length). Names are unique; ids run 1 … N in document order, handles in
// another range in reverse, so code that mixes the two fails.
//
// The text is written in the layout the map writer uses, so loading and
// saving a generated map gives the same text back.
//
//   mapgen --objects N [--units U] [--shape spread|big|big-mine] [--all-running] [--seed S] [-o FILE]
//
// --shape spread: U units of equal size (default 50, so each transformer
// feeds about 2 % of the motors). --shape big: unit 1 holds about 98 % of the
// feeders, the others share the rest; --shape big-mine the same with unit 1
// a mine transformer (its points of kind "0") and unit 2 the first mobile
// substation. Unless --all-running, each unit's
// motors beyond the first ~400 kW are spares (running false), so that a
// catalogue model still fits the load and the command rewrites the points.
// A summary line goes to standard error: objects, motors, points, and the
// names of the first transformer (the big one) and of the last.
#include <cstdio>
#include <string>

namespace jdmapgen {

struct Options {
    long long objects = 10000;  // about this many objects (a few fewer where a feeder does not fit)
    int units = 50;
    bool big = false;           // --shape big or big-mine
    bool firstMine = false;     // --shape big-mine: odd units are mine transformers, even ones mobile substations
    bool allRunning = false;
    unsigned seed = 1;
    std::string output;         // mapgen's -o; empty: standard output
};

struct Summary {
    long long objects = 0, transformers = 0, motors = 0, points = 0;
    std::string firstTransformer, lastTransformer;  // UTF-8 names
};

// Writes the map as UTF-8 JSON to `out`.
Summary WriteMineMap(const Options& options, FILE* out);

}  // namespace jdmapgen
