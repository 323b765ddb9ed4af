// The library's catalogue routines: model round trips of the three kinds,
// stock records, the value lists, the step choice, two hosts writing at once.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "CatalogueFixture.h"
#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/AutomaticSwitch.h"
#include "equipment/HighVoltageSwitch.h"
#include "equipment/JDBase.h"
#include "equipment/OtherDevices.h"
#include "equipment/Transformer.h"
#include "platform/CComboBox.h"

using jdtest::G;

namespace {

class CatalogueRoutinesTest : public jdtest::CatalogueEngineTest {
protected:
    // Rows of a table counted on a connection of its own.
    DWORD CountRows(const char* table) {
        CADODatabase database;
        EXPECT_TRUE(OpenJDDatabase(&database));
        CADORecordset records(&database);
        EXPECT_TRUE(records.OpenRecords(database.GetConnection(), table, 2));
        return records.CountRecords();
    }
    std::string ListText(char* (*list)()) {
        char* block = list();
        std::string text = block ? block : "<null>";
        std::free(block);
        return text;
    }
};

TEST_P(CatalogueRoutinesTest, TransformerSaveLoadUpdateDelete) {
    CTransformer* made = new CTransformer;
    made->SetModel("KBSGZY-630/6");
    made->SetType(G("移动变电站"));
    made->SetCapacity(630);
    made->SetHVoltage(6000);
    made->SetLVoltage(1200);
    made->SetHCurrent(60.62);
    made->SetLCurrent(303.11);
    made->SetEmptyLose(1440);
    made->SetShortcutLose(7440);
    made->SetRXPercent(4.5);
    made->SetTransR(0.027058);
    made->SetTransX(0.120536);
    made->SetLinkGroup("Y,y0");
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, made, 0));
    const DWORD id = made->GetModelId();
    EXPECT_GT(id, jdtest::SeedRows("Para_Transformer.csv").size());

    CTransformer* loaded = new CTransformer;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, loaded, id));
    EXPECT_EQ(loaded->GetModel(), "KBSGZY-630/6");
    EXPECT_EQ(loaded->GetType(), G("移动变电站"));
    EXPECT_EQ(loaded->GetCapacity(), 630.0);
    EXPECT_EQ(loaded->GetHVoltage(), 6000.0);
    EXPECT_EQ(loaded->GetLVoltage(), 1200.0);
    EXPECT_EQ(loaded->GetHCurrent(), 60.62);
    EXPECT_EQ(loaded->GetLCurrent(), 303.11);
    EXPECT_EQ(loaded->GetEmptyLose(), 1440.0);
    EXPECT_EQ(loaded->GetShortcutLose(), 7440.0);
    EXPECT_EQ(loaded->GetRXPercent(), 4.5);
    EXPECT_EQ(loaded->GetTransR(), 0.027058);  // doubles are stored exactly
    EXPECT_EQ(loaded->GetTransX(), 0.120536);
    EXPECT_EQ(loaded->GetLinkGroup(), "Y,y0");
    EXPECT_EQ(loaded->GetModelId(), id);

    loaded->SetCapacity(800);
    loaded->SetLinkGroup("Y,d11");
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 0, loaded, id));
    CTransformer again;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &again, id));
    EXPECT_EQ(again.GetCapacity(), 800.0);
    EXPECT_EQ(again.GetLinkGroup(), "Y,d11");
    const DWORD rows = CountRows("Para_Transformer");

    EXPECT_TRUE(DeleteCatalogueModel(JD_KIND_TRANSFORMER, id));
    EXPECT_EQ(CountRows("Para_Transformer"), rows - 1);
    EXPECT_EQ(Boxes().size(), 0u);
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &again, id));
    EXPECT_EQ(StopBoxes(), 1);
    EXPECT_FALSE(DeleteCatalogueModel(JD_KIND_TRANSFORMER, id));
    delete made;
    delete loaded;
}

