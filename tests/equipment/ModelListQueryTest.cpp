// The model-list queries as the three setting dialogs build them, run on the
// seed catalogue. The expected rows come from filtering the seed CSV files
// here, independently of the database.
#include <gtest/gtest.h>

#include <functional>

#include "CatalogueFixture.h"
#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/JDBase.h"
#include "equipment/Transformer.h"

using jdtest::G;

namespace {

struct ModelRow {
    LONG id;
    CString model;
    friend bool operator==(const ModelRow&, const ModelRow&) = default;
};

void PrintTo(const ModelRow& row, std::ostream* os) { *os << row.id << " " << ToUtf8(row.model); }

class ModelListQueryTest : public jdtest::CatalogueEngineTest {
protected:
    // The dialogs' list loop: open, count, walk ID and Model, close.
    std::vector<ModelRow> RunModelList(const CString& query) {
        std::vector<ModelRow> rows;
        CADODatabase* database = new CADODatabase;
        OpenJDDatabase(database);
        CADORecordset* records = new CADORecordset(database);
        if (records->OpenRecords(database->GetConnection(), query, 1)) {
            const DWORD count = records->CountRecords();
            if (count > 0) {
                records->FirstRecord();
                for (DWORD i = 0; i < records->CountRecords(); ++i) {
                    ModelRow row{0, ""};
                    EXPECT_TRUE(records->ReadField("ID", row.id));
                    EXPECT_TRUE(records->ReadField("Model", row.model));
                    rows.push_back(row);
                    records->NextRecord();
                }
            }
            m_opened = true;
        } else {
            m_opened = false;
        }
        if (records->IsActive()) records->CloseRecords();
        CloseJDDatabase(database);
        delete records;
        delete database;
        return rows;
    }

    // Seed rows of a file that pass the filter, in ID order (the file's order).
    static std::vector<ModelRow> Expected(const std::string& file,
                                          const std::function<bool(const std::vector<std::string>&)>& keep) {
        std::vector<ModelRow> rows;
        for (const std::vector<std::string>& row : jdtest::SeedRows(file)) {
            if (keep(row)) rows.push_back({static_cast<LONG>(std::stol(row[0])), G(row[1].c_str())});
        }
        return rows;
    }

    bool m_opened = false;
};

double Number(const std::string& text) { return text.empty() ? 0.0 : std::stod(text); }

TEST_P(ModelListQueryTest, TransformerQueryListsMatchingModelsInIdOrder) {
    // As the Set Transformer dialog builds it: type quoted, voltages bare, S with "%f".
    for (double s : {0.0, 450.5}) {
        CString query;
        query.Format("%f", s);
        query = "select * from Para_Transformer where Type = '" + QuoteSqlText(G("移动变电站")) +
                "' and HVoltage = 6000 and LVoltage = 690 and Capacity > " + query + " order by ID";
        const std::vector<ModelRow> expected = Expected("Para_Transformer.csv", [&](const auto& r) {
            return r[2] == "移动变电站" && Number(r[4]) == 6000 && Number(r[5]) == 690 && Number(r[3]) > s;
        });
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(RunModelList(query), expected) << "S = " << s;
    }
    EXPECT_EQ(Boxes().size(), 0u);
}

TEST_P(ModelListQueryTest, FeederSwitchQueriesOfBothProtectionKinds) {
    const std::vector<ModelRow> relay = Expected("Para_AutomaticSwitch.csv", [](const auto& r) {
        return Number(r[2]) == 660 && Number(r[6]) > 500.0;
    });
    EXPECT_EQ(RunModelList("select * from Para_AutomaticSwitch where Voltage = 660 and MCurrent > 500.00 order by ID"),
              relay);
    const std::vector<ModelRow> electronic = Expected("Para_AutomaticSwitch.csv", [](const auto& r) {
        return Number(r[2]) == 660 && Number(r[3]) * Number(r[10]) > 3000.0;
    });
    EXPECT_EQ(RunModelList("select * from Para_AutomaticSwitch where Voltage = 660 and RCurrent * MSMulti > 3000.00 "
                           "order by ID"),
              electronic);
    ASSERT_FALSE(relay.empty());
    ASSERT_FALSE(electronic.empty());
}

TEST_P(ModelListQueryTest, HighVoltageSwitchQuery) {
    const std::vector<ModelRow> expected = Expected("Para_HighVoltageSwitch.csv", [](const auto& r) {
        return Number(r[2]) == 6000 && Number(r[3]) >= 200.0;
    });
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(RunModelList("select * from Para_HighVoltageSwitch where Voltage = 6000 and RCurrent >= 200.00 "
                           "order by ID"),
              expected);
}

TEST_P(ModelListQueryTest, QueryMatchingNothingGivesAnEmptyList) {
    EXPECT_TRUE(RunModelList("select * from Para_HighVoltageSwitch where Voltage = 6000 and RCurrent >= 99999.00 "
                             "order by ID")
                    .empty());
    EXPECT_TRUE(m_opened);
    EXPECT_EQ(Boxes().size(), 0u);
}

TEST_P(ModelListQueryTest, QuotedTypeNeitherBreaksNorWidensTheQuery) {
    auto query = [](const CString& type) {
        return "select * from Para_Transformer where Type = '" + QuoteSqlText(type) +
               "' and HVoltage = 6000 and LVoltage = 690 and Capacity > 0.000000 order by ID";
    };
    // A quote in the type text: the query runs and finds nothing.
    EXPECT_TRUE(RunModelList(query(G("移动'变电站"))).empty());
    EXPECT_TRUE(m_opened);
    // Text that would widen an unquoted query to every row stays a plain value.
    EXPECT_TRUE(RunModelList(query("x' or '1'='1")).empty());
    EXPECT_TRUE(m_opened);
    EXPECT_EQ(Boxes().size(), 0u);

    // A type that really holds a quote is found by exactly its text.
    CTransformer* transformer = new CTransformer;
    transformer->SetModel("KBSG-T/6");
    transformer->SetType(G("干式'变压器"));
    transformer->SetHVoltage(6000);
    transformer->SetLVoltage(690);
    transformer->SetCapacity(100);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, transformer, 0));
    const std::vector<ModelRow> found = RunModelList(query(G("干式'变压器")));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (ModelRow{static_cast<LONG>(transformer->GetModelId()), "KBSG-T/6"}));
    delete transformer;
}

INSTANTIATE_TEST_SUITE_P(Engines, ModelListQueryTest, jdtest::BothEngines(), jdtest::EngineName);

}  // namespace
