// The command interface of the set-transformer module and the command's state
// machine: the thirteen exports, the module-level state they keep, and
// MouseStatus, which the host calls for every event while a command runs and
// which the module calls itself (events 11, 18 and 21).
//
// MouseStatus re-enters itself synchronously; every call, nested or not,
// reads the control's current command and step afresh, so a nested call sees
// what the outer one has just set.
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>

#include "equipment/ADODatabase.h"
#include "equipment/JDBase.h"
#include "host/HostDispids.h"
#include "host/MorvaObjects.h"
#include "module/CommandInterface.h"
#include "module/SelectionHighlight.h"
#include "module/SetTransformerApp.h"
#include "platform/CallPointers.h"
#include "platform/KeyState.h"
#include "platform/Arrays.h"
#include "platform/Gbk.h"
#include "platform/Gdi.h"
#include "platform/PlatformError.h"

#define JD_COMMAND_EXPORT extern "C" __attribute__((visibility("default")))

JD_COMMAND_EXPORT void GetCommandName(char* buffer);
JD_COMMAND_EXPORT void GetCommandTranslateName(char* buffer);
JD_COMMAND_EXPORT void GetGroupName(char* buffer);
JD_COMMAND_EXPORT void GetToolBarName(char* buffer);
JD_COMMAND_EXPORT HCOMMANDBITMAP GetBmp();
JD_COMMAND_EXPORT int GetCommandType();
JD_COMMAND_EXPORT CCmdTarget* GetTheApp();
JD_COMMAND_EXPORT void AttachMoMap(CMorvaObjects* map);
JD_COMMAND_EXPORT void SetMoAction(LONG action);
JD_COMMAND_EXPORT void SetMoStatus(LONG commandId);
JD_COMMAND_EXPORT void SetMoUserCmdID(LONG userCommandId);
JD_COMMAND_EXPORT BOOL LaunchCommand();
JD_COMMAND_EXPORT void MouseStatus(LONG event, LONG value, LONG output);

// The host resolves the exports into these pointer types; a signature that
// drifts from them does not compile.
static_assert(std::is_same_v<decltype(&GetCommandName), jdmodule::GetCommandNameFn>);
static_assert(std::is_same_v<decltype(&GetCommandTranslateName), jdmodule::GetCommandTranslateNameFn>);
static_assert(std::is_same_v<decltype(&GetGroupName), jdmodule::GetGroupNameFn>);
static_assert(std::is_same_v<decltype(&GetToolBarName), jdmodule::GetToolBarNameFn>);
static_assert(std::is_same_v<decltype(&GetBmp), jdmodule::GetBmpFn>);
static_assert(std::is_same_v<decltype(&GetCommandType), jdmodule::GetCommandTypeFn>);
static_assert(std::is_same_v<decltype(&GetTheApp), jdmodule::GetTheAppFn>);
static_assert(std::is_same_v<decltype(&AttachMoMap), jdmodule::AttachMoMapFn>);
static_assert(std::is_same_v<decltype(&SetMoAction), jdmodule::SetMoActionFn>);
static_assert(std::is_same_v<decltype(&SetMoStatus), jdmodule::SetMoStatusFn>);
static_assert(std::is_same_v<decltype(&SetMoUserCmdID), jdmodule::SetMoUserCmdIDFn>);
static_assert(std::is_same_v<decltype(&LaunchCommand), jdmodule::LaunchCommandFn>);
static_assert(std::is_same_v<decltype(&MouseStatus), jdmodule::MouseStatusFn>);

