#pragma once
// Reading and writing map files: UTF-8 JSON on disk, GBK in memory.
// Loading reports bad input with the file, the place in it and what is wrong;
// saving is atomic and loses nothing the file carried, including records and
// keys of other modules.
#include <string>
#include <vector>

#include "host/MapDocument.h"

namespace host {

struct MapFileProblem {
    std::string where;    // JSON pointer such as /objects/3/fields/151, or "line 12, column 5"
    std::string message;  // what is wrong, in plain words
};

struct MapLoadResult {
    bool ok = false;
    std::vector<MapFileProblem> problems;  // every problem found, not only the first
    // One line per problem: "FILE: WHERE: MESSAGE".
    std::string Describe(const std::string& fileName) const;
};

// Parses a map from UTF-8 JSON text. On failure `document` is left unchanged.
MapLoadResult ParseMap(const std::string& jsonText, MapDocument& document);
// Reads and parses a file; a file that cannot be read, is not a regular file or
// is over kMaxMapFileBytes is reported as a problem.
MapLoadResult LoadMapFile(const std::string& path, MapDocument& document);

// Serialises a document as UTF-8 JSON (two-space indent, stable key order).
std::string SerializeMap(const MapDocument& document);
// Writes atomically: a temporary file in the same folder, flushed, then renamed
// over the target. A symbolic link is followed to the file it names; a target
// that is not a regular file or that the user may not write is refused, and so
// is a document its own loader would refuse. Temporaries that killed saves of
// the same file left behind are removed. Returns false with a message in
// `error` on failure; the old file is then untouched.
bool SaveMapFile(const std::string& path, const MapDocument& document, std::string& error);

}  // namespace host
