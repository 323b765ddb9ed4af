// The fast map loader: builds the document straight from the text with an
// on-demand JSON parser and gives up, leaving the document untouched, at the
// first thing the thorough loader would report or that it leaves to it (whole
// numbers written with a fraction, the object form of records, escaped keys
// it cannot compare cheaply). Every rule here mirrors one of the thorough
// loader's in MapFile.cpp; the differential tests and the map fuzzer hold the
// two to the same documents.
#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "host/MapFileDetail.h"

namespace host::detail {

namespace {

namespace od = simdjson::ondemand;

constexpr long long kLongMax = std::numeric_limits<LONG>::max();
constexpr long long kLongMin = std::numeric_limits<LONG>::min();
constexpr long long kDwordMax = std::numeric_limits<DWORD>::max();
constexpr long long kMaxColour = 0xFFFFFF;
constexpr std::string_view kFormatName = "jdmap";
constexpr long long kFormatVersion = 1;

#define JD_FAST_TRY(expression)                                   \
    do {                                                          \
        if ((expression) != simdjson::SUCCESS) return false;      \
    } while (false)

// Keys of each part of the file, by a bit each, so that a key seen twice is
// caught (the thorough loader reports it).
enum RootKey { kFormat, kVersion, kProject, kCurrentColour, kView, kLayers, kSymbols, kObjects };
enum ObjectKey {
    kId, kHandle, kType, kKind, kName, kLayer, kColour, kFlags, kLocked, kLine, kInsertion, kOutline,
    kSymbol, kSize, kRotation, kFrom, kTo, kLineProperty, kLabels, kFields, kMotor, kNotes
};

int Lookup(std::string_view key, std::initializer_list<std::string_view> names) {
    int code = 0;
    for (const std::string_view name : names) {
        if (name == key) return code;
        ++code;
    }
    return -1;
}

int ObjectKeyCode(std::string_view key) {
    // By length first: most keys are told apart by it and one comparison.
    switch (key.size()) {
        case 2: return key == "id" ? kId : key == "to" ? kTo : -1;
        case 4:
            return key == "type" ? kType : key == "kind" ? kKind : key == "name" ? kName : key == "line" ? kLine
                 : key == "size" ? kSize : key == "from" ? kFrom : -1;
        case 5: return key == "layer" ? kLayer : key == "flags" ? kFlags : key == "motor" ? kMotor : key == "notes" ? kNotes : -1;
        case 6:
            return key == "handle" ? kHandle : key == "colour" ? kColour : key == "locked" ? kLocked
                 : key == "symbol" ? kSymbol : key == "labels" ? kLabels : key == "fields" ? kFields : -1;
        case 7: return key == "outline" ? kOutline : -1;
        case 8: return key == "rotation" ? kRotation : -1;
        case 9: return key == "insertion" ? kInsertion : -1;
        case 12: return key == "lineProperty" ? kLineProperty : -1;
        default: return -1;
    }
}

// Marks a key as seen; false when it was seen before.
bool FirstTime(unsigned& seen, int code) {
    const unsigned bit = 1u << code;
    if (seen & bit) return false;
    seen |= bit;
    return true;
}

// A string token's text when it holds no escape, read where it lies: the
// parser has already checked its UTF-8 and that no control character stands
// in it raw. Unescaping every key and text instead would copy most of the file
// into the parser's string buffer.
bool PlainString(std::string_view token, std::string_view& out) {
    if (token.empty() || token[0] != '"') return false;
    for (size_t i = 1; i < token.size(); ++i) {
        if (token[i] == '"') {
            out = token.substr(1, i - 1);
            return true;
        }
        if (token[i] == '\\') return false;
    }
    return false;
}

// A member's key, unescaped only when it has escapes.
template <typename Member>
bool KeyOf(Member& member, std::string_view& key) {
    od::raw_json_string raw;
    JD_FAST_TRY(member.key().get(raw));
    const char* start = raw.raw();
    const char* end = start;
    while (*end != '"' && *end != '\\') ++end;
    if (*end == '"') {
        key = std::string_view(start, static_cast<size_t>(end - start));
        return true;
    }
    return member.unescaped_key().get(key) == simdjson::SUCCESS;
}

// A text value, unescaped only when it has escapes.
bool StringOf(od::value& value, std::string_view& out) {
    if (PlainString(value.raw_json_token(), out)) return true;
    return value.get_string().get(out) == simdjson::SUCCESS;
}

class FastReader {
public:
    // release: a text the loader may give back to the system as it goes.
    FastReader(MapDocument& document, od::document& json, std::string_view release)
        : m_document(document), m_json(json), m_release(release) {}

