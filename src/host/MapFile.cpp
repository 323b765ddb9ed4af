#include "host/MapFile.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/MapFileDetail.h"
#include "platform/Gbk.h"
#include "platform/InputFile.h"

namespace host {

namespace {

// Insertion-ordered objects, so that keys this system does not know come back
// in the order the file had them.
using Json = nlohmann::ordered_json;

constexpr const char* kFormatName = "jdmap";
constexpr long long kFormatVersion = 1;
// The format itself nests six levels; the rest is room for other modules' keys.
constexpr size_t kMaxDepth = 64;
// A sub-index key of the object form of a record allocates every value below
// it, so the object form stops here. (The array form is bounded by the file.)
constexpr long long kMaxSubIndexKey = 65535;
constexpr long long kMaxColour = 0xFFFFFF;
constexpr long long kLongMax = std::numeric_limits<LONG>::max();
constexpr long long kLongMin = std::numeric_limits<LONG>::min();
constexpr long long kDwordMax = std::numeric_limits<DWORD>::max();
// Up to this many invalid UTF-8 sequences are listed before the reader gives up.
constexpr size_t kMaxEncodingReports = 20;
constexpr size_t npos = std::string::npos;

using Problems = std::vector<MapFileProblem>;

// ---- Places in the text -----------------------------------------------------

bool HasBom(std::string_view text) { return text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF"; }

// Length of the well-formed UTF-8 sequence at i, or 0 when the bytes there
// are not one (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = byte(i);
    const auto inRange = [&](size_t k, unsigned lo, unsigned hi) { return k < text.size() && byte(k) >= lo && byte(k) <= hi; };
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return inRange(i + 1, 0x80, 0xBF) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned lo = c == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = c == 0xED ? 0x9F : 0xBF;
        return inRange(i + 1, lo, hi) && inRange(i + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned lo = c == 0xF0 ? 0x90 : 0x80;
        const unsigned hi = c == 0xF4 ? 0x8F : 0xBF;
        return inRange(i + 1, lo, hi) && inRange(i + 2, 0x80, 0xBF) && inRange(i + 3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// "line L, column C" of a byte offset. Columns count characters, as editors
// do (each stray byte of invalid UTF-8 counts as one), and a byte-order mark
// is not one of them.
std::string LineColumn(std::string_view text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t line = 1;
    size_t column = 1;
    for (size_t i = HasBom(text) ? 3 : 0; i < offset;) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
        i += std::max<size_t>(1, Utf8SequenceLength(text, i));
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool IsValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string HexByte(unsigned char byte) {
    static const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0xF];
}

// Adds a problem for each run of bytes that is not UTF-8; true when there was
// none. A run that reads as GBK says so: the usual cause is a file saved in
// the code page the program uses in memory.
bool CheckUtf8(std::string_view text, Problems& problems) {
    size_t reported = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceLength(text, i);
        if (length != 0) {
            i += length;
            continue;
        }
        if (reported == kMaxEncodingReports) {
            problems.push_back({LineColumn(text, i), "more invalid UTF-8 follows; only the first " +
                                                         std::to_string(kMaxEncodingReports) + " places are listed"});
            return false;
        }
        size_t end = i;
        while (end < text.size() && Utf8SequenceLength(text, end) == 0) ++end;
        std::string message = "invalid UTF-8: byte";
        if (end - i > 1) message += "s";
        for (size_t k = i; k < end && k < i + 8; ++k) message += " " + HexByte(static_cast<unsigned char>(text[k]));
        if (end - i > 8) message += " ...";
        std::string asGbk;
        if (TryGbkToUtf8(text.substr(i, end - i), asGbk)) {
            message += " (as GBK these read \"" + asGbk + "\"; a map file is UTF-8 text)";
        } else {
            message += " (a map file is UTF-8 text)";
        }
        problems.push_back({LineColumn(text, i), message});
        ++reported;
        i = end;
    }
    return reported == 0;
}

// Offset of the first bracket nested deeper than the limit, outside texts.
// Checked before parsing so that no stage has to handle unbounded nesting.
size_t FindTooDeep(std::string_view text, size_t limit) {
    size_t depth = 0;
    bool inText = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inText) {
            if (c == '\\') ++i;
            else if (c == '"') inText = false;
        } else if (c == '"') {
            inText = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return i;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return npos;
}

// The parser takes a NUL byte for the end of the input, so a map followed by
// a NUL and garbage would pass and a NUL inside the text would read as the
// text cut short. A NUL is never part of JSON text: say where it is and
// whether the map had already ended there.
bool CheckNul(std::string_view text, size_t skip, Problems& problems) {
    const size_t nul = text.find('\0', skip);
    if (nul == npos) return true;
    // Depth 0 with a value seen means the map's closing bracket came before it.
    size_t depth = 0;
    bool inText = false;
    bool valueSeen = false;
    size_t end = skip;
    for (size_t i = skip; i < nul; ++i) {
        const char c = text[i];
        if (inText) {
            if (c == '\\') ++i;
            else if (c == '"') inText = false;
            if (!inText && depth == 0) end = i + 1;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (c == '"') {
            inText = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
        valueSeen = true;
        if (depth == 0 && !inText) end = i + 1;
    }
    const std::string offset = "byte offset " + std::to_string(nul);
    if (valueSeen && depth == 0 && !inText) {
        const size_t rest = text.size() - nul;
        problems.push_back({LineColumn(text, nul),
                            "a NUL byte at " + offset + " follows the end of the map (which ends at byte offset " +
                                std::to_string(end) + "); " + std::to_string(rest) + " byte" + (rest == 1 ? "" : "s") +
                                " of data that is not part of the map follow from there"});
    } else {
        problems.push_back({LineColumn(text, nul), "a NUL byte at " + offset +
                                                       " inside the map; JSON text cannot hold one (a text writes it as \\u0000)"});
    }
    return false;
}

// The parser stops at the last byte of the token it could not use; a reader
// looks for the token's first character.
size_t TokenStart(std::string_view text, size_t offset) {
    if (offset >= text.size()) return offset;
    const auto isNumberChar = [](char c) { return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'; };
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    const char last = text[offset];
    if (last == '"') {
        for (size_t i = offset; i-- > 0;) {
            if (text[i] == '\n') break;
            if (text[i] != '"') continue;
            size_t backslashes = 0;
            while (backslashes < i && text[i - 1 - backslashes] == '\\') ++backslashes;
            if (backslashes % 2 == 0) return i;
        }
        return offset;
    }
    size_t start = offset;
    if (isNumberChar(last)) {
        while (start > 0 && isNumberChar(text[start - 1])) --start;
    } else if (isLetter(last)) {
        while (start > 0 && isLetter(text[start - 1])) --start;
    }
    return start;
}

// ---- Parsing into a tree ----------------------------------------------------

std::string PointerToken(std::string_view key) {
    std::string token;
    for (const char c : key) {
        if (c == '~') token += "~0";
        else if (c == '/') token += "~1";
        else token += c;
    }
    return token;
}

std::string Child(const std::string& where, std::string_view key) { return where + "/" + PointerToken(key); }
std::string Child(const std::string& where, size_t index) { return where + "/" + std::to_string(index); }

// The library's messages start with its own tag and position; the position is
// reported separately, as a line and column.
std::string ParserMessage(const std::string& what) {
    std::string message = what;
    if (message.rfind("[json.exception.", 0) == 0) {
        const size_t close = message.find("] ");
        if (close != npos) message = message.substr(close + 2);
    }
    if (message.rfind("parse error", 0) == 0) {
        const size_t colon = message.find(": ");
        if (colon != npos) message = message.substr(colon + 2);
    }
    return message;
}

// Keys each part of the file defines. Other keys of these parts belong to
// other programs or later versions and are kept as their text.
const std::set<std::string, std::less<>> kRootKeys = {"format", "version", "project", "currentColour",
                                                      "view",   "layers",  "symbols", "objects"};
const std::set<std::string, std::less<>> kProjectKeys = {"name", "lowVoltage", "highVoltage"};
const std::set<std::string, std::less<>> kLayerKeys = {"id", "name", "colour"};
const std::set<std::string, std::less<>> kSymbolKeys = {"id", "name", "extent"};
const std::set<std::string, std::less<>> kObjectKeys = {
    "id",     "handle", "type",      "kind",    "name",   "layer", "colour",   "flags",
    "locked", "line",   "insertion", "outline", "symbol", "size",  "rotation", "from",
    "to",     "lineProperty", "labels", "fields", "motor", "notes"};

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Follows the parser through text it has already accepted, so that each
// event can be given the bytes of its token.
class TokenCursor {
public:
    explicit TokenCursor(std::string_view text) : m_text(text) {}

    // The next token; separators (',' and ':') and white space before it are passed over.
    std::string_view Next() {
        while (m_pos < m_text.size() && (IsJsonSpace(m_text[m_pos]) || m_text[m_pos] == ',' || m_text[m_pos] == ':')) ++m_pos;
        const size_t start = m_pos;
        if (m_pos >= m_text.size()) return {};
        const char c = m_text[m_pos];
        if (c == '"') {
            for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '"'; ++m_pos) {
                if (m_text[m_pos] == '\\') ++m_pos;
            }
            ++m_pos;
        } else if (c == '{' || c == '}' || c == '[' || c == ']') {
            ++m_pos;
        } else {
            while (m_pos < m_text.size() && !IsJsonSpace(m_text[m_pos]) && std::strchr(",:]}", m_text[m_pos]) == nullptr) ++m_pos;
        }
        m_pos = std::min(m_pos, m_text.size());
        return m_text.substr(start, m_pos - start);
    }
    size_t position() const { return m_pos; }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// The text of a value without the white space between its tokens.
void AppendCompact(std::string_view json, std::string& out) {
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (IsJsonSpace(c)) continue;
        out += c;
        if (c != '"') continue;
        for (++i; i < json.size(); ++i) {
            out += json[i];
            if (json[i] == '\\' && i + 1 < json.size()) {
                out += json[++i];
            } else if (json[i] == '"') {
                break;
            }
        }
    }
}

// Receives each item of the lists of layers, symbols and objects as soon as it
// is complete, so that no tree of the whole file is ever built: only the item
// at hand and the few small parts of the top level.
class ListItemSink {
public:
    enum List { Layers, Symbols, Objects };
    virtual void Item(List list, size_t index, const Json& item) = 0;

protected:
    ~ListItemSink() = default;
};

// nlohmann's own spelling of a text, as the writer prints every text.
std::string QuoteJson(const std::string& text) { return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace); }

// Builds the tree of the parts this system reads, notes keys that occur twice
// in one object (which the library would otherwise settle silently by keeping
// the last), and keeps the values of unknown keys as their text: a number
// such as 123456789012345678901 or 1E2 comes back as written, not as the
// nearest double.
class TreeBuilder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    // Unknown keys by the JSON pointer of the object that holds them, as the
    // text of a JSON object.
    using KeptTexts = std::unordered_map<std::string, std::string>;

    TreeBuilder(std::string_view text, Problems& problems) : m_text(text), m_cursor(text), m_problems(problems) {}

    bool null() { return Scalar(nullptr); }
    bool boolean(bool value) { return Scalar(value); }
    bool number_integer(number_integer_t value) { return Scalar(value); }
    bool number_unsigned(number_unsigned_t value) { return Scalar(value); }
    bool number_float(number_float_t value, const string_t&) { return Scalar(value); }
    bool string(string_t& value) { return Scalar(std::move(value)); }
    bool binary(binary_t&) { return false; }  // text JSON has none

    bool start_object(std::size_t) { return Open(false); }
    bool start_array(std::size_t) { return Open(true); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }

    bool key(string_t& name) {
        m_cursor.Next();
        Frame& frame = m_frames.back();
        const bool known = frame.node && (!frame.known || frame.known->count(name) != 0);
        const bool twice = known ? frame.node->contains(name)
                                 : std::find(frame.keys.begin(), frame.keys.end(), name) != frame.keys.end();
        if (twice) m_problems.push_back({Child(frame.path, name), "the key \"" + name + "\" occurs twice in one object"});
        if (!known) frame.keys.push_back(name);
        if (frame.node && !known) {
            // The value is kept as text; nothing of it enters the tree.
            m_keptOwner = m_frames.size() - 1;
            m_keptStart = npos;
        }
        m_key = std::move(name);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) {
        // The parser counts the bytes it has read, the offending one included.
        m_errorPosition = position > 0 ? position - 1 : 0;
        m_errorMessage = ParserMessage(error.what());
        return false;
    }

    // Items of the top level's lists go to the sink as they complete.
    void SetSink(ListItemSink* sink) { m_sink = sink; }

    Json& root() { return m_root; }
    KeptTexts& kept() { return m_kept; }
    bool failed() const { return !m_errorMessage.empty(); }
    std::size_t errorPosition() const { return m_errorPosition; }
    const std::string& errorMessage() const { return m_errorMessage; }

private:
    using KeySet = std::set<std::string, std::less<>>;
    struct Frame {
        Json* node = nullptr;          // null inside a kept value
        std::string path;
        const KeySet* known = nullptr;  // set where unknown keys are kept
        bool isArray = false;
        size_t count = 0;               // values so far, for the pointers of array items
        std::vector<std::string> keys;  // keys not in the tree, for the check of keys that occur twice
        std::string kept;               // the kept unknown members, "key":value,...
        int list = -1;                  // a ListItemSink::List whose items are handed out
    };

    bool Keeping() const { return m_keptOwner != npos; }

    // The pointer of the value about to start, and the known keys of the
    // object it would be when it is one.
    std::string NewPath() const {
        if (m_frames.empty()) return {};
        const Frame& parent = m_frames.back();
        return parent.isArray ? Child(parent.path, parent.count) : Child(parent.path, m_key);
    }
    const KeySet* KnownKeys(bool isArray) const {
        if (isArray) return nullptr;
        if (m_frames.empty()) return &kRootKeys;
        const Frame& parent = m_frames.back();
        if (parent.path.empty() && !parent.isArray && m_key == "project") return &kProjectKeys;
        if (parent.isArray && m_frames.size() == 2 && m_frames[0].known == &kRootKeys) {
            if (parent.path == "/layers") return &kLayerKeys;
            if (parent.path == "/symbols") return &kSymbolKeys;
            if (parent.path == "/objects") return &kObjectKeys;
        }
        return nullptr;
    }

    // Notes where a kept value starts, at its first token.
    void MarkKeptStart(std::string_view token) {
        if (Keeping() && m_keptStart == npos) m_keptStart = static_cast<size_t>(token.data() - m_text.data());
    }
    // Ends a kept value when the frame that holds it is on top again.
    void FinishKept() {
        if (!Keeping() || m_frames.size() != m_keptOwner + 1) return;
        Frame& owner = m_frames[m_keptOwner];
        if (!owner.kept.empty()) owner.kept += ',';
        owner.kept += QuoteJson(owner.keys.back());
        owner.kept += ':';
        AppendCompact(m_text.substr(m_keptStart, m_cursor.position() - m_keptStart), owner.kept);
        m_keptOwner = npos;
    }

    template <typename Value>
    bool Scalar(Value&& value) {
        MarkKeptStart(m_cursor.Next());
        if (Keeping()) {
            if (!m_frames.empty()) ++m_frames.back().count;
            FinishKept();
            return true;
        }
        Put(Json(std::forward<Value>(value)));
        Deliver();
        return true;
    }

    // Hands a completed item of a top-level list to the sink and lets it go.
    void Deliver() {
        if (m_frames.empty() || m_frames.back().list < 0) return;
        const Frame& list = m_frames.back();
        m_sink->Item(static_cast<ListItemSink::List>(list.list), list.count - 1, m_item);
        m_item = Json();
    }

    // Stores a value in the open container of the tree.
    Json* Put(Json value) {
        if (m_frames.empty()) {
            m_root = std::move(value);
            return &m_root;
        }
        Frame& parent = m_frames.back();
        ++parent.count;
        if (parent.list >= 0) {
            m_item = std::move(value);
            return &m_item;
        }
        Json& node = *parent.node;
        if (node.is_array()) {
            node.push_back(std::move(value));
            return &node.back();
        }
        Json& slot = node[m_key];
        slot = std::move(value);
        return &slot;
    }
    bool Open(bool isArray) {
        MarkKeptStart(m_cursor.Next());
        Frame frame;
        frame.path = NewPath();
        frame.isArray = isArray;
        if (Keeping()) {
            ++m_frames.back().count;
        } else {
            frame.known = KnownKeys(isArray);
            if (isArray && m_sink && m_frames.size() == 1 && m_frames[0].known == &kRootKeys) {
                if (m_key == "layers") frame.list = ListItemSink::Layers;
                if (m_key == "symbols") frame.list = ListItemSink::Symbols;
                if (m_key == "objects") frame.list = ListItemSink::Objects;
            }
            frame.node = Put(isArray ? Json::array() : Json::object());
        }
        m_frames.push_back(std::move(frame));
        return true;
    }
    bool Close() {
        m_cursor.Next();
        Frame& frame = m_frames.back();
        if (!frame.kept.empty()) m_kept[frame.path] = "{" + frame.kept + "}";
        m_frames.pop_back();
        if (Keeping()) {
            FinishKept();
        } else {
            Deliver();
        }
        return true;
    }

    std::string_view m_text;
    TokenCursor m_cursor;
    Problems& m_problems;
    Json m_root;
    // Open containers. A container only gains siblings after it is closed, so
    // the tree pointers stay valid while they are on the stack.
    std::vector<Frame> m_frames;
    std::string m_key;
    size_t m_keptOwner = npos;  // frame whose unknown key's value is being passed over
    size_t m_keptStart = npos;  // offset of that value's first token
    KeptTexts m_kept;
    ListItemSink* m_sink = nullptr;
    Json m_item;  // the list item being built
    std::size_t m_errorPosition = 0;
    std::string m_errorMessage;
};

// ---- Reading the tree into a document ---------------------------------------

std::string Found(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return value.get<bool>() ? "true" : "false";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: return "the number " + value.dump();
        case Json::value_t::string: return "a text";
        case Json::value_t::array: return "an array";
        case Json::value_t::object: return "an object";
        default: return "a value of another kind";
    }
}

// Texts are stored in memory exactly as the kernel stores them, in GBK.
bool ConvertToGbk(std::string_view utf8, std::string& gbk, std::string& failure) {
    if (IsAscii(utf8)) {  // ASCII is the same in both; most record values are numbers
        gbk.assign(utf8);
        return true;
    }
    size_t offset = 0;
    if (TryUtf8ToGbk(utf8, gbk, &offset)) return true;
    offset = std::min(offset, utf8.size());
    const size_t length = std::max<size_t>(1, Utf8SequenceLength(utf8, offset));
    const std::string character(utf8.substr(offset, length));
    unsigned long codePoint = 0;
    const unsigned char lead = static_cast<unsigned char>(character[0]);
    const unsigned leadBits = length == 1 ? 0x7F : length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07;
    codePoint = lead & leadBits;
    for (size_t k = 1; k < character.size(); ++k) codePoint = (codePoint << 6) | (static_cast<unsigned char>(character[k]) & 0x3F);
    char hex[16];
    std::snprintf(hex, sizeof hex, "U+%04lX", codePoint);
    size_t characterNumber = 1;
    for (size_t i = 0; i < offset; ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++characterNumber;
    }
    failure = "the text cannot be stored in GBK: the character " + std::string(hex) + " '" + character +
              "' (character " + std::to_string(characterNumber) + " of the text) has no GBK form";
    return false;
}

struct ObjectSource {
    std::string where;
    bool idValid = false;
    bool handleValid = false;
    bool layerValid = false;
    bool symbolValid = false;
};

class MapReader final : public ListItemSink {
public:
    MapReader(Problems& problems, TreeBuilder::KeptTexts& kept, MapDocument& document)
        : m_problems(problems), m_kept(kept), m_document(document) {}

    // Problems of list items are held apart until Read, so that they are
    // reported in the order of the top level's keys as before.
    void Item(List list, size_t index, const Json& item) override {
        m_target = &m_listProblems[list];
        switch (list) {
            case Layers: ReadLayer(item, index, m_document.layers()); break;
            case Symbols: ReadSymbol(item, index, m_document.symbols()); break;
            case Objects: ReadObject(item, index, m_objects, m_sources); break;
        }
        m_target = &m_problems;
    }

    // The top level, once the whole text is parsed; the lists' items were read as they came.
    void Read(const Json& root) {
        MapDocument& document = m_document;
        if (!root.is_object()) {
            Problem("", "a map file holds a JSON object, found " + Found(root));
            return;
        }
        const std::string where;
        if (const Json* format = Require(root, where, "format")) {
            std::string text;
            if (ExpectText(*format, Child(where, "format"), text) && text != kFormatName) {
                Problem(Child(where, "format"),
                        "format is \"" + text + "\"; a map file says \"" + std::string(kFormatName) + "\"");
            }
        }
        if (const Json* version = Require(root, where, "version")) {
            long long value = 0;
            if (Integer(*version, Child(where, "version"), 0, kLongMax, value) && value != kFormatVersion) {
                Problem(Child(where, "version"),
                        value > kFormatVersion
                            ? "version " + std::to_string(value) + " is newer than this program reads (" +
                                  std::to_string(kFormatVersion) + ")"
                            : "version " + std::to_string(value) + " is not a map file version (this program reads " +
                                  std::to_string(kFormatVersion) + ")");
            }
        }
        if (const Json* project = Optional(root, "project")) ReadProject(*project, Child(where, "project"), document.project());
        if (const Json* colour = Optional(root, "currentColour")) {
            long long value = 0;
            if (Integer(*colour, "/currentColour", -1, kMaxColour, value)) document.setCurrentColour(static_cast<LONG>(value));
        }
        if (const Json* view = Optional(root, "view")) ReadView(*view, "/view", document.view());
        if (const Json* layers = Require(root, where, "layers")) m_layersKnown = ExpectArray(*layers, "/layers");
        TakeListProblems(Layers);
        if (const Json* symbols = Optional(root, "symbols")) m_symbolsKnown = ExpectArray(*symbols, "/symbols");
        TakeListProblems(Symbols);
        if (const Json* list = Require(root, where, "objects")) ExpectArray(*list, "/objects");
        TakeListProblems(Objects);
        document.extraJson() = Kept(where);
        CheckReferences(document, m_objects, m_sources);
        if (m_problems.empty()) {
            // The checks above are those AddObject makes: ids and handles from 1, each once.
            document.objects() = std::move(m_objects);
            document.Reindex();
        }
    }

private:
    void Problem(const std::string& where, std::string message) { m_target->push_back({where, std::move(message)}); }
    void TakeListProblems(List list) {
        Problems& held = m_listProblems[list];
        m_problems.insert(m_problems.end(), std::make_move_iterator(held.begin()), std::make_move_iterator(held.end()));
        held.clear();
    }

    static const Json* Optional(const Json& object, const char* key) {
        const auto it = object.find(key);
        return it == object.end() ? nullptr : &*it;
    }
    const Json* Require(const Json& object, const std::string& where, const char* key) {
        const Json* value = Optional(object, key);
        if (!value) Problem(where, std::string("missing required key \"") + key + "\"");
        return value;
    }
    bool ExpectObject(const Json& value, const std::string& where) {
        if (value.is_object()) return true;
        Problem(where, "expected an object, found " + Found(value));
        return false;
    }
    bool ExpectArray(const Json& value, const std::string& where) {
        if (value.is_array()) return true;
        Problem(where, "expected an array, found " + Found(value));
        return false;
    }

    // The unknown keys of the object at that place, as the tree builder kept them.
    std::string Kept(const std::string& where) {
        const auto it = m_kept.find(where);
        if (it == m_kept.end()) return {};
        std::string text = std::move(it->second);
        m_kept.erase(it);
        return text;
    }
    // Where unknown keys have nowhere to be kept, they are reported rather than lost.
    void RejectUnknown(const Json& object, const std::string& where, const std::set<std::string>& known) {
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (!known.count(it.key())) Problem(Child(where, it.key()), "unknown key \"" + it.key() + "\" here");
        }
    }

    bool Integer(const Json& value, const std::string& where, long long min, long long max, long long& out) {
        if (value.is_number_integer() && !value.is_number_unsigned()) {
            out = value.get<long long>();
        } else if (value.is_number_unsigned()) {
            const unsigned long long u = value.get<unsigned long long>();
            if (u > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
                Problem(where, value.dump() + " is outside " + std::to_string(min) + ".." + std::to_string(max));
                return false;
            }
            out = static_cast<long long>(u);
        } else if (value.is_number_float()) {
            const double d = value.get<double>();
            if (std::floor(d) != d) {
                Problem(where, "expected a whole number, found " + value.dump());
                return false;
            }
            if (d < static_cast<double>(min) || d > static_cast<double>(max)) {
                Problem(where, value.dump() + " is outside " + std::to_string(min) + ".." + std::to_string(max));
                return false;
            }
            out = static_cast<long long>(d);
        } else {
            Problem(where, "expected an integer, found " + Found(value));
            return false;
        }
        if (out < min || out > max) {
            Problem(where, std::to_string(out) + " is outside " + std::to_string(min) + ".." + std::to_string(max));
            return false;
        }
        return true;
    }
    bool Long(const Json& value, const std::string& where, LONG& out, long long min = kLongMin, long long max = kLongMax) {
        long long wide = 0;
        if (!Integer(value, where, min, max, wide)) return false;
        out = static_cast<LONG>(wide);
        return true;
    }
    bool Number(const Json& value, const std::string& where, double& out) {
        if (!value.is_number()) {
            Problem(where, "expected a number, found " + Found(value));
            return false;
        }
        out = value.get<double>();
        return true;  // the parser refuses numbers beyond the range of a double
    }
    bool Boolean(const Json& value, const std::string& where, bool& out) {
        if (!value.is_boolean()) {
            Problem(where, "expected true or false, found " + Found(value));
            return false;
        }
        out = value.get<bool>();
        return true;
    }
    bool ExpectText(const Json& value, const std::string& where, std::string& out) {
        if (!value.is_string()) {
            Problem(where, "expected a text, found " + Found(value));
            return false;
        }
        out = value.get<std::string>();
        return true;
    }
    // A text as the map holds it: GBK, without NUL (the kernel's texts are
    // zero-terminated), and within maxBytes when that is not 0.
    bool Text(const Json& value, const std::string& where, CString& out, size_t maxBytes = 0, const char* what = "text") {
        std::string utf8;
        if (!ExpectText(value, where, utf8)) return false;
        if (utf8.find('\0') != npos) {
            Problem(where, std::string("the ") + what + " contains the character U+0000, which map texts cannot hold");
            return false;
        }
        std::string gbk;
        std::string failure;
        if (!ConvertToGbk(utf8, gbk, failure)) {
            Problem(where, failure);
            return false;
        }
        if (maxBytes != 0 && gbk.size() > maxBytes) {
            Problem(where, std::string("the ") + what + " \"" + utf8 + "\" is " + std::to_string(gbk.size()) +
                               " GBK bytes long; at most " + std::to_string(maxBytes) + " fit");
            return false;
        }
        out = CString(std::move(gbk));
        return true;
    }
    // [x, y] or [x, y, z].
    bool Point(const Json& value, const std::string& where, Point3& out) {
        if (!value.is_array() || value.size() < 2 || value.size() > 3) {
            Problem(where, "expected a point [x, y, z], found " +
                               (value.is_array() ? "an array of " + std::to_string(value.size()) + " values" : Found(value)));
            return false;
        }
        bool ok = Number(value[0], Child(where, 0), out.x);
        ok = Number(value[1], Child(where, 1), out.y) && ok;
        out.z = 0.0;
        if (value.size() == 3) ok = Number(value[2], Child(where, 2), out.z) && ok;
        return ok;
    }
    bool Numbers(const Json& value, const std::string& where, size_t count, const char* shape, double* out) {
        if (!value.is_array() || value.size() != count) {
            Problem(where, std::string("expected ") + shape + ", found " +
                               (value.is_array() ? "an array of " + std::to_string(value.size()) + " values" : Found(value)));
            return false;
        }
        bool ok = true;
        for (size_t i = 0; i < count; ++i) ok = Number(value[i], Child(where, i), out[i]) && ok;
        return ok;
    }

    // A record or sub-index number written as an object key: digits only,
    // without a leading zero, so that each number has one spelling.
    bool IndexKey(const std::string& key, const std::string& where, const char* what, long long max, LONG& out) {
        const bool digits = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits) {
            Problem(where, std::string(what) + " \"" + key + "\" is not a non-negative integer");
            return false;
        }
        if (key.size() > 1 && key[0] == '0') {
            Problem(where, std::string(what) + " \"" + key + "\" has a leading zero; write it without");
            return false;
        }
        if (key.size() > 10 || std::stoll(key) > max) {
            Problem(where, std::string(what) + " " + key + " is larger than " + std::to_string(max));
            return false;
        }
        out = static_cast<LONG>(std::stoll(key));
        return true;
    }

