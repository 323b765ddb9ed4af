#pragma once
// The equipment library's routines that work on the map: the map's object
// lists, motors and their currents, cable values, short-circuit points,
// voltage loss, labels, setting notes, and the points where the command module
// plugs in its dialogs.
//
// Handles are kernel object handles, ids entity ids. The kernel routines work
// on the map the host session attached (KernelCurrentMap); the map control,
// where a routine takes one, is used for the attribute records, the selection
// and the redraw, so that those accesses go through the host like every other.
// A null map control makes a routine that needs one do nothing and answer 0.
//
// No routine throws; bad arguments (null pointers, unknown handles) give 0,
// FALSE or an empty result.
#include <functional>
#include <unordered_map>

#include "equipment/Export.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;
class AttributeRun;

// ---- The map's objects --------------------------------------------------------

// Fills both lists, index-aligned, with every object of the map in document
// order: symbols, lines (cables) and short-circuit points alike, since the
// searches of the setting dialogs look for all three in them. The lists are
// emptied first. Returns the number of objects (0 when no map is attached).
JDBASE_API int CollectMapObjects(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds);

// Nonzero for a transformer that may be set: kind "移动变电站" or "矿用变压器".
JDBASE_API BOOL IsTransformer(LONG hObject);

// Nonzero when the object is locked against setting in the map (the map
// file's "locked"). nWhat is 1 for the transformer setting; every value asks
// the same lock.
JDBASE_API BOOL IsSettingBlocked(LONG hObject, int nWhat);

// The object's entity id: looked up in the parallel lists first, in the map
// when the lists do not hold the handle (or are null). 0 for no object.
JDBASE_API LONG GetObjectEntity(CMorvaObjects* pMap, LONG hObject, CKernelObjectArray* pObjects,
                                CEntityIdArray* pIds);

// GetObjectEntity for many handles against the same lists, from one pass over
// them: a handle's id is the id at its first place in the lists, the map's
// (indexed) answer when the lists do not hold it. The answers are those of
// GetObjectEntity as long as the lists are not changed; build a new index
// after changing them.
class JDBASE_API CObjectEntityIndex {
public:
    CObjectEntityIndex(const CKernelObjectArray* pObjects, const CEntityIdArray* pIds);
    LONG Find(CMorvaObjects* pMap, LONG hObject) const;

private:
    std::unordered_map<LONG, LONG> m_idOfHandle;
};

// Nonzero when no object other than *phObject carries the (GBK) name, among
// the objects of the list (the whole map when the list is null or empty). An
// empty name is always free.
JDBASE_API BOOL IsObjectNameFree(CMorvaObjects* pMap, LONG* phObject, CKernelObjectArray* pObjects,
                                 const char* name);

// The project's low-voltage level of the open map, V (660 when no map is open).
JDBASE_API int GetDefaultLowVoltage();

// ---- Registration points of the command module ---------------------------------
//
// The library opens the module's dialogs only through these: the module
// registers its launchers when it loads and clears them (an empty function)
// when it unloads.

using SetTransformerLauncher =
    std::function<int(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds, LONG nEntityId,
                      LONG hObject)>;
// Returns what the head routine returns: 1 (IDOK) when the head was set, *pSet
// then nonzero when a switch is now stored (0 when it was cleared).
using HeadLauncher = std::function<int(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                       LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet)>;

JDBASE_API void RegisterSetTransformerLauncher(SetTransformerLauncher launcher);
JDBASE_API void RegisterHeadLaunchers(HeadLauncher highVoltage, HeadLauncher lowVoltage);
// One head at a time: the high-voltage and the feeder switch dialogs register
// (and clear) their own launcher without touching the other's.
JDBASE_API void RegisterHighVoltageHeadLauncher(HeadLauncher highVoltage);
JDBASE_API void RegisterLowVoltageHeadLauncher(HeadLauncher lowVoltage);
JDBASE_API bool HasSetTransformerLauncher();