    bool Read() {
        od::document& json = m_json;
        od::object root;
        JD_FAST_TRY(json.get_object().get(root));
        unsigned seen = 0;
        Kept kept;
        for (auto member : root) {
            std::string_view key;
            if (!KeyOf(member, key)) return false;
            od::value value;
            JD_FAST_TRY(member.value().get(value));
            const int code = Lookup(key, {"format", "version", "project", "currentColour", "view", "layers", "symbols", "objects"});
            if (code < 0) {
                if (!kept.Add(key, value)) return false;
                continue;
            }
            if (!FirstTime(seen, code)) return false;
            bool ok = false;
            switch (code) {
                case kFormat: {
                    std::string_view format;
                    ok = StringOf(value, format) && format == kFormatName;
                    break;
                }
                case kVersion: {
                    int64_t version = 0;
                    ok = value.get_int64().get(version) == simdjson::SUCCESS && version == kFormatVersion;
                    break;
                }
                case kProject: ok = ReadProject(value); break;
                case kCurrentColour: {
                    long long colour = 0;
                    ok = Integer(value, -1, kMaxColour, colour);
                    m_document.setCurrentColour(static_cast<LONG>(colour));
                    break;
                }
                case kView: ok = ReadView(value); break;
                case kLayers: ok = ReadList(value, &FastReader::ReadLayer); break;
                case kSymbols: ok = ReadList(value, &FastReader::ReadSymbol); break;
                case kObjects: ok = ReadObjects(value); break;
            }
            if (!ok) return false;
        }
        const unsigned required = 1u << kFormat | 1u << kVersion | 1u << kLayers | 1u << kObjects;
        if ((seen & required) != required) return false;
        // Anything after the map's closing bracket is more than a map.
        const char* rest = nullptr;
        if (json.current_location().get(rest) == simdjson::SUCCESS) return false;
        if (!kept.Finish(1, m_document.extraJson())) return false;
        return CheckReferences();
    }

private:
    // Unknown keys of one object, kept as their text the way the thorough
    // loader keeps them: "key":value,... without white space between tokens.
    class Kept {
    public:
        bool Add(std::string_view key, od::value& value) {
            for (const std::string_view earlier : m_keys) {
                if (earlier == key) return false;
            }
            m_keys.push_back(key);
            std::string_view raw;
            od::json_type type;
            JD_FAST_TRY(value.type().get(type));
            if (type == od::json_type::object) {
                od::object object;
                JD_FAST_TRY(value.get_object().get(object));
                JD_FAST_TRY(object.raw_json().get(raw));
            } else if (type == od::json_type::array) {
                od::array array;
                JD_FAST_TRY(value.get_array().get(array));
                JD_FAST_TRY(array.raw_json().get(raw));
            } else {
                raw = value.raw_json_token();
            }
            if (!m_text.empty()) m_text += ',';
            if (key.find('\\') == std::string_view::npos && key.find('"') == std::string_view::npos &&
                std::none_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
                m_text += '"';
                m_text += key;
                m_text += '"';
            } else {
                m_text += QuoteKey(key);
            }
            m_text += ':';
            AppendCompact(raw, m_text);
            return true;
        }
        // The kept text goes through the same strict reading the writer gives
        // it: the parser passes over a value it is not asked for without
        // checking all of it, so this is where an unknown value is checked.
        bool Finish(size_t depth, std::string& out) {
            if (m_text.empty()) return true;
            std::string text;
            text.reserve(m_text.size() + 2);
            text += '{';
            text += m_text;
            text += '}';
            if (!KeptTextLoads(text, depth)) return false;
            out = std::move(text);
            return true;
        }

