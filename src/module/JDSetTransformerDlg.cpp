#include "module/JDSetTransformerDlg.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "equipment/JDBase.h"
#include "equipment/Transformer.h"
#include "host/AttributeAccess.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "host/KernelRecords.h"
#include "host/MorvaObjects.h"
#include "module/JDTransformerParaDlg.h"
#include "module/LoadStatistics.h"
#include "module/Stock.h"
#include "module/SwitchDialogSupport.h"
#include "module/TransformerImpedance.h"
#include "module/TransformerRecords.h"
#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"

namespace {

// Colours of the symbol when it carries no model and when it is stopped (0x00BBGGRR).
constexpr LONG kNoModelColour = 0x96F0;
constexpr LONG kStoppedColour = 0xFF;
// Label placement codes of the kernel: designation, spare mark, name.
constexpr LONG kPlacementDesignation = 0;
constexpr LONG kPlacementSpare = 3;
constexpr LONG kPlacementName = 8;

CString RecordName(const KernelObjectRecord& record) {
    return CString(record.name, static_cast<int>(strnlen(record.name, sizeof(record.name))));
}

void SetLabelText(LONG hObject, LONG index, const CString& text) {
    QueryObject(hObject, KernelQuery::SetLabelText, const_cast<char*>(text.GetString()), index);
}

void SetLabelValue(LONG hObject, LONG code, LONG index, LONG value) { QueryObject(hObject, code, &value, index); }

// The items of one of the library's list texts, the heap text freed at once.
CStringArray SplitLibraryList(char* heapText) {
    const CString text = heapText ? heapText : "";
    std::free(heapText);
    CStringArray items;
    SplitVoltageList(text, &items);
    return items;
}

}  // namespace