    void ReadProject(const Json& value, const std::string& where, ProjectSettings& project) {
        if (!ExpectObject(value, where)) return;
        if (const Json* name = Optional(value, "name")) Text(*name, Child(where, "name"), project.name);
        if (const Json* low = Optional(value, "lowVoltage")) Long(*low, Child(where, "lowVoltage"), project.lowVoltage, 0);
        if (const Json* high = Optional(value, "highVoltage")) Long(*high, Child(where, "highVoltage"), project.highVoltage, 0);
        project.extraJson = Kept(where);
    }

    void ReadView(const Json& value, const std::string& where, MapView& view) {
        if (!ExpectObject(value, where)) return;
        RejectUnknown(value, where, {"originX", "originY", "scale"});
        if (const Json* x = Optional(value, "originX")) Number(*x, Child(where, "originX"), view.originX);
        if (const Json* y = Optional(value, "originY")) Number(*y, Child(where, "originY"), view.originY);
        if (const Json* scale = Optional(value, "scale")) {
            if (Number(*scale, Child(where, "scale"), view.scale) && !(view.scale > 0.0)) {
                Problem(Child(where, "scale"), "the scale must be greater than 0, found " + scale->dump());
            }
        }
    }

    // False when the list itself is unusable, so that references to it are not checked.
    void ReadLayer(const Json& item, size_t i, std::vector<Layer>& layers) {
        const std::string where = "/layers";
        std::unordered_map<LONG, size_t>& seen = m_layerIds;
        const std::string at = Child(where, i);
        if (!ExpectObject(item, at)) return;
        Layer layer;
        const Json* id = Require(item, at, "id");
        const bool idOk = id && Long(*id, Child(at, "id"), layer.id, 0);
        if (const Json* name = Require(item, at, "name")) Text(*name, Child(at, "name"), layer.name);
        if (const Json* colour = Require(item, at, "colour")) Long(*colour, Child(at, "colour"), layer.colour, 0, kMaxColour);
        layer.extraJson = Kept(at);
        if (idOk) {
            const auto [it, added] = seen.emplace(layer.id, i);
            if (!added) {
                Problem(Child(at, "id"), "layer id " + std::to_string(layer.id) + " is already used by " +
                                             Child(where, it->second));
            }
        }
        layers.push_back(std::move(layer));
    }