    private:
        std::vector<std::string_view> m_keys;
        std::string m_text;
    };

    static bool Integer(od::value& value, long long min, long long max, long long& out) {
        int64_t number = 0;
        JD_FAST_TRY(value.get_int64().get(number));
        if (number < min || number > max) return false;
        out = number;
        return true;
    }
    static bool Long(od::value& value, LONG& out, long long min = kLongMin, long long max = kLongMax) {
        long long wide = 0;
        if (!Integer(value, min, max, wide)) return false;
        out = static_cast<LONG>(wide);
        return true;
    }
    static bool Number(od::value& value, double& out) {
        const std::string_view token = value.raw_json_token();
        JD_FAST_TRY(value.get_double().get(out));
        // The thorough loader reads "-0" as the whole number 0, which has no sign.
        if (out == 0.0 && std::signbit(out) && token.find_first_of(".eE") == std::string_view::npos) out = 0.0;
        return true;
    }
    static bool Boolean(od::value& value, bool& out) { return value.get_bool().get(out) == simdjson::SUCCESS; }

    bool Text(od::value& value, CString& out, size_t maxBytes = 0) {
        std::string_view utf8;
        if (!StringOf(value, utf8)) return false;
        if (utf8.find('\0') != std::string_view::npos) return false;
        if (!TextToGbk(utf8, m_gbk)) return false;
        if (maxBytes != 0 && m_gbk.size() > maxBytes) return false;
        out = CString(std::string_view(m_gbk));
        return true;
    }
    // Kind names repeat across the whole map: each is converted once.
    bool Kind(od::value& value, CString& out) {
        std::string_view utf8;
        if (!StringOf(value, utf8)) return false;
        const auto it = m_kinds.find(utf8);
        if (it != m_kinds.end()) {
            out = it->second;
            return true;
        }
        std::string gbk;
        if (utf8.find('\0') != std::string_view::npos || !TextToGbk(utf8, gbk) || gbk.size() > kMaxNameBytes) return false;
        out = CString(gbk);
        m_kinds.emplace(std::string(utf8), CString(std::move(gbk)));
        return true;
    }

    // [x, y] or [x, y, z].
    static bool Point(od::value& value, Point3& out) {
        double xyz[3] = {0.0, 0.0, 0.0};
        size_t count = 0;
        if (!Numbers(value, xyz, 3, count) || count < 2) return false;
        out = Point3{xyz[0], xyz[1], xyz[2]};
        return true;
    }
    static bool Numbers(od::value& value, double* out, size_t most, size_t& count) {
        od::array array;
        JD_FAST_TRY(value.get_array().get(array));
        count = 0;
        for (auto item : array) {
            od::value number;
            JD_FAST_TRY(item.get(number));
            if (count == most || !Number(number, out[count])) return false;
            ++count;
        }
        return true;
    }
    static bool ExactNumbers(od::value& value, double* out, size_t exactly) {
        size_t count = 0;
        return Numbers(value, out, exactly, count) && count == exactly;
    }

    // An object's members: each known key (its place in `names`) once, to
    // `read(code, value)`; an unknown key is kept in `kept` where the map
    // keeps such keys, and elsewhere sends the map to the thorough loader.
    template <typename ReadField>
    static bool ForEachMember(od::object& object, std::initializer_list<std::string_view> names, unsigned& seen,
                              Kept* kept, ReadField read) {
        for (auto member : object) {
            std::string_view key;
            if (!KeyOf(member, key)) return false;
            od::value item;
            JD_FAST_TRY(member.value().get(item));
            const int code = Lookup(key, names);
            if (code < 0) {
                if (!kept || !kept->Add(key, item)) return false;
                continue;
            }
            if (!FirstTime(seen, code) || !read(code, item)) return false;
        }
        return true;
    }

