#include "equipment/Device.h"

#include <sqlite3.h>

#include "equipment/CatalogueRow.h"

namespace {

// Binds the stock texts of `device` in column order with `key` in place of its key text.
void BindStockRow(const CDevice& device, const CString& key, jdlib::ColumnBinder& binder) {
    CDevice::VisitStockColumns(device, [&](const char* name, const CString& value) {
        binder(name, std::string_view(name) == "Model" ? key : value);
    });
}

}  // namespace

CString CDevice::GetStockText(int nPosition) const {
    CString text;
    int position = 0;
    VisitStockColumns(*this, [&](const char*, const CString& value) {
        if (++position == nPosition) text = value;
    });
    return text;
}

void CDevice::SetStockText(int nPosition, CString strText) {
    int position = 0;
    VisitStockColumns(*this, [&](const char*, CString& value) {
        if (++position == nPosition) value = strText;
    });
}

BOOL CDevice::GetStockDBData(CADODatabase* pDatabase, CString strKey) {
    return jdlib::RunOnCatalogue(pDatabase, "Stock", [&](jdsql::Connection& connection) -> BOOL {
        jdlib::ColumnNameList columns;
        VisitStockColumns(*this, columns);
        jdsql::Statement statement(connection, "SELECT " + columns.Join() + " FROM Stock WHERE Model = ?");
        statement.BindText(1, jdlib::ToCatalogueText(strKey, "stock key"));
        if (!statement.Step()) return FALSE;  // no stock row yet: a normal state, not an error
        CDevice& self = *this;
        // Read into copies first, so a failure half-way leaves the object as it was.
        CString texts[kStockTextCount];
        int position = 0;
        jdlib::ColumnReader reader(statement, "Stock row");
        VisitStockColumns(self, [&](const char* name, CString&) { reader(name, texts[position++]); });
        position = 0;
        VisitStockColumns(self, [&](const char*, CString& value) { value = texts[position++]; });
        return TRUE;
    });
}

BOOL CDevice::SetStockDBData(CADODatabase* pDatabase, int nMode, CString strKey) {
    return jdlib::RunOnCatalogue(pDatabase, "Stock", [&](jdsql::Connection& connection) -> BOOL {
        if (strKey.IsEmpty()) {
            jdlib::ShowRefusal("库存记录必须有型号，没有保存。");
            return FALSE;
        }
        const std::string oldKey = jdlib::ToCatalogueText(strKey, "stock key");
        jdlib::ColumnNameList columns;
        VisitStockColumns(*this, columns);
        jdsql::Transaction transaction(connection);
        auto keyTaken = [&](const std::string& key) {
            jdsql::Statement probe(connection, "SELECT 1 FROM Stock WHERE Model = ?");
            probe.BindText(1, key);
            return probe.Step();
        };
        if (nMode == 1) {
            if (keyTaken(oldKey)) {
                jdlib::ShowRefusal("库存中已有型号“%s”的记录，没有重复添加。", oldKey.c_str());
                return FALSE;
            }
            jdsql::Statement insert(connection, "INSERT INTO Stock (" + columns.Join() + ") VALUES (" +
                                                    columns.Placeholders() + ")");
            jdlib::ColumnBinder binder(insert);
            BindStockRow(*this, strKey, binder);
            insert.Run();
            transaction.Commit();
            m_strStockKey = strKey;
            return TRUE;
        }
        if (nMode == 0) {
            // The row is found by strKey; it takes the object's key when that
            // is set and differs, which is how an edited key is kept.
            const CString newKey = m_strStockKey.IsEmpty() ? strKey : m_strStockKey;
            const std::string newKeyUtf8 = jdlib::ToCatalogueText(newKey, "stock key");
            if (newKeyUtf8 != oldKey && keyTaken(newKeyUtf8)) {
                jdlib::ShowRefusal("库存中已有型号“%s”的记录，不能改用这个型号。", newKeyUtf8.c_str());
                return FALSE;
            }
            jdsql::Statement update(connection, "UPDATE Stock SET " + columns.Join(" = ?") + " WHERE Model = ?");
            jdlib::ColumnBinder binder(update);
            BindStockRow(*this, newKey, binder);
            update.BindText(binder.next(), oldKey);
            update.Run();
            if (connection.Changes() == 0) {
                jdlib::ShowRefusal("库存中没有型号“%s”的记录，修改没有保存。", oldKey.c_str());
                return FALSE;
            }
            transaction.Commit();
            m_strStockKey = newKey;
            return TRUE;
        }
        throw jdsql::SqliteError(SQLITE_MISUSE,
                                 "unknown stock save mode " + std::to_string(nMode) + " (1 adds a row, 0 updates one)");
    });
}
