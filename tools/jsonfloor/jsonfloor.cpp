// jsonfloor FILE: reads and parses a JSON file as fast as this machine can
// (simdjson's whole-document parser) and counts the entries of its "objects"
// array, so that nothing of the parse can be skipped. scripts/bench uses the
// time it takes as the floor a map loader is measured against.
#include <simdjson.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: jsonfloor FILE\n");
        return 2;
    }
    simdjson::padded_string text;
    if (const auto error = simdjson::padded_string::load(argv[1]).get(text)) {
        std::fprintf(stderr, "jsonfloor: %s: %s\n", argv[1], simdjson::error_message(error));
        return 1;
    }
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (const auto error = parser.parse(text).get(root)) {
        std::fprintf(stderr, "jsonfloor: %s: %s\n", argv[1], simdjson::error_message(error));
        return 1;
    }
    simdjson::dom::array objects;
    if (root["objects"].get(objects)) {
        std::fprintf(stderr, "jsonfloor: %s: no \"objects\" array\n", argv[1]);
        return 1;
    }
    std::printf("%zu\n", objects.size());
    return 0;
}
