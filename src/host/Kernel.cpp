#include "host/Kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "host/MapDocument.h"
#include "platform/Gbk.h"

namespace {

struct KernelState {
    // In order of attachment; the last one is the map object handles refer to.
    std::vector<std::pair<LONG, host::MapDocument*>> maps;
    LONG nextMapHandle = 1;
    std::unordered_set<void*> blocks;
    std::string lastError;
};

KernelState& State() {
    static KernelState state;
    return state;
}

void ClearError() { State().lastError.clear(); }

BOOL Refuse(std::string message) {
    State().lastError = std::move(message);
    return FALSE;
}

host::MapDocument* CurrentDocument() {
    auto& maps = State().maps;
    return maps.empty() ? nullptr : maps.back().second;
}

// The object of the current map with that handle; null (with the reason noted)
// when there is none.
host::MapObject* FindObject(const char* routine, LONG handle) {
    host::MapDocument* document = CurrentDocument();
    if (!document) {
        Refuse(std::string(routine) + ": no map is attached to the kernel");
        return nullptr;
    }
    host::MapObject* object = document->FindByHandle(handle);
    if (!object) Refuse(std::string(routine) + ": no object has handle " + std::to_string(handle));
    return object;
}

// Copies a GBK text into a fixed field of `size` bytes: cut at a character
// boundary so that the terminator fits, the rest of the field zeroed.
void CopyName(char* field, size_t size, const CString& text) {
    const std::string cut = CutGbk(text.view(), size - 1);
    std::memset(field, 0, size);
    std::memcpy(field, cut.data(), cut.size());
}

std::string Where(LONG handle, LONG code) {
    return "QueryObject(handle " + std::to_string(handle) + ", code " + std::to_string(code) + ")";
}

// Where a query was refused, put into words only when it is: the walks ask
// millions of queries that all succeed.
struct QueryPlace {
    LONG handle = 0;
    LONG code = 0;
};
std::string operator+(const QueryPlace& place, const char* text) { return Where(place.handle, place.code) + text; }

bool IsKnownQuery(LONG code) {
    switch (code) {
        case KernelQuery::InsertionPoint:
        case KernelQuery::LineStartObject:
        case KernelQuery::LineEndObject:
        case KernelQuery::OutlineCount:
        case KernelQuery::OutlinePoints:
        case KernelQuery::KindName:
        case KernelQuery::SetLabelText:
        case KernelQuery::SetLabelStyle:
        case KernelQuery::SetLabelPlacement:
        case KernelQuery::LineProperty:
        case KernelQuery::ConnectionCount:
        case KernelQuery::ConnectionList:
        case KernelQuery::LabelCount:
        case KernelQuery::SetLabelCount:
            return true;
        default:
            return false;
    }
}

// Label of the index, or null (reason noted) when the object has no such label.
host::Label* LabelAt(host::MapObject& object, LONG index, const QueryPlace& where) {
    if (index < 0 || static_cast<size_t>(index) >= object.labels.size()) {
        Refuse(where + ": label index " + std::to_string(index) + " is outside 0.." +
               std::to_string(static_cast<long long>(object.labels.size()) - 1));
        return nullptr;
    }
    return &object.labels[static_cast<size_t>(index)];
}

BOOL AnswerLineEnd(const host::MapDocument& document, const host::MapObject& object, LONG code, LONG* out,
                   const QueryPlace& where) {
    *out = 0;
    if (!object.isLine) return Refuse(where + ": the object is not a line");
    const LONG entity = code == KernelQuery::LineStartObject ? object.fromEntity : object.toEntity;
    if (entity != 0) {
        if (const host::MapObject* end = document.FindByEntity(entity)) *out = end->handle;
    }
    return TRUE;
}

}  // namespace

// ---- Map binding ------------------------------------------------------------

LONG KernelAttachMap(host::MapDocument& document) {
    KernelState& state = State();
    const LONG handle = state.nextMapHandle++;
    state.maps.emplace_back(handle, &document);
    return handle;
}

