#include "module/JDTransformerParaDlg.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "equipment/CatalogueText.h"
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

double LeadingNumber(const CString& text) {
    // The longest prefix in plain decimal notation, [sign]digits[.digits][exponent]:
    // strtod would also read "0x1A" as 26 and pass "nan" and "inf" on to the catalogue.
    const std::string_view s = text.view();
    auto isDigit = [&](size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '9'; };
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    const size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    for (; isDigit(i); ++i) ++digits;
    if (i < s.size() && s[i] == '.') {
        size_t j = i + 1;
        for (; isDigit(j); ++j) ++digits;
        if (digits > 0) i = j;
    }
    if (digits == 0) return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (isDigit(j)) {
            while (isDigit(j)) ++j;
            i = j;
        }
    }
    double value = 0.0;
    return ParseExchangeDouble(std::string(s.substr(start, i - start)).c_str(), value) ? value : 0.0;
}

bool CatalogueTextsStorable(std::initializer_list<CatalogueTextField> fields) {
    for (const CatalogueTextField& field : fields) {
        if (!jdlib::CatalogueTextProblemGbk(field.text.view()).empty()) {
            AfxMessageBox(FromUtf8("“") + FromUtf8(field.utf8Label) +
                              FromUtf8("”中含有设备目录不能保存的字符（空字符或GBK以外的字符），请修改!"),
                          MB_ICONINFORMATION);
            return false;
        }
    }
    return true;
}

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
        // A capacity the list lacks (640 kVA, 1600.5 kVA) is shown as the
        // combo's text, so that OK stores what the user sees, not item 2.
        const CString capacity = FormatExchangeDouble(model.GetCapacity());
        const int item = m_capacityCombo.FindStringExact(-1, capacity);
        if (item != CB_ERR) {
            m_capacityCombo.SetCurSel(item);
        } else {
            m_capacityCombo.SetCurSel(-1);
            m_capacityCombo.SetWindowText(capacity);
        }
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
    if (!CatalogueTextsStorable({{"型号", m_strModel}, {"类型", type}, {"联结组别", m_strLinkGroup}})) return;
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
