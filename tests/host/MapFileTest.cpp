#include "host/MapFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/MapDocument.h"
#include "platform/Gbk.h"
#include "platform/InputFile.h"

namespace host {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string SourcePath(const std::string& relative) { return std::string(JD_SOURCE_DIR) + "/" + relative; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ListProblems(const MapLoadResult& result) { return result.Describe("map"); }

bool HasProblem(const MapLoadResult& result, const std::string& where, const std::string& part) {
    for (const MapFileProblem& problem : result.problems) {
        if (problem.where == where && problem.message.find(part) != std::string::npos) return true;
    }
    return false;
}

MapObject& Named(MapDocument& doc, const char* utf8Name) {
    MapObject* object = doc.FindByName(FromUtf8(utf8Name));
    if (!object) throw std::runtime_error(std::string("no object named ") + utf8Name);
    return *object;
}

// Fields of a ";"-separated path text, counted from 0.
std::vector<std::string> SplitPath(const std::string& path, char separator) {
    std::vector<std::string> fields;
    std::string field;
    for (const char c : path) {
        if (c == separator) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "jdmapXXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path m_path;
};

// ---- The sample mine ----------------------------------------------------------

class SampleMine : public ::testing::Test {
protected:
    void SetUp() override {
        text = ReadText(SourcePath("examples/sample-mine.json"));
        const MapLoadResult result = ParseMap(text, doc);
        ASSERT_TRUE(result.ok) << ListProblems(result);
    }
    std::string text;
    MapDocument doc;
};

// Counts from the sample's design in docs/map-format.md.
TEST_F(SampleMine, LoadsEveryObjectLayerAndSymbol) {
    EXPECT_EQ(doc.objects().size(), 50u);
    EXPECT_EQ(doc.layers().size(), 4u);
    EXPECT_EQ(doc.symbols().size(), 7u);
    size_t transformers = 0, lines = 0, points = 0, motors = 0, locked = 0;
    for (const MapObject& object : doc.objects()) {
        transformers += object.entityType == EntityType::Transformer;
        lines += object.isLine;
        points += object.entityType == EntityType::ShortCircuitPoint;
        motors += object.motor.has_value();
        locked += object.settingLocked;
    }
    EXPECT_EQ(transformers, 3u);
    EXPECT_EQ(lines, 22u);
    EXPECT_EQ(points, 6u);
    EXPECT_EQ(motors, 10u);
    EXPECT_EQ(locked, 1u);
    EXPECT_EQ(doc.project().lowVoltage, 660);
    EXPECT_EQ(doc.project().highVoltage, 6000);
    EXPECT_EQ(doc.currentColour(), -1);
    EXPECT_FALSE(doc.modified());
}

TEST_F(SampleMine, HoldsNamesAndRecordsInGbk) {
    const MapObject& substation = Named(doc, "1#移动变电站");
    // 移动变电站 in code page 936, byte for byte.
    EXPECT_EQ(substation.name.str(), "1#\xD2\xC6\xB6\xAF\xB1\xE4\xB5\xE7\xD5\xBE");
    EXPECT_EQ(substation.entityType, EntityType::Transformer);
    EXPECT_EQ(substation.kind, FromUtf8(KindName::MobileSubstation));
    EXPECT_EQ(substation.entityId, 3);
    EXPECT_EQ(substation.handle, 1031);  // handles follow the kernel's own order, not the ids
    const AttributeRow& model = substation.fields.at(163);
    ASSERT_EQ(model.size(), 14u);
    // Seed row 4 (data/seed/Para_Transformer.csv): the model text as the
    // catalogue has it; the drawing's "/0.69" is only in the label.
    EXPECT_EQ(model[0], "4");
    EXPECT_EQ(model[1], "KBSGZY-500/6");
    EXPECT_EQ(model[2], FromUtf8("移动变电站"));
    EXPECT_EQ(model[13], "Y,y0");
    EXPECT_EQ(substation.fields.at(174)[0], "4");   // seed row 4 of Para_AutomaticSwitch
    // The multiplication sign of a cable designation is A1C1 in GBK.
    EXPECT_EQ(Named(doc, "1-4电缆").fields.at(167)[1].str(), "MYP-0.66/1.14 3\xA1\xC1" "70+1\xA1\xC1" "25");

    const MapObject& spare = Named(doc, "2#移动变电站");
    EXPECT_EQ(spare.fields.at(163)[0], "0");
    ASSERT_EQ(spare.fields.count(151), 1u);  // present but empty: the record exists
    EXPECT_TRUE(spare.fields.at(151).empty());
    EXPECT_EQ(spare.colour, 0x96F0);
}

// The stored transformer data must agree with R_T = ΔPk·(U2/(SN·1000))²,
// Z_T = (U2/1000)²·uk·10/SN, X_T = √(Z_T² − R_T²); worked by hand for both
// units in docs/map-format.md (0.0371/0.0877 and 0.0117/0.0363 Ω, seed rows 57 and 4).
TEST_F(SampleMine, TransformerImpedanceMatchesItsModelRecord) {
    for (const char* name : {"1#矿用变压器", "1#移动变电站"}) {
        const MapObject& transformer = Named(doc, name);
        const AttributeRow& model = transformer.fields.at(163);
        const double capacity = ParseDouble(model[3]);
        const double u2 = ParseDouble(model[5]);
        const double lossW = ParseDouble(model[9]);
        const double uk = ParseDouble(model[10]);
        const double r = lossW * std::pow(u2 / (capacity * 1000.0), 2);
        const double z = std::pow(u2 / 1000.0, 2) * uk * 10.0 / capacity;
        const double x = std::sqrt(z * z - r * r);
        EXPECT_EQ(CString::Formatted("%.4f", r), model[11]) << name;
        EXPECT_EQ(CString::Formatted("%.4f", x), model[12]) << name;
        EXPECT_EQ(transformer.fields.at(151)[5], model[11]) << name;
        EXPECT_EQ(transformer.fields.at(151)[6], model[12]) << name;
    }
}

// Id(2) = U / (2·√(ΣR² + ΣX²)) with U = 690 V. The expected currents are the
// hand calculation of docs/map-format.md; for the kind "1" points the sums are
// also read back from the path text itself.
TEST_F(SampleMine, ShortCircuitCurrentsAgreeWithTheHandCalculation) {
    const std::vector<std::pair<const char*, double>> expected = {
        {"d1", 1039.66}, {"d2", 1190.62}, {"d3", 1188.55}, {"d4", 1869.61}, {"d5", 2207.93}, {"d6", 931.68}};
    for (const auto& [name, currentA] : expected) {
        const MapObject& point = Named(doc, name);
        EXPECT_EQ(point.entityType, EntityType::ShortCircuitPoint);
        ASSERT_EQ(point.outline.size(), 4u);
        const AttributeRow& record = point.fields.at(161);
        ASSERT_EQ(record.size(), 12u) << name;
        EXPECT_NEAR(ParseDouble(record[1]), currentA, 0.005) << name;
        EXPECT_NE(doc.FindByName(record[7]), nullptr) << name << ": the owner device exists";
        const std::vector<std::string> path = SplitPath(ToUtf8(record[11]), ';');
        if (path[0] == "1") {
            ASSERT_EQ(path.size(), 7u) << name;  // six fields and the empty rest after the final ";"
            const double sumR = ParseDouble(path[4].c_str());
            const double sumX = ParseDouble(path[5].c_str());
            EXPECT_NEAR(690.0 / (2.0 * std::sqrt(sumR * sumR + sumX * sumX)), currentA, 0.005) << name;
            EXPECT_EQ(path[3], "1#移动变电站,0.0117,0.0363") << name;
        } else {
            ASSERT_EQ(path[0], "0") << name;
            ASSERT_EQ(path.size(), 5u) << name;
            EXPECT_EQ(path[2], "1#矿用变压器,KBSG,200") << name;
        }
    }
}

TEST_F(SampleMine, StarterSeesItsFeedThenItsTwoGroupStartMotors) {
    const MapObject& starter = Named(doc, "皮带机启动器");
    const LONG feed = Named(doc, "2-1电缆").handle;
    const LONG first = Named(doc, "2-2电缆").handle;
    const LONG second = Named(doc, "2-3电缆").handle;
    EXPECT_EQ(doc.Connections(starter.handle), (std::vector<LONG>{feed, -first, -second}));
    for (const char* motor : {"皮带机1#电机", "皮带机2#电机"}) {
        ASSERT_TRUE(Named(doc, motor).motor.has_value());
        EXPECT_TRUE(Named(doc, motor).motor->groupStart) << motor;
    }
    EXPECT_FALSE(Named(doc, "2#水泵").motor->running);
    // The feeding cable ends at the starter: its "to" is the starter's entity id.
    EXPECT_EQ(Named(doc, "2-1电缆").toEntity, starter.entityId);
}

TEST_F(SampleMine, SerialisesToTheTextItWasLoadedFrom) { EXPECT_EQ(SerializeMap(doc), text); }

TEST(SmallMap, SerialisesToTheTextItWasLoadedFrom) {
    const std::string text = ReadText(SourcePath("examples/small.json"));
    MapDocument doc;
    const MapLoadResult result = ParseMap(text, doc);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    EXPECT_EQ(doc.objects().size(), 4u);
    EXPECT_EQ(SerializeMap(doc), text);
}

TEST_F(SampleMine, KeepsKeysAndRecordsOfOtherModulesThroughSaveAndLoad) {
    Named(doc, "1#矿用变压器").name = FromUtf8("主变压器");  // an edit, so that the text is really rewritten
    MapDocument reloaded;
    const MapLoadResult result = ParseMap(SerializeMap(doc), reloaded);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    EXPECT_EQ(reloaded, doc);
    const MapObject& starter = Named(reloaded, "皮带机启动器");
    EXPECT_EQ(starter.fields.at(301), (AttributeRow{"MA0923881", "2023-11-02"}));
    EXPECT_EQ(Json::parse(starter.extraJson)["maintenance"]["inspector"], "王工");
    EXPECT_EQ(Json::parse(reloaded.extraJson())["drawing"]["drawnBy"], "张工");
    EXPECT_EQ(Json::parse(reloaded.project().extraJson)["designStage"], "施工图");
    EXPECT_EQ(Json::parse(reloaded.layers()[0].extraJson)["lineType"], "continuous");
    EXPECT_EQ(Json::parse(reloaded.FindSymbol(103)->extraJson)["library"], "供电符号库");
    EXPECT_NE(reloaded.FindByName(FromUtf8("主变压器")), nullptr);
}

// Unknown keys were kept through a double: 123456789012345678901 came back
// as 1.2345678901234568e+20 and 1E2 as 100.0. Their texts now come back as
// written, in every place unknown keys are kept and at any depth.
TEST(MapFileUnknownKeys, KeepTheTextOfOddNumbersThroughSaveAndLoad) {
    const std::string text = R"({
  "format": "jdmap", "version": 1,
  "project": {"name": "P", "budget": 1.50, "share": -0},
  "layers": [{"id": 1, "name": "L", "colour": 0, "weight": 0.250}],
  "symbols": [{"id": 5, "name": "S", "extent": [0, 0, 1, 1], "scaleHint": 1E2}],
  "objects": [
    {"id": 1, "handle": 11, "type": 2, "kind": "K", "layer": 1,
     "future": [1E2, -0, -0.0, {"deep": [1.0e+00, 1e-7, 0.10]}],
     "serial": 123456789012345678901,
     "note": "caf\u00e9 \/ \"x\""}
  ],
  "drawing": {"big": 123456789012345678901234567890, "exp": 2E+3, "tiny": 4.9e-324,
              "list": [[-0], {"a": 1.0e+00}], "flags": [true, false, null]}
})";
    MapDocument doc;
    const MapLoadResult result = ParseMap(text, doc);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    // The kept texts, token for token, without the white space between tokens.
    EXPECT_EQ(doc.project().extraJson, R"({"budget":1.50,"share":-0})");
    EXPECT_EQ(doc.layers()[0].extraJson, R"({"weight":0.250})");
    EXPECT_EQ(doc.symbols()[0].extraJson, R"({"scaleHint":1E2})");
    EXPECT_EQ(doc.objects()[0].extraJson,
              R"({"future":[1E2,-0,-0.0,{"deep":[1.0e+00,1e-7,0.10]}],"serial":123456789012345678901,)"
              R"("note":"caf\u00e9 \/ \"x\""})");
    EXPECT_EQ(doc.extraJson(), R"({"drawing":{"big":123456789012345678901234567890,"exp":2E+3,"tiny":4.9e-324,)"
                               R"("list":[[-0],{"a":1.0e+00}],"flags":[true,false,null]}})");

