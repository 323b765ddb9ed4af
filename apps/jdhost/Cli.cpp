#include "jdhost/Cli.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "equipment/JDBase.h"
#include "host/HostObjects.h"
#include "host/MapFile.h"
#include "jdhost/CatalogueCommand.h"
#include "jdhost/MapReport.h"
#include "jdhost/ModuleCommandHost.h"
#include "jdhost/ModuleLoader.h"
#include "jdhost/Script.h"
#include "jdhost/Session.h"
#include "platform/InputFile.h"

namespace jdhost {

namespace {

bool LoadMap(const std::string& path, host::MapDocument& map, std::ostream& err) {
    const host::MapLoadResult result = host::LoadMapFile(path, map);
    if (result.ok) return true;
    err << result.Describe(path);
    if (result.problems.empty()) err << path << ": cannot load the map\n";
    return false;
}

// User and system time of the whole process: what a benchmark on a busy
// machine can compare, where the wall clock also counts the neighbours.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
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
            for (const std::string& warning : SetTransformerWarnings(map)) out << path << ": warning: " << warning << "\n";
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
               const GlobalOptions& options, std::ostream& out, std::ostream& err, bool cpuTimes) {
    const double started = ProcessCpuSeconds();
    host::MapDocument map;
    if (!LoadMap(mapPath, map, err)) return kExitBadInput;
    const double loaded = ProcessCpuSeconds();
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
    // jdhost never shows the host's call log, so the session keeps none.
    host::CallLog noLog{host::CallLog::kNothing};
    std::optional<host::HostSession> hostSession;
    if (module) hostSession.emplace(map, &noLog);
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
    const double ran = ProcessCpuSeconds();
    if (!savePath.empty()) {
        std::string error;
        if (!host::SaveMapFile(savePath, map, error)) {
            err << savePath << ": " << error << "\n";
            return kExitFailed;
        }
        out << "saved " << savePath << "\n";
    }
    if (cpuTimes) {
        const double saved = ProcessCpuSeconds();
        char line[128];
        std::snprintf(line, sizeof line, "jdhost: cpu seconds: load %.4f session %.4f save %.4f\n", loaded - started,
                      ran - loaded, saved - ran);
        err << line;
    }
    return kExitDone;
}

namespace {

std::string SizeLimit(std::uintmax_t bytes) {
    if (bytes % (1ull << 30) == 0) return std::to_string(bytes >> 30) + " GiB";
    return std::to_string(bytes >> 20) + " MiB";
}

// Help in the house style: a lower-case usage line, and each subcommand listed
// with its arguments, so that the top-level help is a synopsis of the whole
// command line.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        label("Usage", "usage");
        label("REQUIRED", "");
        column_width(36);
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::string synopsis = sub->get_name();
        for (const CLI::Option* option : sub->get_options([](const CLI::Option* o) { return o->get_positional(); }))
            synopsis += " " + make_option_usage(option);
        if (!sub->get_subcommands([](const CLI::App*) { return true; }).empty()) synopsis += " ACTION ...";
        for (const CLI::Option* option : sub->get_options([](const CLI::Option* o) {
                 return o->nonpositional() && o->get_name() != "--help";
             })) {
            const std::string type = option->get_type_name();
            synopsis += " [" + option->get_name() + (type.empty() ? "" : " " + type) + "]";
        }
        std::stringstream out;
        CLI::detail::format_help(out, synopsis, sub->get_description(), column_width_);
        return out.str();
    }
};

// What the parse selected, filled by the chosen subcommand's callback and run
// after the whole line has been read.
struct CommandLine {
    CLI::App app{"Loads mine maps and runs session scripts on them with the command module.", "jdhost"};
    GlobalOptions options;
    // Operands of the subcommands; only the chosen one's are set.
    std::string map, script, save, object, field, kind, file, id, path;
    std::vector<std::string> maps;
    bool replace = false;
    bool cpuTimes = false;
    // Opens the catalogue: a catalogue named on the line or in the environment must exist.
    bool usesCatalogue = false;
    std::function<int(std::ostream&, std::ostream&)> action;
};

const CLI::Validator& NonEmpty() {
    static const CLI::Validator validator(
        [](std::string& value) { return value.empty() ? std::string("needs a non-empty value") : std::string(); }, "",
        "non-empty");
    return validator;
}

CLI::Option* Operand(CLI::App& sub, const char* name, std::string& value, const char* description) {
    return sub.add_option(name, value, description)->type_name("");
}

// A subcommand takes the options of its parents (--catalogue anywhere on the line).
CLI::App* Subcommand(CLI::App& parent, const char* name, const char* description) {
    CLI::App* sub = parent.add_subcommand(name, description);
    sub->fallthrough();
    return sub;
}

