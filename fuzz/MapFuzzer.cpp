// The map loader under hostile input, and the promise that goes with it: a
// map that loads can be saved, and what was saved loads back to the same
// document and saves to the same text. A refusal must say why. The fast
// loader never takes a text the thorough one refuses, and builds the same
// document from the texts it takes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "host/MapFile.h"
#include "host/MapFileDetail.h"

namespace {

std::string Excerpt(const std::string& text) {
    return text.size() <= 400 ? text : text.substr(0, 400) + "...";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    host::MapDocument fast;
    const bool tookFast = host::detail::ParseMapFast(text, text.size(), fast);
    host::MapDocument document;
    const host::MapLoadResult loaded = host::detail::ParseMapThorough(text, document);
    if (tookFast) {
        jdfuzz::Must(loaded.ok, "the fast loader took a map the thorough one refuses:\n" + loaded.Describe("map") +
                                    "text:\n" + Excerpt(text));
        jdfuzz::Must(fast == document, "the two loaders built different documents from:\n" + Excerpt(text));
    }
    if (!loaded.ok) {
        jdfuzz::Must(!loaded.problems.empty(), "the map was refused without a reason");
        for (const host::MapFileProblem& problem : loaded.problems) {
            jdfuzz::Must(!problem.message.empty(), "a refusal at \"" + problem.where + "\" has no message");
        }
        return 0;
    }

    // Saved through the real writer (temporary file, rename), as jdhost --save does.
    static const std::string path = jdfuzz::ScratchFolder() + "/map.json";
    std::string error;
    jdfuzz::Must(host::SaveMapFile(path, document, error), "a map that loads does not save: " + error);
    const std::string saved = jdfuzz::ReadWholeFile(path);
    jdfuzz::Must(saved == host::SerializeMap(document), "the saved file differs from the serialised document");

    host::MapDocument again;
    const host::MapLoadResult reloaded = host::ParseMap(saved, again);
    jdfuzz::Must(reloaded.ok, "the saved map does not load:\n" + reloaded.Describe("saved") + "saved text:\n" +
                                  Excerpt(saved));
    jdfuzz::Must(again == document, "the saved map loads as a different document; saved text:\n" + Excerpt(saved));
    jdfuzz::Must(host::SerializeMap(again) == saved, "saving the reloaded map gives another text; first save:\n" +
                                                         Excerpt(saved));
    return 0;
}