    void ReadSymbol(const Json& item, size_t i, std::vector<SymbolDefinition>& symbols) {
        const std::string where = "/symbols";
        std::unordered_map<LONG, size_t>& seen = m_symbolIds;
        const std::string at = Child(where, i);
        if (!ExpectObject(item, at)) return;
        SymbolDefinition symbol;
        const Json* id = Require(item, at, "id");
        const bool idOk = id && Long(*id, Child(at, "id"), symbol.id, 0);
        if (const Json* name = Require(item, at, "name")) Text(*name, Child(at, "name"), symbol.name);
        if (const Json* extent = Require(item, at, "extent")) {
            double box[4] = {0, 0, 0, 0};
            if (Numbers(*extent, Child(at, "extent"), 4, "an extent [x0, y0, x1, y1]", box)) {
                symbol.x0 = box[0];
                symbol.y0 = box[1];
                symbol.x1 = box[2];
                symbol.y1 = box[3];
            }
        }
        symbol.extraJson = Kept(at);
        if (idOk) {
            const auto [it, added] = seen.emplace(symbol.id, i);
            if (!added) {
                Problem(Child(at, "id"), "symbol id " + std::to_string(symbol.id) + " is already used by " +
                                             Child(where, it->second));
            }
        }
        symbols.push_back(std::move(symbol));
    }

    void ReadFields(const Json& value, const std::string& where, std::map<LONG, AttributeRow>& fields) {
        if (!ExpectObject(value, where)) return;
        for (auto it = value.begin(); it != value.end(); ++it) {
            const std::string at = Child(where, it.key());
            LONG number = 0;
            if (!IndexKey(it.key(), at, "field number", kLongMax, number)) continue;
            AttributeRow row;
            const Json& values = it.value();
            if (values.is_array()) {
                row.resize(values.size());
                for (size_t sub = 0; sub < values.size(); ++sub) Text(values[sub], Child(at, sub), row[sub]);
            } else if (values.is_object()) {
                for (auto sub = values.begin(); sub != values.end(); ++sub) {
                    const std::string subAt = Child(at, sub.key());
                    LONG index = 0;
                    if (!IndexKey(sub.key(), subAt, "sub-index", kMaxSubIndexKey, index)) continue;
                    if (row.size() <= static_cast<size_t>(index)) row.resize(static_cast<size_t>(index) + 1);
                    Text(sub.value(), subAt, row[static_cast<size_t>(index)]);
                }
            } else {
                Problem(at, "expected an array of texts by sub-index (or an object with sub-index keys), found " +
                                Found(values));
                continue;
            }
            fields[number] = std::move(row);
        }
    }

    void ReadLabels(const Json& value, const std::string& where, std::vector<Label>& labels) {
        if (!ExpectArray(value, where)) return;
        for (size_t i = 0; i < value.size(); ++i) {
            const std::string at = Child(where, i);
            const Json& item = value[i];
            if (!ExpectObject(item, at)) continue;
            RejectUnknown(item, at, {"text", "style", "placement"});
            Label label;
            if (const Json* text = Require(item, at, "text")) Text(*text, Child(at, "text"), label.text);
            if (const Json* style = Optional(item, "style")) Long(*style, Child(at, "style"), label.style);
            if (const Json* placement = Optional(item, "placement")) Long(*placement, Child(at, "placement"), label.placement);
            labels.push_back(std::move(label));
        }
    }

    void ReadMotor(const Json& value, const std::string& where, MotorData& motor) {
        if (!ExpectObject(value, where)) return;
        RejectUnknown(value, where,
                      {"ratedPowerKW", "ratedCurrentA", "ratedVoltageV", "startCurrentA", "powerFactor", "running", "groupStart"});
        const std::pair<const char*, double*> numbers[] = {{"ratedPowerKW", &motor.ratedPowerKW},
                                                           {"ratedCurrentA", &motor.ratedCurrentA},
                                                           {"ratedVoltageV", &motor.ratedVoltageV},
                                                           {"startCurrentA", &motor.startCurrentA},
                                                           {"powerFactor", &motor.powerFactor}};
        for (const auto& [key, member] : numbers) {
            if (const Json* number = Require(value, where, key)) Number(*number, Child(where, key), *member);
        }
        if (const Json* running = Optional(value, "running")) Boolean(*running, Child(where, "running"), motor.running);
        if (const Json* group = Optional(value, "groupStart")) Boolean(*group, Child(where, "groupStart"), motor.groupStart);
    }

    void ReadNotes(const Json& value, const std::string& where, std::map<std::string, CString>& notes) {
        if (!ExpectObject(value, where)) return;
        for (auto it = value.begin(); it != value.end(); ++it) Text(it.value(), Child(where, it.key()), notes[it.key()]);
    }

