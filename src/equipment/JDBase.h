#pragma once
// The equipment library's catalogue routines: opening the catalogue, loading,
// saving and deleting catalogue models, the stock record, the voltage and
// capacity lists, the remembered step choice.
//
// Every routine that reaches the catalogue opens its own connection and
// closes it before returning. Failures are shown to the user (stop icon) and
// answered with FALSE (or an empty list); no exception leaves a routine.
//
// Where the catalogue is: the path set with SetCataloguePath (jdhost's
// --catalogue), else $JDHOST_CATALOGUE, else the per-user file
// $XDG_DATA_HOME/jdhost/catalogue.db (~/.local/share when XDG_DATA_HOME is not
// set). Only the per-user file is created when missing, from the shipped
// schema and seed (docs/catalogue.md says where they are looked for).
#include <string>

#include "equipment/Export.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CADODatabase;
class CDevice;
class CComboBox;

// Catalogue kind codes, as the dialogs pass them.
inline constexpr int JD_KIND_TRANSFORMER = 0;
inline constexpr int JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL = 1;  // loading from the detail dialog
inline constexpr int JD_KIND_AUTOMATIC_SWITCH = 2;            // also: loading a high-voltage switch in its setting dialog
inline constexpr int JD_KIND_HIGH_VOLTAGE_SWITCH = 4;         // saving and deleting high-voltage switches
// The stock routines' only kind.
inline constexpr int JD_STOCK_KIND = 1;

// The separator between the items of a list text ("10000;6000").
inline constexpr char JD_LIST_SEPARATOR = ';';

// Process-wide catalogue path (jdhost --catalogue); null or empty clears it.
JDBASE_API void SetCataloguePath(const char* path);
// The path the next OpenJDDatabase will use (empty when none can be formed).
JDBASE_API std::string ResolveCataloguePath();

// Opens the catalogue on the object: nonzero when open. Creates the per-user
// catalogue first when it does not exist yet; refuses a file whose schema
// version is not ours.
JDBASE_API BOOL OpenJDDatabase(CADODatabase* pDatabase);
// Closes it; harmless when the open failed.
JDBASE_API void CloseJDDatabase(CADODatabase* pDatabase);

// Kind codes: 0 transformer (CTransformer), 2 feeder switch (CAutomaticSwitch),
// 1, 2 or 4 high-voltage switch (CHighVoltageSwitch): the object decides the
// table; a kind that does not fit the object is refused (traced, FALSE).
JDBASE_API BOOL LoadCatalogueModel(int nKind, CDevice* pDevice, DWORD dwModelId);
// Mode 1 adds a row (pass id 0): the catalogue assigns the id and the object
// keeps it (GetModelId). Mode 0 updates the row dwModelId.
JDBASE_API BOOL SaveCatalogueModel(int nKind, int nMode, CDevice* pDevice, DWORD dwModelId);
// Kind 0, 2 or 4 (1 is taken as 4). FALSE when there was no such row.
JDBASE_API BOOL DeleteCatalogueModel(int nKind, DWORD dwModelId);

// Stock routines; the kind is always 1. Load: FALSE when no row has the key.
// Save mode 1 adds a row under the key; mode 0 updates the row under the key
// and, when the object's key text (CDevice::GetStockKey) is set and differs,
// moves the row to that key: that is how a key edited in the stock view is
// kept.
JDBASE_API BOOL LoadStockRecord(int nKind, CDevice* pDevice, CString strKey);
JDBASE_API BOOL StockRecordExists(int nKind, CString strKey);
JDBASE_API BOOL SaveStockRecord(int nKind, int nMode, CDevice* pDevice, CString strKey);

// The lists as one zero-terminated GBK text, items separated by ';', in a
// block from malloc that the caller frees with free(). Never null unless
// memory runs out; an empty text when the catalogue cannot be read.
JDBASE_API char* GetHighVoltageList();
JDBASE_API char* GetLowVoltageList();
JDBASE_API char* GetFeederVoltageList();
JDBASE_API char* GetCapacityList();
// Replaces the array's contents with the items of such a text; blanks around
// items and empty items are dropped.
JDBASE_API void SplitVoltageList(const char* text, CStringArray* pItems);
// Appends a voltage to a list (kept in the catalogue) unless it is there
// already. The text must be a positive number (blanks around it are dropped);
// anything else is refused with a message. TRUE when the list holds it afterwards.
JDBASE_API BOOL AddHighVoltage(CString strVoltage);
JDBASE_API BOOL AddLowVoltage(CString strVoltage);
JDBASE_API BOOL AddFeederVoltage(CString strVoltage);
// Appends the text to the combo box when no item equals it (exact bytes);
// returns the item's index (CB_ERR for a null combo box or text).
JDBASE_API int AddComboItem(CComboBox* pCombo, const char* text);

// The remembered choose-by-step state (1 = by step), kept in the catalogue;
// 0 when it cannot be read.
JDBASE_API int GetStepChoiceFlag();
JDBASE_API BOOL SetStepChoiceFlag(int nByStep);

// The routines that work on the map (object lists, motors, short-circuit
// points, voltage loss, labels, notes, the module's registration points).
#include "equipment/MapRoutines.h"
