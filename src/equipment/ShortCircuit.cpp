// Short-circuit points of a transformer: finding them by their supply path and
// recomputing their two-phase short-circuit current (docs/engineering.md).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/Engineering.h"
#include "equipment/JDBase.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "equipment/PathFields.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "host/MapDocument.h"

namespace {

// The transformer a point's supply path names: the first ","-part of field 2
// of a kind "0" path, of field 3 of a kind "1" path; the empty text for a
// path of no known kind. Fields and parts are found as jdpath::NthField and
// jdpath::FirstPart find them (a GBK lead byte takes the byte after it, so a
// separator there does not count), in one pass up to the part: every point
// of the map is asked.
std::string_view TransformerOfPath(std::string_view path) {
    // Field 0 is the kind: a "0" or "1" alone before the first ";" (or the whole text).
    if (path.empty() || (path[0] != '0' && path[0] != '1') || (path.size() > 1 && path[1] != ';')) return {};
    const size_t wanted = path[0] == '0' ? 2 : 3;
    const char* const text = path.data();
    const size_t n = path.size();
    // Whether the byte at `at` begins a character, `from` (< at) being known
    // to begin one: the bytes just before it that can lead a character pair
    // up from the last byte that cannot (which ends a character), so `at`
    // begins one when they are even in number. A lead byte as the text's
    // last byte stands alone, but nothing is asked after it.
    const auto startsCharacter = [text](size_t from, size_t at) {
        size_t leads = 0;
        while (at - leads > from) {
            const auto byte = static_cast<unsigned char>(text[at - leads - 1]);
            if (byte < 0x81 || byte > 0xFE) break;
            ++leads;
        }
        return leads % 2 == 0;
    };
    // Skips to the start of the wanted field: separators are found by a
    // byte search and kept only where they begin a character.
    size_t start = 2;
    for (size_t field = 1; field < wanted; ++field) {
        size_t at = start;
        for (;;) {
            const void* found = at < n ? std::memchr(text + at, ';', n - at) : nullptr;
            if (!found) return {};
            at = static_cast<size_t>(static_cast<const char*>(found) - text);
            if (startsCharacter(start, at)) break;
            ++at;
        }
        start = at + 1;
    }
    if (start >= n) return {};
    // The field's first part ends at its first "," or ";" that begins a character.
    size_t i = start;
    while (i < n) {
        const char c = text[i];
        if (c == ',' || c == ';') break;
        const auto byte = static_cast<unsigned char>(c);
        i += byte >= 0x81 && byte <= 0xFE && i + 1 < n ? 2 : 1;
    }
    return path.substr(start, i - start);
}

// What one update of a transformer's points asks again and again, kept while
// a CUnchangedLinesScope is held: the catalogue's answer for a model (one
// connection per update, not one per point) and the first object of a name.
// Neither can change inside the scope: the loop writes records and labels only.
struct PointUpdateMemo {
    const host::MapDocument* document = nullptr;
    std::map<std::tuple<std::string, double, double>, std::optional<jdeng::TransformerData>> catalogue;
    std::unordered_map<std::string, LONG> handleOfName;  // 0: no object has the name
};

struct ScopeMemo {
    jdwalk::UpstreamRunMemo runs;
    PointUpdateMemo points;
};

thread_local PointUpdateMemo* t_pointMemo = nullptr;

// The memory of the scope held, emptied when another map was attached since.
PointUpdateMemo* CurrentPointMemo() {
    PointUpdateMemo* memo = t_pointMemo;
    if (!memo) return nullptr;
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (memo->document != document) {
        memo->catalogue.clear();
        memo->handleOfName.clear();
        memo->document = document;
    }
    return memo;
}

// jdmap::FieldText read where it is stored: the empty text when the field or
// the sub-index is absent.
std::string_view StoredText(const host::MapObject& object, LONG field, LONG sub) {
    const auto it = object.fields.find(field);
    if (it == object.fields.end() || sub < 0 || static_cast<size_t>(sub) >= it->second.size()) return {};
    return it->second[static_cast<size_t>(sub)].view();
}

// The first object carrying the name.
const host::MapObject* FindNamed(host::MapDocument& document, const CString& name) {
    PointUpdateMemo* memo = CurrentPointMemo();
    if (!memo) return document.FindByName(name);
    const auto found = memo->handleOfName.find(name.str());
    if (found != memo->handleOfName.end()) return found->second ? document.FindByHandle(found->second) : nullptr;
    const host::MapObject* object = document.FindByName(name);
    memo->handleOfName.emplace(name.str(), object ? object->handle : 0);
    return object;
}

// Rounded as the path stores the sums, so that the stored current can be
// checked from the path alone.
double RoundTo4(double value) { return jdpath::RoundTo4Decimals(value); }

// Impedance of the cables of a run; nullopt when a cable lacks its length or
// cross-section (the run cannot be trusted then).
std::optional<jdeng::Impedance> RunImpedance(const std::vector<LONG>& lines, bool skipUnknown) {
    jdeng::Impedance total;
    for (LONG line : lines) {
        const host::MapObject* cable = jdmap::ObjectOfHandle(line);
        if (!cable) return std::nullopt;
        const double section = jdmap::FieldNumber(*cable, AttributeField::CableModel, 4);
        bool hasLength = false;
        const double length = ParseDouble(jdmap::FieldText(*cable, AttributeField::CableLength, 0, &hasLength));
        const auto z = jdeng::CableRunImpedance(section, length);
        if (!z || !hasLength) {
            if (skipUnknown) continue;
            return std::nullopt;
        }
        total.rOhm += z->rOhm;
        total.xOhm += z->xOhm;
    }
    return total;
}

CString DesignationPrefix(const CString& designation) {
    const int dash = designation.Find('-');
    return dash < 0 ? designation : designation.Left(dash);
}

// The transformer's own model record, when it is the model named by prefix
// and capacity.
std::optional<jdeng::TransformerData> DataFromMapRecord(LONG transformer, const CString& prefix, double capacity) {
    const host::MapObject* object = jdmap::ObjectOfHandle(transformer);
    if (!object) return std::nullopt;
    const LONG field = AttributeField::TransformerModel;
    const double recordCapacity = jdmap::FieldNumber(*object, field, 3);
    if (!(recordCapacity > 0.0) || std::fabs(recordCapacity - capacity) >= 0.5) return std::nullopt;
    if (!prefix.IsEmpty() && DesignationPrefix(jdmap::FieldText(*object, field, 1)) != prefix) return std::nullopt;
    jdeng::TransformerData data;
    data.capacityKVA = recordCapacity;
    data.primaryV = jdmap::FieldNumber(*object, field, 4);
    data.secondaryV = jdmap::FieldNumber(*object, field, 5);
    data.shortCircuitLossW = jdmap::FieldNumber(*object, field, 9);
    data.impedancePercent = jdmap::FieldNumber(*object, field, 10);
    return data;
}

// The first catalogue model (by id) of that prefix and capacity, preferring
// one of the secondary voltage.
std::optional<jdeng::TransformerData> ReadCatalogueData(const CString& prefix, double capacity, double secondaryV) {
    CADODatabase database;
    if (!OpenJDDatabase(&database)) {
        CloseJDDatabase(&database);
        return std::nullopt;
    }
    std::optional<jdeng::TransformerData> best;
    bool bestHasVoltage = false;
    {
        CADORecordset records(&database);
        const CString query =
            "SELECT Model, Capacity, HVoltage, LVoltage, ShortcutLose, RXPercent FROM Para_Transformer ORDER BY ID";
        if (records.OpenRecords(nullptr, query, CADORecordset::openQuery)) {
            for (records.FirstRecord(); !records.IsEOF(); records.NextRecord()) {
                CString model, capacityText, hv, lv, loss, uk;
                records.ReadField("Model", model);
                records.ReadField("Capacity", capacityText);
                if (DesignationPrefix(model) != prefix || std::fabs(ParseDouble(capacityText) - capacity) >= 0.5) continue;
                records.ReadField("HVoltage", hv);
                records.ReadField("LVoltage", lv);
                records.ReadField("ShortcutLose", loss);
                records.ReadField("RXPercent", uk);
                const bool voltageFits = std::fabs(ParseDouble(lv) - secondaryV) < 0.5;
                if (best && (bestHasVoltage || !voltageFits)) continue;
                best = jdeng::TransformerData{ParseDouble(capacityText), ParseDouble(hv), ParseDouble(lv),
                                              ParseDouble(loss), ParseDouble(uk)};
                bestHasVoltage = voltageFits;
            }
            records.CloseRecords();
        }
    }
    CloseJDDatabase(&database);
    return best;
}

// ReadCatalogueData, asked of the catalogue once per scope and model: the
// catalogue is not written while the points are recomputed, so a later point
// gets the answer an earlier one got (a refusal included, shown once).
std::optional<jdeng::TransformerData> DataFromCatalogue(const CString& prefix, double capacity, double secondaryV) {
    PointUpdateMemo* memo = CurrentPointMemo();
    if (!memo) return ReadCatalogueData(prefix, capacity, secondaryV);
    auto key = std::make_tuple(prefix.str(), capacity, secondaryV);
    const auto found = memo->catalogue.find(key);
    if (found != memo->catalogue.end()) return found->second;
    return memo->catalogue.emplace(std::move(key), ReadCatalogueData(prefix, capacity, secondaryV)).first->second;
}

// ΣR and ΣX of a kind "0" point: its cable run followed on the map up to the
// transformer, the transformer, the high-voltage cables up to the
// distribution box referred by Kb², and the system reactance.
std::optional<jdeng::Impedance> KindZeroLoop(const host::MapObject& point, double secondaryV, const CString& prefix,
                                             double capacity, const CString& convertedLength) {
    host::MapDocument* document = jdmap::CurrentDocument();
    if (!document) return std::nullopt;

    LONG transformer = 0;
    std::optional<jdeng::Impedance> lowVoltage;
    const CString cableName = jdmap::FieldText(point, AttributeField::ShortCircuitPoint, 0);
    const host::MapObject* cable = cableName.IsEmpty() ? nullptr : FindNamed(*document, cableName);
    if (cable && cable->isLine) {
        const jdwalk::UpstreamRun run = jdwalk::FollowUpstreamFromLine(cable->handle, jdwalk::EndsLowVoltageRun);
        if (run.top != 0 && jdwalk::EndsLowVoltageRun(run.top)) {
            transformer = run.top;
            lowVoltage = RunImpedance(run.lines, false);
        }
    }
    if (transformer == 0) {
        const CString path = jdmap::FieldText(point, AttributeField::ShortCircuitPoint, 11);
        const CString named(std::string(TransformerOfPath(path.view())));
        const host::MapObject* byName = named.IsEmpty() ? nullptr : FindNamed(*document, named);
        if (byName && jdmap::IsTransformerKind(byName->kind)) transformer = byName->handle;
    }
    if (!lowVoltage) {
        // The run cannot be followed: the path's converted length on the 50 mm² reference cable.
        const double lengthM = ParseDouble(convertedLength);
        if (!(lengthM > 0.0)) return std::nullopt;
        lowVoltage = jdeng::CableRunImpedance(50.0, lengthM);
    }

    std::optional<jdeng::TransformerData> data;
    if (transformer != 0) data = DataFromMapRecord(transformer, prefix, capacity);
    if (!data && !prefix.IsEmpty()) data = DataFromCatalogue(prefix, capacity, secondaryV);
    if (!data) data = jdeng::ReferenceTransformerData(capacity, document->project().highVoltage, secondaryV);
    if (!(data->primaryV > 0.0)) data->primaryV = document->project().highVoltage;

    std::optional<jdeng::Impedance> windings =
        jdeng::TransformerImpedance(data->shortCircuitLossW, secondaryV, data->capacityKVA, data->impedancePercent);
    if (!windings) {
        const auto pure = jdeng::TransformerImpedance(0.0, secondaryV, data->capacityKVA, data->impedancePercent);
        if (!pure) return std::nullopt;
        windings = pure;
    }

    jdeng::Impedance highVoltage;
    if (transformer != 0) {
        const jdwalk::UpstreamRun run = jdwalk::FollowUpstream(transformer, jdwalk::EndsHighVoltageRun);
        const double kb = jdeng::TransformerRatio(data->primaryV, secondaryV);
        if (const auto z = RunImpedance(run.lines, true); z && kb > 0.0) {
            highVoltage.rOhm = z->rOhm / (kb * kb);
            highVoltage.xOhm = z->xOhm / (kb * kb);
        }
    }
    const double xx = jdeng::SystemReactance(secondaryV, jdeng::GetNetworkParameters().systemShortCircuitMVA);
    return jdeng::Impedance{highVoltage.rOhm + windings->rOhm + lowVoltage->rOhm,
                            xx + highVoltage.xOhm + windings->xOhm + lowVoltage->xOhm};
}

// The point's label "NAME Id(2)=…A", when it had one before the current was
// written, follows the new current: `text` gets "NAME Id(2)=" for such a
// label and stays empty otherwise.
void RelabelPrefix(const host::MapObject& point, std::string& text) {
    text.clear();
    if (point.labels.empty()) return;
    static constexpr std::string_view kCurrent = " Id(2)=";
    const std::string_view name = point.name.view();
    const std::string_view label = point.labels[0].text.view();
    if (label.size() < name.size() + kCurrent.size() || label.substr(0, name.size()) != name ||
        label.substr(name.size(), kCurrent.size()) != kCurrent) {
        return;
    }
    text += name;
    text += kCurrent;
}

// `text` holds RelabelPrefix's prefix; the current is appended to it.
void RelabelPoint(LONG handle, std::string& text, double currentA) {
    if (text.empty()) return;
    static constexpr jdfixed::FixedFormat kAmperes = jdfixed::ParseFixedFormat("%.0fA");
    jdpath::AppendNumber(text, kAmperes, "%.0fA", currentA);
    QueryObject(handle, KernelQuery::SetLabelText, text.data(), 0);
}

}  // namespace