// Sets the picked transformer through the registered launcher and returns its
// result when it is done. Without a launcher: a diagnostic line (the session
// transcript shows it) and 0.
JDBASE_API int RunSetTransformer(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                 LONG nEntityId, LONG hObject);
// The heads of a mobile substation. nMode is 1. Without a launcher: a
// diagnostic line, 0, and nothing changed (*pSet untouched).
JDBASE_API int SetHighVoltageHead(int nMode, CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                  LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet);
// The four trailing values are passed as 0, 0, -1, -1 and not used.
JDBASE_API int SetLowVoltageHead(int nMode, CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                 LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet, int nReserved1 = 0,
                                 int nReserved2 = 0, int nReserved3 = -1, int nReserved4 = -1);

// ---- Motors ----------------------------------------------------------------------

// Indexes of GetMotorData's values.
inline constexpr int JD_MOTOR_RATED_POWER_KW = 0;
inline constexpr int JD_MOTOR_RATED_CURRENT_A = 1;
inline constexpr int JD_MOTOR_RATED_VOLTAGE_V = 2;
inline constexpr int JD_MOTOR_START_CURRENT_A = 3;
inline constexpr int JD_MOTOR_POWER_FACTOR = 4;
inline constexpr int JD_MOTOR_VALUE_COUNT = 5;

// Nonzero for a motor: an object that carries motor data in the map.
JDBASE_API BOOL IsMotorObject(LONG hObject);
// Nonzero for a motor set to running (not a spare).
JDBASE_API BOOL IsMotorRunning(LONG hObject);
JDBASE_API BOOL HasMotorData(CMorvaObjects* pMap, LONG nEntityId);
// Fills min(nCount, 5) values in the order of the indexes above; FALSE (and
// nothing written) for an entity without motor data.
JDBASE_API BOOL GetMotorData(CMorvaObjects* pMap, LONG* pEntityId, double* pValues, int nCount);
// Nonzero when the motor starts together with the other such motors of its
// starter or circuit.
JDBASE_API BOOL IsGroupStartMotor(CMorvaObjects* pMap, LONG* pEntityId);

// Appends the motors the transformer feeds, spare ones included, depth first
// in connection order: the walk follows outgoing lines through switches,
// starters and protection units and stops at another transformer. nMode is 0.
// Returns the number appended.
JDBASE_API int CollectSuppliedMotors(int nMode, LONG hTransformer, CKernelObjectArray* pMotors);

// What each block of CollectStatMotors holds (the entry's value is the motor's
// handle). Currents on the primary side are the motor's currents times
// ratioToPrimary = U2 / U1 of the supplying transformer.
struct StatMotorBlock {
    LONG entityId = 0;
    LONG starter = 0;           // handle of the motor's starter, 0 when none
    LONG groupStart = 0;        // 1 when it starts together with its starter's other group motors
    LONG running = 0;           // 1 running, 0 spare
    double ratedPowerKW = 0.0;
    double ratedCurrentA = 0.0;   // secondary side
    double startCurrentA = 0.0;   // secondary side
    double ratioToPrimary = 0.0;  // U2 / U1
    double primaryRatedCurrentA = 0.0;
    double primaryStartCurrentA = 0.0;
};

// Appends the motors that count for the transformer's high-voltage data: the
// motors it feeds that carry motor data and run (nMode 0; nMode 1 takes spare
// motors as well), with one block per motor allocated by the kernel
// (AllocateKernelBlock) holding a StatMotorBlock. The caller frees every
// non-null block with FreeKernelBlock. Returns the number appended.
JDBASE_API int CollectStatMotors(CMorvaObjects* pMap, LONG hTransformer, CKernelObjectArray* pMotors,
                                 CKernelBlockArray* pBlocks, int nMode);
