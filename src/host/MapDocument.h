#pragma once
// The host's map document: every object of a mine power-supply drawing with
// its geometry, topology, labels and attribute records. The map control, the
// kernel routines and the equipment library all work on this one model; it is
// both the product's host and the tests' fixture. Texts are GBK in memory.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

namespace host {

// Entity type codes the host reports through GetEntityType.
namespace EntityType {
inline constexpr LONG Line = 1;
inline constexpr LONG Symbol = 2;
inline constexpr LONG ShortCircuitPoint = 27;
inline constexpr LONG Transformer = 28;
}  // namespace EntityType

// Kind names of the kernel's topology, exact texts (UTF-8 literals; use
// FromUtf8 to compare with the GBK kinds of the map).
namespace KindName {
inline constexpr const char* Starter = "启动器";
inline constexpr const char* ProtectionUnit = "综保";
inline constexpr const char* MobileSubstation = "移动变电站";
inline constexpr const char* MineTransformer = "矿用变压器";
inline constexpr const char* HvDistributionBox = "高压配电箱";
inline constexpr const char* OneToTwoSwitch = "一拖二开关";
inline constexpr const char* OneToFourSwitch = "一拖四开关";
inline constexpr const char* OneToSixSwitch = "一拖六开关";
inline constexpr const char* ShortCircuitPoint = "短路点";
inline constexpr const char* Motor = "电动机";
inline constexpr const char* Cable = "电缆";
}  // namespace KindName

// A name or kind name fits in 32 bytes with its terminator.
inline constexpr size_t kMaxNameBytes = 31;

struct Point3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

struct Label {
    CString text;
    LONG style = 0;
    LONG placement = 0;
    friend bool operator==(const Label&, const Label&) = default;
};

// Motor values by the index the equipment library's GetMotorData uses:
// 0 rated power kW, 1 rated current A, 2 rated voltage V, 3 starting current A, 4 power factor.
struct MotorData {
    double ratedPowerKW = 0.0;
    double ratedCurrentA = 0.0;
    double ratedVoltageV = 0.0;
    double startCurrentA = 0.0;
    double powerFactor = 0.0;
    bool running = true;      // set to running (not a spare)
    bool groupStart = false;  // starts together with the other group-start motors of its starter or circuit
    friend bool operator==(const MotorData&, const MotorData&) = default;
};

// A symbol definition: its extent relative to the insertion point, in
// definition units. Objects refer to it by id through their block reference.
struct SymbolDefinition {
    LONG id = 0;
    CString name;
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    std::string extraJson;  // keys this system does not know, kept verbatim (UTF-8 JSON object or empty)
    friend bool operator==(const SymbolDefinition&, const SymbolDefinition&) = default;
};

// One attribute record: text values addressed by sub-index from 0.
using AttributeRow = std::vector<CString>;

struct MapObject {
    LONG entityId = 0;
    LONG handle = 0;          // kernel object handle, never 0
    LONG entityType = EntityType::Symbol;
    CString kind;             // kernel kind name, e.g. "移动变电站"
    CString name;             // at most kMaxNameBytes GBK bytes
    LONG layer = 0;
    LONG colour = 0;          // 0x00BBGGRR
    DWORD flags = 0;          // kernel flag word (bit 0x1000 is toggled by the colour lookup)
    bool settingLocked = false;  // the equipment library refuses to set this object

    // Geometry (symbols and points).
    Point3 insertion;
    std::vector<Point3> outline;
    LONG symbol = -1;         // symbol definition id, -1 when none
    double width = 0.0;       // placed size, map units
    double height = 0.0;
    double rotation = 0.0;    // stored rotation, degrees counter-clockwise

    // Topology: a line joins the object it starts at to the object it ends at.
    bool isLine = false;
    LONG fromEntity = 0;      // entity id at the line's start (upstream end), 0 when none
    LONG toEntity = 0;        // entity id at the line's end (downstream end), 0 when none
    LONG lineProperty = 0;    // answered to query 16420

    std::vector<Label> labels;
    std::map<LONG, AttributeRow> fields;     // attribute records by field number
    std::optional<MotorData> motor;
    std::map<std::string, CString> notes;    // setting notes by key (UTF-8 key, GBK text)
    std::string extraJson;    // keys this system does not know, kept verbatim

