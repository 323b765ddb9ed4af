// The two map loaders against each other: the fast one may give a map up to
// the thorough one, but a map it accepts must be one the thorough one accepts,
// loaded to the same document (kept unknown keys and all).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "MapGenerator.h"
#include "host/MapFile.h"
#include "host/MapFileDetail.h"

namespace host {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Generated(long long objects, bool big, unsigned seed) {
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    jdmapgen::Options options;
    options.objects = objects;
    options.big = big;
    options.seed = seed;
    jdmapgen::WriteMineMap(options, out);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

// What each loader made of one text.
struct Outcome {
    bool fast = false;
    bool thorough = false;
    MapDocument fastDocument;
    MapDocument thoroughDocument;
    std::string problems;
};

Outcome LoadBoth(const std::string& text) {
    Outcome outcome;
    outcome.fast = detail::ParseMapFast(text, text.size(), outcome.fastDocument);
    const MapLoadResult result = detail::ParseMapThorough(text, outcome.thoroughDocument);
    outcome.thorough = result.ok;
    outcome.problems = result.Describe("map");
    return outcome;
}

// The promise itself; returns whether the fast loader took the text.
bool ExpectAgree(const std::string& text, const std::string& label) {
    const Outcome outcome = LoadBoth(text);
    if (outcome.fast) {
        EXPECT_TRUE(outcome.thorough) << label << ": the fast loader took a map the thorough one refuses:\n"
                                      << outcome.problems;
        EXPECT_TRUE(outcome.fastDocument == outcome.thoroughDocument) << label << ": the loaders built different documents";
        EXPECT_EQ(SerializeMap(outcome.fastDocument), SerializeMap(outcome.thoroughDocument)) << label;
    }
    return outcome.fast;
}

TEST(MapLoaders, GeneratedMapsLoadFastToTheThoroughLoadersDocument) {
    for (const bool big : {false, true}) {
        for (const unsigned seed : {1u, 7u}) {
            const std::string text = Generated(3000, big, seed);
            const std::string label = std::string(big ? "big" : "spread") + " seed " + std::to_string(seed);
            EXPECT_TRUE(ExpectAgree(text, label)) << label << ": a generated map should not need the thorough loader";
        }
    }
}

TEST(MapLoaders, ExamplesAndBrokenFilesAgree) {
    size_t files = 0;
    for (const char* folder : {"examples", "tests/host/data"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(JD_SOURCE_DIR) / folder)) {
            if (entry.path().extension() != ".json") continue;
            ++files;
            const std::string text = ReadText(entry.path());
            const bool fast = ExpectAgree(text, entry.path().filename().string());
            // The broken files must all go to the thorough loader for their reports.
            if (entry.path().filename().string().rfind("broken-", 0) == 0) {
                EXPECT_FALSE(fast) << entry.path();
            }
            if (entry.path().filename() == "sample-mine.json") {
                EXPECT_TRUE(fast);
            }
        }
    }
    EXPECT_GE(files, 6u);
}

// LoadMapFile lets the fast loader hand back the pages it has read; a map it
// gives up near its end must still be reported on as the text reads.
TEST(MapLoaders, AFileGivenUpLateIsReadAgainForItsReports) {
    const std::string good = Generated(4000, false, 3);
    std::string bad = good;
    const size_t last = bad.rfind("\"layer\": ");
    ASSERT_NE(last, std::string::npos);
    bad.replace(last, 9, "\"layer\": 99, \"x\": ");  // no such layer, near the end of a large file
    const fs::path folder = fs::temp_directory_path() / ("jd-loaders-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const std::string* text : {&good, static_cast<const std::string*>(&bad)}) {
        const fs::path path = folder / "map.json";
        std::ofstream(path, std::ios::binary) << *text;
        MapDocument fromFile;
        const MapLoadResult loaded = LoadMapFile(path.string(), fromFile);
        MapDocument fromText;
        const MapLoadResult parsed = ParseMap(*text, fromText);
        EXPECT_EQ(loaded.ok, parsed.ok);
        EXPECT_EQ(loaded.Describe("map"), parsed.Describe("map"));
        EXPECT_TRUE(fromFile == fromText);
    }
    MapDocument probe;
    const MapLoadResult refused = ParseMap(bad, probe);
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.Describe("map").find("no layer has id 99"), std::string::npos) << refused.Describe("map");
    fs::remove_all(folder);
}

// A small valid map with a slot for extra members of the root, of the
// project, of a layer and of an object, and one for the object's own keys.
std::string SmallMap(const std::string& rootExtra, const std::string& projectExtra, const std::string& layerExtra,
                     const std::string& objectKeys) {
    return R"({"format": "jdmap", "version": 1)" + rootExtra +
           R"(, "project": {"name": "矿", "lowVoltage": 660)" + projectExtra +
           R"(}, "layers": [{"id": 1, "name": "L", "colour": 0)" + layerExtra +
           R"(}], "symbols": [{"id": 5, "name": "S", "extent": [-1, -1, 1, 1]}],
  "objects": [{"id": 1, "handle": 11, "type": 2, "kind": "电动机", "name": "M1", "layer": 1, "symbol": 5},
              {"id": 2, "handle": 12, "type": 1, "kind": "电缆", "layer": 1, "from": 1, "to": null)" + objectKeys + "}]}";
}