void KernelDetachMap(LONG mapHandle) {
    auto& maps = State().maps;
    std::erase_if(maps, [mapHandle](const auto& entry) { return entry.first == mapHandle; });
}

host::MapDocument* KernelMap(LONG mapHandle) {
    const auto& maps = State().maps;
    // Nearly every caller asks for the current map, the last one attached.
    if (!maps.empty() && maps.back().first == mapHandle) return maps.back().second;
    for (const auto& [handle, document] : maps) {
        if (handle == mapHandle) return document;
    }
    return nullptr;
}

LONG KernelCurrentMap() {
    const auto& maps = State().maps;
    return maps.empty() ? 0 : maps.back().first;
}

host::MapDocument* KernelCurrentDocument() { return CurrentDocument(); }

const char* KernelLastError() { return State().lastError.c_str(); }

// ---- zkkernel ---------------------------------------------------------------

BOOL QueryObject(LONG handle, LONG code, void* buffer, LONG countOrIndex) {
    ClearError();
    const QueryPlace where{handle, code};
    host::MapObject* object = FindObject("QueryObject", handle);
    if (!object) return FALSE;
    if (!IsKnownQuery(code)) return Refuse(where + ": unknown query code");
    if (!buffer) return Refuse(where + ": the buffer is null");
    host::MapDocument& document = *CurrentDocument();

    switch (code) {
        case KernelQuery::InsertionPoint: {
            if (object->isLine) return Refuse(where + ": a line has no insertion point");
            auto* point = static_cast<KernelPoint*>(buffer);
            point->x = object->insertion.x;
            point->y = object->insertion.y;
            point->z = object->insertion.z;
            return TRUE;
        }
        case KernelQuery::LineStartObject:
        case KernelQuery::LineEndObject:
            return AnswerLineEnd(document, *object, code, static_cast<LONG*>(buffer), where);
        case KernelQuery::OutlineCount:
            *static_cast<LONG*>(buffer) = static_cast<LONG>(object->outline.size());
            return TRUE;
        case KernelQuery::OutlinePoints: {
            if (countOrIndex < 0) return Refuse(where + ": negative point count " + std::to_string(countOrIndex));
            auto* points = static_cast<KernelPoint*>(buffer);
            const size_t n = std::min(object->outline.size(), static_cast<size_t>(countOrIndex));
            for (size_t i = 0; i < n; ++i) {
                points[i].x = object->outline[i].x;
                points[i].y = object->outline[i].y;
                points[i].z = object->outline[i].z;
            }
            return TRUE;
        }
        case KernelQuery::KindName:
            CopyName(static_cast<char*>(buffer), 32, object->kind);
            return TRUE;
        case KernelQuery::SetLabelText: {
            host::Label* label = LabelAt(*object, countOrIndex, where);
            if (!label) return FALSE;
            // Cut and checked where the caller holds it: every recomputed point relabels.
            const std::string_view given(static_cast<const char*>(buffer));
            const std::string_view text = given.substr(0, CutGbkLength(given, kMaxLabelTextBytes));
            if (!IsValidGbkText(text)) return Refuse(where + ": the label text is not valid GBK");
            label->text = CString(text);
            document.setModified(true);
            return TRUE;
        }
        case KernelQuery::SetLabelStyle:
        case KernelQuery::SetLabelPlacement: {
            host::Label* label = LabelAt(*object, countOrIndex, where);
            if (!label) return FALSE;
            const LONG value = *static_cast<const LONG*>(buffer);
            (code == KernelQuery::SetLabelStyle ? label->style : label->placement) = value;
            document.setModified(true);
            return TRUE;
        }
        case KernelQuery::LineProperty:
            if (!object->isLine) return Refuse(where + ": the object is not a line");
            *static_cast<LONG*>(buffer) = object->lineProperty;
            return TRUE;
        case KernelQuery::ConnectionCount:
            *static_cast<LONG*>(buffer) = static_cast<LONG>(document.ForEachConnectionOf(*object, [](LONG) {}));
            return TRUE;
        case KernelQuery::ConnectionList: {
            if (countOrIndex < 0) return Refuse(where + ": negative connection count " + std::to_string(countOrIndex));
            // Straight into the caller's buffer: a transformer of a large unit
            // has thousands of lines, asked twice (count, then list).
            auto* out = static_cast<LONG*>(buffer);
            const auto room = static_cast<size_t>(countOrIndex);
            size_t written = 0;
            document.ForEachConnectionOf(*object, [&](LONG connection) {
                if (written < room) out[written++] = connection;
            });
            return TRUE;
        }
        case KernelQuery::LabelCount:
            *static_cast<LONG*>(buffer) = static_cast<LONG>(object->labels.size());
            return TRUE;
        case KernelQuery::SetLabelCount: {
            const LONG count = *static_cast<const LONG*>(buffer);
            if (count < 0 || count > kMaxLabelCount) {
                return Refuse(where + ": label count " + std::to_string(count) + " is outside 0.." +
                              std::to_string(kMaxLabelCount));
            }
            object->labels.resize(static_cast<size_t>(count));
            document.setModified(true);
            return TRUE;
        }
        default:
            return Refuse(where + ": unknown query code");
    }
}

