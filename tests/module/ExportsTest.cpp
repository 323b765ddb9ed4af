// The module's dynamic symbol table and its captions, as a host finds them.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "ModuleHarness.h"
#include "module/CommandInterface.h"
#include "platform/Gbk.h"

namespace moduletest {
namespace {

struct Symbol {
    char type = '?';
    std::string name;  // demangled
};

// `nm -D --defined-only --demangle` of the library.
std::vector<Symbol> DefinedDynamicSymbols(const std::string& path) {
    std::vector<Symbol> symbols;
    const std::string command = "nm -D --defined-only --demangle '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return symbols;
    std::string output;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, n);
    std::istringstream lines(output);
    std::string line;
    static const std::regex form(R"(^[0-9a-f]+ (\w) (.+)$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_match(line, m, form)) symbols.push_back({m[1].str()[0], m[2].str()});
        else ADD_FAILURE() << "unexpected nm output: " << line;
    }
    return symbols;
}

const std::vector<std::string> kEquipmentClasses{
    "CJDDatabase",      "CDevice",           "CTransformer",       "CElectricMotor",     "CAutomaticSwitch",
    "CMagneticSwitch",  "CHighVoltageSwitch", "CColligateProtect", "CCombineSwitch",     "CJiakongLine",
    "CSmallUpgradeWinch", "CUpgradeWinch",   "CWireRope",          "CPump",              "CElectricLocomotive",
    "CTramcar",         "CFannerCurve",      "CPullWheel",         "CRetarder",          "CEletromotor",
    "CAirCompressor",   "CCage",             "CSingleCage",        "CMultiCage",         "CSkipBucket",
    "CSingleSkipBucket", "CMultiSkipBucket", "CSlantingSkipBucket", "CElevator",         "CSingleRopeElevator",
    "CMultiRopeElevator", "CElectricCable"};

// The class a symbol belongs to: "X::..." or "vtable/typeinfo (name) for X".
std::string OwningClass(const std::string& name) {
    for (const char* prefix : {"vtable for ", "typeinfo for ", "typeinfo name for "}) {
        if (name.rfind(prefix, 0) == 0) return name.substr(std::strlen(prefix));
    }
    const size_t scope = name.find("::");
    return scope == std::string::npos ? std::string() : name.substr(0, scope);
}

TEST(ModuleExports, TheThirteenFunctionsAndTheEquipmentClassMembersAndNothingElse) {
    const std::vector<Symbol> symbols = DefinedDynamicSymbols(kModulePath);
    ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << kModulePath;
    std::set<std::string> functions;
    std::set<std::string> members;
    for (const Symbol& s : symbols) {
        if (s.type == 'T' && s.name.find("::") == std::string::npos && s.name.find(' ') == std::string::npos) {
            functions.insert(s.name);
            continue;
        }
        const std::string owner = OwningClass(s.name);
        EXPECT_NE(std::find(kEquipmentClasses.begin(), kEquipmentClasses.end(), owner), kEquipmentClasses.end())
            << "exported, but neither a command function nor an equipment class member: " << s.name;
        members.insert(s.name);
    }
    EXPECT_EQ(functions, std::set<std::string>(jdmodule::kExportNames.begin(), jdmodule::kExportNames.end()));

    // The implicitly defined members of every class (of CJDDatabase the copy ones).
    for (const std::string& c : kEquipmentClasses) {
        const std::string copy = c + "::" + c + "(" + c + " const&)";
        const std::string assign = c + "::operator=(" + c + " const&)";
        EXPECT_TRUE(members.count(copy)) << copy;
        EXPECT_TRUE(members.count(assign)) << assign;
        if (c == "CJDDatabase") continue;
        EXPECT_TRUE(members.count(c + "::" + c + "()")) << c << " default constructor";
        EXPECT_TRUE(members.count(c + "::~" + c + "()")) << c << " destructor";
    }
    EXPECT_TRUE(members.count("vtable for CJDDatabase"));
}

// Fills a buffer with a marker, lets the export copy its caption, and returns
// the bytes up to and including the terminator plus the byte after it.
template <class Fn>
std::string CaptionBytes(Fn fn, size_t* written) {
    char buffer[64];
    std::memset(buffer, 0x7F, sizeof buffer);
    fn(buffer);
    const size_t length = ::strnlen(buffer, sizeof buffer);
    *written = length + 1;
    EXPECT_EQ(buffer[*written], 0x7F) << "the export wrote past its terminator";
    return std::string(buffer, length);
}

TEST(ModuleExports, CaptionsAreCopiedAsGbkWithTheirTerminator) {
    std::string error;
    const auto module = jdhost::CommandModule::Load(kModulePath, error);
    ASSERT_TRUE(module) << error;
    void* handle = ::dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto group = reinterpret_cast<jdmodule::GetGroupNameFn>(::dlsym(handle, "GetGroupName"));
    auto command = reinterpret_cast<jdmodule::GetCommandNameFn>(::dlsym(handle, "GetCommandName"));
    auto translate = reinterpret_cast<jdmodule::GetCommandTranslateNameFn>(::dlsym(handle, "GetCommandTranslateName"));
    auto toolbar = reinterpret_cast<jdmodule::GetToolBarNameFn>(::dlsym(handle, "GetToolBarName"));
    ::dlclose(handle);
    size_t written = 0;
    // Six two-byte characters and "(&S)": 16 bytes and the terminator, the longest caption.
    EXPECT_EQ(CaptionBytes(group, &written), FromUtf8("供电设备选型(&S)").str());
    EXPECT_EQ(written, jdmodule::kCaptionBufferBytes);
    EXPECT_EQ(CaptionBytes(command, &written), FromUtf8("设置变压器(&T)").str());
    EXPECT_EQ(written, 15u);
    EXPECT_EQ(CaptionBytes(translate, &written), FromUtf8("设置变压器/st").str());
    EXPECT_EQ(written, 14u);
    EXPECT_EQ(CaptionBytes(toolbar, &written), "");
    EXPECT_EQ(written, 1u);
    EXPECT_FALSE(module->captions().hasBitmap);
    EXPECT_EQ(module->captions().commandType, 4);
    // The application object exists and is always the same one.
    EXPECT_NE(module->GetTheApp(), nullptr);
    EXPECT_EQ(module->GetTheApp(), module->GetTheApp());
}

}  // namespace
}  // namespace moduletest
