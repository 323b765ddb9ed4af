// Motors, their data and their currents as the transformer's high-voltage
// side sees them; the transformer's and the cables' stored values.
#include <cstring>
#include <new>
#include <map>
#include <unordered_map>
#include <vector>

#include "equipment/Engineering.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "host/AttributeRecords.h"
#include "host/HostDispids.h"
#include "host/Kernel.h"
#include "host/MapDocument.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"
#include "platform/ModuleOutput.h"

namespace {

const host::MotorData* MotorOfEntity(LONG entityId) {
    const host::MapObject* object = jdmap::ObjectOfEntity(entityId);
    return object && object->motor ? &*object->motor : nullptr;
}

const host::MotorData* MotorOfHandle(LONG handle) {
    const host::MapObject* object = jdmap::ObjectOfHandle(handle);
    return object && object->motor ? &*object->motor : nullptr;
}

// U2 / U1 of the transformer (model record 163 sub 5 over sub 4); the
// project's low over high voltage when the transformer is unknown or has no model.
double RatioToPrimary(LONG transformer) {
    if (const host::MapObject* object = jdmap::ObjectOfHandle(transformer)) {
        const double u1 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 4);
        const double u2 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 5);
        if (u1 > 0.0 && u2 > 0.0) return u2 / u1;
    }
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!document || document->project().highVoltage <= 0) return 1.0;
    return static_cast<double>(document->project().lowVoltage) / document->project().highVoltage;
}

}  // namespace

BOOL IsMotorObject(LONG hObject) { return jdwalk::IsMotor(hObject) ? TRUE : FALSE; }

BOOL IsMotorRunning(LONG hObject) {
    const host::MotorData* motor = MotorOfHandle(hObject);
    return motor && motor->running ? TRUE : FALSE;
}

BOOL HasMotorData(CMorvaObjects* /*pMap*/, LONG nEntityId) { return MotorOfEntity(nEntityId) ? TRUE : FALSE; }

BOOL GetMotorData(CMorvaObjects* /*pMap*/, LONG* pEntityId, double* pValues, int nCount) {
    if (!pEntityId || !pValues || nCount <= 0) return FALSE;
    const host::MotorData* motor = MotorOfEntity(*pEntityId);
    if (!motor) return FALSE;
    const double values[JD_MOTOR_VALUE_COUNT] = {motor->ratedPowerKW, motor->ratedCurrentA, motor->ratedVoltageV,
                                                 motor->startCurrentA, motor->powerFactor};
    for (int i = 0; i < nCount && i < JD_MOTOR_VALUE_COUNT; ++i) pValues[i] = values[i];
    return TRUE;
}

BOOL IsGroupStartMotor(CMorvaObjects* /*pMap*/, LONG* pEntityId) {
    if (!pEntityId) return FALSE;
    const host::MotorData* motor = MotorOfEntity(*pEntityId);
    return motor && motor->groupStart ? TRUE : FALSE;
}

int CollectSuppliedMotors(int /*nMode*/, LONG hTransformer, CKernelObjectArray* pMotors) {
    if (!pMotors || hTransformer == 0) return 0;
    std::vector<LONG> motors;
    jdwalk::CollectMotorsDownstream(hTransformer, motors);
    for (LONG motor : motors) pMotors->Add(motor);
    return static_cast<int>(motors.size());
}

