#include "host/MorvaObjects.h"

namespace {

using host::HostObjectKind;
using host::Operation;

// Calls an operation of the table through a driver: the dispid and the invoke
// flags both come from the table, so a wrapper cannot disagree with the host.
template <typename R = void, typename... A>
R Call(COleDispatchDriver& driver, const host::HostOperation& op, A... args) {
    return driver.InvokeTyped<R>(op.dispid, host::DispatchFlagsFor(op.kind), args...);
}

constexpr const host::HostOperation& MapOp(std::string_view name) { return Operation(HostObjectKind::MapControl, name); }

}  // namespace

// ---------------------------------------------------------------- window half

CMorvaObjectsWindow::CMorvaObjectsWindow() {
    // The map control's window: the client area the map is drawn into.
    Create(WindowKind::Generic, "", 0, CRect(0, 0, 1024, 768), nullptr, 0);
}

LRESULT CMorvaObjectsWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_messageHandler) return m_messageHandler(message, wParam, lParam);
    return CWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------- map control

LPDISPATCH CMorvaObjects::GetSelectionSet() {
    static constexpr const auto& op = MapOp("GetSelectionSet");
    return Call<LPDISPATCH>(m_control, op);
}

void CMorvaObjects::SetAction(LONG action) {
    static constexpr const auto& op = MapOp("Action");
    Call(m_control, op, action);
}

LPDISPATCH CMorvaObjects::GetEntityStore() {
    static constexpr const auto& op = MapOp("GetEntityStore");
    return Call<LPDISPATCH>(m_control, op);
}

void CMorvaObjects::SetModified(BOOL modified) {
    static constexpr const auto& op = MapOp("Modified");
    Call(m_control, op, VariantBool{modified});
}

LPDISPATCH CMorvaObjects::GetCommandManager() {
    static constexpr const auto& op = MapOp("GetCommandManager");
    return Call<LPDISPATCH>(m_control, op);
}

LPDISPATCH CMorvaObjects::GetRefreshObject() {
    static constexpr const auto& op = MapOp("GetRefreshObject");
    return Call<LPDISPATCH>(m_control, op);
}

LONG CMorvaObjects::GetKernelMap() {
    static constexpr const auto& op = MapOp("GetKernelMap");
    return Call<LONG>(m_control, op);
}

void CMorvaObjects::MapToClient(double x, double y, double* clientX, double* clientY) {
    static constexpr const auto& op = MapOp("MapToClient");
    Call(m_control, op, x, y, clientX, clientY);
}

void CMorvaObjects::GetCurrentCommand(LONG* commandId, LONG* step) {
    static constexpr const auto& op = MapOp("GetCurrentCommand");
    Call(m_control, op, commandId, step);
}

void CMorvaObjects::SetCurrentCommand(LONG commandId, LONG step) {
    static constexpr const auto& op = MapOp("SetCurrentCommand");
    Call(m_control, op, commandId, step);
}

void CMorvaObjects::Refresh() {
    static constexpr const auto& op = MapOp("Refresh");
    Call(m_control, op);
}

void CMorvaObjects::RedrawEntities(LONG* entityIds, LONG count, LONG flag) {
    static constexpr const auto& op = MapOp("RedrawEntities");
    Call(m_control, op, entityIds, count, flag);
}

void CMorvaObjects::RedrawMap() {
    static constexpr const auto& op = MapOp("RedrawMap");
    Call(m_control, op);
}

void CMorvaObjects::BeginSelection(LPDISPATCH intArray, LONG arg1, LONG arg2, LONG arg3, LPDISPATCH extra) {
    static constexpr const auto& op = MapOp("BeginSelection");
    Call(m_control, op, intArray, arg1, arg2, arg3, extra);
}

void CMorvaObjects::ShowPrompt(LPCSTR text) {
    static constexpr const auto& op = MapOp("ShowPrompt");
    Call(m_control, op, text);
}

LONG CMorvaObjects::GetKernelObject(LONG entityId) {
    static constexpr const auto& op = MapOp("GetKernelObject");
    return Call<LONG>(m_control, op, entityId);
}

