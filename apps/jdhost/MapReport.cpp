#include "jdhost/MapReport.h"

#include <cstdio>
#include <map>
#include <vector>

#include "jdhost/Script.h"
#include "platform/Gbk.h"

namespace jdhost {

std::string Utf8(std::string_view gbk) {
    std::string out;
    if (TryGbkToUtf8(gbk, out)) return out;
    // Convert what can be converted, one character at a time, and show the rest as bytes.
    out.clear();
    size_t i = 0;
    while (i < gbk.size()) {
        const unsigned char c = static_cast<unsigned char>(gbk[i]);
        const size_t width = (IsGbkLeadByte(c) && i + 1 < gbk.size()) ? 2 : 1;
        std::string piece;
        if (TryGbkToUtf8(gbk.substr(i, width), piece)) {
            out += piece;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            i += 1;
            continue;
        }
        i += width;
    }
    return out;
}

std::string Utf8(const CString& gbk) { return Utf8(gbk.view()); }

namespace {

template <typename Map, typename Object>
Object* Find(Map& map, std::string_view reference, std::string& error) {
    if (const auto id = HashNumber(reference)) {
        if (*id > INT32_MAX) {
            error = "no object has the entity id " + std::string(reference);
            return nullptr;
        }
        Object* object = map.FindByEntity(static_cast<LONG>(*id));
        if (!object) error = "no object has the entity id " + std::string(reference);
        return object;
    }
    std::string gbk;
    if (reference.empty() || !TryUtf8ToGbk(reference, gbk)) {
        error = "\"" + std::string(reference) + "\" is not a name an object can have";
        return nullptr;
    }
    Object* found = nullptr;
    std::string ids;
    int count = 0;
    for (auto& object : map.objects()) {
        if (object.name.str() == gbk) {
            if (!found) found = &object;
            ids += (count ? ", #" : "#") + std::to_string(object.entityId);
            ++count;
        }
    }
    if (count == 0) {
        error = "no object is named \"" + std::string(reference) + "\"";
        return nullptr;
    }
    if (count > 1) {
        error = "the name \"" + std::string(reference) + "\" is shared by " + ids + "; name the object by its #id";
        return nullptr;
    }
    return found;
}

}  // namespace

const host::MapObject* FindObject(const host::MapDocument& map, std::string_view reference, std::string& error) {
    return Find<const host::MapDocument, const host::MapObject>(map, reference, error);
}

host::MapObject* FindObject(host::MapDocument& map, std::string_view reference, std::string& error) {
    return Find<host::MapDocument, host::MapObject>(map, reference, error);
}

std::vector<std::string> SetTransformerWarnings(const host::MapDocument& map) {
    // The fields the Set Transformer dialog's OK stores its results in:
    // load statistics, coefficients, the catalogue model.
    static const LONG kStored[] = {151, 158, 163};
    const CString mobile = FromUtf8(host::KindName::MobileSubstation);
    const CString transformer = FromUtf8(host::KindName::MineTransformer);
    std::vector<std::string> warnings;
    for (const host::MapObject& object : map.objects()) {
        if (object.isLine || (object.kind != mobile && object.kind != transformer)) continue;
        std::string missing;
        for (const LONG field : kStored) {
            if (object.fields.count(field)) continue;
            missing += (missing.empty() ? "" : ", ") + std::to_string(field);
        }
        if (missing.empty()) continue;
        warnings.push_back(DescribeObject(object) + " has no field " + missing +
                           ": the set-transformer command stores nothing there");
    }
    return warnings;
}

std::string DescribeObject(const host::MapObject& object) {
    std::string text = "#" + std::to_string(object.entityId);
    if (!object.name.IsEmpty()) text += " " + Utf8(object.name);
    if (!object.kind.IsEmpty()) text += " (" + Utf8(object.kind) + ")";
    return text;
}

namespace {

void PrintField(std::ostream& out, LONG number, const host::AttributeRow& row) {
    out << "field " << number << "\n";
    for (size_t i = 0; i < row.size(); ++i) {
        out << "  " << i << ":";
        if (!row[i].IsEmpty()) out << " " << Utf8(row[i]);
        out << "\n";
    }
}

}  // namespace

bool PrintRecords(std::ostream& out, const host::MapObject& object, std::optional<LONG> field) {
    out << DescribeObject(object) << "\n";
    if (field) {
        const auto it = object.fields.find(*field);
        if (it == object.fields.end()) return false;
        PrintField(out, it->first, it->second);
        return true;
    }
    if (object.fields.empty()) out << "(no attribute records)\n";
    for (const auto& [number, row] : object.fields) PrintField(out, number, row);
    return true;
}

void PrintInfo(std::ostream& out, const host::MapDocument& map, const std::string& fileName) {
    const auto& objects = map.objects();
    std::map<std::string, int> symbolKinds;  // UTF-8 kind -> count, sorted for a stable report
    std::map<std::string, int> lineKinds;
    std::map<LONG, int> fieldCounts;         // field number -> objects carrying it
    int lines = 0;
    int linesUnconnected = 0;
    for (const auto& o : objects) {
        const std::string kind = o.kind.IsEmpty() ? std::string("(no kind)") : Utf8(o.kind);
        if (o.isLine) {
            ++lines;
            ++lineKinds[kind];
            if (o.fromEntity == 0 || o.toEntity == 0) ++linesUnconnected;
        } else {
            ++symbolKinds[kind];
        }
        for (const auto& entry : o.fields) ++fieldCounts[entry.first];
    }
    out << "map " << fileName << "\n";
    const auto& project = map.project();
    if (!project.name.IsEmpty()) out << "project " << Utf8(project.name) << "\n";
    out << "voltage levels: high " << project.highVoltage << " V, low " << project.lowVoltage << " V\n";
    out << "objects: " << objects.size() << "\n";
    out << "symbols and points by kind:\n";
    if (symbolKinds.empty()) out << "  none\n";
    for (const auto& [kind, count] : symbolKinds) out << "  " << kind << ": " << count << "\n";
    out << "lines: " << lines;
    if (linesUnconnected) out << " (" << linesUnconnected << " with an open end)";
    out << "\n";
    for (const auto& [kind, count] : lineKinds) out << "  " << kind << ": " << count << "\n";
    out << "attribute fields (objects carrying each):\n";
    if (fieldCounts.empty()) out << "  none\n";
    for (const auto& [number, count] : fieldCounts) out << "  " << number << ": " << count << "\n";
    out << "layers: " << map.layers().size() << ", symbol definitions: " << map.symbols().size() << "\n";
}

}  // namespace jdhost
