#include "module/Stock.h"

#include "equipment/CatalogueText.h"
#include "equipment/JDBase.h"
#include "equipment/OtherDevices.h"
#include "module/MyListBox.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace {

struct StockColumn {
    const char* header;   // UTF-8
    int width;            // pixels
    // Stock text position in CDevice (2 = the key, 3 to 12 the texts).
    int stockPosition;
};

// The columns in display order. The device's stock texts are stored in
// another order (first-use date before department and place), hence the
// explicit positions.
constexpr StockColumn kColumns[CStock::kColumnCount] = {
    {"型号", 100, 2},       {"设备编号", 75, 3},  {"设备品名", 120, 4}, {"制造厂商", 100, 5},
    {"出厂编号", 100, 6},   {"出厂日期", 80, 7},  {"当前部门", 80, 9},  {"当前地点", 120, 10},
    {"始用日期", 120, 8},   {"技术特征", 120, 11}, {"安全证书", 120, 12},
};

bool IsColumn(int nCol) { return nCol >= 0 && nCol < CStock::kColumnCount; }

}  // namespace

BEGIN_MESSAGE_MAP(CStock, CDialog)
END_MESSAGE_MAP()

CStock::CStock(CWnd* pParent) : CDialog(IDD_STOCK, pParent) { EnsureParaStockResources(); }

CStock::~CStock() = default;

const char* CStock::ColumnHeaderUtf8(int nCol) { return IsColumn(nCol) ? kColumns[nCol].header : ""; }

int CStock::ColumnWidth(int nCol) { return IsColumn(nCol) ? kColumns[nCol].width : 0; }

CString CStock::StockColumnText(const CDevice& device, int nCol) {
    return IsColumn(nCol) ? device.GetStockText(kColumns[nCol].stockPosition) : CString();
}

void CStock::SetStockColumnText(CDevice& device, int nCol, const CString& text) {
    if (IsColumn(nCol)) device.SetStockText(kColumns[nCol].stockPosition, text);
}

void CStock::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STOCK_GRID, m_grid);
}

void CStock::SetUpGrid() {
    m_grid.SetEditable(TRUE);
    m_grid.SetColumnCount(kColumnCount);
    m_grid.SetFixedColumnCount(1);
    for (int c = 0; c < kColumnCount; ++c) m_grid.SetColumnWidth(c, kColumns[c].width);
    m_grid.SetColumnResize(FALSE);
    m_grid.SetFixedRowCount(1);
    m_grid.SetRowHeight(0, kRowHeight);
    m_grid.SetRowCount(2);
    m_grid.SetRowHeight(kDataRow, kRowHeight);
    m_grid.SetItemFgColour(kDataRow, kFactoryNumberColumn, kFactoryNumberColour);
    m_grid.SetRowResize(TRUE);
    for (int c = 0; c < kColumnCount; ++c) {
        m_grid.SetItemText(0, c, FromUtf8(kColumns[c].header));
        m_grid.SetItemFormat(0, c, kHeaderFormat);
        // The headers name the columns; only the data row (key included) is the user's.
        m_grid.SetItemState(0, c, m_grid.GetItemState(0, c) | GVIS_READONLY);
    }
}

BOOL CStock::OnInitDialog() {
    CDialog::OnInitDialog();
    SetUpGrid();

    // A model without a stock row shows empty texts: the carrier is fresh.
    CElectricMotor record;
    LoadStockRecord(JD_STOCK_KIND, &record, m_strModel);
    m_grid.SetItemText(kDataRow, kKeyColumn, m_strModel);
    for (int c = 1; c < kColumnCount; ++c) m_grid.SetItemText(kDataRow, c, StockColumnText(record, c));
    return TRUE;
}

void CStock::OnOK() {
    // The key is what column 0 shows now, so an edited key is stored under
    // the new key rather than m_strModel.
    // The stock texts reach the catalogue and from there the map: a text a map
    // field cannot hold is refused before anything is stored.
    for (int c = 0; c < kColumnCount; ++c) {
        if (!jdlib::CatalogueTextProblemGbk(m_grid.GetItemText(kDataRow, c).view()).empty()) {
            AfxMessageBox(FromUtf8("“") + FromUtf8(kColumns[c].header) +
                              FromUtf8("”中含有设备目录不能保存的字符（空字符或GBK以外的字符），请修改!"),
                          MB_ICONINFORMATION);
            return;
        }
    }
    CElectricMotor record;
    const CString key = m_grid.GetItemText(kDataRow, kKeyColumn);
    for (int c = 0; c < kColumnCount; ++c) SetStockColumnText(record, c, m_grid.GetItemText(kDataRow, c));
    if (!StockRecordExists(JD_STOCK_KIND, key)) {
        SaveStockRecord(JD_STOCK_KIND, 1, &record, key);
    } else {
        SaveStockRecord(JD_STOCK_KIND, 0, &record, key);
    }
    CDialog::OnOK();
}
