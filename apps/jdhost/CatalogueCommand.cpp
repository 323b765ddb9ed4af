#include "jdhost/CatalogueCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "equipment/CatalogueCsv.h"
#include "equipment/JDBase.h"
#include "jdhost/Cli.h"

namespace jdhost {

namespace {

int Usage(std::ostream& err, const std::string& message) {
    err << "jdhost catalogue: " << message << "\n" << "Try 'jdhost catalogue --help'.\n";
    return kExitBadInput;
}

std::optional<jdcat::Kind> KindArgument(const std::string& text, std::ostream& err) {
    const auto kind = jdcat::ParseKind(text);
    if (!kind) Usage(err, "unknown kind \"" + text + "\" (transformer, feeder or hv)");
    return kind;
}

std::string Shown(const jdcat::Value& value) { return value.value_or(""); }

// The columns a list line shows after ID and Model, with their units.
std::vector<std::pair<std::string, std::string>> SummaryColumns(jdcat::Kind kind) {
    switch (kind) {
    case jdcat::Kind::Transformer: return {{"Capacity", " kVA"}, {"HVoltage", " V"}, {"LVoltage", " V"}};
    case jdcat::Kind::Feeder: return {{"Voltage", " V"}, {"RCurrent", " A"}};
    case jdcat::Kind::HighVoltage: return {{"Voltage", " V"}, {"RCurrent", " A"}, {"Capacity", " MVA"}};
    }
    return {};
}

int ColumnIndex(const jdcat::Table& table, const std::string& name) {
    for (size_t c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c] == name) return static_cast<int>(c);
    }
    return -1;
}

void PrintList(std::ostream& out, jdcat::Kind kind, const jdcat::Table& table) {
    out << jdcat::KindName(kind) << " (" << jdcat::TableName(kind) << "): " << table.rows.size()
        << (table.rows.size() == 1 ? " model\n" : " models\n");
    const int id = ColumnIndex(table, "ID");
    const int model = ColumnIndex(table, "Model");
    for (const auto& row : table.rows) {
        out << "  " << (id >= 0 ? Shown(row[static_cast<size_t>(id)]) : "?") << "  "
            << (model >= 0 ? Shown(row[static_cast<size_t>(model)]) : "");
        std::string summary;
        for (const auto& [column, unit] : SummaryColumns(kind)) {
            const int c = ColumnIndex(table, column);
            if (c < 0 || !row[static_cast<size_t>(c)]) continue;
            summary += (summary.empty() ? "" : ", ") + *row[static_cast<size_t>(c)] + unit;
        }
        if (!summary.empty()) out << "  (" << summary << ")";
        out << "\n";
    }
}

int List(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
    if (operands.size() > 1) return Usage(err, "list takes at most one kind");
    std::vector<jdcat::Kind> kinds = jdcat::AllKinds();
    if (operands.size() == 1) {
        const auto kind = KindArgument(operands[0], err);
        if (!kind) return kExitBadInput;
        kinds = {*kind};
    }
    for (jdcat::Kind kind : kinds) PrintList(out, kind, jdcat::ReadTable(kind));
    return kExitDone;
}

int Show(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
    if (operands.size() != 2) return Usage(err, "show takes a kind and an ID");
    const auto kind = KindArgument(operands[0], err);
    if (!kind) return kExitBadInput;
    char* end = nullptr;
    errno = 0;
    const long long id = std::strtoll(operands[1].c_str(), &end, 10);
    if (operands[1].empty() || *end != '\0' || errno == ERANGE || id <= 0)
        return Usage(err, "the ID \"" + operands[1] + "\" is not a positive whole number");
    const jdcat::Table table = jdcat::ReadTable(*kind, id);
    if (table.rows.empty()) {
        err << "jdhost catalogue: no " << jdcat::KindName(*kind) << " model has the ID " << id << "\n";
        return kExitFailed;
    }
    for (size_t c = 0; c < table.columns.size(); ++c)
        out << table.columns[c] << ": " << Shown(table.rows.front()[c]) << "\n";
    return kExitDone;
}