TEST_P(CatalogueRoutinesTest, DeletedModelIdIsNeverReused) {
    // Drawings keep model ids: a new model must not take a deleted one's id.
    CTransformer first;
    first.SetModel("A");
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, &first, 0));
    ASSERT_TRUE(DeleteCatalogueModel(JD_KIND_TRANSFORMER, first.GetModelId()));
    CTransformer second;
    second.SetModel("B");
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, &second, 0));
    EXPECT_GT(second.GetModelId(), first.GetModelId());
}

TEST_P(CatalogueRoutinesTest, FeederSwitchRoundTrip) {
    CAutomaticSwitch made;
    made.SetModel("KBZ-800/1140(660)");
    made.SetVoltage(1140);
    made.SetCurrent(800);
    made.SetIsThemalProtect(0);
    made.SetReleaseCurrent("");
    made.SetMaxReleaseCurrent(0);
    made.SetIsElectricProtect(1);
    made.SetLongMultiple("0.4,0.6,0.8,1.0");
    made.SetShortMultiple("3,5,8,10");
    made.SetMaxShortMultiple(10);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, 1, &made, 0));
    CAutomaticSwitch loaded;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &loaded, made.GetModelId()));
    EXPECT_EQ(loaded.GetModel(), "KBZ-800/1140(660)");
    EXPECT_EQ(loaded.GetVoltage(), 1140.0);
    EXPECT_EQ(loaded.GetCurrent(), 800.0);
    EXPECT_EQ(loaded.GetIsThemalProtect(), 0);
    EXPECT_EQ(loaded.GetReleaseCurrent(), "");
    EXPECT_EQ(loaded.GetMaxReleaseCurrent(), 0.0);
    EXPECT_EQ(loaded.GetIsElectricProtect(), 1);
    EXPECT_EQ(loaded.GetLongMultiple(), "0.4,0.6,0.8,1.0");
    EXPECT_EQ(loaded.GetShortMultiple(), "3,5,8,10");
    EXPECT_EQ(loaded.GetMaxShortMultiple(), 10.0);

    // Switching to relay protection, as the detail dialog stores it.
    loaded.SetIsThemalProtect(1);
    loaded.SetReleaseCurrent("2400,3200,4000");
    loaded.SetMaxReleaseCurrent(4000);
    loaded.SetIsElectricProtect(0);
    loaded.SetLongMultiple("");
    loaded.SetShortMultiple("");
    loaded.SetMaxShortMultiple(0);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, 0, &loaded, made.GetModelId()));
    CAutomaticSwitch again;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &again, made.GetModelId()));
    EXPECT_EQ(again.GetIsThemalProtect(), 1);
    EXPECT_EQ(again.GetReleaseCurrent(), "2400,3200,4000");
    EXPECT_EQ(again.GetMaxReleaseCurrent(), 4000.0);
    EXPECT_EQ(again.GetShortMultiple(), "");
    EXPECT_TRUE(DeleteCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, made.GetModelId()));
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &again, made.GetModelId()));
}

