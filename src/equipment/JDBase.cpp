#include "equipment/JDBase.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>

#include "equipment/ADODatabase.h"
#include "equipment/AutomaticSwitch.h"
#include "equipment/CatalogueFile.h"
#include "equipment/CatalogueRow.h"
#include "equipment/HighVoltageSwitch.h"
#include "equipment/LibraryMessages.h"
#include "equipment/CatalogueConnection.h"
#include "equipment/Transformer.h"
#include "platform/CComboBox.h"
#include "platform/Gbk.h"

namespace {

// The schema version this library reads and writes (PRAGMA user_version).
constexpr long long kSchemaVersion = jdlib::kCatalogueSchemaVersion;

std::mutex g_pathMutex;
std::string g_explicitPath;

std::string ExplicitPath() {
    std::lock_guard<std::mutex> lock(g_pathMutex);
    return g_explicitPath;
}

// Runs `work` on a catalogue connection of its own, opened and closed here.
template <class Work>
BOOL WithCatalogue(Work&& work) {
    try {
        CADODatabase database;
        if (!OpenJDDatabase(&database)) return FALSE;
        const BOOL result = work(database);
        CloseJDDatabase(&database);
        return result;
    } catch (...) {
        jdlib::Trace("unexpected failure in a catalogue routine");
        return FALSE;
    }
}

const char* TableOfKind(int kind) {
    switch (kind) {
    case JD_KIND_TRANSFORMER: return "Para_Transformer";
    case JD_KIND_AUTOMATIC_SWITCH: return "Para_AutomaticSwitch";
    case JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL:
    case JD_KIND_HIGH_VOLTAGE_SWITCH: return "Para_HighVoltageSwitch";
    default: return nullptr;
    }
}

// Whether the kind code fits the object; the object's own class decides the table.
bool KindFitsDevice(int kind, CDevice* device, const char* routine) {
    if (!device) {
        jdlib::Trace("%s: no equipment object given", routine);
        return false;
    }
    const bool transformer = dynamic_cast<CTransformer*>(device) != nullptr;
    const bool feeder = dynamic_cast<CAutomaticSwitch*>(device) != nullptr;
    const bool highVoltage = dynamic_cast<CHighVoltageSwitch*>(device) != nullptr;
    bool fits = false;
    switch (kind) {
    case JD_KIND_TRANSFORMER: fits = transformer; break;
    case JD_KIND_AUTOMATIC_SWITCH: fits = feeder || highVoltage; break;
    case JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL:
    case JD_KIND_HIGH_VOLTAGE_SWITCH: fits = highVoltage; break;
    default: break;
    }
    if (!fits) jdlib::Trace("%s: kind code %d does not fit the equipment object given", routine, kind);
    return fits;
}

bool StockKindFits(int kind, const char* routine) {
    if (kind == JD_STOCK_KIND) return true;
    jdlib::Trace("%s: unknown stock kind %d (only 1 is kept)", routine, kind);
    return false;
}

char* CopyToHeap(const std::string& text) {
    char* block = static_cast<char*>(std::malloc(text.size() + 1));
    if (block) std::memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

char* GetList(const char* listName) {
    std::string joined;
    WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, "ValueList", [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Statement query(connection, "SELECT Item FROM ValueList WHERE ListName = ? ORDER BY Position");
            query.BindText(1, listName);
            std::string text;
            while (query.Step()) {
                if (!text.empty()) text += JD_LIST_SEPARATOR;
                text += jdlib::FromCatalogueText(query.ColumnText(0), std::string(listName) + " list").str();
            }
            joined = std::move(text);
            return TRUE;
        });
    });
    return CopyToHeap(joined);
}

// The trimmed text when it is a positive number with nothing else in it.
bool ValidVoltageText(const CString& text, CString& trimmed) {
    trimmed = text;
    trimmed.Trim();
    if (trimmed.IsEmpty() || trimmed.Find(JD_LIST_SEPARATOR) >= 0) return false;
    // The whole text a plain decimal: "0x1A", "inf" and "nan" are no voltages.
    double value = 0.0;
    return DecimalPrefixLength(trimmed.view()) == static_cast<size_t>(trimmed.GetLength()) &&
           ParseDecimalText(trimmed.view(), value) && value > 0.0;
}

