// Google Benchmark of the routines a large map makes hot: loading and saving
// a map, the set-transformer command's walks and load statistics, and the
// update of the short-circuit points a transformer feeds. Maps come from the
// generator (tools/mapgen) in memory; sizes are objects. Nothing here is a
// test: `make bench` runs it, `make test` does not.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include <unistd.h>

#include "MapGenerator.h"
#include "equipment/JDBase.h"
#include "equipment/MapRoutines.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/MapFile.h"
#include "module/TransformerImpedance.h"
#include "module/TransformerRecords.h"
#include "platform/Gbk.h"

namespace {

struct GeneratedMap {
    std::string text;
    jdmapgen::Summary summary;
};

// Shapes of the generated maps: 50 equal units; unit 1 (a mobile substation,
// points of kind "1") holding about 98 % of the feeders; the same with unit 1
// a mine transformer (points of kind "0", which read the transformer's data).
enum Shape { kSpread = 0, kBig = 1, kBigMine = 2 };

// One map of each size and shape per process: generating is not what is measured.
const GeneratedMap& Generated(long long objects, int shape) {
    static std::map<std::pair<long long, int>, GeneratedMap> maps;
    auto [it, added] = maps.try_emplace({objects, shape});
    if (added) {
        char* buffer = nullptr;
        size_t size = 0;
        FILE* out = ::open_memstream(&buffer, &size);
        jdmapgen::Options options;
        options.objects = objects;
        options.big = shape != kSpread;
        options.firstMine = shape == kBigMine;
        it->second.summary = jdmapgen::WriteMineMap(options, out);
        std::fclose(out);
        it->second.text.assign(buffer, size);
        std::free(buffer);
    }
    return it->second;
}

// A loaded map in a host session, as the command sees it after event 18.
struct OpenMap {
    host::MapDocument document;
    host::CallLog noLog{host::CallLog::kNothing};
    std::unique_ptr<host::HostSession> session;
    CKernelObjectArray objects;
    CEntityIdArray ids;
    jdmapgen::Summary summary;

    OpenMap(long long size, int shape) {
        const GeneratedMap& map = Generated(size, shape);
        summary = map.summary;
        const host::MapLoadResult loaded = host::ParseMap(map.text, document);
        if (!loaded.ok) {
            std::fprintf(stderr, "bench: the generated map does not load:\n%s", loaded.Describe("generated").c_str());
            std::abort();
        }
        session = std::make_unique<host::HostSession>(document, &noLog);  // as jdhost runs it
        CollectMapObjects(&session->mapControl(), &objects, &ids);
    }
    LONG Handle(const std::string& utf8Name) {
        const host::MapObject* object = document.FindByName(FromUtf8(utf8Name));
        return object ? object->handle : 0;
    }
};

void Load(benchmark::State& state) {
    const GeneratedMap& map = Generated(state.range(0), kSpread);
    for (auto _ : state) {
        host::MapDocument document;
        const host::MapLoadResult result = host::ParseMap(map.text, document);
        benchmark::DoNotOptimize(result.ok);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * map.text.size()));
}

void Save(benchmark::State& state) {
    host::MapDocument document;
    const GeneratedMap& map = Generated(state.range(0), kSpread);
    host::ParseMap(map.text, document);
    for (auto _ : state) {
        const std::string text = host::SerializeMap(document);
        benchmark::DoNotOptimize(text.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * map.text.size()));
}

// A save as jdhost makes it: written straight to a temporary file beside
// the target in pieces, flushed to disk and renamed over the target.
void SaveFile(benchmark::State& state) {
    host::MapDocument document;
    const GeneratedMap& map = Generated(state.range(0), kSpread);
    host::ParseMap(map.text, document);
    const std::string path = (std::filesystem::temp_directory_path() / ("jdbench-save-" + std::to_string(::getpid()) + ".json")).string();
    for (auto _ : state) {
        std::string error;
        if (!host::SaveMapFile(path, document, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * map.text.size()));
}

// The document's index: built at the first look-up after a load, then one
// look-up by entity id, handle and name for every object in file order (the
// order the command's walks mostly visit a generated mine in).
void BuildIndex(benchmark::State& state) {
    host::MapDocument document;
    host::ParseMap(Generated(state.range(0), kSpread).text, document);
    for (auto _ : state) {
        document.Reindex();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * document.objects().size()));
}