    friend bool operator==(const MapObject&, const MapObject&) = default;
};

struct Layer {
    LONG id = 0;
    CString name;
    LONG colour = 0;
    std::string extraJson;
    friend bool operator==(const Layer&, const Layer&) = default;
};

// Window transform of MapToClient: client = ((x - originX) * scale, (originY - y) * scale),
// so the window's y grows downwards while the map's grows upwards.
struct MapView {
    double originX = 0.0;
    double originY = 0.0;
    double scale = 1.0;
    friend bool operator==(const MapView&, const MapView&) = default;
};

struct ProjectSettings {
    CString name;
    LONG lowVoltage = 660;    // the project's low-voltage level, V
    LONG highVoltage = 6000;  // the supply's high-voltage level, V
    std::string extraJson;
    friend bool operator==(const ProjectSettings&, const ProjectSettings&) = default;
};

class MapDocument {
public:
    MapDocument() = default;

    // Objects in document order (symbols and lines alike).
    std::vector<MapObject>& objects() { return m_objects; }
    const std::vector<MapObject>& objects() const { return m_objects; }

    // The walks ask these millions of times on a whole-mine map: the common
    // answer (a fresh index, a key in its array) is given inline, anything
    // else by the full look-up.
    MapObject* FindByEntity(LONG entityId) { return const_cast<MapObject*>(std::as_const(*this).FindByEntity(entityId)); }
    const MapObject* FindByEntity(LONG entityId) const {
        const MapObject* found = nullptr;
        if (FindQuickly(m_entityIndex, entityId, &MapObject::entityId, found)) return found;
        return ObjectAt(PositionOfEntity(entityId));
    }
    MapObject* FindByHandle(LONG handle) { return const_cast<MapObject*>(std::as_const(*this).FindByHandle(handle)); }
    const MapObject* FindByHandle(LONG handle) const {
        const MapObject* found = nullptr;
        if (FindQuickly(m_handleIndex, handle, &MapObject::handle, found)) return found;
        return ObjectAt(PositionOfHandle(handle));
    }
    // First object with that (GBK) name, or null.
    MapObject* FindByName(const CString& name);
    const MapObject* FindByName(const CString& name) const;

    // Adds an object; assigns an entity id and a handle when they are 0
    // (one more than the largest in use). Throws std::invalid_argument when
    // the id or handle is already taken or negative.
    MapObject& AddObject(MapObject object);

    // The lookups keep an index. It follows AddObject, objects added or
    // removed through objects(), changes to the last object, and renames of
    // any object by itself. Call Reindex after changing the entity id, handle
    // or line ends of an earlier object in place.
    void Reindex() const;
    // Call after renaming an object in place: a rename the index is not told
    // of is found by a search when its name is looked up, but an object
    // renamed to the name of a later one would then not be the first found.
    void NoteRenamed(const MapObject& object);

    // The kernel's connection list of an object: -h for each line h that starts
    // at it, +h for each line h that ends at it, in document order.
    std::vector<LONG> Connections(LONG handle) const;
    // The same values handed to visit(LONG) one by one, without the list: a
    // walk asks this of every object it passes. Returns how many there were.
    template <typename Visit>
    size_t ForEachConnection(LONG handle, Visit visit) const;
    // The same for an object already looked up (an object of this document).
    template <typename Visit>
    size_t ForEachConnectionOf(const MapObject& object, Visit visit) const;

    std::vector<Layer>& layers() { return m_layers; }
    const std::vector<Layer>& layers() const { return m_layers; }
    const Layer* FindLayer(LONG id) const;

    std::vector<SymbolDefinition>& symbols() { return m_symbols; }
    const std::vector<SymbolDefinition>& symbols() const { return m_symbols; }
    const SymbolDefinition* FindSymbol(LONG id) const;

    // The map's current drawing colour; -1 means "the colour of the layer".
    LONG currentColour() const { return m_currentColour; }
    void setCurrentColour(LONG colour) { m_currentColour = colour; }

    MapView& view() { return m_view; }
    const MapView& view() const { return m_view; }
    ProjectSettings& project() { return m_project; }
    const ProjectSettings& project() const { return m_project; }

    // Keys at the top level of the map file that this system does not know.
    std::string& extraJson() { return m_extraJson; }
    const std::string& extraJson() const { return m_extraJson; }

    // Set whenever the drawing was changed through the map control or the kernel.
    bool modified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }

    friend bool operator==(const MapDocument& a, const MapDocument& b) {
        return a.m_objects == b.m_objects && a.m_layers == b.m_layers && a.m_symbols == b.m_symbols &&
               a.m_currentColour == b.m_currentColour && a.m_view == b.m_view && a.m_project == b.m_project &&
               a.m_extraJson == b.m_extraJson;
    }

private:
    // What the index was built from; a mismatch means objects() was edited directly.
    struct IndexStamp {
        const MapObject* data = nullptr;
        size_t size = 0;
        LONG lastEntity = 0, lastHandle = 0, lastFrom = 0, lastTo = 0;
        bool lastIsLine = false;
        friend bool operator==(const IndexStamp&, const IndexStamp&) = default;
    };
    IndexStamp CurrentStamp() const;
    // The index is built and CurrentStamp() would equal m_indexStamp; found
    // without building the stamp, as every look-up asks it.
    bool IndexIsFresh() const {
        if (!m_indexBuilt || m_objects.data() != m_indexStamp.data || m_objects.size() != m_indexStamp.size) return false;
        if (m_objects.empty()) return true;
        const MapObject& last = m_objects.back();
        return last.entityId == m_indexStamp.lastEntity && last.handle == m_indexStamp.lastHandle &&
               last.fromEntity == m_indexStamp.lastFrom && last.toEntity == m_indexStamp.lastTo &&
               last.isLine == m_indexStamp.lastIsLine;
    }
    void EnsureIndex() const;
    void IndexObject(size_t position) const;
    void IndexObject(size_t position, std::uint32_t nameKey) const;
    size_t PositionOfEntity(LONG entityId) const;  // npos when absent
    size_t PositionOfHandle(LONG handle) const;
    size_t PositionOfName(const CString& name) const;
    const MapObject* ObjectAt(size_t position) const {
        return position == static_cast<size_t>(-1) ? nullptr : &m_objects[position];
    }

    std::vector<MapObject> m_objects;
    std::vector<Layer> m_layers;
    std::vector<SymbolDefinition> m_symbols;
    LONG m_currentColour = -1;
    MapView m_view;
    ProjectSettings m_project;
    std::string m_extraJson;
    bool m_modified = false;

    // An open-addressing table of (32-bit key, position) pairs, eight bytes
    // a slot and at most half full: a whole-mine map has hundreds of
    // thousands of objects, and a node-based map costs several times that
    // per entry. Keys may repeat; Find visits a key's entries in the order
    // they were added until told to stop.
    class PositionTable {
    public:
        static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
        void Reset(size_t expected);
        void Add(std::uint32_t key, std::uint32_t position);
        // Calls visit(position) for each entry of key until it returns true;
        // returns that position, or kNone.
        template <typename Visit>
        std::uint32_t Find(std::uint32_t key, Visit visit) const {
            if (m_slots.empty()) return kNone;
            const size_t mask = m_slots.size() - 1;
            for (size_t i = Home(key); m_slots[i].position != kNone; i = (i + 1) & mask) {
                if (m_slots[i].key == key && visit(m_slots[i].position)) return m_slots[i].position;
            }
            return kNone;
        }
        std::uint32_t First(std::uint32_t key) const {
            return Find(key, [](std::uint32_t) { return true; });
        }
        // Asks the processor to fetch the key's first slot ahead of a Find or Add.
        void Prefetch(std::uint32_t key) const {
            if (!m_slots.empty()) __builtin_prefetch(&m_slots[Home(key)]);
        }

    private:
        struct Slot {
            std::uint32_t key = 0;
            std::uint32_t position = kNone;
        };
        size_t Home(std::uint32_t key) const;
        void Place(Slot slot);
        std::vector<Slot> m_slots;
        size_t m_count = 0;
    };

    // Which keys get a plain array: entity ids and handles are given out one
    // after another, so the keys of a real map fill a short range, and an
    // array over it keeps neighbours in the drawing neighbours in memory,
    // where a hash scatters them across a table that at a million objects no
    // longer fits any cache. Keys outside the range (a sparse file, objects
    // added after the index was built beyond the spare room) go to a hash
    // table. The range is fixed until the next rebuild, so each key lives in
    // exactly one of the two.
    struct KeyRange {
        std::uint32_t base = 0;
        size_t size = 0;
        bool Holds(std::uint32_t key) const { return key - base < size; }
        // The range of keys from smallest to largest with room for additions,
        // or an empty one when an array over it would cost more than a hash.
        static KeyRange For(std::uint32_t smallest, std::uint32_t largest, size_t count);
    };