CUnchangedLinesScope::CUnchangedLinesScope() {
    auto* memo = new ScopeMemo;
    if (!t_pointMemo) t_pointMemo = &memo->points;  // an inner scope uses the outer one's
    m_memo = memo;
}

CUnchangedLinesScope::~CUnchangedLinesScope() {
    auto* memo = static_cast<ScopeMemo*>(m_memo);
    if (t_pointMemo == &memo->points) t_pointMemo = nullptr;
    delete memo;
}

int FindShortCircuitPoints(CMorvaObjects* pMap, int /*nMode*/, CString /*strReserved1*/, CString strTransformer,
                           CString /*strReserved2*/, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                           CKernelObjectArray* pPoints, CEntityIdArray* pPointIds) {
    if (!pPoints || !pPointIds) return 0;
    pPoints->RemoveAll();
    pPointIds->RemoveAll();
    if (strTransformer.IsEmpty()) return 0;
    CKernelObjectArray allObjects;
    CEntityIdArray allIds;
    if (!pObjects || pObjects->IsEmpty()) {
        CollectMapObjects(pMap, &allObjects, &allIds);
        pObjects = &allObjects;
        pIds = &allIds;
    }
    static const CString& pointKind = jdmap::Gbk(host::KindName::ShortCircuitPoint);
    const std::string_view pointKindText = pointKind.view();
    const host::MapDocument* document = jdmap::CurrentDocument();
    if (!document) return 0;  // no object has a kind then
    // A point's id is the id at the first place of its handle in the lists
    // (GetObjectEntity's answer). Whether a handle is a point of the
    // transformer depends on the handle alone, so that first place is the
    // first time this loop meets the handle: only the points are remembered.
    const int withIds = std::min(pObjects->GetSize(), pIds ? pIds->GetSize() : 0);
    const std::string_view wanted = strTransformer.view();
    const std::vector<LONG>& handles = pObjects->items();
    // A handle met again takes the id of its first place: that place came
    // first in the lists too (and when it lay beyond the ids, so does every
    // later one, which the map answers alike). A handle's object is the first
    // with it, so its place in the document stands for the handle.
    const host::MapObject* const first = document->objects().data();
    std::vector<int> firstFound;
    for (int i = 0; i < static_cast<int>(handles.size()); ++i) {
        const LONG handle = handles[static_cast<size_t>(i)];
        const host::MapObject* point = document->FindByHandle(handle);
        if (!point) continue;
        // jdmap::KindIs, decided in place for all but a kind that starts with
        // the point's kind and goes on (the kernel may answer such a kind cut).
        const std::string_view kind = point->kind.view();
        if (kind.size() < pointKindText.size() || kind.substr(0, pointKindText.size()) != pointKindText) continue;
        if (kind.size() != pointKindText.size() && !jdmap::KindIs(handle, pointKind)) continue;
        if (TransformerOfPath(StoredText(*point, AttributeField::ShortCircuitPoint, 11)) != wanted) continue;
        if (firstFound.empty()) firstFound.assign(document->objects().size(), -1);
        int& earlier = firstFound[static_cast<size_t>(point - first)];
        const LONG id = earlier >= 0     ? pPointIds->GetAt(earlier)
                        : i < withIds    ? pIds->GetAt(i)
                                         : GetObjectEntity(pMap, handle, nullptr, nullptr);
        if (earlier < 0) earlier = pPoints->GetSize();
        pPoints->Add(handle);
        pPointIds->Add(id);
    }
    return pPoints->GetSize();
}

