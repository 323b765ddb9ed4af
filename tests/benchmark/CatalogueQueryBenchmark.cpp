// The Set Transformer dialog's model-list query on a catalogue of 100,000
// transformer models, on both engines, run the way the dialog runs it: open
// the catalogue, open a record set on the query, walk ID and Model of every
// row, close. scripts/bench-catalogue runs this beside psql and sqlite3
// answering the same query, so the layer's own cost can be read off.
//
//   catalogue_benchmark [--file PATH] [--server URI] [benchmark flags]
//
// Without --file a catalogue is built in /tmp; without --server (or
// $JD_BENCH_POSTGRES) only SQLite is measured. An existing catalogue that
// already holds the models is used as it is.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/CatalogueAdmin.h"
#include "equipment/CatalogueConnection.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace {

constexpr int kModels = 100000;

// What BuildModelListQuery makes for a 6000/690 V mobile substation above
// 500 kVA; the texts stay UTF-8 here for the command-line tools.
const char* const kQueryUtf8 =
    "select * from Para_Transformer where Type = '移动变电站' and HVoltage = 6000 and LVoltage = 690 and "
    "Capacity > 500.000000 order by ID";

// Adds the bench models unless they are there: 100,000 mobile substations
// spread over three secondary voltages and capacities 100 … 3099 kVA.
void Fill(const std::string& target) {
    jdsql::Connection connection;
    connection.Open(target);
    if (connection.QueryText("SELECT COUNT(*) FROM Para_Transformer WHERE Model LIKE 'BENCH-%'") ==
        std::to_string(kModels)) {
        return;
    }
    jdsql::Transaction transaction(connection);
    const std::string rows =
        connection.engine() == jdsql::Engine::Postgres
            ? "SELECT 'BENCH-' || g, '移动变电站', 100 + g % 3000, 6000, (ARRAY[690, 1200, 3450])[1 + g % 3] "
              "FROM generate_series(1, " + std::to_string(kModels) + ") AS g"
            : "SELECT 'BENCH-' || x, '移动变电站', 100 + x % 3000, 6000, "
              "CASE x % 3 WHEN 0 THEN 690 WHEN 1 THEN 1200 ELSE 3450 END FROM g";
    const std::string with = connection.engine() == jdsql::Engine::Postgres
                                 ? ""
                                 : "WITH RECURSIVE g(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM g WHERE x < " +
                                       std::to_string(kModels) + ") ";
    connection.Execute(with + "INSERT INTO Para_Transformer (Model, Type, Capacity, HVoltage, LVoltage) " + rows);
    transaction.Commit();
}

void ModelListQuery(benchmark::State& state, std::string target) {
    HeadlessMessageService quiet;
    MessageServiceScope scope(quiet);
    SetCataloguePath(target.c_str());
    const CString query = FromUtf8(kQueryUtf8);
    size_t rows = 0;
    for (auto _ : state) {
        CADODatabase database;
        if (!OpenJDDatabase(&database)) {
            state.SkipWithError("the catalogue cannot be opened");
            break;
        }
        CADORecordset records(&database);
        if (!records.OpenRecords(database.GetConnection(), query, CADORecordset::openQuery)) {
            state.SkipWithError("the query failed");
            break;
        }
        rows = 0;
        for (records.FirstRecord(); !records.IsEOF(); records.NextRecord()) {
            LONG id = 0;
            CString model;
            records.ReadField("ID", id);
            records.ReadField("Model", model);
            benchmark::DoNotOptimize(model);
            ++rows;
        }
        records.CloseRecords();
        CloseJDDatabase(&database);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    std::string server = std::getenv("JD_BENCH_POSTGRES") ? std::getenv("JD_BENCH_POSTGRES") : "";
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
            file = argv[++i];
        } else if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) {
            server = argv[++i];
        } else if (std::strcmp(argv[i], "--print-query") == 0) {
            std::cout << kQueryUtf8 << "\n";
            return 0;
        } else {
            rest.push_back(argv[i]);
        }
    }
    try {
        if (file.empty()) file = "/tmp/jd-bench-catalogue-" + std::to_string(getuid()) + ".db";
        if (access(file.c_str(), F_OK) != 0) jdlib::CreateCatalogueFile(file, jdlib::FindSeedDirectory());
        Fill(file);
        benchmark::RegisterBenchmark("ModelListQuery/SQLite", ModelListQuery, file)->Unit(benchmark::kMillisecond);
        if (!server.empty()) {
            jdsql::Connection probe;
            probe.Open(server);
            const bool made = probe.HasTable("Para_Transformer");
            probe.Close();
            if (!made) jdcat::InitCatalogue(server);
            Fill(server);
            benchmark::RegisterBenchmark("ModelListQuery/PostgreSQL", ModelListQuery, server)
                ->Unit(benchmark::kMillisecond);
        }
    } catch (const std::exception& failure) {
        std::cerr << "catalogue_benchmark: " << failure.what() << "\n";
        return 1;
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