// CollectStatMotors for a caller that holds the transformer's supplied motors
// already (what CollectSuppliedMotors appended for it, in its order, on the
// map as it is): the same motors and blocks without walking the network again.
JDBASE_API int CollectStatMotorsOf(CMorvaObjects* pMap, LONG hTransformer, const CKernelObjectArray* pSupplied,
                                   CKernelObjectArray* pMotors, CKernelBlockArray* pBlocks, int nMode);

// The transformer's three high-voltage currents from a list of motors, each
// referred to the primary side of the transformer that feeds it (U2/U1 of its
// model record 163, the project's voltages when it has none):
// *pMaxStart the largest starting current of a motor or of a group of motors
// that start together (the group's sum); *pAllRated the sum of all rated
// currents; *pOtherRated the rated currents of all but that motor or group.
// Motors without data count nothing. FALSE for a null argument.
JDBASE_API BOOL CalcMotorCurrents(CKernelObjectArray* pMotors, double* pMaxStart, double* pAllRated,
                                  double* pOtherRated);

// Selects the motors on the map (the selection set holds exactly their
// entities afterwards), redraws them and reports them in a diagnostic line
// for the transcript. Returns the number shown.
JDBASE_API int ShowControlledMotors(CKernelObjectArray* pMotors, CMorvaObjects* pMap);

// ---- Object and cable values -------------------------------------------------------

// The transformer's load record 151: one text per sub-index, in the order
// given. The array is emptied first; a transformer without field 151 gives
// no texts. Returns the number of texts.
JDBASE_API int ReadObjectValues(LONG hObject, int nCount, int* pSubs, CStringArray* pValues);

// Value numbers of ReadLineValues.
inline constexpr int JD_LINE_LENGTH_M = 0;        // field 155 sub 0
inline constexpr int JD_LINE_CROSS_SECTION = 1;   // field 167 sub 4, mm²
inline constexpr int JD_LINE_MODEL_ID = 2;        // field 167 sub 0
inline constexpr int JD_LINE_DESIGNATION = 3;     // field 167 sub 1
inline constexpr int JD_LINE_RATED_VOLTAGE = 4;   // field 167 sub 2, V

// A cable's values by the numbers above, texts as stored (an absent record
// gives the empty text). Returns the number of texts (nCount for a line, 0
// when the handle names no line).
JDBASE_API int ReadLineValues(LONG hLine, int nCount, int* pSubs, CStringArray* pValues);

// Factor converting a cable's length to the length of the 50 mm² reference
// cable of 380/660/1140 V networks (nMode 1) or the 4 mm² reference of 127 V
// networks (nMode 0). A cross-section between the table's rows is taken by
// impedance; 0 or less gives 0 (no cable data). docs/engineering.md.
JDBASE_API double GetLengthFactor(int nMode, int nCrossSection);

// ---- Short-circuit points and voltage loss ------------------------------------------

// Fills the two output lists (emptied first), index-aligned, with the
// short-circuit points among the objects whose supply path (field 161 sub 11)
// names the transformer: field 2 of a kind "0" path, field 3 of a kind "1"
// path, up to its first ",". nMode is 1; the two empty texts are not used.
// Returns the number found.
JDBASE_API int FindShortCircuitPoints(CMorvaObjects* pMap, int nMode, CString strReserved1, CString strTransformer,
                                      CString strReserved2, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                      CKernelObjectArray* pPoints, CEntityIdArray* pPointIds);

// Held around a loop that recomputes many points of one transformer and
// changes no line, no name and not the catalogue (records and labels only):
// the runs above the transformer are then followed once, not once per point;
// each name a point's recomputation looks for is searched once; and the
// catalogue is read once per model, so a refusing catalogue is reported once
// for the loop. Inner scopes use the outermost one's memory.
class JDBASE_API CUnchangedLinesScope {
public:
    CUnchangedLinesScope();
    ~CUnchangedLinesScope();
    CUnchangedLinesScope(const CUnchangedLinesScope&) = delete;
    CUnchangedLinesScope& operator=(const CUnchangedLinesScope&) = delete;

private:
    void* m_memo;
};