    // An end of a line: an entity id, or null for no object.
    void LineEnd(const Json& value, const std::string& where, LONG& out) {
        if (value.is_null()) {
            out = 0;
            return;
        }
        Long(value, where, out, 1);
    }

    void ReadObject(const Json& item, size_t i, std::vector<MapObject>& objects, std::vector<ObjectSource>& sources) {
        const std::string where = "/objects";
        const std::string at = Child(where, i);
        MapObject object;
        ObjectSource source;
        source.where = at;
        if (!ExpectObject(item, at)) {
            objects.push_back(std::move(object));
            sources.push_back(std::move(source));
            return;
        }
        if (const Json* id = Require(item, at, "id")) {
            if (id->is_number() && id->get<double>() == 0.0) {
                Problem(Child(at, "id"), "entity id 0 names no object; entity ids start at 1");
            } else {
                source.idValid = Long(*id, Child(at, "id"), object.entityId, 1);
            }
        }
        if (const Json* handle = Require(item, at, "handle")) {
            if (handle->is_number() && handle->get<double>() == 0.0) {
                Problem(Child(at, "handle"), "handle 0 names no object; handles start at 1");
            } else {
                source.handleValid = Long(*handle, Child(at, "handle"), object.handle, 1);
            }
        }
        if (const Json* type = Require(item, at, "type")) Long(*type, Child(at, "type"), object.entityType, 0);
        if (const Json* kind = Require(item, at, "kind")) Text(*kind, Child(at, "kind"), object.kind, kMaxNameBytes, "kind name");
        if (const Json* name = Optional(item, "name")) Text(*name, Child(at, "name"), object.name, kMaxNameBytes, "name");
        if (const Json* layer = Require(item, at, "layer")) source.layerValid = Long(*layer, Child(at, "layer"), object.layer, 0);
        if (const Json* colour = Optional(item, "colour")) Long(*colour, Child(at, "colour"), object.colour, 0, kMaxColour);
        if (const Json* flags = Optional(item, "flags")) {
            long long wide = 0;
            if (Integer(*flags, Child(at, "flags"), 0, kDwordMax, wide)) object.flags = static_cast<DWORD>(wide);
        }
        if (const Json* locked = Optional(item, "locked")) Boolean(*locked, Child(at, "locked"), object.settingLocked);
        object.isLine = object.entityType == EntityType::Line;
        if (const Json* line = Optional(item, "line")) Boolean(*line, Child(at, "line"), object.isLine);
        if (const Json* insertion = Optional(item, "insertion")) Point(*insertion, Child(at, "insertion"), object.insertion);
        if (const Json* outline = Optional(item, "outline")) {
            if (ExpectArray(*outline, Child(at, "outline"))) {
                object.outline.resize(outline->size());
                for (size_t k = 0; k < outline->size(); ++k) {
                    Point((*outline)[k], Child(Child(at, "outline"), k), object.outline[k]);
                }
            }
        }
        if (const Json* symbol = Optional(item, "symbol"); symbol && !symbol->is_null()) {
            source.symbolValid = Long(*symbol, Child(at, "symbol"), object.symbol, 0);
        }
        if (const Json* size = Optional(item, "size")) {
            double wh[2] = {0, 0};
            if (Numbers(*size, Child(at, "size"), 2, "a size [width, height]", wh)) {
                object.width = wh[0];
                object.height = wh[1];
            }
        }
        if (const Json* rotation = Optional(item, "rotation")) Number(*rotation, Child(at, "rotation"), object.rotation);
        for (const char* end : {"from", "to"}) {
            const Json* endValue = Optional(item, end);
            if (!endValue) continue;
            const bool from = std::strcmp(end, "from") == 0;
            if (!object.isLine) {
                if (!endValue->is_null()) {
                    Problem(Child(at, end), std::string("\"") + end +
                                                "\" belongs to lines only (type 1, or \"line\": true)");
                }
                continue;
            }
            LineEnd(*endValue, Child(at, end), from ? object.fromEntity : object.toEntity);
        }
        if (const Json* property = Optional(item, "lineProperty")) Long(*property, Child(at, "lineProperty"), object.lineProperty);
        if (const Json* labels = Optional(item, "labels")) ReadLabels(*labels, Child(at, "labels"), object.labels);
        if (const Json* fields = Optional(item, "fields")) ReadFields(*fields, Child(at, "fields"), object.fields);
        if (const Json* motor = Optional(item, "motor"); motor && !motor->is_null()) {
            object.motor.emplace();
            ReadMotor(*motor, Child(at, "motor"), *object.motor);
        }
        if (const Json* notes = Optional(item, "notes")) ReadNotes(*notes, Child(at, "notes"), object.notes);
        object.extraJson = Kept(at);
        objects.push_back(std::move(object));
        sources.push_back(std::move(source));
    }

    // Checks between objects, layers and symbols: unique ids and handles, and
    // every reference naming something that exists.
    void CheckReferences(const MapDocument& document, const std::vector<MapObject>& objects,
                         const std::vector<ObjectSource>& sources) {
        std::unordered_map<LONG, size_t> byId;
        std::unordered_map<LONG, size_t> byHandle;
        for (size_t i = 0; i < objects.size(); ++i) {
            const MapObject& object = objects[i];
            if (sources[i].idValid) {
                const auto [it, added] = byId.emplace(object.entityId, i);
                if (!added) {
                    Problem(Child(sources[i].where, "id"), "entity id " + std::to_string(object.entityId) +
                                                               " is already used by " + sources[it->second].where);
                }
            }
            if (sources[i].handleValid) {
                const auto [it, added] = byHandle.emplace(object.handle, i);
                if (!added) {
                    Problem(Child(sources[i].where, "handle"), "handle " + std::to_string(object.handle) +
                                                                   " is already used by " + sources[it->second].where);
                }
            }
        }
        std::set<LONG> layerIds;
        for (const Layer& layer : document.layers()) layerIds.insert(layer.id);
        std::set<LONG> symbolIds;
        for (const SymbolDefinition& symbol : document.symbols()) symbolIds.insert(symbol.id);
        for (size_t i = 0; i < objects.size(); ++i) {
            const MapObject& object = objects[i];
            const std::string& at = sources[i].where;
            if (m_layersKnown && sources[i].layerValid && !layerIds.count(object.layer)) {
                Problem(Child(at, "layer"), "no layer has id " + std::to_string(object.layer));
            }
            if (m_symbolsKnown && sources[i].symbolValid && !symbolIds.count(object.symbol)) {
                Problem(Child(at, "symbol"), "no symbol definition has id " + std::to_string(object.symbol));
            }
            if (!object.isLine) continue;
            for (const bool from : {true, false}) {
                const LONG end = from ? object.fromEntity : object.toEntity;
                if (end == 0) continue;
                const std::string endAt = Child(at, from ? "from" : "to");
                const auto it = byId.find(end);
                if (it == byId.end()) {
                    std::string message = "no object has entity id " + std::to_string(end);
                    // Ids and handles are easily confused; say so when that is what happened.
                    if (const auto h = byHandle.find(end); h != byHandle.end()) {
                        message += " (" + std::to_string(end) + " is the handle of " + sources[h->second].where +
                                   "; line ends name entity ids)";
                    }
                    Problem(endAt, message);
                } else if (objects[it->second].isLine) {
                    Problem(endAt, "entity " + std::to_string(end) + " (" + sources[it->second].where +
                                       ") is a line; a line starts and ends at symbols or points");
                }
            }
        }
    }

    Problems& m_problems;
    TreeBuilder::KeptTexts& m_kept;
    MapDocument& m_document;
    Problems* m_target = &m_problems;
    Problems m_listProblems[3];
    std::vector<MapObject> m_objects;
    std::vector<ObjectSource> m_sources;
    std::unordered_map<LONG, size_t> m_layerIds;   // first layer of each id
    std::unordered_map<LONG, size_t> m_symbolIds;  // first symbol of each id
    bool m_layersKnown = false;
    bool m_symbolsKnown = true;  // no list means no definitions, which is a valid map
};

// ---- Writing ----------------------------------------------------------------

void AppendUtf8(unsigned long codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Reads the kept text of unknown keys as strictly as the loader reads a map,
// so that nothing is written that would not load back, into a tree whose
// plain values are binary values holding their text as it was read. The
// printer writes those texts unchanged.
class KeptReader {
public:
    // depth: the nesting of the object the keys belong to, counted as the loader counts it.
    KeptReader(std::string_view text, size_t depth) : m_text(text), m_depth(depth) {}

    bool Read(Json& out, std::string& failure) {
        if (m_text.find('\0') != npos) return Fail(failure, "hold a NUL byte");
        if (!IsValidUtf8(m_text)) return Fail(failure, "are not UTF-8 text");
        SkipSpace();
        if (m_pos >= m_text.size() || m_text[m_pos] != '{') return Fail(failure, "are not a JSON object");
        if (!Value(out, m_depth - 1)) return Fail(failure, m_failure);
        SkipSpace();
        if (m_pos != m_text.size()) return Fail(failure, "are followed by more text at byte " + std::to_string(m_pos));
        return true;
    }

private:
    bool Fail(std::string& failure, const std::string& why) {
        failure = "the kept unknown keys " + why;
        return false;
    }
    bool Bad(const std::string& why) {
        m_failure = why;
        return false;
    }
    bool Bad() { return Bad("are not valid JSON at byte " + std::to_string(m_pos) + " of their text"); }
    void SkipSpace() {
        while (m_pos < m_text.size() && IsJsonSpace(m_text[m_pos])) ++m_pos;
    }
    bool Take(char c) {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool Value(Json& out, size_t depth) {
        SkipSpace();
        if (m_pos >= m_text.size()) return Bad();
        const char c = m_text[m_pos];
        if (c == '{' || c == '[') {
            if (depth + 1 > kMaxDepth) {
                return Bad("are nested deeper than " + std::to_string(kMaxDepth) + " levels in the file");
            }
            ++m_pos;
            const bool isObject = c == '{';
            out = isObject ? Json::object() : Json::array();
            if (Take(isObject ? '}' : ']')) return true;
            do {
                Json item;
                if (isObject) {
                    SkipSpace();
                    std::string key;
                    if (!String(&key)) return Bad();
                    if (out.contains(key)) return Bad("hold the key \"" + key + "\" twice in one object");
                    if (!Take(':')) return Bad();
                    if (!Value(item, depth + 1)) return false;
                    out[key] = std::move(item);
                } else {
                    if (!Value(item, depth + 1)) return false;
                    out.push_back(std::move(item));
                }
            } while (Take(','));
            return Take(isObject ? '}' : ']') || Bad();
        }
        const size_t start = m_pos;
        bool ok = false;
        if (c == '"') {
            ok = String(nullptr);
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            ok = Number();
        } else {
            for (const std::string_view word : {"true", "false", "null"}) {
                if (m_text.substr(m_pos, word.size()) == word) {
                    m_pos += word.size();
                    ok = true;
                    break;
                }
            }
        }
        if (!ok) return m_failure.empty() ? Bad() : false;
        out = Json::binary(std::vector<std::uint8_t>(m_text.begin() + static_cast<std::ptrdiff_t>(start),
                                                     m_text.begin() + static_cast<std::ptrdiff_t>(m_pos)));
        return true;
    }

    bool Digits() {
        const size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') ++m_pos;
        return m_pos > start;
    }
    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, within the range of a double.
    bool Number() {
        const size_t start = m_pos;
        if (m_text[m_pos] == '-') ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == '0') {
            ++m_pos;
        } else if (!Digits()) {
            return false;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == '.') {
            ++m_pos;
            if (!Digits()) return false;
        }
        if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
            if (!Digits()) return false;
        }
        const std::string number(m_text.substr(start, m_pos - start));
        if (!std::isfinite(std::strtod(number.c_str(), nullptr))) {
            return Bad("hold the number " + number + ", beyond the range the loader reads");
        }
        return true;
    }
    unsigned Hex4() {
        unsigned value = 0;
        for (int k = 0; k < 4; ++k, ++m_pos) {
            if (m_pos >= m_text.size()) return 0x110000;
            const char h = m_text[m_pos];
            value <<= 4;
            if (h >= '0' && h <= '9') value |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') value |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') value |= static_cast<unsigned>(h - 'A' + 10);
            else return 0x110000;
        }
        return value;
    }
    // A text with its escapes checked, unescaped into out when given.
    bool String(std::string* out) {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"') return false;
        for (++m_pos; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                if (out) *out += c;
                continue;
            }
            if (++m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos];
            const char* simple = std::strchr("\"\\/bfnrt", e);
            if (e != '\0' && simple) {
                if (out) *out += "\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"];
                continue;
            }
            if (e != 'u') return false;
            ++m_pos;
            unsigned long codePoint = Hex4();
            if (codePoint > 0xFFFF || (codePoint >= 0xDC00 && codePoint <= 0xDFFF)) return false;
            if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
                if (m_text.substr(m_pos, 2) != "\\u") return false;
                m_pos += 2;
                const unsigned low = Hex4();
                if (low < 0xDC00 || low > 0xDFFF) return false;
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
            }
            --m_pos;
            if (out) AppendUtf8(codePoint, *out);
        }
        return false;
    }

    std::string_view m_text;
    size_t m_depth;
    size_t m_pos = 0;
    std::string m_failure;
};