// ---------------------------------------------------------------- entity store, entity, table

LPDISPATCH CMOEntityStore::GetEntity(LONG entityId) {
    static constexpr const auto& op = Operation(HostObjectKind::EntityStore, "GetEntity");
    return Call<LPDISPATCH>(*this, op, entityId);
}

LONG CMOEntityStore::GetEntityType(LONG entityId) {
    static constexpr const auto& op = Operation(HostObjectKind::EntityStore, "GetEntityType");
    return Call<LONG>(*this, op, entityId);
}

LPDISPATCH CMOEntity::GetAttributeTable(LONG access) {
    static constexpr const auto& op = Operation(HostObjectKind::Entity, "GetAttributeTable");
    return Call<LPDISPATCH>(*this, op, access);
}

LONG CMOAttributeTable::FindField(LONG fieldNumber) {
    static constexpr const auto& op = Operation(HostObjectKind::AttributeTable, "FindField");
    return Call<LONG>(*this, op, fieldNumber);
}

LONG CMOAttributeTable::GetFieldValue(LONG column, LONG subIndex, LONG zero, LONG size, VARIANT* value) {
    static constexpr const auto& op = Operation(HostObjectKind::AttributeTable, "GetFieldValue");
    return Call<LONG>(*this, op, column, subIndex, zero, size, value);
}

void CMOAttributeTable::SetFieldValue(LONG column, LONG subIndex, LONG zero, LONG size, VARIANT* value) {
    static constexpr const auto& op = Operation(HostObjectKind::AttributeTable, "SetFieldValue");
    Call(*this, op, column, subIndex, zero, size, value);
}

// ---------------------------------------------------------------- selection, commands, refresh

void CMOSelectionSet::ClearSelection() {
    static constexpr const auto& op = Operation(HostObjectKind::SelectionSet, "ClearSelection");
    Call(*this, op);
}

LONG CMOSelectionSet::AddToSelection(LPDISPATCH intArray) {
    static constexpr const auto& op = Operation(HostObjectKind::SelectionSet, "AddToSelection");
    return Call<LONG>(*this, op, intArray);
}

BOOL CMOCommandManager::CanStart() {
    static constexpr const auto& op = Operation(HostObjectKind::CommandManager, "CanStart");
    return Call<LONG>(*this, op);
}

BOOL CMOCommandManager::IsCommandBlocked(LONG commandId) {
    static constexpr const auto& op = Operation(HostObjectKind::CommandManager, "IsCommandBlocked");
    return Call<LONG>(*this, op, commandId);
}

void CMOCommandManager::EndCommand() {
    static constexpr const auto& op = Operation(HostObjectKind::CommandManager, "EndCommand");
    Call(*this, op);
}

void CMORefresh::RefreshItems(LONG* items, LONG count, LONG arg3, LONG arg4) {
    static constexpr const auto& op = Operation(HostObjectKind::RefreshObject, "RefreshItems");
    Call(*this, op, items, count, arg3, arg4);
}

void CMORefresh::RedrawItems(LONG* items, LONG count) {
    static constexpr const auto& op = Operation(HostObjectKind::RefreshObject, "RedrawItems");
    Call(*this, op, items, count);
}

// ---------------------------------------------------------------- integer array

LONG CMOIntArray::GetCount() {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "GetCount");
    return Call<LONG>(*this, op);
}

void CMOIntArray::RemoveAll() {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "RemoveAll");
    Call(*this, op);
}

LONG CMOIntArray::GetAt(LONG index) {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "GetAt");
    return Call<LONG>(*this, op, index);
}

void CMOIntArray::RemoveAt(LONG index) {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "RemoveAt");
    Call(*this, op, index);
}

VARIANT CMOIntArray::GetData() {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "GetData");
    return Call<VARIANT>(*this, op);
}

LONG CMOIntArray::Add(LONG value) {
    static constexpr const auto& op = Operation(HostObjectKind::IntArray, "Add");
    return Call<LONG>(*this, op, value);
}
