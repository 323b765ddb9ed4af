#include "jdhost/Cli.h"

#include <memory>
#include <optional>

#include "equipment/JDBase.h"
#include "host/HostObjects.h"
#include "host/MapFile.h"
#include "jdhost/CatalogueCommand.h"
#include "jdhost/MapReport.h"
#include "jdhost/ModuleCommandHost.h"
#include "jdhost/ModuleLoader.h"
#include "jdhost/Script.h"
#include "jdhost/Session.h"

namespace jdhost {

std::string UsageText() {
    return "usage: jdhost [OPTIONS] SUBCOMMAND ARGS...\n"
           "\n"
           "Subcommands:\n"
           "  info [MAP]                      the command read from the module (menu group,\n"
           "                                  caption, keyword); with MAP also a summary of\n"
           "                                  the map: objects by kind, lines, attribute\n"
           "                                  fields, voltage levels\n"
           "  validate MAP...                 check map files; every problem with its place\n"
           "  records MAP OBJECT [FIELD]      attribute records of an object (a name or #entity-id)\n"
           "  run MAP SCRIPT [--save OUT]     run a session script on the map; --save writes\n"
           "                                  the resulting map to OUT (atomically) when the\n"
           "                                  run succeeds; MAP itself is never written\n"
           "  catalogue list [KIND]           models of the catalogue; KIND is transformer,\n"
           "                                  feeder or hv (all three when omitted)\n"
           "  catalogue show KIND ID          one model with every value\n"
           "  catalogue export KIND FILE.csv  the models of a kind as UTF-8 CSV\n"
           "  catalogue import KIND FILE.csv  add or replace models from CSV (all or nothing)\n"
           "\n"
           "Options:\n"
           "  --catalogue PATH                the equipment catalogue database (default: the\n"
           "                                  per-user catalogue, created on first use)\n"
           "  --module PATH                   the command module to load (default: the one\n"
           "                                  beside jdhost)\n"
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

std::unique_ptr<CommandModule> LoadModule(const GlobalOptions& options, std::ostream& err) {
    const std::string path = options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
    std::string error;
    std::unique_ptr<CommandModule> module = CommandModule::Load(path, error);
    if (!module) err << "jdhost: " << error << "\n";
    return module;
}

bool UsesCommandVerbs(const Script& script) {
    for (const ScriptLine& line : script.lines) {
        const VerbInfo* verb = FindVerb(line.verb);
        if (verb && verb->kind == VerbKind::Command) return true;
    }
    return false;
}

// The catalogue named on the command line, for the length of one jdhost run.
class CataloguePathScope {
public:
    explicit CataloguePathScope(const std::string& path) : m_set(!path.empty()) {
        if (m_set) SetCataloguePath(path.c_str());
    }
    ~CataloguePathScope() {
        if (m_set) SetCataloguePath(nullptr);
    }
    CataloguePathScope(const CataloguePathScope&) = delete;
    CataloguePathScope& operator=(const CataloguePathScope&) = delete;

private:
    bool m_set;
};

}  // namespace

int InfoCommand(const std::string& mapPath, const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    host::MapDocument map;
    if (!mapPath.empty() && !LoadMap(mapPath, map, err)) return kExitBadInput;
    const std::unique_ptr<CommandModule> module = LoadModule(options, err);
    if (!module) return kExitBadInput;
    if (!mapPath.empty()) PrintInfo(out, map, mapPath);
    out << DescribeCaptions(*module);
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
    std::unique_ptr<CommandModule> module;
    if (UsesCommandVerbs(script) || !options.modulePath.empty()) {
        module = LoadModule(options, err);
        if (!module) return kExitBadInput;
    }
    // Destroyed in reverse: the module lets go of the map control before the
    // host session closes the map, and is unloaded last.
    std::optional<host::HostSession> hostSession;
    if (module) hostSession.emplace(map);
    Session session(map, out);
    std::optional<ModuleCommandHost> commandHost;
    if (module) {
        commandHost.emplace(*module, *hostSession, session);
        session.SetCommandHost(&*commandHost);
    }
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
    const CataloguePathScope catalogue(options.cataloguePath);
    if (command == "info") {
        if (rest.size() > 1) return Usage(err, "info takes at most one map");
        return InfoCommand(rest.empty() ? std::string() : rest[0], options, out, err);
    }
    if (command == "validate") {
        if (rest.empty()) return Usage(err, "validate takes one or more maps");
        return ValidateCommand(rest, out, err);
    }
    if (command == "records") {
        if (rest.size() < 2 || rest.size() > 3) return Usage(err, "records takes MAP OBJECT [FIELD]");
        return RecordsCommand(rest[0], rest[1], rest.size() == 3 ? rest[2] : std::string(), out, err);
    }
    if (command == "catalogue") return RunCatalogueCommand(rest, out, err);
    if (command == "run") {
        if (rest.size() != 2) return Usage(err, "run takes MAP SCRIPT");
        return RunCommand(rest[0], rest[1], savePath, options, out, err);
    }
    return Usage(err, "unknown subcommand " + command);
}

}  // namespace jdhost