BOOL AddToList(const char* listName, const CString& text) {
    CString item;
    if (!ValidVoltageText(text, item)) {
        std::string shown;
        if (!TryGbkToUtf8(text.view(), shown)) shown = "?";
        jdlib::ShowRefusal("电压“%s”不是正数，没有加入电压列表。", shown.c_str());
        return FALSE;
    }
    return WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, "ValueList", [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Transaction transaction(connection);
            // One statement under the write lock: two hosts adding at once
            // both land, each at its own position.
            jdsql::Statement insert(connection,
                                    "INSERT INTO ValueList (ListName, Position, Item) "
                                    "SELECT ?1, (SELECT COALESCE(MAX(Position), 0) + 1 FROM ValueList WHERE ListName = ?1), ?2 "
                                    "WHERE NOT EXISTS (SELECT 1 FROM ValueList WHERE ListName = ?1 AND Item = ?2)");
            insert.BindText(1, listName);
            insert.BindText(2, jdlib::ToCatalogueText(item, "voltage"));
            insert.Run();
            transaction.Commit();
            return TRUE;
        });
    });
}

}  // namespace

void SetCataloguePath(const char* path) {
    std::lock_guard<std::mutex> lock(g_pathMutex);
    g_explicitPath = path ? path : "";
}

std::string ResolveCataloguePath() {
    try {
        return jdlib::ResolveCatalogueLocation(ExplicitPath()).path;
    } catch (...) {
        return std::string();
    }
}

BOOL OpenJDDatabase(CADODatabase* pDatabase) {
    if (!pDatabase) {
        jdlib::Trace("OpenJDDatabase: no database object given");
        return FALSE;
    }
    std::string path;
    try {
        const jdlib::CatalogueLocation location = jdlib::ResolveCatalogueLocation(ExplicitPath());
        path = location.path;
        std::error_code error;
        if (location.createWhenMissing && !std::filesystem::exists(path, error)) {
            jdlib::CreateCatalogueFile(path, jdlib::FindSeedDirectory());
        }
    } catch (const std::exception& failure) {
        jdlib::ShowRefusal("无法建立设备目录 %s：\n%s", path.c_str(), failure.what());
        return FALSE;
    }
    pDatabase->SetConnectionString(path.c_str());
    if (!pDatabase->Open()) return FALSE;
    const BOOL versionFits = jdlib::RunOnCatalogue(pDatabase, "schema version", [](jdsql::Connection& connection) {
        const std::string version = std::to_string(connection.SchemaVersion());
        if (version == std::to_string(kSchemaVersion)) return TRUE;
        throw jdsql::SqliteError(SQLITE_NOTADB, "the file is not an equipment catalogue of schema version " +
                                                    std::to_string(kSchemaVersion) + " (its version is " + version +
                                                    ")");
    });
    if (!versionFits) {
        pDatabase->Close();
        return FALSE;
    }
    return TRUE;
}

void CloseJDDatabase(CADODatabase* pDatabase) {
    if (pDatabase) pDatabase->Close();
}

BOOL LoadCatalogueModel(int nKind, CDevice* pDevice, DWORD dwModelId) {
    if (!KindFitsDevice(nKind, pDevice, "LoadCatalogueModel")) return FALSE;
    return WithCatalogue([&](CADODatabase& database) { return pDevice->GetParaDBData(&database, dwModelId); });
}

BOOL SaveCatalogueModel(int nKind, int nMode, CDevice* pDevice, DWORD dwModelId) {
    if (!KindFitsDevice(nKind, pDevice, "SaveCatalogueModel")) return FALSE;
    return WithCatalogue([&](CADODatabase& database) { return pDevice->SetParaDBData(&database, nMode, dwModelId); });
}

