#include "jdhost/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <system_error>

#include "platform/Gbk.h"

namespace jdhost {

namespace {

// Room for any caption: the interface promises at most 17 bytes. The last
// byte is forced to zero, so an unterminated caption cannot run past it.
constexpr size_t kCaptionRoom = 256;

template <class Fn>
bool Resolve(void* handle, const char* name, Fn& target, std::string& missing) {
    dlerror();
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        if (!missing.empty()) missing += ", ";
        missing += name;
        return false;
    }
    target = reinterpret_cast<Fn>(symbol);
    return true;
}

template <class Fn>
CString ReadCaption(Fn function) {
    std::array<char, kCaptionRoom> buffer{};
    function(buffer.data());
    buffer.back() = '\0';
    return CString(buffer.data());
}

std::string Utf8OrBytes(const CString& gbk) {
    std::string text;
    if (TryGbkToUtf8(gbk.view(), text)) return text;
    return "(not GBK text)";
}

}  // namespace

CommandModule::~CommandModule() {
    if (m_handle) dlclose(m_handle);
}

std::unique_ptr<CommandModule> CommandModule::Load(const std::string& path, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        error = path + ": no command module there (build it, or name it with --module PATH)";
        return nullptr;
    }
    // A path without a slash would make dlopen search the library path.
    const std::string opened = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = path + ": cannot load the command module: " + (why ? why : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<CommandModule> module(new CommandModule);
    module->m_handle = handle;
    module->m_path = path;

    std::string missing;
    jdmodule::GetCommandNameFn commandName = nullptr;
    jdmodule::GetCommandTranslateNameFn translateName = nullptr;
    jdmodule::GetGroupNameFn groupName = nullptr;
    jdmodule::GetToolBarNameFn toolBarName = nullptr;
    jdmodule::GetBmpFn bitmap = nullptr;
    jdmodule::GetCommandTypeFn commandType = nullptr;
    Resolve(handle, "GetCommandName", commandName, missing);
    Resolve(handle, "GetCommandTranslateName", translateName, missing);
    Resolve(handle, "GetGroupName", groupName, missing);
    Resolve(handle, "GetToolBarName", toolBarName, missing);
    Resolve(handle, "GetBmp", bitmap, missing);
    Resolve(handle, "GetCommandType", commandType, missing);
    Resolve(handle, "GetTheApp", module->GetTheApp, missing);
    Resolve(handle, "AttachMoMap", module->AttachMoMap, missing);
    Resolve(handle, "SetMoAction", module->SetMoAction, missing);
    Resolve(handle, "SetMoStatus", module->SetMoStatus, missing);
    Resolve(handle, "SetMoUserCmdID", module->SetMoUserCmdID, missing);
    Resolve(handle, "LaunchCommand", module->LaunchCommand, missing);
    Resolve(handle, "MouseStatus", module->MouseStatus, missing);
    if (!missing.empty()) {
        error = path + ": not a command module: it does not export " + missing;
        return nullptr;
    }
    module->ReadCaptions(commandName, translateName, groupName, toolBarName, bitmap, commandType);
    return module;
}

void CommandModule::ReadCaptions(jdmodule::GetCommandNameFn commandName,
                                 jdmodule::GetCommandTranslateNameFn translateName, jdmodule::GetGroupNameFn groupName,
                                 jdmodule::GetToolBarNameFn toolBarName, jdmodule::GetBmpFn bitmap,
                                 jdmodule::GetCommandTypeFn commandType) {
    m_captions.commandName = ReadCaption(commandName);
    m_captions.translateName = ReadCaption(translateName);
    m_captions.groupName = ReadCaption(groupName);
    m_captions.toolBarName = ReadCaption(toolBarName);
    m_captions.hasBitmap = bitmap() != nullptr;
    m_captions.commandType = commandType();
}

std::string DefaultModulePath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) return kModuleFileName;
    return (self.parent_path() / kModuleFileName).string();
}

std::string DescribeCaptions(const CommandModule& module) {
    const CommandCaptions& c = module.captions();
    std::string out = "module " + module.path() + "\n";
    out += "  group    " + Utf8OrBytes(c.groupName) + "\n";
    out += "  command  " + Utf8OrBytes(c.commandName) + "\n";
    // The translate name is the command name, a slash and its keyword.
    const std::string translate = Utf8OrBytes(c.translateName);
    out += "  name     " + translate + "\n";
    const size_t slash = translate.rfind('/');
    if (slash != std::string::npos) out += "  keyword  " + translate.substr(slash + 1) + "\n";
    out += "  toolbar  " + (c.toolBarName.IsEmpty() ? std::string("(none)") : Utf8OrBytes(c.toolBarName)) +
           (c.hasBitmap ? ", with a bitmap" : "") + "\n";
    out += "  type     " + std::to_string(c.commandType) + "\n";
    return out;
}

}  // namespace jdhost