// The loader's rules on values and references between them, checked on a
// document before it is written: a map that is saved always loads. Texts,
// numbers and kept keys are checked as they are written.
std::string Spell(const std::string& where) { return where; }
std::string Spell(const char* where) { return where; }
template <typename Where>
std::string Spell(const Where& where) {
    return where();
}

// The place is spelled out only for a problem: a map has many objects and few problems.
template <typename Where>
void CheckRange(Problems& problems, const Where& where, const char* what, long long value, long long min, long long max) {
    if (value < min || value > max) {
        problems.push_back({Spell(where), std::string(what) + " " + std::to_string(value) + " is outside " +
                                       std::to_string(min) + ".." + std::to_string(max) + " and would not load back"});
    }
}

// The first layer and symbol definition of each id.
struct KnownIds {
    std::unordered_map<LONG, size_t> layers;
    std::unordered_map<LONG, size_t> symbols;
};

// The rules on everything but the objects.
KnownIds CheckSettings(const MapDocument& document, Problems& problems) {
    CheckRange(problems, "/currentColour", "the colour", document.currentColour(), -1, kMaxColour);
    CheckRange(problems, "/project/lowVoltage", "the voltage", document.project().lowVoltage, 0, kLongMax);
    CheckRange(problems, "/project/highVoltage", "the voltage", document.project().highVoltage, 0, kLongMax);
    if (std::isfinite(document.view().scale) && !(document.view().scale > 0.0)) {
        problems.push_back({"/view/scale", "the scale must be greater than 0 to load back"});
    }
    KnownIds known;
    for (size_t i = 0; i < document.layers().size(); ++i) {
        const Layer& layer = document.layers()[i];
        const std::string at = Child("/layers", i);
        CheckRange(problems, Child(at, "id"), "the layer id", layer.id, 0, kLongMax);
        CheckRange(problems, Child(at, "colour"), "the colour", layer.colour, 0, kMaxColour);
        if (const auto [it, added] = known.layers.emplace(layer.id, i); !added) {
            problems.push_back({Child(at, "id"), "layer id " + std::to_string(layer.id) + " is already used by " +
                                                     Child("/layers", it->second)});
        }
    }
    for (size_t i = 0; i < document.symbols().size(); ++i) {
        const SymbolDefinition& symbol = document.symbols()[i];
        const std::string at = Child("/symbols", i);
        CheckRange(problems, Child(at, "id"), "the symbol id", symbol.id, 0, kLongMax);
        if (const auto [it, added] = known.symbols.emplace(symbol.id, i); !added) {
            problems.push_back({Child(at, "id"), "symbol id " + std::to_string(symbol.id) + " is already used by " +
                                                     Child("/symbols", it->second)});
        }
    }
    return known;
}

// The rules on the objects, each problem worded with its place.
void CheckObjects(const MapDocument& document, const KnownIds& known, Problems& problems) {
    const std::vector<MapObject>& objects = document.objects();
    // (value, position) sorted: the first object of each id or handle is the
    // first of its run, found by a binary search.
    std::vector<std::pair<LONG, size_t>> byId;
    std::vector<std::pair<LONG, size_t>> byHandle;
    byId.reserve(objects.size());
    byHandle.reserve(objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        byId.emplace_back(objects[i].entityId, i);
        byHandle.emplace_back(objects[i].handle, i);
    }
    std::sort(byId.begin(), byId.end());
    std::sort(byHandle.begin(), byHandle.end());
    const auto firstOf = [](const std::vector<std::pair<LONG, size_t>>& sorted, LONG value) {
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), std::pair<LONG, size_t>(value, 0));
        return it != sorted.end() && it->first == value ? it->second : npos;
    };
    for (size_t i = 0; i < objects.size(); ++i) {
        const MapObject& object = objects[i];
        const auto at = [i] { return Child("/objects", i); };
        CheckRange(problems, [&] { return Child(at(), "id"); }, "entity id", object.entityId, 1, kLongMax);
        CheckRange(problems, [&] { return Child(at(), "handle"); }, "handle", object.handle, 1, kLongMax);
        if (const size_t first = firstOf(byId, object.entityId); first != i) {
            problems.push_back({Child(at(), "id"), "entity id " + std::to_string(object.entityId) + " is already used by " +
                                                     Child("/objects", first)});
        }
        if (const size_t first = firstOf(byHandle, object.handle); first != i) {
            problems.push_back({Child(at(), "handle"), "handle " + std::to_string(object.handle) + " is already used by " +
                                                         Child("/objects", first)});
        }
        CheckRange(problems, [&] { return Child(at(), "type"); }, "the entity type", object.entityType, 0, kLongMax);
        CheckRange(problems, [&] { return Child(at(), "colour"); }, "the colour", object.colour, 0, kMaxColour);
        if (object.layer < 0 || !known.layers.count(object.layer)) {
            problems.push_back({Child(at(), "layer"), "no layer has id " + std::to_string(object.layer)});
        }
        if (object.symbol >= 0 && !known.symbols.count(object.symbol)) {
            problems.push_back({Child(at(), "symbol"), "no symbol definition has id " + std::to_string(object.symbol)});
        }
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        const MapObject& object = objects[i];
        if (!object.isLine) continue;
        for (const bool from : {true, false}) {
            const LONG end = from ? object.fromEntity : object.toEntity;
            if (end == 0) continue;
            const auto at = [&] { return Child(Child("/objects", i), from ? "from" : "to"); };
            const size_t target = firstOf(byId, end);
            if (end < 0 || target == npos) {
                problems.push_back({at(), "no object has entity id " + std::to_string(end)});
            } else if (objects[target].isLine) {
                problems.push_back({at(), "entity " + std::to_string(end) + " (" + Child("/objects", target) +
                                            ") is a line; a line starts and ends at symbols or points"});
            }
        }
    }
}

// The object rules decided as the objects are written, without a pass of
// their own over a map that may not fit any cache. It says only whether the
// map is certainly clean: ids and handles each strictly rising or falling
// (as the editor and the generator number them), so none repeats and an id
// is found by a binary search. Any doubt sends the map to CheckObjects,
// which words every problem in its order.
class ObjectVerdict {
public:
    ObjectVerdict(const KnownIds& known, size_t objects) : m_known(known) {
        m_ids.reserve(objects);
        m_isLine.reserve(objects);
    }

    void See(const MapObject& object) {
        if (!m_clean) return;
        bool ok = object.entityId >= 1 && object.handle >= 1 && object.entityType >= 0 && object.colour >= 0 &&
                  object.colour <= kMaxColour && object.layer >= 0;
        if (ok && object.layer != m_lastLayer) {
            // Objects come in runs of a layer: one look for each run.
            ok = m_known.layers.count(object.layer) != 0;
            m_lastLayer = ok ? object.layer : -1;
        }
        ok = ok && (object.symbol < 0 || object.symbol == m_lastSymbol || Symbol(object.symbol));
        if (!m_ids.empty()) {
            ok = ok && Step(m_ids.back(), object.entityId, m_idOrder) && Step(m_lastHandle, object.handle, m_handleOrder);
        }
        m_lastHandle = object.handle;
        m_ids.push_back(object.entityId);
        m_isLine.push_back(object.isLine);
        if (object.isLine && (object.fromEntity != 0 || object.toEntity != 0)) {
            m_ends.push_back(object.fromEntity);
            m_ends.push_back(object.toEntity);
        }
        m_clean = ok;
    }

    // After the last object.
    bool Clean() const {
        if (!m_clean) return false;
        for (const LONG end : m_ends) {
            if (end == 0) continue;
            const size_t target = Find(end);
            if (target == npos || m_isLine[target]) return false;
        }
        return true;
    }

private:
    // True when b follows a in the order seen so far (0 until the second value).
    static bool Step(LONG a, LONG b, int& order) {
        const int step = a < b ? 1 : (a > b ? -1 : 0);
        if (step == 0 || (order != 0 && step != order)) return false;
        order = step;
        return true;
    }
    bool Symbol(LONG symbol) {
        if (!m_known.symbols.count(symbol)) return false;
        m_lastSymbol = symbol;
        return true;
    }
    size_t Find(LONG id) const {
        const auto it = m_idOrder < 0 ? std::lower_bound(m_ids.begin(), m_ids.end(), id, std::greater<LONG>())
                                      : std::lower_bound(m_ids.begin(), m_ids.end(), id);
        return it != m_ids.end() && *it == id ? static_cast<size_t>(it - m_ids.begin()) : npos;
    }

    const KnownIds& m_known;
    std::vector<LONG> m_ids;
    std::vector<bool> m_isLine;
    std::vector<LONG> m_ends;  // from and to of each line with an end
    LONG m_lastHandle = 0;
    LONG m_lastLayer = -1;
    LONG m_lastSymbol = -1;
    int m_idOrder = 0;
    int m_handleOrder = 0;
    bool m_clean = true;
};

bool IsFlat(const Json& value) {
    return std::none_of(value.begin(), value.end(), [](const Json& v) { return v.is_structured(); });
}

// Two-space indent. Arrays of plain values go on one line (points, extents and
// records read better that way and a change still shows as one changed line),
// and so do small objects of plain values in a list, such as layers and labels.
void Print(const Json& value, size_t indent, std::string& out, bool inList = false) {
    // Binary values are the kept texts of unknown values, written as they were read.
    const auto scalar = [](const Json& v) {
        if (v.is_binary()) return std::string(v.get_binary().begin(), v.get_binary().end());
        return v.dump(-1, ' ', false, Json::error_handler_t::replace);
    };
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        if (inList && value.size() <= 4 && IsFlat(value)) {
            out += "{";
            size_t i = 0;
            for (auto it = value.begin(); it != value.end(); ++it, ++i) {
                if (i) out += ", ";
                out += scalar(Json(it.key())) + ": " + scalar(it.value());
            }
            out += "}";
            return;
        }
        out += "{\n";
        size_t i = 0;
        for (auto it = value.begin(); it != value.end(); ++it, ++i) {
            out.append(indent + 2, ' ');
            out += scalar(Json(it.key()));
            out += ": ";
            Print(it.value(), indent + 2, out);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out.append(indent, ' ');
        out += "}";
    } else if (value.is_array()) {
        if (value.empty()) {
            out += "[]";
            return;
        }
        if (IsFlat(value)) {
            out += "[";
            for (size_t i = 0; i < value.size(); ++i) {
                if (i) out += ", ";
                out += scalar(value[i]);
            }
            out += "]";
            return;
        }
        out += "[\n";
        for (size_t i = 0; i < value.size(); ++i) {
            out.append(indent + 2, ' ');
            Print(value[i], indent + 2, out, true);
            out += i + 1 < value.size() ? ",\n" : "\n";
        }
        out.append(indent, ' ');
        out += "]";
    } else {
        out += scalar(value);
    }
}

