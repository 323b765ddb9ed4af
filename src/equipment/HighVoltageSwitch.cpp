#include "equipment/HighVoltageSwitch.h"

#include "equipment/CatalogueRow.h"

BOOL CHighVoltageSwitch::GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) {
    return jdlib::LoadCatalogueRow(pDatabase, "Para_HighVoltageSwitch", dwModelId, *this);
}

BOOL CHighVoltageSwitch::SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) {
    return jdlib::StoreCatalogueRow(pDatabase, "Para_HighVoltageSwitch", nMode, dwModelId, *this);
}
