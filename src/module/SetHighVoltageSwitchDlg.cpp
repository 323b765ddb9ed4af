#include "module/SetHighVoltageSwitchDlg.h"

#include <cstdlib>
#include <memory>

#include "equipment/HighVoltageSwitch.h"
#include "equipment/JDBase.h"
#include "host/AttributeRecords.h"
#include "host/MorvaObjects.h"
#include "module/JDHighVoltageSwitchParaDlg.h"
#include "module/SwitchDialogSupport.h"
#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Gdi.h"
#include "platform/Menu.h"

namespace {

// Red for a demand coefficient outside 0.5 … 1.0, black inside.
constexpr COLORREF kOutOfRangeText = RGB(255, 0, 0);
constexpr COLORREF kInRangeText = RGB(0, 0, 0);

// The pen of the flashed outline alternates across every flash of this
// dialog in the module; the first drawing is green.
int g_flashPenFlag = 1;

}  // namespace

CString BuildHighVoltageSwitchQuery(const CString& voltageText, double minimumCurrentA) {
    double voltage = 0.0;
    if (!ParseExchangeDouble(voltageText, voltage)) return CString();
    return "select * from Para_HighVoltageSwitch where Voltage = " + voltageText + " and RCurrent >= " +
           CString::Formatted("%0.2f", FiniteOrZero(minimumCurrentA)) + " order by ID";
}

BEGIN_MESSAGE_MAP(CSetHighVoltageSwitchDlg, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_CTLCOLOR()
    ON_CBN_SELCHANGE(IDC_HVS_VOLTAGE, &CSetHighVoltageSwitchDlg::OnSelchangeVoltage)
    ON_LBN_SELCHANGE(IDC_HVS_MODEL_LIST, &CSetHighVoltageSwitchDlg::OnModelSelected)
    ON_LBN_DBLCLK(IDC_HVS_MODEL_LIST, &CSetHighVoltageSwitchDlg::OnDblclkModelList)
    ON_BN_CLICKED(IDC_HVS_DETAILS, &CSetHighVoltageSwitchDlg::OnDetails)
    ON_EN_CHANGE(IDC_HVS_TERMINAL_SET, &CSetHighVoltageSwitchDlg::OnChangeTerminalSet)
    ON_EN_CHANGE(IDC_HVS_DEMAND_COEF, &CSetHighVoltageSwitchDlg::OnChangeDemandCoef)
    ON_EN_CHANGE(IDC_HVS_USER_MULTIPLE, &CSetHighVoltageSwitchDlg::OnChangeUserMultiple)
    ON_BN_CLICKED(IDC_HVS_CHECK_SENSITIVITY, &CSetHighVoltageSwitchDlg::OnCheckSensitivity)
    ON_CBN_SELCHANGE(IDC_HVS_SHORT_POINT, &CSetHighVoltageSwitchDlg::OnSelchangeShortPoint)
    ON_BN_CLICKED(IDC_HVS_STOCK, &CSetHighVoltageSwitchDlg::OnStock)
    ON_COMMAND(ID_MODEL_DETAILS, &CSetHighVoltageSwitchDlg::OnDetails)
    ON_COMMAND(ID_MODEL_DELETE, &CSetHighVoltageSwitchDlg::OnDeleteModel)
    ON_COMMAND(ID_MODEL_ADD, &CSetHighVoltageSwitchDlg::OnAddModel)
    ON_BN_CLICKED(IDC_HVS_BY_STEP, &CSetHighVoltageSwitchDlg::OnUserOverloadCheck)
END_MESSAGE_MAP()

CSetHighVoltageSwitchDlg::CSetHighVoltageSwitchDlg(CWnd* pParent) : CDialog(IDD_SET_HIGH_VOLTAGE_SWITCH, pParent) {}

CSetHighVoltageSwitchDlg::~CSetHighVoltageSwitchDlg() = default;

void CSetHighVoltageSwitchDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HVS_SHORT_POINT, m_cmbShortPoint);
    DDX_Control(pDX, IDC_HVS_VOLTAGE, m_cmbVoltage);
    DDX_Control(pDX, IDC_HVS_MODEL_LIST, m_modelList);
    DDX_Text(pDX, IDC_HVS_RATED_CURRENT, m_dRatedCurrent);
    DDX_Text(pDX, IDC_HVS_NAME, m_strName);
    DDX_Text(pDX, IDC_HVS_SETTING_CALC, m_dSettingCalc);
    DDX_Text(pDX, IDC_HVS_USER_CURRENT, m_dUserCurrent);
    DDX_Text(pDX, IDC_HVS_TERMINAL_CALC, m_dTerminalCalc);
    DDX_Text(pDX, IDC_HVS_TERMINAL_SET, m_dTerminalSet);
    DDX_Text(pDX, IDC_HVS_BREAKING_CAPACITY, m_dBreakingCapacity);
    DDX_Text(pDX, IDC_HVS_DEMAND_COEF, m_dDemandCoef);
    DDX_Text(pDX, IDC_HVS_OVERLOAD_CALC, m_dOverloadCalc);
    DDX_Text(pDX, IDC_HVS_MULTIPLE_CALC, m_dMultipleCalc);
    DDX_Text(pDX, IDC_HVS_CHOSEN_STEP, m_dChosenStep);
    DDX_Text(pDX, IDC_HVS_USER_MULTIPLE, m_dUserMultiple);
    DDX_Text(pDX, IDC_HVS_STEP_CALC, m_dStepCalc);
    DDX_Text(pDX, IDC_HVS_USER_OVERLOAD, m_dUserOverload);
    DDX_Check(pDX, IDC_HVS_BY_STEP, m_bByStep);
}

