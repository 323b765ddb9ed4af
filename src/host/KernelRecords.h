#pragma once
// Fixed-layout records exchanged with the kernel routines (Kernel.h). Callers
// on the host side address some of them by raw byte offset, so every layout is
// pinned with static_asserts; only 32-bit integers and doubles appear in them.
#include <cstddef>
#include <type_traits>

#include "platform/Types.h"

// The kernel's 140-byte record of a map object.
struct KernelObjectRecord {
    LONG handle = -1;          // byte 0: object handle
    LONG entityType = 0;       // byte 4: entity type code (host::EntityType)
    LONG entityId = 0;         // byte 8: entity id of the object
    LONG reserved12 = 0;       // byte 12: always 0
    LONG layer = -1;           // byte 16: layer id
    DWORD flags = 0;           // byte 20: flag word (bit 0x1000 toggled by the colour lookup)
    char name[32] = {};        // bytes 24..55: zero-terminated GBK name, at most 31 bytes
    LONG colour = 0;           // byte 56: 0x00BBGGRR
    LONG reserved60 = 0;       // byte 60: always 0
    LONG reserved64[17] = {};  // bytes 64..131: always 0
    LONG reserved132 = 0;      // byte 132: always 0
    LONG reserved136 = 0;      // byte 136: always 0
};
static_assert(sizeof(KernelObjectRecord) == 140);
static_assert(offsetof(KernelObjectRecord, handle) == 0);
static_assert(offsetof(KernelObjectRecord, entityType) == 4);
static_assert(offsetof(KernelObjectRecord, entityId) == 8);
static_assert(offsetof(KernelObjectRecord, reserved12) == 12);
static_assert(offsetof(KernelObjectRecord, layer) == 16);
static_assert(offsetof(KernelObjectRecord, flags) == 20);
static_assert(offsetof(KernelObjectRecord, name) == 24);
static_assert(offsetof(KernelObjectRecord, colour) == 56);
static_assert(offsetof(KernelObjectRecord, reserved60) == 60);
static_assert(offsetof(KernelObjectRecord, reserved132) == 132);
static_assert(offsetof(KernelObjectRecord, reserved136) == 136);

static_assert(std::is_trivially_copyable_v<KernelObjectRecord>);

// The form a caller gives the record before reading it (also the form a
// default-constructed record has): -1 in the handle and layer words, 0
// elsewhere, an empty name.
inline void PrepareObjectRecord(KernelObjectRecord& record) { record = KernelObjectRecord{}; }

inline constexpr DWORD kObjectFlagLayerColour = 0x1000;

// The record of a layer as map query 27 answers it: 100 bytes, the colour
// word at byte 96.
struct KernelLayerRecord {
    LONG id = -1;              // byte 0
    char name[32] = {};        // bytes 4..35: zero-terminated GBK, at most 31 bytes
    LONG reserved36[15] = {};  // bytes 36..95: always 0
    LONG colour = 0;           // byte 96: 0x00BBGGRR
};
static_assert(sizeof(KernelLayerRecord) == 100);
static_assert(offsetof(KernelLayerRecord, id) == 0);
static_assert(offsetof(KernelLayerRecord, name) == 4);
static_assert(offsetof(KernelLayerRecord, colour) == 96);

struct KernelPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};
static_assert(sizeof(KernelPoint) == 24);

// Two opposite corners.
struct KernelRect {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
};
static_assert(sizeof(KernelRect) == 32);

// Names a symbol definition (ref0 = definition id, ref1 = ref2 = 0) and carries
// the placement; value2 is the rotation as stored (degrees counter-clockwise).
struct BlockReference {
    LONG ref0 = -1;
    LONG ref1 = -1;
    LONG ref2 = -1;
    double value0 = 0.0;
    double value1 = 0.0;
    double value2 = 0.0;
};
static_assert(sizeof(BlockReference) == 40);
static_assert(offsetof(BlockReference, ref2) == 8);
static_assert(offsetof(BlockReference, value0) == 16);
static_assert(offsetof(BlockReference, value2) == 32);

// Same shape as the block reference: width, height (map units), rotation.
struct KernelSizeRecord {
    LONG ref0 = -1;
    LONG ref1 = -1;
    LONG ref2 = -1;
    double width = 0.0;
    double height = 0.0;
    double rotation = 0.0;
};
static_assert(sizeof(KernelSizeRecord) == sizeof(BlockReference));
static_assert(offsetof(KernelSizeRecord, width) == offsetof(BlockReference, value0));
static_assert(offsetof(KernelSizeRecord, height) == offsetof(BlockReference, value1));

// An object's graphic record, constructed in the form a caller prepares it.
struct GraphicRecord {
    LONG handle = -1;     // byte 0
    LONG word4 = 0;
    LONG word8 = 0;
    LONG word12 = 0;
    LONG layer = -1;      // byte 16
    LONG word20 = 0;
    char name[32] = {};   // bytes 24..55
    LONG word56 = 0;
    LONG colour = 16777215;  // byte 60: white until filled
    BlockReference block;    // byte 64
    KernelRect extent;       // byte 104: bounding box of the outline, map units
    LONG word136 = 0;
    LONG word140 = 0;
};
static_assert(sizeof(GraphicRecord) == 144);
static_assert(offsetof(GraphicRecord, name) == 24);
static_assert(offsetof(GraphicRecord, colour) == 60);
static_assert(offsetof(GraphicRecord, block) == 64);
static_assert(offsetof(GraphicRecord, extent) == 104);
static_assert(offsetof(GraphicRecord, word140) == 140);
