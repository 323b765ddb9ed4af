// The equipment classes: copy semantics, the operations of the classes
// without a catalogue table, and the stock texts by position.
#include <gtest/gtest.h>

#include "CatalogueFixture.h"
#include "equipment/ADODatabase.h"
#include "equipment/AutomaticSwitch.h"
#include "equipment/ElectricCable.h"
#include "equipment/HighVoltageSwitch.h"
#include "equipment/OtherDevices.h"
#include "equipment/Transformer.h"

using jdtest::G;

namespace {

void FillTransformer(CTransformer& t, double base) {
    t.SetModelId(static_cast<DWORD>(base));
    t.SetModel(G("KBSGZY-800/10"));
    for (int position = 1; position <= CDevice::kStockTextCount; ++position) {
        t.SetStockText(position, CString::Formatted("stock %d/%g", position, base));
    }
    t.SetType(G("移动变电站"));
    t.SetCapacity(base + 1);
    t.SetHVoltage(base + 2);
    t.SetLVoltage(base + 3);
    t.SetHCurrent(base + 4);
    t.SetLCurrent(base + 5);
    t.SetEmptyLose(base + 6);
    t.SetShortcutLose(base + 7);
    t.SetRXPercent(base + 8);
    t.SetTransR(base + 9);
    t.SetTransX(base + 10);
    t.SetLinkGroup("Y,d11");
}

void ExpectSameTransformer(const CTransformer& a, const CTransformer& b) {
    EXPECT_EQ(a.GetModelId(), b.GetModelId());
    EXPECT_EQ(a.GetModel(), b.GetModel());
    for (int position = 1; position <= CDevice::kStockTextCount; ++position) {
        EXPECT_EQ(a.GetStockText(position), b.GetStockText(position)) << "stock text " << position;
    }
    EXPECT_EQ(a.GetType(), b.GetType());
    EXPECT_EQ(a.GetCapacity(), b.GetCapacity());
    EXPECT_EQ(a.GetHVoltage(), b.GetHVoltage());
    EXPECT_EQ(a.GetLVoltage(), b.GetLVoltage());
    EXPECT_EQ(a.GetHCurrent(), b.GetHCurrent());
    EXPECT_EQ(a.GetLCurrent(), b.GetLCurrent());
    EXPECT_EQ(a.GetEmptyLose(), b.GetEmptyLose());
    EXPECT_EQ(a.GetShortcutLose(), b.GetShortcutLose());
    EXPECT_EQ(a.GetRXPercent(), b.GetRXPercent());
    EXPECT_EQ(a.GetTransR(), b.GetTransR());
    EXPECT_EQ(a.GetTransX(), b.GetTransX());
    EXPECT_EQ(a.GetLinkGroup(), b.GetLinkGroup());
}

TEST(TransformerCopyTest, CopiesStockTextsModelAndAllTwelveValues) {
    CTransformer original;
    FillTransformer(original, 100);
    CTransformer copy(original);
    ExpectSameTransformer(copy, original);

    CTransformer assigned;
    FillTransformer(assigned, 500);
    assigned = original;
    ExpectSameTransformer(assigned, original);

    // The copy is independent of its source.
    copy.SetModel("other");
    copy.SetStockText(5, "other");
    copy.SetTransX(-1);
    EXPECT_EQ(original.GetModel(), G("KBSGZY-800/10"));
    EXPECT_EQ(original.GetStockText(5), "stock 5/100");
    EXPECT_EQ(original.GetTransX(), 110.0);
}

TEST(StockTextTest, PositionsMapToTheNamedTexts) {
    CElectricMotor motor;
    const char* names[] = {"", "key", "number", "name", "maker", "factory no", "made", "first use",
                           "department", "place", "features", "certificate", ""};
    for (int position = 1; position <= 13; ++position) motor.SetStockText(position, names[position - 1]);
    EXPECT_EQ(motor.GetStockKey(), "key");
    EXPECT_EQ(motor.GetDeviceNumber(), "number");
    EXPECT_EQ(motor.GetDeviceName(), "name");
    EXPECT_EQ(motor.GetManufacturer(), "maker");
    EXPECT_EQ(motor.GetFactoryNumber(), "factory no");
    EXPECT_EQ(motor.GetFactoryDate(), "made");
    EXPECT_EQ(motor.GetFirstUseDate(), "first use");
    EXPECT_EQ(motor.GetDepartment(), "department");
    EXPECT_EQ(motor.GetPlace(), "place");
    EXPECT_EQ(motor.GetTechnicalFeatures(), "features");
    EXPECT_EQ(motor.GetSafetyCertificate(), "certificate");
    // Outside 1..13: nothing read, nothing written.
    motor.SetStockText(14, "x");
    motor.SetStockText(0, "x");
    EXPECT_EQ(motor.GetStockText(0), "");
    EXPECT_EQ(motor.GetStockText(14), "");
}

class NoCatalogueTableTest : public jdtest::CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        ASSERT_TRUE(OpenJDDatabase(&m_database));
    }

    // Both operations answer 0 and leave the object as it was.
    template <class Device>
    void ExpectNoCatalogue(Device& device, const char* name) {
        device.SetModel("before");
        device.SetModelId(7);
        device.SetStockText(2, "key");
        EXPECT_EQ(device.GetParaDBData(&m_database, 1), 0) << name;
        EXPECT_EQ(device.SetParaDBData(&m_database, 1, 0), 0) << name;
        EXPECT_EQ(device.SetParaDBData(&m_database, 0, 1), 0) << name;
        EXPECT_EQ(device.GetModel(), "before") << name;
        EXPECT_EQ(device.GetModelId(), 7u) << name;
        EXPECT_EQ(device.GetStockText(2), "key") << name;
    }

    CADODatabase m_database;
};