BEGIN_MESSAGE_MAP(CJDSetTransformerDlg, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_CBN_SELCHANGE(IDC_HIGH_VOLTAGE, &CJDSetTransformerDlg::OnVoltageChanged)
    ON_CBN_SELCHANGE(IDC_LOW_VOLTAGE, &CJDSetTransformerDlg::OnVoltageChanged)
    ON_CBN_SELCHANGE(IDC_TRANSFORMER_TYPE, &CJDSetTransformerDlg::OnTypeChanged)
    ON_LBN_SELCHANGE(IDC_MODEL_LIST, &CJDSetTransformerDlg::OnModelSelected)
    ON_LBN_DBLCLK(IDC_MODEL_LIST, &CJDSetTransformerDlg::OnModelDoubleClick)
    ON_BN_CLICKED(IDC_DETAILS, &CJDSetTransformerDlg::OnDetails)
    ON_BN_CLICKED(IDC_LOAD_STATISTICS, &CJDSetTransformerDlg::OnLoadStatistics)
    ON_CBN_SELCHANGE(IDC_LOAD_TYPE, &CJDSetTransformerDlg::OnLoadTypeChanged)
    ON_CBN_SELCHANGE(IDC_FACES, &CJDSetTransformerDlg::OnFacesChanged)
    ON_EN_KILLFOCUS(IDC_KR, &CJDSetTransformerDlg::OnKrKillFocus)
    ON_EN_KILLFOCUS(IDC_COS_PHI, &CJDSetTransformerDlg::OnCosPhiKillFocus)
    ON_BN_CLICKED(IDC_SUPPORT_SINGLE, &CJDSetTransformerDlg::OnSupportClicked)
    ON_BN_CLICKED(IDC_SUPPORT_SELF_ADVANCING, &CJDSetTransformerDlg::OnSupportClicked)
    ON_BN_CLICKED(IDC_SPARE_MOTORS, &CJDSetTransformerDlg::OnSpareMotorsClicked)
    ON_BN_CLICKED(IDC_STOCK, &CJDSetTransformerDlg::OnStock)
    ON_BN_CLICKED(IDC_HV_HEAD_SET, &CJDSetTransformerDlg::OnHvHeadSetClicked)
    ON_BN_CLICKED(IDC_LV_HEAD_SET, &CJDSetTransformerDlg::OnLvHeadSetClicked)
    ON_BN_CLICKED(IDC_HV_HEAD, &CJDSetTransformerDlg::OnHvHead)
    ON_BN_CLICKED(IDC_LV_HEAD, &CJDSetTransformerDlg::OnLvHead)
    ON_BN_CLICKED(IDC_VOLTAGE_LOSS, &CJDSetTransformerDlg::ShowVoltageLoss)
    ON_COMMAND(ID_MODEL_DETAILS, &CJDSetTransformerDlg::OnMenuDetails)
    ON_COMMAND(ID_MODEL_STOCK, &CJDSetTransformerDlg::OnMenuStock)
    ON_COMMAND(ID_MODEL_DELETE, &CJDSetTransformerDlg::OnMenuDelete)
    ON_COMMAND(ID_MODEL_ADD, &CJDSetTransformerDlg::OnMenuAddModel)
END_MESSAGE_MAP()

CJDSetTransformerDlg::CJDSetTransformerDlg(CWnd* pParent) : CDialog(IDD_SET_TRANSFORMER, pParent) {}

CJDSetTransformerDlg::~CJDSetTransformerDlg() {
    for (const KernelBlockEntry& entry : m_statBlocks) {
        if (entry.block) FreeKernelBlock(entry.block);
    }
}

void CJDSetTransformerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_HIGH_VOLTAGE, m_hvCombo);
    DDX_Control(pDX, IDC_LOW_VOLTAGE, m_lvCombo);
    DDX_Control(pDX, IDC_TRANSFORMER_TYPE, m_typeCombo);
    DDX_Control(pDX, IDC_MODEL_LIST, m_modelList);
    DDX_Control(pDX, IDC_LOAD_TYPE, m_loadTypeCombo);
    DDX_Control(pDX, IDC_FACES, m_facesCombo);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDX_Check(pDX, IDC_HV_HEAD_SET, m_bHvHeadSet);
    DDX_Check(pDX, IDC_LV_HEAD_SET, m_bLvHeadSet);
    DDX_Radio(pDX, IDC_STATE_RUNNING, m_nState);
    DDX_Radio(pDX, IDC_SUPPORT_SINGLE, m_nSupportType);
    DDX_Check(pDX, IDC_SPARE_MOTORS, m_bSpareMotors);
    DDX_Text(pDX, IDC_KR, m_dKr);
    DDX_Text(pDX, IDC_COS_PHI, m_dCosPhi);
    DDX_Text(pDX, IDC_KS, m_dKs);
    DDX_Text(pDX, IDC_APPARENT_POWER, m_dApparentPower);
    DDX_Text(pDX, IDC_CAPACITY, m_dCapacity);
    DDX_Text(pDX, IDC_MAX_START_CURRENT, m_dMaxStartCurrent);
    DDX_Text(pDX, IDC_OTHER_RATED_CURRENT, m_dOtherRatedCurrent);
    DDX_Text(pDX, IDC_TOTAL_RATED_CURRENT, m_dTotalRatedCurrent);
}

// ---- Window creation and destruction ------------------------------------------------------

int CJDSetTransformerDlg::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CDialog::OnCreate(lpCreateStruct) == -1) return -1;
    m_hContextMenu = AttachModelListMenu(m_modelList);
    return 0;
}

void CJDSetTransformerDlg::OnDestroy() {
    DetachModelListMenu(m_modelList, m_hContextMenu);
    CDialog::OnDestroy();
}

// ---- Opening ------------------------------------------------------------------------------