// ---- Operations on the members ------------------------------------------------------------

CHighVoltageSwitchCalc CSetHighVoltageSwitchDlg::Calc() {
    return CHighVoltageSwitchCalc(m_pMapControl, &m_objectList, &m_idList);
}

double CSetHighVoltageSwitchDlg::CalcShortCircuitSetting(CString& text) {
    return Calc().CalcShortCircuitSetting(m_hObject, m_nEntityId, m_dDemandCoef, text);
}

double CSetHighVoltageSwitchDlg::CalcLoadCurrent(CString& text) {
    return Calc().CalcLoadCurrent(m_hObject, m_nEntityId, SelectedComboText(m_cmbVoltage), text);
}

double CSetHighVoltageSwitchDlg::CalcApparentCurrent() {
    const CString voltage = SelectedComboText(m_cmbVoltage);
    const HvApparentCurrent result =
        Calc().CalcApparentCurrent(m_nEntityId, m_cmbVoltage.GetCurSel() >= 0 ? &voltage : nullptr);
    m_dApparentPower = result.apparentPowerKVA;
    return result.currentA;
}

void CSetHighVoltageSwitchDlg::ShortPointRatio(LONG owner) { m_dRatio = Calc().ShortPointRatio(owner); }

LONG CSetHighVoltageSwitchDlg::FindShortPointByName(const CString& name) {
    return Calc().FindShortPointByName(name, m_dRatio);
}

double CSetHighVoltageSwitchDlg::CalcSensitivity(LONG /*device*/, LONG point, double setCurrentA, double& ik) {
    const HvSensitivity s = Calc().CalcSensitivity(m_nEntityId, point, setCurrentA, m_dRatio);
    ik = s.ik;
    return s.km;
}

void CSetHighVoltageSwitchDlg::FillShortPointCombo(const CString& name) {
    ::FillShortPointCombo(m_cmbShortPoint, m_objectList, name);
}

void CSetHighVoltageSwitchDlg::FlashObject(LONG handle) { ::FlashObject(m_pMapControl, handle, g_flashPenFlag); }

// ---- Window creation and destruction -------------------------------------------------------

int CSetHighVoltageSwitchDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    m_hContextMenu = AttachModelListMenu(m_modelList);
    return 0;
}

void CSetHighVoltageSwitchDlg::OnDestroy() {
    DetachModelListMenu(m_modelList, m_hContextMenu);
    CDialog::OnDestroy();
}

// ---- Opening --------------------------------------------------------------------------------

BOOL CSetHighVoltageSwitchDlg::OnInitDialog() {
    // Writes the initial members: the text-change handlers run already here.
    CDialog::OnInitDialog();

    if (m_hObject == 0 || m_pMapControl == nullptr) {
        MessageBox(FromUtf8("没有选中设备,请重新选择！"));
        EndDialog(0);
        return TRUE;
    }

    AppendLibraryListItems(GetHighVoltageList(), m_cmbVoltage);

    LONG modelId = 0;
    CString voltageText;
    ReadStoredSettings(modelId, voltageText);
    ChooseShortPoint();
    FillShortPointCombo(m_strShortPoint);

    m_bByStep = GetStepChoiceFlag();
    m_strName = ObjectName(m_hObject);
    UpdateData(FALSE);

    if (modelId == 0) {
        m_bHadModel = 0;
        m_cmbVoltage.SetCurSel(1);
        FillModelList();
    } else {
        m_bHadModel = 1;
        const int voltageRow = m_cmbVoltage.FindStringExact(-1, voltageText);
        if (voltageRow >= 0) m_cmbVoltage.SetCurSel(voltageRow);
        FillModelList();
        for (int row = 0; row < m_modelIds.GetSize(); ++row) {
            if (static_cast<LONG>(m_modelIds[row]) == modelId) {
                m_modelList.SetCurSel(row);
                OnModelSelected();
                break;
            }
        }
    }

    // Until here the query listed every model of the voltage; from now on
    // only those that carry the apparent power's current.
    m_dApparentCurrent = CalcApparentCurrent();
    GetDlgItem(IDC_HVS_CHECK_SENSITIVITY)->EnableWindow(!IsZero(m_dSettingCalc));

    UpdateData(FALSE);
    OnUserOverloadCheck();
    m_modelList.m_hOwner = m_hWnd;
    return TRUE;
}

void CSetHighVoltageSwitchDlg::ReadStoredSettings(LONG& modelId, CString& voltageText) {
    HighVoltageSwitchModelRecord model;
    if (model.Read(m_pMapControl, m_nEntityId)) {
        modelId = model.modelId;
        voltageText = model.ratedVoltageText;
        m_dRatedCurrent = model.ratedCurrentA;
    }
    HighVoltageSwitchSettingsRecord settings;
    if (settings.Read(m_pMapControl, m_nEntityId)) {
        if (settings.electromagneticText == AttributeText::Yes()) {
            m_dTerminalSet = settings.terminalSet;
        } else if (settings.electromagneticText == AttributeText::No()) {
            m_dChosenStep = settings.chosenStep;
            m_dUserMultiple = settings.userMultiple;
        }
    }
    HighVoltageSwitchCheckRecord check;
    if (check.Read(m_pMapControl, m_nEntityId)) {
        m_strProtection = check.protection;
        m_dUserCurrent = check.userCurrentA;
        m_strShortPoint = check.shortPointName;
        m_dSensitivity = check.sensitivity;
        m_dUserOverload = check.userOverloadA;
    }
}

void CSetHighVoltageSwitchDlg::ChooseShortPoint() {
    const CHighVoltageSwitchCalc calc = Calc();
    CKernelObjectArray owners;
    CKernelObjectArray points;
    calc.CollectShortPoints(owners, points);
    if (!m_strShortPoint.IsEmpty()) {
        // A stored point that is gone leaves no point and the ratio as it was (0).
        m_hShortPoint = FindShortPointByName(m_strShortPoint);
        return;
    }
    const CHighVoltageSwitchCalc::DefaultPoint point = calc.FindDefaultShortPoint(m_hObject, owners, points);
    m_dRatio = point.ratio;
    m_hShortPoint = point.point;
    if (point.point != 0) m_strShortPoint = point.name;
}

