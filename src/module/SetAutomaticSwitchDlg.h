#pragma once
// "设置自动馈电开关": chooses the low-voltage automatic feeder switch at the
// outlet of one transformer or mobile substation. It lists the catalogue
// models (Para_AutomaticSwitch) that suit the voltage, the protection type and
// the computed short-circuit setting, shows the overload and short-circuit
// settings the fed motors require (FeederSwitchSetting.h), lets the user
// choose the setting, checks its sensitivity against a short-circuit point,
// and on OK stores model, calculation and setting in the records 174, 175 and
// 178 of the object's entity, writes the setting note and marks the drawing
// modified. Through the detail dialog and the model list's menu it also shows,
// edits, adds and deletes catalogue models (at once, without undo).
//
// The creator fills the inputs and runs DoModal: IDOK after OK wrote the
// records, IDCANCEL, or 0 when the dialog closed itself at opening (no motor
// below the object). m_bHadModel then says whether a model was stored.
#include "module/FeederSwitchSetting.h"
#include "module/ModuleResources.h"
#include "module/MyListBox.h"
#include "platform/Arrays.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class CMorvaObjects;

// Registers templates 12000 and 12005 unless they are registered already.
JDMODULE_API void EnsureFeederSwitchResources();

class JDMODULE_API CSetAutomaticSwitchDlg : public CDialog {
public:
    explicit CSetAutomaticSwitchDlg(CWnd* pParent = nullptr);
    ~CSetAutomaticSwitchDlg() override;

    // ---- Inputs, set by the creator before DoModal -----------------------------------
    LONG m_hObject = 0;                 // the transformer or mobile substation
    CMorvaObjects* m_pMapControl = nullptr;
    CKernelObjectArray m_objectList;    // the map's objects ...
    CEntityIdArray m_idList;            // ... and their entity ids, index-aligned
    LONG m_nEntityId = 0;               // entity of m_hObject: records 174, 175, 178

    // ---- Set by the dialog -------------------------------------------------------------
    int m_bHadModel = 0;                // output: OK stored a model (1) or none (0)
    CDWordArray m_modelIds;             // catalogue ID of each model row
    CKernelObjectArray m_motors;        // motors the switch feeds
    LONG m_hShortPoint = 0;             // point of the sensitivity check; 0 = none
    CString m_strProtection;            // "过流继电器" or "电子式保护"
    double m_dSensitivity = 0.0;
    CString m_strShortPoint;
    double m_dIk = 0.0;                 // Ik(2) at the point, A
    int m_nLowVoltage = 0;              // the project's low-voltage level, V
    HMENU m_hContextMenu = nullptr;

    // ---- Exchanged with the controls ------------------------------------------------------
    CString m_strName;                  // 5000
    double m_dRatedCurrent = 0.0;       // 12003, In of the chosen model, A
    double m_dSettingCalc = 0.0;        // 12031, short-circuit setting computed, A
    CString m_strSwitchSetting;         // 12032, the model's trip currents or multiples
    double m_dUserValue = 0.0;          // 12033, relay: current A; electronic: multiple
    double m_dOverloadCalc = 0.0;       // 12034, overload setting computed, A
    double m_dChosenStep = 0.0;         // 12095
    double m_dStepCalc = 0.0;           // 12125, overload step computed
    double m_dUserCurrent = 0.0;        // 12035, electronic: multiple × In, A
    double m_dUserOverload = 0.0;       // 5050, A
    int m_bByStep = 0;                  // 5051
    CComboBox m_voltageCombo;           // 12001
    CComboBox m_protectionCombo;        // 12062
    CComboBox m_shortPointCombo;        // 12060
    CMyListBox m_modelList;             // 5005

    // ---- Calculations (FeederSwitchSetting.h) over the dialog's inputs -------------------
    CFeederSwitchCalc Calc() const { return CFeederSwitchCalc(m_pMapControl, m_objectList, m_idList); }
    void CollectMotors(LONG hObject, CKernelObjectArray& motors) const { Calc().CollectMotors(hObject, motors); }
    void CollectLoadsAndProtectors(LONG hObject, CKernelObjectArray& loads) const {
        Calc().CollectLoadsAndProtectors(hObject, loads);
    }
    LONG FindStarter(LONG hMotor) const { return Calc().FindStarter(hMotor); }
    StartingGroups ComputeStartingGroups(const CKernelObjectArray& motors) const {
        return Calc().ComputeStartingGroups(motors);
    }
    double ComputeShortSetting(const CKernelObjectArray& motors) const { return Calc().ComputeShortSetting(motors); }
    double ComputeOverloadSetting(const CKernelObjectArray& motors) const {
        return Calc().ComputeOverloadSetting(motors);
    }
    void CollectFeederPath(LONG hObject, LONG hFrom, CKernelObjectArray& lines) const {
        Calc().CollectFeederPath(hObject, hFrom, lines);
    }
    LONG FindPointOfLoad(const CString& loadName) const { return Calc().FindPointOfLoad(loadName); }
    LONG FindPointByName(const CString& pointName) const { return Calc().FindPointByName(pointName); }
    LONG FindDefaultShortPoint(LONG hObject, const CKernelObjectArray& loads, CString& name) const {
        return Calc().FindDefaultShortPoint(hObject, loads, name);
    }

    // ---- Operations (each also runs from its control's notification) ----------------------
    void FillModelList();
    void OnModelSelected();
    void FillShortPointCombo(const CString& name);
    void FlashObject(LONG hObject);
    void CheckSensitivity();
    // The model-list query of the protection row (0 relay, 1 electronic); empty for another row.
    static CString BuildModelListQuery(int protectionRow, const CString& voltage, double settingCalcA);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnVoltageChanged();
    afx_msg void OnProtectionChanged();
    afx_msg void OnShortPointChanged();
    afx_msg void OnUserValueChanged();
    afx_msg void OnStepChoiceChanged();
    afx_msg void OnShowMotors();
    afx_msg void OnDetailsButton();
    afx_msg void OnModelDoubleClick();
    afx_msg void OnMenuDetails();
    afx_msg void OnMenuDelete();
    afx_msg void OnMenuAddModel();
    DECLARE_MESSAGE_MAP()

private:
    void AddLibraryVoltages();
    void SelectVoltageForLevel(int lowVoltage);
    void ApplyProtectionLabels(int protectionRow, bool modelLoaded);
    // Runs the detail dialog for a model row; true after its OK.
    bool ShowModelDetails(int row);
    void AddModel();
    // OK, step by step.
    void WriteClearedRecords();
    void WriteModelRecords(int row, double settingCurrentA);
    CString ObjectNameOfSwitch() const;
};

// The launcher behind the equipment library's SetLowVoltageHead: runs the
// dialog for the object with every input filled. Returns IDOK with *pSet = 1
// when a model is stored, 0 when OK stored none; the dialog's result
// otherwise (*pSet untouched).
JDMODULE_API int LaunchFeederSwitchDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                          LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet);
