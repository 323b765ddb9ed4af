#include "equipment/Transformer.h"

#include "equipment/CatalogueRow.h"

BOOL CTransformer::GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) {
    return jdlib::LoadCatalogueRow(pDatabase, "Para_Transformer", dwModelId, *this);
}

BOOL CTransformer::SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) {
    return jdlib::StoreCatalogueRow(pDatabase, "Para_Transformer", nMode, dwModelId, *this);
}
