#include "equipment/MapAccess.h"

#include <map>
#include <mutex>
#include <string>

#include "host/Kernel.h"
#include "host/KernelRecords.h"
#include "host/MapDocument.h"
#include "platform/Gbk.h"

namespace jdmap {

host::MapDocument* CurrentDocument() { return KernelCurrentDocument(); }

host::MapObject* MutableObjectOfHandle(LONG handle) {
    host::MapDocument* document = CurrentDocument();
    if (!document || handle == 0) return nullptr;
    return document->FindByHandle(handle);
}

const host::MapObject* ObjectOfHandle(LONG handle) { return MutableObjectOfHandle(handle); }

const host::MapObject* ObjectOfEntity(LONG entityId) {
    host::MapDocument* document = CurrentDocument();
    if (!document || entityId == 0) return nullptr;
    return document->FindByEntity(entityId);
}

CString KindOf(LONG handle) {
    char kind[32] = {};
    if (handle == 0 || !QueryObject(handle, KernelQuery::KindName, kind, 0)) return CString();
    kind[31] = '\0';
    return CString(kind);
}

bool KindIs(LONG handle, const CString& gbkKind) {
    // The kernel answers the kind cut to 31 bytes at a character boundary and
    // up to the first NUL; a shorter kind without a NUL it answers whole, and
    // that one is compared in place, without the query's copies.
    const host::MapObject* object = ObjectOfHandle(handle);
    if (!object) return gbkKind.IsEmpty();
    const std::string& kind = object->kind.str();
    if (kind.size() < 31 && kind.find('\0') == std::string::npos) return kind == gbkKind.str();
    return KindOf(handle) == gbkKind;
}

CString NameOf(LONG handle) {
    KernelObjectRecord record;
    PrepareObjectRecord(record);
    if (handle == 0 || !GetObjectInfo(handle, &record)) return CString();
    record.name[31] = '\0';
    return CString(record.name);
}

bool IsKind(LONG handle, const char* utf8Kind) { return KindIs(handle, Gbk(utf8Kind)); }

bool IsTransformerObject(LONG handle) {
    static const CString& mobile = Gbk(host::KindName::MobileSubstation);
    static const CString& mine = Gbk(host::KindName::MineTransformer);
    return KindIs(handle, mobile) || KindIs(handle, mine);
}

bool IsTransformerKind(const CString& gbkKind) {
    return gbkKind == Gbk(host::KindName::MobileSubstation) || gbkKind == Gbk(host::KindName::MineTransformer);
}

std::vector<LONG> Connections(LONG handle) {
    // The list the kernel's queries 16428 (count) and 16429 (list) give, taken
    // from the map once: through the kernel it is built twice per object, and
    // the walks ask it of every object they pass.
    const host::MapDocument* document = CurrentDocument();
    if (!document || handle == 0) return {};
    return document->Connections(handle);
}

std::vector<LONG> OutgoingLines(LONG handle) {
    std::vector<LONG> lines;
    for (LONG c : Connections(handle)) {
        if (c < 0) lines.push_back(-c);
    }
    return lines;
}

std::vector<LONG> IncomingLines(LONG handle) {
    std::vector<LONG> lines;
    for (LONG c : Connections(handle)) {
        if (c > 0) lines.push_back(c);
    }
    return lines;
}

namespace {

// Queries 59 and 58 answered from the document: the handle of the object with
// the line's end entity, 0 for no line, an open end or an end in no object.
LONG LineEnd(LONG line, bool downstream) {
    const host::MapDocument* document = CurrentDocument();
    if (!document || line == 0) return 0;
    const host::MapObject* object = document->FindByHandle(line);
    if (!object || !object->isLine) return 0;
    const LONG entity = downstream ? object->toEntity : object->fromEntity;
    if (entity == 0) return 0;
    const host::MapObject* end = document->FindByEntity(entity);
    return end ? end->handle : 0;
}

}  // namespace

LONG LineEndObject(LONG line) { return LineEnd(line, true); }

LONG LineStartObject(LONG line) { return LineEnd(line, false); }

LONG FirstIncomingLine(LONG handle) {
    for (LONG c : Connections(handle)) {
        if (c > 0) return c;
    }
    return 0;
}

CString FieldText(const host::MapObject& object, LONG field, LONG sub, bool* present) {
    const auto it = object.fields.find(field);
    if (present) *present = it != object.fields.end();
    if (it == object.fields.end() || sub < 0 || static_cast<size_t>(sub) >= it->second.size()) return CString();
    return it->second[static_cast<size_t>(sub)];
}

double FieldNumber(const host::MapObject& object, LONG field, LONG sub) {
    return ParseDouble(FieldText(object, field, sub));
}

bool HasField(const host::MapObject& object, LONG field) { return object.fields.count(field) != 0; }

const CString& Gbk(const char* utf8Literal) {
    static std::mutex mutex;
    static std::map<std::string, CString> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(utf8Literal);
    if (it == cache.end()) it = cache.emplace(utf8Literal, FromUtf8(utf8Literal)).first;
    return it->second;
}

}  // namespace jdmap
