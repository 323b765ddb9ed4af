#include "host/HostDispids.h"

#include <cstdint>
#include <unordered_map>

namespace host {

namespace {

uint64_t Key(HostObjectKind object, DISPID dispid) {
    return (static_cast<uint64_t>(object) << 32) | static_cast<uint32_t>(dispid);
}

}  // namespace

const HostOperation* FindOperation(HostObjectKind object, DISPID dispid) {
    // Every call a host object answers starts here: the table's first entry
    // for the pair, looked up by a key rather than by walking the table.
    static const std::unordered_map<uint64_t, const HostOperation*> byKey = [] {
        std::unordered_map<uint64_t, const HostOperation*> map;
        for (const HostOperation& op : kHostOperations) map.emplace(Key(op.object, op.dispid), &op);
        return map;
    }();
    const auto found = byKey.find(Key(object, dispid));
    return found == byKey.end() ? nullptr : found->second;
}

bool FlagsMatch(OperationKind kind, WORD flags) {
    switch (kind) {
        case OperationKind::PropertyPut: return (flags & DISPATCH_PROPERTYPUT) != 0;
        case OperationKind::Method: return (flags & DISPATCH_METHOD) != 0;
        // A get may be reached as a method too (both bits set is the usual form of a call).
        case OperationKind::PropertyGet:
        case OperationKind::ParameterizedPropertyGet: return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
    }
    return false;
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
