#pragma once
// "设置高压开关": chooses the high-voltage switch model of one device of the
// drawing (a mine transformer, a mobile substation, a high-voltage
// distribution box or another device fed at high voltage), shows its computed
// overload and short-circuit settings, takes the values the user sets on the
// switch, checks their sensitivity against a short-circuit point and on OK
// stores model, settings and check in the device's records 176, 177 and 179.
// Cancel leaves the drawing untouched.
//
// The creator fills the public inputs and runs DoModal; after OK,
// m_bHadModel tells whether a model was written. The computations are those
// of CHighVoltageSwitchCalc (HighVoltageSwitchSetting.h); the methods of the
// same names here apply them to the dialog's members.
#include "module/HighVoltageSwitchSetting.h"
#include "module/ModuleResources.h"
#include "module/MyListBox.h"
#include "platform/Arrays.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class CMorvaObjects;

class JDMODULE_API CSetHighVoltageSwitchDlg : public CDialog {
public:
    explicit CSetHighVoltageSwitchDlg(CWnd* pParent = nullptr);
    ~CSetHighVoltageSwitchDlg() override;

    // ---- Inputs, set by the creator before DoModal ------------------------------------
    LONG m_hObject = 0;                 // the device whose switch is set
    CMorvaObjects* m_pMapControl = nullptr;
    CKernelObjectArray m_objectList;    // the map's objects ...
    CEntityIdArray m_idList;            // ... and their entity ids, index-aligned
    LONG m_nEntityId = 0;               // the device's entity: every record read and written

    // ---- Working members -----------------------------------------------------------------
    int m_bHadModel = 0;                // a model on opening; after OK: a model was written
    CDWordArray m_modelIds;             // catalogue ID of each model row
    double m_dApparentCurrent = 0.0;    // A: lower limit of the model query
    LONG m_hShortPoint = 0;             // the check point, 0 = none
    CString m_strProtection;            // "过流继电器" or "电子式"
    double m_dSensitivity = 0.0;        // Km
    CString m_strShortPoint;            // name of the check point
    double m_dIk = 0.0;                 // A, at the check point
    int m_bRelay = 0;                   // the model protects by over-current relay
    double m_dRatio = 0.0;              // Kb of the sensitivity check
    CString m_strLoadFormula;
    CString m_strSettingFormula;
    double m_dApparentPower = 0.0;      // kVA
    CComboBox m_cmbShortPoint;          // 12060
    CComboBox m_cmbVoltage;             // 12001
    CMyListBox m_modelList;             // 5005

    // ---- Members exchanged with the controls ------------------------------------------------
    double m_dRatedCurrent = 0.0;       // 12003, A
    CString m_strName;                  // 5000
    double m_dSettingCalc = 0.0;        // 12031, Iz, A
    double m_dUserCurrent = 0.0;        // 12033, A
    double m_dTerminalCalc = 0.0;       // 12096
    double m_dTerminalSet = 0.0;        // 12094
    double m_dBreakingCapacity = 0.0;   // 5001
    double m_dDemandCoef = 0.7;         // 12124, Kx
    double m_dOverloadCalc = 0.0;       // 12097, A
    double m_dMultipleCalc = 0.0;       // 12098
    double m_dChosenStep = 0.0;         // 12095
    double m_dUserMultiple = 0.0;       // 12099
    double m_dStepCalc = 0.0;           // 12125
    double m_dUserOverload = 0.0;       // 12100, A
    int m_bByStep = 0;                  // 5051

    // ---- Operations on the members (Part of the handlers; callable from tests) ----------------
    CHighVoltageSwitchCalc Calc();
    double CalcShortCircuitSetting(CString& text);
    double CalcLoadCurrent(CString& text);
    double CalcApparentCurrent();        // also sets m_dApparentPower
    void ShortPointRatio(LONG owner);    // sets m_dRatio
    LONG FindShortPointByName(const CString& name);  // sets m_dRatio when the owner is found
    double CalcSensitivity(LONG device, LONG point, double setCurrentA, double& ik);
    void FillModelList();
    void FillShortPointCombo(const CString& name);
    void FlashObject(LONG handle);
    void ClearSwitchRecords();
    void WriteSwitchRecords(int row);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnSelchangeVoltage();
    afx_msg void OnModelSelected();
    afx_msg void OnDblclkModelList();
    afx_msg void OnDetails();
    afx_msg void OnChangeTerminalSet();
    afx_msg void OnChangeDemandCoef();
    afx_msg void OnChangeUserMultiple();
    afx_msg void OnCheckSensitivity();
    afx_msg void OnSelchangeShortPoint();
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnStock();
    afx_msg void OnDeleteModel();
    afx_msg void OnAddModel();
    afx_msg void OnUserOverloadCheck();
    DECLARE_MESSAGE_MAP()

private:
    // Opening.
    void ReadStoredSettings(LONG& modelId, CString& voltageText);
    void ChooseShortPoint();
    // The number an edit shows; nullopt-like `ok` false when it is no number.
    bool EditNumber(int id, double& value) const;
    void ShowUserCurrent();
    bool IsModelRow(int row) const;
    int SelectedRow() const { return m_modelList.GetCurSel(); }

    HMENU m_hContextMenu = nullptr;
};

// The model-list query of the dialog: models of the voltage (a plain number,
// as the voltage list holds them) whose rated current is at least the
// current, in ID order. Empty when the voltage text is not a number, so that
// no other text reaches the query.
JDMODULE_API CString BuildHighVoltageSwitchQuery(const CString& voltageText, double minimumCurrentA);

// The launcher the module registers with the equipment library's
// SetHighVoltageHead: runs the dialog for the device with every input
// filled; *pSet tells whether a model was stored. Returns DoModal's result.
JDMODULE_API int LaunchSetHighVoltageSwitchDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects,
                                                  CEntityIdArray* pIds, LONG nEntityId, LONG hObject, int* pSet);