// Spellings the fast loader takes itself, each checked against the thorough one.
TEST(MapLoaders, UnknownKeysAndUnusualSpellingsLoadTheSameByBothLoaders) {
    struct Case {
        const char* label;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"unknown keys everywhere, numbers verbatim",
         SmallMap(R"(, "future": {"n": 123456789012345678901, "e": 1E2, "deep": [[true, null], {"x": "y"}]})",
                  R"(, "owner": "某人")", R"(, "hidden": false)", R"(, "extra": [1.50, -0, "a\"b"])")},
        {"an escaped unknown key", SmallMap(R"(, "fu\u0074ure\n": 1)", "", "", "")},
        {"a negative zero where a number goes", SmallMap("", "", "", R"(, "rotation": -0, "size": [-0.0, 2])")},
        {"texts with escapes and characters outside ASCII",
         SmallMap("", "", "", R"(, "name": "\u7535\u7f06 \"A\"\t", "notes": {"k\u00e9y": "备用\\"})")},
        {"a line that says it is one", SmallMap("", "", "", R"(, "line": true, "lineProperty": 3)")},
        {"records, labels and a motor",
         SmallMap("", "", "", R"(, "labels": [{"text": "x", "placement": 2}], "fields": {"0": [], "161": ["1", "", "×"]},
             "motor": null, "outline": [[0, 0], [1, 2, 3]])")},
        {"a byte-order mark", "\xEF\xBB\xBF" + SmallMap("", "", "", "")},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ExpectAgree(c.text, c.label)) << c.label << ": expected the fast loader to take it";
    }
}

// Texts one of the loaders refuses or that the fast one leaves to the other.
TEST(MapLoaders, TextsTheFastLoaderGivesUpAreLeftToTheThoroughLoader) {
    const std::vector<std::string> texts = {
        SmallMap(R"(, "future": [1, tru])", "", "", ""),               // an unknown value that is not JSON
        SmallMap(R"(, "future": 1e999)", "", "", ""),                  // beyond a double
        SmallMap(R"(, "future": 1, "future": 2)", "", "", ""),         // an unknown key twice
        SmallMap(R"(, "future": )" + std::string(70, '[') + std::string(70, ']'), "", "", ""),  // too deep
        SmallMap(R"(, "version": 1)", "", "", ""),                     // a known key twice
        SmallMap("", "", "", R"(, "id": 3)"),                          // an object key twice
        SmallMap("", "", "", R"(, "handle": 11.0)"),                   // a whole number with a fraction (accepted)
        SmallMap("", "", "", R"(, "fields": {"161": {"2": "x"}})"),    // the object form of a record (accepted)
        SmallMap("", "", "", R"(, "fields": {"01": []})"),             // a record number with a leading zero
        SmallMap("", "", "", R"(, "to": 2)"),                          // a line ending at a line
        SmallMap("", "", "", R"(, "to": 9)"),                          // at nothing
        SmallMap("", "", "", R"(, "layer": 3)"),                       // on no layer
        SmallMap("", "", "", R"(, "name": "名字名字名字名字名字名字名字名字")"),  // 32 GBK bytes, one too many
        SmallMap("", "", "", R"(, "name": "a\u0000b")"),               // a NUL in a text
        SmallMap("", "", "", R"(, "name": "\ud800")"),                 // half a surrogate pair
        SmallMap("", "", "", R"(, "name": "😀")"),                    // no GBK form
        SmallMap("", "", "", R"(, "motor": {"ratedPowerKW": 1})"),     // required motor values missing
        SmallMap("", "", "", R"(, "labels": [{"text": "x", "font": 1}])"),  // an unknown key where none is kept
        SmallMap("", "", "", "") + " {}",                              // more after the map
        SmallMap("", "", "", "") + std::string(1, '\0'),              // a NUL after it
        R"({"format": "jdmap", "version": 2, "layers": [], "objects": []})",
        R"({"format": "jdmap", "layers": [], "objects": []})",
        "[]",
    };
    size_t index = 0;
    for (const std::string& text : texts) {
        const Outcome outcome = LoadBoth(text);
        EXPECT_FALSE(outcome.fast) << "case " << index << " should have been left to the thorough loader";
        ++index;
    }
    // A whole number written with a fraction is the thorough loader's to take, as the plain number.
    MapDocument plain;
    ASSERT_TRUE(ParseMap(SmallMap("", "", "", ""), plain).ok);
    const std::string withFraction = [] {
        std::string text = SmallMap("", "", "", "");
        text.replace(text.find("\"handle\": 12"), 12, "\"handle\": 12.0");
        return text;
    }();
    MapDocument fromFraction;
    ASSERT_TRUE(ParseMap(withFraction, fromFraction).ok);
    EXPECT_TRUE(fromFraction == plain);
}

// Random damage to a valid map: whatever the fast loader takes, the thorough
// loader takes too, as the same document.
TEST(MapLoaders, DamagedMapsNeverLoadDifferently) {
    const std::string original = ReadText(fs::path(JD_SOURCE_DIR) / "examples/small.json");
    std::mt19937 random(20261209);
    const std::string alphabet = "{}[],:\"\\ 0123456789.-eE+tfnu\x01\xE7\x94\xB5";
    size_t takenFast = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
                case 0: text[at] = alphabet[random() % alphabet.size()]; break;
                case 1: text.erase(at, 1 + random() % 4); break;
                default: text.insert(at, 1, alphabet[random() % alphabet.size()]); break;
            }
        }
        if (ExpectAgree(text, "round " + std::to_string(round))) ++takenFast;
        if (HasFailure()) break;
    }
    // Some damage leaves a valid map (a digit for a digit): those must have gone the fast way.
    EXPECT_GT(takenFast, 0u);
}

}  // namespace
}  // namespace host