namespace {

// RecalcShortCircuitPoint; the current goes through `sameEntity` when that
// writes to the entity the current belongs to.
BOOL RecalcPoint(CMorvaObjects* pMap, LONG hPoint, LONG nPointId, const CString& strVoltage, int nKind,
                 const CString& strPrefix, const CString& strCapacity, const CString& strField, double dSumR,
                 double dSumX, AttributeFieldWriter* sameEntity) {
    if (!pMap) return FALSE;
    const host::MapObject* point = jdmap::ObjectOfHandle(hPoint);
    if (!point) point = jdmap::ObjectOfEntity(nPointId);
    if (!point) return FALSE;
    const double voltageV = ParseDouble(strVoltage);
    if (!(voltageV > 0.0)) return FALSE;

    double sumR = dSumR, sumX = dSumX;
    if (nKind == 0) {
        const auto loop = KindZeroLoop(*point, voltageV, strPrefix, ParseDouble(strCapacity), strField);
        if (!loop) return FALSE;
        sumR = loop->rOhm;
        sumX = loop->xOhm;
    } else if (nKind != 1) {
        return FALSE;
    }
    const double currentA = jdeng::TwoPhaseShortCircuitCurrent(voltageV, RoundTo4(sumR), RoundTo4(sumX));
    if (!(currentA > 0.0) || !std::isfinite(currentA)) return FALSE;
    const LONG entity = point->entityId;
    const LONG handle = point->handle;
    // As the point was before the write; one buffer for every point a loop relabels.
    thread_local std::string relabel;
    RelabelPrefix(*point, relabel);
    const bool written = sameEntity && sameEntity->entityId() == entity
                             ? sameEntity->Write(ShortCircuitPointRecord::CurrentValue(currentA))
                             : ShortCircuitPointRecord::WriteCurrent(pMap, entity, currentA);
    if (!written) return FALSE;
    RelabelPoint(handle, relabel, currentA);
    return TRUE;
}

}  // namespace

