#include "MapGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace jdmapgen {

namespace {

// Cable models of the sample catalogue: id, designation, cross-section, R0 and X0 in ohm/km.
struct CableModel {
    int id;
    const char* designation;
    int section;
    double r0, x0;
};
const CableModel kLowVoltageCables[] = {
    {31, "MYP-0.66/1.14 3×6+1×6", 6, 3.693, 0.095},     {32, "MYP-0.66/1.14 3×10+1×10", 10, 2.159, 0.092},
    {33, "MYP-0.66/1.14 3×16+1×10", 16, 1.369, 0.090},  {35, "MYP-0.66/1.14 3×35+1×16", 35, 0.6160, 0.084},
    {36, "MYP-0.66/1.14 3×50+1×16", 50, 0.4484, 0.081}, {37, "MYP-0.66/1.14 3×70+1×25", 70, 0.3151, 0.078},
    {38, "MYP-0.66/1.14 3×95+1×25", 95, 0.2301, 0.075},
};
// Length factors to the 50 mm² reference (converted length of a kind "0" path).
double LengthFactor(int section) {
    switch (section) {
    case 6: return 8.11;
    case 10: return 4.75;
    case 16: return 3.01;
    case 35: return 1.42;
    case 50: return 1.0;
    case 70: return 0.73;
    default: return 0.53;
    }
}
const double kMotorPowers[] = {5.5, 11, 18.5, 25, 30, 37, 55, 75, 110, 160};

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A number as the map writer prints it: whole numbers without a point, others
// with the fewest digits that read back the same.
std::string Num(double value) {
    if (std::floor(value) == value && std::fabs(value) < 9007199254740992.0) {
        return std::to_string(static_cast<long long>(value));
    }
    char text[64];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

// An array of points is not flat: one point per line.
std::string Outline(std::initializer_list<std::pair<double, double>> points) {
    std::string out = "[\n";
    size_t i = 0;
    for (const auto& [x, y] : points) {
        out += "        [" + Num(x) + ", " + Num(y) + ", 0]" + (++i < points.size() ? ",\n" : "\n");
    }
    return out + "      ]";
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string Texts(const std::vector<std::string>& values) {
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + Quote(values[i]);
    return out + "]";
}

struct Pt {
    double x, y;
};

class Writer {
public:
    Writer(FILE* out, long long totalObjects) : m_out(out), m_total(totalObjects) {}

    long long nextId() const { return m_nextId; }
    long long objects() const { return m_nextId - 1; }

    void Header() {
        Put("{\n"
            "  \"format\": \"jdmap\",\n"
            "  \"version\": 1,\n"
            "  \"project\": {\n"
            "    \"name\": \"生成的矿井供电图\",\n"
            "    \"lowVoltage\": 660,\n"
            "    \"highVoltage\": 6000\n"
            "  },\n"
            "  \"currentColour\": -1,\n"
            "  \"view\": {\n"
            "    \"originX\": 0,\n"
            "    \"originY\": 0,\n"
            "    \"scale\": 1\n"
            "  },\n"
            "  \"layers\": [\n"
            "    {\"id\": 1, \"name\": \"高压供电\", \"colour\": 255},\n"
            "    {\"id\": 2, \"name\": \"低压供电\", \"colour\": 16711680},\n"
            "    {\"id\": 3, \"name\": \"供电设备\", \"colour\": 32768},\n"
            "    {\"id\": 4, \"name\": \"短路点\", \"colour\": 16711935}\n"
            "  ],\n"
            "  \"symbols\": [\n");
        const char* symbols[][2] = {{"101", "高压配电箱"}, {"102", "矿用变压器"}, {"103", "移动变电站"}, {"104", "综保"},
                                     {"105", "启动器"},     {"106", "一拖四开关"}, {"107", "电动机"}};
        for (size_t i = 0; i < 7; ++i) {
            // An object holding an array is not flat: one key per line.
            Put(std::string("    {\n      \"id\": ") + symbols[i][0] + ",\n      \"name\": \"" + symbols[i][1] +
                "\",\n      \"extent\": [-10, -5, 10, 5]\n    }" + (i + 1 < 7 ? ",\n" : "\n"));
        }
        Put("  ],\n  \"objects\": [\n");
    }
    void Footer() { Put("\n  ]\n}\n"); }

    // Every object begins with the keys every object has.
    long long Begin(int type, const char* kind, const std::string& name, int layer, long colour) {
        const long long id = m_nextId++;
        Put(m_first ? "    {\n" : ",\n    {\n");
        m_first = false;
        Put("      \"id\": " + std::to_string(id) + ",\n");
        // Handles count down from a range of their own.
        Put("      \"handle\": " + std::to_string(100000000 + m_total - id + 1) + ",\n");
        Put("      \"type\": " + std::to_string(type) + ",\n");
        Put(std::string("      \"kind\": \"") + kind + "\",\n");
        Put("      \"name\": " + Quote(name) + ",\n");
        Put("      \"layer\": " + std::to_string(layer) + ",\n");
        m_colourLine = "      \"colour\": " + std::to_string(colour);
        return id;
    }
    void Key(const std::string& key, const std::string& value) {
        Put(m_colourLine + ",\n");
        m_colourLine = "      \"" + key + "\": " + value;
    }
    void End() {
        Put(m_colourLine + "\n    }");
        m_colourLine.clear();
    }

    void Symbol(Pt at, int symbol, bool locked = false, long flags = 0) {
        if (flags) Key("flags", std::to_string(flags));
        if (locked) Key("locked", "true");
        Key("insertion", "[" + Num(at.x) + ", " + Num(at.y) + ", 0]");
        Key("symbol", std::to_string(symbol));
        Key("size", "[20, 10]");
    }
    void Labels(const std::vector<std::pair<std::string, int>>& labels, int style = 0) {
        std::string text = "[\n";
        for (size_t i = 0; i < labels.size(); ++i) {
            text += "        {\"text\": " + Quote(labels[i].first) + ", \"style\": " + std::to_string(i ? style : 0) +
                    ", \"placement\": " + std::to_string(labels[i].second) + "}" + (i + 1 < labels.size() ? ",\n" : "\n");
        }
        Key("labels", text + "      ]");
    }
    void Fields(const std::vector<std::pair<int, std::vector<std::string>>>& fields) {
        std::string text = "{\n";
        for (size_t i = 0; i < fields.size(); ++i) {
            text += "        \"" + std::to_string(fields[i].first) + "\": " + Texts(fields[i].second) +
                    (i + 1 < fields.size() ? ",\n" : "\n");
        }
        Key("fields", text + "      }");
    }

    // A cable from one object to another.
    long long Cable(const std::string& name, long long from, long long to, Pt a, Pt b, bool highVoltage,
                    const CableModel& model, int length) {
        const long long id = Begin(1, "电缆", name, highVoltage ? 1 : 2, highVoltage ? 255 : 16711680);
        Key("outline", Outline({{a.x, a.y}, {b.x, b.y}}));
        Key("from", from ? std::to_string(from) : "null");
        Key("to", std::to_string(to));
        if (highVoltage) Key("lineProperty", "1");
        Labels({{std::string(model.designation) + " " + std::to_string(length) + "m", 0}});
        Fields({{155, {std::to_string(length)}},
                {167, {std::to_string(model.id), model.designation, highVoltage ? "6000" : "660", "",
                       std::to_string(model.section)}}});
        End();
        return id;
    }

private:
    void Put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), m_out); }