int Export(const std::vector<std::string>& operands, std::ostream& out, std::ostream& err) {
    if (operands.size() != 2) return Usage(err, "export takes a kind and a file (- for standard output)");
    const auto kind = KindArgument(operands[0], err);
    if (!kind) return kExitBadInput;
    const jdcat::Table table = jdcat::ReadTable(*kind);
    const std::string text = jdcat::FormatCsv(table);
    if (operands[1] == "-") {
        out << text;
        return kExitDone;
    }
    // Into a temporary file beside the target, renamed over it when complete,
    // so that a failed export never leaves half a file under the name.
    const std::string target = operands[1];
    const std::string temporary = target + ".tmp-export";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) {
            err << target << ": cannot write: " << std::strerror(errno) << "\n";
            std::remove(temporary.c_str());
            return kExitFailed;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        err << target << ": cannot write: " << std::strerror(errno) << "\n";
        std::remove(temporary.c_str());
        return kExitFailed;
    }
    out << "exported " << table.rows.size() << " " << jdcat::KindName(*kind) << " models to " << target << "\n";
    return kExitDone;
}

int Import(const std::vector<std::string>& operands, bool replaceAll, std::ostream& out, std::ostream& err) {
    if (operands.size() != 2) return Usage(err, "import takes a kind and a file");
    const auto kind = KindArgument(operands[0], err);
    if (!kind) return kExitBadInput;
    std::ifstream file(operands[1], std::ios::binary);
    if (!file) {
        err << operands[1] << ": cannot read: " << std::strerror(errno) << "\n";
        return kExitBadInput;
    }
    std::ostringstream text;
    text << file.rdbuf();
    const jdcat::ImportResult result = jdcat::ImportCsv(*kind, text.str(), operands[1], replaceAll);
    out << "imported " << jdcat::KindName(*kind) << " models from " << operands[1] << ": " << result.added
        << " added, " << result.replaced << " replaced";
    if (replaceAll) out << ", " << result.removed << " removed first";
    out << "\n";
    return kExitDone;
}

}  // namespace

std::string CatalogueUsageText() {
    return "usage: jdhost [--catalogue PATH] catalogue ACTION ...\n"
           "\n"
           "  list [KIND]                 the models of one kind, or of all three\n"
           "  show KIND ID                every column of one model\n"
           "  export KIND FILE.csv        the kind's table as UTF-8 CSV (FILE - : standard output)\n"
           "  import KIND FILE.csv [--replace]\n"
           "                              add the file's rows in one transaction: a row with an\n"
           "                              ID replaces that model, a row without one is added;\n"
           "                              --replace empties the table first. A bad value is\n"
           "                              named by row, line and column and nothing changes.\n"
           "\n"
           "KIND is transformer, feeder or hv. The CSV's first line names the columns\n"
           "(those of Para_Transformer, Para_AutomaticSwitch, Para_HighVoltageSwitch).\n"
           "Exit codes: 0 done, 1 the operation failed, 2 bad usage or bad input.\n";
}

int RunCatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> operands;
    bool replaceAll = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            out << CatalogueUsageText();
            return kExitDone;
        }
        if (a == "--catalogue") {
            if (i + 1 >= args.size()) return Usage(err, "--catalogue needs a path");
            SetCataloguePath(args[++i].c_str());
        } else if (a == "--replace") {
            replaceAll = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return Usage(err, "unknown option " + a);
        } else {
            operands.push_back(a);
        }
    }
    if (operands.empty()) return Usage(err, "an action is needed: list, show, export or import");
    const std::string action = operands.front();
    operands.erase(operands.begin());
    if (replaceAll && action != "import") return Usage(err, "--replace belongs to import");
    try {
        if (action == "list") return List(operands, out, err);
        if (action == "show") return Show(operands, out, err);
        if (action == "export") return Export(operands, out, err);
        if (action == "import") return Import(operands, replaceAll, out, err);
    } catch (const jdcat::CsvInputError& bad) {
        err << bad.what() << "\n" << "jdhost catalogue: nothing was imported\n";
        return kExitBadInput;
    } catch (const jdcat::CatalogueError& failure) {
        err << "jdhost catalogue: " << failure.what() << "\n";
        return kExitFailed;
    }
    return Usage(err, "unknown action \"" + action + "\" (list, show, export or import)");
}

}  // namespace jdhost