    template <typename ReadItem>
    bool ReadList(od::value& value, ReadItem read) {
        od::array array;
        JD_FAST_TRY(value.get_array().get(array));
        for (auto item : array) {
            od::object object;
            JD_FAST_TRY(item.get_object().get(object));
            if (!(this->*read)(object)) return false;
        }
        return true;
    }

    bool ReadProject(od::value& value) {
        od::object object;
        JD_FAST_TRY(value.get_object().get(object));
        ProjectSettings& project = m_document.project();
        unsigned seen = 0;
        Kept kept;
        const bool ok = ForEachMember(object, {"name", "lowVoltage", "highVoltage"}, seen, &kept,
                                      [&](int code, od::value& item) {
                                          return code == 0 ? Text(item, project.name)
                                               : code == 1 ? Long(item, project.lowVoltage, 0)
                                                           : Long(item, project.highVoltage, 0);
                                      });
        return ok && kept.Finish(2, project.extraJson);
    }

    bool ReadView(od::value& value) {
        od::object object;
        JD_FAST_TRY(value.get_object().get(object));
        MapView& view = m_document.view();
        unsigned seen = 0;
        const bool ok = ForEachMember(object, {"originX", "originY", "scale"}, seen, nullptr,
                                      [&](int code, od::value& item) {
                                          return Number(item, code == 0   ? view.originX
                                                              : code == 1 ? view.originY
                                                                          : view.scale);
                                      });
        return ok && view.scale > 0.0;
    }

    bool ReadLayer(od::object& object) {
        Layer layer;
        unsigned seen = 0;
        Kept kept;
        const bool ok = ForEachMember(object, {"id", "name", "colour"}, seen, &kept, [&](int code, od::value& item) {
            return code == 0 ? Long(item, layer.id, 0)
                 : code == 1 ? Text(item, layer.name)
                             : Long(item, layer.colour, 0, kMaxColour);
        });
        if (!ok || seen != 7u || !kept.Finish(3, layer.extraJson)) return false;
        if (!m_layerIds.insert(layer.id).second) return false;
        m_document.layers().push_back(std::move(layer));
        return true;
    }

    bool ReadSymbol(od::object& object) {
        SymbolDefinition symbol;
        unsigned seen = 0;
        Kept kept;
        const bool ok = ForEachMember(object, {"id", "name", "extent"}, seen, &kept, [&](int code, od::value& item) {
            if (code == 0) return Long(item, symbol.id, 0);
            if (code == 1) return Text(item, symbol.name);
            double box[4];
            if (!ExactNumbers(item, box, 4)) return false;
            symbol.x0 = box[0];
            symbol.y0 = box[1];
            symbol.x1 = box[2];
            symbol.y1 = box[3];
            return true;
        });
        if (!ok || seen != 7u || !kept.Finish(3, symbol.extraJson)) return false;
        if (!m_symbolIds.insert(symbol.id).second) return false;
        m_document.symbols().push_back(std::move(symbol));
        return true;
    }

    bool ReadObjects(od::value& value) {
        od::array array;
        JD_FAST_TRY(value.get_array().get(array));
        size_t count = 0;
        JD_FAST_TRY(array.count_elements().get(count));
        m_objects.reserve(count);
        for (auto item : array) {
            od::object object;
            JD_FAST_TRY(item.get_object().get(object));
            m_objects.emplace_back();
            if (!ReadObject(object, m_objects.back())) return false;
            if (m_objects.size() % 1024 == 0) ReleaseReadText();
        }
        return true;
    }

