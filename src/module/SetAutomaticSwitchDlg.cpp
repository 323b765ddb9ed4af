#include "module/SetAutomaticSwitchDlg.h"

#include <memory>

#include "equipment/AutomaticSwitch.h"
#include "equipment/JDBase.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "host/MorvaObjects.h"
#include "module/JDAutomaticSwitchParaDlg.h"
#include "module/SwitchDialogSupport.h"
#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"

namespace {

// Rows of the protection combo 12062.
constexpr int kRelayRow = 0;        // "过流继电器"
constexpr int kElectronicRow = 1;   // "电子式保护"

// Rows of the voltage combo 12001 for the project's low-voltage levels; a
// level the table does not name takes "1140".
int VoltageRowOfLevel(int lowVoltage) {
    switch (lowVoltage) {
        case 6000: return 0;
        case 3300: return 1;
        case 1140: return 2;
        case 660: return 3;
        case 380: return 4;
        case 127: return 5;
        default: return 2;
    }
}

// Whether the text is a plain decimal number (what a voltage row must be to
// go into the model-list query as a bare number).
bool IsPlainNumber(const CString& text) {
    double value = 0.0;
    return !text.IsEmpty() && ParseExchangeDouble(text, value);
}

}  // namespace

BEGIN_MESSAGE_MAP(CSetAutomaticSwitchDlg, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_CBN_SELCHANGE(IDC_SWITCH_VOLTAGE, &CSetAutomaticSwitchDlg::OnVoltageChanged)
    ON_LBN_SELCHANGE(IDC_SWITCH_MODEL_LIST, &CSetAutomaticSwitchDlg::OnModelSelected)
    ON_BN_CLICKED(IDC_SWITCH_DETAILS, &CSetAutomaticSwitchDlg::OnDetailsButton)
    ON_CBN_SELCHANGE(IDC_SWITCH_PROTECTION, &CSetAutomaticSwitchDlg::OnProtectionChanged)
    ON_LBN_DBLCLK(IDC_SWITCH_MODEL_LIST, &CSetAutomaticSwitchDlg::OnModelDoubleClick)
    ON_BN_CLICKED(IDC_SWITCH_CHECK_SENSITIVITY, &CSetAutomaticSwitchDlg::CheckSensitivity)
    ON_BN_CLICKED(IDC_SWITCH_MOTORS, &CSetAutomaticSwitchDlg::OnShowMotors)
    ON_CBN_SELCHANGE(IDC_SWITCH_SHORT_POINT, &CSetAutomaticSwitchDlg::OnShortPointChanged)
    ON_EN_CHANGE(IDC_SWITCH_USER_VALUE, &CSetAutomaticSwitchDlg::OnUserValueChanged)
    ON_COMMAND(ID_MODEL_DETAILS, &CSetAutomaticSwitchDlg::OnMenuDetails)
    ON_COMMAND(ID_MODEL_DELETE, &CSetAutomaticSwitchDlg::OnMenuDelete)
    ON_COMMAND(ID_MODEL_ADD, &CSetAutomaticSwitchDlg::OnMenuAddModel)
    ON_BN_CLICKED(IDC_SWITCH_BY_STEP, &CSetAutomaticSwitchDlg::OnStepChoiceChanged)
END_MESSAGE_MAP()

CSetAutomaticSwitchDlg::CSetAutomaticSwitchDlg(CWnd* pParent) : CDialog(IDD_SET_AUTOMATIC_SWITCH, pParent) {
    EnsureFeederSwitchResources();
}

CSetAutomaticSwitchDlg::~CSetAutomaticSwitchDlg() = default;

void CSetAutomaticSwitchDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SWITCH_VOLTAGE, m_voltageCombo);
    DDX_Control(pDX, IDC_SWITCH_PROTECTION, m_protectionCombo);
    DDX_Control(pDX, IDC_SWITCH_SHORT_POINT, m_shortPointCombo);
    DDX_Control(pDX, IDC_SWITCH_MODEL_LIST, m_modelList);
    DDX_Text(pDX, IDC_SWITCH_NAME, m_strName);
    DDX_Text(pDX, IDC_SWITCH_RATED_CURRENT, m_dRatedCurrent);
    DDX_Text(pDX, IDC_SWITCH_SETTING_CALC, m_dSettingCalc);
    DDX_Text(pDX, IDC_SWITCH_SETTING_RANGE, m_strSwitchSetting);
    DDX_Text(pDX, IDC_SWITCH_USER_VALUE, m_dUserValue);
    DDX_Text(pDX, IDC_SWITCH_OVERLOAD_CALC, m_dOverloadCalc);
    DDX_Text(pDX, IDC_SWITCH_CHOSEN_STEP, m_dChosenStep);
    DDX_Text(pDX, IDC_SWITCH_STEP_CALC, m_dStepCalc);
    DDX_Text(pDX, IDC_SWITCH_USER_CURRENT, m_dUserCurrent);
    DDX_Text(pDX, IDC_SWITCH_USER_OVERLOAD, m_dUserOverload);
    DDX_Check(pDX, IDC_SWITCH_BY_STEP, m_bByStep);
}