BOOL CJDSetTransformerDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // Without a map control there is no transformer to set either.
    if (m_hObject == 0 || m_pMapControl == nullptr) {
        MessageBox(FromUtf8("没有选中变压器,请重新选择！"));
        EndDialog(0);
        return TRUE;
    }
    if (IsSettingBlocked(m_hObject, 1)) {
        EndDialog(0);
        return TRUE;
    }

    AddLibraryVoltages();

    const StoredTransformerModel model = ReadModelRecord(m_pMapControl, m_nEntityId);
    m_dCapacity = model.capacityKVA;
    m_dApparentPower = ReadStoredApparentPower(m_pMapControl, m_nEntityId);
    const StoredLoad load = ReadLoadRecord(m_pMapControl, m_nEntityId);
    m_nSupportType = load.supportType;
    m_bSpareMotors = load.spareMotors;
    m_nState = load.state;
    m_nStateAtOpen = m_nState;

    // The opener may have walked the network for the same motors already.
    if (!m_bMotorsGiven) CollectSuppliedMotors(0, m_hObject, &m_motors);
    m_dFeederSum = SumFeederValues(m_hObject);
    GetDlgItem(IDC_VOLTAGE_LOSS)->EnableWindow(!IsZero(m_dFeederSum) && model.modelId != 0);

    KernelObjectRecord record;
    GetObjectInfo(m_hObject, &record);
    m_strName = RecordName(record);
    m_strNameAtOpen = m_strName;

    m_bLvHeadSet = ReadHeadModelId(m_pMapControl, m_nEntityId, AttributeField::FeederSwitchModel) != 0 ? 1 : 0;
    m_bHvHeadSet = ReadHeadModelId(m_pMapControl, m_nEntityId, AttributeField::HighVoltageSwitchModel) != 0 ? 1 : 0;

    ReadHighVoltageData();

    UpdateData(FALSE);
    m_nLowVoltage = GetDefaultLowVoltage();
    m_bNoModelAtOpen = model.modelId == 0 ? 1 : 0;

    if (model.modelId == 0) {
        SelectDefaultsWithoutModel();
        m_bHvHeadSet = 0;
        m_bLvHeadSet = 0;
        GetDlgItem(IDC_HV_HEAD)->EnableWindow(FALSE);
        GetDlgItem(IDC_LV_HEAD)->EnableWindow(FALSE);
        m_loadTypeCombo.SetCurSel(0);
        m_facesCombo.SetCurSel(0);
        FillModelList();
    } else {
        SelectStoredModel(model.type, model.primaryVoltage, model.secondaryVoltage, model.modelId);
        const int loadTypeIndex = m_loadTypeCombo.FindStringExact(-1, load.loadType);
        if (loadTypeIndex >= 0) m_loadTypeCombo.SetCurSel(loadTypeIndex);
        m_facesCombo.SetCurSel(load.facesIndex);
        ApplyLoadType(SelectedText(m_loadTypeCombo), m_facesCombo.GetCurSel());
    }

    OnSpareMotorsClicked();
    OnHvHeadSetClicked();
    OnLvHeadSetClicked();

    m_modelList.m_hOwner = m_hWnd;
    return TRUE;
}

void CJDSetTransformerDlg::AddLibraryVoltages() {
    for (const CString& item : SplitLibraryList(GetHighVoltageList())) AddComboItem(&m_hvCombo, item);
    for (const CString& item : SplitLibraryList(GetLowVoltageList())) AddComboItem(&m_lvCombo, item);
}

void CJDSetTransformerDlg::SelectDefaultsWithoutModel() {
    int lowVoltageIndex = 1;  // "1200" for any level the table does not name
    switch (m_nLowVoltage) {
        case 3300: lowVoltageIndex = 0; break;
        case 1140: lowVoltageIndex = 1; break;
        case 660: lowVoltageIndex = 2; break;
        case 380: lowVoltageIndex = 3; break;
        default: break;
    }
    m_lvCombo.SetCurSel(lowVoltageIndex);
    m_hvCombo.SetCurSel(1);

    char kind[32] = {};
    QueryObject(m_hObject, KernelQuery::KindName, kind, sizeof(kind));
    const CString kindName(kind, static_cast<int>(strnlen(kind, sizeof(kind))));
    const CString mobile = FromUtf8("移动变电站");
    const CString item = kindName == mobile ? mobile : FromUtf8("动力变压器");
    const int index = m_typeCombo.FindStringExact(-1, item);
    if (index >= 0) m_typeCombo.SetCurSel(index);
}

void CJDSetTransformerDlg::SelectStoredModel(const CString& type, const CString& primaryVoltage,
                                             const CString& secondaryVoltage, LONG modelId) {
    // A stored text that is no item leaves its combo as it is (without a selection on opening).
    const int hv = m_hvCombo.FindStringExact(-1, primaryVoltage);
    if (hv >= 0) m_hvCombo.SetCurSel(hv);
    const int lv = m_lvCombo.FindStringExact(-1, secondaryVoltage);
    if (lv >= 0) m_lvCombo.SetCurSel(lv);
    const int t = m_typeCombo.FindStringExact(-1, type);
    if (t >= 0) m_typeCombo.SetCurSel(t);

    FillModelList();
    for (int row = 0; row < m_modelIds.GetSize(); ++row) {
        if (static_cast<LONG>(m_modelIds[row]) == modelId) {
            m_modelList.SetCurSel(row);
            OnModelSelected();
            break;
        }
    }
}