    FILE* m_out;
    long long m_total;
    long long m_nextId = 1;
    bool m_first = true;
    std::string m_colourLine;
};


// Objects of one feeder of each shape, and the order they come in.
enum class Feeder { Starter, GroupStarter, FourWay, Protection };
int ObjectsOf(Feeder feeder) {
    switch (feeder) {
    case Feeder::Starter: return 5;        // cable, starter, cable, motor, point
    case Feeder::GroupStarter: return 8;   // cable, starter, 2 × (cable, motor, point)
    case Feeder::FourWay: return 14;       // cable, switch, 4 × (cable, motor, point)
    case Feeder::Protection: return 3;     // cable, unit, point
    }
    return 0;
}

class Mine {
public:
    Mine(Writer& writer, const Options& options) : m_w(writer), m_options(options), m_random(options.seed) {}

    void Build() {
        m_w.Header();
        const long long box = m_w.Begin(2, "高压配电箱", "采区高压配电箱", 1, 255);
        m_w.Symbol({0, 50}, 101, true);
        m_w.Labels({{"PBG-200/6", 0}});
        m_w.End();
        m_w.Cable("地面来线", 0, box, {0, 150}, {0, 50}, true, {52, "MYPTJ-6/10 3×50+3×25/3", 50, 0.4484, 0.081}, 1200);
        m_box = box;

        // Each unit costs 2 objects (its cable and transformer) plus its feeders.
        const long long budget = m_options.objects - 2;
        const int units = static_cast<int>(std::min<long long>(m_options.units, std::max<long long>(1, budget / 10)));
        for (int u = 1; u <= units; ++u) {
            long long share;
            if (m_options.big) {
                share = u == 1 ? budget * 98 / 100 : budget * 2 / 100 / std::max(1, units - 1);
            } else {
                share = budget / units;
            }
            if (u == units) share = budget - (m_w.objects() - 2);  // the last unit takes what is left
            Unit(u, share);
        }
        m_w.Footer();
    }