// ---- Window creation and destruction ------------------------------------------------------

int CSetAutomaticSwitchDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    m_hContextMenu = AttachModelListMenu(m_modelList);
    return 0;
}

void CSetAutomaticSwitchDlg::OnDestroy() {
    DetachModelListMenu(m_modelList, m_hContextMenu);
    CDialog::OnDestroy();
}

// ---- Opening ------------------------------------------------------------------------------

BOOL CSetAutomaticSwitchDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    m_motors.RemoveAll();
    if (m_hObject != 0 && m_pMapControl) CollectMotors(m_hObject, m_motors);
    if (m_motors.GetSize() == 0) {
        MessageBox(FromUtf8("移动变压器变向下联接的设备中没有电动机!"), nullptr, MB_ICONINFORMATION);
        EndDialog(0);
        return TRUE;
    }

    AddLibraryVoltages();

    FeederSwitchModelRecord model;
    model.Read(m_pMapControl, m_nEntityId);
    m_dRatedCurrent = FiniteOrZero(model.ratedCurrentA);

    FeederSwitchCheckRecord check;
    if (check.Read(m_pMapControl, m_nEntityId)) {
        m_strProtection = check.protection;
        m_dUserValue = FiniteOrZero(check.userSettingA);
        m_strShortPoint = check.shortPointName;
        m_dSensitivity = FiniteOrZero(check.sensitivity);
        m_dChosenStep = FiniteOrZero(check.chosenStep);
        m_dUserOverload = FiniteOrZero(check.userOverloadA);
    }
    if (m_strProtection == AttributeText::ElectronicProtection()) {
        // The record keeps the setting current; the edit shows the multiple.
        m_dUserCurrent = m_dUserValue;
        m_dUserValue = CurrentToMultiple(m_dUserCurrent, m_dRatedCurrent);
    }

    m_dSettingCalc = RoundToCents(ComputeShortSetting(m_motors));
    m_dOverloadCalc = RoundToCents(ComputeOverloadSetting(m_motors));

    if (!m_strShortPoint.IsEmpty()) {
        m_hShortPoint = FindPointByName(m_strShortPoint);
    } else {
        CKernelObjectArray loads;
        CollectLoadsAndProtectors(m_hObject, loads);
        m_hShortPoint = FindDefaultShortPoint(m_hObject, loads, m_strShortPoint);
    }
    FillShortPointCombo(m_strShortPoint);

    m_strName = ObjectName(m_hObject);
    m_bByStep = GetStepChoiceFlag() ? 1 : 0;
    UpdateData(FALSE);
    m_nLowVoltage = GetDefaultLowVoltage();

    if (model.modelId == 0) {
        m_bHadModel = 0;
        m_voltageCombo.SetCurSel(VoltageRowOfLevel(m_nLowVoltage));
        m_protectionCombo.SetCurSel(kElectronicRow);
        ApplyProtectionLabels(kElectronicRow, false);
        FillModelList();
    } else {
        m_bHadModel = 1;
        const int voltageRow = m_voltageCombo.FindStringExact(-1, model.ratedVoltageText);
        m_voltageCombo.SetCurSel(voltageRow);
        const int protectionRow = m_protectionCombo.FindStringExact(-1, m_strProtection);
        m_protectionCombo.SetCurSel(protectionRow);
        FillModelList();
        for (int row = 0; row < m_modelIds.GetSize(); ++row) {
            if (static_cast<LONG>(m_modelIds[row]) == model.modelId) {
                m_modelList.SetCurSel(row);
                OnModelSelected();
                break;
            }
        }
    }

    GetDlgItem(IDC_SWITCH_CHECK_SENSITIVITY)->EnableWindow(!IsZero(m_dSettingCalc));
    m_modelList.m_hOwner = m_hWnd;
    OnStepChoiceChanged();
    return TRUE;
}

