#include "module/TransformerImpedance.h"

#include <bit>
#include <cctype>
#include <cstdint>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

#include "equipment/MapRoutines.h"
#include "host/AttributeAccess.h"
#include "host/AttributeRecords.h"
#include "equipment/PathFields.h"
#include "host/Kernel.h"
#include "module/TransformerRecords.h"
#include "platform/Gbk.h"

namespace {

CString Fixed(const char* format, double value) { return jdpath::FormatNumber(format, value); }

constexpr LONG kSupplyPathSub = 11;  // of field 161

// Fixed("%.4f", value) of the transformer's R_T (slot 0) or X_T (slot 1),
// formatted again only when the value differs from the last one: a loop over
// a transformer's points formats the same two values for every point.
std::string_view FixedOfTransformer(int slot, double value) {
    struct Formatted {
        uint64_t bits = 0;
        bool valid = false;
        std::string text;
    };
    thread_local Formatted last[2];
    Formatted& f = last[slot];
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    if (!f.valid || f.bits != bits) {
        f.text.clear();
        jdpath::AppendFourDecimals(f.text, value);
        f.bits = bits;
        f.valid = true;
    }
    return f.text;
}

// ParseDouble of a field, read where it lies.
double ParseNumber(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    double value = 0.0;
    return ParseDecimalText(text, value) ? value : 0.0;
}

}  // namespace

std::optional<TransformerImpedance> CalcTransformerImpedance(double shortCircuitLossW, double secondaryVoltageV,
                                                             double capacityKVA, double impedancePercent) {
    if (IsZero(capacityKVA)) return std::nullopt;
    const double ratio = secondaryVoltageV / (capacityKVA * 1000.0);
    const double r = shortCircuitLossW * ratio * ratio;
    const double u2kV = secondaryVoltageV / 1000.0;
    const double z = u2kV * u2kV * impedancePercent * 10.0 / capacityKVA;
    if (!std::isfinite(r) || !std::isfinite(z) || z < r) return std::nullopt;
    return TransformerImpedance{r, std::sqrt(z * z - r * r)};
}

std::optional<PointPathUpdate> RewriteSupplyPath(const CString& path, const SupplyTransformer& t) {
    const std::string_view text = path.view();
    // Every field below is what ExtractFields would give for it (a missing
    // field is empty, a range stops at the last field), found by one scan
    // that stops after the last field used and read where it lies: OK
    // rewrites the paths of every point a transformer feeds, tens of
    // thousands at a mine's scale. The first ';' byte need not be the first
    // separator (a lone lead byte takes the byte after it), but a kind of "0"
    // or "1" before it is one ASCII digit, after which it is.
    const size_t firstSeparator = text.find(';');
    if (firstSeparator == std::string_view::npos) return std::nullopt;
    const std::string_view kind = text.substr(0, firstSeparator);

    if (kind == "0") {
        const auto fields = jdpath::SplitLeading<4>(text, ';');
        const auto parts = jdpath::SplitLeading<3>(fields[2], ',');
        const std::string_view oldPrefix = parts[1];
        if (!(std::fabs(ParseNumber(parts[2]) - t.capacityKVA) > kZeroTolerance) &&
            oldPrefix == t.modelPrefix.view()) {
            return std::nullopt;
        }
        PointPathUpdate update;
        update.kind = 0;
        update.capacityText = Fixed("%.0f", t.capacityKVA);
        const std::string_view tail = fields[3];
        std::string newPath;
        newPath.reserve(text.size() + t.name.view().size() + t.modelPrefix.view().size() + 16);
        newPath += fields.JoinedFromStart(text, 2);
        newPath += ';';
        newPath += t.name.view();
        newPath += ',';
        newPath += t.modelPrefix.view();
        newPath += ',';
        newPath += update.capacityText.view();
        newPath += ';';
        newPath += tail;
        newPath += ';';
        update.newPath = CString(std::move(newPath));
        update.prefix = t.modelPrefix;
        update.fieldText = CString(tail);
        return update;
    }

    if (kind == "1") {
        const auto fields = jdpath::SplitLeading<6>(text, ';');
        const auto parts = jdpath::SplitLeading<3>(fields[3], ',');
        const std::string_view oldR = parts[1];
        const std::string_view oldX = parts[2];
        const std::string_view newR = FixedOfTransformer(0, t.resistanceOhm);
        const std::string_view newX = FixedOfTransformer(1, t.reactanceOhm);
        if (newR == oldR && newX == oldX) return std::nullopt;
        PointPathUpdate update;
        update.kind = 1;
        // The sums take the unrounded R_T and X_T: the path keeps the loop totals exact to what it stores.
        update.sumROhm = ParseNumber(fields[4]) - ParseNumber(oldR) + t.resistanceOhm;
        update.sumXOhm = ParseNumber(fields[5]) - ParseNumber(oldX) + t.reactanceOhm;
        std::string newPath;
        newPath.reserve(text.size() + t.name.view().size() + 48);
        newPath += fields.JoinedFromStart(text, 3);
        newPath += ';';
        newPath += t.name.view();
        newPath += ',';
        newPath += newR;
        newPath += ',';
        newPath += newX;
        newPath += ';';
        jdpath::AppendFourDecimals(newPath, update.sumROhm);
        newPath += ';';
        jdpath::AppendFourDecimals(newPath, update.sumXOhm);
        newPath += ';';
        update.newPath = CString(std::move(newPath));
        update.fieldText = "0";
        return update;
    }
    return std::nullopt;
}

int UpdateShortCircuitPointsOf(CMorvaObjects* map, const CString& nameAtOpen, CKernelObjectArray* objects,
                               CEntityIdArray* ids, const SupplyTransformer& transformer, double secondaryVoltageV) {
    CKernelObjectArray points;
    CEntityIdArray pointIds;
    FindShortCircuitPoints(map, 1, CString(), nameAtOpen, CString(), objects, ids, &points, &pointIds);
    const CString voltage = Fixed("%.0f", secondaryVoltageV);
    const CUnchangedLinesScope linesStay;  // the loop writes records and labels only
    // Per point: its path read (ReadPointPath), and when it changed the point
    // recomputed (RecalcShortCircuitPoint, which does not read the point's
    // name: it finds the point by its handle) and the new path written
    // (WritePointPath), all within one run of the map's records.
    AttributeRun records(map);
    for (int i = 0; i < points.GetSize() && i < pointIds.GetSize(); ++i) {
        const LONG point = points[i];
        const LONG pointId = pointIds[i];
        auto update = RewriteSupplyPath(
            records.ReadText(pointId, AttributeField::ShortCircuitPoint, kSupplyPathSub), transformer);
        if (!update) continue;
        RecalcShortCircuitPointAndPath(records, map, point, pointId, voltage, update->kind, update->prefix,
                                       update->capacityText, update->fieldText, update->sumROhm, update->sumXOhm,
                                       std::move(update->newPath));
    }
    return points.GetSize();
}

CString FormatVoltageLossReport(const CString& totalV, const CString& percent, const CString& transformerV,
                                const CString& trunkV, const CString& branchV) {
    return FromUtf8("此变压器所带线路电压损失总和为：") + totalV + " V\r\n" + FromUtf8("损失百分率：") + percent +
           "%\r\n" + FromUtf8("其中，变压器电压损失为：") + transformerV + " V\r\n" +
           FromUtf8("干线电缆电压损失为：") + trunkV + " V\r\n" + FromUtf8("支线电缆电压损失为：") + branchV +
           " V\r\n";
}