    const std::string saved = SerializeMap(doc);
    for (const char* written : {R"("budget": 1.50)", R"("share": -0)", R"("weight": 0.250)", R"("scaleHint": 1E2)",
                                R"("future": [)", R"("deep": [1.0e+00, 1e-7, 0.10])", R"("serial": 123456789012345678901)",
                                R"("note": "caf\u00e9 \/ \"x\"")", R"("big": 123456789012345678901234567890)",
                                R"("exp": 2E+3)", R"("tiny": 4.9e-324)", R"([-0])", R"({"a": 1.0e+00})",
                                R"("flags": [true, false, null])"}) {
        EXPECT_NE(saved.find(written), std::string::npos) << written << " in\n" << saved;
    }
    MapDocument reloaded;
    const MapLoadResult again = ParseMap(saved, reloaded);
    ASSERT_TRUE(again.ok) << ListProblems(again);
    EXPECT_EQ(reloaded, doc);
    EXPECT_EQ(SerializeMap(reloaded), saved);
}

// Unknown values are passed over rather than read, but a key that occurs
// twice is still found at any depth.
TEST(MapFileUnknownKeys, StillReportKeysThatOccurTwice) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"format": "jdmap", "x": 1, "x": 2})", "/x"},
        {R"({"format": "jdmap", "x": [0, {"a": 1, "a": 2}]})", "/x/1/a"},
        {R"({"objects": [{"id": 1, "future": {"b": {}, "b": []}}]})", "/objects/0/future/b"},
    };
    for (const auto& [text, where] : cases) {
        MapDocument doc;
        const MapLoadResult result = ParseMap(text, doc);
        EXPECT_FALSE(result.ok) << text;
        EXPECT_TRUE(HasProblem(result, where, "occurs twice")) << text << ":\n" << ListProblems(result);
    }
}

// ---- Layout of the written text -----------------------------------------------

