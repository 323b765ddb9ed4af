#include "module/TransformerImpedance.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "equipment/PathFields.h"
#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace {

CString Fixed(const char* format, double value) { return jdpath::FormatNumber(format, value); }

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
    const int firstSeparator = path.Find(';');
    if (path.IsEmpty() || firstSeparator < 0) return std::nullopt;
    const std::string_view kind = path.view().substr(0, static_cast<size_t>(firstSeparator));

    // The path is split once; every field below is what ExtractFields would
    // give for it (a missing field is empty, a range stops at the last field).
    std::vector<std::string_view> fields;
    std::vector<std::string_view> parts;
    jdpath::Split(path.view(), ';', fields);

    if (kind == "0") {
        jdpath::Split(jdpath::Field(fields, 2), ',', parts);
        const CString oldPrefix(std::string(jdpath::Field(parts, 1)));
        const std::string_view oldCapacity = jdpath::Field(parts, 2);
        if (!(std::fabs(ParseDouble(CString(std::string(oldCapacity))) - t.capacityKVA) > kZeroTolerance) &&
            oldPrefix == t.modelPrefix) {
            return std::nullopt;
        }
        const CString capacity = Fixed("%.0f", t.capacityKVA);
        const std::string_view tail = jdpath::Field(fields, 3);
        std::string newPath = jdpath::Join(fields, 0, 2, ';');
        newPath += ';';
        newPath += t.name.str();
        newPath += ',';
        newPath += t.modelPrefix.str();
        newPath += ',';
        newPath += capacity.str();
        newPath += ';';
        newPath += tail;
        newPath += ';';
        PointPathUpdate update;
        update.kind = 0;
        update.newPath = CString(std::move(newPath));
        update.prefix = t.modelPrefix;
        update.capacityText = capacity;
        update.fieldText = CString(std::string(tail));
        return update;
    }

    if (kind == "1") {
        jdpath::Split(jdpath::Field(fields, 3), ',', parts);
        const CString oldR(std::string(jdpath::Field(parts, 1)));
        const CString oldX(std::string(jdpath::Field(parts, 2)));
        const CString newR = Fixed("%.4f", t.resistanceOhm);
        const CString newX = Fixed("%.4f", t.reactanceOhm);
        if (newR == oldR && newX == oldX) return std::nullopt;
        const CString sumR(std::string(jdpath::Field(fields, 4)));
        const CString sumX(std::string(jdpath::Field(fields, 5)));
        PointPathUpdate update;
        update.kind = 1;
        // The sums take the unrounded R_T and X_T: the path keeps the loop totals exact to what it stores.
        update.sumROhm = ParseDouble(sumR) - ParseDouble(oldR) + t.resistanceOhm;
        update.sumXOhm = ParseDouble(sumX) - ParseDouble(oldX) + t.reactanceOhm;
        std::string newPath = jdpath::Join(fields, 0, 3, ';');
        newPath += ';';
        newPath += t.name.str();
        newPath += ',';
        newPath += newR.str();
        newPath += ',';
        newPath += newX.str();
        newPath += ';';
        newPath += Fixed("%.4f", update.sumROhm).str();
        newPath += ';';
        newPath += Fixed("%.4f", update.sumXOhm).str();
        newPath += ';';
        update.newPath = CString(std::move(newPath));
        update.fieldText = "0";
        return update;
    }
    return std::nullopt;
}

CString FormatVoltageLossReport(const CString& totalV, const CString& percent, const CString& transformerV,
                                const CString& trunkV, const CString& branchV) {
    return FromUtf8("此变压器所带线路电压损失总和为：") + totalV + " V\r\n" + FromUtf8("损失百分率：") + percent +
           "%\r\n" + FromUtf8("其中，变压器电压损失为：") + transformerV + " V\r\n" +
           FromUtf8("干线电缆电压损失为：") + trunkV + " V\r\n" + FromUtf8("支线电缆电压损失为：") + branchV +
           " V\r\n";
}