namespace {

using namespace jdmodule;

// ---------------------------------------------------------------- texts (GBK)

const CString& CommandCaption() {
    static const CString text = FromUtf8("设置变压器(&T)");
    return text;
}
const CString& CommandTranslateName() {
    static const CString text = FromUtf8("设置变压器/st");
    return text;
}
const CString& GroupCaption() {
    static const CString text = FromUtf8("供电设备选型(&S)");
    return text;
}
const CString& LaunchPrompt() {
    static const CString text = FromUtf8("<设置变压器/settransformer/st>");
    return text;
}
const CString& PickPrompt() {
    static const CString text = FromUtf8("请选择变压器或[ESC取消命令]:");
    return text;
}
const CString& ClickPrompt() {
    static const CString text = FromUtf8("单击图例弹出对话框,设置变压器参数:");
    return text;
}
const CString& ExitPrompt() {
    static const CString text = FromUtf8("退出设置变压器命令");
    return text;
}

// The key text of the prompt query.
constexpr const char* kPromptKey = "?";

// Entity type of transformers in the host's entity store.
constexpr LONG kTransformerEntityType = 28;

// The host's pick: its integer array and the arguments the host expects.
constexpr const char* kIntArrayProgId = host::kIntArrayProgId;
constexpr LONG kPickArg1 = 0;
constexpr LONG kPickArg2 = 2;
constexpr LONG kPickArg3 = 63;

// ---------------------------------------------------------------- module-level state

CMorvaObjects* mapControl = nullptr;
LONG actionValue = 0;
LONG commandId = 0;
LONG userCommandId = 0;
// Created by the first MouseStatus call that passes the command test and
// destroyed when the module unloads; the integer array's automation object is
// attached at each start of the pick and released at the end of the command.
std::unique_ptr<CMOIntArray> selectionArray;
std::unique_ptr<CKernelObjectArray> objectList;
std::unique_ptr<CEntityIdArray> idList;
LONG pickedEntityId = -1;
LONG pickedObject = 0;
LONG transformerPicked = 0;

void CopyCaption(char* buffer, const CString& text) {
    if (!buffer) return;
    std::memcpy(buffer, text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
}

// Reports what the module could not do through the platform's diagnostics
// (a host shows them; the session transcript prints them).
void Diagnose(const char* what, const char* detail) {
    ReportPlatformDiagnostic(CString::Formatted("pnJDSetTransformer: %s: %s", what, detail));
}

// Asks the command itself for the prompt of the current step (event 21).
CString QueryPrompt() {
    CString prompt;
    const CCallPointer key(CallPointerKind::KeyText, kPromptKey);
    const CCallPointer answer(CallPointerKind::AnswerString, &prompt);
    MouseStatus(Event::Prompt, key.token(), answer.token());
    return prompt;
}

// Attaches a new host integer array to selectionArray; on failure returns the
// reason (the result code's name) and leaves none attached.
bool CreateSelectionArray(std::string& reason) {
    LPDISPATCH object = nullptr;
    const HRESULT hr = CreateObjectFromProgId(kIntArrayProgId, &object);
    if (FAILED(hr) || !object) {
        if (object) object->Release();
        reason = HresultName(FAILED(hr) ? hr : E_POINTER);
        return false;
    }
    selectionArray->AttachDispatch(object, TRUE);
    return true;
}

// ---------------------------------------------------------------- events

void OnPickEnded(LONG currentId, LONG step) {
    if (step != kStepPick) return;

    if (selectionArray->GetCount() > 0) {
        CMOSelectionSet selection(mapControl->GetSelectionSet());
        selection.ClearSelection();
        selection.AddToSelection(selectionArray->m_lpDispatch);
    }

    // Keep the picked transformers. After a removal the element that moved
    // into place i is tested next, and the count is read again every pass.
    CMOEntityStore store(mapControl->GetEntityStore());
    for (LONG i = 0; i < selectionArray->GetCount(); ++i) {
        const LONG object = mapControl->GetKernelObject(selectionArray->GetAt(i));
        const LONG type = store.GetEntityType(selectionArray->GetAt(i));
        if (!(type == kTransformerEntityType && IsTransformer(object))) {
            selectionArray->RemoveAt(i);
            --i;
        }
    }

    if (selectionArray->GetCount() == 1) {
        transformerPicked = 1;
        pickedEntityId = selectionArray->GetAt(0);
        pickedObject = mapControl->GetKernelObject(pickedEntityId);
        mapControl->SetCurrentCommand(currentId, kStepClick);
        const CString prompt = QueryPrompt();
        mapControl->ShowPrompt(prompt);
        // The repaint this causes draws the highlight (event 9).
        mapControl->RedrawMap();
    } else {
        MouseStatus(Event::StartPick, 0, 0);
    }
}

void OnClick(LONG step) {
    if (step != kStepClick) return;
    auto database = std::make_unique<CADODatabase>();
    if (OpenJDDatabase(database.get())) {
        CloseJDDatabase(database.get());
        RunSetTransformer(mapControl, objectList.get(), idList.get(), pickedEntityId, pickedObject);
        database.reset();
    } else {
        // The library has said why; the command ends without a word of its own.
        CloseJDDatabase(database.get());
        database.reset();
    }
    MouseStatus(Event::End, 0, 0);
}

void OnKey(LONG virtualKey) {
    if (virtualKey == VK_ESCAPE) MouseStatus(Event::End, 0, 0);
}

void OnEnd() {
    mapControl->SetCurrentCommand(0, 0);
    mapControl->SendMessage(WM_SETCURSOR, 0, 0);
    mapControl->ShowPrompt(ExitPrompt());
    pickedObject = 0;
    objectList->RemoveAll();
    idList->RemoveAll();
    pickedEntityId = -1;

    if (selectionArray->m_lpDispatch) {
        const LONG count = selectionArray->GetCount();
        if (count > 0) {
            CMORefresh refresh(mapControl->GetRefreshObject());
            COleVariant data;
            VARIANT elements = selectionArray->GetData();
            data.Attach(elements);
            if (data.vt == (VT_ARRAY | VT_I4) && data.parray) {
                // The host reads the safe array through the pointer parameter.
                LONG* items = reinterpret_cast<LONG*>(data.parray);
                refresh.RefreshItems(items, count, 0, 0);
                refresh.RedrawItems(items, count);
            } else {
                Diagnose("end of the command", "the integer array gave no safe array of the picked ids; they were not refreshed");
            }
        }
        selectionArray->RemoveAll();
        selectionArray->ReleaseDispatch();
    }

    CMOSelectionSet selection(mapControl->GetSelectionSet());
    selection.ClearSelection();
    mapControl->RedrawMap();
}

void OnStartPick(LONG step) {
    {
        CMOSelectionSet selection(mapControl->GetSelectionSet());
        selection.ClearSelection();
    }
    CollectMapObjects(mapControl, objectList.get(), idList.get());
    std::string failure;
    const bool haveArray = selectionArray->m_lpDispatch || CreateSelectionArray(failure);
    if (step != kStepPick) return;

    if (!haveArray) {
        // Without the host's integer array there is nothing to pick into: the
        // pick is not started, and the prompt line says why.
        transformerPicked = 0;
        mapControl->ShowPrompt(FromUtf8("无法创建选择用的整数数组(" + std::string(kIntArrayProgId) + ", " + failure +
                                        ")，不能开始选择；请按ESC取消命令"));
        return;
    }
    // With Ctrl held a new pick adds to what is left of the previous one.
    if (!IsKeyDown(VK_CONTROL)) selectionArray->RemoveAll();
    transformerPicked = 0;
    const CString prompt = QueryPrompt();
    mapControl->ShowPrompt(prompt);
    mapControl->BeginSelection(selectionArray->m_lpDispatch, kPickArg1, kPickArg2, kPickArg3, nullptr);
    mapControl->SendMessage(WM_SETCURSOR, 0, 0);
}

void OnPromptQuery(LONG step, LONG value, LONG output) {
    const auto* key = static_cast<const char*>(ResolveCallPointer(value, CallPointerKind::KeyText));
    auto* answer = static_cast<CString*>(ResolveCallPointer(output, CallPointerKind::AnswerString));
    if (!key || !answer) {
        Diagnose("prompt query", "the key text or the answer string is not a registered pointer; nothing answered");
        return;
    }
    if (std::strcmp(key, kPromptKey) != 0) return;
    if (step == kStepPick) *answer = PickPrompt();
    else if (step == kStepClick) *answer = ClickPrompt();
}

void Dispatch(LONG event, LONG value, LONG output) {
    if (!mapControl) return;
    LONG currentId = 0;
    LONG step = 0;
    mapControl->GetCurrentCommand(&currentId, &step);
    // The event belongs to another command (0 names none, never this one).
    if (currentId != commandId || commandId == 0) return;

    if (!selectionArray) selectionArray = std::make_unique<CMOIntArray>();
    if (!objectList) objectList = std::make_unique<CKernelObjectArray>();
    if (!idList) idList = std::make_unique<CEntityIdArray>();

    if (event == Event::Repaint) {
        if (transformerPicked != 0) {
            auto* dc = static_cast<CDC*>(ResolveCallPointer(value, CallPointerKind::DrawingContext));
            if (dc) {
                DrawSelectionHighlight(dc, transformerPicked, pickedObject, mapControl);
            } else {
                Diagnose("repaint", "the drawing context is not a registered pointer; nothing drawn");
            }
        }
        return;
    }

    switch (event) {
    case Event::PickEnded: OnPickEnded(currentId, step); break;
    case Event::Click: OnClick(step); break;
    case Event::Key: OnKey(value); break;
    case Event::End: OnEnd(); break;
    case Event::StartPick: OnStartPick(step); break;
    case Event::Prompt: OnPromptQuery(step, value, output); break;
    default: break;
    }
}

}  // namespace

// ---------------------------------------------------------------- exports

void GetCommandName(char* buffer) { CopyCaption(buffer, CommandCaption()); }
void GetCommandTranslateName(char* buffer) { CopyCaption(buffer, CommandTranslateName()); }
void GetGroupName(char* buffer) { CopyCaption(buffer, GroupCaption()); }
void GetToolBarName(char* buffer) { CopyCaption(buffer, CString()); }
HCOMMANDBITMAP GetBmp() { return nullptr; }
int GetCommandType() { return kCommandType; }
CCmdTarget* GetTheApp() { return &TheApp(); }
void AttachMoMap(CMorvaObjects* map) { mapControl = map; }
void SetMoAction(LONG action) { actionValue = action; }
void SetMoStatus(LONG id) { commandId = id; }
void SetMoUserCmdID(LONG id) { userCommandId = id; }

BOOL LaunchCommand() {
    try {
        if (!mapControl) return FALSE;
        LONG currentId = 0;
        LONG step = 0;
        mapControl->GetCurrentCommand(&currentId, &step);
        CMOCommandManager manager(mapControl->GetCommandManager());
        if (manager.CanStart() && !manager.IsCommandBlocked(commandId) && currentId != commandId) {
            manager.EndCommand();
            mapControl->SetCurrentCommand(commandId, step);
            mapControl->ShowPrompt(LaunchPrompt());
            mapControl->SetAction(actionValue);
            MouseStatus(Event::StartPick, 0, 0);
            return TRUE;
        }
        return FALSE;
    } catch (const std::exception& e) {
        Diagnose("LaunchCommand", e.what());
    } catch (...) {
        Diagnose("LaunchCommand", "unexpected failure");
    }
    return FALSE;
}

void MouseStatus(LONG event, LONG value, LONG output) {
    // Nothing may escape into the host: a failure ends this event here.
    try {
        Dispatch(event, value, output);
    } catch (const std::exception& e) {
        Diagnose(("MouseStatus event " + std::to_string(event)).c_str(), e.what());
    } catch (...) {
        Diagnose(("MouseStatus event " + std::to_string(event)).c_str(), "unexpected failure");
    }
}
