// The session-script parser under hostile input. Bad text is refused with a
// ScriptError naming a line of the text; accepted text holds only known verbs
// with their argument counts and no NUL, and writing it back with every word quoted
// parses to the same lines (quotes, escapes and comment marks agree).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "jdhost/Script.h"

namespace {

std::string Quoted(const std::string& word) {
    std::string out = "\"";
    for (const char c : word) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

int LineCount(std::string_view text) {
    int lines = 1;
    for (const char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    jdhost::Script script;
    try {
        script = jdhost::ParseScript(text, "fuzz.jds");
    } catch (const jdhost::ScriptError& error) {
        jdfuzz::Must(error.line() >= 1 && error.line() <= LineCount(text),
                     "a refusal names line " + std::to_string(error.line()) + " of a text of " +
                         std::to_string(LineCount(text)) + " lines: " + error.what());
        jdfuzz::Must(std::string_view(error.what()).size() > std::to_string(error.line()).size() + 7,
                     "a refusal says nothing beyond its line");
        return 0;
    }

    std::string rewritten;
    int previous = 0;
    for (const jdhost::ScriptLine& line : script.lines) {
        jdfuzz::Must(line.line > previous && line.line <= LineCount(text), "line numbers out of order or range");
        previous = line.line;
        const jdhost::VerbInfo* verb = jdhost::FindVerb(line.verb);
        jdfuzz::Must(verb != nullptr, "an accepted line has the unknown verb \"" + line.verb + "\"");
        // A NUL would cut the text where the module reads it: refused, never accepted.
        jdfuzz::Must(line.verb.find('\0') == std::string::npos, "an accepted verb holds a NUL");
        for (const std::string& arg : line.args) {
            jdfuzz::Must(arg.find('\0') == std::string::npos, "an accepted argument of \"" + line.verb + "\" holds a NUL");
        }
        const int count = static_cast<int>(line.args.size());
        jdfuzz::Must(count >= verb->minArgs && (verb->maxArgs < 0 || count <= verb->maxArgs),
                     "an accepted line of \"" + line.verb + "\" has " + std::to_string(count) + " arguments");
        // One script line per accepted line, at the same line number.
        while (LineCount(rewritten) < line.line) rewritten += "\n";
        rewritten += Quoted(line.verb);
        for (const std::string& arg : line.args) rewritten += " " + Quoted(arg);
    }

    jdhost::Script again;
    try {
        again = jdhost::ParseScript(rewritten, "rewritten.jds");
    } catch (const jdhost::ScriptError& error) {
        jdfuzz::Fail(std::string("the script written back with quoted words is refused: ") + error.what() +
                     "\nwritten back:\n" + rewritten);
    }
    jdfuzz::Must(again.lines.size() == script.lines.size(), "the rewritten script has another number of lines");
    for (size_t i = 0; i < script.lines.size(); ++i) {
        const jdhost::ScriptLine& a = script.lines[i];
        const jdhost::ScriptLine& b = again.lines[i];
        jdfuzz::Must(a.line == b.line && a.verb == b.verb && a.args == b.args,
                     "line " + std::to_string(a.line) + " reads differently when its words are quoted");
    }
    return 0;
}