// Recomputes the two-phase short-circuit current of a point and stores it in
// field 161 sub 1 ("%0.2f"). Kind 1: from the loop totals dSumR, dSumX and the
// secondary voltage. Kind 0: from the transformer data (model prefix and
// capacity) and the point's cable run on the map; strField is the path's
// converted length, used when the run cannot be followed. docs/engineering.md
// gives the method. FALSE when nothing could be computed (nothing written).
JDBASE_API BOOL RecalcShortCircuitPoint(CMorvaObjects* pMap, LONG hPoint, LONG nPointId, CString strPointName,
                                        CString strVoltage, int nKind, CString strPrefix, CString strCapacity,
                                        CString strField, double dSumR, double dSumX);

// Stores the supply-path text in field 161 sub 11. FALSE when the point has
// no field 161.
JDBASE_API BOOL WritePointPath(CMorvaObjects* pMap, LONG nPointId, CString strPath);

// RecalcShortCircuitPoint(pMap, hPoint, nPointId, "", strVoltage, …) followed by
// WritePointPath(pMap, nPointId, strPath), as OK of the Set Transformer dialog
// runs them for every point whose path changed, the records written within
// `run` (a run over pMap): when the current goes to entity nPointId, the
// current and the path share one opening of its field 161. The same records,
// labels and refusals as the two calls; returns what RecalcShortCircuitPoint returns.
JDBASE_API BOOL RecalcShortCircuitPointAndPath(AttributeRun& run, CMorvaObjects* pMap, LONG hPoint, LONG nPointId,
                                               const CString& strVoltage, int nKind, const CString& strPrefix,
                                               const CString& strCapacity, const CString& strField, double dSumR,
                                               double dSumX, CString strPath);

// Computes the voltage loss of the transformer and of its worst cable run and
// stores it in field 160 ("%.2f"): sub 0 total V, 1 percent of the rated
// network voltage, 7 transformer, 8 trunk cables, 9 branch cables. nMode is
// 0. FALSE when the transformer has no field 160 (nothing written).
JDBASE_API BOOL CalcVoltageLoss(CMorvaObjects* pMap, LONG hTransformer, LONG nEntityId, int nMode);

// ---- Labels --------------------------------------------------------------------------

// Nonzero for the types the library labels itself: "移动变电站".
JDBASE_API BOOL IsLabelledType(CString strType);

// Labels the object: pLabels holds [designation, name]. With a designation:
// label 0 the designation, label 1 the name (style GetLabelStyle()), and for
// a mobile substation whose heads are set a label 2 naming the head switches;
// placements (0, 8, 9) are rewritten only when nChanged is nonzero. Without a
// designation every existing label is emptied. nMode is 0. FALSE for a null
// argument or an unknown object.
JDBASE_API BOOL LabelObject(int nMode, CMorvaObjects* pMap, CString strType, LONG* phObject, CStringArray* pLabels,
                            int nChanged);

// The style of an object's name label (1: the smaller name text).
JDBASE_API int GetLabelStyle();

// ---- Setting notes ----------------------------------------------------------------------

// Completes a feeder switch's setting note: appends the setting current, the
// protection, the short-circuit current of the check point, the sensitivity
// and its verdict (at least 1.5) to the note the dialog began. The texts are
// GBK numbers as the dialog formatted them.
JDBASE_API void BuildSwitchNote(CString strDeviceType, CString strProtection, CString strIk, CString strSetting,
                                CString strSensitivity, CString* pNote);

// Stores the note for the object of that name (the first object carrying it),
// under the key "lowVoltageHead" when the note speaks of the low-voltage side
// ("低压侧"), "highVoltageHead" for the high-voltage side ("高压侧"),
// "setting" otherwise; marks the map modified. FALSE when no object has the name.
JDBASE_API BOOL WriteSwitchNote(CMorvaObjects* pMap, CString strObjectName, CString strNote);
