#pragma once
// What the switch setting dialogs (feeder switch, high-voltage switch) and the
// Set Transformer dialog share: looking objects up by kind and name, the
// short-circuit point combo, flashing an object's outline on the map, the
// sensitivity figure and the messages of its check, the questions of OK, the
// object-name check, and the catalogue model list with its context menu,
// delete command and the voltage a detail dialog hands back.
//
// Nothing here knows which dialog calls it: each dialog passes its own
// controls, lists, catalogue kind and texts that differ between dialogs.
#include "module/ModuleResources.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"
#include "platform/WinDef.h"

class CComboBox;
class CMorvaObjects;
class CMyListBox;
class CWnd;

// ---- Numbers ----------------------------------------------------------------------

// The value, or 0 when it is NaN or infinite: what reaches a record or a text.
JDMODULE_API double FiniteOrZero(double value);
// numerator / denominator, 0 when the denominator counts as zero (|d| ≤ 1e-9)
// or the quotient is not finite.
JDMODULE_API double SafeRatio(double numerator, double denominator);

// ---- Kernel objects -----------------------------------------------------------------

// The kind name (query 16397) and the object name (object record); empty for
// an unknown handle.
JDMODULE_API CString ObjectKindName(LONG handle);
JDMODULE_API CString ObjectName(LONG handle);
JDMODULE_API bool IsShortCircuitPoint(LONG handle);   // kind "短路点"

// The first short-circuit point of the list whose object name equals the name
// byte for byte; 0 when none does.
JDMODULE_API LONG FindShortPointByName(const CKernelObjectArray& objects, const CString& name);
// The first short-circuit point of the list whose owner (field 161 sub 7)
// equals the name byte for byte; 0 when none does or the name is empty.
JDMODULE_API LONG FindShortPointOfOwner(CMorvaObjects* map, const CKernelObjectArray& objects,
                                        const CEntityIdArray& ids, const CString& ownerName);
// Two-phase short-circuit current of a point (field 161 sub 1), A; 0 for no
// point, a point without the field, or a value that is not a finite number.
JDMODULE_API double ReadShortPointCurrent(CMorvaObjects* map, LONG point, const CKernelObjectArray& objects,
                                          const CEntityIdArray& ids);

// Empties the combo, adds " " (no point) as row 0 and then the name of every
// short-circuit point of the list in list order; selects the first row whose
// text equals `name`, row 0 when none does.
JDMODULE_API void FillShortPointCombo(CComboBox& combo, const CKernelObjectArray& objects, const CString& name);

// ---- Flashing an object on the map ---------------------------------------------------

inline constexpr int kFlashRounds = 6;
inline constexpr unsigned kFlashPauseMs = 100;
inline constexpr int kFlashPenWidth = 3;

// Draws the object's outline (queries 16389 and 16390, converted with
// MapToClient and floored to pixels) six times into the map window, each time
// with a solid pen 3 pixels wide whose colour follows `penFlag`: the flag is
// inverted before each drawing, red RGB(255,0,0) when it is then 1, green
// when 0. The caller keeps the flag (each dialog has its own, with its own
// starting value) so the alternation goes on across calls. Each drawing is
// followed by a 100 ms pause (PauseForDisplay: a desktop host waits, scripts
// and tests do not), then the map is redrawn. An outline of n ≥ 2 points is
// drawn as the closed polygon 0 → … → n−1 → 0; fewer points draw nothing and
// leave the map alone. Returns the number of outline points drawn.
JDMODULE_API int FlashObject(CMorvaObjects* map, LONG handle, int& penFlag);

// ---- Sensitivity ------------------------------------------------------------------------

// Least acceptable sensitivity of a switch's short-circuit setting (1.5 itself passes).
inline constexpr double kLeastSensitivity = 1.5;

// Ik / Iset, both in A; 0 when |Iset| ≤ 1e-9 or either value is not finite.
JDMODULE_API double ComputeSensitivity(double settingCurrentA, double shortCircuitCurrentA);
JDMODULE_API bool SensitivityPasses(double sensitivity);