TEST_F(NoCatalogueTableTest, IntermediateClassesAnswerZeroAndChangeNothing) {
    CCage cage;
    CSkipBucket skip;
    CElevator elevator;
    CFannerCurve fan;
    ExpectNoCatalogue(cage, "CCage");
    ExpectNoCatalogue(skip, "CSkipBucket");
    ExpectNoCatalogue(elevator, "CElevator");
    ExpectNoCatalogue(fan, "CFannerCurve");
    CMultiCage multiCage;
    CSlantingSkipBucket slanting;
    CSingleRopeElevator singleRope;
    CPump pump;
    ExpectNoCatalogue(multiCage, "CMultiCage");
    ExpectNoCatalogue(slanting, "CSlantingSkipBucket");
    ExpectNoCatalogue(singleRope, "CSingleRopeElevator");
    ExpectNoCatalogue(pump, "CPump");
    EXPECT_EQ(Boxes().size(), 0u);
}

TEST_F(NoCatalogueTableTest, CableHasNeitherCatalogueNorStock) {
    CElectricCable cable;
    cable.SetModel("MY-3x50");
    EXPECT_FALSE(cable.GetParaDBData(&m_database, 1));
    EXPECT_FALSE(cable.SetParaDBData(&m_database, 1, 0));
    EXPECT_FALSE(cable.GetStockDBData(&m_database, "MY-3x50"));
    EXPECT_FALSE(cable.SetStockDBData(&m_database, 1, "MY-3x50"));
    EXPECT_EQ(cable.GetModel(), "MY-3x50");
}

TEST_F(NoCatalogueTableTest, FailedLoadLeavesTheObjectUnchanged) {
    CAutomaticSwitch feeder;
    feeder.SetModel("mine");
    feeder.SetCurrent(123);
    EXPECT_FALSE(feeder.GetParaDBData(&m_database, 999999));
    EXPECT_EQ(feeder.GetModel(), "mine");
    EXPECT_EQ(feeder.GetCurrent(), 123.0);
    EXPECT_EQ(StopBoxes(), 1);
    // Without an open catalogue: reported through the database object.
    m_database.Close();
    EXPECT_FALSE(feeder.GetParaDBData(&m_database, 1));
    EXPECT_NE(m_database.GetLastErrorString().str().find("not open"), std::string::npos);
    EXPECT_EQ(feeder.GetModel(), "mine");
}

}  // namespace
