#include "module/JDTransformerParaDlg.h"

#include <cstdlib>

#include "equipment/JDBase.h"
#include "equipment/Transformer.h"
#include "module/MyListBox.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace {

// Item 2 of the capacity list, "2000" kVA: what a new model starts with.
constexpr int kDefaultCapacityItem = 2;

}  // namespace

double LeadingNumber(const CString& text) { return std::strtod(text.GetString(), nullptr); }

bool ComboHasItem(CComboBox& combo, const CString& text) {
    const int count = combo.GetCount();
    for (int i = 0; i < count; ++i) {
        CString item;
        combo.GetLBText(i, item);
        if (item == text) return true;
    }
    return false;
}

BEGIN_MESSAGE_MAP(CJDTransformerParaDlg, CDialog)
END_MESSAGE_MAP()

CJDTransformerParaDlg::CJDTransformerParaDlg(CWnd* pParent) : CDialog(IDD_TRANSFORMER_PARA, pParent) {
    EnsureParaStockResources();
}

CJDTransformerParaDlg::~CJDTransformerParaDlg() = default;

void CJDTransformerParaDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PARA_TYPE, m_typeCombo);
    DDX_Control(pDX, IDC_PARA_CAPACITY, m_capacityCombo);
    DDX_Control(pDX, IDC_PARA_HIGH_VOLTAGE, m_hvCombo);
    DDX_Control(pDX, IDC_PARA_LOW_VOLTAGE, m_lvCombo);
    DDX_Text(pDX, IDC_PARA_MODEL, m_strModel);
    DDX_Text(pDX, IDC_PARA_HV_CURRENT, m_dHvCurrent);
    DDX_Text(pDX, IDC_PARA_LV_CURRENT, m_dLvCurrent);
    DDX_Text(pDX, IDC_PARA_NO_LOAD_LOSS, m_dNoLoadLoss);
    DDX_Text(pDX, IDC_PARA_SHORT_CIRCUIT_LOSS, m_dShortCircuitLoss);
    DDX_Text(pDX, IDC_PARA_RESISTANCE, m_dResistance);
    DDX_Text(pDX, IDC_PARA_REACTANCE, m_dReactance);
    DDX_Text(pDX, IDC_PARA_IMPEDANCE_PERCENT, m_dImpedancePercent);
    DDX_Text(pDX, IDC_PARA_LINK_GROUP, m_strLinkGroup);
}

void CJDTransformerParaDlg::AppendLibraryList(char* heapText, CComboBox& combo) {
    // Copy first, then free: the library hands out a malloc block.
    CStringArray items;
    SplitVoltageList(heapText ? heapText : "", &items);
    std::free(heapText);
    for (int i = 0; i < items.GetSize(); ++i) AddComboItem(&combo, items[i]);
}

BOOL CJDTransformerParaDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    AppendLibraryList(GetCapacityList(), m_capacityCombo);
    AppendLibraryList(GetHighVoltageList(), m_hvCombo);
    AppendLibraryList(GetLowVoltageList(), m_lvCombo);

    m_typeCombo.SetCurSel(0);
    m_capacityCombo.SetCurSel(kDefaultCapacityItem);
    m_hvCombo.SetCurSel(m_nHvIndex);
    m_lvCombo.SetCurSel(m_nLvIndex);
    m_typeCombo.SetCurSel(m_nTypeIndex);

    if (m_bNewModel == 0) {
        // Type and voltages stay as the three indices chose them: the caller
        // shows the model under its own current selections.
        CTransformer model;
        LoadCatalogueModel(JD_KIND_TRANSFORMER, &model, static_cast<DWORD>(m_nModelId));
        CString capacity;
        capacity.Format("%0.0f", model.GetCapacity());
        const int item = m_capacityCombo.FindStringExact(-1, capacity);
        if (item != CB_ERR) m_capacityCombo.SetCurSel(item);
        m_strModel = model.GetModel();
        m_dHvCurrent = model.GetHCurrent();
        m_dLvCurrent = model.GetLCurrent();
        m_dNoLoadLoss = model.GetEmptyLose();
        m_dShortCircuitLoss = model.GetShortcutLose();
        m_dImpedancePercent = model.GetRXPercent();
        m_dResistance = model.GetTransR();
        m_dReactance = model.GetTransX();
        m_strLinkGroup = model.GetLinkGroup();
    }

    UpdateData(FALSE);
    return TRUE;
}

void CJDTransformerParaDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (m_strModel.IsEmpty()) {
        AfxMessageBox(FromUtf8("请正确填写变压器参数!"), MB_ICONINFORMATION);
        return;
    }

    CString type;
    m_typeCombo.GetWindowText(type);
    CString capacity;
    m_capacityCombo.GetWindowText(capacity);
    m_dCapacity = LeadingNumber(capacity);

    // New voltages go to the library's lists before the model is saved.
    CString hv;
    m_hvCombo.GetWindowText(hv);
    if (!ComboHasItem(m_hvCombo, hv)) AddHighVoltage(hv);
    CString lv;
    m_lvCombo.GetWindowText(lv);
    if (!ComboHasItem(m_lvCombo, lv)) AddLowVoltage(lv);
    m_strHvText = hv;
    m_strLvText = lv;

    m_nHvIndex = m_hvCombo.GetCurSel();
    m_nLvIndex = m_lvCombo.GetCurSel();
    m_nTypeIndex = m_typeCombo.GetCurSel();

    CTransformer model;
    model.SetModel(m_strModel);
    model.SetType(type);
    model.SetCapacity(m_dCapacity);
    model.SetHVoltage(LeadingNumber(hv));
    model.SetLVoltage(LeadingNumber(lv));
    model.SetHCurrent(m_dHvCurrent);
    model.SetLCurrent(m_dLvCurrent);
    model.SetEmptyLose(m_dNoLoadLoss);
    model.SetShortcutLose(m_dShortCircuitLoss);
    model.SetRXPercent(m_dImpedancePercent);
    model.SetTransR(m_dResistance);
    model.SetTransX(m_dReactance);
    model.SetLinkGroup(m_strLinkGroup);

    if (m_bNewModel != 0) {
        SaveCatalogueModel(JD_KIND_TRANSFORMER, m_bNewModel, &model, 0);
    } else {
        SaveCatalogueModel(JD_KIND_TRANSFORMER, 0, &model, static_cast<DWORD>(m_nModelId));
    }
    EndDialog(IDOK);
}