TEST(MapFileLayout, WritesKnownKeysInFixedOrderWithTwoSpaceIndent) {
    MapDocument doc;
    doc.project().name = FromUtf8("示例");
    doc.project().lowVoltage = 1140;
    doc.view() = MapView{10.0, 20.0, 0.5};
    doc.layers().push_back({1, FromUtf8("供电"), 255, {}});
    SymbolDefinition symbol;
    symbol.id = 7;
    symbol.name = "M";
    symbol.x0 = symbol.y0 = -5.0;
    symbol.x1 = symbol.y1 = 5.0;
    doc.symbols().push_back(symbol);
    MapObject motor;
    motor.entityId = 1;
    motor.handle = 1001;
    motor.kind = FromUtf8("电动机");
    motor.name = FromUtf8("1#电动机");
    motor.layer = 1;
    motor.colour = 255;
    motor.insertion = {1.5, 2.0, 0.0};
    motor.symbol = 7;
    motor.width = motor.height = 10.0;
    motor.rotation = 90.0;
    motor.labels = {{FromUtf8("55kW"), 0, 3}};
    motor.fields[161] = {"", "3703.37"};
    motor.motor = MotorData{55.0, 63.3, 660.0, 379.8, 0.86, false, false};
    motor.notes["setting"] = FromUtf8("备用");
    doc.AddObject(motor);
    MapObject cable;
    cable.entityId = 2;
    cable.handle = 1002;
    cable.entityType = EntityType::Line;
    cable.isLine = true;
    cable.kind = FromUtf8("电缆");
    cable.layer = 1;
    cable.fromEntity = 1;
    doc.AddObject(cable);

    const std::string expected = R"({
  "format": "jdmap",
  "version": 1,
  "project": {
    "name": "示例",
    "lowVoltage": 1140,
    "highVoltage": 6000
  },
  "currentColour": -1,
  "view": {
    "originX": 10,
    "originY": 20,
    "scale": 0.5
  },
  "layers": [
    {"id": 1, "name": "供电", "colour": 255}
  ],
  "symbols": [
    {
      "id": 7,
      "name": "M",
      "extent": [-5, -5, 5, 5]
    }
  ],
  "objects": [
    {
      "id": 1,
      "handle": 1001,
      "type": 2,
      "kind": "电动机",
      "name": "1#电动机",
      "layer": 1,
      "colour": 255,
      "insertion": [1.5, 2, 0],
      "symbol": 7,
      "size": [10, 10],
      "rotation": 90,
      "labels": [
        {"text": "55kW", "style": 0, "placement": 3}
      ],
      "fields": {
        "161": ["", "3703.37"]
      },
      "motor": {
        "ratedPowerKW": 55,
        "ratedCurrentA": 63.3,
        "ratedVoltageV": 660,
        "startCurrentA": 379.8,
        "powerFactor": 0.86,
        "running": false,
        "groupStart": false
      },
      "notes": {
        "setting": "备用"
      }
    },
    {
      "id": 2,
      "handle": 1002,
      "type": 1,
      "kind": "电缆",
      "name": "",
      "layer": 1,
      "colour": 0,
      "from": 1,
      "to": null
    }
  ]
}
)";
    EXPECT_EQ(SerializeMap(doc), expected);
}

// A valid file in forms this program does not write itself (object form of
// records, points without z, null symbol, keys in another order, 2.0 for 2)
// loads to a document that survives its own save unchanged.
TEST(MapFileLayout, AnyValidFileComesBackAsTheSameDocument) {
    const std::string text = "\xEF\xBB\xBF" R"({
  "objects": [
    {"layer": 1, "kind": "短路点", "type": 27, "handle": 1001.0, "id": 1, "name": "d1",
     "insertion": [5, 6], "symbol": null, "flags": 4294967295,
     "fields": {"161": {"11": "1;690;a;T,0.0059,0.0376;0.1;0.2;", "1": "1200"}, "999": []},
     "future": [1, {"deep": [true, null]}]},
    {"id": 2, "handle": 1002, "type": 1, "kind": "电缆", "layer": 1, "from": null, "to": 1, "line": true,
     "outline": [[0, 0], [1.25, -3e-7]]}
  ],
  "layers": [{"name": "L", "id": 1, "colour": 0}],
  "version": 1, "format": "jdmap"
})";
    MapDocument doc;
    const MapLoadResult result = ParseMap(text, doc);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    const MapObject& point = doc.objects()[0];
    ASSERT_EQ(point.fields.at(161).size(), 12u);
    EXPECT_EQ(point.fields.at(161)[1], "1200");
    EXPECT_EQ(point.fields.at(161)[0], "");
    EXPECT_EQ(point.fields.at(161)[11], "1;690;a;T,0.0059,0.0376;0.1;0.2;");
    EXPECT_TRUE(point.fields.at(999).empty());
    EXPECT_EQ(point.insertion, (Point3{5.0, 6.0, 0.0}));
    EXPECT_EQ(point.symbol, -1);
    EXPECT_EQ(point.flags, 0xFFFFFFFFu);
    EXPECT_EQ(doc.objects()[1].outline[1].y, -3e-7);

    const std::string saved = SerializeMap(doc);
    MapDocument reloaded;
    const MapLoadResult again = ParseMap(saved, reloaded);
    ASSERT_TRUE(again.ok) << ListProblems(again);
    EXPECT_EQ(reloaded, doc);
    EXPECT_EQ(SerializeMap(reloaded), saved);
}

// ---- The streaming writer against the tree printer it replaced -----------------

// The layout rules as they were applied to a whole tree before the writer
// streamed: two-space indent, arrays of plain values on one line, objects of
// at most four plain values in a list on one line. Binary values are number
// texts, printed as read.
bool ReferenceIsFlat(const Json& value) {
    return std::none_of(value.begin(), value.end(), [](const Json& v) { return v.is_structured(); });
}

void ReferencePrint(const Json& value, size_t indent, std::string& out, bool inList = false) {
    const auto scalar = [](const Json& v) {
        if (v.is_binary()) return std::string(v.get_binary().begin(), v.get_binary().end());
        return v.dump(-1, ' ', false, Json::error_handler_t::replace);
    };
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
        } else if (inList && value.size() <= 4 && ReferenceIsFlat(value)) {
            out += "{";
            size_t i = 0;
            for (auto it = value.begin(); it != value.end(); ++it, ++i) out += (i ? ", " : "") + scalar(Json(it.key())) + ": " + scalar(it.value());
            out += "}";
        } else {
            out += "{\n";
            size_t i = 0;
            for (auto it = value.begin(); it != value.end(); ++it, ++i) {
                out += std::string(indent + 2, ' ') + scalar(Json(it.key())) + ": ";
                ReferencePrint(it.value(), indent + 2, out);
                out += i + 1 < value.size() ? ",\n" : "\n";
            }
            out += std::string(indent, ' ') + "}";
        }
    } else if (value.is_array()) {
        if (value.empty()) {
            out += "[]";
        } else if (ReferenceIsFlat(value)) {
            out += "[";
            for (size_t i = 0; i < value.size(); ++i) out += (i ? ", " : "") + scalar(value[i]);
            out += "]";
        } else {
            out += "[\n";
            for (size_t i = 0; i < value.size(); ++i) {
                out += std::string(indent + 2, ' ');
                ReferencePrint(value[i], indent + 2, out, true);
                out += i + 1 < value.size() ? ",\n" : "\n";
            }
            out += std::string(indent, ' ') + "]";
        }
    } else {
        out += scalar(value);
    }
}

// Parses text into a tree whose numbers keep their text (as binary values).
Json ParseKeepingNumberTexts(const std::string& text) {
    struct Builder : nlohmann::json_sax<Json> {
        std::vector<Json*> stack;
        Json root;
        std::string pending;
        Json* Put(Json value) {
            if (stack.empty()) {
                root = std::move(value);
                return &root;
            }
            Json& parent = *stack.back();
            if (parent.is_array()) {
                parent.push_back(std::move(value));
                return &parent.back();
            }
            return &(parent[pending] = std::move(value));
        }
        static Json Raw(const std::string& digits) { return Json::binary(std::vector<std::uint8_t>(digits.begin(), digits.end())); }
        bool null() override { return Put(nullptr), true; }
        bool boolean(bool v) override { return Put(v), true; }
        bool number_integer(number_integer_t v) override { return Put(Raw(std::to_string(v))), true; }
        bool number_unsigned(number_unsigned_t v) override { return Put(Raw(std::to_string(v))), true; }
        bool number_float(number_float_t, const string_t& raw) override { return Put(Raw(raw)), true; }
        bool string(string_t& v) override { return Put(v), true; }
        bool binary(binary_t&) override { return false; }
        bool start_object(std::size_t) override { return stack.push_back(Put(Json::object())), true; }
        bool key(string_t& k) override { return pending = k, true; }
        bool end_object() override { return stack.pop_back(), true; }
        bool start_array(std::size_t) override { return stack.push_back(Put(Json::array())), true; }
        bool end_array() override { return stack.pop_back(), true; }
        bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
            throw std::runtime_error(e.what());
        }
    } builder;
    Json::sax_parse(text, &builder);
    return std::move(builder.root);
}

