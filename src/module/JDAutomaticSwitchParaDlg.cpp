#include "module/JDAutomaticSwitchParaDlg.h"

#include "equipment/AutomaticSwitch.h"
#include "equipment/JDBase.h"
#include "module/JDTransformerParaDlg.h"
#include "module/SetAutomaticSwitchDlg.h"
#include "module/SwitchDialogSupport.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"

BEGIN_MESSAGE_MAP(CJDAutomaticSwitchParaDlg, CDialog)
    ON_BN_CLICKED(IDC_SWITCH_PARA_RELAY, &CJDAutomaticSwitchParaDlg::OnRelayClicked)
    ON_BN_CLICKED(IDC_SWITCH_PARA_ELECTRONIC, &CJDAutomaticSwitchParaDlg::OnElectronicClicked)
END_MESSAGE_MAP()

CJDAutomaticSwitchParaDlg::CJDAutomaticSwitchParaDlg(CWnd* pParent) : CDialog(IDD_AUTOMATIC_SWITCH_PARA, pParent) {
    EnsureFeederSwitchResources();
}

CJDAutomaticSwitchParaDlg::~CJDAutomaticSwitchParaDlg() = default;

void CJDAutomaticSwitchParaDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SWITCH_PARA_VOLTAGE, m_voltageCombo);
    DDX_Text(pDX, IDC_SWITCH_PARA_MODEL, m_strModel);
    DDX_Text(pDX, IDC_SWITCH_PARA_RATED_CURRENT, m_dRatedCurrent);
    DDX_Check(pDX, IDC_SWITCH_PARA_RELAY, m_bRelay);
    DDX_Check(pDX, IDC_SWITCH_PARA_ELECTRONIC, m_bElectronic);
    DDX_Text(pDX, IDC_SWITCH_PARA_RELEASE_CURRENT, m_strReleaseCurrent);
    DDX_Text(pDX, IDC_SWITCH_PARA_MAX_RELEASE, m_dMaxReleaseCurrent);
    DDX_Text(pDX, IDC_SWITCH_PARA_LONG_MULTIPLE, m_strLongMultiple);
    DDX_Text(pDX, IDC_SWITCH_PARA_SHORT_MULTIPLE, m_strShortMultiple);
    DDX_Text(pDX, IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE, m_dMaxShortMultiple);
}

BOOL CJDAutomaticSwitchParaDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AppendLibraryListItems(GetFeederVoltageList(), m_voltageCombo);
    m_voltageCombo.SetCurSel(m_nVoltageIndex);

    if (m_bNewModel == 0) {
        // The model's own voltage is not shown: the combo keeps the caller's row.
        CAutomaticSwitch model;
        LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &model, static_cast<DWORD>(m_nModelId));
        m_strModel = model.GetModel();
        m_dRatedCurrent = FiniteOrZero(model.GetCurrent());
        m_bRelay = model.GetIsThemalProtect();
        m_strReleaseCurrent = model.GetReleaseCurrent();
        m_dMaxReleaseCurrent = FiniteOrZero(model.GetMaxReleaseCurrent());
        m_bElectronic = model.GetIsElectricProtect();
        m_strLongMultiple = model.GetLongMultiple();
        m_strShortMultiple = model.GetShortMultiple();
        m_dMaxShortMultiple = FiniteOrZero(model.GetMaxShortMultiple());
    }
    m_bRelay = m_bRelay ? 1 : 0;
    EnableRelayEdits(m_bRelay == 1);
    m_bElectronic = m_bElectronic ? 1 : 0;
    EnableElectronicEdits(m_bElectronic == 1);
    UpdateData(FALSE);
    return TRUE;
}

void CJDAutomaticSwitchParaDlg::EnableRelayEdits(bool enable) {
    GetDlgItem(IDC_SWITCH_PARA_RELEASE_CURRENT)->EnableWindow(enable);
    GetDlgItem(IDC_SWITCH_PARA_MAX_RELEASE)->EnableWindow(enable);
}

void CJDAutomaticSwitchParaDlg::EnableElectronicEdits(bool enable) {
    GetDlgItem(IDC_SWITCH_PARA_LONG_MULTIPLE)->EnableWindow(enable);
    GetDlgItem(IDC_SWITCH_PARA_SHORT_MULTIPLE)->EnableWindow(enable);
    GetDlgItem(IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE)->EnableWindow(enable);
}

// The check box has toggled itself; the member and the edits follow it.
void CJDAutomaticSwitchParaDlg::OnRelayClicked() {
    m_bRelay = m_bRelay ? 0 : 1;
    EnableRelayEdits(m_bRelay == 1);
}

void CJDAutomaticSwitchParaDlg::OnElectronicClicked() {
    m_bElectronic = m_bElectronic ? 0 : 1;
    EnableElectronicEdits(m_bElectronic == 1);
}

void CJDAutomaticSwitchParaDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (m_strModel.IsEmpty()) {
        MessageBox(FromUtf8("请正确填写参数!"));
        return;
    }
    CString voltage;
    m_voltageCombo.GetWindowText(voltage);
    // Only what is saved is checked: a protection left off saves no texts.
    const CString none;
    if (!CatalogueTextsStorable({{"型号", m_strModel},
                                 {"额定电压", voltage},
                                 {"脱扣电流", m_bRelay != 0 ? m_strReleaseCurrent : none},
                                 {"长时整定倍数", m_bElectronic != 0 ? m_strLongMultiple : none},
                                 {"瞬时整定倍数", m_bElectronic != 0 ? m_strShortMultiple : none}})) {
        return;
    }
    const double voltageV = LeadingNumber(voltage);
    if (!ComboHasItem(m_voltageCombo, voltage)) AddFeederVoltage(voltage);
    m_strVoltage = voltage;

    if (m_bRelay == 0) {
        m_strReleaseCurrent.Empty();
        m_dMaxReleaseCurrent = 0.0;
    }
    if (m_bElectronic == 0) {
        m_strLongMultiple.Empty();
        m_strShortMultiple.Empty();
        m_dMaxShortMultiple = 0.0;
    }

    CAutomaticSwitch model;
    model.SetModel(m_strModel);
    model.SetVoltage(FiniteOrZero(voltageV));
    model.SetCurrent(FiniteOrZero(m_dRatedCurrent));
    model.SetIsThemalProtect(m_bRelay);
    model.SetReleaseCurrent(m_strReleaseCurrent);
    model.SetMaxReleaseCurrent(FiniteOrZero(m_dMaxReleaseCurrent));
    model.SetIsElectricProtect(m_bElectronic);
    model.SetLongMultiple(m_strLongMultiple);
    model.SetShortMultiple(m_strShortMultiple);
    model.SetMaxShortMultiple(FiniteOrZero(m_dMaxShortMultiple));
    if (m_bNewModel != 0) {
        SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, m_bNewModel, &model, 0);
    } else {
        SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, 0, &model, static_cast<DWORD>(m_nModelId));
    }
    EndDialog(IDOK);
}
