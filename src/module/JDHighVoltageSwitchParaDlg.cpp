#include "module/JDHighVoltageSwitchParaDlg.h"

#include <cmath>
#include <cstdlib>

#include "equipment/HighVoltageSwitch.h"
#include "equipment/JDBase.h"
#include "module/JDTransformerParaDlg.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

BEGIN_MESSAGE_MAP(CJDHighVoltageSwitchParaDlg, CDialog)
    ON_BN_CLICKED(IDC_HVS_PARA_ELECTROMAGNETIC, &CJDHighVoltageSwitchParaDlg::OnElectromagnetic)
    ON_BN_CLICKED(IDC_HVS_PARA_ELECTRONIC, &CJDHighVoltageSwitchParaDlg::OnElectronic)
END_MESSAGE_MAP()

CJDHighVoltageSwitchParaDlg::CJDHighVoltageSwitchParaDlg(CWnd* pParent)
    : CDialog(IDD_HIGH_VOLTAGE_SWITCH_PARA, pParent) {}

CJDHighVoltageSwitchParaDlg::~CJDHighVoltageSwitchParaDlg() = default;

void CJDHighVoltageSwitchParaDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HVS_PARA_VOLTAGE, m_cmbVoltage);
    DDX_Text(pDX, IDC_HVS_PARA_CAPACITY, m_dCapacity);
    DDX_Text(pDX, IDC_HVS_PARA_CURRENT, m_dCurrent);
    DDX_Text(pDX, IDC_HVS_PARA_MODEL, m_strModel);
    DDX_Text(pDX, IDC_HVS_PARA_CUT_CURRENT, m_dCutCurrent);
    DDX_Text(pDX, IDC_HVS_PARA_MAX_CURRENT, m_dMaxCurrent);
    DDX_Text(pDX, IDC_HVS_PARA_MAX_VOLTAGE, m_dMaxVoltage);
    DDX_Text(pDX, IDC_HVS_PARA_VALID_CURRENT, m_dValidCurrent);
    DDX_Text(pDX, IDC_HVS_PARA_S_CURRENT, m_dSCurrent);
    DDX_Text(pDX, IDC_HVS_PARA_LONG_MULTIPLE, m_strLongMultiple);
    DDX_Text(pDX, IDC_HVS_PARA_SHORT_MULTIPLE, m_strShortMultiple);
    DDX_Radio(pDX, IDC_HVS_PARA_ELECTROMAGNETIC, m_nProtection);
}

BOOL CJDHighVoltageSwitchParaDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CStringArray voltages;
    char* list = GetHighVoltageList();
    SplitVoltageList(list ? list : "", &voltages);
    std::free(list);
    for (int i = 0; i < voltages.GetSize(); ++i) AddComboItem(&m_cmbVoltage, voltages[i]);
    m_cmbVoltage.SetCurSel(m_nVoltageIndex);

    if (m_bNewModel == 0) {
        // Loading names the object: whatever the kind code, the row comes from
        // the high-voltage switch catalogue.
        CHighVoltageSwitch model;
        LoadCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH_DETAIL, &model, static_cast<DWORD>(m_nModelId));
        m_strModel = model.GetModel();
        m_dCurrent = model.GetCurrent();
        m_dCapacity = model.GetCapacity();
        m_dCutCurrent = model.GetCutCurrent();
        m_dMaxCurrent = model.GetMaxCurrent();
        m_dMaxVoltage = model.GetMaxVoltage();
        m_dSCurrent = model.GetSCurrent();
        m_dValidCurrent = model.GetValidCurrent();
        m_strLongMultiple = model.GetLongMultiple();
        m_strShortMultiple = model.GetShortMultiple();
        m_nProtection = model.GetIsThemalProtect() != 0 ? 0 : 1;
        EnableMultiples(m_nProtection == 1);
    }

    UpdateData(FALSE);
    return TRUE;
}

void CJDHighVoltageSwitchParaDlg::EnableMultiples(bool enable) {
    GetDlgItem(IDC_HVS_PARA_LONG_MULTIPLE)->EnableWindow(enable);
    GetDlgItem(IDC_HVS_PARA_SHORT_MULTIPLE)->EnableWindow(enable);
}

void CJDHighVoltageSwitchParaDlg::OnElectromagnetic() {
    UpdateData(TRUE);
    EnableMultiples(false);
}

void CJDHighVoltageSwitchParaDlg::OnElectronic() {
    UpdateData(TRUE);
    EnableMultiples(true);
}

void CJDHighVoltageSwitchParaDlg::FillModel(CHighVoltageSwitch& model, double voltageV) const {
    model.SetModel(m_strModel);
    model.SetVoltage(voltageV);
    model.SetCurrent(m_dCurrent);
    model.SetCapacity(m_dCapacity);
    model.SetCutCurrent(m_dCutCurrent);
    model.SetMaxCurrent(m_dMaxCurrent);
    model.SetMaxVoltage(m_dMaxVoltage);
    model.SetSCurrent(m_dSCurrent);
    model.SetValidCurrent(m_dValidCurrent);
    model.SetLongMultiple(m_strLongMultiple);
    model.SetShortMultiple(m_strShortMultiple);
    const bool electromagnetic = m_nProtection == 0;
    model.SetIsThemalProtect(electromagnetic ? 1 : 0);
    model.SetIsElectricProtect(electromagnetic ? 0 : 1);
}

void CJDHighVoltageSwitchParaDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (m_strModel.IsEmpty()) {
        AfxMessageBox(FromUtf8("请正确填写型号!"), MB_ICONINFORMATION);
        return;
    }

    CString voltage;
    m_cmbVoltage.GetWindowText(voltage);
    if (!CatalogueTextsStorable({{"型号", m_strModel},
                                 {"额定电压", voltage},
                                 {"长时整定电流倍数", m_strLongMultiple},
                                 {"短时整定电流倍数", m_strShortMultiple}})) {
        return;
    }
    // A typed voltage the library refuses (not a positive number; it said so)
    // would be saved as 0 V: the dialog stays open for the user to correct it.
    if (!ComboHasItem(m_cmbVoltage, voltage) && !AddHighVoltage(voltage)) return;
    m_strVoltage = voltage;

    CHighVoltageSwitch model;
    const double voltageV = ParseDouble(voltage);
    FillModel(model, std::isfinite(voltageV) ? voltageV : 0.0);
    SaveCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, m_bNewModel != 0 ? 1 : 0, &model,
                       m_bNewModel != 0 ? 0 : static_cast<DWORD>(m_nModelId));
    EndDialog(IDOK);
}