namespace {

// CollectStatMotors' blocks for the motors the walk from the transformer found.
template <typename Motors>
int AddStatMotors(LONG hTransformer, const Motors& motors, CKernelObjectArray* pMotors, CKernelBlockArray* pBlocks,
                  int nMode) {
    const double ratio = RatioToPrimary(hTransformer);
    const jdwalk::UpstreamRunMemo runs;  // the lines stay while the starters are looked for
    int added = 0;
    for (LONG handle : motors) {
        const host::MapObject* object = jdmap::ObjectOfHandle(handle);
        if (!object || !object->motor) continue;
        const host::MotorData& motor = *object->motor;
        if (!motor.running && nMode != 1) continue;
        void* memory = AllocateKernelBlock(sizeof(StatMotorBlock));
        if (!memory) continue;
        auto* block = new (memory) StatMotorBlock;
        block->entityId = object->entityId;
        block->starter = jdwalk::FindStarter(handle);
        block->groupStart = motor.groupStart ? 1 : 0;
        block->running = motor.running ? 1 : 0;
        block->ratedPowerKW = motor.ratedPowerKW;
        block->ratedCurrentA = motor.ratedCurrentA;
        block->startCurrentA = motor.startCurrentA;
        block->ratioToPrimary = ratio;
        block->primaryRatedCurrentA = motor.ratedCurrentA * ratio;
        block->primaryStartCurrentA = motor.startCurrentA * ratio;
        pMotors->Add(handle);
        pBlocks->Add(KernelBlockEntry{handle, memory});
        ++added;
    }
    return added;
}

}  // namespace

int CollectStatMotors(CMorvaObjects* /*pMap*/, LONG hTransformer, CKernelObjectArray* pMotors,
                      CKernelBlockArray* pBlocks, int nMode) {
    if (!pMotors || !pBlocks || hTransformer == 0) return 0;
    std::vector<LONG> motors;
    jdwalk::CollectMotorsDownstream(hTransformer, motors);
    return AddStatMotors(hTransformer, motors, pMotors, pBlocks, nMode);
}

int CollectStatMotorsOf(CMorvaObjects* /*pMap*/, LONG hTransformer, const CKernelObjectArray* pSupplied,
                        CKernelObjectArray* pMotors, CKernelBlockArray* pBlocks, int nMode) {
    if (!pSupplied || !pMotors || !pBlocks || hTransformer == 0) return 0;
    return AddStatMotors(hTransformer, *pSupplied, pMotors, pBlocks, nMode);
}

// Groups as the feeder switch setting forms them: the group-start motors of
// one starter start together; every other motor (a group-start motor without
// a starter included) starts alone. Each motor's currents are referred to the
// primary side of the transformer that feeds it.
BOOL CalcMotorCurrents(CKernelObjectArray* pMotors, double* pMaxStart, double* pAllRated, double* pOtherRated) {
    if (!pMotors || !pMaxStart || !pAllRated || !pOtherRated) return FALSE;
    struct Entry {
        double ratedA;
        double startA;
        LONG starter;
        bool group;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(pMotors->GetSize()));
    std::map<LONG, double> ratioOfTransformer;
    const jdwalk::UpstreamRunMemo runs;  // each motor's run upwards shares its top with its neighbours'
    for (LONG handle : *pMotors) {
        const host::MotorData* motor = MotorOfHandle(handle);
        if (!motor) continue;
        const LONG transformer = jdwalk::FindSupplyTransformer(handle);
        auto it = ratioOfTransformer.find(transformer);
        if (it == ratioOfTransformer.end()) it = ratioOfTransformer.emplace(transformer, RatioToPrimary(transformer)).first;
        const double ratio = it->second;
        const LONG starter = motor->groupStart ? jdwalk::FindStarter(handle) : 0;
        entries.push_back(Entry{motor->ratedCurrentA * ratio, motor->startCurrentA * ratio, starter,
                                motor->groupStart && starter != 0});
    }
    // The sums of each starter's group first, in list order (so that they are
    // added in the same order as a search of the later motors would add them),
    // then the groups and single motors in the order of their first motor.
    struct GroupSum {
        double ratedA = 0.0;
        double startA = 0.0;
        bool counted = false;
    };
    std::unordered_map<LONG, GroupSum> groups;
    for (const Entry& e : entries) {
        if (!e.group) continue;
        auto [it, first] = groups.try_emplace(e.starter, GroupSum{e.ratedA, e.startA, false});
        if (!first) {
            it->second.ratedA += e.ratedA;
            it->second.startA += e.startA;
        }
    }
    double maxStart = 0.0, ratedOfMax = 0.0, allRated = 0.0;
    for (const Entry& e : entries) {
        double groupRated = e.ratedA;
        double groupStart = e.startA;
        if (e.group) {
            GroupSum& group = groups.at(e.starter);
            if (group.counted) continue;
            group.counted = true;
            groupRated = group.ratedA;
            groupStart = group.startA;
        }
        allRated += groupRated;
        if (groupStart > maxStart) {  // of equal starts the first stays
            maxStart = groupStart;
            ratedOfMax = groupRated;
        }
    }
    *pMaxStart = maxStart;
    *pAllRated = allRated;
    *pOtherRated = allRated - ratedOfMax;
    return TRUE;
}

