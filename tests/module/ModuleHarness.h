#pragma once
// The command module as the host sees it: the built library loaded with
// dlopen (a fresh copy for every test), a map of our own in a host session
// with a call log, and the equipment library's set-transformer launcher
// replaced by one that records what it was handed.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/CallLog.h"
#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "jdhost/ModuleLoader.h"

namespace moduletest {

// The library under test, beside the other build outputs.
inline const std::string kModulePath = std::string(JD_BINARY_DIR) + "/bin/libpnJDSetTransformer.so";

// Ids the tests hand the module.
inline constexpr LONG kCommandId = 1001;
inline constexpr LONG kActionValue = 7;
inline constexpr LONG kUserCommandId = 32900;

// Entities of the test map.
inline constexpr LONG kFlatTransformer = 1;     // 移动变电站, unrotated, symbol 1 (40 x 10 placed)
inline constexpr LONG kTurnedTransformer = 2;   // 矿用变压器, turned 30°, symbol 1 (20 x 10 placed)
inline constexpr LONG kBoxOfType28 = 3;         // type 28 but kind 高压配电箱: the library refuses it
inline constexpr LONG kMotor = 4;               // a plain symbol (type 2)
inline constexpr LONG kPointOfType28 = 5;       // type 28 but kind 短路点: refused as well
inline constexpr LONG kFlatSymbolTransformer = 6;  // 移动变电站 whose symbol definition has no width

// What the recording launcher received, one entry per call.
struct LauncherCall {
    CMorvaObjects* map = nullptr;
    CKernelObjectArray* objects = nullptr;
    CEntityIdArray* ids = nullptr;
    std::vector<LONG> objectsAtCall;
    std::vector<LONG> idsAtCall;
    LONG entityId = 0;
    LONG handle = 0;
};

// The map of the tests; the view puts every highlight point half a pixel
// inside a window pixel (origin 0.25, 200.25, scale 2: window x = 2x - 0.5,
// window y = 400.5 - 2y), so that rounding noise of the rotation can never
// move a floor across a pixel border.
host::MapDocument MakeCommandTestMap();

class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    jdhost::CommandModule& module() { return *m_module; }
    host::HostSession& session() { return *m_session; }
    host::MapControlState& state() { return m_session->state(); }

    // LaunchCommand, expecting it to start the command.
    void Launch();
    // The host's pick ends with these ids, then event 0.
    void Pick(const std::vector<LONG>& ids);
    // Event 21 with key text `key` into a string that holds `initial`; returns the string (UTF-8).
    std::string QueryPrompt(const char* key, const std::string& initial);
    // Event 9 with a recording context whose raster operation was set to `rop`; the drawing (lines).
    std::vector<std::string> Repaint(int rop = 13);
    // The text of the prompt line, UTF-8.
    std::string Prompt() const;
    // Log entries of one operation, as "Op(arg, arg)" strings.
    std::vector<std::string> Calls(const std::string& operation) const;
    // Values of the array the pending pick writes into (empty when none pending).
    std::vector<LONG> PendingPickValues() const;

    host::MapDocument m_map;
    host::CallLog m_log;
    std::vector<LauncherCall> m_launches;

private:
    std::unique_ptr<jdhost::CommandModule> m_module;
    std::optional<host::HostSession> m_session;
};

}  // namespace moduletest