TEST_P(CatalogueRoutinesTest, HighVoltageSwitchLoadsFromItsOwnTableWithEitherCode) {
    CHighVoltageSwitch made;
    made.SetModel("PBG-1000/10");
    made.SetVoltage(10000);
    made.SetCurrent(1000);
    made.SetCapacity(346.41);
    made.SetCutCurrent(20000);
    made.SetMaxCurrent(50000);
    made.SetMaxVoltage(12000);
    made.SetSCurrent(20000);
    made.SetValidCurrent(20000);
    made.SetIsThemalProtect(0);
    made.SetIsElectricProtect(1);
    made.SetLongMultiple("0.2,0.4");
    made.SetShortMultiple("1,2,3");
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, 1, &made, 0));
    const DWORD id = made.GetModelId();

    // Code 2 is also the feeder switch code; a high-voltage switch object still
    // reads its own table. Seed id 1 exists in both tables, so this can tell.
    for (int kind : {JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL, JD_KIND_AUTOMATIC_SWITCH}) {
        CHighVoltageSwitch loaded;
        ASSERT_TRUE(LoadCatalogueModel(kind, &loaded, id)) << kind;
        EXPECT_EQ(loaded.GetModel(), "PBG-1000/10");
        EXPECT_EQ(loaded.GetVoltage(), 10000.0);
        EXPECT_EQ(loaded.GetCurrent(), 1000.0);
        EXPECT_EQ(loaded.GetCapacity(), 346.41);
        EXPECT_EQ(loaded.GetCutCurrent(), 20000.0);
        EXPECT_EQ(loaded.GetMaxCurrent(), 50000.0);
        EXPECT_EQ(loaded.GetMaxVoltage(), 12000.0);
        EXPECT_EQ(loaded.GetSCurrent(), 20000.0);
        EXPECT_EQ(loaded.GetValidCurrent(), 20000.0);
        EXPECT_EQ(loaded.GetIsThemalProtect(), 0);
        EXPECT_EQ(loaded.GetIsElectricProtect(), 1);
        EXPECT_EQ(loaded.GetLongMultiple(), "0.2,0.4");
        EXPECT_EQ(loaded.GetShortMultiple(), "1,2,3");

        CHighVoltageSwitch seedRow;
        ASSERT_TRUE(LoadCatalogueModel(kind, &seedRow, 1));
        EXPECT_EQ(seedRow.GetModel(), G(jdtest::SeedRows("Para_HighVoltageSwitch.csv")[0][1].c_str()));
    }
    EXPECT_TRUE(DeleteCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, id));
    CHighVoltageSwitch gone;
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL, &gone, id));
}

TEST_P(CatalogueRoutinesTest, KindThatDoesNotFitTheObjectIsRefused) {
    CAutomaticSwitch feeder;
    CTransformer transformer;
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &feeder, 1));
    EXPECT_FALSE(SaveCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, 1, &transformer, 0));
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_TRANSFORMER, nullptr, 1));
    EXPECT_FALSE(DeleteCatalogueModel(9, 1));
    EXPECT_TRUE(TraceContains("kind code 0 does not fit"));
    EXPECT_TRUE(TraceContains("unknown kind code 9"));
    EXPECT_EQ(feeder.GetModel(), "");
}

TEST_P(CatalogueRoutinesTest, UpdateOfAMissingRowOrUnknownModeIsRefused) {
    CTransformer transformer;
    transformer.SetModel("X");
    EXPECT_FALSE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 0, &transformer, 999999));
    EXPECT_FALSE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 5, &transformer, 1));
    EXPECT_EQ(StopBoxes(), 2);
    EXPECT_EQ(CountRows("Para_Transformer"), jdtest::SeedRows("Para_Transformer.csv").size());
}

TEST_P(CatalogueRoutinesTest, StockAddAndUpdate) {
    // The seed has a stock row for this model.
    ASSERT_TRUE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-800/10"));
    CElectricMotor seeded;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &seeded, "KBSGZY-800/10"));
    EXPECT_EQ(seeded.GetStockKey(), "KBSGZY-800/10");
    EXPECT_EQ(seeded.GetDepartment(), G("机电科"));
    EXPECT_EQ(seeded.GetFactoryDate(), "2006-01-31");

    const CString key = "KBSG-200/6";
    EXPECT_FALSE(StockRecordExists(JD_STOCK_KIND, key));
    CElectricMotor fresh;
    EXPECT_FALSE(LoadStockRecord(JD_STOCK_KIND, &fresh, key));  // no row: texts stay empty
    EXPECT_EQ(fresh.GetDeviceName(), "");
    fresh.SetDeviceNumber("BD-17");
    fresh.SetPlace(G("采区变电所"));
    ASSERT_TRUE(SaveStockRecord(JD_STOCK_KIND, 1, &fresh, key));
    EXPECT_TRUE(StockRecordExists(JD_STOCK_KIND, key));
    EXPECT_FALSE(SaveStockRecord(JD_STOCK_KIND, 1, &fresh, key));  // added twice
    EXPECT_EQ(StopBoxes(), 1);

    CElectricMotor edited;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &edited, key));
    EXPECT_EQ(edited.GetDeviceNumber(), "BD-17");
    EXPECT_EQ(edited.GetPlace(), G("采区变电所"));
    edited.SetPlace(G("中央变电所"));
    ASSERT_TRUE(SaveStockRecord(JD_STOCK_KIND, 0, &edited, key));
    CElectricMotor reread;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &reread, key));
    EXPECT_EQ(reread.GetPlace(), G("中央变电所"));
    EXPECT_EQ(reread.GetDeviceNumber(), "BD-17");
}

