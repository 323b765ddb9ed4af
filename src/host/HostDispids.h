#pragma once
// The one table of the operations of the host's map control and of the host
// objects reached through it, with their dispatch ids. The module-side drivers
// call by these ids, the host objects answer by them and the call log names
// calls by them; nothing else spells a dispid.
#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/Automation.h"

namespace host {

enum class HostObjectKind {
    MapControl,
    EntityStore,
    Entity,
    AttributeTable,
    SelectionSet,
    CommandManager,
    RefreshObject,
    IntArray,
};

inline constexpr size_t kHostObjectKinds = static_cast<size_t>(HostObjectKind::IntArray) + 1;

enum class OperationKind {
    PropertyGet,
    PropertyPut,
    Method,
    ParameterizedPropertyGet,
};

struct HostOperation {
    HostObjectKind object;
    const char* name;
    OperationKind kind;
    DISPID dispid;
    int argCount;         // arguments the operation takes (a put: its one value)
    bool usedByModule;    // false for what only the host side calls (filling the pick array)
};

inline constexpr std::array kHostOperations{
    // Map control.
    HostOperation{HostObjectKind::MapControl, "GetSelectionSet", OperationKind::PropertyGet, 3, 0, true},
    HostOperation{HostObjectKind::MapControl, "Action", OperationKind::PropertyPut, 5, 1, true},
    HostOperation{HostObjectKind::MapControl, "GetEntityStore", OperationKind::PropertyGet, 7, 0, true},
    HostOperation{HostObjectKind::MapControl, "Modified", OperationKind::PropertyPut, 21, 1, true},
    HostOperation{HostObjectKind::MapControl, "GetCommandManager", OperationKind::PropertyGet, 25, 0, true},
    HostOperation{HostObjectKind::MapControl, "GetRefreshObject", OperationKind::PropertyGet, 27, 0, true},
    HostOperation{HostObjectKind::MapControl, "GetKernelMap", OperationKind::PropertyGet, 30, 0, true},
    HostOperation{HostObjectKind::MapControl, "MapToClient", OperationKind::Method, 45, 4, true},
    HostOperation{HostObjectKind::MapControl, "GetCurrentCommand", OperationKind::Method, 49, 2, true},
    HostOperation{HostObjectKind::MapControl, "SetCurrentCommand", OperationKind::Method, 50, 2, true},
    HostOperation{HostObjectKind::MapControl, "Refresh", OperationKind::Method, DISPID_REFRESH, 0, true},
    HostOperation{HostObjectKind::MapControl, "RedrawEntities", OperationKind::Method, 68, 3, true},
    HostOperation{HostObjectKind::MapControl, "RedrawMap", OperationKind::Method, 69, 0, true},
    HostOperation{HostObjectKind::MapControl, "BeginSelection", OperationKind::Method, 76, 5, true},
    HostOperation{HostObjectKind::MapControl, "ShowPrompt", OperationKind::Method, 77, 1, true},
    HostOperation{HostObjectKind::MapControl, "GetKernelObject", OperationKind::ParameterizedPropertyGet, 99, 1, true},
    // Entity store.
    HostOperation{HostObjectKind::EntityStore, "GetEntity", OperationKind::ParameterizedPropertyGet, 5, 1, true},
    HostOperation{HostObjectKind::EntityStore, "GetEntityType", OperationKind::Method, 3, 1, true},
    // Entity.
    HostOperation{HostObjectKind::Entity, "GetAttributeTable", OperationKind::Method, 14, 1, true},
    // Attribute table.
    HostOperation{HostObjectKind::AttributeTable, "FindField", OperationKind::Method, 12, 1, true},
    HostOperation{HostObjectKind::AttributeTable, "GetFieldValue", OperationKind::Method, 8, 5, true},
    HostOperation{HostObjectKind::AttributeTable, "SetFieldValue", OperationKind::Method, 9, 5, true},
    // Selection set.
    HostOperation{HostObjectKind::SelectionSet, "ClearSelection", OperationKind::Method, 10, 0, true},
    HostOperation{HostObjectKind::SelectionSet, "AddToSelection", OperationKind::Method, 14, 1, true},
    // Command manager.
    HostOperation{HostObjectKind::CommandManager, "CanStart", OperationKind::Method, 5, 0, true},
    HostOperation{HostObjectKind::CommandManager, "IsCommandBlocked", OperationKind::Method, 4, 1, true},
    HostOperation{HostObjectKind::CommandManager, "EndCommand", OperationKind::Method, 3, 0, true},
    // Refresh object.
    HostOperation{HostObjectKind::RefreshObject, "RefreshItems", OperationKind::Method, 3, 4, true},
    HostOperation{HostObjectKind::RefreshObject, "RedrawItems", OperationKind::Method, 4, 2, true},
    // Integer array ("MorvaObjects.MOIntArray").
    HostOperation{HostObjectKind::IntArray, "GetCount", OperationKind::Method, 1, 0, true},
    HostOperation{HostObjectKind::IntArray, "Add", OperationKind::Method, 2, 1, false},
    HostOperation{HostObjectKind::IntArray, "RemoveAll", OperationKind::Method, 3, 0, true},
    HostOperation{HostObjectKind::IntArray, "GetAt", OperationKind::Method, 4, 1, true},
    HostOperation{HostObjectKind::IntArray, "RemoveAt", OperationKind::Method, 8, 1, true},
    HostOperation{HostObjectKind::IntArray, "GetData", OperationKind::Method, 9, 0, true},
};

// Program id under which the host registers its integer array.
inline constexpr const char* kIntArrayProgId = "MorvaObjects.MOIntArray";

// Compile-time lookup by object and name: an unknown name does not compile
// when used in a constant expression, and throws std::invalid_argument otherwise.
constexpr const HostOperation& Operation(HostObjectKind object, std::string_view name) {
    for (const HostOperation& op : kHostOperations) {
        if (op.object == object && name == op.name) return op;
    }
    throw std::invalid_argument("no host operation of that name on that object");
}

// The operation an object answers to a dispid, or null.
const HostOperation* FindOperation(HostObjectKind object, DISPID dispid);

// The invoke flags a caller uses for an operation kind.
constexpr WORD DispatchFlagsFor(OperationKind kind) {
    switch (kind) {
        case OperationKind::PropertyPut: return DISPATCH_PROPERTYPUT;
        case OperationKind::Method: return DISPATCH_METHOD;
        case OperationKind::PropertyGet:
        case OperationKind::ParameterizedPropertyGet: return DISPATCH_PROPERTYGET;
    }
    return DISPATCH_METHOD;
}

// True when a call with these flags may reach an operation of that kind.
constexpr bool FlagsMatch(OperationKind kind, WORD flags) {
    switch (kind) {
        case OperationKind::PropertyPut: return (flags & DISPATCH_PROPERTYPUT) != 0;
        case OperationKind::Method: return (flags & DISPATCH_METHOD) != 0;
        // A get may be reached as a method too (both bits set is the usual form of a call).
        case OperationKind::PropertyGet:
        case OperationKind::ParameterizedPropertyGet: return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0;
    }
    return false;
}

const char* ObjectKindName(HostObjectKind object);    // "MapControl", "AttributeTable", ...
const char* OperationKindName(OperationKind kind);    // "property get", "method", ...

}  // namespace host
