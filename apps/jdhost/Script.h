#pragma once
// Session scripts: the text a tester writes to drive the module as a user
// would. This file only turns text into checked lines; running them is
// Session's job. Everything that can be found wrong without running (quotes,
// unknown verbs, argument counts, argument forms) is found here, so that a
// script with a typo is refused before it touches the map.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jdhost {

// Bad script text. The message names the line (and column where it helps);
// line 0 means the file as a whole (unreadable).
class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& message)
        : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + message : message), m_line(line) {}
    int line() const { return m_line; }

private:
    int m_line;
};

// Splits one line into words. Words are separated by blanks; a word in double
// quotes may hold blanks, `\"` stands for a quote and `\\` for a backslash
// inside it. A `#` at the start of the line, or at the start of a word when no
// digit follows it, starts a comment; `#2` and `#5027` are words, and a `#`
// inside a word ("1#变压器") is part of it. Throws ScriptError.
std::vector<std::string> SplitWords(std::string_view line, int lineNumber);

enum class VerbKind {
    Dialog,   // acts on the innermost open dialog
    Message,  // message boxes: queued answers and the last box shown
    Map,      // reads or writes the map document
    Command,  // goes to the command host (the loaded command module)
};

struct VerbInfo {
    const char* name;
    int minArgs;
    int maxArgs;  // -1: no upper limit
    VerbKind kind;
    const char* usage;  // argument synopsis for messages and docs
};

// The verb table, in the order the documentation lists it.
const std::vector<VerbInfo>& Verbs();
const VerbInfo* FindVerb(std::string_view name);

struct ScriptLine {
    int line = 0;             // 1-based line number in the file
    std::string verb;
    std::vector<std::string> args;  // UTF-8, quotes removed
};

struct Script {
    std::string fileName;     // as given, for messages
    std::vector<ScriptLine> lines;
};

// Parses a whole script (UTF-8; a byte-order mark and CR line ends are
// accepted; a NUL byte is refused with its line and column). Checks every verb, its argument count and the form of arguments
// that have a fixed form (numbers, 0|1, yes|no|ok, ...). Throws ScriptError.
Script ParseScript(std::string_view text, const std::string& fileName);

// Reads and parses a file; a file that cannot be read, is no regular file
// (a folder, a pipe, a device) or is over kMaxScriptFileBytes is a
// ScriptError at line 0 whose message says which.
Script LoadScript(const std::string& path);

// "#12" -> 12; nullopt for anything else. Used for object and row references.
std::optional<long long> HashNumber(std::string_view word);
// "#12" -> 12 when it fits a row index (0 to INT32_MAX); nullopt otherwise.
std::optional<int> RowIndex(std::string_view word);
// For a word of the form `#digits` that RowIndex refuses (too large), what is
// wrong with it; "" for any other word (a row text, a valid index).
std::string RowIndexProblem(std::string_view word);
// A colour as scripts write it: decimal 0 … 16777215 or 0x and one to six
// hex digits, in the platform's layout 0x00BBGGRR; nullopt for anything else.
std::optional<long> ParseColour(std::string_view word);
// A decimal integer (optional sign) that fits in 32 bits; nullopt otherwise.
std::optional<int> ParseInt(std::string_view word);

}  // namespace jdhost