// ---- Model list ---------------------------------------------------------------------------

void CSetHighVoltageSwitchDlg::OnSelchangeVoltage() { FillModelList(); }

void CSetHighVoltageSwitchDlg::FillModelList() {
    if (!UpdateData(TRUE)) return;
    m_modelIds.RemoveAll();
    m_modelList.ResetContent();
    if (m_cmbVoltage.GetCurSel() < 0) return;
    const CString query = BuildHighVoltageSwitchQuery(SelectedComboText(m_cmbVoltage), m_dApparentCurrent);
    if (query.IsEmpty() || !FillCatalogueModelList(m_modelList, m_modelIds, query)) return;
    // Row 1: the second model, or the no-model row when one model was found.
    m_modelList.SetCurSel(1);
    OnModelSelected();
    GetDlgItem(IDC_HVS_DETAILS)->EnableWindow(TRUE);
}

void CSetHighVoltageSwitchDlg::OnModelSelected() {
    if (!UpdateData(TRUE)) return;
    const int row = SelectedRow();
    if (m_modelList.GetCount() <= 1 || !IsModelRow(row)) return;

    auto model = std::make_unique<CHighVoltageSwitch>();
    LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, model.get(), m_modelIds[row]);
    m_dRatedCurrent = model->GetCurrent();
    m_dBreakingCapacity = model->GetCapacity();
    const HvModelValues values{m_dRatedCurrent, m_dBreakingCapacity, model->GetIsThemalProtect() != 0 ? 1 : 0};
    model.reset();

    const double iz = CalcShortCircuitSetting(m_strSettingFormula);
    const double load = CalcLoadCurrent(m_strLoadFormula);
    const HvModelSettings s = ComputeModelSettings(values, iz, load, m_dUserMultiple);
    m_bRelay = s.relay;
    m_strProtection = s.protection;
    m_dSettingCalc = s.settingCalc;
    m_dOverloadCalc = s.overloadCalc;
    m_dStepCalc = s.stepCalc;
    m_dTerminalCalc = s.terminalCalc;
    m_dMultipleCalc = s.multipleCalc;
    if (s.userCurrentSet) m_dUserCurrent = s.userCurrent;
    // The relay is set by its terminal, electronic protection by a multiple.
    GetDlgItem(IDC_HVS_TERMINAL_SET)->EnableWindow(m_bRelay == 1);
    GetDlgItem(IDC_HVS_USER_MULTIPLE)->EnableWindow(m_bRelay == 0);
    UpdateData(FALSE);
}

bool CSetHighVoltageSwitchDlg::IsModelRow(int row) const { return ::IsModelRow(m_modelList, m_modelIds, row); }

// ---- Short-circuit point and sensitivity ----------------------------------------------------

void CSetHighVoltageSwitchDlg::OnSelchangeShortPoint() {
    m_strShortPoint = SelectedComboText(m_cmbShortPoint);
    m_hShortPoint = FindShortPointByName(m_strShortPoint);
    if (m_hShortPoint != 0) FlashObject(m_hShortPoint);
}

void CSetHighVoltageSwitchDlg::OnCheckSensitivity() {
    if (!UpdateData(TRUE)) return;
    if (m_hShortPoint == 0) {
        ShowNoShortPointMessage(*this);
        return;
    }
    if (m_dUserCurrent < m_dSettingCalc) {
        MessageBox(FromUtf8("开关整定值选择应大于实际计算的整定值，请重新选择！"), nullptr, MB_ICONSTOP);
        return;
    }
    FlashObject(m_hShortPoint);
    m_dSensitivity = CalcSensitivity(m_hObject, m_hShortPoint, m_dUserCurrent, m_dIk);
    ShowSensitivityVerdict(*this, m_dSensitivity, SwitchNotQualifiedText());
}

