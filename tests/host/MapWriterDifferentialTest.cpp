// The map writer against a plain writer kept here: the same document built as
// a tree of the JSON library, texts converted one by one, numbers printed by
// the library's dump, laid out by the rules of the format. The writer copies
// texts and spellings straight into its output and checks its objects as it
// writes them; every byte and every reported problem must stay as the plain
// forms give them.
#include "host/MapFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/MapDocument.h"
#include "platform/Gbk.h"

namespace host {
namespace {

using Json = nlohmann::ordered_json;

// ---- The plain writer ---------------------------------------------------------

bool Flat(const Json& value) {
    return std::none_of(value.begin(), value.end(), [](const Json& v) { return v.is_structured(); });
}

std::string Scalar(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::strict); }

// Two-space indent; arrays of plain values on one line; in a list, objects of
// at most four plain values on one line.
void Print(const Json& value, size_t indent, std::string& out, bool inList = false) {
    if (value.is_object() && !value.empty()) {
        if (inList && value.size() <= 4 && Flat(value)) {
            out += "{";
            for (auto it = value.begin(); it != value.end(); ++it) {
                out += (it == value.begin() ? "" : ", ") + Scalar(Json(it.key())) + ": " + Scalar(it.value());
            }
            out += "}";
            return;
        }
        out += "{\n";
        for (auto it = value.begin(); it != value.end(); ++it) {
            out += (it == value.begin() ? "" : ",\n") + std::string(indent + 2, ' ') + Scalar(Json(it.key())) + ": ";
            Print(it.value(), indent + 2, out);
        }
        out += "\n" + std::string(indent, ' ') + "}";
    } else if (value.is_array() && !value.empty()) {
        if (Flat(value)) {
            out += "[";
            for (size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + Scalar(value[i]);
            out += "]";
            return;
        }
        out += "[\n";
        for (size_t i = 0; i < value.size(); ++i) {
            out += (i ? ",\n" : "") + std::string(indent + 2, ' ');
            Print(value[i], indent + 2, out, true);
        }
        out += "\n" + std::string(indent, ' ') + "]";
    } else {
        out += Scalar(value);
    }
}

Json Text(const CString& gbk) { return GbkToUtf8(gbk.view()); }

// Whole numbers as integers (no decimal point), the rest as the library prints a double.
Json Number(double value) {
    if (std::floor(value) == value && std::fabs(value) < 9007199254740992.0) return static_cast<long long>(value);
    return value;
}

Json Numbers(std::initializer_list<double> values) {
    Json list = Json::array();
    for (const double value : values) list.push_back(Number(value));
    return list;
}

Json Point(const Point3& p) { return Numbers({p.x, p.y, p.z}); }

void AddKept(const std::string& kept, Json& into) {
    if (kept.empty()) return;
    const Json parsed = Json::parse(kept);
    for (auto it = parsed.begin(); it != parsed.end(); ++it) into[it.key()] = it.value();
}

Json ObjectTree(const MapObject& o) {
    Json j;
    j["id"] = o.entityId;
    j["handle"] = o.handle;
    j["type"] = o.entityType;
    j["kind"] = Text(o.kind);
    j["name"] = Text(o.name);
    j["layer"] = o.layer;
    j["colour"] = o.colour;
    if (o.flags != 0) j["flags"] = o.flags;
    if (o.settingLocked) j["locked"] = true;
    if (o.isLine != (o.entityType == EntityType::Line)) j["line"] = o.isLine;
    if (!(o.insertion == Point3{})) j["insertion"] = Point(o.insertion);
    if (!o.outline.empty()) {
        for (const Point3& p : o.outline) j["outline"].push_back(Point(p));
    }
    if (o.symbol >= 0) j["symbol"] = o.symbol;
    if (o.width != 0.0 || o.height != 0.0) j["size"] = Numbers({o.width, o.height});
    if (o.rotation != 0.0) j["rotation"] = Number(o.rotation);
    if (o.isLine) {
        j["from"] = o.fromEntity == 0 ? Json() : Json(o.fromEntity);
        j["to"] = o.toEntity == 0 ? Json() : Json(o.toEntity);
    }
    if (o.lineProperty != 0) j["lineProperty"] = o.lineProperty;
    for (const Label& label : o.labels) j["labels"].push_back({{"text", Text(label.text)}, {"style", label.style}, {"placement", label.placement}});
    if (!o.fields.empty()) {
        Json& fields = j["fields"] = Json::object();
        for (const auto& [number, row] : o.fields) {
            Json& values = fields[std::to_string(number)] = Json::array();
            for (const CString& value : row) values.push_back(Text(value));
        }
    }
    if (o.motor) {
        const MotorData& m = *o.motor;
        j["motor"] = {{"ratedPowerKW", Number(m.ratedPowerKW)},   {"ratedCurrentA", Number(m.ratedCurrentA)},
                      {"ratedVoltageV", Number(m.ratedVoltageV)}, {"startCurrentA", Number(m.startCurrentA)},
                      {"powerFactor", Number(m.powerFactor)},     {"running", m.running},
                      {"groupStart", m.groupStart}};
    }
    for (const auto& [key, text] : o.notes) j["notes"][key] = Text(text);
    AddKept(o.extraJson, j);
    return j;
}

std::string PlainWriter(const MapDocument& doc) {
    Json root;
    root["format"] = "jdmap";
    root["version"] = 1;
    root["project"] = {{"name", Text(doc.project().name)},
                       {"lowVoltage", doc.project().lowVoltage},
                       {"highVoltage", doc.project().highVoltage}};
    AddKept(doc.project().extraJson, root["project"]);
    root["currentColour"] = doc.currentColour();
    root["view"] = {{"originX", Number(doc.view().originX)}, {"originY", Number(doc.view().originY)}, {"scale", Number(doc.view().scale)}};
    root["layers"] = Json::array();
    for (const Layer& layer : doc.layers()) {
        Json j = {{"id", layer.id}, {"name", Text(layer.name)}, {"colour", layer.colour}};
        AddKept(layer.extraJson, j);
        root["layers"].push_back(j);
    }
    root["symbols"] = Json::array();
    for (const SymbolDefinition& s : doc.symbols()) {
        Json j = {{"id", s.id}, {"name", Text(s.name)}, {"extent", Numbers({s.x0, s.y0, s.x1, s.y1})}};
        AddKept(s.extraJson, j);
        root["symbols"].push_back(j);
    }
    root["objects"] = Json::array();
    for (const MapObject& object : doc.objects()) root["objects"].push_back(ObjectTree(object));
    AddKept(doc.extraJson(), root);
    std::string out;
    Print(root, 0, out);
    return out + "\n";
}

// The object rules in their plain form: the first object of an id or handle
// found by looking from the start.
std::vector<std::string> PlainObjectProblems(const MapDocument& doc) {
    std::vector<std::string> problems;
    const std::vector<MapObject>& objects = doc.objects();
    const auto at = [](size_t i) { return "/objects/" + std::to_string(i); };
    const auto firstWith = [&](auto member, LONG value) {
        for (size_t k = 0; k < objects.size(); ++k) {
            if (objects[k].*member == value) return k;
        }
        return objects.size();
    };
    const auto range = [&](const std::string& where, const char* what, long long value, long long min, long long max) {
        if (value < min || value > max) {
            problems.push_back(where + ": " + what + " " + std::to_string(value) + " is outside " + std::to_string(min) + ".." +
                               std::to_string(max) + " and would not load back");
        }
    };
    const long long longMax = std::numeric_limits<LONG>::max();
    std::map<LONG, bool> layers, symbols;
    for (const Layer& layer : doc.layers()) layers[layer.id] = true;
    for (const SymbolDefinition& symbol : doc.symbols()) symbols[symbol.id] = true;
    for (size_t i = 0; i < objects.size(); ++i) {
        const MapObject& o = objects[i];
        range(at(i) + "/id", "entity id", o.entityId, 1, longMax);
        range(at(i) + "/handle", "handle", o.handle, 1, longMax);
        if (const size_t first = firstWith(&MapObject::entityId, o.entityId); first != i) {
            problems.push_back(at(i) + "/id: entity id " + std::to_string(o.entityId) + " is already used by " + at(first));
        }
        if (const size_t first = firstWith(&MapObject::handle, o.handle); first != i) {
            problems.push_back(at(i) + "/handle: handle " + std::to_string(o.handle) + " is already used by " + at(first));
        }
        range(at(i) + "/type", "the entity type", o.entityType, 0, longMax);
        range(at(i) + "/colour", "the colour", o.colour, 0, 0xFFFFFF);
        if (!layers.count(o.layer) || o.layer < 0) problems.push_back(at(i) + "/layer: no layer has id " + std::to_string(o.layer));
        if (o.symbol >= 0 && !symbols.count(o.symbol)) {
            problems.push_back(at(i) + "/symbol: no symbol definition has id " + std::to_string(o.symbol));
        }
    }
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i].isLine) continue;
        for (const char* side : {"from", "to"}) {
            const LONG end = std::strcmp(side, "from") == 0 ? objects[i].fromEntity : objects[i].toEntity;
            if (end == 0) continue;
            const size_t target = firstWith(&MapObject::entityId, end);
            const std::string where = at(i) + "/" + side + ": ";
            if (end < 0 || target == objects.size()) {
                problems.push_back(where + "no object has entity id " + std::to_string(end));
            } else if (objects[target].isLine) {
                problems.push_back(where + "entity " + std::to_string(end) + " (" + at(target) +
                                   ") is a line; a line starts and ends at symbols or points");
            }
        }
    }
    return problems;
}

