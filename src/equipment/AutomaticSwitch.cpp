#include "equipment/AutomaticSwitch.h"

#include "equipment/CatalogueRow.h"

BOOL CAutomaticSwitch::GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) {
    return jdlib::LoadCatalogueRow(pDatabase, "Para_AutomaticSwitch", dwModelId, *this);
}

BOOL CAutomaticSwitch::SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) {
    return jdlib::StoreCatalogueRow(pDatabase, "Para_AutomaticSwitch", nMode, dwModelId, *this);
}