std::string ReferenceLayout(const std::string& text) {
    std::string out;
    ReferencePrint(ParseKeepingNumberTexts(text), 0, out);
    return out + "\n";
}

// Random documents with every optional part, texts that need escapes, numbers
// of every shape and kept keys that change the layout (their texts are
// written as read, which the reference cannot tell from its own spelling, so
// they are spelled as it spells them here) (a layer with one plain
// kept key stays on one line, with two it does not).
MapDocument RandomDocument(std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* texts[] = {"", "1#移动变电站", "a\"b\\c", "tab\there", "line\nbreak", "\x01\x1F ctl", "MYP 3×70", "/slash/", "é∑"};
    const auto text = [&] { return FromUtf8(texts[pick(9)]); };
    const double numbers[] = {0.0, -0.0, 1.0, -2.5, 0.1, 1e-7, 123456.789, 1e21, -3e300, 9007199254740993.0, 4.9e-324, 0.30000000000000004};
    const auto number = [&] { return numbers[pick(12)]; };
    const char* kept[] = {R"({"n":1E2})", R"({"big":123456789012345678901,"e":1.0e+00})",
                          R"({"deep":{"a":[1,[2,{"b":null}]],"t":"café"}})", R"({"x":[],"y":{}})", R"({"s":"a\"b"})"};
    MapDocument doc;
    doc.project().name = text();
    doc.project().lowVoltage = pick(2) ? 660 : 1140;
    if (pick(2)) doc.project().extraJson = kept[pick(5)];
    doc.setCurrentColour(pick(2) ? -1 : 0xFFFFFF);
    doc.view() = MapView{number(), number(), 0.5 + pick(4)};
    const int layers = 1 + pick(3);
    for (int i = 0; i < layers; ++i) {
        Layer layer{i + 1, text(), pick(0x1000000), {}};
        const int extras = pick(3);
        if (extras == 1) layer.extraJson = R"({"lineType":"dash"})";
        if (extras == 2) layer.extraJson = pick(2) ? R"({"a":1,"b":2})" : R"({"a":[1]})";
        doc.layers().push_back(layer);
    }
    if (pick(2)) doc.symbols().push_back({7, text(), number(), number(), number(), number(), pick(2) ? kept[pick(5)] : ""});
    const int objects = pick(6);
    for (int i = 0; i < objects; ++i) {
        MapObject object;
        object.entityId = i + 1;
        object.handle = 1000 - i;
        object.entityType = pick(2) ? EntityType::Line : EntityType::Symbol;
        object.isLine = object.entityType == EntityType::Line ? pick(4) != 0 : pick(4) == 0;
        object.kind = text();
        object.name = text();
        object.layer = 1 + pick(layers);
        object.colour = pick(0x1000000);
        object.flags = pick(2) ? 0u : 0xFFFFFFFFu;
        object.settingLocked = pick(2);
        if (pick(2)) object.insertion = {number(), number(), number()};
        for (int k = pick(3); k > 0; --k) object.outline.push_back({number(), number(), number()});
        if (!doc.symbols().empty() && pick(2)) object.symbol = 7;
        if (pick(2)) object.width = number();
        if (pick(2)) object.rotation = number();
        if (object.isLine && i > 0 && pick(2)) object.fromEntity = 1;
        if (object.isLine && doc.objects().size() > 0 && doc.objects()[0].isLine) object.fromEntity = 0;
        object.lineProperty = pick(2);
        for (int k = pick(3); k > 0; --k) object.labels.push_back({text(), pick(3), pick(5)});
        for (int k = pick(3); k > 0; --k) {
            AttributeRow row;
            for (int v = pick(4); v > 0; --v) row.push_back(text());
            object.fields[151 + pick(30)] = row;
        }
        if (pick(2)) object.motor = MotorData{number(), number(), 660, number(), 0.86, pick(2) != 0, pick(2) != 0};
        if (pick(2)) object.notes[pick(2) ? "setting" : "键\"k"] = text();
        if (pick(2)) object.extraJson = kept[pick(5)];
        doc.objects().push_back(object);
    }
    if (pick(2)) doc.extraJson() = kept[pick(5)];
    doc.Reindex();
    return doc;
}

TEST(MapFileWriter, LaysOutRandomDocumentsAsTheTreePrinterDidAndLoadsThemBack) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 300; ++round) {
        const MapDocument doc = RandomDocument(random);
        const std::string text = SerializeMap(doc);
        ASSERT_EQ(text, ReferenceLayout(text)) << "round " << round;
        MapDocument reloaded;
        const MapLoadResult result = ParseMap(text, reloaded);
        ASSERT_TRUE(result.ok) << "round " << round << "\n" << ListProblems(result) << text;
        EXPECT_EQ(reloaded, doc) << "round " << round;
        EXPECT_EQ(SerializeMap(reloaded), text) << "round " << round;
    }
}

// Every map in the tree that loads comes back byte for byte as the tree
// printer wrote it; those written by this program come back as they are.
TEST(MapFileWriter, WritesEveryMapOfTheTreeAsBefore) {
    size_t loaded = 0;
    for (const char* folder : {"examples", "tests"}) {
        for (const auto& entry : fs::recursive_directory_iterator(SourcePath(folder))) {
            if (entry.path().extension() != ".json") continue;
            MapDocument doc;
            if (!LoadMapFile(entry.path().string(), doc).ok) continue;
            ++loaded;
            const std::string text = SerializeMap(doc);
            EXPECT_EQ(text, ReferenceLayout(text)) << entry.path();
            EXPECT_EQ(text, ReadText(entry.path().string())) << entry.path();
        }
    }
    EXPECT_GE(loaded, 2u);  // examples/small.json and examples/sample-mine.json at least
}

// ---- Bad input ----------------------------------------------------------------

Json ValidMap() {
    return Json::parse(R"({
  "format": "jdmap", "version": 1,
  "layers": [{"id": 1, "name": "供电", "colour": 32768}],
  "symbols": [{"id": 101, "name": "电动机", "extent": [-5, -5, 5, 5]}],
  "objects": [
    {"id": 1, "handle": 1001, "type": 28, "kind": "移动变电站", "name": "1#移动变电站", "layer": 1},
    {"id": 2, "handle": 1002, "type": 2, "kind": "电动机", "name": "1#电动机", "layer": 1, "symbol": 101},
    {"id": 3, "handle": 1003, "type": 1, "kind": "电缆", "name": "1-1电缆", "layer": 1, "from": 1, "to": 2}
  ]
})");
}

struct BadCase {
    const char* name;
    std::function<void(Json&)> change;
    const char* where;
    const char* message;  // a part of the expected message
};