// ---- Random documents ---------------------------------------------------------

// GBK characters that come back as themselves, among them some whose second
// byte is '\' (0x5C) or another ASCII character: one that scans its bytes as
// ASCII must not take them for characters of their own.
std::vector<std::string> ExactGbkCharacters() {
    std::vector<std::string> characters;
    for (unsigned lead = 0x81; lead <= 0xFE; lead += 3) {
        for (unsigned trail = 0x40; trail <= 0xFE; trail += (trail >= 0x5A && trail <= 0x60) ? 1 : 7) {
            const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            std::string utf8, back;
            if (TryGbkToUtf8(gbk, utf8) && TryUtf8ToGbk(utf8, back) && back == gbk) characters.push_back(gbk);
        }
    }
    return characters;
}

class Random {
public:
    explicit Random(unsigned seed) : m_random(seed) {}
    int Pick(int n) { return static_cast<int>(m_random() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // Texts of every length around the writer's eight-byte blocks: ASCII,
    // escapes, control characters, GBK characters and mixtures.
    CString Text() {
        static const std::vector<std::string> gbk = ExactGbkCharacters();
        static const char* const ascii[] = {"a", "Z", "0", "-", " ", "/", "#", "~", "\x7F", "\"", "\\", "\n", "\t", "\x01", "\x1F"};
        std::string text;
        const int length = Pick(4) == 0 ? Pick(40) : Pick(12);
        const int escapes = Pick(3);  // 0: none, else a few
        for (int i = 0; i < length; ++i) {
            const int kind = Pick(10);
            if (kind < 4) {
                text += gbk[static_cast<size_t>(Pick(static_cast<int>(gbk.size())))];
            } else if (kind == 4 && escapes) {
                text += ascii[9 + Pick(6)];
            } else {
                text += ascii[Pick(9)];
            }
        }
        return CString(text);
    }

    double Number() {
        switch (Pick(9)) {
            case 0: return Pick(2000) - 1000;                                           // whole
            case 1: return (Pick(200000) - 100000) / 100.0;                             // two decimals
            case 2: return Pick(1000) / 1000.0;                                         // under 1
            case 3: return std::ldexp(static_cast<double>(m_random()), Pick(120) - 60); // any scale
            case 4: {                                                                   // any bits
                for (;;) {
                    const std::uint64_t bits = (static_cast<std::uint64_t>(m_random()) << 32) | m_random();
                    double value;
                    std::memcpy(&value, &bits, sizeof value);
                    if (std::isfinite(value)) return value;
                }
            }
            case 5: {  // where the library's form changes: 1e-5 / 1e-4, 1e15 / 1e16, 2^53, the least values
                static const double edges[] = {1e-5, 1.5e-5, 1e-4, 1.25e-4, 0.001, 123456789012345.6, 1e15 + 0.5,
                                               1e16, 1.5e16, 9007199254740992.0, 9007199254740993.0, -9007199254740994.0,
                                               1e21, 1e22, 1.7976931348623157e308, 2.2250738585072014e-308,
                                               4.9e-324, -4.9e-324, 0.1 + 0.2, 1.0 / 3.0, -0.0, 5e-324 * 3};
                return edges[Pick(static_cast<int>(std::size(edges)))];
            }
            case 6: return std::nextafter(Pick(100) / 10.0, Chance(50) ? 1e9 : -1e9);  // a neighbour of a short decimal
            default: return m_repeated[static_cast<size_t>(Pick(4))];                  // the same values again
        }
    }

private:
    std::mt19937 m_random;
    double m_repeated[4] = {0.85, 126.5, -1143.5, 6.3};
};

// A document its loader takes (when `faults` is 0), with every optional part.
// Ids and handles run up, down or in no order; faults break the object rules.
MapDocument RandomDocument(Random& r, int objects, int faults) {
    MapDocument doc;
    doc.project().name = r.Text();
    doc.project().highVoltage = r.Chance(50) ? 6000 : 10000;
    if (r.Chance(30)) doc.project().extraJson = R"({"author":"x","rev":[1,2.5,{"a":null}]})";
    doc.setCurrentColour(r.Chance(50) ? -1 : r.Pick(0x1000000));
    doc.view() = MapView{r.Number(), r.Number(), 0.25 + r.Pick(8)};
    const int layers = 1 + r.Pick(4);
    for (int i = 0; i < layers; ++i) {
        Layer layer{10 + i, r.Text(), r.Pick(0x1000000), {}};
        if (r.Chance(20)) layer.extraJson = r.Chance(50) ? R"({"lineType":"dash"})" : R"({"a":1,"b":[true]})";
        doc.layers().push_back(layer);
    }
    for (int i = 0; i < 3; ++i) doc.symbols().push_back({100 + i, r.Text(), r.Number(), r.Number(), r.Number(), r.Number(), {}});
    const int order = r.Pick(3);  // rising, falling or shuffled ids and handles
    std::vector<LONG> ids(static_cast<size_t>(objects));
    for (int i = 0; i < objects; ++i) ids[static_cast<size_t>(i)] = order == 1 ? 100000 - 3 * i : 1 + 2 * i;
    std::vector<LONG> handles = ids;
    if (order == 2) {
        std::shuffle(ids.begin(), ids.end(), std::mt19937(static_cast<unsigned>(r.Pick(1000))));
        std::shuffle(handles.begin(), handles.end(), std::mt19937(static_cast<unsigned>(r.Pick(1000))));
    }
    for (int i = 0; i < objects; ++i) {
        MapObject o;
        o.entityId = ids[static_cast<size_t>(i)];
        o.handle = 100000 + handles[static_cast<size_t>(i)];
        o.isLine = r.Chance(30);
        o.entityType = o.isLine ? (r.Chance(90) ? EntityType::Line : EntityType::Symbol) : (r.Chance(90) ? EntityType::Symbol : EntityType::Line);
        o.kind = CString(CutGbk(r.Text().view(), kMaxNameBytes));
        o.name = CString(CutGbk(r.Text().view(), kMaxNameBytes));
        o.layer = 10 + r.Pick(layers);
        o.colour = r.Pick(0x1000000);
        if (r.Chance(10)) o.flags = 0x1000u + static_cast<DWORD>(r.Pick(5));
        o.settingLocked = r.Chance(10);
        if (r.Chance(70)) o.insertion = {r.Number(), r.Number(), r.Chance(80) ? 0.0 : r.Number()};
        for (int k = r.Chance(30) ? 1 + r.Pick(4) : 0; k > 0; --k) o.outline.push_back({r.Number(), r.Number(), 0.0});
        if (r.Chance(60)) o.symbol = 100 + r.Pick(3);
        if (r.Chance(60)) {
            o.width = r.Number();
            o.height = r.Number();
        }
        if (r.Chance(20)) o.rotation = r.Number();
        if (o.isLine && i >= 2) {
            // Ends at earlier objects that are not lines, or at none.
            for (LONG* end : {&o.fromEntity, &o.toEntity}) {
                const MapObject& target = doc.objects()[static_cast<size_t>(r.Pick(i))];
                if (!target.isLine && r.Chance(80)) *end = target.entityId;
            }
        }
        if (r.Chance(20)) o.lineProperty = 1 + r.Pick(3);
        for (int k = r.Chance(50) ? 1 + r.Pick(2) : 0; k > 0; --k) o.labels.push_back({r.Text(), r.Pick(3), r.Pick(5)});
        for (int k = r.Chance(60) ? 1 + r.Pick(5) : 0; k > 0; --k) {
            AttributeRow row;
            for (int v = r.Pick(14); v > 0; --v) row.push_back(r.Text());
            o.fields[150 + r.Pick(30)] = row;
        }
        if (r.Chance(25)) o.motor = MotorData{r.Number(), r.Number(), 660, r.Number(), r.Number(), r.Chance(50), r.Chance(50)};
        if (r.Chance(10)) o.notes[r.Chance(50) ? "setting" : "键\"k"] = r.Text();
        if (r.Chance(5)) o.extraJson = R"({"future":{"deep":[1,[2,{"b":null}]],"t":"café"}})";
        doc.objects().push_back(o);
    }
    std::vector<MapObject>& all = doc.objects();
    for (int k = 0; k < faults && !all.empty(); ++k) {
        MapObject& o = all[static_cast<size_t>(r.Pick(objects))];
        const MapObject& other = all[static_cast<size_t>(r.Pick(objects))];
        switch (r.Pick(9)) {
            case 0: o.entityId = other.entityId; break;             // an id twice
            case 1: o.handle = other.handle; break;                 // a handle twice
            case 2: o.entityId = r.Chance(50) ? 0 : -7; break;      // out of range
            case 3: o.handle = 0; break;
            case 4: o.layer = r.Chance(50) ? 99 : -1; break;        // no such layer
            case 5: o.symbol = 77; break;                           // no such symbol
            case 6: o.colour = 0x1000000; break;
            case 7: o.entityType = -1; break;
            default:                                                // a line ending at nothing or at a line
                o.isLine = true;
                o.toEntity = r.Chance(50) ? 999999 : (other.isLine ? other.entityId : -3);
        }
    }
    return doc;
}

// ---- The comparisons -----------------------------------------------------------

std::string Save(const MapDocument& doc, std::string& error) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("jdwriter-" + std::to_string(::getpid()) + ".json");
    error.clear();
    const bool saved = SaveMapFile(path.string(), doc, error);
    std::string text;
    if (saved) {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::remove(path);
    return text;
}

TEST(MapWriterDifferential, WritesEveryByteAsThePlainWriter) {
    Random r(20261209);
    for (int round = 0; round < 120; ++round) {
        // The last map is several megabytes: a save hands it to the file in pieces.
        const int objects = round == 119 ? 12000 : 1 + r.Pick(round < 100 ? 40 : 2000);
        const MapDocument doc = RandomDocument(r, objects, 0);
        const std::string expected = PlainWriter(doc);
        if (round == 119) {
            ASSERT_GT(expected.size(), 3u << 20);
        }
        ASSERT_EQ(SerializeMap(doc), expected) << "round " << round;
        std::string error;
        ASSERT_EQ(Save(doc, error), expected) << "round " << round << ": " << error;
        MapDocument reloaded;
        ASSERT_TRUE(ParseMap(expected, reloaded).ok) << "round " << round;
    }
}

// More distinct numbers than the writer remembers spellings of: values that
// share its memory's slots must each keep their own spelling.
TEST(MapWriterDifferential, NumbersBeyondWhatTheWriterRemembersKeepTheirSpelling) {
    Random r(7);
    MapDocument doc = RandomDocument(r, 1, 0);
    MapObject& object = doc.objects()[0];
    object.outline.clear();
    for (int i = 0; i < 20000; ++i) object.outline.push_back({r.Number(), i / 8.0 + 0.0625, r.Number()});
    // The first values again, now that others have taken their slots.
    for (int i = 0; i < 200; ++i) object.outline.push_back(object.outline[static_cast<size_t>(i)]);
    EXPECT_EQ(SerializeMap(doc), PlainWriter(doc));
}

// The writer decides on the object rules as it writes and words the problems
// only when it finds one; what it reports must be what the plain check finds,
// in the same order, and a save must fail exactly when that finds anything.
TEST(MapWriterDifferential, ReportsTheObjectProblemsThePlainCheckFinds) {
    Random r(13);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        const MapDocument doc = RandomDocument(r, 1 + r.Pick(30), r.Pick(3));
        const std::vector<std::string> expected = PlainObjectProblems(doc);
        std::string error;
        const std::string saved = Save(doc, error);
        if (expected.empty()) {
            EXPECT_TRUE(error.empty()) << "round " << round << ": " << error;
            EXPECT_EQ(saved, PlainWriter(doc)) << "round " << round;
            continue;
        }
        ++refused;
        std::string wanted = "the map cannot be saved without loss:";
        for (const std::string& problem : expected) wanted += "\n" + problem;
        EXPECT_EQ(error, wanted) << "round " << round;
    }
    EXPECT_GT(refused, 100);  // the faults do reach the check
}

}  // namespace
}  // namespace host
