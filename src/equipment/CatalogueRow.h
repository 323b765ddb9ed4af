#pragma once
// Reading and writing one catalogue row through an object's column visitor
// (VisitCatalogueColumns / VisitStockColumns). Internal to the library.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "equipment/ADODatabase.h"
#include "equipment/CatalogueText.h"
#include "equipment/CatalogueConnection.h"
#include "platform/CString.h"

namespace jdlib {

// Runs `work` on the database's open connection. A failure is reported
// through the database (its report names `operation`) and gives FALSE; a null
// database is traced. No exception leaves.
BOOL RunOnCatalogue(CADODatabase* pDatabase, const char* operation,
                    const std::function<BOOL(jdsql::Connection&)>& work);

// Shows a refusal that is not an engine error (a missing row, a taken key):
// a GBK message in a stop-icon box. `utf8Format` is a printf format in UTF-8.
void ShowRefusal(const char* utf8Format, ...) __attribute__((format(printf, 1, 2)));

struct ColumnNameList {
    std::vector<std::string> names;
    template <class T>
    void operator()(const char* name, T&) {
        names.emplace_back(name);
    }
    // "a, b, c" with `each` appended to every name ("a = ?, b = ?").
    std::string Join(const char* each = "") const;
    // "?, ?, ?"
    std::string Placeholders() const;
};

// Reads the columns of the current row in visiting order, from column `first`.
class ColumnReader {
public:
    ColumnReader(jdsql::Statement& statement, std::string rowName, int first = 0)
        : m_statement(statement), m_rowName(std::move(rowName)), m_index(first) {}
    void operator()(const char* name, CString& value);
    void operator()(const char* name, double& value);
    void operator()(const char* name, int& value);

private:
    double Number(const char* name);

    jdsql::Statement& m_statement;
    std::string m_rowName;
    int m_index;
};

// Binds the values as parameters in visiting order, from parameter `first`.
class ColumnBinder {
public:
    explicit ColumnBinder(jdsql::Statement& statement, int first = 1) : m_statement(statement), m_index(first) {}
    void operator()(const char* name, const CString& value);
    void operator()(const char* name, const double& value);
    void operator()(const char* name, const int& value);
    int next() const { return m_index; }

private:
    jdsql::Statement& m_statement;
    int m_index;
};

// Fills `device` from the row `id` of `table`; on any failure the object is unchanged.
template <class Device>
BOOL LoadCatalogueRow(CADODatabase* pDatabase, const char* table, DWORD id, Device& device) {
    return RunOnCatalogue(pDatabase, table, [&](jdsql::Connection& connection) -> BOOL {
        ColumnNameList columns;
        Device::VisitCatalogueColumns(device, columns);
        jdsql::Statement statement(connection,
                                   "SELECT " + columns.Join() + " FROM " + table + " WHERE ID = ?");
        statement.Bind(1, static_cast<std::int64_t>(id));
        if (!statement.Step()) {
            ShowRefusal("设备目录的 %s 表中没有编号为 %u 的型号。", table, static_cast<unsigned>(id));
            return FALSE;
        }
        Device loaded(device);
        Device::VisitCatalogueColumns(loaded, ColumnReader(statement, std::string(table) + " ID " + std::to_string(id)));
        loaded.SetModelId(id);
        device = loaded;
        return TRUE;
    });
}

// Mode 1 adds a row (the catalogue assigns the id, which the object keeps);
// mode 0 updates the row `id`.
template <class Device>
BOOL StoreCatalogueRow(CADODatabase* pDatabase, const char* table, int mode, DWORD id, Device& device) {
    return RunOnCatalogue(pDatabase, table, [&](jdsql::Connection& connection) -> BOOL {
        ColumnNameList columns;
        Device::VisitCatalogueColumns(device, columns);
        jdsql::Transaction transaction(connection);
        if (mode == 1) {
            jdsql::Statement statement(connection, std::string("INSERT INTO ") + table + " (" + columns.Join() +
                                                       ") VALUES (" + columns.Placeholders() + ") RETURNING ID");
            Device::VisitCatalogueColumns(device, ColumnBinder(statement));
            const std::int64_t newId = statement.Step() ? statement.ColumnInt64(0) : 0;
            statement.Run();
            if (newId <= 0 || newId > std::numeric_limits<std::int32_t>::max()) {
                throw jdsql::SqliteError(SQLITE_MISUSE,
                                         "the catalogue assigned an id beyond the 32-bit range: " +
                                             std::to_string(newId));
            }
            transaction.Commit();
            device.SetModelId(static_cast<DWORD>(newId));
            return TRUE;
        }
        if (mode == 0) {
            jdsql::Statement statement(connection, std::string("UPDATE ") + table + " SET " +
                                                       columns.Join(" = ?") + " WHERE ID = ?");
            ColumnBinder binder(statement);
            Device::VisitCatalogueColumns(device, binder);
            statement.Bind(binder.next(), static_cast<std::int64_t>(id));
            statement.Run();
            if (connection.Changes() == 0) {
                ShowRefusal("设备目录的 %s 表中没有编号为 %u 的型号，修改没有保存。", table,
                            static_cast<unsigned>(id));
                return FALSE;
            }
            transaction.Commit();
            device.SetModelId(id);
            return TRUE;
        }
        throw jdsql::SqliteError(SQLITE_MISUSE,
                                 "unknown save mode " + std::to_string(mode) + " (1 adds a row, 0 updates one)");
    });
}

}  // namespace jdlib
