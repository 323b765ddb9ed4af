#pragma once
// A cable. It is no device (no stock record) and the system has no cable
// catalogue table, so all four operations answer FALSE and change nothing;
// the members keep the library's layout and are named by kind and position.
#include "equipment/JDDatabase.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CElectricCable final : public CJDDatabase {
public:
    BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) override;
    BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) override;
    BOOL GetStockDBData(CADODatabase* pDatabase, CString strKey) override;
    BOOL SetStockDBData(CADODatabase* pDatabase, int nMode, CString strKey) override;

private:
    CString m_strText1;
    double m_dValue1 = 0.0;
    double m_dValue2 = 0.0;
    LONG m_nValue1 = 0;
    double m_dValue3 = 0.0;
    CString m_strText2;
    CString m_strText3;
    CString m_strText4;
    CString m_strText5;
    CString m_strText6;
    CString m_strText7;
    CString m_strText8;
};

#pragma GCC diagnostic pop