TEST(MapFileBadInput, ReportsWhereAndWhatForEachKindOfMistake) {
    const std::vector<BadCase> cases = {
        {"text for an integer", [](Json& m) { m["objects"][0]["id"] = "1"; }, "/objects/0/id", "expected an integer, found a text"},
        {"fraction for an integer", [](Json& m) { m["objects"][0]["id"] = 1.5; }, "/objects/0/id", "whole number"},
        {"id beyond 32 bits", [](Json& m) { m["objects"][0]["id"] = 2147483648LL; }, "/objects/0/id", "outside 1..2147483647"},
        {"missing handle", [](Json& m) { m["objects"][1].erase("handle"); }, "/objects/1", "missing required key \"handle\""},
        {"missing objects", [](Json& m) { m.erase("objects"); }, "", "missing required key \"objects\""},
        {"objects not a list", [](Json& m) { m["objects"] = Json::object(); }, "/objects", "expected an array, found an object"},
        {"duplicate entity id", [](Json& m) { m["objects"][1]["id"] = 1; }, "/objects/1/id", "entity id 1 is already used by /objects/0"},
        {"duplicate handle", [](Json& m) { m["objects"][2]["handle"] = 1001; }, "/objects/2/handle", "handle 1001 is already used by /objects/0"},
        {"handle 0", [](Json& m) { m["objects"][1]["handle"] = 0; }, "/objects/1/handle", "handle 0 names no object"},
        {"line end naming nothing", [](Json& m) { m["objects"][2]["to"] = 99; }, "/objects/2/to", "no object has entity id 99"},
        {"line end given a handle", [](Json& m) { m["objects"][2]["to"] = 1002; }, "/objects/2/to", "1002 is the handle of /objects/1"},
        {"line ending at a line",
         [](Json& m) {
             m["objects"].push_back({{"id", 4}, {"handle", 1004}, {"type", 1}, {"kind", "电缆"}, {"layer", 1}, {"from", 2}, {"to", 3}});
         },
         "/objects/3/to", "entity 3 (/objects/2) is a line"},
        {"line end on a symbol", [](Json& m) { m["objects"][1]["from"] = 1; }, "/objects/1/from", "belongs to lines only"},
        {"field number with letters", [](Json& m) { m["objects"][0]["fields"] = {{"15a", Json::array()}}; }, "/objects/0/fields/15a", "not a non-negative integer"},
        {"negative field number", [](Json& m) { m["objects"][0]["fields"] = {{"-151", Json::array()}}; }, "/objects/0/fields/-151", "not a non-negative integer"},
        {"field number with leading zero", [](Json& m) { m["objects"][0]["fields"] = {{"0151", Json::array()}}; }, "/objects/0/fields/0151", "leading zero"},
        {"fractional sub-index", [](Json& m) { m["objects"][0]["fields"] = {{"161", {{"1.5", "x"}}}}; }, "/objects/0/fields/161/1.5", "sub-index \"1.5\" is not a non-negative integer"},
        {"huge sub-index", [](Json& m) { m["objects"][0]["fields"] = {{"161", {{"70000", "x"}}}}; }, "/objects/0/fields/161/70000", "larger than 65535"},
        {"number in a record", [](Json& m) { m["objects"][0]["fields"] = {{"161", {"", 12}}}; }, "/objects/0/fields/161/1", "expected a text, found the number 12"},
        // 1# + twelve characters + 甲乙丙 = 2 + 24 + 6 GBK bytes.
        {"name of 32 bytes", [](Json& m) { m["objects"][0]["name"] = "1#矿用隔爆型干式移动变电站甲乙丙"; }, "/objects/0/name", "is 32 GBK bytes long; at most 31 fit"},
        {"kind name of 32 bytes", [](Json& m) { m["objects"][0]["kind"] = "移动变电站移动变电站移动变电站移"; }, "/objects/0/kind", "kind name"},
        {"character without GBK form", [](Json& m) { m["objects"][1]["name"] = "泵😀"; }, "/objects/1/name", "U+1F600"},
        {"NUL in a name", [](Json& m) { m["objects"][1]["name"] = std::string("a\0b", 3); }, "/objects/1/name", "U+0000"},
        {"unknown layer", [](Json& m) { m["objects"][1]["layer"] = 7; }, "/objects/1/layer", "no layer has id 7"},
        {"unknown symbol", [](Json& m) { m["objects"][1]["symbol"] = 102; }, "/objects/1/symbol", "no symbol definition has id 102"},
        {"wrong format", [](Json& m) { m["format"] = "jdmap2"; }, "/format", "a map file says \"jdmap\""},
        {"newer version", [](Json& m) { m["version"] = 2; }, "/version", "newer than this program reads"},
        {"version as text", [](Json& m) { m["version"] = "1"; }, "/version", "expected an integer"},
        {"colour beyond 24 bits", [](Json& m) { m["objects"][0]["colour"] = 16777216; }, "/objects/0/colour", "outside 0..16777215"},
        {"duplicate layer id", [](Json& m) { m["layers"].push_back({{"id", 1}, {"name", "x"}, {"colour", 0}}); }, "/layers/1/id", "already used by /layers/0"},
        {"scale of zero", [](Json& m) { m["view"] = {{"scale", 0}}; }, "/view/scale", "greater than 0"},
        {"unknown key in a motor",
         [](Json& m) {
             m["objects"][1]["motor"] = {{"ratedPowerKW", 1}, {"ratedCurrentA", 1}, {"ratedVoltageV", 660},
                                         {"startCurrentA", 6}, {"powerFactor", 0.8}, {"speed", 1480}};
         },
         "/objects/1/motor/speed", "unknown key"},
        {"point of four numbers", [](Json& m) { m["objects"][1]["insertion"] = {1, 2, 3, 4}; }, "/objects/1/insertion", "an array of 4 values"},
        {"label without text", [](Json& m) { m["objects"][1]["labels"] = Json::array({{{"style", 1}}}); }, "/objects/1/labels/0", "missing required key \"text\""},
    };
    for (const BadCase& bad : cases) {
        Json map = ValidMap();
        bad.change(map);
        MapDocument doc;
        const MapLoadResult result = ParseMap(map.dump(), doc);
        EXPECT_FALSE(result.ok) << bad.name;
        EXPECT_TRUE(HasProblem(result, bad.where, bad.message)) << bad.name << ":\n" << ListProblems(result);
        EXPECT_TRUE(doc.objects().empty()) << bad.name;
    }
}

TEST(MapFileBadInput, AcceptsANameOfExactly31Bytes) {
    Json map = ValidMap();
    map["objects"][0]["name"] = "1#矿用隔爆型干式移动变电站甲乙A";  // 2 + 24 + 4 + 1 bytes
    MapDocument doc;
    const MapLoadResult result = ParseMap(map.dump(), doc);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    EXPECT_EQ(doc.objects()[0].name.GetLength(), 31);
}

struct TextCase {
    const char* name;
    std::string text;
    std::string where;
    std::string message;
};

TEST(MapFileBadInput, PlacesTextErrorsByLineAndColumn) {
    const std::vector<TextCase> cases = {
        {"missing colon", "{\"format\": \"jdmap\",\n  \"version\" 1}", "line 2, column 13", "expected ':'"},
        {"cut short", "{\"format\": \"jdmap\"", "line 1, column 19", "unexpected end of input"},
        {"stray word", "{\"format\": \"jdmap\",\n  \"version\": 1, x}", "line 2, column 17", "invalid literal"},
        {"empty file", "", "line 1, column 1", "unexpected end of input"},
        // Columns count characters: 供电 is two columns although six bytes.
        {"invalid UTF-8", "{\n \"供电\": \"jd\xC3(map\"}", "line 2, column 11", "invalid UTF-8: byte 0xC3"},
        {"file saved as GBK", "{\"name\": \"\xB9\xA9\xB5\xE7\"}", "line 1, column 11", "as GBK these read \"供电\""},
        {"number out of range", "{\"format\": 1e999}", "line 1, column 12", "number overflow"},
        {"duplicate key", "{\"format\": \"jdmap\", \"format\": \"jdmap\"}", "/format", "occurs twice"},
        {"not an object", "[1, 2]", "", "a map file holds a JSON object, found an array"},
    };
    for (const TextCase& bad : cases) {
        MapDocument doc;
        const MapLoadResult result = ParseMap(bad.text, doc);
        EXPECT_FALSE(result.ok) << bad.name;
        EXPECT_TRUE(HasProblem(result, bad.where, bad.message)) << bad.name << ":\n" << ListProblems(result);
    }
}