// ---- The user's entries ------------------------------------------------------------------------

bool CSetHighVoltageSwitchDlg::EditNumber(int id, double& value) const {
    CWnd* edit = GetDlgItem(id);
    if (!edit) return false;
    const CString text = edit->GetWindowText();
    if (text.IsEmpty()) {
        value = 0.0;
        return true;
    }
    // Half-typed or foreign text changes nothing; OK's exchange names it.
    return ParseExchangeDouble(text, value);
}

void CSetHighVoltageSwitchDlg::ShowUserCurrent() {
    GetDlgItem(IDC_HVS_USER_CURRENT)->SetWindowText(CString::Formatted("%.4f", m_dUserCurrent));
}

void CSetHighVoltageSwitchDlg::OnChangeTerminalSet() {
    double terminal = 0.0;
    if (!EditNumber(IDC_HVS_TERMINAL_SET, terminal)) return;
    m_dTerminalSet = terminal;
    m_dUserCurrent = UserCurrentFromTerminal(terminal, m_dRatedCurrent);
    ShowUserCurrent();
}

void CSetHighVoltageSwitchDlg::OnChangeUserMultiple() {
    double multiple = 0.0;
    if (!EditNumber(IDC_HVS_USER_MULTIPLE, multiple)) return;
    m_dUserMultiple = multiple;
    m_dUserCurrent = UserCurrentFromMultiple(multiple, m_dRatedCurrent);
    ShowUserCurrent();
}

void CSetHighVoltageSwitchDlg::OnChangeDemandCoef() {
    double kx = 0.0;
    if (!EditNumber(IDC_HVS_DEMAND_COEF, kx)) return;
    m_dDemandCoef = kx;
    m_dSettingCalc = CalcShortCircuitSetting(m_strSettingFormula);
    // The edit shows the new Iz, so that the next read of the controls keeps
    // it instead of bringing the old one back.
    GetDlgItem(IDC_HVS_SETTING_CALC)->SetWindowText(FormatExchangeDouble(m_dSettingCalc));
}

// The platform asks the colour each time it draws the control, so the new
// demand coefficient shows in its colour without a repaint being requested.
HBRUSH CSetHighVoltageSwitchDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH brush = CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (pWnd && pWnd->GetDlgCtrlID() == IDC_HVS_DEMAND_COEF) {
        pDC->SetTextColor(DemandCoefficientInRange(m_dDemandCoef) ? kInRangeText : kOutOfRangeText);
        pDC->SetBkMode(TRANSPARENT);
    }
    return brush;
}

void CSetHighVoltageSwitchDlg::OnUserOverloadCheck() {
    UpdateData(TRUE);
    GetDlgItem(IDC_HVS_CHOSEN_STEP)->EnableWindow(m_bByStep != 0);
    GetDlgItem(IDC_HVS_USER_OVERLOAD)->EnableWindow(m_bByStep == 0);
}

// No stock view is kept for high-voltage switches.
void CSetHighVoltageSwitchDlg::OnStock() {}

// ---- Catalogue through the detail dialog ---------------------------------------------------------

void CSetHighVoltageSwitchDlg::OnDetails() {
    const int row = SelectedRow();
    if (!IsModelRow(row)) return;
    CJDHighVoltageSwitchParaDlg details(nullptr);
    details.m_nModelId = static_cast<LONG>(m_modelIds[row]);
    details.m_bNewModel = 0;
    details.m_nVoltageIndex = m_cmbVoltage.GetCurSel();
    if (details.DoModal() != IDOK) return;
    m_dRatedCurrent = details.m_dCurrent;
    m_dBreakingCapacity = details.m_dCapacity;
    OnModelSelected();
    UpdateData(FALSE);
    if (AdoptDetailVoltage(m_cmbVoltage, details.m_strVoltage)) FillModelList();
}