TEST_P(CatalogueRoutinesTest, StockUpdateUnderAnEditedKeyMovesTheRow) {
    CElectricMotor row;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &row, "KBSGZY-800/10"));
    row.SetStockKey("KBSGZY-800/6");
    ASSERT_TRUE(SaveStockRecord(JD_STOCK_KIND, 0, &row, "KBSGZY-800/10"));
    EXPECT_FALSE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-800/10"));
    CElectricMotor moved;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &moved, "KBSGZY-800/6"));
    EXPECT_EQ(moved.GetDepartment(), G("机电科"));

    // Moving onto a key another row has is refused and changes nothing.
    moved.SetStockKey("PBG-200/6(10)");
    EXPECT_FALSE(SaveStockRecord(JD_STOCK_KIND, 0, &moved, "KBSGZY-800/6"));
    EXPECT_EQ(StopBoxes(), 1);
    EXPECT_TRUE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-800/6"));
    CElectricMotor other;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &other, "PBG-200/6(10)"));
    EXPECT_EQ(other.GetDeviceNumber(), "GK-0007");
    // Updating a key that has no row is refused too; kinds other than 1 are not kept.
    EXPECT_FALSE(SaveStockRecord(JD_STOCK_KIND, 0, &other, "nothing"));
    EXPECT_FALSE(StockRecordExists(2, "PBG-200/6(10)"));
}

TEST_P(CatalogueRoutinesTest, ListsComeInTheirOrderAndAddedItemsPersist) {
    EXPECT_EQ(ListText(GetHighVoltageList), "10000;6000");
    EXPECT_EQ(ListText(GetCapacityList).rfind("3150;2500;2000;1600;1250;", 0), 0u);
    ASSERT_TRUE(AddHighVoltage("35000"));
    ASSERT_TRUE(AddHighVoltage(" 35000 "));  // already there: not added again
    ASSERT_TRUE(AddLowVoltage("693"));
    ASSERT_TRUE(AddFeederVoltage("10000"));
    // Each call above and below runs on a connection of its own.
    EXPECT_EQ(ListText(GetHighVoltageList), "10000;6000;35000");
    EXPECT_EQ(ListText(GetLowVoltageList), "3450;1200;690;400;133;693");
    EXPECT_EQ(ListText(GetFeederVoltageList), "3300;1140;660;380;127;10000");
    EXPECT_EQ(Boxes().size(), 0u);

    EXPECT_FALSE(AddLowVoltage("abc"));
    EXPECT_FALSE(AddLowVoltage(""));
    EXPECT_FALSE(AddLowVoltage("660;380"));
    EXPECT_FALSE(AddLowVoltage("-660"));
    // strtod read these as 26, infinity and NaN: none is a voltage.
    EXPECT_FALSE(AddLowVoltage("0x1A"));
    EXPECT_FALSE(AddLowVoltage("inf"));
    EXPECT_FALSE(AddLowVoltage("nan"));
    EXPECT_FALSE(AddLowVoltage("1e999"));
    EXPECT_EQ(StopBoxes(), 8);
    EXPECT_EQ(ListText(GetLowVoltageList), "3450;1200;690;400;133;693");
}

TEST(SplitVoltageListTest, SplitsTrimsAndReplaces) {
    CStringArray items;
    items.Add("old");
    SplitVoltageList(" 10000; 6000;;35000 ;", &items);
    ASSERT_EQ(items.GetSize(), 3);
    EXPECT_EQ(items[0], "10000");
    EXPECT_EQ(items[1], "6000");
    EXPECT_EQ(items[2], "35000");
    SplitVoltageList("", &items);
    EXPECT_EQ(items.GetSize(), 0);
    SplitVoltageList(nullptr, &items);
    SplitVoltageList("1", nullptr);
    EXPECT_EQ(items.GetSize(), 0);
}