// The parser took a NUL for the end of the input: a map followed by a NUL and
// garbage passed, and a NUL inside the text read as "unexpected end of input".
TEST(MapFileBadInput, NamesANulByteByItsOffsetAndWhetherTheMapHadEnded) {
    const std::string small = ReadText(SourcePath("examples/small.json"));
    const size_t lines = static_cast<size_t>(std::count(small.begin(), small.end(), '\n'));
    const std::string after = "line " + std::to_string(lines + 1) + ", column 1";
    const std::vector<TextCase> cases = {
        {"NUL and garbage after the map", small + std::string("\0garbage", 8), after,
         "a NUL byte at byte offset " + std::to_string(small.size()) + " follows the end of the map"},
        {"the rest counted", small + std::string("\0garbage", 8), after, "8 bytes of data that is not part of the map"},
        {"NUL between tokens", std::string("{\"format\": \0\"jdmap\"}", 20), "line 1, column 12", "a NUL byte at byte offset 11 inside the map"},
        {"NUL inside a text", std::string("{\n\"format\": \"jd\0map\"}", 22), "line 2, column 14", "byte offset 15 inside the map"},
        // The offset counts the byte-order mark; the column does not.
        {"after a byte-order mark", std::string("\xEF\xBB\xBF[1,\0]", 8), "line 1, column 4", "byte offset 6 inside"},
    };
    for (const TextCase& bad : cases) {
        MapDocument doc;
        const MapLoadResult result = ParseMap(bad.text, doc);
        EXPECT_FALSE(result.ok) << bad.name;
        EXPECT_TRUE(HasProblem(result, bad.where, bad.message)) << bad.name << ":\n" << ListProblems(result);
        EXPECT_EQ(ListProblems(result).find("end of input"), std::string::npos) << bad.name;
    }
}

TEST(MapFileBadInput, ReportsEveryProblemNotOnlyTheFirst) {
    Json map = ValidMap();
    map["objects"][0]["layer"] = 9;
    map["objects"][1]["handle"] = 0;
    map["objects"][2]["from"] = 42;
    map["version"] = 3;
    MapDocument doc;
    const MapLoadResult result = ParseMap(map.dump(), doc);
    EXPECT_EQ(result.problems.size(), 4u) << ListProblems(result);
    EXPECT_TRUE(HasProblem(result, "/objects/0/layer", "no layer"));
    EXPECT_TRUE(HasProblem(result, "/objects/1/handle", "handle 0"));
    EXPECT_TRUE(HasProblem(result, "/objects/2/from", "entity id 42"));
    EXPECT_TRUE(HasProblem(result, "/version", "newer"));
}

TEST(MapFileBadInput, LeavesTheDocumentAsItWasOnFailure) {
    MapDocument doc;
    ASSERT_TRUE(ParseMap(ReadText(SourcePath("examples/small.json")), doc).ok);
    const MapDocument before = doc;
    Json map = ValidMap();
    map["objects"][2]["to"] = 77;
    EXPECT_FALSE(ParseMap(map.dump(), doc).ok);
    EXPECT_EQ(doc, before);
}

TEST(MapFileBadInput, SurvivesHostileInputWithoutCrashing) {
    std::vector<std::string> inputs = {
        std::string(200000, '['),
        [] {
            std::string deep;
            for (int i = 0; i < 100000; ++i) deep += "{\"a\":";
            return deep;
        }(),
        "{\"format\": -1e400}",
        "{\"objects\": [{\"id\": 123456789012345678901234567890, \"handle\": 1e308}]}",
        "{\"objects\": [{\"id\": -0.0, \"handle\": 1e-400, \"type\": 1, \"layer\": 1, \"kind\": \"\"}]}",
        "{\"objects\": [{\"id\": 1, \"fields\": {\"99999999999999999999\": [], \"161\": {\"4294967296\": \"x\"}}}]}",
        "\"\\ud800\"",
        std::string("\0\0\0", 3),
    };
    std::string everyByte;
    for (int c = 0; c < 256; ++c) everyByte += static_cast<char>(c);
    inputs.push_back(everyByte);
    // Every cut of the sample at a prime stride: each must fail cleanly.
    const std::string sample = ReadText(SourcePath("examples/sample-mine.json"));
    for (size_t cut = 1; cut < sample.size() - 2; cut += 1009) inputs.push_back(sample.substr(0, cut));
    for (const std::string& input : inputs) {
        MapDocument doc;
        const MapLoadResult result = ParseMap(input, doc);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.problems.empty());
    }
}

// The broken maps under tests/host/data, each with the places it must name.
TEST(MapFileBadInput, BrokenFilesNameEveryPlace) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> files = {
        {"broken-syntax.json", {"line 11, column 7"}},
        {"broken-encoding.json", {"line 4, column 33"}},
        {"broken-references.json",
         {"/objects/4/handle", "/objects/2/id", "/objects/3/handle", "/objects/5/from", "/objects/6/to",
          "/objects/7/layer", "/objects/7/symbol"}},
        {"broken-values.json",
         {"/format", "/version", "/layers/0/colour", "/objects/0/id", "/objects/0/name", "/objects/1", "/objects/1/name",
          "/objects/2/fields/161/1", "/objects/2/fields/x1", "/objects/2/fields/-5", "/objects/2/fields/12/sub"}},
    };
    for (const auto& [file, places] : files) {
        MapDocument doc;
        const MapLoadResult result = LoadMapFile(SourcePath(std::string("tests/host/data/") + file), doc);
        EXPECT_FALSE(result.ok) << file;
        std::vector<std::string> found;
        for (const MapFileProblem& problem : result.problems) found.push_back(problem.where);
        EXPECT_EQ(found, places) << file << ":\n" << result.Describe(file);
    }
}

TEST(MapFileLoad, ReportsAFileThatCannotBeReadAndDescribesProblemsOnePerLine) {
    MapDocument doc;
    const MapLoadResult missing = LoadMapFile(SourcePath("examples/no-such-map.json"), doc);
    EXPECT_FALSE(missing.ok);
    ASSERT_EQ(missing.problems.size(), 1u);
    EXPECT_NE(missing.problems[0].message.find("cannot be read"), std::string::npos);
    EXPECT_EQ(missing.Describe("m.json"), "m.json: " + missing.problems[0].message + "\n");

    MapLoadResult two;
    two.problems = {{"/a", "first"}, {"line 2, column 3", "second"}};
    EXPECT_EQ(two.Describe("f.json"), "f.json: /a: first\nf.json: line 2, column 3: second\n");
}

// Reading /dev/zero as a map ran out of memory and a FIFO hung the reader:
// each of these is refused by what it is, before anything is read.
TEST(MapFileLoad, RefusesFoldersPipesDevicesAndOversizedFilesByWhatTheyAre) {
    TempFolder folder;
    const std::string fifo = (folder.path() / "pipe.json").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A sparse file one byte over the limit takes no room on disk.
    const std::string huge = (folder.path() / "huge.json").string();
    { std::ofstream(huge) << "{"; }
    fs::resize_file(huge, kMaxMapFileBytes + 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {SourcePath("examples"), "the map file is a folder, not a file"},
        {fifo, "the map file is a pipe (FIFO), not a file"},
        {"/dev/zero", "the map file is a device, not a file"},
        {huge, "the map file is 2.0 GiB, over the 2.0 GiB limit"},
    };
    for (const auto& [path, message] : cases) {
        MapDocument doc;
        ASSERT_TRUE(ParseMap(ReadText(SourcePath("examples/small.json")), doc).ok);
        const MapDocument before = doc;
        const MapLoadResult result = LoadMapFile(path, doc);
        EXPECT_FALSE(result.ok) << path;
        ASSERT_EQ(result.problems.size(), 1u) << path;
        EXPECT_EQ(result.problems[0].message.rfind(message, 0), 0u) << path << ": " << result.problems[0].message;
        EXPECT_EQ(doc, before) << path;
    }
}

// ---- Saving -------------------------------------------------------------------

class MapFileSave : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ParseMap(ReadText(SourcePath("examples/small.json")), doc).ok); }
    MapDocument doc;
    TempFolder folder;
};

TEST_F(MapFileSave, IntoAMissingFolderFailsAndLeavesNothing) {
    std::string error;
    EXPECT_FALSE(SaveMapFile((folder.path() / "missing" / "map.json").string(), doc, error));
    EXPECT_NE(error.find("temporary"), std::string::npos) << error;
    EXPECT_TRUE(folder.Entries().empty());
}

