#pragma once
// The module's view of the host: the map control CMorvaObjects and the drivers
// of the host objects reached through it. Every operation is a call by
// dispatch id (HostDispids.h) on the host's automation object, so the module
// depends on these names only, never on how the host keeps its map.
//
// Ownership follows the automation rules: an object returned as LPDISPATCH
// carries one reference that the caller owns; constructing a driver from it
// (CMOEntityStore store(map.GetEntityStore());) hands that reference to the
// driver, which releases it when destroyed. A call the host refuses returns 0
// (or null, or an empty variant) and is recorded in AutomationFailures().
#include <functional>

#include "host/HostDispids.h"
#include "platform/CWnd.h"
#include "platform/Automation.h"
#include "platform/Types.h"

// The window half of the map control: a window of the platform, so that the
// module can send it messages (the cursor update) and draw into it like any
// other window. The host listens to what arrives through a handler.
class CMorvaObjectsWindow : public CWnd {
public:
    using MessageHandler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

    CMorvaObjectsWindow();
    ~CMorvaObjectsWindow() override = default;
    CMorvaObjectsWindow(const CMorvaObjectsWindow&) = delete;
    CMorvaObjectsWindow& operator=(const CMorvaObjectsWindow&) = delete;

    void SetMessageHandler(MessageHandler handler) { m_messageHandler = std::move(handler); }

    // Every message reaches the host's handler first; without one the
    // platform's default processing answers.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    MessageHandler m_messageHandler;
};

class CMorvaObjects : public CMorvaObjectsWindow {
public:
    CMorvaObjects() = default;
    // With autoRelease the wrapper takes over one reference of the control.
    explicit CMorvaObjects(LPDISPATCH control, BOOL autoRelease = TRUE) : m_control(control, autoRelease) {}
    CMorvaObjects(const CMorvaObjects&) = delete;
    CMorvaObjects& operator=(const CMorvaObjects&) = delete;

    void AttachControl(LPDISPATCH control, BOOL autoRelease = TRUE) { m_control.AttachDispatch(control, autoRelease); }
    LPDISPATCH GetControlDispatch() const { return m_control.m_lpDispatch; }
    COleDispatchDriver& driver() { return m_control; }

    // Properties and methods of the control, by their dispids.
    LPDISPATCH GetSelectionSet();
    void SetAction(LONG action);
    LPDISPATCH GetEntityStore();
    void SetModified(BOOL modified);
    LPDISPATCH GetCommandManager();
    LPDISPATCH GetRefreshObject();
    LONG GetKernelMap();
    void MapToClient(double x, double y, double* clientX, double* clientY);
    void GetCurrentCommand(LONG* commandId, LONG* step);
    void SetCurrentCommand(LONG commandId, LONG step);
    void Refresh();
    void RedrawEntities(LONG* entityIds, LONG count, LONG flag);
    void RedrawMap();
    void BeginSelection(LPDISPATCH intArray, LONG arg1, LONG arg2, LONG arg3, LPDISPATCH extra);
    void ShowPrompt(LPCSTR text);
    LONG GetKernelObject(LONG entityId);

private:
    COleDispatchDriver m_control;
};

class CMOEntityStore : public COleDispatchDriver {
public:
    CMOEntityStore() = default;
    explicit CMOEntityStore(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    LPDISPATCH GetEntity(LONG entityId);
    LONG GetEntityType(LONG entityId);  // 0 for an unknown entity
};

class CMOEntity : public COleDispatchDriver {
public:
    CMOEntity() = default;
    explicit CMOEntity(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    // access: 0 to read values, 1 to write them.
    LPDISPATCH GetAttributeTable(LONG access);
};

class CMOAttributeTable : public COleDispatchDriver {
public:
    CMOAttributeTable() = default;
    explicit CMOAttributeTable(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    // Column of the field in this entity, -1 when it has none.
    LONG FindField(LONG fieldNumber);
    // `value` is a VT_UI1|VT_BYREF variant. Returns the byte size of the stored
    // text with its terminator; copies the text only when `size` is at least that.
    LONG GetFieldValue(LONG column, LONG subIndex, LONG zero, LONG size, VARIANT* value);
    // `value` points at the text's bytes; `size` counts its terminator.
    void SetFieldValue(LONG column, LONG subIndex, LONG zero, LONG size, VARIANT* value);
};

class CMOSelectionSet : public COleDispatchDriver {
public:
    CMOSelectionSet() = default;
    explicit CMOSelectionSet(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    void ClearSelection();
    LONG AddToSelection(LPDISPATCH intArray);  // number of ids added
};

class CMOCommandManager : public COleDispatchDriver {
public:
    CMOCommandManager() = default;
    explicit CMOCommandManager(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    BOOL CanStart();
    BOOL IsCommandBlocked(LONG commandId);
    void EndCommand();
};

class CMORefresh : public COleDispatchDriver {
public:
    CMORefresh() = default;
    explicit CMORefresh(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    // `items` may also be the address of a SAFEARRAY from CMOIntArray::GetData
    // handed over as a pointer; the host reads the array's elements then.
    void RefreshItems(LONG* items, LONG count, LONG arg3, LONG arg4);
    void RedrawItems(LONG* items, LONG count);
};

class CMOIntArray : public COleDispatchDriver {
public:
    CMOIntArray() = default;
    explicit CMOIntArray(LPDISPATCH object, BOOL autoRelease = TRUE) : COleDispatchDriver(object, autoRelease) {}
    LONG GetCount();
    void RemoveAll();
    LONG GetAt(LONG index);
    void RemoveAt(LONG index);  // later elements move down by one
    // VT_ARRAY|VT_I4 holding a copy of the elements; the caller clears it (VariantClear).
    VARIANT GetData();
    // Host side: appends an id (the host's pick). Returns its index.
    LONG Add(LONG value);
};