BOOL QueryMap(LONG mapHandle, LONG code, void* buffer, LONG argument) {
    ClearError();
    const std::string where =
        "QueryMap(map " + std::to_string(mapHandle) + ", code " + std::to_string(code) + ")";
    host::MapDocument* document = KernelMap(mapHandle);
    if (!document) return Refuse(where + ": no map with that handle is attached");
    if (code != KernelMapQuery::CurrentColour && code != KernelMapQuery::LayerRecord) {
        return Refuse(where + ": unknown map query code");
    }
    if (!buffer) return Refuse(where + ": the buffer is null");
    if (code == KernelMapQuery::CurrentColour) {
        *static_cast<LONG*>(buffer) = document->currentColour();
        return TRUE;
    }
    const host::Layer* layer = document->FindLayer(argument);
    if (!layer) return Refuse(where + ": no layer has id " + std::to_string(argument));
    KernelLayerRecord record;
    record.id = layer->id;
    CopyName(record.name, sizeof record.name, layer->name);
    record.colour = layer->colour;
    std::memcpy(buffer, &record, sizeof record);
    return TRUE;
}

BOOL GetObjectInfo(LONG handle, KernelObjectRecord* record) {
    ClearError();
    const host::MapObject* object = FindObject("GetObjectInfo", handle);
    if (!object) return FALSE;
    if (!record) return Refuse("GetObjectInfo: the record pointer is null");
    KernelObjectRecord filled;
    filled.handle = object->handle;
    filled.entityType = object->entityType;
    filled.entityId = object->entityId;
    filled.layer = object->layer;
    filled.flags = object->flags;
    CopyName(filled.name, sizeof filled.name, object->name);
    filled.colour = object->colour;
    *record = filled;
    return TRUE;
}

BOOL SetObjectInfo(LONG handle, const KernelObjectRecord* record) {
    ClearError();
    host::MapObject* object = FindObject("SetObjectInfo", handle);
    if (!object) return FALSE;
    const std::string where = "SetObjectInfo(handle " + std::to_string(handle) + ")";
    if (!record) return Refuse(where + ": the record pointer is null");
    const void* terminator = std::memchr(record->name, 0, sizeof record->name);
    if (!terminator) return Refuse(where + ": the name does not end within its 32 bytes");
    const std::string_view name(record->name, static_cast<size_t>(static_cast<const char*>(terminator) - record->name));
    if (!IsValidGbkText(name)) return Refuse(where + ": the name is not valid GBK");
    object->layer = record->layer;
    object->flags = record->flags;
    const bool renamed = object->name.view() != name;
    object->name = CString(name);
    object->colour = record->colour;
    if (renamed) CurrentDocument()->NoteRenamed(*object);
    CurrentDocument()->setModified(true);
    return TRUE;
}