    const Summary& totals() const { return m_totals; }

private:
    void Unit(int u, long long share) {
        const bool mobile = (u % 2 == 1) != m_options.firstMine;
        const std::string unit = "U" + std::to_string(u);
        const std::string name = unit + (mobile ? "-移动变电站" : "-矿用变压器");
        const Pt at{static_cast<double>((u - 1) % 100) * 2000.0, -1000.0 - ((u - 1) / 100) * 3000.0};
        const long long cableId = m_w.nextId();
        const long long transformerId = cableId + 1;
        m_w.Cable(unit + "-高压电缆", m_box, transformerId, {0, 50}, at, true, {51, "MYPTJ-6/10 3×35+3×17/3", 35, 0.616, 0.084},
                  300 + static_cast<int>(m_random() % 1200));
        m_w.Begin(28, mobile ? "移动变电站" : "矿用变压器", name, 3, 32768);
        m_w.Symbol(at, mobile ? 103 : 102, false, 4096);
        m_w.Labels({{mobile ? "KBSGZY-500/6/0.69" : "KBSG-200/6/0.69", 0}, {name, 8}}, 1);
        if (mobile) {
            m_w.Fields({{151, {"掘进工作面", "0", "1000.00", "", "否", "0.0117", "0.0363", "126.96", "19.85", "0", "41.01", "0"}},
                        {158, {"0.350", "1.000", "0.600", "160", "310", "180.833"}},
                        {160, {}},
                        {163, {"4", "KBSGZY-500/6", "移动变电站", "500.00", "6000", "690", "48.11", "418.37", "1152.00",
                               "6120.00", "4.00", "0.0117", "0.0363", "Y,y0"}},
                        {174, {"0", "", "0", "0", "否", "", "0", "否", "", "", "0"}},
                        {176, {"0", "", "0", "0", "0", "0", "0", "0", "0", "0", "否", "否"}}});
        } else {
            m_w.Fields({{151, {"无主排水设备", "0", "900.00", "", "否", "0.0371", "0.0877", "23.80", "6.49", "0", "10.45", "0"}},
                        {158, {"0.650", "1.000", "0.700", "30", "79", "73.357"}},
                        {160, {"18.30", "2.77", "", "", "", "", "", "9.42", "5.36", "3.52"}},
                        {163, {"57", "KBSG-200/6", "动力变压器", "200.00", "6000", "690", "19.25", "167.35", "576.00",
                               "3120.00", "4.00", "0.0371", "0.0877", "Y,y0"}},
                        {174, {"0", "", "0", "0", "否", "", "0", "否", "", "", "0"}},
                        {176, {"0", "", "0", "0", "0", "0", "0", "0", "0", "0", "否", "否"}}});
        }
        m_w.End();
        ++m_totals.transformers;
        if (m_totals.firstTransformer.empty()) m_totals.firstTransformer = name;
        m_totals.lastTransformer = name;

        m_unitName = name;
        m_mobile = mobile;
        m_runningKW = 0.0;
        long long left = share - 2;
        for (int f = 1; left >= 3; ++f) {
            Feeder feeder = PickFeeder();
            while (ObjectsOf(feeder) > left) feeder = feeder == Feeder::FourWay ? Feeder::GroupStarter
                                                  : feeder == Feeder::GroupStarter ? Feeder::Starter
                                                                                   : Feeder::Protection;
            left -= ObjectsOf(feeder);
            Feed(transformerId, unit + "F" + std::to_string(f), feeder,
                 {at.x + (f % 50) * 30.0, at.y - 100.0 - (f / 50) * 200.0}, at);
        }
    }