void LookUpEveryObject(benchmark::State& state) {
    host::MapDocument document;
    host::ParseMap(Generated(state.range(0), kSpread).text, document);
    document.Reindex();
    for (auto _ : state) {
        size_t found = 0;
        for (const host::MapObject& object : document.objects()) {
            found += (document.FindByEntity(object.entityId) != nullptr) + (document.FindByHandle(object.handle) != nullptr);
            found += document.FindByName(object.name) != nullptr;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * document.objects().size()));
}

// Event 18 of the command: the object lists from the map.
void CollectObjects(benchmark::State& state) {
    OpenMap map(state.range(0), kSpread);
    for (auto _ : state) {
        CKernelObjectArray objects;
        CEntityIdArray ids;
        benchmark::DoNotOptimize(CollectMapObjects(&map.session->mapControl(), &objects, &ids));
    }
}

// The dialog's load statistics: the motors below the transformer, each
// motor's starter, and the starting currents, spare motors included. Range 1 is the Shape: 0 a unit
// of about 2 % of the motors, 1 and 2 the transformer that feeds nearly all.
void LoadStatistics(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(1));
    const bool big = shape != kSpread;
    OpenMap map(state.range(0), shape);
    const LONG transformer = map.Handle(big ? map.summary.firstTransformer : map.summary.lastTransformer);
    for (auto _ : state) {
        const CUnchangedLinesScope linesStay;  // as the dialog holds it around both
        CKernelObjectArray motors;
        CKernelBlockArray blocks;
        CollectStatMotors(&map.session->mapControl(), transformer, &motors, &blocks, 1);
        double maxStart = 0, allRated = 0, otherRated = 0;
        CalcMotorCurrents(&motors, &maxStart, &allRated, &otherRated);
        benchmark::DoNotOptimize(allRated);
        for (const KernelBlockEntry& entry : blocks) FreeKernelBlock(entry.block);
    }
}

// OK of the dialog with a new model: every point the transformer feeds found
// and recomputed. Two impedances alternate so that every pass rewrites every path.
void ShortCircuitUpdate(benchmark::State& state) {
    const int shape = static_cast<int>(state.range(1));
    const bool big = shape != kSpread;
    OpenMap map(state.range(0), shape);
    const std::string name = big ? map.summary.firstTransformer : map.summary.lastTransformer;
    const CString transformerName = FromUtf8(name);
    const bool mobile = name.find("移动变电站") != std::string::npos;
    int pass = 0;
    for (auto _ : state) {
        const SupplyTransformer transformer{transformerName, FromUtf8(mobile ? "KBSGZY" : "KBSG"),
                                            pass % 2 ? 500.0 : 630.0, pass % 2 ? 0.0117 : 0.0093,
                                            pass % 2 ? 0.0363 : 0.0301};
        ++pass;
        // The dialog's own update, as OK runs it.
        benchmark::DoNotOptimize(UpdateShortCircuitPointsOf(&map.session->mapControl(), transformerName, &map.objects,
                                                            &map.ids, transformer, 690.0));
    }
}

}  // namespace

BENCHMARK(Load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(Save)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildIndex)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(LookUpEveryObject)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(CollectObjects)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadStatistics)->ArgsProduct({{10000, 100000}, {0, 1, 2}})->ArgNames({"objects", "big"})->Unit(benchmark::kMillisecond);
BENCHMARK(ShortCircuitUpdate)->ArgsProduct({{10000, 100000}, {0, 1, 2}})->ArgNames({"objects", "big"})->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Kind-0 points read the catalogue: a per-user one made from the seed
    // inside the build tree, never the user's own.
    if (!std::getenv("JDHOST_CATALOGUE")) ::setenv("XDG_DATA_HOME", JD_BENCH_HOME, 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
