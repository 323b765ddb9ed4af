#include "jdhost/Script.h"

#include <cctype>
#include <charconv>

#include "jdhost/GridVerbs.h"
#include "platform/Gbk.h"
#include "platform/InputFile.h"

namespace jdhost {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Column(size_t index) { return "column " + std::to_string(index + 1); }

}  // namespace

std::vector<std::string> SplitWords(std::string_view line, int lineNumber) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        const char c = line[i];
        if (c == '#') {
            // `#12` names an object or a row; anything else after a `#` that
            // starts a word (or the line) is a comment.
            const bool lineStart = words.empty();
            if (lineStart || i + 1 >= n || !IsDigit(line[i + 1])) break;
        }
        if (c == '"') {
            const size_t open = i;
            std::string word;
            ++i;
            bool closed = false;
            while (i < n) {
                const char q = line[i];
                if (q == '\\' && i + 1 < n && (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    word += line[i + 1];
                    i += 2;
                    continue;
                }
                if (q == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                word += q;
                ++i;
            }
            if (!closed) throw ScriptError(lineNumber, "the quote opened at " + Column(open) + " is not closed");
            if (i < n && !IsBlank(line[i])) {
                throw ScriptError(lineNumber, "a blank must follow the closing quote at " + Column(i - 1));
            }
            words.push_back(std::move(word));
            continue;
        }
        const size_t start = i;
        while (i < n && !IsBlank(line[i])) {
            if (line[i] == '"') {
                throw ScriptError(lineNumber, "a quote inside a word at " + Column(i) +
                                                  " (quote the whole word, and write \\\" for a quote in it)");
            }
            ++i;
        }
        words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

// Adding a verb: a row in this table (name, argument counts, kind, usage);
// its form checks in CheckArguments when an argument has a fixed form; its
// branch in the Session's Execute...Verb of its kind (a command verb that
// needs the module goes through ICommandHost); a line in docs/sessions.md and
// in the every-verb test of ScriptTest. A family of verbs may keep its table
// and runner in a file of its own, as the grid verbs do (GridVerbs.h).
const std::vector<VerbInfo>& Verbs() {
    static const std::vector<VerbInfo> verbs = [] {
    std::vector<VerbInfo> table = {
        // Dialog verbs.
        {"expect-dialog", 1, 1, VerbKind::Dialog, "ID|CAPTION"},
        {"set", 2, 2, VerbKind::Dialog, "ID TEXT"},
        {"type", 2, 2, VerbKind::Dialog, "ID TEXT"},
        {"select", 2, 2, VerbKind::Dialog, "ID TEXT|#N"},
        {"press", 1, 1, VerbKind::Dialog, "ID"},
        {"dblclick", 1, 2, VerbKind::Dialog, "ID [ROW|#N]"},
        {"blur", 1, 1, VerbKind::Dialog, "ID"},
        {"rclick", 2, 2, VerbKind::Dialog, "ID ROW|#N|below"},
        {"menu", 1, 1, VerbKind::Dialog, "CMD|TEXT"},
        {"ok", 0, 0, VerbKind::Dialog, ""},
        {"cancel", 0, 0, VerbKind::Dialog, ""},
        {"expect", 2, 2, VerbKind::Dialog, "ID TEXT"},
        {"expect-enabled", 2, 2, VerbKind::Dialog, "ID 0|1"},
        {"expect-visible", 2, 2, VerbKind::Dialog, "ID 0|1"},
        {"expect-items", 2, 2, VerbKind::Dialog, "ID \"a|b|c\""},
        {"expect-selected", 2, 2, VerbKind::Dialog, "ID TEXT|#N"},
        {"dump", 0, 0, VerbKind::Dialog, ""},
        // Message boxes.
        {"answer", 1, 1, VerbKind::Message, "yes|no|ok|cancel"},
        {"expect-message", 1, 2, VerbKind::Message, "TEXT [info|stop|none|question|warning]"},
        {"expect-no-message", 0, 0, VerbKind::Message, ""},
        // Map verbs.
        {"expect-record", 4, 4, VerbKind::Map, "OBJECT FIELD SUB TEXT"},
        {"expect-name", 2, 2, VerbKind::Map, "OBJECT TEXT"},
        {"expect-label", 3, 3, VerbKind::Map, "OBJECT INDEX TEXT"},
        {"expect-colour", 2, 2, VerbKind::Map, "OBJECT VALUE"},
        {"records", 1, 2, VerbKind::Map, "OBJECT [FIELD]"},
        {"save", 1, 1, VerbKind::Map, "PATH"},
        // Command verbs.
        {"launch", 0, 0, VerbKind::Command, ""},
        {"pick", 1, -1, VerbKind::Command, "NAME|#ID..."},
        {"ctrl", 1, 1, VerbKind::Command, "down|up"},
        {"click", 0, 0, VerbKind::Command, ""},
        {"key", 1, 1, VerbKind::Command, "CODE|esc"},
        {"repaint", 0, 0, VerbKind::Command, ""},
        {"expect-prompt", 1, 1, VerbKind::Command, "TEXT"},
        {"set-feeder-switch", 1, 1, VerbKind::Command, "NAME|#ID"},
        {"set-hv-switch", 1, 1, VerbKind::Command, "OBJECT"},
    };
    // Grid controls have verbs of their own (cells rather than rows).
    const std::vector<VerbInfo>& grid = GridVerbs();
    table.insert(table.end(), grid.begin(), grid.end());
    return table;
    }();
    return verbs;
}

const VerbInfo* FindVerb(std::string_view name) {
    for (const VerbInfo& v : Verbs()) {
        if (name == v.name) return &v;
    }
    return nullptr;
}

std::optional<int> ParseInt(std::string_view word) {
    if (word.empty()) return std::nullopt;
    size_t start = (word[0] == '-' || word[0] == '+') ? 1 : 0;
    if (start == word.size()) return std::nullopt;
    for (size_t i = start; i < word.size(); ++i) {
        if (!IsDigit(word[i])) return std::nullopt;
    }
    long long value = 0;
    const char* first = word.data() + (word[0] == '+' ? 1 : 0);
    const auto [ptr, ec] = std::from_chars(first, word.data() + word.size(), value);
    if (ec != std::errc() || ptr != word.data() + word.size()) return std::nullopt;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<long long> HashNumber(std::string_view word) {
    if (word.size() < 2 || word[0] != '#') return std::nullopt;
    for (size_t i = 1; i < word.size(); ++i) {
        if (!IsDigit(word[i])) return std::nullopt;
    }
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(word.data() + 1, word.data() + word.size(), value);
    if (ec != std::errc()) return std::nullopt;
    return value;
}

std::optional<int> RowIndex(std::string_view word) {
    const auto n = HashNumber(word);
    if (!n || *n > INT32_MAX) return std::nullopt;
    return static_cast<int>(*n);
}

std::string RowIndexProblem(std::string_view word) {
    if (word.size() < 2 || word[0] != '#') return "";
    for (size_t i = 1; i < word.size(); ++i) {
        if (!IsDigit(word[i])) return "";
    }
    if (RowIndex(word)) return "";
    return "the row index " + std::string(word) + " is out of range (0 to " + std::to_string(INT32_MAX) + ")";
}

std::optional<long> ParseColour(std::string_view word) {
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        if (word.size() > 8) return std::nullopt;
        // from_chars would take a sign; a colour has none.
        for (char c : word.substr(2)) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        }
        long value = 0;
        const auto [ptr, ec] = std::from_chars(word.data() + 2, word.data() + word.size(), value, 16);
        if (ec != std::errc() || ptr != word.data() + word.size()) return std::nullopt;
        return value;
    }
    for (char c : word) {
        if (!IsDigit(c)) return std::nullopt;
    }
    const auto value = ParseInt(word);
    if (!value || *value > 0xFFFFFF) return std::nullopt;
    return *value;
}

namespace {

// Control ids are numbers; IDOK and IDCANCEL may be written by name.
bool IsControlId(std::string_view word) { return ParseInt(word) || word == "IDOK" || word == "IDCANCEL"; }

bool OneOf(std::string_view word, std::initializer_list<std::string_view> choices) {
    for (std::string_view c : choices) {
        if (word == c) return true;
    }
    return false;
}

std::string Quoted(const std::string& word) { return "\"" + word + "\""; }

// Checks the arguments whose form is fixed; free texts are checked for GBK only.
void CheckArguments(const ScriptLine& s, const VerbInfo& verb) {
    const auto& a = s.args;
    auto fail = [&](const std::string& what) {
        throw ScriptError(s.line, s.verb + ": " + what + " (usage: " + s.verb +
                                      (verb.usage[0] ? std::string(" ") + verb.usage : std::string()) + ")");
    };
    // Every word must be representable in GBK, the module's encoding.
    for (const std::string& w : a) {
        std::string gbk;
        size_t offset = 0;
        if (!TryUtf8ToGbk(w, gbk, &offset)) {
            fail("the argument " + Quoted(w) + " is not UTF-8 text that GBK can hold (byte " +
                 std::to_string(offset) + ")");
        }
    }
    if (verb.kind == VerbKind::Dialog && !a.empty() && s.verb != "expect-dialog" && s.verb != "menu") {
        if (!IsControlId(a[0])) fail(Quoted(a[0]) + " is not a control id (a number, IDOK or IDCANCEL)");
    }
    const std::string& v = s.verb;
    // Row indexes: `#N` must name a row a list can have, not wrap to another.
    if ((v == "select" || v == "dblclick" || v == "rclick" || v == "expect-selected") && a.size() == 2) {
        if (const std::string problem = RowIndexProblem(a[1]); !problem.empty()) fail(problem);
    }
    if (IsGridVerb(v)) {
        if (const std::string problem = CheckGridVerbArguments(s); !problem.empty()) fail(problem);
    }
    if (v == "expect-enabled" || v == "expect-visible") {
        if (!OneOf(a[1], {"0", "1"})) fail("expected 0 or 1, found " + Quoted(a[1]));
    } else if (v == "answer") {
        if (!OneOf(a[0], {"yes", "no", "ok", "cancel"})) fail("expected yes, no, ok or cancel, found " + Quoted(a[0]));
    } else if (v == "expect-message") {
        if (a.size() == 2 && !OneOf(a[1], {"info", "stop", "none", "question", "warning"})) {
            fail("unknown icon " + Quoted(a[1]));
        }
    } else if (v == "expect-record") {
        if (!ParseInt(a[1])) fail("the field number " + Quoted(a[1]) + " is not a number");
        const auto sub = ParseInt(a[2]);
        if (!sub || *sub < 0) fail("the sub-index " + Quoted(a[2]) + " is not a number from 0");
    } else if (v == "expect-label") {
        const auto index = ParseInt(a[1]);
        if (!index || *index < 0) fail("the label index " + Quoted(a[1]) + " is not a number from 0");
    } else if (v == "expect-colour") {
        if (!ParseColour(a[1])) {
            fail(Quoted(a[1]) + " is not a colour (a number 0 to 16777215, or 0x and up to six hex digits, 0x00BBGGRR)");
        }
    } else if (v == "records") {
        if (a.size() == 2 && !ParseInt(a[1])) fail("the field number " + Quoted(a[1]) + " is not a number");
    } else if (v == "ctrl") {
        if (!OneOf(a[0], {"down", "up"})) fail("expected down or up, found " + Quoted(a[0]));
    } else if (v == "key") {
        if (a[0] != "esc" && !ParseInt(a[0])) fail("expected a key code or esc, found " + Quoted(a[0]));
    } else if (v == "save") {
        if (a[0].empty()) fail("the path is empty");
    }
    if (verb.kind == VerbKind::Map || v == "pick") {
        // Objects: a name, or `#` and an entity id.
        const size_t count = (v == "pick") ? a.size() : 1;
        if (v != "save") {
            for (size_t i = 0; i < count; ++i) {
                if (a[i].empty()) fail("an object name is empty");
            }
        }
    }
}

}  // namespace

Script ParseScript(std::string_view text, const std::string& fileName) {
    Script script;
    script.fileName = fileName;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++lineNumber;
        pos = end + 1;
        // The module's texts end at a NUL, so a word holding one would be cut
        // short where the script says something else.
        if (const size_t nul = line.find('\0'); nul != std::string_view::npos) {
            throw ScriptError(lineNumber, "a NUL byte at " + Column(nul) + " (a script is text; NUL cannot be written)");
        }
        std::vector<std::string> words = SplitWords(line, lineNumber);
        if (words.empty()) {
            if (end == text.size()) break;
            continue;
        }
        ScriptLine s;
        s.line = lineNumber;
        s.verb = std::move(words.front());
        s.args.assign(std::make_move_iterator(words.begin() + 1), std::make_move_iterator(words.end()));
        const VerbInfo* verb = FindVerb(s.verb);
        if (!verb) throw ScriptError(lineNumber, "unknown verb \"" + s.verb + "\"");
        const int count = static_cast<int>(s.args.size());
        if (count < verb->minArgs || (verb->maxArgs >= 0 && count > verb->maxArgs)) {
            std::string expected;
            const int named = verb->maxArgs < 0 ? verb->minArgs : verb->maxArgs;
            if (verb->maxArgs < 0) {
                expected = "at least " + std::to_string(verb->minArgs);
            } else if (verb->minArgs == verb->maxArgs) {
                expected = std::to_string(verb->minArgs);
            } else {
                expected = std::to_string(verb->minArgs) + " to " + std::to_string(verb->maxArgs);
            }
            throw ScriptError(lineNumber, s.verb + " takes " + expected + " argument" +
                                              (named == 1 ? "" : "s") + ", found " + std::to_string(count) +
                                              " (usage: " + s.verb +
                                              (verb->usage[0] ? std::string(" ") + verb->usage : std::string()) +
                                              ")");
        }
        CheckArguments(s, *verb);
        script.lines.push_back(std::move(s));
        if (end == text.size()) break;
    }
    return script;
}

Script LoadScript(const std::string& path) {
    std::string text, error;
    if (!ReadInputFile(path, kMaxScriptFileBytes, text, error)) throw ScriptError(0, error);
    return ParseScript(text, path);
}

}  // namespace jdhost