// A place in the written text, spelled out only when there is a problem to report.
struct Place {
    const std::string& base;
    std::string_view first = {};
    std::string_view second = {};
    size_t index = npos;
    std::string str() const {
        std::string where = base;
        if (!first.empty()) where = Child(where, first);
        if (!second.empty()) where = Child(where, second);
        if (index != npos) where = Child(where, index);
        return where;
    }
};

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// A text in quotes, escaped as the library escapes it when it prints (so that
// a saved map reads as it always has): the two that must be, the short forms
// of control characters, \u00XX for the rest of them, UTF-8 as it is.
void AppendQuotedUtf8(std::string_view utf8, std::string& out);

void AppendQuoted(std::string_view utf8, std::string& out) {
    if (!IsValidUtf8(utf8)) {  // only texts that are reported and refused; printed as the library would
        out += QuoteJson(std::string(utf8));
        return;
    }
    AppendQuotedUtf8(utf8, out);
}

// The same for a text known to be UTF-8.
void AppendQuotedUtf8(std::string_view utf8, std::string& out) {
    out += '"';
    size_t plain = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (!NeedsEscape(c)) continue;
        out.append(utf8.data() + plain, i - plain);
        plain = i + 1;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", c);
                out += code;
            }
        }
    }
    out.append(utf8.data() + plain, utf8.size() - plain);
    out += '"';
}

template <typename Integer>
void AppendInteger(Integer value, std::string& out) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// The text as it is written: a cursor into room made ahead of it. A map is
// nearly all short pieces, and a string's own append checks its room and
// writes its terminator for every one of them.
class Sink {
public:
    explicit Sink(std::string& text) : m_text(text) { Open(); }
    Sink(const Sink&) = delete;
    Sink& operator=(const Sink&) = delete;
    ~Sink() { Close(); }

    // Room for n more bytes at the cursor; Advance moves the cursor past what was put there.
    char* Room(size_t n) {
        if (static_cast<size_t>(m_end - m_at) < n) Grow(n);
        return m_at;
    }
    void Advance(char* to) { m_at = to; }

    void Put(char c) { *Room(1) = c, ++m_at; }
    void Put(std::string_view text) {
        std::memcpy(Room(text.size()), text.data(), text.size());
        m_at += text.size();
    }
    // A literal: its length is known where it is written.
    template <size_t N>
    void Lit(const char (&text)[N]) {
        std::memcpy(Room(N - 1), text, N - 1);
        m_at += N - 1;
    }
    template <typename Integer>
    void Int(Integer value) {
        char* at = Room(24);
        m_at = std::to_chars(at, at + 24, value).ptr;
    }

    size_t size() const { return static_cast<size_t>(m_at - m_text.data()); }

    // The text written so far, for a helper that appends to a string (the
    // rare pieces: kept keys, texts with escapes or problems).
    template <typename Append>
    void Via(Append&& append) {
        Close();
        append(m_text);
        Open();
    }
    // Hands the text written so far to drain and starts again at the front
    // of the same room, which is then never cleared again.
    template <typename Drain>
    void Flush(Drain& drain) {
        drain(std::string_view(m_text.data(), size()));
        m_at = m_text.data();
    }

private:
    static constexpr size_t kStep = 64 << 10;

    // Room is made by resizing; the string grows its capacity geometrically.
    void Open() {
        const size_t used = m_text.size();
        m_text.resize(used + kStep);
        m_at = m_text.data() + used;
        m_end = m_text.data() + m_text.size();
    }
    void Close() { m_text.resize(size()); }
    // Out of line, so that Room's usual case is a compare where it is used.
    [[gnu::noinline]] void Grow(size_t n) {
        const size_t used = size();
        m_text.resize(used + std::max(n, kStep));
        m_at = m_text.data() + used;
        m_end = m_text.data() + m_text.size();
    }

    std::string& m_text;
    char* m_at = nullptr;
    char* m_end = nullptr;
};

// The ASCII characters a JSON text escapes.
constexpr auto kEscaped = [] {
    struct Table {
        bool stop[128] = {};
    } table;
    for (unsigned c = 0; c < 0x20; ++c) table.stop[c] = true;
    table.stop[static_cast<unsigned char>('"')] = true;
    table.stop[static_cast<unsigned char>('\\')] = true;
    return table;
}();

// True when none of eight bytes is above 0x7F or one a JSON text escapes
// (below 0x20, '"', '\\'). With every byte below 0x80, (v - n * ones) & ~v
// has a top bit set exactly when a byte is below n: the lowest such byte is
// the first to borrow, and with none nothing borrows.
bool PlainAscii(std::uint64_t block) {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t tops = 0x8080808080808080ull;
    const auto anyBelow = [](std::uint64_t v, std::uint64_t n) { return ((v - n * ones) & ~v & tops) != 0; };
    return (block & tops) == 0 && !anyBelow(block, 0x20) && !anyBelow(block ^ ('"' * ones), 1) &&
           !anyBelow(block ^ ('\\' * ones), 1);
}

// Writes a document straight into text, in the layout the map format keeps:
// two-space indent, one key per line, arrays of plain values on one line, and
// small objects of plain values in a list on one line. Nothing of the file is
// built in memory but the text itself.
class MapWriter {
public:
    // Text taken from the writer as it goes.
    using Drain = std::function<void(std::string_view)>;

    MapWriter(Problems& problems, std::string& out, Drain drain = {})
        : m_problems(problems), m_out(out), m_drain(std::move(drain)) {}

    void Write(const MapDocument& document) {
        const KnownIds known = CheckSettings(document, m_problems);
        // Problems of the objects go here, ahead of those found in writing.
        const size_t objectProblemsAt = m_problems.size();
        ObjectVerdict verdict(known, document.objects().size());
        bool first = true;
        m_out.Lit("{\n");
        Key(2, "format", first);
        m_out.Lit("\"jdmap\"");
        Key(2, "version", first);
        m_out.Int(kFormatVersion);
        WriteProject(document.project(), first);
        Key(2, "currentColour", first);
        m_out.Int(document.currentColour());
        Key(2, "view", first);
        {
            static const std::string at = "/view";
            bool inner = true;
            m_out.Lit("{\n");
            Key(4, "originX", inner);
            Number(document.view().originX, {at, "originX"});
            Key(4, "originY", inner);
            Number(document.view().originY, {at, "originY"});
            Key(4, "scale", inner);
            Number(document.view().scale, {at, "scale"});
            Close(2, '}');
        }
        Key(2, "layers", first);
        if (document.layers().empty()) {
            m_out.Lit("[]");
        } else {
            m_out.Lit("[\n");
            for (size_t i = 0; i < document.layers().size(); ++i) {
                if (i) m_out.Lit(",\n");
                WriteLayer(document.layers()[i], Child("/layers", i));
            }
            Close(2, ']');
        }
        Key(2, "symbols", first);
        if (document.symbols().empty()) {
            m_out.Lit("[]");
        } else {
            m_out.Lit("[\n");
            for (size_t i = 0; i < document.symbols().size(); ++i) {
                if (i) m_out.Lit(",\n");
                WriteSymbol(document.symbols()[i], Child("/symbols", i));
            }
            Close(2, ']');
        }
        Key(2, "objects", first);
        if (document.objects().empty()) {
            m_out.Lit("[]");
        } else {
            m_out.Lit("[\n");
            std::string at = "/objects/";
            const size_t stem = at.size();
            for (size_t i = 0; i < document.objects().size(); ++i) {
                if (i) m_out.Lit(",\n");
                const MapObject& object = document.objects()[i];
                verdict.See(object);
                at.resize(stem);
                AppendInteger(i, at);
                WriteObject(object, at);
                if (m_drain && m_out.size() >= kDrainBytes) m_out.Flush(m_drain);
            }
            Close(2, ']');
        }
        static const std::string root;
        WriteKept(document.extraJson(), root, 1, kRootKeys, 2, first);
        m_out.Lit("\n}\n");
        if (!verdict.Clean()) {
            Problems objectProblems;
            CheckObjects(document, known, objectProblems);
            m_problems.insert(m_problems.begin() + static_cast<std::ptrdiff_t>(objectProblemsAt), objectProblems.begin(),
                              objectProblems.end());
        }
    }

private:
    // Starts a member of an object laid out one key per line.
    void Key(size_t indent, std::string_view key, bool& first) {
        // The line break and indent of every key are one copy from here.
        static constexpr char kBreak[] = ",\n                ";
        static_assert(sizeof kBreak >= 2 + 8 + 1);
        const size_t lead = first ? 0 : 2;
        first = false;
        char* at = m_out.Room(2 + indent + key.size() + 4);
        if (indent <= sizeof kBreak - 3) {
            std::memcpy(at, kBreak + 2 - lead, lead + indent);
            at += lead + indent;
        } else {
            std::memcpy(at, kBreak + 2 - lead, lead);
            at += lead;
            std::memset(at, ' ', indent);
            at += indent;
        }
        *at++ = '"';
        std::memcpy(at, key.data(), key.size());  // the format's own keys need no escapes
        at += key.size();
        std::memcpy(at, "\": ", 3);
        m_out.Advance(at + 3);
    }
    void Close(size_t indent, char bracket) {
        char* at = m_out.Room(indent + 2);
        *at++ = '\n';
        std::memset(at, ' ', indent);
        at[indent] = bracket;
        m_out.Advance(at + indent + 1);
    }

    void WriteProject(const ProjectSettings& project, bool& first) {
        static const std::string at = "/project";
        Key(2, "project", first);
        m_out.Lit("{\n");
        bool inner = true;
        Key(4, "name", inner);
        Text(project.name, {at, "name"});
        Key(4, "lowVoltage", inner);
        m_out.Int(project.lowVoltage);
        Key(4, "highVoltage", inner);
        m_out.Int(project.highVoltage);
        WriteKept(project.extraJson, at, 2, kProjectKeys, 4, inner);
        Close(2, '}');
    }

    // A layer of three plain values (and at most one plain kept value) stays on one line.
    void WriteLayer(const Layer& layer, const std::string& at) {
        Json kept;
        const bool hasKept = ReadKept(layer.extraJson, at, 3, kLayerKeys, kept);
        const bool oneLine = !hasKept || (kept.size() <= 1 && IsFlat(kept));
        m_out.Lit("    ");
        if (oneLine) {
            m_out.Lit("{\"id\": ");
            m_out.Int(layer.id);
            m_out.Lit(", \"name\": ");
            Text(layer.name, {at, "name"});
            m_out.Lit(", \"colour\": ");
            m_out.Int(layer.colour);
            if (hasKept) {
                m_out.Via([&](std::string& out) {
                    for (auto it = kept.begin(); it != kept.end(); ++it) {
                        out += ", ";
                        AppendQuoted(it.key(), out);
                        out += ": ";
                        Print(it.value(), 4, out);
                    }
                });
            }
            m_out.Put('}');
            return;
        }
        bool first = true;
        m_out.Lit("{\n");
        Key(6, "id", first);
        m_out.Int(layer.id);
        Key(6, "name", first);
        Text(layer.name, {at, "name"});
        Key(6, "colour", first);
        m_out.Int(layer.colour);
        PrintKept(kept, 6, first);
        Close(4, '}');
    }

    void WriteSymbol(const SymbolDefinition& symbol, const std::string& at) {
        bool first = true;
        m_out.Lit("    {\n");
        Key(6, "id", first);
        m_out.Int(symbol.id);
        Key(6, "name", first);
        Text(symbol.name, {at, "name"});
        Key(6, "extent", first);
        m_out.Put('[');
        Number(symbol.x0, {at});
        m_out.Lit(", ");
        Number(symbol.y0, {at});
        m_out.Lit(", ");
        Number(symbol.x1, {at});
        m_out.Lit(", ");
        Number(symbol.y1, {at});
        m_out.Put(']');
        WriteKept(symbol.extraJson, at, 3, kSymbolKeys, 6, first);
        Close(4, '}');
    }