    // The objects make up nearly all of a map, and the parser reads them
    // front to back, never looking behind: the pages of text already read
    // are handed back, so that the text and the growing document are not
    // both held whole, and so are those of the parser's index of the text's
    // structure (four bytes for every brace, bracket, comma, colon and
    // value, written whole before the first object is read: two thirds of
    // the text's size on a map). Only whole pages inside each go, a page
    // short of where the parser reads.
    void ReleaseReadText() {
        if (!m_release.empty()) {
            const char* at = nullptr;
            if (m_json.current_location().get(at) == simdjson::SUCCESS) {
                ReleasePages(m_release.data(), std::min(at, m_release.data() + m_release.size()), m_released);
            }
        }
        const od::json_iterator& iterator = m_json.*DocumentIterator::kIterator;
        ReleasePages(iterator.root_position(), iterator.position(), m_releasedIndex);
    }
    template <class T>
    static void ReleasePages(const T* start, const T* reached, uintptr_t& released) {
        static const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        const uintptr_t begin = std::max(reinterpret_cast<uintptr_t>(start), released);
        const uintptr_t first = (begin + page - 1) / page * page;
        const uintptr_t end = reinterpret_cast<uintptr_t>(reached);
        const uintptr_t last = (end - std::min(end, page)) / page * page;
        if (last <= first + page) return;
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
        released = last;
    }
    // Where the parser reads in its index: the document keeps its iterator
    // to itself, a member pointer named through a class of our own reaches it.
    struct DocumentIterator : od::document {
        static constexpr od::json_iterator od::document::*kIterator = &DocumentIterator::iter;
    };

    // A line end as read: null is no object; a number is checked once the
    // object is known to be a line.
    struct End {
        bool present = false;
        bool null = false;
        int64_t entity = 0;
    };
    static bool ReadEnd(od::value& value, End& end) {
        end.present = true;
        bool isNull = false;
        JD_FAST_TRY(value.is_null().get(isNull));
        if (isNull) {
            end.null = true;
            return true;
        }
        return value.get_int64().get(end.entity) == simdjson::SUCCESS;
    }
    static bool ApplyEnd(const End& end, bool isLine, LONG& out) {
        if (!end.present || end.null) return true;
        if (!isLine || end.entity < 1 || end.entity > kLongMax) return false;
        out = static_cast<LONG>(end.entity);
        return true;
    }

    bool ReadObject(od::object& json, MapObject& object) {
        unsigned seen = 0;
        Kept kept;
        bool lineGiven = false;
        End from, to;
        for (auto member : json) {
            std::string_view key;
            if (!KeyOf(member, key)) return false;
            od::value value;
            JD_FAST_TRY(member.value().get(value));
            const int code = ObjectKeyCode(key);
            if (code < 0) {
                if (!kept.Add(key, value)) return false;
                continue;
            }
            if (!FirstTime(seen, code)) return false;
            bool ok = true;
            switch (code) {
                case kId: ok = Long(value, object.entityId, 1); break;
                case kHandle: ok = Long(value, object.handle, 1); break;
                case kType: ok = Long(value, object.entityType, 0); break;
                case kKind: ok = Kind(value, object.kind); break;
                case kName: ok = Text(value, object.name, kMaxNameBytes); break;
                case kLayer: ok = Long(value, object.layer, 0); break;
                case kColour: ok = Long(value, object.colour, 0, kMaxColour); break;
                case kFlags: {
                    long long flags = 0;
                    ok = Integer(value, 0, kDwordMax, flags);
                    object.flags = static_cast<DWORD>(flags);
                    break;
                }
                case kLocked: ok = Boolean(value, object.settingLocked); break;
                case kLine: ok = Boolean(value, object.isLine); lineGiven = true; break;
                case kInsertion: ok = Point(value, object.insertion); break;
                case kOutline: ok = ReadOutline(value, object.outline); break;
                case kSymbol: {
                    bool isNull = false;
                    ok = value.is_null().get(isNull) == simdjson::SUCCESS && (isNull || Long(value, object.symbol, 0));
                    break;
                }
                case kSize: {
                    double wh[2];
                    ok = ExactNumbers(value, wh, 2);
                    object.width = wh[0];
                    object.height = wh[1];
                    break;
                }
                case kRotation: ok = Number(value, object.rotation); break;
                case kFrom: ok = ReadEnd(value, from); break;
                case kTo: ok = ReadEnd(value, to); break;
                case kLineProperty: ok = Long(value, object.lineProperty); break;
                case kLabels: ok = ReadLabels(value, object.labels); break;
                case kFields: ok = ReadFields(value, object.fields); break;
                case kMotor: {
                    bool isNull = false;
                    ok = value.is_null().get(isNull) == simdjson::SUCCESS && (isNull || ReadMotor(value, object.motor.emplace()));
                    break;
                }
                case kNotes: ok = ReadNotes(value, object.notes); break;
            }
            if (!ok) return false;
        }
        const unsigned required = 1u << kId | 1u << kHandle | 1u << kType | 1u << kKind | 1u << kLayer;
        if ((seen & required) != required) return false;
        if (!lineGiven) object.isLine = object.entityType == EntityType::Line;
        if (!ApplyEnd(from, object.isLine, object.fromEntity) || !ApplyEnd(to, object.isLine, object.toEntity)) return false;
        return kept.Finish(3, object.extraJson);
    }

