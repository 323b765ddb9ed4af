#include "module/TransformerImpedance.h"

#include <cmath>

#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace {

CString Fields(const CString& text, const char* separator, LONG first, LONG end) {
    CString out;
    ExtractFields(&text, separator, first, end, &out);
    return out;
}

CString Fixed(const char* format, double value) { return CString::Formatted(format, value); }

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
    const CString kind = path.Left(firstSeparator);

    if (kind == "0") {
        const CString head = Fields(path, ";", 0, 2) + ";";
        const CString old = Fields(path, ";", 2, 3);
        const CString oldPrefix = Fields(old, ",", 1, 2);
        const CString oldCapacity = Fields(old, ",", 2, 3);
        const CString tail = Fields(path, ";", 3, 4);
        const CString capacity = Fixed("%.0f", t.capacityKVA);
        if (!(std::fabs(ParseDouble(oldCapacity) - t.capacityKVA) > kZeroTolerance) && oldPrefix == t.modelPrefix) {
            return std::nullopt;
        }
        PointPathUpdate update;
        update.kind = 0;
        update.newPath = head + t.name + "," + t.modelPrefix + "," + capacity + ";" + tail + ";";
        update.prefix = t.modelPrefix;
        update.capacityText = capacity;
        update.fieldText = tail;
        return update;
    }

    if (kind == "1") {
        const CString head = Fields(path, ";", 0, 3) + ";";
        const CString old = Fields(path, ";", 3, 4);
        const CString oldR = Fields(old, ",", 1, 2);
        const CString oldX = Fields(old, ",", 2, 3);
        const CString sumR = Fields(path, ";", 4, 5);
        const CString sumX = Fields(path, ";", 5, 6);
        const CString newR = Fixed("%.4f", t.resistanceOhm);
        const CString newX = Fixed("%.4f", t.reactanceOhm);
        if (newR == oldR && newX == oldX) return std::nullopt;
        PointPathUpdate update;
        update.kind = 1;
        // The sums take the unrounded R_T and X_T: the path keeps the loop totals exact to what it stores.
        update.sumROhm = ParseDouble(sumR) - ParseDouble(oldR) + t.resistanceOhm;
        update.sumXOhm = ParseDouble(sumX) - ParseDouble(oldX) + t.reactanceOhm;
        update.newPath = head + t.name + "," + newR + "," + newX + ";" + Fixed("%.4f", update.sumROhm) + ";" +
                         Fixed("%.4f", update.sumXOhm) + ";";
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
