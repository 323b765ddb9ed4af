#include "host/HostDispids.h"

#include <array>
#include <cstddef>

namespace host {

namespace {

// Dispids below this are found by position; the others (only the standard
// negative ones) by a walk of the table.
constexpr DISPID kDirectDispids = 128;

using DirectTable = std::array<std::array<const HostOperation*, kDirectDispids>, kHostObjectKinds>;

constexpr DirectTable BuildDirectTable() {
    DirectTable table{};
    for (const HostOperation& op : kHostOperations) {
        if (op.dispid < 0 || op.dispid >= kDirectDispids) continue;
        const HostOperation*& slot = table[static_cast<size_t>(op.object)][static_cast<size_t>(op.dispid)];
        if (!slot) slot = &op;  // the table's first entry for the pair
    }
    return table;
}

constexpr DirectTable kDirect = BuildDirectTable();

}  // namespace

const HostOperation* FindOperation(HostObjectKind object, DISPID dispid) {
    // Every call a host object answers starts here.
    const auto kind = static_cast<size_t>(object);
    if (kind < kHostObjectKinds && dispid >= 0 && dispid < kDirectDispids)
        return kDirect[kind][static_cast<size_t>(dispid)];
    for (const HostOperation& op : kHostOperations) {
        if (op.object == object && op.dispid == dispid) return &op;
    }
    return nullptr;
}

const char* ObjectKindName(HostObjectKind object) {
    switch (object) {
        case HostObjectKind::MapControl: return "MapControl";
        case HostObjectKind::EntityStore: return "EntityStore";
        case HostObjectKind::Entity: return "Entity";
        case HostObjectKind::AttributeTable: return "AttributeTable";
        case HostObjectKind::SelectionSet: return "SelectionSet";
        case HostObjectKind::CommandManager: return "CommandManager";
        case HostObjectKind::RefreshObject: return "RefreshObject";
        case HostObjectKind::IntArray: return "IntArray";
    }
    return "?";
}

const char* OperationKindName(OperationKind kind) {
    switch (kind) {
        case OperationKind::PropertyGet: return "property get";
        case OperationKind::PropertyPut: return "property put";
        case OperationKind::Method: return "method";
        case OperationKind::ParameterizedPropertyGet: return "parameterised property get";
    }
    return "?";
}

}  // namespace host