    static bool ReadOutline(od::value& value, std::vector<Point3>& outline) {
        od::array array;
        JD_FAST_TRY(value.get_array().get(array));
        for (auto item : array) {
            od::value point;
            JD_FAST_TRY(item.get(point));
            if (!Point(point, outline.emplace_back())) return false;
        }
        outline.shrink_to_fit();
        return true;
    }

    bool ReadLabels(od::value& value, std::vector<Label>& labels) {
        od::array array;
        JD_FAST_TRY(value.get_array().get(array));
        for (auto item : array) {
            od::object object;
            JD_FAST_TRY(item.get_object().get(object));
            Label& label = labels.emplace_back();
            unsigned seen = 0;
            const bool ok = ForEachMember(object, {"text", "style", "placement"}, seen, nullptr,
                                          [&](int code, od::value& field) {
                                              return code == 0 ? Text(field, label.text)
                                                   : code == 1 ? Long(field, label.style)
                                                               : Long(field, label.placement);
                                          });
            if (!ok || !(seen & 1u)) return false;
        }
        labels.shrink_to_fit();
        return true;
    }

    // Record numbers are digits without a leading zero, so each has one spelling.
    static bool RecordNumber(std::string_view key, LONG& out) {
        if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return false;
        long long number = 0;
        for (const char c : key) {
            if (c < '0' || c > '9') return false;
            number = number * 10 + (c - '0');
        }
        if (number > kLongMax) return false;
        out = static_cast<LONG>(number);
        return true;
    }

    bool ReadFields(od::value& value, std::map<LONG, AttributeRow>& fields) {
        od::object object;
        JD_FAST_TRY(value.get_object().get(object));
        for (auto member : object) {
            std::string_view key;
            if (!KeyOf(member, key)) return false;
            LONG number = 0;
            if (!RecordNumber(key, number)) return false;
            od::value field;
            JD_FAST_TRY(member.value().get(field));
            od::array texts;
            JD_FAST_TRY(field.get_array().get(texts));  // the object form is left to the thorough loader
            const auto [slot, added] = fields.try_emplace(number);
            if (!added) return false;
            AttributeRow& row = slot->second;
            for (auto item : texts) {
                od::value text;
                JD_FAST_TRY(item.get(text));
                if (!Text(text, row.emplace_back())) return false;
            }
            row.shrink_to_fit();
        }
        return true;
    }