void DeclareMapCommands(CommandLine& line) {
    CLI::App* info = Subcommand(line.app, "info",
                                "the command read from the module; with MAP\n"
                                "also a summary of the map (objects by kind,\n"
                                "lines, attribute fields, voltage levels)");
    Operand(*info, "MAP", line.map, "a map file");
    info->callback([&line] {
        line.action = [&line](std::ostream& out, std::ostream& err) {
            return InfoCommand(line.map, line.options, out, err);
        };
    });

    CLI::App* validate = Subcommand(line.app, "validate",
                                    "check map files: OK, or every problem with\n"
                                    "its place; warns of transformers the command\n"
                                    "cannot store its results on");
    validate->add_option("MAP", line.maps, "map files")->type_name("")->required();
    validate->callback([&line] {
        line.action = [&line](std::ostream& out, std::ostream& err) { return ValidateCommand(line.maps, out, err); };
    });

    CLI::App* records = Subcommand(line.app, "records", "attribute records of an object (a name or\n#entity-id)");
    Operand(*records, "MAP", line.map, "a map file")->required();
    Operand(*records, "OBJECT", line.object, "a name, or # and an entity id")->required();
    Operand(*records, "FIELD", line.field, "only this field number");
    records->callback([&line] {
        line.action = [&line](std::ostream& out, std::ostream& err) {
            return RecordsCommand(line.map, line.object, line.field, out, err);
        };
    });

    CLI::App* run = Subcommand(line.app, "run",
                               "run a session script on the map\n"
                               "(docs/sessions.md); MAP itself is never written");
    Operand(*run, "MAP", line.map, "a map file")->required();
    Operand(*run, "SCRIPT", line.script, "a session script")->required();
    run->add_option("--save", line.save, "write the resulting map to OUT (atomically)\nwhen the run succeeds")
        ->type_name("OUT")
        ->check(NonEmpty());
    run->add_flag("--cpu-times", line.cpuTimes,
                  "after a successful run, print the CPU seconds of\nloading, the session and saving");
    run->callback([&line] {
        line.usesCatalogue = true;
        line.action = [&line](std::ostream& out, std::ostream& err) {
            return RunCommand(line.map, line.script, line.save, line.options, out, err, line.cpuTimes);
        };
    });
}

void DeclareCatalogueCommands(CommandLine& line) {
    CLI::App* catalogue = Subcommand(line.app, "catalogue", "list, show, export or import catalogue models,\nor make a new catalogue");
    catalogue->require_subcommand(1);
    catalogue->footer(
        "KIND is transformer, feeder or hv. The CSV's first line names the columns (those of\n"
        "Para_Transformer, Para_AutomaticSwitch, Para_HighVoltageSwitch); docs/catalogue.md\n"
        "has the format. A CSV file may be at most " +
        SizeLimit(kMaxCsvFileBytes) +
        ".\n"
        "Exit codes: 0 done, 1 the operation failed, 2 bad usage or bad input.");
    const auto opens = [&line](std::function<int(std::ostream&, std::ostream&)> action) {
        line.usesCatalogue = true;
        line.action = std::move(action);
    };

    CLI::App* list = Subcommand(*catalogue, "list", "the models of one kind, or of all three");
    Operand(*list, "KIND", line.kind, "transformer, feeder or hv");
    list->callback([&line, opens] {
        opens([&line](std::ostream& out, std::ostream& err) { return CatalogueList(line.kind, out, err); });
    });

    CLI::App* show = Subcommand(*catalogue, "show", "every column of one model");
    Operand(*show, "KIND", line.kind, "transformer, feeder or hv")->required();
    Operand(*show, "ID", line.id, "the model's ID")->required();
    show->callback([&line, opens] {
        opens([&line](std::ostream& out, std::ostream& err) { return CatalogueShow(line.kind, line.id, out, err); });
    });

    CLI::App* exporting = Subcommand(*catalogue, "export", "the kind's table as UTF-8 CSV");
    Operand(*exporting, "KIND", line.kind, "transformer, feeder or hv")->required();
    Operand(*exporting, "FILE", line.file, "the CSV file to write (- for standard output)")->required();
    exporting->callback([&line, opens] {
        opens([&line](std::ostream& out, std::ostream& err) {
            return CatalogueExport(line.kind, line.file, out, err);
        });
    });

    CLI::App* importing = Subcommand(
        *catalogue, "import",
        "add the file's rows in one transaction: a row\n"
        "with an ID replaces that model, one without is\n"
        "added; a bad value is named by row, line and\n"
        "column, and nothing changes");
    Operand(*importing, "KIND", line.kind, "transformer, feeder or hv")->required();
    Operand(*importing, "FILE", line.file, "a UTF-8 CSV file")->required();
    importing->add_flag("--replace", line.replace, "empty the table first, so that it holds\nexactly the file's rows");
    importing->callback([&line, opens] {
        opens([&line](std::ostream& out, std::ostream& err) {
            return CatalogueImport(line.kind, line.file, line.replace, out, err);
        });
    });

    CLI::App* init = Subcommand(*catalogue, "init",
                                "make a new catalogue at PATH (a file, or a\n"
                                "postgresql:// URI) from the shipped models\n"
                                "(use it with --catalogue PATH)");
    Operand(*init, "PATH", line.path, "where the new catalogue goes; nothing may be there yet")
        ->required()
        ->check(NonEmpty());
    init->callback([&line] {
        line.action = [&line](std::ostream& out, std::ostream& err) { return CatalogueInit(line.path, out, err); };
    });

    CLI::App* copy = Subcommand(*catalogue, "copy",
                                "replace everything TO holds (models, stock,\n"
                                "lists, settings) with FROM's, in one transaction");
    Operand(*copy, "FROM", line.file, "a catalogue file or postgresql:// URI")->required()->check(NonEmpty());
    Operand(*copy, "TO", line.path, "a catalogue file or postgresql:// URI\n(made first when missing)")
        ->required()
        ->check(NonEmpty());
    copy->callback([&line] {
        line.action = [&line](std::ostream& out, std::ostream& err) {
            return CatalogueCopy(line.file, line.path, out, err);
        };
    });
}

