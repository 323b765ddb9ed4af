// The command on a drawing whose supply chain below the transformer is
// 100,000 objects deep: the click walks the whole chain (the motors it
// supplies, their starters and their supply transformer) and must neither
// overflow the call stack nor take long.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "equipment/GeneratedMaps.h"
#include "host/MapFile.h"
#include "jdhost/Cli.h"

namespace {

namespace fs = std::filesystem;

TEST(DeepNetwork, TheClickOnATransformerAboveA100000DeepChainOpensTheDialog) {
    const fs::path dir = fs::temp_directory_path() / ("jdhost-deep-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string mapPath = (dir / "deep.json").string();
    const std::string scriptPath = (dir / "deep.jds").string();
    {
        const host::MapDocument map = jdtest::MakeSupplyChain(100000);
        std::string error;
        ASSERT_TRUE(host::SaveMapFile(mapPath, map, error)) << error;
    }
    std::ofstream(scriptPath) << "launch\n"
                                 "pick T\n"
                                 "click\n"
                                 "expect-dialog 设置变压器\n"
                                 "expect 5000 T\n"
                                 "cancel\n"
                                 "expect-prompt 退出设置变压器命令\n";
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    std::ostringstream out, err;
    const int code = jdhost::RunCli({"run", mapPath, scriptPath}, out, err);
    if (previous) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(dir);
    ASSERT_EQ(code, 0) << out.str() << err.str();
    EXPECT_NE(out.str().find("dialog 5000 \"设置变压器\" closed: Cancel"), std::string::npos) << out.str();
}

}  // namespace
