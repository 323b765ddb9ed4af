#pragma once
// Where the catalogue file is, and how a new one is made from the shipped
// schema and seed. Internal to the library; JDBase.h has the public face.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jdlib {

struct CatalogueLocation {
    std::string path;
    // Only the per-user default is created when missing; a path the user
    // named must exist, so a typing mistake is reported, not papered over.
    bool createWhenMissing = false;
    // "--catalogue", "JDHOST_CATALOGUE" or "per-user file", for messages.
    std::string source;
};

// The explicit path when not empty, else $JDHOST_CATALOGUE when set and not
// empty, else $XDG_DATA_HOME/jdhost/catalogue.db ($XDG_DATA_HOME must be
// absolute, otherwise ~/.local/share is used). Throws std::runtime_error when
// none can be formed (no HOME).
CatalogueLocation ResolveCatalogueLocation(const std::string& explicitPath);

// Directories searched for catalogue.sql and seed/, in order: <exe dir>/data,
// <exe dir>/../share/jdhost, then the source tree's data/ compiled in.
std::vector<std::string> SeedDirectoryCandidates();
// The first candidate holding catalogue.sql; throws std::runtime_error listing
// the places searched.
std::string FindSeedDirectory();

// Builds the catalogue at `path` from `seedDirectory`/catalogue.sql and every
// `seedDirectory`/seed/<Table>.csv: into a temporary file beside it, which is
// then renamed into place without replacing anything. Returns false when a
// catalogue appeared at `path` meanwhile (another host made it; ours is
// dropped). Throws std::runtime_error (UTF-8 text naming file and line) on
// failure, and leaves no file behind.
bool CreateCatalogueFile(const std::string& path, const std::string& seedDirectory);

// The schema version every catalogue carries (PRAGMA user_version in a file,
// the SchemaVersion table on a server); another version is refused.
inline constexpr long long kCatalogueSchemaVersion = 1;

// Builds the catalogue in the PostgreSQL database `uri` names from
// `seedDirectory`/catalogue-postgresql.sql and the seed rows, in one
// transaction. Returns false, changing nothing, when the database holds a
// catalogue already. Throws jdsql::Error or std::runtime_error (UTF-8 text
// naming file and line) on failure; nothing is left half-made then.
bool CreateServerCatalogue(const std::string& uri, const std::string& seedDirectory);

// One CSV field: no value for an empty unquoted field (stored as NULL), text otherwise.
using CsvField = std::optional<std::string>;
struct CsvRecord {
    int line = 0;  // line number where the record starts, from 1
    std::vector<CsvField> fields;
};
// Parses RFC 4180 CSV text (quoted fields, doubled quotes, LF or CRLF line
// ends; blank lines are skipped). Throws std::runtime_error naming
// `fileName` and the line.
std::vector<CsvRecord> ParseCsv(const std::string& text, const std::string& fileName);

// The same parse without a string for every field: a file of a hundred
// thousand rows would otherwise spend more on allocating fields than the
// catalogue spends on storing them. Fields are views into the parsed text
// (which must outlive the table), or into the table's own copies for quoted
// fields that held doubled quotes.
class CsvTable {
public:
    struct Record {
        int line = 0;  // line number where the record starts, from 1
        size_t first = 0;
        size_t count = 0;
    };
    size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    const Record& record(size_t r) const { return m_records[r]; }
    // A field of record `r`; a view with no data (data() == nullptr) is NULL,
    // anything else a text (possibly empty).
    std::string_view field(size_t r, size_t f) const { return m_fields[m_records[r].first + f]; }
    static bool IsNull(std::string_view field) { return field.data() == nullptr; }

private:
    friend CsvTable ParseCsvTable(const std::string& text, const std::string& fileName);
    std::vector<Record> m_records;
    std::vector<std::string_view> m_fields;
    std::vector<std::unique_ptr<std::string>> m_unescaped;
};
CsvTable ParseCsvTable(const std::string& text, const std::string& fileName);

}  // namespace jdlib
