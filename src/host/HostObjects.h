#pragma once
// The host side of the map control: automation objects over a MapDocument that
// answer the module's calls by dispatch id, keep the control's state
// (MapControlState) and log every call (CallLog).
//
//   host::HostSession session(document);            // a map control over any document
//   CMorvaObjects& map = session.mapControl();      // what the module is handed
//
// Host objects handed out by the control (entity store, entity, attribute
// table, selection set, command manager, refresh object) are new objects for
// every call, each carrying one reference for the caller and a number of its
// own. They hold only a weak link to their session: once the session is gone
// they refuse calls instead of touching a closed map. (Entities and attribute
// tables the caller has released are taken up again by the session for the
// next one asked for, numbered anew: to the caller they are new objects.)
#include <memory>
#include <string>
#include <vector>

#include "host/CallLog.h"
#include "host/HostDispids.h"
#include "host/MapControlState.h"
#include "host/MapDocument.h"
#include "platform/Automation.h"

class CMorvaObjects;

namespace host {

struct HostContext;
class ArgReader;

// Base of every host automation object: checks the call against the dispid
// table (name, flags, argument count), runs it, and logs it.
class HostObject : public IDispatch {
public:
    HostObjectKind kind() const { return m_kind; }
    int instance() const { return m_instance; }
    std::string Describe() const override;  // "AttributeTable#2"

    HRESULT Invoke(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) final;

    // The session, for handing out further objects; null once it is closed.
    std::shared_ptr<HostContext> SharedContext() const { return m_context.lock(); }

protected:
    HostObject(HostObjectKind kind, const std::shared_ptr<HostContext>& context);
    // Runs one checked call. `context` is null when the session is gone (only
    // objects that need no map accept that). Sets entry.note/args/result as it sees fit.
    virtual HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                        HostContext* context) = 0;
    virtual bool NeedsMap() const { return true; }

    // Entities and attribute tables go back to their session when released.
    void LastReleased() override;
    // A released object of that kind of this session handed out again (one
    // reference, a new number), or null when none is kept.
    static HostObject* TakeUpSpare(HostContext& context, HostObjectKind kind);

private:
    friend struct HostContext;
    // Invoke with the entry the call is logged in (or noted in, for a log that keeps nothing).
    HRESULT Answer(HostContext* context, CallEntry& entry, DISPID dispid, WORD flags, VARIANT* args, UINT argCount,
                   VARIANT* result);
    [[gnu::noinline, gnu::cold]] HRESULT RefuseCall(const HostOperation* op, CallEntry& entry, DISPID dispid,
                                                    WORD flags, VARIANT* args, UINT argCount) const;
    [[gnu::noinline, gnu::cold]] void NoteRefusal(const HostOperation* op, const CallEntry& entry, DISPID dispid,
                                                  VARIANT& answer) const;

    HostObjectKind m_kind;
    int m_instance = 0;
    std::weak_ptr<HostContext> m_context;
    // The same session, for calls: valid while m_context has not expired (a
    // call cannot close its session, so it holds no reference of its own).
    HostContext* m_session = nullptr;
};

// The integer array of program id "MorvaObjects.MOIntArray".
class HostIntArray final : public HostObject {
public:
    // With one reference for the caller; logs into the active session, if any.
    static HostIntArray* Create();
    static HostIntArray* Create(const std::shared_ptr<HostContext>& context);

    const std::vector<LONG>& values() const { return m_values; }
    // Host side (the pick writes here); not logged as a module call.
    void Add(LONG value) { m_values.push_back(value); }

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override;
    bool NeedsMap() const override { return false; }

private:
    explicit HostIntArray(const std::shared_ptr<HostContext>& context) : HostObject(HostObjectKind::IntArray, context) {}
    std::vector<LONG> m_values;
};

// The host's integer array behind a dispatch pointer, or null.
HostIntArray* AsHostIntArray(LPDISPATCH object);

// Registers the host's creatable classes under their program ids (the integer
// array). Called by every HostSession; harmless to call again.
void RegisterHostClasses();

// One map opened in the host: the document, the control's state, the call log
// and the control itself.
class HostSession {
public:
    // The log must outlive the session; without one the session keeps its own
    // ring of the newest kSessionCallLogCapacity calls.
    explicit HostSession(MapDocument& document, CallLog* log = nullptr);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // The control as the module sees it (what AttachMoMap receives).
    CMorvaObjects& mapControl() { return *m_mapControl; }
    // The control's automation object (no reference added).
    LPDISPATCH controlObject() const;

    MapDocument& document();
    MapControlState& state();
    const MapControlState& state() const;
    CallLog& log();
    LONG kernelMap() const;

    // An integer array logged in this session (one reference for the caller).
    HostIntArray* CreateIntArray();

    // The pick the module asked for: the array it picks into, or null.
    HostIntArray* pendingPickArray() const;
    // Ends the pick as the user would: appends the picked ids to the pick's
    // array and forgets the pick. The host program then sends the module
    // event 0. False, with the reason in `error`, when no pick is pending.
    bool FinishPick(const std::vector<LONG>& entityIds, std::string* error = nullptr);

    // The most recently opened session still open; the program-id factory
    // logs the arrays it creates there.
    static HostSession* Active();
    // The document a kernel map handle names, or null (the kernel's binding:
    // a session attaches its document to the kernel while it is open).
    static MapDocument* DocumentForKernelMap(LONG kernelMap);

private:
    std::shared_ptr<HostContext> m_context;
    std::unique_ptr<CMorvaObjects> m_mapControl;
};

}  // namespace host
