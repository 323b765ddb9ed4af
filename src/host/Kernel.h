#pragma once
// The map kernel's routines: object and map queries, object records, symbol
// geometry, kernel-allocated blocks and the base library's text helpers. They
// keep the names and argument orders of the host's kernel libraries and work on
// the host::MapDocument objects attached with KernelAttachMap.
//
// Every routine answers FALSE (or 0) and changes nothing when no map is
// attached, the handle names no object, the code is unknown or a buffer is
// null. KernelLastError() then says in plain words what was refused.
#include <cstddef>

#include "host/KernelRecords.h"
#include "platform/CString.h"
#include "platform/Types.h"

namespace host {
class MapDocument;
}

// ---- Map binding ------------------------------------------------------------

// Attaches a document and returns its map handle (never 0). The most recently
// attached map that is still attached is the one object handles refer to.
LONG KernelAttachMap(host::MapDocument& document);
// Forgets the map; unknown handles are ignored.
void KernelDetachMap(LONG mapHandle);
// The attached document of the handle, or null.
host::MapDocument* KernelMap(LONG mapHandle);
// The map object handles currently refer to (0 when none is attached).
LONG KernelCurrentMap();
// KernelMap(KernelCurrentMap()) in one call: the library asks for it with
// every object it looks up by handle.
host::MapDocument* KernelCurrentDocument();

// Why the last refused call was refused (UTF-8, empty after a success).
const char* KernelLastError();

// ---- Query codes ------------------------------------------------------------

namespace KernelQuery {
inline constexpr LONG InsertionPoint = 2;        // KernelPoint*
inline constexpr LONG LineStartObject = 58;      // LONG*: object at the line's start, 0 when none
inline constexpr LONG LineEndObject = 59;        // LONG*: object at the line's end, 0 when none
inline constexpr LONG OutlineCount = 16389;      // LONG*
inline constexpr LONG OutlinePoints = 16390;     // KernelPoint[count]
inline constexpr LONG KindName = 16397;          // char[32]
inline constexpr LONG SetLabelText = 16403;      // const char*, label index
inline constexpr LONG SetLabelStyle = 16404;     // const LONG*, label index
inline constexpr LONG SetLabelPlacement = 16407; // const LONG*, label index
inline constexpr LONG LineProperty = 16420;      // LONG*
inline constexpr LONG ConnectionCount = 16428;   // LONG*
inline constexpr LONG ConnectionList = 16429;    // LONG[count]
inline constexpr LONG LabelCount = 16444;        // LONG*
inline constexpr LONG SetLabelCount = 16445;     // const LONG*: the new count
}  // namespace KernelQuery

namespace KernelMapQuery {
inline constexpr LONG CurrentColour = 11;  // LONG*: -1 = by layer
inline constexpr LONG LayerRecord = 27;    // KernelLayerRecord*, argument = layer id
}  // namespace KernelMapQuery

// A label text is cut to this many GBK bytes (never inside a character).
inline constexpr size_t kMaxLabelTextBytes = 255;
// Code 16445 accepts counts from 0 to this.
inline constexpr LONG kMaxLabelCount = 64;

// ---- zkkernel ---------------------------------------------------------------

// Answers query `code` about object `handle` in `buffer`; `countOrIndex` is the
// element count of list queries (at most that many are copied) and the label
// index of the label codes. Codes 58/59 write 0 and answer FALSE when asked of
// an object that is not a line; a line end without object writes 0 and answers
// TRUE. Every change marks the document modified.
BOOL QueryObject(LONG handle, LONG code, void* buffer, LONG countOrIndex);
// Map queries: 11 the current colour, 27 the record of layer `argument`.
BOOL QueryMap(LONG mapHandle, LONG code, void* buffer, LONG argument);

// Fills every word of the record (reserved words 0).
BOOL GetObjectInfo(LONG handle, KernelObjectRecord* record);
// Stores layer, flag word, name and colour. The name must end within its 32
// bytes and be valid GBK, otherwise nothing is stored.
BOOL SetObjectInfo(LONG handle, const KernelObjectRecord* record);
// Placed size: ref0 the symbol definition id, ref1 = ref2 = 0, then width,
// height and the rotation as stored. FALSE for lines.
BOOL GetObjectSize(LONG handle, KernelSizeRecord* size);
// Extent of symbol definition ref0 relative to its insertion point (ref1 and
// ref2 must be 0).
BOOL GetBlockExtent(LONG ref0, LONG ref1, LONG ref2, KernelRect* extent);

// Blocks handed to callers that release them with FreeKernelBlock. The memory
// is zeroed. Freeing null is fine; a pointer the kernel did not hand out is
// refused (noted in KernelLastError) rather than freed.
void* AllocateKernelBlock(size_t bytes);
void FreeKernelBlock(void* block);
// Blocks allocated and not yet freed, for leak checks.
size_t LiveKernelBlockCount();

// ---- gqBase -----------------------------------------------------------------

// Fills the record: handle, layer, name, colour, the block reference (symbol
// id, 0, 0; value2 = rotation as stored) and the bounding box of the outline
// (the insertion point when there is no outline). FALSE for an object without
// symbol definition.
BOOL GetObjectGraphic(LONG handle, GraphicRecord* graphic);

// ---- zktopo -----------------------------------------------------------------

// Stored rotations are degrees counter-clockwise; RotatePoint takes radians.
double ConvertAngle(double stored);
// Turns (x, y) counter-clockwise by `angle` radians about the centre.
void RotatePoint(double x, double y, double angle, double* outX, double* outY, double centreX, double centreY);

// ---- pnBase -----------------------------------------------------------------

// out = fields first … end−1 of text, joined by the separator. A separator
// after the last field ends it and opens no new one ("a;b;c;" has three fields);
// fields beyond the text contribute nothing; first ≥ end, an empty text or an
// empty separator with first > 0 give the empty text; a negative first counts
// from 0. The separator is only matched at GBK character starts. `out` may be
// `text` itself.
void ExtractFields(const CString* text, const char* separator, LONG first, LONG end, CString* out);
// Rewrites a plain decimal number ([+|-]digits[.digits]) without the trailing
// zeros of its fraction and without a trailing point: "12.50" → "12.5",
// "3.00" → "3", "-0.00" → "0". Anything else (blanks, exponents, words) is
// copied unchanged.
void NormalizeNumberText(CString text, CString* out);
