#include "equipment/ElectricCable.h"

// No cable catalogue or cable stock table exists in our catalogue.
BOOL CElectricCable::GetParaDBData(CADODatabase*, DWORD) { return FALSE; }
BOOL CElectricCable::SetParaDBData(CADODatabase*, int, DWORD) { return FALSE; }
BOOL CElectricCable::GetStockDBData(CADODatabase*, CString) { return FALSE; }
BOOL CElectricCable::SetStockDBData(CADODatabase*, int, CString) { return FALSE; }