void CJDSetTransformerDlg::ReadHighVoltageData() {
    const HighVoltageCurrents currents =
        ComputeHighVoltageCurrents(m_pMapControl, m_hObject, m_statMotors, m_statBlocks, &m_motors);
    m_dMaxStartCurrent = currents.maxStartCurrentA;
    m_dOtherRatedCurrent = currents.otherRatedCurrentA;
    m_dTotalRatedCurrent = currents.totalRatedCurrentA;
}

double CJDSetTransformerDlg::SumFeederValues(LONG hObject) { return ::SumFeederValues(hObject); }

// ---- Load statistics ----------------------------------------------------------------------

void CJDSetTransformerDlg::ApplyLoadType(const CString& loadType, int facesIndex) {
    CWnd* krEdit = GetDlgItem(IDC_KR);
    CWnd* cosPhiEdit = GetDlgItem(IDC_COS_PHI);
    CWnd* ksEdit = GetDlgItem(IDC_KS);
    LoadCoefficients c{m_dKr, m_dCosPhi, m_dKs, krEdit->IsWindowEnabled() != FALSE,
                       cosPhiEdit->IsWindowEnabled() != FALSE, ksEdit->IsWindowEnabled() != FALSE};
    ApplyCoefficientTable(loadType, facesIndex, m_nSupportType, m_dMaxMotorPower, m_dTotalMotorPower, c);
    m_dKr = c.kr;
    m_dCosPhi = c.cosPhi;
    m_dKs = c.ks;
    krEdit->EnableWindow(c.krEnabled);
    cosPhiEdit->EnableWindow(c.cosPhiEnabled);
    ksEdit->EnableWindow(c.ksEnabled);
    UpdateData(FALSE);
}

void CJDSetTransformerDlg::OnLoadTypeChanged() {
    ApplyLoadType(SelectedText(m_loadTypeCombo), m_facesCombo.GetCurSel());
    // Only the fully mechanised face asks for the support type; the radios
    // show the new choice with the next push of the members.
    const bool face = m_loadTypeCombo.GetCurSel() == kFullyMechanisedFace;
    GetDlgItem(IDC_SUPPORT_SINGLE)->ShowWindow(face ? SW_SHOW : SW_HIDE);
    GetDlgItem(IDC_SUPPORT_SELF_ADVANCING)->ShowWindow(face ? SW_SHOW : SW_HIDE);
    m_nSupportType = face ? kSupportSingleProps : kSupportNone;
}

void CJDSetTransformerDlg::OnFacesChanged() { ApplyLoadType(SelectedText(m_loadTypeCombo), m_facesCombo.GetCurSel()); }

void CJDSetTransformerDlg::OnSpareMotorsClicked() {
    if (!UpdateData(TRUE)) return;
    ApplyLoadType(SelectedText(m_loadTypeCombo), m_facesCombo.GetCurSel());
    UpdateData(FALSE);
}

void CJDSetTransformerDlg::OnSupportClicked() {
    if (!UpdateData(TRUE)) return;
    if (FindLoadTypeIndex(SelectedText(m_loadTypeCombo)) != kFullyMechanisedFace) return;
    if (auto kr = FaceDemandCoefficient(m_nSupportType, m_dMaxMotorPower, m_dTotalMotorPower)) m_dKr = *kr;
    UpdateData(FALSE);
}

void CJDSetTransformerDlg::OnKrKillFocus() { CheckCoefficientRange(IDC_KR, true); }
void CJDSetTransformerDlg::OnCosPhiKillFocus() { CheckCoefficientRange(IDC_COS_PHI, false); }

void CJDSetTransformerDlg::CheckCoefficientRange(int editId, bool demandCoefficient) {
    if (!UpdateData(TRUE)) return;
    const CString loadType = SelectedText(m_loadTypeCombo);
    const auto range = demandCoefficient ? DemandCoefficientRange(loadType) : PowerFactorRange(loadType);
    const double value = demandCoefficient ? m_dKr : m_dCosPhi;
    if (!range || range->Contains(value)) return;
    MessageBox(range->message);
    // The typed value stays; the user corrects it where it is.
    auto* edit = static_cast<CEdit*>(GetDlgItem(editId));
    edit->SetFocus();
    edit->SetSel(0, -1);
}

double CJDSetTransformerDlg::CalcApparentPower() {
    UpdateData(TRUE);
    return CalcApparentPowerKVA(m_dTotalMotorPower, m_dKr, m_dKs, m_dCosPhi);
}