int ShowControlledMotors(CKernelObjectArray* pMotors, CMorvaObjects* pMap) {
    if (!pMotors || !pMap) return 0;
    std::vector<LONG> ids;
    CString names;
    for (LONG handle : *pMotors) {
        const host::MapObject* object = jdmap::ObjectOfHandle(handle);
        if (!object) continue;
        ids.push_back(object->entityId);
        if (!names.IsEmpty()) names += jdmap::Gbk("、");
        names += object->name.IsEmpty() ? CString::Formatted("#%d", static_cast<int>(object->entityId)) : object->name;
    }
    CMOSelectionSet selection(pMap->GetSelectionSet());
    selection.ClearSelection();
    if (!ids.empty()) {
        CMOIntArray array;
        if (array.CreateDispatch(host::kIntArrayProgId)) {
            for (LONG id : ids) array.Add(id);
            selection.AddToSelection(array.m_lpDispatch);
        }
        pMap->RedrawEntities(ids.data(), static_cast<LONG>(ids.size()), 0);
    }
    CString line = jdmap::Gbk("受控电动机 ");
    line.AppendFormat("%d", static_cast<int>(ids.size()));
    line += jdmap::Gbk(" 台");
    if (!ids.empty()) line += jdmap::Gbk("：") + names;
    ReportModuleOutput(line);
    return static_cast<int>(ids.size());
}

int ReadObjectValues(LONG hObject, int nCount, int* pSubs, CStringArray* pValues) {
    if (!pValues) return 0;
    pValues->RemoveAll();
    const host::MapObject* object = jdmap::ObjectOfHandle(hObject);
    if (!object || !pSubs || nCount <= 0 || !jdmap::HasField(*object, AttributeField::LoadStatistics)) return 0;
    for (int i = 0; i < nCount; ++i) pValues->Add(jdmap::FieldText(*object, AttributeField::LoadStatistics, pSubs[i]));
    return pValues->GetSize();
}

int ReadLineValues(LONG hLine, int nCount, int* pSubs, CStringArray* pValues) {
    if (!pValues) return 0;
    pValues->RemoveAll();
    const host::MapObject* line = jdmap::ObjectOfHandle(hLine);
    if (!line || !line->isLine || !pSubs || nCount <= 0) return 0;
    for (int i = 0; i < nCount; ++i) {
        switch (pSubs[i]) {
        case JD_LINE_LENGTH_M: pValues->Add(jdmap::FieldText(*line, AttributeField::CableLength, 0)); break;
        case JD_LINE_CROSS_SECTION: pValues->Add(jdmap::FieldText(*line, AttributeField::CableModel, 4)); break;
        case JD_LINE_MODEL_ID: pValues->Add(jdmap::FieldText(*line, AttributeField::CableModel, 0)); break;
        case JD_LINE_DESIGNATION: pValues->Add(jdmap::FieldText(*line, AttributeField::CableModel, 1)); break;
        case JD_LINE_RATED_VOLTAGE: pValues->Add(jdmap::FieldText(*line, AttributeField::CableModel, 2)); break;
        default: pValues->Add(CString()); break;
        }
    }
    return pValues->GetSize();
}

double GetLengthFactor(int nMode, int nCrossSection) { return jdeng::LengthFactor(nMode, nCrossSection); }