void CSetAutomaticSwitchDlg::AddLibraryVoltages() { AppendLibraryListItems(GetFeederVoltageList(), m_voltageCombo); }

// ---- Model list ---------------------------------------------------------------------------

CString CSetAutomaticSwitchDlg::BuildModelListQuery(int protectionRow, const CString& voltage, double settingCalcA) {
    if (!IsPlainNumber(voltage)) return CString();
    const CString current = CString::Formatted("%0.2f", FiniteOrZero(settingCalcA));
    const CString head = "select * from Para_AutomaticSwitch where Voltage = " + voltage;
    if (protectionRow == kRelayRow) return head + " and MCurrent > " + current + " order by ID";
    if (protectionRow == kElectronicRow) return head + " and RCurrent * MSMulti > " + current + " order by ID";
    return CString();
}

void CSetAutomaticSwitchDlg::FillModelList() {
    if (!UpdateData(TRUE)) return;
    m_modelIds.RemoveAll();
    m_modelList.ResetContent();
    if (m_voltageCombo.GetCurSel() < 0) return;
    const CString query =
        BuildModelListQuery(m_protectionCombo.GetCurSel(), SelectedComboText(m_voltageCombo), m_dSettingCalc);
    if (query.IsEmpty()) return;
    // A query that cannot be opened leaves the list empty, without the no-model row.
    if (!FillCatalogueModelList(m_modelList, m_modelIds, query)) return;
    m_modelList.SetCurSel(0);
    OnModelSelected();
    GetDlgItem(IDC_SWITCH_DETAILS)->EnableWindow(m_modelList.GetCount() >= 1);
}

void CSetAutomaticSwitchDlg::ApplyProtectionLabels(int protectionRow, bool modelLoaded) {
    if (protectionRow == kRelayRow) {
        SetDlgItemText(IDC_SWITCH_RANGE_LABEL, FromUtf8("脱扣整定电流:"));
        SetDlgItemText(IDC_SWITCH_USER_VALUE_LABEL, FromUtf8("用户整定电流:"));
        SetDlgItemText(IDC_SWITCH_USER_CURRENT_LABEL, "");
        GetDlgItem(IDC_SWITCH_USER_CURRENT)->ShowWindow(SW_HIDE);
        GetDlgItem(IDC_SWITCH_CHOSEN_STEP)->EnableWindow(FALSE);
    } else if (protectionRow == kElectronicRow || !modelLoaded) {
        SetDlgItemText(IDC_SWITCH_RANGE_LABEL, FromUtf8("开关整定倍数:"));
        SetDlgItemText(IDC_SWITCH_USER_VALUE_LABEL, FromUtf8("用户整定倍数:"));
        SetDlgItemText(IDC_SWITCH_USER_CURRENT_LABEL, FromUtf8("用户整定电流:"));
        GetDlgItem(IDC_SWITCH_USER_CURRENT)->ShowWindow(SW_SHOW);
        GetDlgItem(IDC_SWITCH_CHOSEN_STEP)->EnableWindow(TRUE);
    }
}

void CSetAutomaticSwitchDlg::OnModelSelected() {
    if (!UpdateData(TRUE)) return;
    const int row = SelectedModelRow(m_modelList, m_modelIds);
    if (m_modelList.GetCount() <= 1 || row < 0) {
        UpdateData(FALSE);
        return;
    }
    auto model = std::make_unique<CAutomaticSwitch>();
    LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, model.get(), m_modelIds[row]);
    m_dRatedCurrent = FiniteOrZero(model->GetCurrent());
    const int protectionRow = m_protectionCombo.GetCurSel();
    ApplyProtectionLabels(protectionRow, true);
    if (protectionRow == kRelayRow) m_strSwitchSetting = model->GetReleaseCurrent();
    if (protectionRow == kElectronicRow) m_strSwitchSetting = model->GetShortMultiple();
    m_dStepCalc = ComputeOverloadStep(m_dOverloadCalc, m_dRatedCurrent);
    OnUserValueChanged();
    model.reset();
    UpdateData(FALSE);
}

