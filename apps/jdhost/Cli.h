#pragma once
// The jdhost command line, callable in-process so that tests run the same
// code as the program without spawning it.
#include <ostream>
#include <string>
#include <vector>

namespace jdhost {

// Exit codes of jdhost and of a session run.
inline constexpr int kExitDone = 0;       // everything done, every expectation met
inline constexpr int kExitFailed = 1;     // an expectation or an operation failed
inline constexpr int kExitBadInput = 2;   // bad usage, unreadable or malformed map or script

// Options that apply to every subcommand.
struct GlobalOptions {
    std::string cataloguePath;  // the equipment catalogue database (empty: the default one)
    std::string modulePath;     // the command module to load (empty: the one beside jdhost)
};

// The usage text printed by --help.
std::string UsageText();

// Runs jdhost with the arguments after the program name. Reports go to `out`,
// problems to `err`; returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The subcommands, also usable on their own.
// With a map: the map's summary. Always: the command read from the module
// (a module that cannot be loaded is bad input).
int InfoCommand(const std::string& mapPath, const GlobalOptions& options, std::ostream& out, std::ostream& err);
int ValidateCommand(const std::vector<std::string>& mapPaths, std::ostream& out, std::ostream& err);
int RecordsCommand(const std::string& mapPath, const std::string& object, const std::string& field,
                   std::ostream& out, std::ostream& err);
// `savePath` empty: the map is not written. The module is loaded when the
// script has command verbs or options.modulePath names one. With `cpuTimes`,
// a successful run ends its report on `err` with one line of the CPU seconds
// the process spent loading, in the session and saving:
//   jdhost: cpu seconds: load 0.460 session 0.251 save 0.071
// so that a benchmark times the command itself rather than the difference of
// two whole runs.
int RunCommand(const std::string& mapPath, const std::string& scriptPath, const std::string& savePath,
               const GlobalOptions& options, std::ostream& out, std::ostream& err, bool cpuTimes = false);

}  // namespace jdhost
