#include "equipment/CatalogueFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "equipment/CatalogueText.h"
#include "equipment/CatalogueConnection.h"
#include "platform/Gbk.h"
#include "platform/InputFile.h"

#ifndef JD_SOURCE_DIR
#define JD_SOURCE_DIR ""
#endif

namespace fs = std::filesystem;

namespace jdlib {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReadWholeFile(const std::string& path) {
    std::string content;
    std::string error;
    if (!ReadInputFile(path, kMaxCsvFileBytes, content, error)) throw std::runtime_error(path + ": " + error);
    return content;
}

bool IsIdentifier(const std::string& name) {
    if (name.empty() || name.size() > 128) return false;
    auto isStart = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!isStart(name.front())) return false;
    return std::all_of(name.begin(), name.end(), [&](char c) { return isStart(c) || (c >= '0' && c <= '9'); });
}

std::string ExecutableDirectory() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

void SyncPath(const std::string& path, bool directory) {
    const int fd = ::open(path.c_str(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Removes the temporary catalogue and SQLite's side files unless released.
class TemporaryCatalogue {
public:
    explicit TemporaryCatalogue(std::string path) : m_path(std::move(path)) {}
    ~TemporaryCatalogue() {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) ::unlink((m_path + suffix).c_str());
    }
    TemporaryCatalogue(const TemporaryCatalogue&) = delete;
    TemporaryCatalogue& operator=(const TemporaryCatalogue&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Moves `from` to `to` only if `to` does not exist, atomically. False when it exists.
bool MoveIntoPlaceWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno != EINVAL && errno != ENOSYS) {
        throw std::runtime_error("cannot move the new catalogue to " + to + ": " + std::strerror(errno));
    }
    // The file system cannot rename without replacing: a hard link fails on
    // an existing name just as atomically.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    throw std::runtime_error("cannot move the new catalogue to " + to + ": " + std::strerror(errno));
}

void ImportCsv(jdsql::Connection& connection, const fs::path& file) {
    const std::string table = file.stem().string();
    const std::string name = file.filename().string();
    if (!IsIdentifier(table)) throw std::runtime_error(name + ": the file name is not a table name");
    if (!connection.HasTable(table)) throw std::runtime_error(name + ": the schema has no table " + table);
    const std::vector<CsvRecord> records = ParseCsv(ReadWholeFile(file.string()), name);
    if (records.empty()) throw std::runtime_error(name + ": the file has no header line");
    const CsvRecord& header = records.front();
    std::string columns, placeholders;
    for (const CsvField& column : header.fields) {
        if (!column || !IsIdentifier(*column)) {
            throw std::runtime_error(name + ":1: \"" + column.value_or("") + "\" is not a column name");
        }
        columns += (columns.empty() ? "" : ", ") + *column;
        placeholders += placeholders.empty() ? "?" : ", ?";
    }
    jdsql::Statement insert(connection, "INSERT INTO " + table + " (" + columns + ") VALUES (" + placeholders + ")");
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        const std::string where = name + ":" + std::to_string(record.line);
        if (record.fields.size() != header.fields.size()) {
            throw std::runtime_error(where + ": " + std::to_string(record.fields.size()) + " fields, the header has " +
                                     std::to_string(header.fields.size()));
        }
        insert.Reset();
        for (size_t f = 0; f < record.fields.size(); ++f) {
            const CsvField& field = record.fields[f];
            if (!field) {
                insert.BindNull(static_cast<int>(f) + 1);
                continue;
            }
            const std::string problem = CatalogueTextProblemUtf8(*field);
            if (!problem.empty()) throw std::runtime_error(where + ": field " + *header.fields[f] + ": " + problem);
            // Numbers arrive as text; the columns' affinity stores them as numbers.
            insert.BindText(static_cast<int>(f) + 1, *field);
        }
        try {
            insert.Run();
        } catch (const jdsql::SqliteError& error) {
            throw std::runtime_error(where + ": " + error.what());
        }
    }
    connection.AfterExplicitIds(table);
}

std::vector<fs::path> SeedFiles(const std::string& seedDirectory) {
    std::vector<fs::path> seeds;
    std::error_code error;
    if (fs::is_directory(seedDirectory + "/seed", error)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(seedDirectory + "/seed")) {
            if (entry.is_regular_file() && entry.path().extension() == ".csv") seeds.push_back(entry.path());
        }
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

}  // namespace

CatalogueLocation ResolveCatalogueLocation(const std::string& explicitPath) {
    if (!explicitPath.empty()) return {explicitPath, false, "--catalogue"};
    const std::string fromEnvironment = Environment("JDHOST_CATALOGUE");
    if (!fromEnvironment.empty()) return {fromEnvironment, false, "JDHOST_CATALOGUE"};
    std::string dataHome = Environment("XDG_DATA_HOME");
    if (dataHome.empty() || dataHome.front() != '/') {
        const std::string home = Environment("HOME");
        if (home.empty()) {
            throw std::runtime_error("neither XDG_DATA_HOME nor HOME is set, so there is no per-user catalogue; "
                                     "name one with --catalogue or JDHOST_CATALOGUE");
        }
        dataHome = home + "/.local/share";
    }
    return {dataHome + "/jdhost/catalogue.db", true, "per-user file"};
}

std::vector<std::string> SeedDirectoryCandidates() {
    std::vector<std::string> candidates;
    const std::string exeDir = ExecutableDirectory();
    if (!exeDir.empty()) {
        candidates.push_back(exeDir + "/data");
        candidates.push_back(exeDir + "/../share/jdhost");
    }
    if (*JD_SOURCE_DIR) candidates.push_back(std::string(JD_SOURCE_DIR) + "/data");
    return candidates;
}

std::string FindSeedDirectory() {
    std::string searched;
    for (const std::string& candidate : SeedDirectoryCandidates()) {
        std::error_code error;
        if (fs::is_regular_file(candidate + "/catalogue.sql", error)) return candidate;
        searched += "\n  " + candidate;
    }
    throw std::runtime_error("the catalogue schema (catalogue.sql) was found in none of:" + searched);
}

bool CreateCatalogueFile(const std::string& path, const std::string& seedDirectory) {
    const fs::path target(path);
    const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::exists(directory, error)) {
        fs::create_directories(directory, error);
        if (error) throw std::runtime_error("cannot create the folder " + directory.string() + ": " + error.message());
        // Per-user data: only the user reads it.
        ::chmod(directory.c_str(), 0700);
    }

    std::string pattern = path + ".new-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot create a file beside " + path + ": " + std::strerror(errno));
    ::close(fd);
    TemporaryCatalogue temporary(pattern);

    const std::string schema = ReadWholeFile(seedDirectory + "/catalogue.sql");
    const std::vector<fs::path> seeds = SeedFiles(seedDirectory);

    {
        jdsql::Connection connection;
        connection.Open(temporary.path(), jdsql::OpenMode::NewFile);
        try {
            jdsql::Transaction transaction(connection);
            connection.Execute(schema);
            for (const fs::path& seed : seeds) ImportCsv(connection, seed);
            transaction.Commit();
        } catch (const jdsql::SqliteError& failure) {
            throw std::runtime_error(std::string("catalogue.sql: ") + failure.what());
        }
        // WAL mode, set when it was opened, is stored in the file, so every
        // host that opens it shares readers and a writer safely.
        connection.Close();
    }
    SyncPath(temporary.path(), false);
    const bool moved = MoveIntoPlaceWithoutReplacing(temporary.path(), path);
    SyncPath(directory.string(), true);
    return moved;
}

