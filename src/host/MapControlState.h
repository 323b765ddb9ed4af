#pragma once
// What the host's map control keeps between calls for one map: the current
// command, the prompt line, the selection, what was redrawn and the pick in
// progress. The host objects change it as the module calls them; a host
// program (or a test) reads it, and sets the command manager's answers.
#include <optional>
#include <set>
#include <vector>

#include "platform/Automation.h"
#include "platform/CString.h"
#include "platform/Types.h"

namespace host {

struct CommandPair {
    LONG id = 0;
    LONG step = 0;
    friend bool operator==(const CommandPair&, const CommandPair&) = default;
};

struct WindowMessage {
    UINT message = 0;
    UINT_PTR wParam = 0;
    INT_PTR lParam = 0;
    friend bool operator==(const WindowMessage&, const WindowMessage&) = default;
};

// One RedrawEntities call.
struct EntityRedraw {
    std::vector<LONG> entityIds;
    LONG flag = 0;
};

// One RefreshItems or RedrawItems call of the refresh object.
struct ItemsCall {
    std::vector<LONG> ids;
    LONG count = 0;
    LONG arg3 = 0;  // RefreshItems only
    LONG arg4 = 0;
    bool passedAsSafeArray = false;  // the pointer was a safe array's address, not its first element
};

// The pick the module asked for with BeginSelection: the host's pick writes
// entity ids into `intArray` and then the module is sent event 0.
struct PendingPick {
    CDispatchPtr intArray;  // the host holds a reference while it picks
    LONG arg1 = 0;
    LONG arg2 = 0;
    LONG arg3 = 0;
    CDispatchPtr extra;
};

struct MapControlState {
    // Current command pair; (0, 0) means no command. History holds every value
    // it was given, by SetCurrentCommand or EndCommand, in order.
    CommandPair current;
    std::vector<CommandPair> commandHistory;

    LONG action = 0;
    int actionPuts = 0;

    CString prompt;                    // GBK, the prompt line as shown now
    std::vector<CString> promptHistory;

    bool modified = false;             // the control's Modified flag (also set on the document)

    int redrawMapCount = 0;
    int refreshCount = 0;
    std::vector<EntityRedraw> entityRedraws;

    std::vector<LONG> selection;       // ids the host shows as selected, in the order added

    // Fields whose values SetFieldValue refuses (E_ACCESSDENIED), as a host
    // refuses a record another user holds; tests set these.
    std::set<LONG> refusedWriteFields;

    // Command manager answers (tests set these).
    bool canStart = true;
    std::set<LONG> blockedCommands;
    int endCommandCount = 0;

    std::vector<ItemsCall> refreshedItems;
    std::vector<ItemsCall> redrawnItems;

    std::optional<PendingPick> pick;
    int beginSelectionCount = 0;

    std::vector<WindowMessage> messages;

    // Kernel object handles of entity ids come from the document; this one
    // names the map itself for the kernel's map queries.
    LONG kernelMap = 0;
};

}  // namespace host
