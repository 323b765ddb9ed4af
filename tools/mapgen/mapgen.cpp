// mapgen: the command-line face of MapGenerator (see MapGenerator.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "MapGenerator.h"

namespace {

using jdmapgen::Options;

[[noreturn]] void Usage(const char* message) {
    std::fprintf(stderr, "mapgen: %s\nusage: mapgen --objects N [--units U] [--shape spread|big|big-mine] [--all-running] "
                         "[--seed S] [-o FILE]\n", message);
    std::exit(2);
}

long long Number(const char* text, long long low, long long high, const char* what) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (!*text || *end || value < low || value > high) {
        Usage((std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
               std::to_string(high)).c_str());
    }
    return value;
}

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc) Usage((arg + " needs a value").c_str());
            return argv[++i];
        };
        if (arg == "--objects") options.objects = Number(value(), 20, 100000000, "--objects");
        else if (arg == "--units") options.units = static_cast<int>(Number(value(), 1, 99999, "--units"));
        else if (arg == "--seed") options.seed = static_cast<unsigned>(Number(value(), 0, 4294967295LL, "--seed"));
        else if (arg == "--all-running") options.allRunning = true;
        else if (arg == "--shape") {
            const std::string shape = value();
            if (shape != "spread" && shape != "big" && shape != "big-mine") Usage("--shape is spread, big or big-mine");
            options.big = shape != "spread";
            options.firstMine = shape == "big-mine";
        } else if (arg == "-o") options.output = value();
        else if (arg == "-h" || arg == "--help") Usage("writes a valid mine map");
        else Usage(("unknown argument " + arg).c_str());
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    FILE* out = stdout;
    if (!options.output.empty()) {
        out = std::fopen(options.output.c_str(), "wb");
        if (!out) {
            std::perror(("mapgen: " + options.output).c_str());
            return 1;
        }
    }
    static char buffer[1 << 20];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    const jdmapgen::Summary totals = jdmapgen::WriteMineMap(options, out);
    if (std::fflush(out) != 0 || std::ferror(out) || (out != stdout && std::fclose(out) != 0)) {
        std::perror("mapgen: writing the map");
        return 1;
    }
    std::fprintf(stderr, "objects=%lld transformers=%lld motors=%lld points=%lld first=%s last=%s\n",
                 totals.objects, totals.transformers, totals.motors, totals.points, totals.firstTransformer.c_str(),
                 totals.lastTransformer.c_str());
    return 0;
}