BOOL DeleteCatalogueModel(int nKind, DWORD dwModelId) {
    const char* table = TableOfKind(nKind);
    if (!table) {
        jdlib::Trace("DeleteCatalogueModel: unknown kind code %d", nKind);
        return FALSE;
    }
    return WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, table, [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Transaction transaction(connection);
            jdsql::Statement remove(connection, std::string("DELETE FROM ") + table + " WHERE ID = ?");
            remove.Bind(1, static_cast<std::int64_t>(dwModelId));
            remove.Run();
            const bool removed = connection.Changes() > 0;
            transaction.Commit();
            return removed ? TRUE : FALSE;
        });
    });
}

BOOL LoadStockRecord(int nKind, CDevice* pDevice, CString strKey) {
    if (!StockKindFits(nKind, "LoadStockRecord") || !pDevice) return FALSE;
    return WithCatalogue([&](CADODatabase& database) { return pDevice->GetStockDBData(&database, strKey); });
}

BOOL StockRecordExists(int nKind, CString strKey) {
    if (!StockKindFits(nKind, "StockRecordExists")) return FALSE;
    return WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, "Stock", [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Statement probe(connection, "SELECT 1 FROM Stock WHERE Model = ?");
            probe.BindText(1, jdlib::ToCatalogueText(strKey, "stock key"));
            return probe.Step() ? TRUE : FALSE;
        });
    });
}

BOOL SaveStockRecord(int nKind, int nMode, CDevice* pDevice, CString strKey) {
    if (!StockKindFits(nKind, "SaveStockRecord") || !pDevice) return FALSE;
    return WithCatalogue([&](CADODatabase& database) { return pDevice->SetStockDBData(&database, nMode, strKey); });
}

char* GetHighVoltageList() { return GetList("HighVoltage"); }
char* GetLowVoltageList() { return GetList("LowVoltage"); }
char* GetFeederVoltageList() { return GetList("FeederVoltage"); }
char* GetCapacityList() { return GetList("Capacity"); }

void SplitVoltageList(const char* text, CStringArray* pItems) {
    if (!pItems) return;
    try {
        pItems->RemoveAll();
        if (!text) return;
        const CString all(text);
        int start = 0;
        while (start <= all.GetLength()) {
            int end = all.Find(JD_LIST_SEPARATOR, start);
            if (end < 0) end = all.GetLength();
            CString item = all.Mid(start, end - start);
            item.Trim();
            if (!item.IsEmpty()) pItems->Add(item);
            start = end + 1;
        }
    } catch (...) {
        jdlib::Trace("SplitVoltageList: out of memory");
    }
}

BOOL AddHighVoltage(CString strVoltage) { return AddToList("HighVoltage", strVoltage); }
BOOL AddLowVoltage(CString strVoltage) { return AddToList("LowVoltage", strVoltage); }
BOOL AddFeederVoltage(CString strVoltage) { return AddToList("FeederVoltage", strVoltage); }

int AddComboItem(CComboBox* pCombo, const char* text) {
    if (!pCombo || !text) return CB_ERR;
    try {
        const int count = pCombo->GetCount();
        for (int i = 0; i < count; ++i) {
            CString item;
            pCombo->GetLBText(i, item);
            if (item == text) return i;
        }
        return pCombo->AddString(text);
    } catch (...) {
        jdlib::Trace("AddComboItem: the combo box refused the item");
        return CB_ERR;
    }
}

int GetStepChoiceFlag() {
    int flag = 0;
    WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, "Settings", [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Statement query(connection, "SELECT Value FROM Settings WHERE Name = ?");
            query.BindText(1, "StepChoice");
            if (query.Step()) flag = static_cast<int>(ParseLong(query.ColumnText(0).c_str()));
            return TRUE;
        });
    });
    return flag;
}

BOOL SetStepChoiceFlag(int nByStep) {
    return WithCatalogue([&](CADODatabase& database) {
        return jdlib::RunOnCatalogue(&database, "Settings", [&](jdsql::Connection& connection) -> BOOL {
            jdsql::Transaction transaction(connection);
            jdsql::Statement upsert(connection,
                                    "INSERT INTO Settings (Name, Value) VALUES (?, ?) "
                                    "ON CONFLICT (Name) DO UPDATE SET Value = excluded.Value");
            upsert.BindText(1, "StepChoice");
            upsert.BindText(2, std::to_string(nByStep));
            upsert.Run();
            transaction.Commit();
            return TRUE;
        });
    });
}