    Feeder PickFeeder() {
        const unsigned r = m_random() % 10;
        return r < 4 ? Feeder::Starter : r < 6 ? Feeder::GroupStarter : r < 9 ? Feeder::FourWay : Feeder::Protection;
    }

    const CableModel& PickCable(int least) {
        const CableModel* model = &kLowVoltageCables[least + m_random() % (7 - least)];
        return *model;
    }

    // A low-voltage cable from `from` to a new object whose id is the next
    // but one; returns the cable's model and length for the points below it.
    struct Run {
        std::vector<std::pair<const CableModel*, int>> cables;
        std::vector<std::string> names;
    };

    void Feed(long long transformerId, const std::string& feeder, Feeder shape, Pt at, Pt top) {
        const CableModel& trunk = PickCable(3);
        const int trunkLength = 100 + static_cast<int>(m_random() % 400);
        const std::string trunkName = feeder + "-电缆";
        const long long deviceId = m_w.nextId() + 1;
        m_w.Cable(trunkName, transformerId, deviceId, top, at, false, trunk, trunkLength);
        Run run;
        run.cables.push_back({&trunk, trunkLength});
        run.names.push_back(trunkName);
        if (shape == Feeder::Protection) {
            const std::string name = feeder + "-综保";
            m_w.Begin(2, "综保", name, 3, 32768);
            m_w.Symbol(at, 104);
            m_w.Labels({{"ZBZ-4.0/1140(660)", 0}});
            m_w.End();
            Point(feeder + "-d", trunkName, name, run, at);
            return;
        }
        const bool fourWay = shape == Feeder::FourWay;
        const std::string device = feeder + (fourWay ? "-一拖四开关" : "-启动器");
        m_w.Begin(2, fourWay ? "一拖四开关" : "启动器", device, 3, 32768);
        m_w.Symbol(at, fourWay ? 106 : 105);
        m_w.Labels({{fourWay ? "QJZ-4×120/1140(660)" : "QBZ-80/1140(660)", 0}});
        m_w.End();
        const int motors = shape == Feeder::Starter ? 1 : shape == Feeder::GroupStarter ? 2 : 4;
        const double power = kMotorPowers[m_random() % 10];
        for (int m = 1; m <= motors; ++m) {
            const std::string motorName = feeder + "M" + std::to_string(m) + "-电动机";
            const std::string cableName = feeder + "M" + std::to_string(m) + "-电缆";
            const CableModel& branch = PickCable(0);
            const int length = 10 + static_cast<int>(m_random() % 90);
            const Pt motorAt{at.x + (m - 1) * 8.0, at.y - 50.0};
            m_w.Cable(cableName, deviceId, m_w.nextId() + 1, at, motorAt, false, branch, length);
            // Jointly starting motors of one starter have the same power.
            const double kw = shape == Feeder::GroupStarter ? power : kMotorPowers[m_random() % 10];
            const bool running = m_options.allRunning || m_runningKW + kw <= 400.0;
            if (running) m_runningKW += kw;
            m_w.Begin(2, "电动机", motorName, 3, 32768);
            m_w.Symbol(motorAt, 107);
            m_w.Labels({{Num(kw) + "kW", 3}});
            const double rated = std::round(kw * 1.15 * 10.0) / 10.0;
            m_w.Key("motor", "{\n        \"ratedPowerKW\": " + Num(kw) + ",\n        \"ratedCurrentA\": " + Num(rated) +
                                  ",\n        \"ratedVoltageV\": 660,\n        \"startCurrentA\": " +
                                  Num(std::round(rated * 6.0 * 10.0) / 10.0) + ",\n        \"powerFactor\": 0.85" +
                                  ",\n        \"running\": " + (running ? "true" : "false") +
                                  ",\n        \"groupStart\": " + (shape == Feeder::GroupStarter ? "true" : "false") +
                                  "\n      }");
            m_w.End();
            ++m_totals.motors;
            Run branchRun = run;
            branchRun.cables.push_back({&branch, length});
            branchRun.names.push_back(cableName);
            Point(feeder + "M" + std::to_string(m) + "-d", cableName, motorName, branchRun, motorAt);
        }
    }