// "请选择校验短路点！" with the stop icon: the check has no point.
JDMODULE_API void ShowNoShortPointMessage(CWnd& owner);
// The verdict: at least 1.5 gives "该开关的灵敏度为 " + "%0.2f" with the
// information icon; below it "该开关的灵敏度为 " + number + "！" without icon,
// then `failureAdvice` (what the dialog tells the user to do) without icon.
JDMODULE_API void ShowSensitivityVerdict(CWnd& owner, double sensitivity, const CString& failureAdvice);

// The Yes/No questions of the switch dialogs' OK; true = Yes (go on).
JDMODULE_API bool AskContinueWithoutShortPoint(CWnd& owner);   // "提示：没有选择短路点, 是否继续？"
JDMODULE_API bool AskContinueWithSettingBelowCalc(CWnd& owner);  // "提示：开关整定值选择应小于实际计算的整定值, ..."

// ---- Object name --------------------------------------------------------------------------

// Reads the object record, puts the name into its name field, writes it back.
// The name must fit the field (31 bytes and the terminator); a longer one is cut.
JDMODULE_API void SetObjectName(LONG hObject, const CString& name);
// The name check of OK: a name longer than 31 bytes is refused with its own
// message and the focus goes to `nameEditId`; a name no other object carries
// (IsObjectNameFree) or the empty name is given to the object; a taken name
// gives "输入的名称在图中已经存在，请更换名称输入!". True when the name was set.
JDMODULE_API bool ApplyObjectName(CWnd& owner, CMorvaObjects* map, LONG* hObject, CKernelObjectArray* objects,
                                  const CString& name, int nameEditId);
// The same check without giving the name to the object, for a dialog that
// still has questions to ask before it changes the drawing (SetObjectName then).
JDMODULE_API bool CheckObjectName(CWnd& owner, CMorvaObjects* map, LONG* hObject, CKernelObjectArray* objects,
                                  const CString& name, int nameEditId);

// ---- Catalogue model list -------------------------------------------------------------------

// "无适用设备", the last row of every model list.
JDMODULE_API const CString& NoModelRowText();

// Empties the list and the ids, runs the query on the catalogue and adds one
// row ("Model") per record with its "ID" in `ids` (0 for an ID that cannot be
// read as a positive number: the owner's OK refuses such a row), then the no-model row.
// False when the query could not be opened: list and ids stay empty, without
// the no-model row. Selects nothing: the dialog selects and reacts.
JDMODULE_API bool FillCatalogueModelList(CMyListBox& list, CDWordArray& ids, const CString& query);
// A row that stands for a catalogue model (not the last row, inside the ids).
JDMODULE_API bool IsModelRow(const CMyListBox& list, const CDWordArray& ids, int row);
// The selected row when it is a model row, else -1 (no selection, the
// no-model row, an empty list).
JDMODULE_API int SelectedModelRow(const CMyListBox& list, const CDWordArray& ids);

// At the owner's window creation: loads menu 5008, hands its first pop-up to
// the list and returns it (null when the menu cannot be loaded).
JDMODULE_API HMENU AttachModelListMenu(CMyListBox& list);
// At the owner's destruction: frees the menu, clears the list's menu and owner.
JDMODULE_API void DetachModelListMenu(CMyListBox& list, HMENU& menu);

// The delete command: for a selected model row asks "是否删除 " + row text +
// " 这个型号？" (caption "请确认", Yes/No) and on Yes deletes the catalogue row
// of that kind. True when a row was deleted (the owner refills its list).
JDMODULE_API bool DeleteSelectedCatalogueModel(CWnd& owner, CMyListBox& list, const CDWordArray& ids, int kind);

// The voltage a detail dialog returned: appended to the voltage combo when no
// row equals it. True when the combo's selected text differs from it (the
// owner then refills its model list).
JDMODULE_API bool AdoptDetailVoltage(CComboBox& voltages, const CString& voltage);

// The items of one of the library's list texts appended to a combo box (each
// through AddComboItem); the heap text is freed.
JDMODULE_API void AppendLibraryListItems(char* heapText, CComboBox& combo);
// The selected row's text; empty when nothing is selected.
JDMODULE_API CString SelectedComboText(const CComboBox& combo);