void CJDSetTransformerDlg::OnLoadStatistics() {
    if (!UpdateData(TRUE)) return;
    const double s = CalcApparentPower();
    m_dApparentPower = RoundByFormat(s, "%.2f");
    if (IsZero(s)) {
        MessageBox(FromUtf8("图中没有运行的电动机，请设置电动机的启动状态或插入电动机！"), nullptr, MB_ICONINFORMATION);
    } else {
        CKernelObjectArray shown = SelectCountedMotors(m_motors, m_bSpareMotors == 1);
        ShowControlledMotors(&shown, m_pMapControl);
        MessageBox(FromUtf8("该变压器的视在功率为 ") + CString::Formatted("%0.2f", s) + FromUtf8("kVA！"), nullptr,
                   MB_ICONINFORMATION);
    }
    UpdateData(FALSE);
    FillModelList();
}

// ---- Model selection ----------------------------------------------------------------------

void CJDSetTransformerDlg::OnVoltageChanged() { FillModelList(); }

void CJDSetTransformerDlg::OnTypeChanged() {
    if (m_typeCombo.GetCurSel() < 0) return;
    ApplyMobileSubstationRule();
    UpdateData(FALSE);
    FillModelList();
}

void CJDSetTransformerDlg::ApplyMobileSubstationRule() {
    if (SelectedText(m_typeCombo) != FromUtf8("移动变电站")) {
        m_bHvHeadSet = 0;
        m_bLvHeadSet = 0;
        for (int id : {IDC_HV_HEAD_SET, IDC_LV_HEAD_SET, IDC_HV_HEAD, IDC_LV_HEAD}) GetDlgItem(id)->EnableWindow(FALSE);
    } else {
        // The head buttons keep their state: they follow the check boxes.
        GetDlgItem(IDC_HV_HEAD_SET)->EnableWindow(TRUE);
        GetDlgItem(IDC_LV_HEAD_SET)->EnableWindow(TRUE);
    }
}

void CJDSetTransformerDlg::FillModelList() {
    if (!UpdateData(TRUE)) return;
    m_modelIds.RemoveAll();
    m_modelList.ResetContent();
    if (m_hvCombo.GetCurSel() < 0 || m_lvCombo.GetCurSel() < 0) return;

    const CString query = BuildModelListQuery(SelectedText(m_typeCombo), SelectedText(m_hvCombo),
                                              SelectedText(m_lvCombo), m_dApparentPower);
    // No catalogue or a refused query: the list stays empty, without the "no model" row.
    if (!FillCatalogueModelList(m_modelList, m_modelIds, query)) return;
    m_modelList.SetCurSel(0);
    OnModelSelected();
    GetDlgItem(IDC_DETAILS)->EnableWindow(m_modelList.GetCount() >= 1);
}

void CJDSetTransformerDlg::OnModelSelected() {
    if (!UpdateData(TRUE)) return;
    const int row = SelectedRow();
    if (m_modelList.GetCount() > 1 && IsModelRow(row)) {
        auto transformer = std::make_unique<CTransformer>();
        LoadCatalogueModel(JD_KIND_TRANSFORMER, transformer.get(), m_modelIds[row]);
        m_dCapacity = transformer->GetCapacity();
    }
    UpdateData(FALSE);
}

// ---- Heads, stock and voltage loss ---------------------------------------------------------

void CJDSetTransformerDlg::OnHvHeadSetClicked() {
    UpdateData(TRUE);
    GetDlgItem(IDC_HV_HEAD)->EnableWindow(m_bHvHeadSet == 1);
}

void CJDSetTransformerDlg::OnLvHeadSetClicked() {
    UpdateData(TRUE);
    GetDlgItem(IDC_LV_HEAD)->EnableWindow(m_bLvHeadSet == 1);
}

void CJDSetTransformerDlg::OnHvHead() {
    int set = 0;
    const int result = SetHighVoltageHead(1, m_pMapControl, &m_objectList, &m_idList, m_nHeadParam, m_nEntityId,
                                          m_hObject, &set);
    if (result != IDOK) return;
    m_bHvHeadSet = set != 0 ? 1 : 0;
    GetDlgItem(IDC_HV_HEAD)->EnableWindow(set != 0);
    UpdateData(FALSE);
}