TEST_P(CatalogueRoutinesTest, ComboItemsAreAppendedOnlyWhenAbsent) {
    CWnd dialog;
    ASSERT_TRUE(dialog.Create(WindowKind::Generic, "dialog", 0, CRect(0, 0, 200, 200), nullptr, 1));
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WindowKind::DropDown, "", 0, CRect(0, 0, 80, 120), &dialog, 12001));
    combo.AddString("10000");
    combo.AddString("6000");
    char* list = GetHighVoltageList();
    CStringArray items;
    SplitVoltageList(list, &items);
    std::free(list);
    ASSERT_TRUE(AddHighVoltage("3300"));
    list = GetHighVoltageList();
    SplitVoltageList(list, &items);
    std::free(list);
    for (const CString& item : items) AddComboItem(&combo, item);
    ASSERT_EQ(combo.GetCount(), 3);
    CString text;
    combo.GetLBText(2, text);
    EXPECT_EQ(text, "3300");
    EXPECT_EQ(AddComboItem(&combo, "6000"), 1);
    EXPECT_EQ(AddComboItem(nullptr, "6000"), CB_ERR);
}

TEST_P(CatalogueRoutinesTest, StepChoicePersists) {
    EXPECT_EQ(GetStepChoiceFlag(), 0);  // the seed's value
    ASSERT_TRUE(SetStepChoiceFlag(1));
    EXPECT_EQ(GetStepChoiceFlag(), 1);
    ASSERT_TRUE(SetStepChoiceFlag(0));
    EXPECT_EQ(GetStepChoiceFlag(), 0);
}

TEST_P(CatalogueRoutinesTest, TwoConnectionsWritingAtOnceLoseNothing) {
    // Two hosts on one catalogue: each holds its own connection open for its
    // model writes and adds list items through the routines, which open
    // connections of their own, all at the same time.
    constexpr int kModels = 20;
    constexpr int kVoltages = 8;
    const DWORD before = CountRows("Para_Transformer");
    auto host = [&](int hostNumber, std::vector<DWORD>* ids, int* failures) {
        CADODatabase database;
        if (!OpenJDDatabase(&database)) {
            ++*failures;
            return;
        }
        for (int i = 0; i < kModels; ++i) {
            CTransformer transformer;
            transformer.SetModel(CString::Formatted("HOST%d-%d", hostNumber, i));
            transformer.SetCapacity(100 + i);
            if (transformer.SetParaDBData(&database, 1, 0)) {
                ids->push_back(transformer.GetModelId());
            } else {
                ++*failures;
            }
            if (i < kVoltages && !AddHighVoltage(CString::Formatted("%d", 20000 + hostNumber * 100 + i))) ++*failures;
        }
        CloseJDDatabase(&database);
    };
    std::vector<DWORD> idsA, idsB;
    int failuresA = 0, failuresB = 0;
    std::thread a(host, 1, &idsA, &failuresA);
    std::thread b(host, 2, &idsB, &failuresB);
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
    EXPECT_EQ(CountRows("Para_Transformer"), before + 2 * kModels);
    std::set<DWORD> ids(idsA.begin(), idsA.end());
    ids.insert(idsB.begin(), idsB.end());
    EXPECT_EQ(ids.size(), static_cast<size_t>(2 * kModels));
    CStringArray items;
    char* list = GetHighVoltageList();
    SplitVoltageList(list, &items);
    std::free(list);
    EXPECT_EQ(items.GetSize(), 2 + 2 * kVoltages);
    for (int hostNumber : {1, 2}) {
        for (int i = 0; i < kVoltages; ++i) {
            const CString voltage = CString::Formatted("%d", 20000 + hostNumber * 100 + i);
            EXPECT_TRUE(std::find(items.begin(), items.end(), voltage) != items.end()) << voltage.GetString();
        }
    }
    CTransformer check;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &check, idsB.back()));
    EXPECT_EQ(check.GetModel(), CString::Formatted("HOST2-%d", kModels - 1));
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogueRoutinesTest, jdtest::BothEngines(), jdtest::EngineName);

}  // namespace
