#pragma once
// The command interface of a command module: the thirteen plain functions a
// host looks up by name after loading the module, their signatures, and the
// values that travel through them. The module defines the functions; a host
// never links against them, it resolves each name (dlsym) into the matching
// pointer type below.
//
// Integer arguments are 32 bits wide (LONG), as on the platform the host was
// written for. Where MouseStatus carries a pointer in one of them, the pointer
// travels as a token (platform/CallPointers.h).
#include <array>
#include <cstddef>

#include "platform/Types.h"

class CMorvaObjects;
class CCmdTarget;

// Toolbar bitmap handle; this module has no toolbar bitmap.
struct CommandBitmapState;
using HCOMMANDBITMAP = CommandBitmapState*;

namespace jdmodule {

// A caption buffer must hold this many bytes: the longest caption
// ("供电设备选型(&S)") takes 17 with its terminator.
inline constexpr size_t kCaptionBufferBytes = 17;

// What GetCommandType answers for this kind of command.
inline constexpr int kCommandType = 4;

// Events of MouseStatus (event, value, output).
namespace Event {
inline constexpr LONG PickEnded = 0;    // the host's pick into the integer array has ended
inline constexpr LONG Click = 1;        // a left click on the map
inline constexpr LONG Key = 7;          // value: the virtual-key code
inline constexpr LONG Repaint = 9;      // value: token of the drawing context (CallPointerKind::DrawingContext)
inline constexpr LONG End = 11;         // end of the command (sent by the module itself)
inline constexpr LONG StartPick = 18;   // start or restart of the pick (sent by the module itself)
inline constexpr LONG Prompt = 21;      // value: token of the key text, output: token of the answer CString
}  // namespace Event

// The command's steps, the second half of the control's current-command pair.
inline constexpr LONG kStepPick = 0;     // picking a transformer
inline constexpr LONG kStepClick = 1;    // one transformer picked, waiting for the click

using GetCommandNameFn = void (*)(char* buffer);
using GetCommandTranslateNameFn = void (*)(char* buffer);
using GetGroupNameFn = void (*)(char* buffer);
using GetToolBarNameFn = void (*)(char* buffer);
using GetBmpFn = HCOMMANDBITMAP (*)();
using GetCommandTypeFn = int (*)();
using GetTheAppFn = CCmdTarget* (*)();
using AttachMoMapFn = void (*)(CMorvaObjects* map);
using SetMoActionFn = void (*)(LONG action);
using SetMoStatusFn = void (*)(LONG commandId);
using SetMoUserCmdIDFn = void (*)(LONG userCommandId);
using LaunchCommandFn = BOOL (*)();
using MouseStatusFn = void (*)(LONG event, LONG value, LONG output);

// The exported names, in the order of the interface table.
inline constexpr std::array<const char*, 13> kExportNames{
    "GetCommandName", "GetCommandTranslateName", "GetGroupName", "GetToolBarName", "GetBmp",
    "GetCommandType", "GetTheApp",               "AttachMoMap",  "SetMoAction",    "SetMoStatus",
    "SetMoUserCmdID", "LaunchCommand",           "MouseStatus",
};

}  // namespace jdmodule