BOOL GetObjectSize(LONG handle, KernelSizeRecord* size) {
    ClearError();
    const host::MapObject* object = FindObject("GetObjectSize", handle);
    if (!object) return FALSE;
    if (!size) return Refuse("GetObjectSize: the record pointer is null");
    if (object->isLine) return Refuse("GetObjectSize(handle " + std::to_string(handle) + "): a line has no placed size");
    size->ref0 = object->symbol;
    size->ref1 = 0;
    size->ref2 = 0;
    size->width = object->width;
    size->height = object->height;
    size->rotation = object->rotation;
    return TRUE;
}

BOOL GetBlockExtent(LONG ref0, LONG ref1, LONG ref2, KernelRect* extent) {
    ClearError();
    const std::string where = "GetBlockExtent(" + std::to_string(ref0) + ", " + std::to_string(ref1) + ", " +
                              std::to_string(ref2) + ")";
    const host::MapDocument* document = CurrentDocument();
    if (!document) return Refuse(where + ": no map is attached to the kernel");
    if (!extent) return Refuse(where + ": the rectangle pointer is null");
    if (ref1 != 0 || ref2 != 0) return Refuse(where + ": a symbol reference has 0 in its second and third word");
    const host::SymbolDefinition* symbol = document->FindSymbol(ref0);
    if (!symbol) return Refuse(where + ": no symbol definition has id " + std::to_string(ref0));
    extent->x0 = symbol->x0;
    extent->y0 = symbol->y0;
    extent->x1 = symbol->x1;
    extent->y1 = symbol->y1;
    return TRUE;
}

void* AllocateKernelBlock(size_t bytes) {
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (block) State().blocks.insert(block);
    return block;
}

void FreeKernelBlock(void* block) {
    if (!block) return;
    auto& blocks = State().blocks;
    if (blocks.erase(block) == 0) {
        Refuse("FreeKernelBlock: the pointer was not allocated by the kernel or was already freed");
        return;
    }
    std::free(block);
}

size_t LiveKernelBlockCount() { return State().blocks.size(); }

// ---- gqBase -----------------------------------------------------------------

BOOL GetObjectGraphic(LONG handle, GraphicRecord* graphic) {
    ClearError();
    const host::MapObject* object = FindObject("GetObjectGraphic", handle);
    if (!object) return FALSE;
    if (!graphic) return Refuse("GetObjectGraphic: the record pointer is null");
    if (object->isLine || object->symbol < 0) {
        return Refuse("GetObjectGraphic(handle " + std::to_string(handle) + "): the object places no symbol");
    }
    GraphicRecord filled;
    filled.handle = object->handle;
    filled.layer = object->layer;
    CopyName(filled.name, sizeof filled.name, object->name);
    filled.colour = object->colour;
    filled.block.ref0 = object->symbol;
    filled.block.ref1 = 0;
    filled.block.ref2 = 0;
    filled.block.value2 = object->rotation;
    if (object->outline.empty()) {
        filled.extent = {object->insertion.x, object->insertion.y, object->insertion.x, object->insertion.y};
    } else {
        const auto& first = object->outline.front();
        filled.extent = {first.x, first.y, first.x, first.y};
        for (const host::Point3& p : object->outline) {
            filled.extent.x0 = std::min(filled.extent.x0, p.x);
            filled.extent.y0 = std::min(filled.extent.y0, p.y);
            filled.extent.x1 = std::max(filled.extent.x1, p.x);
            filled.extent.y1 = std::max(filled.extent.y1, p.y);
        }
    }
    *graphic = filled;
    return TRUE;
}

// ---- zktopo -----------------------------------------------------------------

double ConvertAngle(double stored) { return stored * std::numbers::pi / 180.0; }

void RotatePoint(double x, double y, double angle, double* outX, double* outY, double centreX, double centreY) {
    const double dx = x - centreX;
    const double dy = y - centreY;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double rx = centreX + dx * c - dy * s;
    const double ry = centreY + dx * s + dy * c;
    if (outX) *outX = rx;
    if (outY) *outY = ry;
}