// Every subcommand is declared here, each with its own operands, options and --help.
void Declare(CommandLine& line) {
    CLI::App& app = line.app;
    app.formatter(std::make_shared<HelpFormatter>());
    app.require_subcommand(1);
    app.add_option("--catalogue", line.options.cataloguePath,
                   "the equipment catalogue database (default:\n"
                   "$JDHOST_CATALOGUE, else the per-user one,\n"
                   "made from the shipped models on first use)")
        ->type_name("PATH")
        ->check(NonEmpty());
    app.add_option("--module", line.options.modulePath,
                   "the command module to load (default: the one\nbeside jdhost)")
        ->type_name("PATH")
        ->check(NonEmpty());
    app.footer("Options are accepted anywhere on the line; --opt=value works as well as --opt value.\n"
               "Size limits: a map file at most " +
               SizeLimit(kMaxMapFileBytes) + ", a script " + SizeLimit(kMaxScriptFileBytes) + ", a CSV file " +
               SizeLimit(kMaxCsvFileBytes) +
               ".\n"
               "Exit codes: 0 done, 1 an expectation or operation failed,\n"
               "2 bad usage or bad input (unreadable or malformed map, script or CSV file).\n"
               "Output is UTF-8. Scripts are described in docs/sessions.md.");
    DeclareMapCommands(line);
    DeclareCatalogueCommands(line);
}

// The innermost subcommand the parse reached.
const CLI::App* Innermost(const CLI::App& app) {
    const CLI::App* at = &app;
    for (;;) {
        const std::vector<CLI::App*> chosen = at->get_subcommands();
        if (chosen.empty()) return at;
        at = chosen.front();
    }
}

std::string CommandPath(const CLI::App* app) {
    std::string path;
    for (; app; app = app->get_parent()) path = app->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

int UsageError(const CommandLine& line, const CLI::ParseError& error, std::ostream& err) {
    const CLI::App* at = Innermost(line.app);
    std::string message = error.what();
    // Words nobody took: say which, in our words rather than the parser's.
    const std::vector<std::string> left = line.app.remaining(true);
    std::string option, word;
    for (const std::string& w : left) {
        if (w.size() > 1 && w[0] == '-' && option.empty()) option = w;
        if ((w.size() <= 1 || w[0] != '-') && word.empty()) word = w;
    }
    const bool top = at == &line.app;
    if (!option.empty()) {
        message = "unknown option " + option;
    } else if (at->get_require_subcommand_min() > 0 && !word.empty()) {
        message = std::string(top ? "unknown subcommand " : "unknown action ") + word;
    } else if (at->get_require_subcommand_min() > 0 && dynamic_cast<const CLI::RequiredError*>(&error)) {
        message = top ? "no subcommand given" : "an action is needed";
    } else if (!word.empty()) {
        message = "unexpected argument \"" + word + "\"";
    }
    const std::string path = CommandPath(at);
    err << path << ": " << message << "\n" << "Try '" << path << " --help'.\n";
    return kExitBadInput;
}

}  // namespace

std::string UsageText() {
    CommandLine line;
    Declare(line);
    return line.app.help();
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CommandLine line;
    Declare(line);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        line.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << line.app.help();
        return kExitDone;
    } catch (const CLI::ParseError& error) {
        return UsageError(line, error, err);
    }
    if (!line.action) {
        err << "jdhost: no subcommand given\nTry 'jdhost --help'.\n";
        return kExitBadInput;
    }
    if (line.usesCatalogue && !NamedCatalogueExists(line.options.cataloguePath, err)) return kExitBadInput;
    const CataloguePathScope catalogue(line.options.cataloguePath);
    return line.action(out, err);
}

}  // namespace jdhost