BOOL RecalcShortCircuitPoint(CMorvaObjects* pMap, LONG hPoint, LONG nPointId, CString /*strPointName*/,
                             CString strVoltage, int nKind, CString strPrefix, CString strCapacity, CString strField,
                             double dSumR, double dSumX) {
    return RecalcPoint(pMap, hPoint, nPointId, strVoltage, nKind, strPrefix, strCapacity, strField, dSumR, dSumX,
                       nullptr);
}

BOOL RecalcShortCircuitPointAndPath(AttributeRun& run, CMorvaObjects* pMap, LONG hPoint, LONG nPointId,
                                    const CString& strVoltage, int nKind, const CString& strPrefix,
                                    const CString& strCapacity, const CString& strField, double dSumR, double dSumX,
                                    CString strPath) {
    if (!pMap) return FALSE;
    AttributeFieldWriter point(run, nPointId, AttributeField::ShortCircuitPoint);
    const BOOL recalculated =
        RecalcPoint(pMap, hPoint, nPointId, strVoltage, nKind, strPrefix, strCapacity, strField, dSumR, dSumX, &point);
    point.Write(AttributeValue{11, std::move(strPath)});  // WritePointPath
    return recalculated;
}

BOOL WritePointPath(CMorvaObjects* pMap, LONG nPointId, CString strPath) {
    if (!pMap) return FALSE;
    return ShortCircuitPointRecord::WriteSupplyPath(pMap, nPointId, strPath) ? TRUE : FALSE;
}