TEST_F(MapFileSave, ReplacesAnExistingFileKeepingItsPermissions) {
    const std::string path = (folder.path() / "map.json").string();
    { std::ofstream(path) << "old contents"; }
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    std::string error;
    ASSERT_TRUE(SaveMapFile(path, doc, error)) << error;
    EXPECT_EQ(ReadText(path), SerializeMap(doc));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"map.json"}));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    MapDocument reloaded;
    ASSERT_TRUE(LoadMapFile(path, reloaded).ok);
    EXPECT_EQ(reloaded, doc);
}

// Saving onto a symbolic link replaced the link with a file, and a FIFO,
// a device or a folder was silently replaced (or the rename failed late).
TEST_F(MapFileSave, FollowsSymbolicLinksToTheRealFile) {
    fs::create_directory(folder.path() / "real");
    const fs::path real = folder.path() / "real" / "map.json";
    { std::ofstream(real) << "old"; }
    fs::create_symlink("real/map.json", folder.path() / "first.json");  // relative to the link's folder
    fs::create_symlink(folder.path() / "first.json", folder.path() / "second.json");
    fs::create_symlink("real/new.json", folder.path() / "dangling.json");
    std::string error;
    ASSERT_TRUE(SaveMapFile((folder.path() / "second.json").string(), doc, error)) << error;
    EXPECT_TRUE(fs::is_symlink(folder.path() / "first.json"));
    EXPECT_TRUE(fs::is_symlink(folder.path() / "second.json"));
    EXPECT_EQ(ReadText(real.string()), SerializeMap(doc));
    // A link to a file not yet there makes that file, as a first save would.
    ASSERT_TRUE(SaveMapFile((folder.path() / "dangling.json").string(), doc, error)) << error;
    EXPECT_TRUE(fs::is_symlink(folder.path() / "dangling.json"));
    EXPECT_EQ(ReadText((folder.path() / "real" / "new.json").string()), SerializeMap(doc));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"dangling.json", "first.json", "real", "second.json"}));
    // A loop of links ends in a message, not a hang.
    fs::create_symlink("loop-b", folder.path() / "loop-a");
    fs::create_symlink("loop-a", folder.path() / "loop-b");
    EXPECT_FALSE(SaveMapFile((folder.path() / "loop-a").string(), doc, error));
    EXPECT_NE(error.find("symbolic links"), std::string::npos) << error;
}

TEST_F(MapFileSave, RefusesTargetsThatAreNotRegularFiles) {
    const fs::path fifo = folder.path() / "pipe.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path sub = folder.path() / "map.json";
    fs::create_directory(sub);
    fs::create_symlink(fifo, folder.path() / "to-pipe.json");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {fifo.string(), "is a pipe (FIFO), not a file"},
        {(folder.path() / "to-pipe.json").string(), "is a pipe (FIFO), not a file"},
        {"/dev/null", "is a device, not a file"},
        {sub.string(), "is a folder, not a file"},
        {(folder.path() / "").string(), "names a folder"},
    };
    for (const auto& [path, message] : cases) {
        std::string error;
        EXPECT_FALSE(SaveMapFile(path, doc, error)) << path;
        EXPECT_NE(error.find(message), std::string::npos) << path << ": " << error;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(sub));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"map.json", "pipe.json", "to-pipe.json"}));
}

// As root every file is writable, so the refusal is tried by an ordinary
// user in a child process; the folder is open to all, so only the file's
// own permissions stand in the way.
TEST_F(MapFileSave, RefusesAFileTheUserMayNotWrite) {
    const fs::path path = folder.path() / "map.json";
    { std::ofstream(path) << "read-only"; }
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        std::string error;
        const bool saved = SaveMapFile(path.string(), doc, error);
        ::_exit(saved ? 1 : error.find("may not be written by you") != std::string::npos ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the file was replaced; 2: another message; 3: no ordinary user";
    EXPECT_EQ(ReadText(path.string()), "read-only");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"map.json"}));
}

// The temporary was the name plus ".tmp-PID-N", so a name of NAME_MAX bytes
// could not be saved at all.
TEST_F(MapFileSave, SavesUnderANameOfTheLongestLegalLength) {
    const long limit = ::pathconf(folder.path().c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 20);
    for (const std::string& name : {std::string(static_cast<size_t>(limit), 'm'),
                                    // Three-byte characters: the cut must not split one.
                                    [&] {
                                        std::string n;
                                        while (n.size() + 3 <= static_cast<size_t>(limit)) n += "图";
                                        return n;
                                    }()}) {
        const fs::path path = folder.path() / name;
        std::string error;
        ASSERT_TRUE(SaveMapFile(path.string(), doc, error)) << error;
        EXPECT_EQ(ReadText(path.string()), SerializeMap(doc));
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{name}));
        fs::remove(path);
    }
}

// A save killed between creating its temporary and renaming it left a file as
// large as the map behind for ever. The next save of that file removes the
// temporaries of processes that are gone and leaves those of live ones.
TEST_F(MapFileSave, RemovesTemporariesThatKilledSavesLeftBehind) {
    const pid_t gone = ::fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dead = ".map.json~" + std::to_string(gone) + "-0.tmp";
    const std::string deadAgain = ".map.json~" + std::to_string(gone) + "-7.tmp";
    const std::string live = ".map.json~" + std::to_string(::getppid()) + "-0.tmp";
    const std::string otherFile = ".other.json~" + std::to_string(gone) + "-0.tmp";
    const std::string notOurs = ".map.json~" + std::to_string(gone) + ".tmp";
    for (const std::string& name : {dead, deadAgain, live, otherFile, notOurs}) {
        std::ofstream(folder.path() / name) << std::string(4096, 'x');
    }
    std::string error;
    ASSERT_TRUE(SaveMapFile((folder.path() / "map.json").string(), doc, error)) << error;
    std::vector<std::string> expected = {live, otherFile, notOurs, "map.json"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
}

TEST_F(MapFileSave, RefusesADocumentThatWouldNotLoadBackAndKeepsTheOldFile) {
    const std::string path = (folder.path() / "map.json").string();
    std::string error;
    ASSERT_TRUE(SaveMapFile(path, doc, error)) << error;
    const std::string before = ReadText(path);
    doc.objects()[1].rotation = std::numeric_limits<double>::quiet_NaN();
    doc.objects()[0].name = CString("\x81");  // half a GBK character
    EXPECT_FALSE(SaveMapFile(path, doc, error));
    EXPECT_NE(error.find("/objects/1/rotation"), std::string::npos) << error;
    EXPECT_NE(error.find("/objects/0/name"), std::string::npos) << error;
    EXPECT_EQ(ReadText(path), before);
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"map.json"}));
}

// A catalogue text with a NUL was saved into a map the loader then refused.
// Every refusal of the loader, tried through the writer: the save is refused
// before anything is written, the message names the place, and the text the
// writer would have produced is indeed one the loader refuses.
struct WriterCase {
    const char* name;
    std::function<void(MapDocument&)> change;
    const char* where;
    const char* message;
    // False where the writer would drop the offending part rather than write
    // it, so that only the writer's own check can be tested.
    bool reachesTheLoader = true;
};

