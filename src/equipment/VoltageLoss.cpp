// Voltage loss of a transformer and its worst cable run (docs/engineering.md).
#include <algorithm>
#include <cmath>
#include <vector>

#include "equipment/Engineering.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "host/AttributeAccess.h"
#include "host/AttributeRecords.h"
#include "host/MapDocument.h"

namespace {

// Rated power of the running motors with data fed through the line, kW.
double RunningPowerBehind(LONG line) {
    const LONG end = jdmap::LineEndObject(line);
    if (end == 0) return 0.0;
    std::vector<LONG> motors;
    if (jdwalk::IsMotor(end)) {
        motors.push_back(end);
    } else if (!jdwalk::EndsSupplyWalk(end)) {
        jdwalk::CollectMotorsDownstream(end, motors);
    }
    double powerKW = 0.0;
    for (LONG motor : motors) {
        const host::MapObject* object = jdmap::ObjectOfHandle(motor);
        if (object && object->motor && object->motor->running) powerKW += object->motor->ratedPowerKW;
    }
    return powerKW;
}

struct CableLoss {
    double trunkV = 0.0;
    double branchV = 0.0;
    double total() const { return trunkV + branchV; }
};

// The run's first cable (the one leaving the transformer) is the trunk cable,
// loaded with the demand coefficient and every running motor behind it; the
// cables below it are branch cables, each loaded with the load factor and the
// running motors behind it, over the motor efficiency.
CableLoss LossOfRun(const std::vector<LONG>& linesFromTransformer, double demand, double ratedV,
                    const jdeng::NetworkParameters& p) {
    CableLoss loss;
    for (size_t i = 0; i < linesFromTransformer.size(); ++i) {
        const LONG line = linesFromTransformer[i];
        const host::MapObject* cable = jdmap::ObjectOfHandle(line);
        if (!cable) continue;
        const double lengthM = jdmap::FieldNumber(*cable, AttributeField::CableLength, 0);
        const double section = jdmap::FieldNumber(*cable, AttributeField::CableModel, 4);
        const double powerKW = RunningPowerBehind(line);
        if (i == 0) {
            loss.trunkV += jdeng::CableVoltageLoss(demand, powerKW, lengthM, p.conductivity, ratedV, section);
        } else {
            loss.branchV += jdeng::CableVoltageLoss(p.branchLoadFactor, powerKW, lengthM, p.conductivity, ratedV, section,
                                                    p.motorEfficiency);
        }
    }
    return loss;
}

}  // namespace

BOOL CalcVoltageLoss(CMorvaObjects* pMap, LONG hTransformer, LONG nEntityId, int /*nMode*/) {
    if (!pMap) return FALSE;
    const host::MapObject* transformer = jdmap::ObjectOfHandle(hTransformer);
    if (!transformer) transformer = jdmap::ObjectOfEntity(nEntityId);
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!transformer || !document) return FALSE;
    const LONG handle = transformer->handle;

    const LONG model = AttributeField::TransformerModel;
    const LONG coefficients = AttributeField::Coefficients;
    const double capacityKVA = jdmap::FieldNumber(*transformer, model, 3);
    const double secondaryV = jdmap::FieldNumber(*transformer, model, 5);
    const double lossW = jdmap::FieldNumber(*transformer, model, 9);
    const double ukPercent = jdmap::FieldNumber(*transformer, model, 10);
    const double apparentKVA = jdmap::FieldNumber(*transformer, coefficients, 5);
    const double cosPhi = jdmap::FieldNumber(*transformer, coefficients, 2);
    bool hasDemand = false;
    const double kr = ParseDouble(jdmap::FieldText(*transformer, coefficients, 0, &hasDemand));
    // Without load statistics every motor is taken at full load: the safe side.
    const double demand = hasDemand && kr > 0.0 ? kr : 1.0;

    const double beta = capacityKVA > 0.0 ? apparentKVA / capacityKVA : 0.0;
    const double transformerV =
        secondaryV > 0.0 ? jdeng::TransformerVoltageLoss(beta, lossW, capacityKVA, ukPercent, cosPhi, secondaryV) : 0.0;
    const double ratedV =
        secondaryV > 0.0 ? jdeng::NetworkRatedVoltage(secondaryV) : static_cast<double>(document->project().lowVoltage);

    const jdeng::NetworkParameters parameters = jdeng::GetNetworkParameters();
    std::vector<LONG> motors;
    jdwalk::CollectMotorsDownstream(handle, motors);
    CableLoss worst;
    for (LONG motor : motors) {
        const host::MapObject* object = jdmap::ObjectOfHandle(motor);
        if (!object || !object->motor || !object->motor->running) continue;
        const jdwalk::UpstreamRun run = jdwalk::FollowUpstream(motor, jdwalk::EndsLowVoltageRun);
        if (run.top != handle) continue;
        std::vector<LONG> lines(run.lines.rbegin(), run.lines.rend());
        const CableLoss loss = LossOfRun(lines, demand, ratedV, parameters);
        if (loss.total() > worst.total()) worst = loss;  // of equal runs the first stays
    }

    const double totalV = transformerV + worst.total();
    const double percent = ratedV > 0.0 ? totalV / ratedV * 100.0 : 0.0;
    // A loss that is not finite is stored as 0, as the record rules read it.
    auto text = [](double v) { return CString::Formatted("%.2f", std::isfinite(v) ? v : 0.0); };
    const bool written = WriteAttributeValues(pMap, transformer->entityId, AttributeField::VoltageLoss,
                                              {{0, text(totalV)},
                                               {1, text(percent)},
                                               {7, text(transformerV)},
                                               {8, text(worst.trunkV)},
                                               {9, text(worst.branchV)}});
    return written ? TRUE : FALSE;
}