    // A short-circuit point at the far end of the run's last cable, with the
    // supply path of its transformer's kind and the current worked out as the
    // library does (docs/map-format.md).
    void Point(const std::string& name, const std::string& cable, const std::string& device, const Run& run, Pt at) {
        const double xs = 0.69 * 0.69 / 50.0;
        const double rt = m_mobile ? 0.011655 : 0.037136;
        const double xt = m_mobile ? 0.036261 : 0.087680;
        double r = rt, x = xs + xt, lh = 0.0;
        for (const auto& [model, length] : run.cables) {
            r += model->r0 * length / 1000.0;
            x += model->x0 * length / 1000.0;
            lh += LengthFactor(model->section) * length;
        }
        const double sumR = std::round(r * 10000.0) / 10000.0;
        const double sumX = std::round(x * 10000.0) / 10000.0;
        const double current = 690.0 / (2.0 * std::sqrt(sumR * sumR + sumX * sumX));
        std::string path;
        if (m_mobile) {
            std::string cables;
            for (const std::string& n : run.names) cables += (cables.empty() ? "" : "/") + n;
            path = "1;690;" + cables + ";" + m_unitName + ",0.0117,0.0363;" + Fixed(sumR, 4) + ";" + Fixed(sumX, 4) + ";";
        } else {
            path = "0;690;" + m_unitName + ",KBSG,200;" + Fixed(lh, 0) + ";";
        }
        m_w.Begin(27, "短路点", name, 4, 16711935);
        m_w.Key("insertion", "[" + Num(at.x) + ", " + Num(at.y + 8) + ", 0]");
        m_w.Key("outline", Outline({{at.x - 1.5, at.y + 6.5}, {at.x + 1.5, at.y + 6.5}, {at.x + 1.5, at.y + 9.5},
                                    {at.x - 1.5, at.y + 9.5}}));
        m_w.Labels({{name + " Id(2)=" + Fixed(current, 0) + "A", 1}});
        m_w.Fields({{161, {cable, Fixed(current, 2), "", "", "", "", "", device, "", "", "", path}}});
        m_w.End();
        ++m_totals.points;
    }

    Writer& m_w;
    const Options& m_options;
    std::mt19937 m_random;
    Summary m_totals;
    long long m_box = 0;
    std::string m_unitName;
    bool m_mobile = false;
    double m_runningKW = 0.0;
};

}  // namespace

Summary WriteMineMap(const Options& options, FILE* out) {
    Writer writer(out, options.objects);
    Mine mine(writer, options);
    mine.Build();
    Summary summary = mine.totals();
    summary.objects = writer.objects();
    return summary;
}

}  // namespace jdmapgen
