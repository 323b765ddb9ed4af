// CSV import under hostile input, into a catalogue held in memory (built
// once from the shipped schema and seed, put back after every input that
// changed it). Bad text is refused with a CsvInputError naming the file and
// leaves the table as it was; accepted text adds or replaces the rows it
// says, with ids a map can hold and texts without NUL; and what the catalogue exports after it imports back to the same
// table. Any other failure of the catalogue counts as a finding: the rows had
// passed the import's checks.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "equipment/CatalogueCsv.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"

namespace {

// Shared-cache memory database: every connection the library opens by this
// name sees the same catalogue while the keeper connection holds it.
constexpr const char* kCatalogueUri = "file:jdfuzz-catalogue?mode=memory&cache=shared";

sqlite3* g_keeper = nullptr;
sqlite3* g_pristine = nullptr;
std::map<jdcat::Kind, size_t> g_pristineRows;

void Copy(sqlite3* from, sqlite3* to, const char* what) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) jdfuzz::Fail(std::string("cannot copy the catalogue (") + what + "): " + sqlite3_errmsg(to));
    const int step = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (step != SQLITE_DONE) jdfuzz::Fail(std::string("cannot copy the catalogue (") + what + "): " + sqlite3_errstr(step));
}

sqlite3* OpenOrFail(const std::string& name) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        jdfuzz::Fail("cannot open " + name + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
    }
    return db;
}

const char* Name(jdcat::Kind kind) { return jdcat::TableName(kind); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string file = jdfuzz::ScratchFolder() + "/catalogue.db";
    try {
        jdlib::CreateCatalogueFile(file, jdlib::FindSeedDirectory());
    } catch (const std::exception& failure) {
        jdfuzz::Fail(std::string("cannot build the seed catalogue: ") + failure.what());
    }
    sqlite3* seeded = OpenOrFail(file);
    g_pristine = OpenOrFail(":memory:");
    Copy(seeded, g_pristine, "seed");
    sqlite3_close(seeded);
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((file + suffix).c_str());

    g_keeper = OpenOrFail(kCatalogueUri);
    Copy(g_pristine, g_keeper, "start");
    ::setenv("JDHOST_CATALOGUE", kCatalogueUri, 1);
    SetCataloguePath(nullptr);
    for (const jdcat::Kind kind : jdcat::AllKinds()) g_pristineRows[kind] = jdcat::ReadTable(kind).rows.size();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const jdcat::Kind kind : jdcat::AllKinds()) {
        jdcat::ImportResult result;
        try {
            result = jdcat::ImportCsv(kind, text, "fuzz.csv", false);
        } catch (const jdcat::CsvInputError& refusal) {
            jdfuzz::Must(std::string(refusal.what()).rfind("fuzz.csv", 0) == 0,
                         std::string("a refusal does not name the file: ") + refusal.what());
            continue;
        } catch (const jdcat::CatalogueError& failure) {
            jdfuzz::Fail(std::string(Name(kind)) + ": rows that passed the checks failed in the catalogue: " +
                         failure.what());
        }

        const jdcat::Table after = jdcat::ReadTable(kind);
        jdfuzz::Must(after.rows.size() == g_pristineRows[kind] + static_cast<size_t>(result.added),
                     std::string(Name(kind)) + ": " + std::to_string(result.added) + " rows reported added, the table grew by " +
                         std::to_string(after.rows.size()) + " - " + std::to_string(g_pristineRows[kind]));
        // What the catalogue holds must be what a model id and a map field can
        // carry: ids in 1 … 2147483647 (the map keeps them in 32 bits), texts
        // without NUL (the map's GBK fields end at one).
        for (const std::vector<jdcat::Value>& row : after.rows) {
            for (size_t c = 0; c < row.size() && c < after.columns.size(); ++c) {
                if (!row[c]) continue;
                jdfuzz::Must(row[c]->find('\0') == std::string::npos,
                             std::string(Name(kind)) + ": a stored " + after.columns[c] + " holds a NUL");
                if (after.columns[c] == "ID") {
                    const long long id = std::strtoll(row[c]->c_str(), nullptr, 10);
                    jdfuzz::Must(id >= 1 && id <= 2147483647,
                                 std::string(Name(kind)) + ": the import stored the ID " + *row[c]);
                }
            }
        }
        const std::string exported = jdcat::FormatCsv(after);
        try {
            jdcat::ImportCsv(kind, exported, "export.csv", true);
        } catch (const std::exception& failure) {
            jdfuzz::Fail(std::string(Name(kind)) + ": the exported table does not import back: " + failure.what());
        }
        const jdcat::Table back = jdcat::ReadTable(kind);
        jdfuzz::Must(back.rows == after.rows, std::string(Name(kind)) + ": the exported table imports back differently");
        Copy(g_pristine, g_keeper, "restore");
    }
    return 0;
}