TEST_F(MapFileSave, RefusesEveryTextAndValueItsLoaderWouldRefuse) {
    const auto object = [](MapDocument& d, size_t i) -> MapObject& { return d.objects()[i]; };
    const std::vector<WriterCase> cases = {
        {"NUL in a name", [&](MapDocument& d) { object(d, 1).name = CString(std::string("a\0b", 3)); }, "/objects/1/name", "NUL"},
        {"NUL in a record", [&](MapDocument& d) { object(d, 0).fields[163][2] = CString(std::string("\0", 1)); }, "/objects/0/fields/163/2", "NUL"},
        {"NUL in a label", [&](MapDocument& d) { object(d, 1).labels = {{CString(std::string("x\0", 2)), 0, 0}}; }, "/objects/1/labels/0", "NUL"},
        {"NUL in a note", [&](MapDocument& d) { object(d, 1).notes["k"] = CString(std::string("\0", 1)); }, "/objects/1/notes/k", "NUL"},
        {"NUL in the project name", [&](MapDocument& d) { d.project().name = CString(std::string("p\0", 2)); }, "/project/name", "NUL"},
        {"NUL in a layer name", [&](MapDocument& d) { d.layers()[0].name = CString(std::string("\0", 1)); }, "/layers/0/name", "NUL"},
        {"half a GBK character", [&](MapDocument& d) { object(d, 0).name = CString("\x81"); }, "/objects/0/name", "not valid GBK"},
        {"name of 32 bytes", [&](MapDocument& d) { object(d, 0).name = CString(std::string(32, 'n')); }, "/objects/0/name", "32 GBK bytes long; at most 31"},
        {"kind of 32 bytes", [&](MapDocument& d) { object(d, 0).kind = CString(std::string(32, 'k')); }, "/objects/0/kind", "kind name is 32"},
        {"entity id 0", [&](MapDocument& d) { object(d, 3).entityId = 0; }, "/objects/3/id", "entity id 0 is outside 1.."},
        {"negative handle", [&](MapDocument& d) { object(d, 3).handle = -4; }, "/objects/3/handle", "outside 1.."},
        {"entity id twice", [&](MapDocument& d) { object(d, 3).entityId = 2; }, "/objects/3/id", "already used by /objects/1"},
        {"handle twice", [&](MapDocument& d) { object(d, 3).handle = 101; }, "/objects/3/handle", "already used by /objects/2"},
        {"negative type", [&](MapDocument& d) { object(d, 1).entityType = -2; }, "/objects/1/type", "outside 0.."},
        {"colour beyond 24 bits", [&](MapDocument& d) { object(d, 1).colour = 0x1000000; }, "/objects/1/colour", "outside 0..16777215"},
        {"current colour", [&](MapDocument& d) { d.setCurrentColour(-2); }, "/currentColour", "outside -1..16777215"},
        {"negative voltage", [&](MapDocument& d) { d.project().highVoltage = -6000; }, "/project/highVoltage", "outside 0.."},
        {"layer colour", [&](MapDocument& d) { d.layers()[0].colour = -1; }, "/layers/0/colour", "outside 0.."},
        {"layer id twice", [&](MapDocument& d) { d.layers().push_back(d.layers()[0]); }, "/layers/1/id", "already used by /layers/0"},
        {"unknown layer", [&](MapDocument& d) { object(d, 1).layer = 9; }, "/objects/1/layer", "no layer has id 9"},
        {"unknown symbol", [&](MapDocument& d) { object(d, 1).symbol = 5; }, "/objects/1/symbol", "no symbol definition has id 5"},
        {"symbol id twice",
         [&](MapDocument& d) {
             d.symbols().push_back({5, "S", 0, 0, 1, 1, {}});
             d.symbols().push_back({5, "T", 0, 0, 1, 1, {}});
         },
         "/symbols/1/id", "already used by /symbols/0"},
        {"line end naming nothing", [&](MapDocument& d) { object(d, 2).toEntity = 99; }, "/objects/2/to", "no object has entity id 99"},
        {"line end at a line", [&](MapDocument& d) { object(d, 2).fromEntity = 3; }, "/objects/2/from", "is a line"},
        {"line ends on a symbol", [&](MapDocument& d) { object(d, 1).fromEntity = 1; }, "/objects/1", "not a line has line ends", false},
        {"not a number", [&](MapDocument& d) { object(d, 1).rotation = std::nan(""); }, "/objects/1/rotation", "not a finite number"},
        {"infinite motor power", [&](MapDocument& d) { object(d, 1).motor->ratedPowerKW = HUGE_VAL; }, "/objects/1/motor", "not a finite number"},
        {"scale of zero", [&](MapDocument& d) { d.view().scale = 0; }, "/view/scale", "greater than 0"},
        {"negative field number", [&](MapDocument& d) { object(d, 0).fields[-1] = {}; }, "/objects/0/fields/-1", "negative field number"},
        {"note key not UTF-8", [&](MapDocument& d) { object(d, 1).notes["\xFF"] = "x"; }, "/objects/1/notes", "not UTF-8", false},
        {"kept keys not JSON", [&](MapDocument& d) { object(d, 1).extraJson = "{\"a\": tru}"; }, "/objects/1", "not valid JSON", false},
        {"kept keys not an object", [&](MapDocument& d) { d.extraJson() = "[1]"; }, "", "not a JSON object", false},
        {"kept key of a known name", [&](MapDocument& d) { d.layers()[0].extraJson = "{\"colour\": 1}"; }, "/layers/0/colour", "name of a known key", false},
        {"kept key twice", [&](MapDocument& d) { d.project().extraJson = "{\"a\": {\"b\": 1, \"\\u0062\": 2}}"; }, "/project", "\"b\" twice", false},
        {"kept number beyond a double", [&](MapDocument& d) { object(d, 0).extraJson = "{\"big\": 1e999}"; }, "/objects/0", "1e999", false},
        {"kept lone surrogate", [&](MapDocument& d) { object(d, 0).extraJson = "{\"s\": \"\\ud800\"}"; }, "/objects/0", "not valid JSON", false},
        {"kept control character", [&](MapDocument& d) { object(d, 0).extraJson = "{\"s\": \"a\tb\"}"; }, "/objects/0", "not valid JSON", false},
        {"kept NUL byte", [&](MapDocument& d) { d.extraJson() = std::string("{}\0x", 4); }, "", "NUL", false},
        {"kept invalid UTF-8", [&](MapDocument& d) { d.extraJson() = "{\"s\": \"\xC3(\"}"; }, "", "not UTF-8", false},
        {"kept value after the object", [&](MapDocument& d) { d.extraJson() = "{} {}"; }, "", "followed by more text", false},
        // The loader refuses files nested deeper than 64 levels; an object's keys sit at level 3.
        {"kept keys nested too deep", [&](MapDocument& d) { object(d, 0).extraJson = "{\"x\":" + std::string(62, '[') + std::string(62, ']') + "}"; }, "/objects/0", "deeper than 64", false},
    };
    const std::string path = (folder.path() / "map.json").string();
    std::string error;
    ASSERT_TRUE(SaveMapFile(path, doc, error)) << error;
    const std::string before = ReadText(path);
    for (const WriterCase& bad : cases) {
        MapDocument changed = doc;
        bad.change(changed);
        error.clear();
        EXPECT_FALSE(SaveMapFile(path, changed, error)) << bad.name;
        const std::string expected = std::string("\n") + bad.where + ": ";
        const size_t at = error.find(expected);
        EXPECT_NE(at, std::string::npos) << bad.name << ": " << error;
        if (at != std::string::npos) {
            EXPECT_NE(error.find(bad.message, at), std::string::npos) << bad.name << ": " << error;
        }
        MapDocument reloaded;
        if (bad.reachesTheLoader) {
            EXPECT_FALSE(ParseMap(SerializeMap(changed), reloaded).ok) << bad.name << ": the loader accepts what was refused";
        }
        EXPECT_EQ(ReadText(path), before) << bad.name;
        EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"map.json"})) << bad.name;
    }
    // The limits themselves are loadable: 31 bytes, the deepest nesting, colour 0xFFFFFF.
    MapDocument edge = doc;
    edge.objects()[0].name = CString(std::string(31, 'n'));
    edge.objects()[0].extraJson = "{\"x\":" + std::string(61, '[') + std::string(61, ']') + "}";
    edge.objects()[1].colour = 0xFFFFFF;
    ASSERT_TRUE(SaveMapFile(path, edge, error)) << error;
    MapDocument reloaded;
    const MapLoadResult result = LoadMapFile(path, reloaded);
    ASSERT_TRUE(result.ok) << ListProblems(result);
    EXPECT_EQ(reloaded, edge);
}

}  // namespace
}  // namespace host
