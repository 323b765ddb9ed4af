#include "jdhost/CatalogueCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "equipment/CatalogueAdmin.h"
#include "equipment/CatalogueConnection.h"
#include "equipment/CatalogueCsv.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "jdhost/Cli.h"
#include "platform/InputFile.h"

namespace jdhost {

namespace {

namespace fs = std::filesystem;

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

// One kind's list: a count line, then a line a model in ID order. The lines
// are gathered in memory and written at once (the count comes first).
void PrintList(std::ostream& out, jdcat::Kind kind) {
    const auto summary = SummaryColumns(kind);
    std::vector<std::string> columns{"ID", "Model"};
    for (const auto& [column, unit] : summary) columns.push_back(column);
    std::string lines;
    const size_t rows = jdcat::ForEachRow(kind, columns, [&](const std::vector<std::string_view>& row) {
        lines += "  ";
        // An ID is never NULL where the column exists; none at all shows as "?".
        lines += row[0].data() ? row[0] : std::string_view("?");
        lines += "  ";
        lines += row[1];
        bool first = true;
        for (size_t s = 0; s < summary.size(); ++s) {
            const std::string_view value = row[2 + s];
            if (!value.data()) continue;
            lines += first ? "  (" : ", ";
            lines += value;
            lines += summary[s].second;
            first = false;
        }
        if (!first) lines += ')';
        lines += '\n';
    });
    out << jdcat::KindName(kind) << " (" << jdcat::TableName(kind) << "): " << rows
        << (rows == 1 ? " model\n" : " models\n");
    out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
}

// Runs one action, turning the catalogue layer's exceptions into exit codes.
template <typename Action>
int Guarded(std::ostream& err, Action&& action) {
    try {
        return action();
    } catch (const jdcat::CsvInputError& bad) {
        err << bad.what() << "\n" << "jdhost catalogue: nothing was imported\n";
        return kExitBadInput;
    } catch (const jdcat::CatalogueError& failure) {
        err << "jdhost catalogue: " << failure.what() << "\n";
        return kExitFailed;
    }
}

}  // namespace

int RunCatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> line{"catalogue"};
    line.insert(line.end(), args.begin(), args.end());
    return RunCli(line, out, err);
}

bool NamedCatalogueExists(const std::string& namedPath, std::ostream& err) {
    jdlib::CatalogueLocation location;
    try {
        location = jdlib::ResolveCatalogueLocation(namedPath);
    } catch (const std::exception&) {
        return true;  // no per-user catalogue can be formed: opening it says so
    }
    // A server catalogue is checked by connecting; its report says what is wrong.
    if (location.createWhenMissing || jdsql::IsServerTarget(location.path)) return true;
    std::error_code error;
    if (fs::exists(location.path, error)) return true;
    err << "jdhost: the catalogue " << location.path << " (named by " << location.source
        << ") does not exist.\n"
        << "Make one from the shipped models with: jdhost catalogue init " << location.path << "\n";
    return false;
}

int CatalogueList(const std::string& kindText, std::ostream& out, std::ostream& err) {
    std::vector<jdcat::Kind> kinds = jdcat::AllKinds();
    if (!kindText.empty()) {
        const auto kind = KindArgument(kindText, err);
        if (!kind) return kExitBadInput;
        kinds = {*kind};
    }
    return Guarded(err, [&] {
        for (jdcat::Kind kind : kinds) PrintList(out, kind);
        return kExitDone;
    });
}

int CatalogueShow(const std::string& kindText, const std::string& idText, std::ostream& out, std::ostream& err) {
    const auto kind = KindArgument(kindText, err);
    if (!kind) return kExitBadInput;
    char* end = nullptr;
    errno = 0;
    const long long id = std::strtoll(idText.c_str(), &end, 10);
    if (idText.empty() || *end != '\0' || errno == ERANGE || id <= 0)
        return Usage(err, "the ID \"" + idText + "\" is not a positive whole number");
    return Guarded(err, [&] {
        const jdcat::Table table = jdcat::ReadTable(*kind, id);
        if (table.rows.empty()) {
            err << "jdhost catalogue: no " << jdcat::KindName(*kind) << " model has the ID " << id << "\n";
            return kExitFailed;
        }
        for (size_t c = 0; c < table.columns.size(); ++c)
            out << table.columns[c] << ": " << Shown(table.rows.front()[c]) << "\n";
        return kExitDone;
    });
}

int CatalogueExport(const std::string& kindText, const std::string& target, std::ostream& out, std::ostream& err) {
    const auto kind = KindArgument(kindText, err);
    if (!kind) return kExitBadInput;
    return Guarded(err, [&] {
        const jdcat::Table table = jdcat::ReadTable(*kind);
        const std::string text = jdcat::FormatCsv(table);
        if (target == "-") {
            out << text;
            return kExitDone;
        }
        // Into a temporary file beside the target, renamed over it when complete,
        // so that a failed export never leaves half a file under the name.
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
        out << "exported " << table.rows.size() << " " << jdcat::KindName(*kind) << " models to " << target
            << "\n";
        return kExitDone;
    });
}

int CatalogueImport(const std::string& kindText, const std::string& file, bool replaceAll, std::ostream& out,
                    std::ostream& err) {
    const auto kind = KindArgument(kindText, err);
    if (!kind) return kExitBadInput;
    std::string text, error;
    if (!ReadInputFile(file, kMaxCsvFileBytes, text, error)) {
        err << file << ": " << error << "\n" << "jdhost catalogue: nothing was imported\n";
        return kExitBadInput;
    }
    return Guarded(err, [&] {
        const jdcat::ImportResult result = jdcat::ImportCsv(*kind, text, file, replaceAll);
        out << "imported " << jdcat::KindName(*kind) << " models from " << file << ": " << result.added
            << " added, " << result.replaced << " replaced";
        if (replaceAll) out << ", " << result.removed << " removed first";
        out << "\n";
        return kExitDone;
    });
}

int CatalogueInit(const std::string& path, std::ostream& out, std::ostream& err) {
    if (jdsql::IsServerTarget(path)) {
        try {
            jdcat::InitCatalogue(path);
        } catch (const jdcat::CatalogueError& failure) {
            err << "jdhost catalogue: " << failure.what() << "\n";
            return kExitFailed;
        }
        out << "created the catalogue in " << jdsql::RedactTarget(path) << " from " << jdlib::FindSeedDirectory()
            << "\n";
        return kExitDone;
    }
    std::error_code error;
    if (fs::symlink_status(path, error).type() != fs::file_type::not_found) {
        err << "jdhost catalogue: " << path << " exists already; init makes a new catalogue and replaces nothing\n";
        return kExitBadInput;
    }
    try {
        const std::string seed = jdlib::FindSeedDirectory();
        if (!jdlib::CreateCatalogueFile(path, seed)) {
            err << "jdhost catalogue: " << path << " appeared while the catalogue was being made; it was left alone\n";
            return kExitBadInput;
        }
        out << "created the catalogue " << path << " from " << seed << "\n";
    } catch (const std::exception& failure) {
        err << "jdhost catalogue: cannot create " << path << ": " << failure.what() << "\n";
        return kExitFailed;
    }
    return kExitDone;
}

int CatalogueCopy(const std::string& from, const std::string& to, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const jdcat::CopyResult copied = jdcat::CopyCatalogue(from, to);
        out << "copied " << jdsql::RedactTarget(from) << " to " << jdsql::RedactTarget(to) << ": " << copied.models
            << " models, " << copied.stock << " stock records, " << copied.listItems << " list items, "
            << copied.settings << " settings\n";
        return kExitDone;
    });
}

}  // namespace jdhost