    // Keys at their default value are left out, except the ones that say
    // what an object is; a line always shows both its ends.
    void WriteObject(const MapObject& object, const std::string& at) {
        // The keys every object has, each with its line break and indent, as literals.
        m_out.Lit("    {\n      \"id\": ");
        m_out.Int(object.entityId);
        m_out.Lit(",\n      \"handle\": ");
        m_out.Int(object.handle);
        m_out.Lit(",\n      \"type\": ");
        m_out.Int(object.entityType);
        m_out.Lit(",\n      \"kind\": ");
        Text(object.kind, {at, "kind"}, kMaxNameBytes, "kind name");
        m_out.Lit(",\n      \"name\": ");
        Text(object.name, {at, "name"}, kMaxNameBytes, "name");
        m_out.Lit(",\n      \"layer\": ");
        m_out.Int(object.layer);
        m_out.Lit(",\n      \"colour\": ");
        m_out.Int(object.colour);
        bool first = false;
        if (object.flags != 0) {
            m_out.Lit(",\n      \"flags\": ");
            m_out.Int(object.flags);
        }
        if (object.settingLocked) m_out.Lit(",\n      \"locked\": true");
        if (object.isLine != (object.entityType == EntityType::Line)) {
            if (object.isLine) {
                m_out.Lit(",\n      \"line\": true");
            } else {
                m_out.Lit(",\n      \"line\": false");
            }
        }
        if (!(object.insertion == Point3{})) {
            m_out.Lit(",\n      \"insertion\": ");
            Point(object.insertion, {at, "insertion"});
        }
        if (!object.outline.empty()) {
            m_out.Lit(",\n      \"outline\": [\n");
            for (size_t k = 0; k < object.outline.size(); ++k) {
                if (k) {
                    m_out.Lit(",\n        ");
                } else {
                    m_out.Lit("        ");
                }
                Point(object.outline[k], {at, "outline"});
            }
            Close(6, ']');
        }
        if (object.symbol >= 0) {
            m_out.Lit(",\n      \"symbol\": ");
            m_out.Int(object.symbol);
        }
        if (object.width != 0.0 || object.height != 0.0) {
            m_out.Lit(",\n      \"size\": [");
            Number(object.width, {at, "size"});
            m_out.Lit(", ");
            Number(object.height, {at, "size"});
            m_out.Put(']');
        }
        if (object.rotation != 0.0) {
            m_out.Lit(",\n      \"rotation\": ");
            Number(object.rotation, {at, "rotation"});
        }
        if (object.isLine) {
            m_out.Lit(",\n      \"from\": ");
            LineEnd(object.fromEntity);
            m_out.Lit(",\n      \"to\": ");
            LineEnd(object.toEntity);
        } else if (object.fromEntity != 0 || object.toEntity != 0) {
            m_problems.push_back({at, "an object that is not a line has line ends; they would not load back"});
        }
        if (object.lineProperty != 0) {
            m_out.Lit(",\n      \"lineProperty\": ");
            m_out.Int(object.lineProperty);
        }
        if (!object.labels.empty()) {
            m_out.Lit(",\n      \"labels\": [\n");
            for (size_t k = 0; k < object.labels.size(); ++k) {
                const Label& label = object.labels[k];
                if (k) {
                    m_out.Lit(",\n        {\"text\": ");
                } else {
                    m_out.Lit("        {\"text\": ");
                }
                Text(label.text, {at, "labels", {}, k});
                m_out.Lit(", \"style\": ");
                m_out.Int(label.style);
                m_out.Lit(", \"placement\": ");
                m_out.Int(label.placement);
                m_out.Put('}');
            }
            Close(6, ']');
        }
        if (!object.fields.empty()) {
            m_out.Lit(",\n      \"fields\": {\n");
            bool firstField = true;
            for (const auto& [number, row] : object.fields) {
                char digits[16];
                const std::string_view name(digits, static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits));
                if (number < 0) m_problems.push_back({Place{at, "fields", name}.str(), "a negative field number would not load back"});
                Key(8, name, firstField);
                m_out.Put('[');
                for (size_t sub = 0; sub < row.size(); ++sub) {
                    if (sub) m_out.Lit(", ");
                    Text(row[sub], {at, "fields", name, sub});
                }
                m_out.Put(']');
            }
            Close(6, '}');
        }
        if (object.motor) {
            const MotorData& motor = *object.motor;
            m_out.Lit(",\n      \"motor\": {\n        \"ratedPowerKW\": ");
            Number(motor.ratedPowerKW, {at, "motor"});
            m_out.Lit(",\n        \"ratedCurrentA\": ");
            Number(motor.ratedCurrentA, {at, "motor"});
            m_out.Lit(",\n        \"ratedVoltageV\": ");
            Number(motor.ratedVoltageV, {at, "motor"});
            m_out.Lit(",\n        \"startCurrentA\": ");
            Number(motor.startCurrentA, {at, "motor"});
            m_out.Lit(",\n        \"powerFactor\": ");
            Number(motor.powerFactor, {at, "motor"});
            if (motor.running) {
                m_out.Lit(",\n        \"running\": true");
            } else {
                m_out.Lit(",\n        \"running\": false");
            }
            if (motor.groupStart) {
                m_out.Lit(",\n        \"groupStart\": true");
            } else {
                m_out.Lit(",\n        \"groupStart\": false");
            }
            Close(6, '}');
        }
        if (!object.notes.empty()) {
            m_out.Lit(",\n      \"notes\": {\n");
            bool firstNote = true;
            for (const auto& note : object.notes) {
                // Named, not bound: a lambda below captures the key.
                const std::string& key = note.first;
                const CString& text = note.second;
                if (!IsValidUtf8(key)) m_problems.push_back({Child(at, "notes"), "a note key is not UTF-8 text"});
                if (!firstNote) m_out.Lit(",\n");
                firstNote = false;
                m_out.Lit("        ");
                m_out.Via([&](std::string& out) { AppendQuoted(key, out); });
                m_out.Lit(": ");
                Text(text, {at, "notes", key});
            }
            Close(6, '}');
        }
        WriteKept(object.extraJson, at, 3, kObjectKeys, 6, first);
        Close(4, '}');
    }

    void LineEnd(LONG entity) {
        if (entity == 0) {
            m_out.Lit("null");
        } else {
            m_out.Int(entity);
        }
    }

    // Whole numbers are written without a decimal point, so 100.0 reads "100"
    // and comes back as the same double.
    void Number(double value, const Place& where) {
        if (!std::isfinite(value)) {
            m_problems.push_back({where.str(), "the value is not a finite number and cannot be written"});
            m_out.Lit("null");
        } else if (const bool small = std::fabs(value) < 9007199254740992.0;
                   small && static_cast<double>(static_cast<long long>(value)) == value) {
            // Truncation keeps exactly the whole numbers (and makes -0 "0").
            m_out.Int(static_cast<long long>(value));
        } else {
            Fraction(value);
        }
    }
    // The library's own shortest round-trip form, as its dump prints a double.
    // A map repeats its values (ratings, factors, coordinates of a grid), so
    // each spelling is remembered by the value's bits and copied when it
    // comes again.
    void Fraction(double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        Spelling& spelling = m_spellings[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kSpellingBits)];
        if (spelling.length == 0 || spelling.bits != bits) {
            char digits[64];
            const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
            const auto length = static_cast<size_t>(end - digits);
            if (length > sizeof spelling.text) {  // longer than any double's spelling; written, not kept
                m_out.Put(std::string_view(digits, length));
                return;
            }
            std::memcpy(spelling.text, digits, length);
            spelling.length = static_cast<std::uint32_t>(length);
            spelling.bits = bits;
        }
        m_out.Put(std::string_view(spelling.text, spelling.length));
    }
    void Point(const Point3& point, const Place& where) {
        m_out.Put('[');
        Number(point.x, where);
        m_out.Lit(", ");
        Number(point.y, where);
        m_out.Lit(", ");
        Number(point.z, where);
        m_out.Put(']');
    }

    // GBK to UTF-8. Nearly every text converts exactly and needs no escape:
    // it is written in one pass straight into the output. The others take
    // the long way for their escapes and reports.
    void Text(const CString& gbk, const Place& where, size_t maxBytes = 0, const char* what = "text") {
        const std::string_view bytes = gbk.view();
        if (maxBytes == 0 || bytes.size() <= maxBytes) {
            char* const start = m_out.Room(bytes.size() + bytes.size() / 2 + 2);
            *start = '"';
            // Plain ASCII is copied eight bytes at a time up to the first
            // block that is not; a character starts where it stops, since
            // every GBK pair starts with a byte of 0x81 or above.
            char* at = start + 1;
            size_t i = 0;
            for (std::uint64_t block; i + 8 <= bytes.size(); i += 8, at += 8) {
                std::memcpy(&block, bytes.data() + i, 8);
                if (!PlainAscii(block)) break;
                std::memcpy(at, &block, 8);
            }
            // The rest of a plain ASCII text here; the conversion takes over at its first other byte.
            for (; i < bytes.size(); ++i) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                if (byte >= 0x80 || kEscaped.stop[byte]) break;
                *at++ = static_cast<char>(byte);
            }
            if (i == bytes.size()) {
                *at = '"';
                m_out.Advance(at + 1);
                return;
            }
            if (char* end = WriteGbkAsUtf8IfExact(bytes.substr(i), at, kEscaped.stop)) {
                *end = '"';
                m_out.Advance(end + 1);
                return;
            }
        }
        m_out.Via([&](std::string& out) { TextTheLongWay(bytes, where, maxBytes, what, out); });
    }

    // A text the loader would refuse (a NUL, a name over its limit, bytes that
    // do not come back as themselves) is reported, so that a save refuses to
    // write it while a serialisation for display still works (bytes that are
    // not GBK show as U+FFFD).
    void TextTheLongWay(std::string_view bytes, const Place& where, size_t maxBytes, const char* what, std::string& out) {
        bool plain = true;
        bool ascii = true;
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            plain = plain && !NeedsEscape(byte);
            ascii = ascii && byte < 0x80;
        }
        if (!plain && bytes.find('\0') != npos) {
            m_problems.push_back({where.str(), std::string("the ") + what + " contains a NUL byte, which map texts cannot hold"});
        }
        if (maxBytes != 0 && bytes.size() > maxBytes) {
            m_problems.push_back({where.str(), std::string("the ") + what + " is " + std::to_string(bytes.size()) +
                                                   " GBK bytes long; at most " + std::to_string(maxBytes) + " fit"});
        }
        if (ascii) {
            AppendQuotedUtf8(bytes, out);
            return;
        }
        m_utf8.clear();
        if (AppendGbkAsUtf8IfExact(bytes, m_utf8)) {
            AppendQuotedUtf8(m_utf8, out);
            return;
        }
        if (TryGbkToUtf8(bytes, m_utf8)) {
            if (!TryUtf8ToGbk(m_utf8, m_gbk) || m_gbk != bytes) {
                m_problems.push_back({where.str(), std::string("the ") + what + " would not load back as the same GBK bytes"});
            }
            AppendQuoted(m_utf8, out);
            return;
        }
        m_problems.push_back({where.str(), "the text is not valid GBK"});
        std::string result;
        std::string_view rest = bytes;
        while (!rest.empty()) {
            size_t offset = 0;
            std::string part;
            if (TryGbkToUtf8(rest, part, &offset)) {
                result += part;
                break;
            }
            std::string good;
            if (TryGbkToUtf8(rest.substr(0, offset), good)) result += good;
            result += "\xEF\xBF\xBD";
            rest.remove_prefix(std::min(rest.size(), offset + 1));
        }
        AppendQuoted(result, out);
    }

    // The kept unknown keys, read as strictly as the loader reads them; false
    // when there are none or they cannot be written (reported).
    bool ReadKept(const std::string& text, const std::string& where, size_t depth,
                  const std::set<std::string, std::less<>>& known, Json& kept) {
        if (text.empty()) return false;
        std::string failure;
        if (!KeptReader(text, depth).Read(kept, failure)) {
            m_problems.push_back({where, failure});
            return false;
        }
        for (auto it = kept.begin(); it != kept.end();) {
            if (known.count(it.key())) {
                m_problems.push_back({Child(where, it.key()), "a kept unknown key has the name of a known key"});
                it = kept.erase(it);
            } else {
                ++it;
            }
        }
        return !kept.empty();
    }
    void PrintKept(const Json& kept, size_t indent, bool& first) {
        m_out.Via([&](std::string& out) {
            for (auto it = kept.begin(); it != kept.end(); ++it) {
                if (!first) out += ",\n";
                first = false;
                out.append(indent, ' ');
                AppendQuoted(it.key(), out);
                out += ": ";
                Print(it.value(), indent, out);
            }
        });
    }
    void WriteKept(const std::string& text, const std::string& where, size_t depth,
                   const std::set<std::string, std::less<>>& known, size_t indent, bool& first) {
        if (text.empty()) return;
        Json kept;
        if (ReadKept(text, where, depth, known, kept)) PrintKept(kept, indent, first);
    }

    static constexpr size_t kDrainBytes = 1 << 20;
    static constexpr unsigned kSpellingBits = 12;

    struct Spelling {
        std::uint64_t bits = 0;
        std::uint32_t length = 0;  // 0: empty
        char text[28];
    };

    Problems& m_problems;
    Sink m_out;
    Drain m_drain;
    std::vector<Spelling> m_spellings = std::vector<Spelling>(size_t{1} << kSpellingBits);
    std::string m_utf8;  // conversion buffers, reused
    std::string m_gbk;
};

