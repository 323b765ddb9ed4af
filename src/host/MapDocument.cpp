#include "host/MapDocument.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>

namespace host {

namespace {

constexpr size_t npos = static_cast<size_t>(-1);
constexpr LONG kLargestId = std::numeric_limits<LONG>::max();

// One more than the largest value in use; when that would overflow, the
// smallest positive value not in use (maps never come close, but a file may
// carry an id of 2147483647).
template <typename IsTaken>
LONG NextFree(LONG largest, IsTaken isTaken) {
    if (largest < kLargestId) return largest + 1;
    for (LONG candidate = 1; candidate < kLargestId; ++candidate) {
        if (!isTaken(candidate)) return candidate;
    }
    throw std::invalid_argument("no free entity id or handle is left");
}

}  // namespace

// ---- Index ------------------------------------------------------------------

size_t MapDocument::PositionTable::Home(std::uint32_t key) const {
    // Fibonacci hashing: ids and handles are often consecutive numbers.
    return static_cast<size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> 32) & (m_slots.size() - 1);
}

void MapDocument::PositionTable::Reset(size_t expected) {
    size_t size = 16;
    while (size < expected * 2) size *= 2;
    m_slots.assign(size, Slot{});
    m_count = 0;
}

void MapDocument::PositionTable::Place(Slot slot) {
    const size_t mask = m_slots.size() - 1;
    size_t i = Home(slot.key);
    while (m_slots[i].position != kNone) i = (i + 1) & mask;
    m_slots[i] = slot;
}

void MapDocument::PositionTable::Add(std::uint32_t key, std::uint32_t position) {
    if (m_slots.empty() || (m_count + 1) * 2 > m_slots.size()) {
        // Grown by re-adding in position order, so that a key's entries keep
        // the order they were added in.
        std::vector<Slot> old;
        old.reserve(m_count);
        for (const Slot& slot : m_slots) {
            if (slot.position != kNone) old.push_back(slot);
        }
        std::stable_sort(old.begin(), old.end(), [](const Slot& a, const Slot& b) { return a.position < b.position; });
        Reset(std::max<size_t>(m_count + 1, m_slots.size()));
        for (const Slot& slot : old) Place(slot);
        m_count = old.size();
    }
    Place(Slot{key, position});
    ++m_count;
}

MapDocument::KeyRange MapDocument::KeyRange::For(std::uint32_t smallest, std::uint32_t largest, size_t count) {
    KeyRange range;
    if (count == 0 || largest < smallest) return range;
    const std::uint64_t span = std::uint64_t{largest} - smallest + 1;
    // Four slots of four bytes a key at most: no more than the hash table's
    // two slots of eight.
    if (span > 4 * std::uint64_t{count} + 4096) return range;
    range.base = smallest;
    // Room for the objects a session adds after loading (one more than the
    // largest each time).
    const std::uint64_t wanted = span + count / 4 + 64;
    range.size = static_cast<size_t>(std::min<std::uint64_t>(wanted, (std::uint64_t{1} << 32) - smallest));
    return range;
}

void MapDocument::FirstPositionIndex::Reset(KeyRange range, size_t count) {
    m_range = range;
    m_dense.assign(range.size, PositionTable::kNone);
    m_overflow.Reset(range.size != 0 ? 0 : count);
}

void MapDocument::FirstPositionIndex::AddIfAbsent(std::uint32_t key, std::uint32_t position) {
    if (m_range.Holds(key)) {
        std::uint32_t& slot = m_dense[key - m_range.base];
        if (slot == PositionTable::kNone) slot = position;
    } else if (m_overflow.First(key) == PositionTable::kNone) {
        m_overflow.Add(key, position);
    }
}

void MapDocument::MultiPositionIndex::Reset(KeyRange range, size_t expected) {
    m_range = range;
    m_chains.assign(range.size, Chain{});
    m_entries.clear();
    m_entries.reserve(range.size != 0 ? expected : 0);
    m_overflow.Reset(range.size != 0 ? 0 : expected);
}

void MapDocument::MultiPositionIndex::Add(std::uint32_t key, std::uint32_t position) {
    if (!m_range.Holds(key)) {
        m_overflow.Add(key, position);
        return;
    }
    const auto at = static_cast<std::uint32_t>(m_entries.size());
    m_entries.push_back(Entry{position, PositionTable::kNone});
    Chain& chain = m_chains[key - m_range.base];
    if (chain.head == PositionTable::kNone) {
        chain.head = at;
    } else {
        m_entries[chain.tail].next = at;
    }
    chain.tail = at;
}