// ---- Handlers -----------------------------------------------------------------------------

void CSetAutomaticSwitchDlg::OnUserValueChanged() {
    if (m_protectionCombo.GetCurSel() != kElectronicRow) return;
    CString text;
    GetDlgItemText(IDC_SWITCH_USER_VALUE, text);
    double multiple = 0.0;
    if (!ParseExchangeDouble(text, multiple)) multiple = 0.0;   // half-typed: no current yet
    m_dUserCurrent = MultipleToCurrent(multiple, m_dRatedCurrent);
    SetDlgItemText(IDC_SWITCH_USER_CURRENT, CString::Formatted("%.0f", m_dUserCurrent));
}

void CSetAutomaticSwitchDlg::OnProtectionChanged() {
    FillModelList();
    m_dUserValue = 0.0;
    m_dUserCurrent = 0.0;
    UpdateData(FALSE);
}

void CSetAutomaticSwitchDlg::OnVoltageChanged() { FillModelList(); }

void CSetAutomaticSwitchDlg::OnStepChoiceChanged() {
    UpdateData(TRUE);
    GetDlgItem(IDC_SWITCH_CHOSEN_STEP)->EnableWindow(m_bByStep != 0);
    GetDlgItem(IDC_SWITCH_USER_OVERLOAD)->EnableWindow(m_bByStep == 0);
}

void CSetAutomaticSwitchDlg::OnShowMotors() { ShowControlledMotors(&m_motors, m_pMapControl); }

// ---- Short-circuit point and sensitivity ----------------------------------------------------

void CSetAutomaticSwitchDlg::FillShortPointCombo(const CString& name) {
    ::FillShortPointCombo(m_shortPointCombo, m_objectList, name);
}

void CSetAutomaticSwitchDlg::OnShortPointChanged() {
    m_strShortPoint = SelectedComboText(m_shortPointCombo);
    m_hShortPoint = FindPointByName(m_strShortPoint);
    if (m_hShortPoint != 0) FlashObject(m_hShortPoint);
}

void CSetAutomaticSwitchDlg::FlashObject(LONG hObject) {
    // One flag for every feeder switch dialog of the module: the pen colours
    // go on alternating from one flash to the next.
    static int penFlag = 0;
    ::FlashObject(m_pMapControl, hObject, penFlag);
}

void CSetAutomaticSwitchDlg::CheckSensitivity() {
    if (!UpdateData(TRUE)) return;
    if (m_hShortPoint == 0) {
        ShowNoShortPointMessage(*this);
        return;
    }
    m_dIk = ReadShortPointCurrent(m_pMapControl, m_hShortPoint, m_objectList, m_idList);
    if (IsZero(m_dIk)) {
        MessageBox(FromUtf8("请先计算短路点短路电流！"));
        return;
    }
    double setting = m_dUserValue;
    if (m_protectionCombo.GetCurSel() == kElectronicRow) {
        if (!IsUserMultipleAllowed(m_dUserValue)) {
            MessageBox(FromUtf8("用户整定倍数应选择1~10之间的数!"));
            return;
        }
        setting = m_dUserCurrent;
    }
    FlashObject(m_hShortPoint);
    m_dSensitivity = ComputeSensitivity(setting, m_dIk);
    ShowSensitivityVerdict(*this, m_dSensitivity,
                           FromUtf8("应采取措施：1、加大电缆截面面积；2、加大变压器容量。"));
}

// ---- Details, adding and deleting models ------------------------------------------------------

bool CSetAutomaticSwitchDlg::ShowModelDetails(int row) {
    if (!IsModelRow(m_modelList, m_modelIds, row)) return false;
    CJDAutomaticSwitchParaDlg details(this);
    details.m_nModelId = static_cast<LONG>(m_modelIds[row]);
    details.m_bNewModel = 0;
    details.m_nVoltageIndex = m_voltageCombo.GetCurSel();
    if (details.DoModal() != IDOK) return false;
    m_dRatedCurrent = FiniteOrZero(details.m_dRatedCurrent);
    const int protectionRow = m_protectionCombo.GetCurSel();
    if (protectionRow == kRelayRow) m_strSwitchSetting = details.m_strReleaseCurrent;
    if (protectionRow == kElectronicRow) m_strSwitchSetting = details.m_strShortMultiple;
    UpdateData(FALSE);
    if (AdoptDetailVoltage(m_voltageCombo, details.m_strVoltage)) FillModelList();
    return true;
}

