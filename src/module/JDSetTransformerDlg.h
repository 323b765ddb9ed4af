#pragma once
// "设置变压器": sets one transformer or mobile substation of the drawing —
// its name, catalogue model, load statistics, running state and heads — and
// on OK writes its records 163, 151 and 158, updates the short-circuit
// points it feeds, recolours and relabels its symbol and has the map redraw
// it. Records are written only by OK; Cancel leaves the drawing untouched.
//
// The creator fills the public inputs after construction and runs DoModal.
// The handlers pull the controls, call a named operation (most of them plain
// functions of LoadStatistics.h, TransformerImpedance.h and
// TransformerRecords.h) and push the members back.
#include "module/ModuleResources.h"
#include "module/MyListBox.h"
#include "platform/Arrays.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class CMorvaObjects;
struct KernelObjectRecord;

class JDMODULE_API CJDSetTransformerDlg : public CDialog {
public:
    explicit CJDSetTransformerDlg(CWnd* pParent = nullptr);
    ~CJDSetTransformerDlg() override;

    // ---- Inputs, set by the creator before DoModal --------------------------------
    CMorvaObjects* m_pMapControl = nullptr;
    LONG m_hObject = 0;                 // kernel handle of the transformer; 0 = nothing picked
    LONG m_nEntityId = 0;               // its entity id: key of its records and of its redraw
    CKernelObjectArray m_objectList;    // the map's objects ...
    CEntityIdArray m_idList;            // ... and their entity ids, index-aligned
    LONG m_nHeadParam = 0;              // handed unchanged to the head-setting routines
    double m_dMaxMotorPower = 0.0;      // Pmax, kW
    double m_dTotalMotorPower = 0.0;    // ΣPe, kW

    // ---- Members exchanged with the controls ----------------------------------------
    CString m_strName;                  // 5000
    CComboBox m_hvCombo;                // 5003
    CComboBox m_lvCombo;                // 5004
    CComboBox m_typeCombo;              // 5023
    CMyListBox m_modelList;             // 5005
    int m_bHvHeadSet = 0;               // 5044
    int m_bLvHeadSet = 0;               // 5045
    int m_nState = 0;                   // 5055/5056: 0 running, 1 stopped
    CComboBox m_loadTypeCombo;          // 5027
    CComboBox m_facesCombo;             // 5028
    double m_dKr = 0.0;                 // 5038
    double m_dCosPhi = 0.0;             // 5039
    double m_dKs = 0.0;                 // 5040
    int m_nSupportType = -1;            // 5041/5042: 0 single props, 1 self-advancing, -1 none
    int m_bSpareMotors = 0;             // 5049
    double m_dCapacity = 0.0;           // 5001, kVA
    double m_dMaxStartCurrent = 0.0;    // 5053, A
    double m_dOtherRatedCurrent = 0.0;  // 5054, A
    double m_dTotalRatedCurrent = 0.0;  // 5058, A
    double m_dApparentPower = 0.0;      // 5057, kVA

    // ---- Working members ----------------------------------------------------------------
    CDWordArray m_modelIds;             // catalogue ID of each model row; none for "无适用设备"
    CKernelObjectArray m_motors;        // motors the transformer supplies
    bool m_bMotorsGiven = false;        // m_motors filled by the opener (CollectSuppliedMotors of m_hObject)
    CKernelObjectArray m_statMotors;    // motors of the high-voltage-side data ...
    CKernelBlockArray m_statBlocks;     // ... and their kernel blocks (released by the destructor)
    double m_dFeederSum = 0.0;
    CString m_strNameAtOpen;
    int m_bNoModelAtOpen = 0;
    int m_nStateAtOpen = 0;
    int m_nLowVoltage = 0;              // the project's low-voltage level, V
    HMENU m_hContextMenu = nullptr;

    // ---- Operations (each also runs from its control's notification) ---------------------
    // Coefficient table and Ks rule for a load type and faces index; pushes the members.
    void ApplyLoadType(const CString& loadType, int facesIndex);
    // Pulls the controls; S = ΣPe · Kr · Ks / cosφ (0 without motors or with cosφ 0).
    double CalcApparentPower();
    void OnLoadStatistics();
    double SumFeederValues(LONG hObject);
    void FillModelList();
    void OnModelSelected();
    void ShowVoltageLoss();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnVoltageChanged();
    afx_msg void OnTypeChanged();
    afx_msg void OnLoadTypeChanged();
    afx_msg void OnFacesChanged();
    afx_msg void OnKrKillFocus();
    afx_msg void OnCosPhiKillFocus();
    afx_msg void OnSupportClicked();
    afx_msg void OnSpareMotorsClicked();
    afx_msg void OnStock();
    afx_msg void OnHvHeadSetClicked();
    afx_msg void OnLvHeadSetClicked();
    afx_msg void OnHvHead();
    afx_msg void OnLvHead();
    afx_msg void OnModelDoubleClick();
    afx_msg void OnDetails();
    afx_msg void OnMenuDetails();
    afx_msg void OnMenuStock();
    afx_msg void OnMenuDelete();
    afx_msg void OnMenuAddModel();
    DECLARE_MESSAGE_MAP()

private:
    // Opening, step by step.
    void AddLibraryVoltages();
    void SelectDefaultsWithoutModel();
    void SelectStoredModel(const CString& type, const CString& primaryVoltage, const CString& secondaryVoltage,
                           LONG modelId);
    void ReadHighVoltageData();

    // Handlers' shared pieces.
    void CheckCoefficientRange(int editId, bool demandCoefficient);
    void ApplyMobileSubstationRule();
    void ShowModelDetails(int row);
    bool AddModel();   // true when a model was added
    void DeleteSelectedModel();
    void ShowStockOfSelectedModel();
    void AppendVoltageWhenAbsent(CComboBox& combo, const CString& voltage);

    // OK, step by step.
    bool CheckName();
    void UpdateShortCircuitPoints(const CString& transformerName, const CString& modelPrefix, double secondaryVoltageV,
                                  double resistanceOhm, double reactanceOhm);
    // Map's current colour, or the layer's when the map draws by layer; then
    // bit 0x1000 of the record's flag word set (setBit) or inverted.
    LONG LookUpColour(KernelObjectRecord& record, bool setBit);
    // Reads the object record, looks the colour up (inverting the flag bit),
    // stores the fixed colour and writes the record back.
    void WriteFixedColour(LONG colour);
    void WriteLabels(bool noModel, const CString& designation, int changed);
    // A stop box naming the latest refused record write when the host refused
    // any since `refusalsBefore` (AttributeWriteRefusals); true when it did.
    bool ReportRefusedWrites(unsigned long refusalsBefore);

    int SelectedRow() const;       // -1 when none
    bool IsModelRow(int row) const;
    CString SelectedText(const CComboBox& combo) const;
};

// The launcher the module registers with the equipment library's
// RunSetTransformer: runs the dialog for the transformer with every input
// filled (Pmax and ΣPe from the motors it supplies: the running ones, and
// the spare ones as well when its load record says they count). Returns
// DoModal's result.
JDMODULE_API int LaunchSetTransformerDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                            LONG nEntityId, LONG hObject);