void CJDSetTransformerDlg::OnLvHead() {
    int set = 0;
    const int result = SetLowVoltageHead(1, m_pMapControl, &m_objectList, &m_idList, m_nHeadParam, m_nEntityId,
                                         m_hObject, &set, 0, 0, -1, -1);
    if (result != IDOK) return;
    m_bLvHeadSet = set != 0 ? 1 : 0;
    GetDlgItem(IDC_LV_HEAD)->EnableWindow(set != 0);
    UpdateData(FALSE);
}

void CJDSetTransformerDlg::OnStock() { ShowStockOfSelectedModel(); }

void CJDSetTransformerDlg::ShowStockOfSelectedModel() {
    const int row = SelectedRow();
    if (!IsModelRow(row)) return;
    CString model;
    m_modelList.GetText(row, model);
    CStock stock;
    stock.m_strModel = model;
    stock.DoModal();
}

void CJDSetTransformerDlg::ShowVoltageLoss() {
    const unsigned long refusalsBefore = AttributeWriteRefusals();
    CalcVoltageLoss(m_pMapControl, m_hObject, m_nEntityId, 0);
    if (ReportRefusedWrites(refusalsBefore)) return;
    const VoltageLossTexts loss = ReadVoltageLoss(m_pMapControl, m_nEntityId);
    MessageBox(FormatVoltageLossReport(loss.totalV, loss.percent, loss.transformerV, loss.trunkV, loss.branchV));
}

// ---- Details, adding and deleting models ----------------------------------------------------

void CJDSetTransformerDlg::OnModelDoubleClick() {
    const int row = SelectedRow();
    if (row == m_modelList.GetCount() - 1) {
        AddModel();
    } else {
        ShowModelDetails(row);
    }
}

void CJDSetTransformerDlg::OnDetails() { ShowModelDetails(SelectedRow()); }
void CJDSetTransformerDlg::OnMenuDetails() { ShowModelDetails(SelectedRow()); }
void CJDSetTransformerDlg::OnMenuStock() { ShowStockOfSelectedModel(); }
void CJDSetTransformerDlg::OnMenuDelete() { DeleteSelectedModel(); }

void CJDSetTransformerDlg::OnMenuAddModel() {
    if (SelectedRow() == m_modelList.GetCount() - 1) return;
    if (AddModel()) UpdateData(FALSE);
}

void CJDSetTransformerDlg::ShowModelDetails(int row) {
    if (!IsModelRow(row)) return;
    CJDTransformerParaDlg details(this);
    details.m_nModelId = static_cast<LONG>(m_modelIds[row]);
    details.m_bNewModel = 0;
    details.m_nHvIndex = m_hvCombo.GetCurSel();
    details.m_nLvIndex = m_lvCombo.GetCurSel();
    details.m_nTypeIndex = m_typeCombo.GetCurSel();
    if (details.DoModal() != IDOK) return;
    m_dCapacity = details.m_dCapacity;
    // OK labels the symbol with the row's text: a renamed model must show its new name.
    CString shown;
    m_modelList.GetText(row, shown);
    if (shown != details.m_strModel) {
        m_modelList.DeleteString(static_cast<UINT>(row));
        m_modelList.InsertString(row, details.m_strModel);
        m_modelList.SetCurSel(row);
    }
    UpdateData(FALSE);
    AppendVoltageWhenAbsent(m_hvCombo, details.m_strHvText);
    AppendVoltageWhenAbsent(m_lvCombo, details.m_strLvText);
    if (SelectedText(m_hvCombo) != details.m_strHvText || SelectedText(m_lvCombo) != details.m_strLvText) {
        FillModelList();
    }
}

bool CJDSetTransformerDlg::AddModel() {
    CJDTransformerParaDlg details(this);
    details.m_bNewModel = 1;
    details.m_nHvIndex = m_hvCombo.GetCurSel();
    details.m_nLvIndex = m_lvCombo.GetCurSel();
    details.m_nTypeIndex = m_typeCombo.GetCurSel();
    if (details.DoModal() != IDOK) return false;
    AppendVoltageWhenAbsent(m_hvCombo, details.m_strHvText);
    AppendVoltageWhenAbsent(m_lvCombo, details.m_strLvText);
    FillModelList();
    return true;
}

void CJDSetTransformerDlg::DeleteSelectedModel() {
    if (DeleteSelectedCatalogueModel(*this, m_modelList, m_modelIds, JD_KIND_TRANSFORMER)) FillModelList();
}

