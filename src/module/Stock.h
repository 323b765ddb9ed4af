#pragma once
// "查看变压器的库存": the stock record of one model in a grid of one header
// row and one data row. OK stores the data row under the key shown in
// column 0 (which the user may edit): a new stock row when none has that
// key, else an update of that row. Cancel stores nothing.
#include "module/GridCtrl.h"
#include "module/ModuleResources.h"
#include "platform/CDialog.h"
#include "platform/CString.h"

class CDevice;

class JDMODULE_API CStock : public CDialog {
public:
    static constexpr int kColumnCount = 11;
    static constexpr int kDataRow = 1;
    static constexpr int kKeyColumn = 0;
    static constexpr int kFactoryNumberColumn = 4;   // shown in red
    static constexpr int kRowHeight = 25;            // pixels
    static constexpr UINT kHeaderFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;   // 0x25
    static constexpr COLORREF kFactoryNumberColour = RGB(255, 0, 0);

    explicit CStock(CWnd* pParent = nullptr);
    ~CStock() override;

    CGridCtrl m_grid;
    // Input: the model whose stock record is shown.
    CString m_strModel;

    // Column c's header (UTF-8) and width in pixels, c = 0 to 10.
    static const char* ColumnHeaderUtf8(int nCol);
    static int ColumnWidth(int nCol);
    // Column c's stock text of a device (columns 1 to 10) and the reverse.
    static CString StockColumnText(const CDevice& device, int nCol);
    static void SetStockColumnText(CDevice& device, int nCol, const CString& text);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    DECLARE_MESSAGE_MAP()

private:
    void SetUpGrid();
};