void CSetAutomaticSwitchDlg::OnDetailsButton() {
    if (!UpdateData(TRUE)) return;
    const double userValue = m_dUserValue;
    const int row = m_modelList.GetCurSel();
    // No row selected (a right click below the rows): nothing to show.
    if (row < 0) return;
    ShowModelDetails(row);
    m_dUserValue = userValue;
    UpdateData(FALSE);
}

void CSetAutomaticSwitchDlg::OnMenuDetails() { ShowModelDetails(m_modelList.GetCurSel()); }

void CSetAutomaticSwitchDlg::OnModelDoubleClick() {
    const int row = m_modelList.GetCurSel();
    if (row >= 0 && row == m_modelList.GetCount() - 1) {
        AddModel();
    } else {
        ShowModelDetails(row);
    }
}

void CSetAutomaticSwitchDlg::OnMenuAddModel() { AddModel(); }

void CSetAutomaticSwitchDlg::AddModel() {
    CJDAutomaticSwitchParaDlg details(this);
    details.m_bNewModel = 1;
    details.m_nVoltageIndex = m_voltageCombo.GetCurSel();
    const int protectionRow = m_protectionCombo.GetCurSel();
    if (protectionRow == kRelayRow) {
        details.m_bRelay = 1;
        details.m_bElectronic = 0;
    } else if (protectionRow == kElectronicRow) {
        details.m_bRelay = 0;
        details.m_bElectronic = 1;
    }
    if (details.DoModal() != IDOK) return;
    if (m_voltageCombo.FindStringExact(-1, details.m_strVoltage) < 0) AddComboItem(&m_voltageCombo, details.m_strVoltage);
    FillModelList();
}

void CSetAutomaticSwitchDlg::OnMenuDelete() {
    if (DeleteSelectedCatalogueModel(*this, m_modelList, m_modelIds, JD_KIND_AUTOMATIC_SWITCH)) FillModelList();
}

// ---- OK and Cancel ----------------------------------------------------------------------------

void CSetAutomaticSwitchDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    // A model row whose catalogue ID could not be read (kept as 0) must not
    // become a zeroed record 174: stop before anything is asked or written.
    const int selected = SelectedModelRow(m_modelList, m_modelIds);
    if (selected >= 0 && m_modelIds[selected] == 0) {
        MessageBox(FromUtf8("所选型号的编号无法从设备目录中读出，不能使用这个型号，请检查设备目录!"), nullptr,
                   MB_ICONSTOP);
        return;
    }
    m_bHadModel = 0;
    if (m_hShortPoint == 0 && !AskContinueWithoutShortPoint(*this)) return;
    m_dIk = m_hShortPoint != 0 ? ReadShortPointCurrent(m_pMapControl, m_hShortPoint, m_objectList, m_idList) : 0.0;
    if (IsZero(m_dIk) &&
        MessageBox(FromUtf8("提示：没有计算短路点短路电流, 是否继续？"), nullptr, MB_YESNO) != IDYES) {
        return;
    }
    const double setting =
        FiniteOrZero(m_protectionCombo.GetCurSel() == kElectronicRow ? m_dUserCurrent : m_dUserValue);
    if (setting < m_dSettingCalc && !AskContinueWithSettingBelowCalc(*this)) return;

    SetStepChoiceFlag(m_bByStep);
    // The no-model row, an empty list and no selection all store no model.
    const int row = SelectedModelRow(m_modelList, m_modelIds);
    if (row < 0) {
        WriteClearedRecords();
    } else {
        WriteModelRecords(row, setting);
    }
    m_pMapControl->RedrawEntities(&m_nEntityId, 1, 0);
    m_pMapControl->Refresh();
    m_pMapControl->SetModified(TRUE);
    EndDialog(IDOK);
}

void CSetAutomaticSwitchDlg::OnCancel() { CDialog::OnCancel(); }

void CSetAutomaticSwitchDlg::WriteClearedRecords() {
    FeederSwitchModelRecord::WriteCleared(m_pMapControl, m_nEntityId);
    FeederSwitchSettingsRecord::WriteCleared(m_pMapControl, m_nEntityId);
    FeederSwitchCheckRecord::WriteCleared(m_pMapControl, m_nEntityId);
}

