#pragma once
// "高压开关详细参数": shows one high-voltage switch model of the catalogue,
// lets the user edit it, or enters a new one. The catalogue is written only
// by OK, after the model name is checked; a voltage typed in that is not in
// the list yet is added to the library's high-voltage list first. Models are
// always read from and written to the high-voltage switch catalogue.
#include "module/ModuleResources.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class CHighVoltageSwitch;

class JDMODULE_API CJDHighVoltageSwitchParaDlg : public CDialog {
public:
    explicit CJDHighVoltageSwitchParaDlg(CWnd* pParent = nullptr);
    ~CJDHighVoltageSwitchParaDlg() override;

    // Inputs.
    LONG m_nModelId = 0;      // catalogue ID shown and edited when m_bNewModel is 0
    int m_bNewModel = 0;      // 1: enter a new model
    int m_nVoltageIndex = 0;  // voltage row selected on opening
    // Output of OK: the voltage as chosen or typed, V.
    CString m_strVoltage;

    // Exchanged with the controls (m_dCapacity and m_dCurrent are also outputs of OK).
    CComboBox m_cmbVoltage;       // 12001
    double m_dCapacity = 0.0;     // 5001, MVA
    double m_dCurrent = 0.0;      // 12003, A
    CString m_strModel;           // 5005
    double m_dCutCurrent = 0.0;   // 12055, A
    double m_dMaxCurrent = 0.0;   // 12056, A
    double m_dMaxVoltage = 0.0;   // 12054, V
    double m_dValidCurrent = 0.0; // 12057, A
    double m_dSCurrent = 0.0;     // 12058, A
    CString m_strLongMultiple;    // 16075
    CString m_strShortMultiple;   // 16076
    int m_nProtection = -1;       // 5041/5042: 0 electromagnetic, 1 electronic, -1 none chosen

    // The model as OK saves it (no catalogue access): a protection other than
    // electromagnetic, none chosen included, is saved as electronic.
    void FillModel(CHighVoltageSwitch& model, double voltageV) const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    afx_msg void OnElectromagnetic();
    afx_msg void OnElectronic();
    DECLARE_MESSAGE_MAP()

private:
    // The multiples belong to electronic protection only.
    void EnableMultiples(bool enable);
};
