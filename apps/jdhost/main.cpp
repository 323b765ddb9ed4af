// jdhost: loads maps and runs session scripts on them. Everything it does is
// in the jdsession library so that the tests run the same code.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "jdhost/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return jdhost::RunCli(args, std::cout, std::cerr);
    } catch (const std::exception& e) {
        // The subcommands report bad input themselves; this is for what they did not foresee.
        std::cerr << "jdhost: " << e.what() << "\n";
        return jdhost::kExitFailed;
    }
}
