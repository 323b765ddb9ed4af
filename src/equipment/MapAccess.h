#pragma once
// How the library's map routines read the map: the kernel's queries for kinds,
// names and topology, and the attached document for what the kernel does not
// answer (motor data, the lock flag, records of objects reached without a map
// control). Internal to the library.
#include <string_view>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

namespace host {
class MapDocument;
struct MapObject;
}  // namespace host

namespace jdmap {

// The map the kernel's handles refer to, or null when none is attached.
host::MapDocument* CurrentDocument();
// The object of the current map with that handle, or null.
const host::MapObject* ObjectOfHandle(LONG handle);
host::MapObject* MutableObjectOfHandle(LONG handle);
const host::MapObject* ObjectOfEntity(LONG entityId);

// Kind name and object name through the kernel; empty for an unknown handle.
CString KindOf(LONG handle);
CString NameOf(LONG handle);
// Whether KindOf(handle) equals the GBK kind, without building the text.
bool KindIs(LONG handle, const CString& gbkKind);
// Whether the kind equals the UTF-8 kind name (compared in GBK).
bool IsKind(LONG handle, const char* utf8Kind);
// IsTransformerKind(KindOf(handle)).
bool IsTransformerObject(LONG handle);
bool IsTransformerKind(const CString& gbkKind);

// The kernel's connection values of an object (empty when it has none), as
// queries 16428 and 16429 answer them.
std::vector<LONG> Connections(LONG handle);
// Handles of the lines that leave the object (connection values < 0), in order.
std::vector<LONG> OutgoingLines(LONG handle);
// Handles of the lines that arrive at it (connection values > 0), in order.
std::vector<LONG> IncomingLines(LONG handle);
// The object at the line's downstream end (query 59) or upstream end (58); 0 when none.
LONG LineEndObject(LONG line);
LONG LineStartObject(LONG line);
// IncomingLines(handle).front(), 0 when there is none.
LONG FirstIncomingLine(LONG handle);

// A record's text straight from the document (the empty text when the object,
// the field or the sub-index is absent); `present` tells whether the field exists.
CString FieldText(const host::MapObject& object, LONG field, LONG sub, bool* present = nullptr);
double FieldNumber(const host::MapObject& object, LONG field, LONG sub);
bool HasField(const host::MapObject& object, LONG field);

// A GBK text from a UTF-8 literal, cached per literal.
const CString& Gbk(const char* utf8Literal);

}  // namespace jdmap
