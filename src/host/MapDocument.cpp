#include "host/MapDocument.h"

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

void MapDocument::IndexObject(size_t position) const {
    const MapObject& object = m_objects[position];
    // try_emplace keeps the first object of a value, which is the one a
    // front-to-back search would find.
    m_entityIndex.try_emplace(object.entityId, position);
    m_handleIndex.try_emplace(object.handle, position);
    m_nameIndex.try_emplace(object.name.str(), position);
    if (object.isLine) {
        if (object.fromEntity != 0) m_lineEnds[object.fromEntity].push_back(position);
        if (object.toEntity != 0 && object.toEntity != object.fromEntity) m_lineEnds[object.toEntity].push_back(position);
    }
    if (object.entityId > m_maxEntity) m_maxEntity = object.entityId;
    if (object.handle > m_maxHandle) m_maxHandle = object.handle;
}

void MapDocument::Reindex() const {
    m_entityIndex.clear();
    m_handleIndex.clear();
    m_nameIndex.clear();
    m_lineEnds.clear();
    m_maxEntity = 0;
    m_maxHandle = 0;
    m_entityIndex.reserve(m_objects.size());
    m_handleIndex.reserve(m_objects.size());
    m_nameIndex.reserve(m_objects.size());
    for (size_t i = 0; i < m_objects.size(); ++i) IndexObject(i);
    m_indexStamp = CurrentStamp();
    m_indexBuilt = true;
}

void MapDocument::EnsureIndex() const {
    if (!m_indexBuilt || !(m_indexStamp == CurrentStamp())) Reindex();
}

size_t MapDocument::PositionOfEntity(LONG entityId) const {
    if (entityId == 0) return npos;
    EnsureIndex();
    auto it = m_entityIndex.find(entityId);
    if (it == m_entityIndex.end()) return npos;
    if (it->second < m_objects.size() && m_objects[it->second].entityId == entityId) return it->second;
    // The object at that place was changed in place: look again with a fresh index.
    Reindex();
    it = m_entityIndex.find(entityId);
    return it == m_entityIndex.end() ? npos : it->second;
}

size_t MapDocument::PositionOfHandle(LONG handle) const {
    if (handle == 0) return npos;
    EnsureIndex();
    auto it = m_handleIndex.find(handle);
    if (it == m_handleIndex.end()) return npos;
    if (it->second < m_objects.size() && m_objects[it->second].handle == handle) return it->second;
    Reindex();
    it = m_handleIndex.find(handle);
    return it == m_handleIndex.end() ? npos : it->second;
}

size_t MapDocument::PositionOfName(const CString& name) const {
    EnsureIndex();
    auto it = m_nameIndex.find(name.str());
    if (it != m_nameIndex.end() && it->second < m_objects.size() && m_objects[it->second].name == name) {
        return it->second;
    }
    // Objects are renamed in place (the kernel's SetObjectInfo does), so a
    // miss or a stale hit is settled by a search, which also refreshes the index.
    for (size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i].name == name) {
            Reindex();
            return i;
        }
    }
    return npos;
}

// ---- Lookups ----------------------------------------------------------------

MapObject* MapDocument::FindByEntity(LONG entityId) {
    const size_t position = PositionOfEntity(entityId);
    return position == npos ? nullptr : &m_objects[position];
}

const MapObject* MapDocument::FindByEntity(LONG entityId) const {
    const size_t position = PositionOfEntity(entityId);
    return position == npos ? nullptr : &m_objects[position];
}

MapObject* MapDocument::FindByHandle(LONG handle) {
    const size_t position = PositionOfHandle(handle);
    return position == npos ? nullptr : &m_objects[position];
}

const MapObject* MapDocument::FindByHandle(LONG handle) const {
    const size_t position = PositionOfHandle(handle);
    return position == npos ? nullptr : &m_objects[position];
}

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
        object.entityId = NextFree(m_maxEntity, [this](LONG id) { return m_entityIndex.count(id) != 0; });
    } else if (m_entityIndex.count(object.entityId) != 0) {
        throw std::invalid_argument("entity id " + std::to_string(object.entityId) + " is already taken");
    }
    if (object.handle == 0) {
        object.handle = NextFree(m_maxHandle, [this](LONG handle) { return m_handleIndex.count(handle) != 0; });
    } else if (m_handleIndex.count(object.handle) != 0) {
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
    const size_t position = PositionOfHandle(handle);
    if (position == npos) return connections;
    const LONG entityId = m_objects[position].entityId;
    if (entityId == 0) return connections;
    const auto it = m_lineEnds.find(entityId);
    if (it == m_lineEnds.end()) return connections;
    // Positions were indexed front to back, so they are in document order.
    for (const size_t linePosition : it->second) {
        if (linePosition >= m_objects.size()) continue;
        const MapObject& line = m_objects[linePosition];
        if (!line.isLine) continue;
        if (line.fromEntity == entityId) connections.push_back(-line.handle);
        if (line.toEntity == entityId) connections.push_back(line.handle);
    }
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