void CJDSetTransformerDlg::AppendVoltageWhenAbsent(CComboBox& combo, const CString& voltage) {
    if (combo.FindStringExact(-1, voltage) < 0) AddComboItem(&combo, voltage);
}

// ---- OK and Cancel ----------------------------------------------------------------------------

void CJDSetTransformerDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    // A model row whose catalogue ID could not be read (kept as 0) must not
    // become a zeroed record 163: stop before the name or anything is written.
    if (IsModelRow(SelectedRow()) && m_modelIds[SelectedRow()] == 0) {
        MessageBox(FromUtf8("所选型号的编号无法从设备目录中读出，不能使用这个型号，请检查设备目录!"), nullptr,
                   MB_ICONSTOP);
        return;
    }
    if (!CheckName()) return;
    const unsigned long refusalsBefore = AttributeWriteRefusals();

    CStringArray labels;
    labels.SetSize(2);
    const CString suffix = LowVoltageSuffix(SelectedText(m_lvCombo));
    const int row = SelectedRow();
    // The last row "无适用设备", an empty list and no selection all mean: no model.
    const bool noModel = !IsModelRow(row);
    CString designation;

    if (noModel) {
        labels[0] = "";
        labels[1] = "";
        ClearModelRecord(m_pMapControl, m_nEntityId);
        ClearLoadRecord(m_pMapControl, m_nEntityId);
        ClearCoefficientRecord(m_pMapControl, m_nEntityId);
        WriteFixedColour(kNoModelColour);
    } else {
        KernelObjectRecord record;
        GetObjectInfo(m_hObject, &record);
        const CString name = RecordName(record);
        CString rowText;
        m_modelList.GetText(row, rowText);
        const CString prefix = ModelPrefix(rowText);
        designation = rowText + suffix;
        labels[0] = designation;
        labels[1] = name;

        const WrittenModelValues written = WriteModelRecord(m_pMapControl, m_nEntityId, static_cast<LONG>(m_modelIds[row]));
        // Catalogue data that give no impedance (no capacity, impedance voltage
        // below the resistance) leave R_T and X_T at 0 and the points as they are.
        double resistance = 0.0;
        double reactance = 0.0;
        if (const auto impedance = CalcTransformerImpedance(written.shortCircuitLossW, written.secondaryVoltageV,
                                                            written.capacityKVA, written.impedancePercent)) {
            resistance = impedance->resistanceOhm;
            reactance = impedance->reactanceOhm;
            UpdateShortCircuitPoints(name, prefix, written.secondaryVoltageV, resistance, reactance);
        }

        LoadRecordValues load;
        load.loadType = SelectedText(m_loadTypeCombo);
        load.facesIndex = m_facesCombo.GetCurSel();
        load.feederSum = m_dFeederSum;
        load.supportType = m_nSupportType;
        load.resistanceOhm = resistance;
        load.reactanceOhm = reactance;
        load.maxStartCurrentA = m_dMaxStartCurrent;
        load.otherRatedCurrentA = m_dOtherRatedCurrent;
        load.totalRatedCurrentA = m_dTotalRatedCurrent;
        load.spareMotors = m_bSpareMotors;
        load.state = m_nState;
        WriteLoadRecord(m_pMapControl, m_nEntityId, load);
        WriteCoefficientRecord(m_pMapControl, m_nEntityId, m_dKr, m_dKs, m_dCosPhi, m_dMaxMotorPower,
                               m_dTotalMotorPower, m_dApparentPower);

        record.colour = LookUpColour(record, true);
        SetObjectInfo(m_hObject, &record);
    }

    const int changed = (m_bNoModelAtOpen == 1 || m_nState != m_nStateAtOpen) ? 1 : 0;

    if (m_nState == 0) {
        const CString type = SelectedText(m_typeCombo);
        if (IsLabelledType(type)) {
            LabelObject(0, m_pMapControl, type, &m_hObject, &labels, changed);
        } else {
            WriteLabels(noModel, designation, changed);
        }
    } else {
        WriteFixedColour(kStoppedColour);
        SetLabelValue(m_hObject, KernelQuery::SetLabelCount, 0, 2);
        SetLabelText(m_hObject, 0, FromUtf8("备用"));
        if (changed) SetLabelValue(m_hObject, KernelQuery::SetLabelPlacement, 0, kPlacementSpare);
        KernelObjectRecord record;
        GetObjectInfo(m_hObject, &record);
        SetLabelText(m_hObject, 1, RecordName(record));
        if (changed) SetLabelValue(m_hObject, KernelQuery::SetLabelPlacement, 1, kPlacementName);
        SetLabelValue(m_hObject, KernelQuery::SetLabelStyle, 1, GetLabelStyle());
    }

    m_pMapControl->RedrawEntities(&m_nEntityId, 1, 0);
    m_pMapControl->SetModified(TRUE);
    // What was written stays written (the drawing changed); the user must
    // still learn that a record is not what OK meant it to be.
    ReportRefusedWrites(refusalsBefore);
    EndDialog(IDOK);
}