    bool ReadMotor(od::value& value, MotorData& motor) {
        od::object object;
        JD_FAST_TRY(value.get_object().get(object));
        unsigned seen = 0;
        const bool ok = ForEachMember(
            object,
            {"ratedPowerKW", "ratedCurrentA", "ratedVoltageV", "startCurrentA", "powerFactor", "running", "groupStart"},
            seen, nullptr, [&](int code, od::value& field) {
                switch (code) {
                    case 0: return Number(field, motor.ratedPowerKW);
                    case 1: return Number(field, motor.ratedCurrentA);
                    case 2: return Number(field, motor.ratedVoltageV);
                    case 3: return Number(field, motor.startCurrentA);
                    case 4: return Number(field, motor.powerFactor);
                    case 5: return Boolean(field, motor.running);
                    default: return Boolean(field, motor.groupStart);
                }
            });
        return ok && (seen & 0x1Fu) == 0x1Fu;  // the five numbers are required
    }

    bool ReadNotes(od::value& value, std::map<std::string, CString>& notes) {
        od::object object;
        JD_FAST_TRY(value.get_object().get(object));
        for (auto member : object) {
            std::string_view key;
            if (!KeyOf(member, key)) return false;
            od::value text;
            JD_FAST_TRY(member.value().get(text));
            const auto [slot, added] = notes.try_emplace(std::string(key));
            if (!added || !Text(text, slot->second)) return false;
        }
        return true;
    }

    // Ids and handles once each, and every reference naming something that exists.
    bool CheckReferences() {
        std::unordered_map<LONG, bool> isLineById;  // entity id -> the object is a line
        std::unordered_set<LONG> handles;
        isLineById.reserve(m_objects.size());
        handles.reserve(m_objects.size());
        for (const MapObject& object : m_objects) {
            if (!isLineById.emplace(object.entityId, object.isLine).second) return false;
            if (!handles.insert(object.handle).second) return false;
            if (!m_layerIds.count(object.layer)) return false;
            if (object.symbol >= 0 && !m_symbolIds.count(object.symbol)) return false;
        }
        for (const MapObject& object : m_objects) {
            if (!object.isLine) continue;
            for (const LONG end : {object.fromEntity, object.toEntity}) {
                if (end == 0) continue;
                const auto it = isLineById.find(end);
                if (it == isLineById.end() || it->second) return false;
            }
        }
        m_document.objects() = std::move(m_objects);
        return true;
    }

    MapDocument& m_document;
    od::document& m_json;
    std::string_view m_release;
    uintptr_t m_released = 0;
    uintptr_t m_releasedIndex = 0;
    std::vector<MapObject> m_objects;
    std::string m_gbk;  // conversion buffer, reused
    std::unordered_set<LONG> m_layerIds;
    std::unordered_set<LONG> m_symbolIds;
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, CString, TextHash, std::equal_to<>> m_kinds;
};

}  // namespace

size_t FastParsePadding() { return simdjson::SIMDJSON_PADDING; }

bool ParseMapFast(std::string_view text, size_t capacity, MapDocument& document, bool releaseText) {
    const std::string_view whole = text;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
        capacity -= 3;
    }
    // The thorough loader reports every NUL byte; the parser need not see one.
    if (std::memchr(text.data(), 0, text.size()) != nullptr) return false;
    od::parser parser;
    od::document json;
    std::unique_ptr<simdjson::padded_string> copy;
    if (capacity >= text.size() + simdjson::SIMDJSON_PADDING) {
        if (parser.iterate(simdjson::padded_string_view(text.data(), text.size(), capacity)).get(json)) return false;
    } else {
        copy = std::make_unique<simdjson::padded_string>(text.data(), text.size());
        if (parser.iterate(*copy).get(json)) return false;
    }
    MapDocument loaded;
    if (!FastReader(loaded, json, releaseText ? whole : std::string_view()).Read()) return false;
    // The parser's buffers go before the index is built.
    json = od::document();
    parser = od::parser();
    copy.reset();
    loaded.Reindex();
    loaded.setModified(false);
    document = std::move(loaded);
    return true;
}

}  // namespace host::detail
