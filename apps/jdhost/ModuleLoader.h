#pragma once
// Loading a command module: the shared library is opened (dlopen), each of
// the thirteen functions of the command interface is looked up by name, and
// the module is asked for its captions. A module that cannot be opened or
// lacks one of the functions is refused with a message naming the file and
// what is missing.
#include <memory>
#include <string>

#include "module/CommandInterface.h"
#include "platform/CString.h"

namespace jdhost {

// What the module says about its command, GBK as the module gave it.
struct CommandCaptions {
    CString commandName;     // menu caption, "设置变压器(&T)"
    CString translateName;   // command name and keyword, "设置变压器/st"
    CString groupName;       // menu group, "供电设备选型(&S)"
    CString toolBarName;     // empty when the command has no toolbar
    bool hasBitmap = false;
    int commandType = 0;
};

class CommandModule {
public:
    ~CommandModule();
    CommandModule(const CommandModule&) = delete;
    CommandModule& operator=(const CommandModule&) = delete;

    // Null with the reason in `error` when the file cannot be loaded or an
    // export is missing.
    static std::unique_ptr<CommandModule> Load(const std::string& path, std::string& error);

    const std::string& path() const { return m_path; }
    const CommandCaptions& captions() const { return m_captions; }

    // The interface, resolved.
    jdmodule::GetTheAppFn GetTheApp = nullptr;
    jdmodule::AttachMoMapFn AttachMoMap = nullptr;
    jdmodule::SetMoActionFn SetMoAction = nullptr;
    jdmodule::SetMoStatusFn SetMoStatus = nullptr;
    jdmodule::SetMoUserCmdIDFn SetMoUserCmdID = nullptr;
    jdmodule::LaunchCommandFn LaunchCommand = nullptr;
    jdmodule::MouseStatusFn MouseStatus = nullptr;

private:
    CommandModule() = default;
    void ReadCaptions(jdmodule::GetCommandNameFn commandName, jdmodule::GetCommandTranslateNameFn translateName,
                      jdmodule::GetGroupNameFn groupName, jdmodule::GetToolBarNameFn toolBarName,
                      jdmodule::GetBmpFn bitmap, jdmodule::GetCommandTypeFn commandType);

    void* m_handle = nullptr;
    std::string m_path;
    CommandCaptions m_captions;
};

// The module's file name, and where jdhost looks for it by default: beside
// its own executable.
inline constexpr const char* kModuleFileName = "libpnJDSetTransformer.so";
std::string DefaultModulePath();

// "group 供电设备选型(&S)\ncommand 设置变压器(&T)\nkeyword 设置变压器/st\n..." (UTF-8).
std::string DescribeCaptions(const CommandModule& module);

}  // namespace jdhost