bool CJDSetTransformerDlg::ReportRefusedWrites(unsigned long refusalsBefore) {
    if (AttributeWriteRefusals() == refusalsBefore) return false;
    MessageBox(FromUtf8("图中的记录没有全部写入：" + AttributeLastRefusedWrite()), nullptr, MB_ICONSTOP);
    return true;
}

void CJDSetTransformerDlg::OnCancel() { CDialog::OnCancel(); }

bool CJDSetTransformerDlg::CheckName() {
    return ApplyObjectName(*this, m_pMapControl, &m_hObject, &m_objectList, m_strName, IDC_NAME);
}

void CJDSetTransformerDlg::UpdateShortCircuitPoints(const CString& transformerName, const CString& modelPrefix,
                                                    double secondaryVoltageV, double resistanceOhm,
                                                    double reactanceOhm) {
    const SupplyTransformer transformer{transformerName, modelPrefix, m_dCapacity, resistanceOhm, reactanceOhm};
    UpdateShortCircuitPointsOf(m_pMapControl, m_strNameAtOpen, &m_objectList, &m_idList, transformer,
                               secondaryVoltageV);
}

LONG CJDSetTransformerDlg::LookUpColour(KernelObjectRecord& record, bool setBit) {
    const LONG map = m_pMapControl->GetKernelMap();
    LONG colour = 0;
    QueryMap(map, KernelMapQuery::CurrentColour, &colour, 0);
    if (colour == -1) {
        KernelLayerRecord layer;
        QueryMap(map, KernelMapQuery::LayerRecord, &layer, record.layer);
        colour = layer.colour;
        if (setBit) {
            record.flags |= kObjectFlagLayerColour;
        } else {
            record.flags ^= kObjectFlagLayerColour;
        }
    }
    return colour;
}

void CJDSetTransformerDlg::WriteFixedColour(LONG colour) {
    KernelObjectRecord record;
    GetObjectInfo(m_hObject, &record);
    LookUpColour(record, false);
    record.colour = colour;
    SetObjectInfo(m_hObject, &record);
}

void CJDSetTransformerDlg::WriteLabels(bool noModel, const CString& designation, int changed) {
    if (noModel) {
        LONG count = 0;
        QueryObject(m_hObject, KernelQuery::LabelCount, &count, 0);
        for (LONG i = 0; i < count; ++i) {
            SetLabelText(m_hObject, i, "");
            SetLabelValue(m_hObject, KernelQuery::SetLabelStyle, i, GetLabelStyle());
        }
        return;
    }
    SetLabelValue(m_hObject, KernelQuery::SetLabelCount, 0, 2);
    SetLabelText(m_hObject, 0, designation);
    if (changed) SetLabelValue(m_hObject, KernelQuery::SetLabelPlacement, 0, kPlacementDesignation);
    KernelObjectRecord record;
    GetObjectInfo(m_hObject, &record);
    SetLabelText(m_hObject, 1, RecordName(record));
    if (changed) SetLabelValue(m_hObject, KernelQuery::SetLabelPlacement, 1, kPlacementName);
    SetLabelValue(m_hObject, KernelQuery::SetLabelStyle, 1, GetLabelStyle());
}

// ---- Small helpers ----------------------------------------------------------------------------

int CJDSetTransformerDlg::SelectedRow() const { return m_modelList.GetCurSel(); }

bool CJDSetTransformerDlg::IsModelRow(int row) const {
    return row >= 0 && row < m_modelList.GetCount() - 1 && row < m_modelIds.GetSize();
}

CString CJDSetTransformerDlg::SelectedText(const CComboBox& combo) const {
    CString text;
    const int index = combo.GetCurSel();
    if (index >= 0) combo.GetLBText(index, text);
    return text;
}