void CSetHighVoltageSwitchDlg::OnDblclkModelList() {
    const int row = SelectedRow();
    const int count = m_modelList.GetCount();
    if ((count > 0 && row == count - 1) || (count == 0 && row < 0)) {
        OnAddModel();
    } else if (IsModelRow(row)) {
        OnDetails();
    }
}

void CSetHighVoltageSwitchDlg::OnAddModel() {
    CJDHighVoltageSwitchParaDlg details(nullptr);
    details.m_bNewModel = 1;
    details.m_nVoltageIndex = m_cmbVoltage.GetCurSel();
    if (details.DoModal() != IDOK) return;
    AdoptDetailVoltage(m_cmbVoltage, details.m_strVoltage);
    FillModelList();
}

void CSetHighVoltageSwitchDlg::OnDeleteModel() {
    if (DeleteSelectedCatalogueModel(*this, m_modelList, m_modelIds, JD_KIND_HIGH_VOLTAGE_SWITCH)) FillModelList();
}

// ---- OK and Cancel ---------------------------------------------------------------------------

void CSetHighVoltageSwitchDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    // A model row whose catalogue ID could not be read (kept as 0) must not
    // become a zeroed record 176: stop before anything is asked or written.
    if (IsModelRow(SelectedRow()) && m_modelIds[SelectedRow()] == 0) {
        MessageBox(FromUtf8("所选型号的编号无法从设备目录中读出，不能使用这个型号，请检查设备目录!"), nullptr,
                   MB_ICONSTOP);
        return;
    }
    m_bHadModel = 0;
    if (m_hShortPoint == 0 && !AskContinueWithoutShortPoint(*this)) return;
    // The name is checked here but given to the object only once every
    // question is answered: a No keeps the dialog open with the drawing unchanged.
    if (!CheckObjectName(*this, m_pMapControl, &m_hObject, &m_objectList, m_strName, IDC_HVS_NAME)) return;
    if (m_dUserCurrent < m_dSettingCalc && !AskContinueWithSettingBelowCalc(*this)) return;
    SetObjectName(m_hObject, m_strName);
    SetStepChoiceFlag(m_bByStep);

    const int row = SelectedRow();
    if (!IsModelRow(row)) {
        ClearSwitchRecords();
    } else {
        WriteSwitchRecords(row);
    }
    m_pMapControl->RedrawEntities(&m_nEntityId, 1, 0);
    m_pMapControl->SetModified(TRUE);
    EndDialog(IDOK);
}

void CSetHighVoltageSwitchDlg::OnCancel() { CDialog::OnCancel(); }

void CSetHighVoltageSwitchDlg::ClearSwitchRecords() {
    HighVoltageSwitchModelRecord::WriteCleared(m_pMapControl, m_nEntityId);
    HighVoltageSwitchSettingsRecord::WriteCleared(m_pMapControl, m_nEntityId);
    HighVoltageSwitchCheckRecord::WriteCleared(m_pMapControl, m_nEntityId);
}