    // The first position of each key (entity ids, handles).
    class FirstPositionIndex {
    public:
        void Reset(KeyRange range, size_t count);
        std::uint32_t First(std::uint32_t key) const {
            if (m_range.Holds(key)) return m_dense[key - m_range.base];
            return m_overflow.First(key);
        }
        // The key's slot in the array, or null when the key lies outside it.
        const std::uint32_t* DenseSlot(std::uint32_t key) const {
            return m_range.Holds(key) ? &m_dense[key - m_range.base] : nullptr;
        }
        // Keeps the position only when the key has none yet.
        void AddIfAbsent(std::uint32_t key, std::uint32_t position);

    private:
        KeyRange m_range;
        std::vector<std::uint32_t> m_dense;
        PositionTable m_overflow;
    };

    // Every position of each key, in the order added (lines by the entity
    // ids at their two ends).
    class MultiPositionIndex {
    public:
        void Reset(KeyRange range, size_t expected);
        void Add(std::uint32_t key, std::uint32_t position);
        template <typename Visit>
        void ForEach(std::uint32_t key, Visit visit) const {
            if (!m_range.Holds(key)) {
                m_overflow.Find(key, [&](std::uint32_t position) {
                    visit(position);
                    return false;
                });
                return;
            }
            for (std::uint32_t at = m_chains[key - m_range.base].head; at != PositionTable::kNone; at = m_entries[at].next) {
                visit(m_entries[at].position);
            }
        }

    private:
        struct Chain {
            std::uint32_t head = PositionTable::kNone;
            std::uint32_t tail = PositionTable::kNone;
        };
        struct Entry {
            std::uint32_t position;
            std::uint32_t next;
        };
        KeyRange m_range;
        std::vector<Chain> m_chains;
        std::vector<Entry> m_entries;
        PositionTable m_overflow;
    };

    // Lookup index: positions in m_objects, so that a copied document's index
    // stays valid for the copy. Not part of the document's value.
    mutable FirstPositionIndex m_entityIndex;  // first object of each entity id
    mutable FirstPositionIndex m_handleIndex;  // first object of each handle
    mutable PositionTable m_nameIndex;         // by a hash of the name: first object of each name
    mutable MultiPositionIndex m_lineEnds;     // entity id -> lines starting or ending there
    mutable LONG m_maxEntity = 0;
    mutable LONG m_maxHandle = 0;
    mutable IndexStamp m_indexStamp;
    mutable bool m_indexBuilt = false;

    // The answer PositionOf* gives, when it can be given from a fresh index's
    // array: true with `found` set (null for a key no object has); false
    // when the full look-up must answer (stale index, a key outside the
    // array, an object changed in place since).
    bool FindQuickly(const FirstPositionIndex& index, LONG key, LONG MapObject::*member,
                     const MapObject*& found) const {
        if (key == 0) {
            found = nullptr;
            return true;
        }
        if (!IndexIsFresh()) return false;
        const std::uint32_t* slot = index.DenseSlot(static_cast<std::uint32_t>(key));
        if (!slot) return false;
        if (*slot == PositionTable::kNone) {
            found = nullptr;
            return true;
        }
        if (*slot >= m_objects.size() || m_objects[*slot].*member != key) return false;
        found = &m_objects[*slot];
        return true;
    }
};

template <typename Visit>
size_t MapDocument::ForEachConnection(LONG handle, Visit visit) const {
    const MapObject* object = FindByHandle(handle);
    return object ? ForEachConnectionOf(*object, visit) : 0;
}

template <typename Visit>
size_t MapDocument::ForEachConnectionOf(const MapObject& object, Visit visit) const {
    const LONG entityId = object.entityId;
    if (entityId == 0) return 0;
    if (!IndexIsFresh()) EnsureIndex();
    size_t count = 0;
    // Entries are added in document order (a rebuild walks it front to
    // back; AddObject appends), so no sort is needed.
    m_lineEnds.ForEach(static_cast<std::uint32_t>(entityId), [&](std::uint32_t linePosition) {
        if (linePosition >= m_objects.size()) return;
        const MapObject& line = m_objects[linePosition];
        if (!line.isLine) return;
        if (line.fromEntity == entityId) {
            visit(-line.handle);
            ++count;
        }
        if (line.toEntity == entityId) {
            visit(line.handle);
            ++count;
        }
    });
    return count;
}

}  // namespace host