bool CreateServerCatalogue(const std::string& uri, const std::string& seedDirectory) {
    const std::string schema = ReadWholeFile(seedDirectory + "/catalogue-postgresql.sql");
    const std::vector<fs::path> seeds = SeedFiles(seedDirectory);
    jdsql::Connection connection;
    connection.Open(uri, jdsql::OpenMode::ReadWrite);
    // Under the catalogue's write lock: of two hosts making it at once, the
    // second finds the first one's tables and leaves them alone.
    jdsql::Transaction transaction(connection);
    if (connection.HasTable("SchemaVersion") || connection.HasTable("Para_Transformer")) return false;
    try {
        connection.Execute(schema);
    } catch (const jdsql::Error& failure) {
        throw std::runtime_error(std::string("catalogue-postgresql.sql: ") + failure.what());
    }
    for (const fs::path& seed : seeds) ImportCsv(connection, seed);
    transaction.Commit();
    return true;
}

CsvTable ParseCsvTable(const std::string& text, const std::string& fileName) {
    // A file saved as GBK or UTF-16 would otherwise fail much later with a
    // puzzling message about one field; say what it is, and where.
    const size_t bad = FirstNonUtf8Byte(text);
    if (bad != std::string::npos) {
        const size_t newline = bad == 0 ? std::string::npos : text.rfind('\n', bad - 1);
        const size_t column = newline == std::string::npos ? bad + 1 : bad - newline;  // counted from 1
        const long lineNumber = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(bad), '\n');
        throw std::runtime_error(fileName + ": not UTF-8 (line " + std::to_string(lineNumber) + ", byte " +
                                 std::to_string(column) + "); save the file as UTF-8");
    }
    CsvTable table;
    const char* const data = text.data();
    const size_t size = text.size();
    size_t pos = 0;
    int line = 1;
    // A UTF-8 byte order mark is not part of the first column's name.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos < size) {
        if (data[pos] == '\n' || (data[pos] == '\r' && pos + 1 < size && data[pos + 1] == '\n')) {
            pos += data[pos] == '\r' ? 2 : 1;
            ++line;
            continue;  // blank line
        }
        CsvTable::Record record;
        record.line = line;
        record.first = table.m_fields.size();
        for (;;) {
            std::string_view field;  // NULL unless set
            if (pos < size && data[pos] == '"') {
                const int startLine = line;
                const size_t start = ++pos;
                bool doubled = false;
                for (;;) {
                    if (pos >= size) {
                        throw std::runtime_error(fileName + ":" + std::to_string(startLine) +
                                                 ": a quoted field is not closed");
                    }
                    const char c = data[pos++];
                    if (c == '"') {
                        if (pos < size && data[pos] == '"') {
                            doubled = true;
                            ++pos;
                        } else {
                            break;
                        }
                    } else if (c == '\n') {
                        ++line;
                    }
                }
                field = std::string_view(data + start, pos - 1 - start);
                if (doubled) {
                    auto value = std::make_unique<std::string>();
                    value->reserve(field.size());
                    for (size_t i = 0; i < field.size(); ++i) {
                        *value += field[i];
                        if (field[i] == '"') ++i;  // the second of a pair
                    }
                    field = *value;
                    table.m_unescaped.push_back(std::move(value));
                }
                if (pos < size && data[pos] != ',' && data[pos] != '\n' && data[pos] != '\r') {
                    throw std::runtime_error(fileName + ":" + std::to_string(line) +
                                             ": text after the closing quote of a field");
                }
            } else {
                const size_t start = pos;
                bool quote = false;
                for (; pos < size; ++pos) {
                    const char c = data[pos];
                    if (c == ',' || c == '\n' || c == '\r') break;
                    quote |= c == '"';
                }
                if (quote) {
                    throw std::runtime_error(fileName + ":" + std::to_string(line) +
                                             ": a quote inside an unquoted field");
                }
                if (pos > start) field = std::string_view(data + start, pos - start);
            }
            table.m_fields.push_back(field);
            if (pos < size && data[pos] == ',') {
                ++pos;
                continue;
            }
            break;
        }
        if (pos < size && data[pos] == '\r') ++pos;
        if (pos < size && data[pos] == '\n') {
            ++pos;
            ++line;
        }
        record.count = table.m_fields.size() - record.first;
        table.m_records.push_back(record);
    }
    return table;
}

std::vector<CsvRecord> ParseCsv(const std::string& text, const std::string& fileName) {
    const CsvTable table = ParseCsvTable(text, fileName);
    std::vector<CsvRecord> records(table.size());
    for (size_t r = 0; r < table.size(); ++r) {
        records[r].line = table.record(r).line;
        for (size_t f = 0; f < table.record(r).count; ++f) {
            const std::string_view field = table.field(r, f);
            records[r].fields.push_back(CsvTable::IsNull(field) ? CsvField() : CsvField(std::string(field)));
        }
    }
    return records;
}

}  // namespace jdlib
