#include "jdhost/Cli.h"

#include <optional>

#include "host/MapFile.h"
#include "jdhost/MapReport.h"
#include "jdhost/Script.h"
#include "jdhost/Session.h"

namespace jdhost {

std::string UsageText() {
    return "usage: jdhost [OPTIONS] SUBCOMMAND ARGS...\n"
           "\n"
           "Subcommands:\n"
           "  info MAP                        summary of a map: objects by kind, lines,\n"
           "                                  attribute fields, voltage levels\n"
           "  validate MAP...                 check map files; every problem with its place\n"
           "  records MAP OBJECT [FIELD]      attribute records of an object (a name or #entity-id)\n"
           "  run MAP SCRIPT [--save OUT]     run a session script on the map; --save writes\n"
           "                                  the resulting map to OUT (atomically) when the\n"
           "                                  run succeeds; MAP itself is never written\n"
           "\n"
           "Options:\n"
           "  --catalogue PATH                the equipment catalogue database (reserved)\n"
           "  --module PATH                   the command module to load (reserved)\n"
           "  -h, --help                      this text\n"
           "\n"
           "Exit codes: 0 done, 1 an expectation or operation failed,\n"
           "2 bad usage or bad input (unreadable or malformed map or script).\n"
           "Output is UTF-8. Scripts are described in docs/sessions.md.\n";
}

namespace {

bool LoadMap(const std::string& path, host::MapDocument& map, std::ostream& err) {
    const host::MapLoadResult result = host::LoadMapFile(path, map);
    if (result.ok) return true;
    err << result.Describe(path);
    if (result.problems.empty()) err << path << ": cannot load the map\n";
    return false;
}

int Usage(std::ostream& err, const std::string& message) {
    err << "jdhost: " << message << "\n" << "Try 'jdhost --help'.\n";
    return kExitBadInput;
}

}  // namespace

int InfoCommand(const std::string& mapPath, std::ostream& out, std::ostream& err) {
    host::MapDocument map;
    if (!LoadMap(mapPath, map, err)) return kExitBadInput;
    PrintInfo(out, map, mapPath);
    return kExitDone;
}

int ValidateCommand(const std::vector<std::string>& mapPaths, std::ostream& out, std::ostream& err) {
    bool allGood = true;
    for (const std::string& path : mapPaths) {
        host::MapDocument map;
        const host::MapLoadResult result = host::LoadMapFile(path, map);
        if (result.ok) {
            out << path << ": OK\n";
            continue;
        }
        allGood = false;
        const std::string description = result.Describe(path);
        out << (description.empty() ? path + ": cannot load the map\n" : description);
    }
    if (!allGood) err << "jdhost: some maps have problems\n";
    return allGood ? kExitDone : kExitBadInput;
}

int RecordsCommand(const std::string& mapPath, const std::string& object, const std::string& field,
                   std::ostream& out, std::ostream& err) {
    std::optional<LONG> fieldNumber;
    if (!field.empty()) {
        const auto n = ParseInt(field);
        if (!n) return Usage(err, "the field number \"" + field + "\" is not a number");
        fieldNumber = *n;
    }
    host::MapDocument map;
    if (!LoadMap(mapPath, map, err)) return kExitBadInput;
    std::string error;
    const host::MapObject* found = FindObject(map, object, error);
    if (!found) {
        err << mapPath << ": " << error << "\n";
        return kExitBadInput;
    }
    if (!PrintRecords(out, *found, fieldNumber)) {
        err << mapPath << ": " << DescribeObject(*found) << " has no field " << *fieldNumber << "\n";
        return kExitFailed;
    }
    return kExitDone;
}

int RunCommand(const std::string& mapPath, const std::string& scriptPath, const std::string& savePath,
               const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    host::MapDocument map;
    if (!LoadMap(mapPath, map, err)) return kExitBadInput;
    Script script;
    try {
        script = LoadScript(scriptPath);
    } catch (const ScriptError& e) {
        err << scriptPath << ": " << e.what() << "\n";
        return kExitBadInput;
    }
    (void)options;  // the catalogue and the module are not used yet
    Session session(map, out);
    const int result = session.Run(script);
    if (result != kExitDone) {
        err << session.failure() << "\n";
        if (!savePath.empty()) err << "jdhost: the run failed; " << savePath << " was not written\n";
        return result;
    }
    if (!savePath.empty()) {
        std::string error;
        if (!host::SaveMapFile(savePath, map, error)) {
            err << savePath << ": " << error << "\n";
            return kExitFailed;
        }
        out << "saved " << savePath << "\n";
    }
    return kExitDone;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    GlobalOptions options;
    std::string savePath;
    bool saveGiven = false;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out << UsageText();
            return kExitDone;
        }
        if (a == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (a.size() > 1 && a[0] == '-') {
            std::string name = a;
            std::optional<std::string> value;
            if (const size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            std::string* target = nullptr;
            if (name == "--catalogue") target = &options.cataloguePath;
            else if (name == "--module") target = &options.modulePath;
            else if (name == "--save") target = &savePath, saveGiven = true;
            else return Usage(err, "unknown option " + a);
            if (!value) {
                if (i + 1 >= args.size()) return Usage(err, "the option " + name + " needs a value");
                value = args[++i];
            }
            if (value->empty()) return Usage(err, "the option " + name + " needs a non-empty value");
            *target = *value;
            continue;
        }
        positional.push_back(a);
    }
    if (positional.empty()) return Usage(err, "no subcommand given");
    const std::string command = positional.front();
    const std::vector<std::string> rest(positional.begin() + 1, positional.end());
    if (saveGiven && command != "run") return Usage(err, "--save only applies to run");
    if (command == "info") {
        if (rest.size() != 1) return Usage(err, "info takes one map");
        return InfoCommand(rest[0], out, err);
    }
    if (command == "validate") {
        if (rest.empty()) return Usage(err, "validate takes one or more maps");
        return ValidateCommand(rest, out, err);
    }
    if (command == "records") {
        if (rest.size() < 2 || rest.size() > 3) return Usage(err, "records takes MAP OBJECT [FIELD]");
        return RecordsCommand(rest[0], rest[1], rest.size() == 3 ? rest[2] : std::string(), out, err);
    }
    if (command == "run") {
        if (rest.size() != 2) return Usage(err, "run takes MAP SCRIPT");
        return RunCommand(rest[0], rest[1], savePath, options, out, err);
    }
    return Usage(err, "unknown subcommand " + command);
}

}  // namespace jdhost