void CSetHighVoltageSwitchDlg::WriteSwitchRecords(int row) {
    m_bHadModel = 1;
    // The space row stands for no point: its name is the empty text.
    m_strShortPoint = m_hShortPoint != 0 ? SelectedComboText(m_cmbShortPoint) : CString();
    m_dSensitivity = CalcSensitivity(m_hObject, m_hShortPoint, m_dUserCurrent, m_dIk);

    CHighVoltageSwitch model;
    LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &model, m_modelIds[row]);
    HighVoltageSwitchModelRecord modelRecord;
    modelRecord.modelId = static_cast<LONG>(m_modelIds[row]);
    modelRecord.model = model.GetModel();
    modelRecord.ratedVoltageV = model.GetVoltage();
    modelRecord.maxVoltageV = model.GetMaxVoltage();
    modelRecord.ratedCurrentA = model.GetCurrent();
    modelRecord.breakingCapacityMVA = model.GetCapacity();
    modelRecord.breakingCurrentA = model.GetCutCurrent();
    modelRecord.peakCurrentA = model.GetMaxCurrent();
    modelRecord.rmsCurrentA = model.GetValidCurrent();
    modelRecord.thermalCurrentA = model.GetSCurrent();
    modelRecord.overCurrentRelay = model.GetIsThemalProtect() != 0;
    modelRecord.electronicProtection = model.GetIsElectricProtect() != 0;
    modelRecord.Write(m_pMapControl, m_nEntityId);

    HighVoltageSwitchSettingsRecord settings;
    settings.protection = m_strProtection;
    settings.settingCalcA = FiniteOrZero(m_dSettingCalc);
    settings.terminalCalc = FiniteOrZero(m_dTerminalCalc);
    settings.terminalSet = FiniteOrZero(m_dTerminalSet);
    settings.loadFormula = m_strLoadFormula;
    settings.settingFormula = m_strSettingFormula;
    settings.overloadCalcA = FiniteOrZero(m_dOverloadCalc);
    settings.chosenStep = FiniteOrZero(m_dChosenStep);
    settings.userMultiple = FiniteOrZero(m_dUserMultiple);
    settings.userCurrentA = FiniteOrZero(m_dUserCurrent);
    settings.stepCalc = FiniteOrZero(m_dStepCalc);
    settings.multipleCalc = FiniteOrZero(m_dMultipleCalc);
    settings.apparentPowerKVA = FiniteOrZero(m_dApparentPower);
    settings.apparentCurrentA = FiniteOrZero(m_dApparentCurrent);
    settings.byStep = m_bByStep;
    settings.Write(m_pMapControl, m_nEntityId);

    HighVoltageSwitchCheckRecord check;
    check.protection = m_strProtection;
    check.userCurrentA = FiniteOrZero(m_dUserCurrent);
    check.shortPointName = m_strShortPoint;
    check.ikA = FiniteOrZero(m_dIk);
    check.sensitivity = FiniteOrZero(m_dSensitivity);
    check.ratio = FiniteOrZero(m_dRatio);
    check.coefficient = 1.0;
    check.flag = false;
    check.userOverloadA = FiniteOrZero(m_dUserOverload);
    check.Write(m_pMapControl, m_nEntityId);
}

// ---- The launcher behind the library's SetHighVoltageHead ----------------------------------------

int LaunchSetHighVoltageSwitchDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                                     LONG nEntityId, LONG hObject, int* pSet) {
    CSetHighVoltageSwitchDlg dialog(pMap);
    dialog.m_pMapControl = pMap;
    dialog.m_hObject = hObject;
    dialog.m_nEntityId = nEntityId;
    if (pObjects) dialog.m_objectList.Copy(*pObjects);
    if (pIds) dialog.m_idList.Copy(*pIds);
    const int result = static_cast<int>(dialog.DoModal());
    if (result == IDOK && pSet) *pSet = dialog.m_bHadModel;
    return result;
}

namespace {

// The library's SetHighVoltageHead (the Set Transformer dialog's "整定高压头",
// jdhost's set-hv-switch) opens this dialog while the module is loaded.
int HighVoltageHead(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds, LONG /*nHeadParam*/,
                    LONG nEntityId, LONG hObject, int* pSet) {
    return LaunchSetHighVoltageSwitchDialog(pMap, pObjects, pIds, nEntityId, hObject, pSet);
}

struct HighVoltageHeadRegistration {
    HighVoltageHeadRegistration() { RegisterHighVoltageHeadLauncher(&HighVoltageHead); }
    ~HighVoltageHeadRegistration() { RegisterHighVoltageHeadLauncher(HeadLauncher()); }
    HighVoltageHeadRegistration(const HighVoltageHeadRegistration&) = delete;
    HighVoltageHeadRegistration& operator=(const HighVoltageHeadRegistration&) = delete;
};

const HighVoltageHeadRegistration g_highVoltageHeadRegistration;

}  // namespace