namespace {

std::uint32_t Key(LONG value) { return static_cast<std::uint32_t>(value); }
std::uint32_t NameKey(const CString& name) {
    const size_t hash = std::hash<std::string_view>()(name.view());
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

MapDocument::IndexStamp MapDocument::CurrentStamp() const {
    IndexStamp stamp;
    stamp.data = m_objects.data();
    stamp.size = m_objects.size();
    if (!m_objects.empty()) {
        const MapObject& last = m_objects.back();
        stamp.lastEntity = last.entityId;
        stamp.lastHandle = last.handle;
        stamp.lastFrom = last.fromEntity;
        stamp.lastTo = last.toEntity;
        stamp.lastIsLine = last.isLine;
    }
    return stamp;
}

void MapDocument::IndexObject(size_t position) const { IndexObject(position, NameKey(m_objects[position].name)); }

void MapDocument::IndexObject(size_t position, std::uint32_t nameKey) const {
    const MapObject& object = m_objects[position];
    const auto at = static_cast<std::uint32_t>(position);
    // Only the first object of a value is kept, which is the one a
    // front-to-back search would find.
    m_entityIndex.AddIfAbsent(Key(object.entityId), at);
    m_handleIndex.AddIfAbsent(Key(object.handle), at);
    const auto sameName = [&](std::uint32_t earlier) { return m_objects[earlier].name == object.name; };
    if (m_nameIndex.Find(nameKey, sameName) == PositionTable::kNone) m_nameIndex.Add(nameKey, at);
    if (object.isLine) {
        if (object.fromEntity != 0) m_lineEnds.Add(Key(object.fromEntity), at);
        if (object.toEntity != 0 && object.toEntity != object.fromEntity) m_lineEnds.Add(Key(object.toEntity), at);
    }
    if (object.entityId > m_maxEntity) m_maxEntity = object.entityId;
    if (object.handle > m_maxHandle) m_maxHandle = object.handle;
}

void MapDocument::Reindex() const {
    std::uint32_t smallestEntity = 0xFFFFFFFFu, largestEntity = 0, smallestHandle = 0xFFFFFFFFu, largestHandle = 0;
    size_t lines = 0;
    for (const MapObject& object : m_objects) {
        // 0 is never looked up; leaving it out keeps a range from starting there.
        if (object.entityId != 0) {
            smallestEntity = std::min(smallestEntity, Key(object.entityId));
            largestEntity = std::max(largestEntity, Key(object.entityId));
        }
        if (object.handle != 0) {
            smallestHandle = std::min(smallestHandle, Key(object.handle));
            largestHandle = std::max(largestHandle, Key(object.handle));
        }
        lines += object.isLine ? 1 : 0;
    }
    const KeyRange entities = KeyRange::For(smallestEntity, largestEntity, m_objects.size());
    m_entityIndex.Reset(entities, m_objects.size());
    m_handleIndex.Reset(KeyRange::For(smallestHandle, largestHandle, m_objects.size()), m_objects.size());
    m_nameIndex.Reset(m_objects.size());
    m_lineEnds.Reset(entities, lines * 2);
    m_maxEntity = 0;
    m_maxHandle = 0;
    // Names hash to anywhere in their table, so each would wait for memory;
    // their slots are asked for a batch ahead, and the waits overlap.
    constexpr size_t kBatch = 32;
    std::uint32_t nameKeys[kBatch];
    for (size_t start = 0; start < m_objects.size(); start += kBatch) {
        const size_t count = std::min(kBatch, m_objects.size() - start);
        for (size_t i = 0; i < count; ++i) {
            nameKeys[i] = NameKey(m_objects[start + i].name);
            m_nameIndex.Prefetch(nameKeys[i]);
        }
        for (size_t i = 0; i < count; ++i) IndexObject(start + i, nameKeys[i]);
    }
    m_indexStamp = CurrentStamp();
    m_indexBuilt = true;
}

void MapDocument::EnsureIndex() const {
    if (!IndexIsFresh()) Reindex();
}

void MapDocument::NoteRenamed(const MapObject& object) {
    if (m_objects.empty() || &object < m_objects.data() || &object >= m_objects.data() + m_objects.size()) return;
    EnsureIndex();
    m_nameIndex.Add(NameKey(object.name), static_cast<std::uint32_t>(&object - m_objects.data()));
}

size_t MapDocument::PositionOfEntity(LONG entityId) const {
    if (entityId == 0) return npos;
    EnsureIndex();
    std::uint32_t found = m_entityIndex.First(Key(entityId));
    if (found == PositionTable::kNone) return npos;
    if (found < m_objects.size() && m_objects[found].entityId == entityId) return found;
    // The object at that place was changed in place: look again with a fresh index.
    Reindex();
    found = m_entityIndex.First(Key(entityId));
    return found == PositionTable::kNone ? npos : found;
}

size_t MapDocument::PositionOfHandle(LONG handle) const {
    if (handle == 0) return npos;
    EnsureIndex();
    std::uint32_t found = m_handleIndex.First(Key(handle));
    if (found == PositionTable::kNone) return npos;
    if (found < m_objects.size() && m_objects[found].handle == handle) return found;
    Reindex();
    found = m_handleIndex.First(Key(handle));
    return found == PositionTable::kNone ? npos : found;
}

size_t MapDocument::PositionOfName(const CString& name) const {
    EnsureIndex();
    // A name's entries are the first object built with it and every object
    // renamed to it since, in no particular order: the earliest that still
    // has the name is the one a front-to-back search finds. That holds only
    // while the first one built still has it: once it was renamed away, a
    // later object built with the same name (never entered) may come before
    // every entry, so only a search can tell.
    const std::uint32_t key = NameKey(name);
    std::uint32_t found = PositionTable::kNone;
    bool renamedAway = false;
    m_nameIndex.Find(key, [&](std::uint32_t position) {
        if (position >= m_objects.size()) {
            renamedAway = true;
        } else if (m_objects[position].name == name) {
            if (position < found) found = position;
        } else if (NameKey(m_objects[position].name) != key) {
            renamedAway = true;  // not merely another name of the same hash
        }
        return false;
    });
    if (found != PositionTable::kNone && !renamedAway) return found;
    // An object renamed in place without a word to the index is settled by a
    // search, which also refreshes the index.
    for (size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i].name == name) {
            Reindex();
            return i;
        }
    }
    if (renamedAway) Reindex();  // so that the next look-up of the name is not a search again
    return npos;
}

