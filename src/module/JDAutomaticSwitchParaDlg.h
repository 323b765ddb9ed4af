#pragma once
// "馈电开关详细参数": shows one feeder switch model of the catalogue
// (Para_AutomaticSwitch) for editing, or an empty form for a new one. OK
// writes the model to the catalogue: a protection whose check box is off
// loses its setting texts and maximum; a voltage typed in that the list does
// not hold goes to the library's feeder voltage list first.
#include "module/ModuleResources.h"
#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class JDMODULE_API CJDAutomaticSwitchParaDlg : public CDialog {
public:
    explicit CJDAutomaticSwitchParaDlg(CWnd* pParent = nullptr);
    ~CJDAutomaticSwitchParaDlg() override;

    // Inputs.
    LONG m_nModelId = 0;        // catalogue ID shown and edited when m_bNewModel is 0
    int m_bNewModel = 0;        // 1: add a new model
    int m_nVoltageIndex = 0;    // row of the voltage combo selected on opening
    // Output of OK: the voltage as entered (the caller also reads
    // m_dRatedCurrent, m_strReleaseCurrent and m_strShortMultiple).
    CString m_strVoltage;

    // Exchanged with the controls; m_bRelay and m_bElectronic are also inputs
    // for a new model (the protection checks it starts with).
    CString m_strModel;                 // 5000
    double m_dRatedCurrent = 0.0;       // 12003, A
    int m_bRelay = 0;                   // 12020
    int m_bElectronic = 0;              // 12021
    CString m_strReleaseCurrent;        // 12010
    double m_dMaxReleaseCurrent = 0.0;  // 12073, A
    CString m_strLongMultiple;          // 12074
    CString m_strShortMultiple;         // 12075
    double m_dMaxShortMultiple = 0.0;   // 12076
    CComboBox m_voltageCombo;           // 12001

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    afx_msg void OnRelayClicked();
    afx_msg void OnElectronicClicked();
    DECLARE_MESSAGE_MAP()

private:
    void EnableRelayEdits(bool enable);
    void EnableElectronicEdits(bool enable);
};
