#pragma once
// The base of every catalogue object of the equipment library.
//
// The hierarchy keeps the library's binary shape: no virtual destructor (an
// object is always deleted through its own type), four virtual operations in
// this slot order, data members in declaration order. Two things keep the
// compiler's non-virtual-destructor warnings quiet without hiding real
// mistakes: the two abstract bases have protected destructors, so a delete
// through them does not compile, and the classes nothing derives from are
// final, so a delete through their own type is known to be exact.
#include "equipment/Export.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CADODatabase;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class JDBASE_API CJDDatabase {
public:
    CJDDatabase() = default;
    CJDDatabase(const CJDDatabase&) = default;
    CJDDatabase& operator=(const CJDDatabase&) = default;

    // Slot 1: fill the object from the catalogue row with that id.
    virtual BOOL GetParaDBData(CADODatabase* pDatabase, DWORD dwModelId) = 0;
    // Slot 2: store the object in the catalogue; mode 1 adds a row (the
    // catalogue assigns its id), mode 0 updates the row dwModelId.
    virtual BOOL SetParaDBData(CADODatabase* pDatabase, int nMode, DWORD dwModelId) = 0;
    // Slot 3: fill the stock texts from the stock row with that key.
    virtual BOOL GetStockDBData(CADODatabase* pDatabase, CString strKey) = 0;
    // Slot 4: store the stock texts; mode 1 adds a row, mode 0 updates one.
    virtual BOOL SetStockDBData(CADODatabase* pDatabase, int nMode, CString strKey) = 0;

    // The model designation.
    CString GetModel() const { return m_strModel; }
    void SetModel(CString strModel) { m_strModel = strModel; }
    // The catalogue id of the row the object was loaded from or stored as.
    DWORD GetModelId() const { return m_dwModelId; }
    void SetModelId(DWORD dwModelId) { m_dwModelId = dwModelId; }

protected:
    ~CJDDatabase() = default;

    DWORD m_dwModelId = 0;
    CString m_strModel;
};

#pragma GCC diagnostic pop