std::string Serialize(const MapDocument& document, Problems& problems) {
    std::string text;
    // More than a map takes per object, so that the text is not copied as it
    // grows: pages reserved and never written cost no memory.
    text.reserve(4096 + document.objects().size() * 1024);
    MapWriter(problems, text).Write(document);
    return text;
}

std::string SystemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

bool WriteAll(int fd, std::string_view text, int& error) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// ---- Saving -----------------------------------------------------------------

constexpr const char* kTemporarySuffix = ".tmp";
constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on symbolic links in a path

// The file a save replaces. A symbolic link is followed to the file it names,
// so that the link stays and the real file gets the map; a target that is not
// a regular file, or that the user may not write, is refused as a desktop
// save refuses it, rather than silently replaced.
bool ResolveSaveTarget(const std::string& path, std::string& resolved, std::string& error) {
    std::filesystem::path current(path);
    for (int hop = 0;; ++hop) {
        if (current.filename().empty()) {
            error = "\"" + current.string() + "\" names a folder, not a file";
            return false;
        }
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT) break;  // a new file, perhaps named by a dangling link
            error = SystemError("cannot look at \"" + current.string() + "\"", errno);
            return false;
        }
        if (!S_ISLNK(info.st_mode)) {
            if (!S_ISREG(info.st_mode)) {
                error = "\"" + current.string() + "\" " + NotARegularFile(info.st_mode) + "; a map is saved only into a file";
                return false;
            }
            if (::access(current.c_str(), W_OK) != 0) {
                error = SystemError("\"" + current.string() + "\" may not be written by you", errno);
                return false;
            }
            break;
        }
        if (hop == kMaxLinkHops) {
            error = "\"" + path + "\" leads through more than " + std::to_string(kMaxLinkHops) + " symbolic links";
            return false;
        }
        std::string target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0) {
            error = SystemError("cannot read the symbolic link \"" + current.string() + "\"", errno);
            return false;
        }
        target.resize(static_cast<size_t>(length));
        const std::filesystem::path next(target);
        current = next.is_absolute() || !current.has_parent_path() ? next : current.parent_path() / next;
    }
    resolved = current.string();
    return true;
}

// "." + the target's name (cut, where needed, so that the temporary's name
// stays within the folder's name length limit) + "~". A pid, an attempt
// number and ".tmp" follow.
std::string TemporaryPrefix(const std::filesystem::path& folder, const std::string& name) {
    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    // "~", up to ten digits of pid, "-", up to two of attempt, ".tmp", and the leading ".".
    const size_t room = static_cast<size_t>(limit) > 19 ? static_cast<size_t>(limit) - 19 : 1;
    size_t cut = std::min(name.size(), room);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    return "." + name.substr(0, cut) + "~";
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A save that is killed leaves its temporary behind. The next save of the
// same file removes those whose process is gone, so that an interrupted save
// of a large map does not hold its disk space for ever. Temporaries of live
// processes (a save running now) are left alone.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& prefix) {
    std::error_code failed;
    for (std::filesystem::directory_iterator it(folder, failed), end; !failed && it != end; it.increment(failed)) {
        const std::string name = it->path().filename().string();
        const size_t suffix = std::strlen(kTemporarySuffix);
        if (name.size() <= prefix.size() + suffix || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0) {
            continue;
        }
        const std::string_view middle = std::string_view(name).substr(prefix.size(), name.size() - prefix.size() - suffix);
        const size_t dash = middle.find('-');
        if (dash == npos || !AllDigits(middle.substr(0, dash)) || !AllDigits(middle.substr(dash + 1))) continue;
        const long long pid = std::stoll(std::string(middle.substr(0, dash)));
        if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
        struct stat info {};
        if (::lstat(it->path().c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(it->path().c_str());
    }
}

}  // namespace

std::string MapLoadResult::Describe(const std::string& fileName) const {
    std::string text;
    for (const MapFileProblem& problem : problems) {
        text += fileName + ": ";
        if (!problem.where.empty()) text += problem.where + ": ";
        text += problem.message + "\n";
    }
    return text;
}

namespace detail {

bool TextToGbk(std::string_view utf8, std::string& gbk) {
    std::string failure;
    return ConvertToGbk(utf8, gbk, failure);
}

std::string QuoteKey(std::string_view key) { return QuoteJson(std::string(key)); }

void AppendCompact(std::string_view json, std::string& out) { host::AppendCompact(json, out); }

bool KeptTextLoads(std::string_view kept, size_t depth) {
    Json tree;
    std::string failure;
    return KeptReader(kept, depth).Read(tree, failure);
}

MapLoadResult ParseMapThorough(std::string_view jsonText, MapDocument& document) {
    MapLoadResult result;
    Problems& problems = result.problems;
    if (!CheckUtf8(jsonText, problems)) return result;
    const size_t skip = HasBom(jsonText) ? 3 : 0;
    if (!CheckNul(jsonText, skip, problems)) return result;
    const std::string_view body = std::string_view(jsonText).substr(skip);
    if (const size_t deep = FindTooDeep(body, kMaxDepth); deep != npos) {
        problems.push_back({LineColumn(jsonText, skip + deep),
                            "nested deeper than " + std::to_string(kMaxDepth) + " levels; no map needs that many"});
        return result;
    }
    MapDocument loaded;
    TreeBuilder builder(body, problems);
    MapReader reader(problems, builder.kept(), loaded);
    builder.SetSink(&reader);
    const bool parsed = Json::sax_parse(body, &builder, nlohmann::detail::input_format_t::json, true, false);
    if (!parsed && !builder.failed()) {
        problems.push_back({"", "the text could not be read as JSON"});
        return result;
    }
    if (builder.failed()) {
        problems.push_back({LineColumn(jsonText, skip + TokenStart(body, builder.errorPosition())), builder.errorMessage()});
        return result;
    }
    reader.Read(builder.root());
    if (!problems.empty()) return result;
    document = std::move(loaded);
    document.setModified(false);
    result.ok = true;
    return result;
}

}  // namespace detail

MapLoadResult ParseMap(const std::string& jsonText, MapDocument& document) {
    MapLoadResult result;
    if (detail::ParseMapFast(jsonText, jsonText.capacity(), document)) {
        result.ok = true;
        return result;
    }
    return detail::ParseMapThorough(jsonText, document);
}

MapLoadResult LoadMapFile(const std::string& path, MapDocument& document) {
    MapLoadResult result;
    std::string text;
    std::string error;
    // Folders, pipes, devices and files far beyond any real map are refused
    // before a byte is read, so that /dev/zero cannot exhaust the memory.
    // Room for the fast loader's padding, so that it reads the text where it
    // lies instead of copying a file that may be half a gigabyte.
    std::error_code sizeUnknown;
    const std::uintmax_t size = std::filesystem::file_size(path, sizeUnknown);
    if (!sizeUnknown && size <= kMaxMapFileBytes) text.reserve(static_cast<size_t>(size) + detail::FastParsePadding());
    if (!ReadInputFile(path, kMaxMapFileBytes, text, error)) {
        result.problems.push_back({"", "the map file " + error});
        return result;
    }
    // The fast loader hands back the pages it has read; a map it gives up is
    // read again for the thorough loader, which reports on it as it is now.
    if (detail::ParseMapFast(text, text.capacity(), document, true)) {
        result.ok = true;
        return result;
    }
    text.clear();
    text.shrink_to_fit();
    if (!ReadInputFile(path, kMaxMapFileBytes, text, error)) {
        result.problems.push_back({"", "the map file " + error});
        return result;
    }
    return detail::ParseMapThorough(text, document);
}

std::string SerializeMap(const MapDocument& document) {
    Problems problems;
    return Serialize(document, problems);
}

bool SaveMapFile(const std::string& path, const MapDocument& document, std::string& error) {
    // The text goes to the temporary file as it is written, so that a large
    // map is never held twice, as a document and as its text. What can go
    // wrong is still reported in the order a user needs it: what the map
    // itself cannot hold first, then its size, then the target and the disk.
    std::string resolved;
    std::string targetError;
    const bool targetOk = ResolveSaveTarget(path, resolved, targetError);
    const std::filesystem::path target(resolved);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string temporary;
    std::string createError;
    int fd = -1;
    if (targetOk) {
        const std::string prefix = TemporaryPrefix(folder, target.filename().string());
        RemoveStaleTemporaries(folder, prefix);
        // The temporary sits beside the target so that the rename stays within
        // one file system and is atomic.
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            temporary = (folder / (prefix + std::to_string(::getpid()) + "-" + std::to_string(attempt) + kTemporarySuffix)).string();
            fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) {
                createError = SystemError("cannot create a temporary file in \"" + folder.string() + "\"", errno);
                break;
            }
        }
        if (fd < 0 && createError.empty()) {
            createError = "cannot create a temporary file in \"" + folder.string() + "\": every name is taken";
        }
    }
    Problems problems;
    size_t written = 0;
    int writeCode = 0;
    const auto drain = [&](std::string_view piece) {
        written += piece.size();
        if (fd >= 0 && writeCode == 0 && written <= kMaxMapFileBytes) WriteAll(fd, piece, writeCode);
    };
    {
        std::string buffer;
        buffer.reserve(2 << 20);
        MapWriter(problems, buffer, drain).Write(document);
        drain(buffer);
    }
    const auto discard = [&] {
        if (fd < 0) return;
        ::close(fd);
        fd = -1;
        ::unlink(temporary.c_str());
    };
    if (!problems.empty()) {
        discard();
        error = "the map cannot be saved without loss:";
        for (const MapFileProblem& problem : problems) error += "\n" + problem.where + ": " + problem.message;
        return false;
    }
    if (written > kMaxMapFileBytes) {
        discard();
        error = "the map would be " + std::to_string(written) + " bytes, over the " +
                std::to_string(kMaxMapFileBytes) + "-byte limit of map files, and would not load back";
        return false;
    }
    if (!targetOk) {
        error = targetError;
        return false;
    }
    if (fd < 0) {
        error = createError;
        return false;
    }
    const auto fail = [&](const std::string& what, int code) {
        discard();
        error = SystemError(what, code);
        return false;
    };
    if (writeCode != 0) return fail("cannot write \"" + temporary + "\"", writeCode);
    // A saved map keeps the permissions and, where we may, the owner of the
    // file it replaces.
    struct stat existing {};
    if (::stat(resolved.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
        if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
            // Only a privileged user may give a file away; the new file is then ours.
        }
    }
    if (::fsync(fd) != 0) return fail("cannot flush \"" + temporary + "\" to disk", errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        error = SystemError("cannot close \"" + temporary + "\"", code);
        return false;
    }
    if (::rename(temporary.c_str(), resolved.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        error = SystemError("cannot replace \"" + resolved + "\"", code);
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace host
