#pragma once
// Parts of the map file reader shared by its two loaders; not for callers
// outside src/host and its tests.
//
// A map is read first by the fast loader, which builds the document straight
// from the text and gives up at the first thing it does not expect (anything
// the thorough loader would report, and a few rare spellings it leaves to
// it). The thorough loader then reads the text again and reports every
// problem with its place. Both build the same document from a map they both
// accept; tests and the fuzzer compare them.
#include <cstddef>
#include <string>
#include <string_view>

#include "host/MapDocument.h"
#include "host/MapFile.h"

namespace host::detail {

// The fast loader. True when it read the whole map; document is then the
// loaded map (index built, not modified). False leaves document unchanged.
// capacity: bytes readable from text.data() (at least text.size()); when it
// leaves room for the parser's padding, the text is read in place.
// releaseText: the pages of text already read may be given back to the
// system as the loader goes (the text then reads as zeros in places; a caller
// that gets false reads the file again).
bool ParseMapFast(std::string_view text, size_t capacity, MapDocument& document, bool releaseText = false);

// The thorough loader alone, with every problem reported.
MapLoadResult ParseMapThorough(std::string_view text, MapDocument& document);

// Bytes of readable room past the text that ParseMapFast wants to read in place.
size_t FastParsePadding();

// ---- Helpers both loaders use -----------------------------------------------

// UTF-8 to GBK as map texts are stored; false when the text has no GBK form.
bool TextToGbk(std::string_view utf8, std::string& gbk);

// The spelling of an object key as the writer prints it, quotes included.
std::string QuoteKey(std::string_view key);

// Appends a JSON value's text without the white space between its tokens.
void AppendCompact(std::string_view json, std::string& out);

// True when the text of kept unknown keys ("{...}") is JSON the loader
// accepts when nested at that depth (1 for the top level, 2 for the project,
// 3 for a layer, symbol or object).
bool KeptTextLoads(std::string_view kept, size_t depth);

}  // namespace host::detail
