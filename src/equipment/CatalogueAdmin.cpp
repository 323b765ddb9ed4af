#include "equipment/CatalogueAdmin.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "equipment/CatalogueConnection.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"

namespace jdcat {

namespace {

// In the order a copy writes them; the last four have no ID.
const char* const kTables[] = {"Para_Transformer", "Para_AutomaticSwitch", "Para_HighVoltageSwitch",
                               "Stock",            "ValueList",            "Settings"};

struct Cell {
    jdsql::StorageClass storage = jdsql::StorageClass::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
};

struct TableRows {
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;
};

std::string Shown(const std::string& target) { return jdsql::RedactTarget(target); }

bool Exists(const std::string& target) {
    if (jdsql::IsServerTarget(target)) {
        jdsql::Connection connection;
        connection.Open(target, jdsql::OpenMode::ReadOnly);
        return connection.HasTable("Para_Transformer") || connection.HasTable("SchemaVersion");
    }
    std::error_code error;
    return std::filesystem::exists(target, error);
}

void CheckVersion(jdsql::Connection& connection, const std::string& target) {
    const long long version = connection.SchemaVersion();
    if (version != jdlib::kCatalogueSchemaVersion) {
        throw CatalogueError(Shown(target) + " is not an equipment catalogue of schema version " +
                             std::to_string(jdlib::kCatalogueSchemaVersion) + " (its version is " + std::to_string(version) +
                             ")");
    }
}

std::vector<TableRows> ReadEverything(const std::string& from) {
    jdsql::Connection connection;
    connection.Open(from, jdsql::OpenMode::ReadOnly);
    CheckVersion(connection, from);
    std::vector<TableRows> tables;
    for (const char* table : kTables) {
        TableRows rows;
        rows.table = table;
        std::string select;
        for (const jdsql::TableColumn& column : connection.TableColumns(table)) {
            rows.columns.push_back(column.name);
            select += (select.empty() ? "" : ", ") + column.name;
        }
        jdsql::Statement query(connection, "SELECT " + select + " FROM " + table, true);
        while (query.Step()) {
            std::vector<Cell> row(rows.columns.size());
            for (size_t c = 0; c < row.size(); ++c) {
                const int i = static_cast<int>(c);
                Cell& cell = row[c];
                cell.storage = query.ColumnStorage(i);
                switch (cell.storage) {
                case jdsql::StorageClass::Integer: cell.integer = query.ColumnInt64(i); break;
                case jdsql::StorageClass::Real: cell.real = query.ColumnDouble(i); break;
                case jdsql::StorageClass::Text:
                case jdsql::StorageClass::Blob: cell.text = query.ColumnText(i); break;
                case jdsql::StorageClass::Null: break;
                }
            }
            rows.rows.push_back(std::move(row));
        }
        tables.push_back(std::move(rows));
    }
    return tables;
}

// One statement a row: an engine whose statements cost no round trip.
void InsertRows(jdsql::Connection& connection, const TableRows& rows) {
    std::string names, placeholders;
    for (const std::string& column : rows.columns) {
        names += (names.empty() ? "" : ", ") + column;
        placeholders += placeholders.empty() ? "?" : ", ?";
    }
    jdsql::Statement insert(connection, "INSERT INTO " + rows.table + " (" + names + ") VALUES (" + placeholders + ")");
    for (const std::vector<Cell>& row : rows.rows) {
        insert.Reset();
        for (size_t c = 0; c < row.size(); ++c) {
            const int index = static_cast<int>(c) + 1;
            const Cell& cell = row[c];
            switch (cell.storage) {
            case jdsql::StorageClass::Integer: insert.Bind(index, cell.integer); break;
            case jdsql::StorageClass::Real: insert.Bind(index, cell.real); break;
            case jdsql::StorageClass::Text:
            case jdsql::StorageClass::Blob: insert.BindText(index, cell.text); break;
            case jdsql::StorageClass::Null: insert.BindNull(index); break;
            }
        }
        insert.Run();
    }
}

// A server: the table's rows in one COPY rather than a round trip a row.
void StreamRows(jdsql::Connection& connection, const TableRows& rows) {
    jdsql::CopyStream copy(connection, rows.table, rows.columns);
    for (const std::vector<Cell>& row : rows.rows) {
        for (const Cell& cell : row) {
            switch (cell.storage) {
            case jdsql::StorageClass::Integer: copy.Integer(cell.integer); break;
            case jdsql::StorageClass::Real: copy.Real(cell.real); break;
            case jdsql::StorageClass::Text:
            case jdsql::StorageClass::Blob: copy.Text(cell.text); break;
            case jdsql::StorageClass::Null: copy.Null(); break;
            }
        }
        copy.EndRow();
    }
    copy.Finish();
}

}  // namespace

void InitCatalogue(const std::string& target) {
    try {
        if (jdsql::IsServerTarget(target)) {
            if (!jdlib::CreateServerCatalogue(target, jdlib::FindSeedDirectory())) {
                throw CatalogueError(Shown(target) + " already holds a catalogue; nothing was changed");
            }
            return;
        }
        std::error_code error;
        if (std::filesystem::exists(target, error) ||
            !jdlib::CreateCatalogueFile(target, jdlib::FindSeedDirectory())) {
            throw CatalogueError(target + " exists already; nothing was changed");
        }
    } catch (const jdsql::Error& failure) {
        throw CatalogueError("cannot create the catalogue " + Shown(target) + ": " + failure.what());
    } catch (const CatalogueError&) {
        throw;
    } catch (const std::runtime_error& failure) {
        throw CatalogueError("cannot create the catalogue " + Shown(target) + ": " + failure.what());
    }
}

CopyResult CopyCatalogue(const std::string& from, const std::string& to) {
    try {
        const std::vector<TableRows> tables = ReadEverything(from);
        if (!Exists(to)) InitCatalogue(to);

        jdsql::Connection connection;
        connection.Open(to, jdsql::OpenMode::ReadWrite);
        CheckVersion(connection, to);
        CopyResult result;
        jdsql::Transaction transaction(connection);
        for (const TableRows& rows : tables) {
            jdsql::Statement remove(connection, "DELETE FROM " + rows.table);
            remove.Run();
            if (rows.rows.empty()) continue;
            if (connection.engine() == jdsql::Engine::Postgres)
                StreamRows(connection, rows);
            else
                InsertRows(connection, rows);
            const int count = static_cast<int>(rows.rows.size());
            if (rows.table.rfind("Para_", 0) == 0) {
                connection.AfterExplicitIds(rows.table);
                result.models += count;
            } else if (rows.table == "Stock") {
                result.stock = count;
            } else if (rows.table == "ValueList") {
                result.listItems = count;
            } else {
                result.settings = count;
            }
        }
        transaction.Commit();
        return result;
    } catch (const jdsql::Error& failure) {
        throw CatalogueError("the copy from " + Shown(from) + " to " + Shown(to) +
                             " failed; the target was not changed: " + failure.what());
    }
}

}  // namespace jdcat