// ---- Lookups ----------------------------------------------------------------

MapObject* MapDocument::FindByName(const CString& name) {
    const size_t position = PositionOfName(name);
    return position == npos ? nullptr : &m_objects[position];
}

const MapObject* MapDocument::FindByName(const CString& name) const {
    const size_t position = PositionOfName(name);
    return position == npos ? nullptr : &m_objects[position];
}

MapObject& MapDocument::AddObject(MapObject object) {
    if (object.entityId < 0) {
        throw std::invalid_argument("entity id " + std::to_string(object.entityId) + " is negative");
    }
    if (object.handle < 0) {
        throw std::invalid_argument("handle " + std::to_string(object.handle) + " is negative");
    }
    EnsureIndex();
    if (object.entityId == 0) {
        object.entityId = NextFree(m_maxEntity, [this](LONG id) { return m_entityIndex.First(Key(id)) != PositionTable::kNone; });
    } else if (m_entityIndex.First(Key(object.entityId)) != PositionTable::kNone) {
        throw std::invalid_argument("entity id " + std::to_string(object.entityId) + " is already taken");
    }
    if (object.handle == 0) {
        object.handle = NextFree(m_maxHandle, [this](LONG handle) { return m_handleIndex.First(Key(handle)) != PositionTable::kNone; });
    } else if (m_handleIndex.First(Key(object.handle)) != PositionTable::kNone) {
        throw std::invalid_argument("handle " + std::to_string(object.handle) + " is already taken");
    }
    m_objects.push_back(std::move(object));
    // A reallocation moves the objects but not their positions, so the index
    // only needs the new one and a new stamp.
    IndexObject(m_objects.size() - 1);
    m_indexStamp = CurrentStamp();
    return m_objects.back();
}

std::vector<LONG> MapDocument::Connections(LONG handle) const {
    std::vector<LONG> connections;
    ForEachConnection(handle, [&](LONG connection) { connections.push_back(connection); });
    return connections;
}

const Layer* MapDocument::FindLayer(LONG id) const {
    for (const Layer& layer : m_layers) {
        if (layer.id == id) return &layer;
    }
    return nullptr;
}

const SymbolDefinition* MapDocument::FindSymbol(LONG id) const {
    for (const SymbolDefinition& symbol : m_symbols) {
        if (symbol.id == id) return &symbol;
    }
    return nullptr;
}

}  // namespace host