void CSetAutomaticSwitchDlg::WriteModelRecords(int row, double settingCurrentA) {
    m_bHadModel = 1;
    m_strProtection = SelectedComboText(m_protectionCombo);
    m_strShortPoint = SelectedComboText(m_shortPointCombo);
    const StartingGroups groups = ComputeStartingGroups(m_motors);
    m_dSensitivity = ComputeSensitivity(settingCurrentA, m_dIk);

    CAutomaticSwitch unit;
    LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &unit, m_modelIds[row]);
    FeederSwitchModelRecord model;
    model.modelId = static_cast<LONG>(m_modelIds[row]);
    model.model = unit.GetModel();
    model.ratedVoltageV = FiniteOrZero(unit.GetVoltage());
    model.ratedCurrentA = FiniteOrZero(unit.GetCurrent());
    model.overCurrentRelay = unit.GetIsThemalProtect() != 0;
    model.tripCurrents = unit.GetReleaseCurrent();
    model.maxTripCurrentA = FiniteOrZero(unit.GetMaxReleaseCurrent());
    model.electronicProtection = unit.GetIsElectricProtect() != 0;
    model.longTimeMultiples = unit.GetLongMultiple();
    model.instantaneousMultiples = unit.GetShortMultiple();
    model.maxInstantaneousMultiple = FiniteOrZero(unit.GetMaxShortMultiple());
    model.Write(m_pMapControl, m_nEntityId);

    FeederSwitchSettingsRecord settings;
    settings.protection = m_strProtection;
    settings.maxGroupStartCurrentA = FiniteOrZero(groups.maxStart);
    settings.totalRatedCurrentA = FiniteOrZero(groups.totalIe);
    settings.restRatedCurrentA = FiniteOrZero(groups.restIe);
    settings.settingCalcA = FiniteOrZero(m_dSettingCalc);
    settings.stepCalc = FiniteOrZero(m_dStepCalc);
    settings.chosenStep = FiniteOrZero(m_dChosenStep);
    settings.overloadCalcA = FiniteOrZero(m_dOverloadCalc);
    settings.byStep = m_bByStep;
    settings.Write(m_pMapControl, m_nEntityId);

    FeederSwitchCheckRecord check;
    check.protection = m_strProtection;
    check.userSettingA = settingCurrentA;
    check.shortPointName = m_strShortPoint;
    check.ikA = FiniteOrZero(m_dIk);
    check.sensitivity = FiniteOrZero(m_dSensitivity);
    check.chosenStep = FiniteOrZero(m_dChosenStep);
    check.userOverloadA = FiniteOrZero(m_dUserOverload);
    check.Write(m_pMapControl, m_nEntityId);

    auto normalized = [](double value) {
        CString text;
        NormalizeNumberText(CString::Formatted("%0.2f", FiniteOrZero(value)), &text);
        return text;
    };
    const CString name = ObjectNameOfSwitch();
    CString note = FromUtf8("移变") + name + FromUtf8(" 低压侧: ") + FromUtf8("过载整定计算值：") +
                   CString::Formatted("%.2f", FiniteOrZero(m_dOverloadCalc)) + "A" + FromUtf8("，用户整定电流：");
    BuildSwitchNote(FromUtf8("移动变电站"), m_strProtection, normalized(m_dIk), normalized(settingCurrentA),
                    normalized(m_dSensitivity), &note);
    WriteSwitchNote(m_pMapControl, name, note);
}

CString CSetAutomaticSwitchDlg::ObjectNameOfSwitch() const { return ObjectName(m_hObject); }

// ---- Launcher -------------------------------------------------------------------------------

int LaunchFeederSwitchDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                             LONG /*nHeadParam*/, LONG nEntityId, LONG hObject, int* pSet) {
    CSetAutomaticSwitchDlg dialog;
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

struct FeederSwitchLauncherRegistration {
    FeederSwitchLauncherRegistration() { RegisterLowVoltageHeadLauncher(&LaunchFeederSwitchDialog); }
    ~FeederSwitchLauncherRegistration() { RegisterLowVoltageHeadLauncher(HeadLauncher()); }
    FeederSwitchLauncherRegistration(const FeederSwitchLauncherRegistration&) = delete;
    FeederSwitchLauncherRegistration& operator=(const FeederSwitchLauncherRegistration&) = delete;
};

const FeederSwitchLauncherRegistration g_registration;

}  // namespace
