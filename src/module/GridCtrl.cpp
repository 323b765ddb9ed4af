#include "module/GridCtrl.h"

#include <exception>
#include <numeric>

#include "platform/UserActions.h"

BEGIN_MESSAGE_MAP(CGridCtrl, CWnd)
    ON_MESSAGE(GVM_QUERYCELL, &CGridCtrl::OnQueryCell)
    ON_MESSAGE(GVM_USEREDITCELL, &CGridCtrl::OnUserEditCell)
    ON_MESSAGE(GVM_DESCRIBE, &CGridCtrl::OnDescribe)
END_MESSAGE_MAP()

CGridCtrl::~CGridCtrl() = default;

BOOL CGridCtrl::Create(const CRect& rect, CWnd* pParent, UINT nID) {
    return CWnd::Create(WindowKind::Custom, kGridWindowClass, 0, rect, pParent, nID);
}

// ------------------------------------------------------------------ shape

BOOL CGridCtrl::SetRowCount(int nRows) {
    if (nRows < 0) return FALSE;
    if (IsEditing() && m_nEditRow >= nRows) EndEditCell(false);
    m_cells.resize(static_cast<size_t>(nRows), std::vector<Cell>(m_columnWidths.size()));
    m_rowHeights.resize(static_cast<size_t>(nRows), kDefaultRowHeight);
    if (m_nFixedRows > nRows) m_nFixedRows = nRows;
    if (m_nFocusRow >= nRows) m_nFocusRow = m_nFocusCol = -1;
    return TRUE;
}

BOOL CGridCtrl::SetColumnCount(int nCols) {
    if (nCols < 0) return FALSE;
    if (IsEditing() && m_nEditCol >= nCols) EndEditCell(false);
    for (auto& row : m_cells) row.resize(static_cast<size_t>(nCols));
    m_columnWidths.resize(static_cast<size_t>(nCols), kDefaultColumnWidth);
    if (m_nFixedCols > nCols) m_nFixedCols = nCols;
    if (m_nFocusCol >= nCols) m_nFocusRow = m_nFocusCol = -1;
    return TRUE;
}

BOOL CGridCtrl::SetFixedRowCount(int nFixedRows) {
    if (nFixedRows < 0) return FALSE;
    if (nFixedRows > GetRowCount()) SetRowCount(nFixedRows);
    m_nFixedRows = nFixedRows;
    return TRUE;
}

BOOL CGridCtrl::SetFixedColumnCount(int nFixedCols) {
    if (nFixedCols < 0) return FALSE;
    if (nFixedCols > GetColumnCount()) SetColumnCount(nFixedCols);
    m_nFixedCols = nFixedCols;
    return TRUE;
}

BOOL CGridCtrl::SetColumnWidth(int nCol, int width) {
    if (nCol < 0 || nCol >= GetColumnCount() || width < 0) return FALSE;
    m_columnWidths[static_cast<size_t>(nCol)] = width;
    return TRUE;
}

BOOL CGridCtrl::SetRowHeight(int nRow, int height) {
    if (nRow < 0 || nRow >= GetRowCount() || height < 0) return FALSE;
    m_rowHeights[static_cast<size_t>(nRow)] = height;
    return TRUE;
}

int CGridCtrl::GetColumnWidth(int nCol) const {
    if (nCol < 0 || nCol >= GetColumnCount()) return -1;
    return m_columnWidths[static_cast<size_t>(nCol)];
}

int CGridCtrl::GetRowHeight(int nRow) const {
    if (nRow < 0 || nRow >= GetRowCount()) return -1;
    return m_rowHeights[static_cast<size_t>(nRow)];
}

int CGridCtrl::GetVirtualWidth() const { return std::accumulate(m_columnWidths.begin(), m_columnWidths.end(), 0); }
int CGridCtrl::GetVirtualHeight() const { return std::accumulate(m_rowHeights.begin(), m_rowHeights.end(), 0); }

// ------------------------------------------------------------------ cells

bool CGridCtrl::IsValid(int nRow, int nCol) const {
    return nRow >= 0 && nRow < GetRowCount() && nCol >= 0 && nCol < GetColumnCount();
}

bool CGridCtrl::IsCellFixed(int nRow, int nCol) const {
    return IsValid(nRow, nCol) && (nRow < m_nFixedRows || nCol < m_nFixedCols);
}

CGridCtrl::Cell* CGridCtrl::CellAt(int nRow, int nCol) {
    return IsValid(nRow, nCol) ? &m_cells[static_cast<size_t>(nRow)][static_cast<size_t>(nCol)] : nullptr;
}

const CGridCtrl::Cell* CGridCtrl::CellAt(int nRow, int nCol) const {
    return IsValid(nRow, nCol) ? &m_cells[static_cast<size_t>(nRow)][static_cast<size_t>(nCol)] : nullptr;
}

BOOL CGridCtrl::SetItemText(int nRow, int nCol, const char* text) {
    Cell* cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    cell->text = text ? text : "";
    return TRUE;
}

CString CGridCtrl::GetItemText(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    return cell ? cell->text : CString();
}

BOOL CGridCtrl::SetItemFormat(int nRow, int nCol, UINT format) {
    Cell* cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    cell->format = format;
    return TRUE;
}

UINT CGridCtrl::GetItemFormat(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    return cell ? cell->format : 0;
}

BOOL CGridCtrl::SetItemFgColour(int nRow, int nCol, COLORREF colour) {
    Cell* cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    cell->fg = colour;
    return TRUE;
}

COLORREF CGridCtrl::GetItemFgColour(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    return cell ? cell->fg : CLR_DEFAULT;
}

BOOL CGridCtrl::SetItemBkColour(int nRow, int nCol, COLORREF colour) {
    Cell* cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    cell->bk = colour;
    return TRUE;
}

COLORREF CGridCtrl::GetItemBkColour(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    return cell ? cell->bk : CLR_DEFAULT;
}

BOOL CGridCtrl::SetItemState(int nRow, int nCol, UINT state) {
    Cell* cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    cell->state = state;
    return TRUE;
}

UINT CGridCtrl::GetItemState(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    return cell ? cell->state : 0;
}

bool CGridCtrl::IsModified() const {
    for (const auto& row : m_cells) {
        for (const Cell& cell : row) {
            if (cell.state & GVIS_MODIFIED) return true;
        }
    }
    return false;
}

void CGridCtrl::ClearModified() {
    for (auto& row : m_cells) {
        for (Cell& cell : row) cell.state &= ~GVIS_MODIFIED;
    }
}

// ------------------------------------------------------------------ editing

LRESULT CGridCtrl::Notify(UINT code, int nRow, int nCol) {
    HWND parent = ::GetParent(m_hWnd);
    if (!IsWindow(parent)) return 0;
    NM_GRIDVIEW nm;
    nm.hdr.hwndFrom = m_hWnd;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
    nm.hdr.code = code;
    nm.iRow = nRow;
    nm.iColumn = nCol;
    return ::SendMessage(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

BOOL CGridCtrl::EditCell(int nRow, int nCol) {
    const Cell* cell = CellAt(nRow, nCol);
    if (!m_bEditable || !cell || (cell->state & GVIS_READONLY) || IsEditing()) {
        return FALSE;
    }
    m_nFocusRow = nRow;
    m_nFocusCol = nCol;
    if (Notify(GVN_BEGINLABELEDIT, nRow, nCol) < 0) return FALSE;
    // The owner may have reshaped the grid while it was asked.
    cell = CellAt(nRow, nCol);
    if (!cell) return FALSE;
    m_nEditRow = nRow;
    m_nEditCol = nCol;
    m_strEditText = cell->text;
    return TRUE;
}

void CGridCtrl::SetEditText(const char* text) {
    if (IsEditing()) m_strEditText = text ? text : "";
}

BOOL CGridCtrl::EndEditCell(bool accept) {
    if (!IsEditing()) return FALSE;
    const int row = m_nEditRow;
    const int col = m_nEditCol;
    m_nEditRow = m_nEditCol = -1;
    Cell* cell = CellAt(row, col);
    if (!cell) return FALSE;
    const Cell before = *cell;
    if (accept && cell->text != m_strEditText) {
        cell->text = m_strEditText;
        cell->state |= GVIS_MODIFIED;
    }
    m_strEditText.Empty();
    if (Notify(GVN_ENDLABELEDIT, row, col) < 0) {
        if (Cell* again = CellAt(row, col)) {
            again->text = before.text;
            again->state = before.state;
        }
    }
    return TRUE;
}

// ------------------------------------------------------------------ the user's actions

namespace {

CString Where(const CGridCtrl& grid, int nRow, int nCol) {
    return CString::Formatted("grid %d: cell (%d, %d)", grid.GetDlgCtrlID(), nRow, nCol);
}

}  // namespace

CString CGridCtrl::UserEditCell(int nRow, int nCol, const CString& text) {
    if (!IsWindow(m_hWnd)) return "the grid has no window";
    if (!IsValid(nRow, nCol)) {
        return Where(*this, nRow, nCol) +
               CString::Formatted(" does not exist (the grid has %d rows and %d columns)", GetRowCount(),
                                  GetColumnCount());
    }
    if (!m_bEditable) return CString::Formatted("grid %d does not allow editing", GetDlgCtrlID());
    if (GetItemState(nRow, nCol) & GVIS_READONLY) return Where(*this, nRow, nCol) + " is read-only";
    try {
        // The click into the cell: the platform's checks on the dialog and the
        // control, and the focus change with its notifications.
        HWND parent = ::GetParent(m_hWnd);
        if (IsWindow(parent) && parent->kind == WindowKind::Dialog) {
            const ActionResult clicked = DialogDriver(parent).Focus(GetDlgCtrlID());
            if (!clicked) return clicked.error;
        } else {
            if (!IsWindowEnabled()) return CString::Formatted("grid %d is disabled", GetDlgCtrlID());
            if (!IsWindowVisible()) return CString::Formatted("grid %d is hidden", GetDlgCtrlID());
            ::SetFocus(m_hWnd);
        }
        if (!IsWindow(m_hWnd)) return "the grid went away while the focus moved";
        // Clicking another cell ends an edit that is still open there.
        if (IsEditing()) EndEditCell(true);
        if (!EditCell(nRow, nCol)) {
            if (!IsValid(nRow, nCol)) return Where(*this, nRow, nCol) + " went away when the edit began";
            return Where(*this, nRow, nCol) + " could not be edited: the dialog refused the edit";
        }
        SetEditText(text);
        EndEditCell(true);
    } catch (const std::exception& e) {
        if (IsEditing()) m_nEditRow = m_nEditCol = -1;
        return CString("a handler failed: ") + e.what();
    } catch (...) {
        if (IsEditing()) m_nEditRow = m_nEditCol = -1;
        return "a handler failed with an exception of unknown type";
    }
    return CString();
}

CString CGridCtrl::UserSetColumnWidth(int nCol, int width) {
    if (nCol < 0 || nCol >= GetColumnCount()) {
        return CString::Formatted("grid %d has no column %d (it has %d)", GetDlgCtrlID(), nCol, GetColumnCount());
    }
    if (!m_bAllowColumnResize) return CString::Formatted("grid %d does not let columns be resized", GetDlgCtrlID());
    if (width < 0) return CString::Formatted("a column cannot be %d pixels wide", width);
    SetColumnWidth(nCol, width);
    return CString();
}

CString CGridCtrl::UserSetRowHeight(int nRow, int height) {
    if (nRow < 0 || nRow >= GetRowCount()) {
        return CString::Formatted("grid %d has no row %d (it has %d)", GetDlgCtrlID(), nRow, GetRowCount());
    }
    if (!m_bAllowRowResize) return CString::Formatted("grid %d does not let rows be resized", GetDlgCtrlID());
    if (height < 0) return CString::Formatted("a row cannot be %d pixels high", height);
    SetRowHeight(nRow, height);
    return CString();
}

// ------------------------------------------------------------------ description

CString CGridCtrl::DescribeCell(int nRow, int nCol) const {
    const Cell* cell = CellAt(nRow, nCol);
    CString extra;
    if (cell->fg != CLR_DEFAULT) extra.AppendFormat(" colour=0x%06X", cell->fg);
    if (cell->bk != CLR_DEFAULT) extra.AppendFormat(" background=0x%06X", cell->bk);
    if (cell->format != kDefaultFormat) extra.AppendFormat(" format=0x%X", cell->format);
    if (cell->state & GVIS_READONLY) extra += " readonly";
    if (cell->state & GVIS_MODIFIED) extra += " modified";
    if (extra.IsEmpty()) return extra;
    return CString::Formatted("(%d,%d)", nRow, nCol) + extra;
}

std::vector<CString> CGridCtrl::DescribeLines() const {
    std::vector<CString> lines;
    CString head = CString::Formatted("grid %d rows x %d columns, fixed %d rows and %d columns%s", GetRowCount(),
                                      GetColumnCount(), m_nFixedRows, m_nFixedCols, m_bEditable ? ", editable" : "");
    head += " widths=[";
    for (int c = 0; c < GetColumnCount(); ++c) head.AppendFormat(c ? " %d" : "%d", GetColumnWidth(c));
    head += "] heights=[";
    for (int r = 0; r < GetRowCount(); ++r) head.AppendFormat(r ? " %d" : "%d", GetRowHeight(r));
    head += "]";
    lines.push_back(head);
    for (int r = 0; r < GetRowCount(); ++r) {
        CString line = CString::Formatted("row %d%s: ", r, r < m_nFixedRows ? " (fixed)" : "");
        CString attributes;
        for (int c = 0; c < GetColumnCount(); ++c) {
            if (c) line += " | ";
            line += GetItemText(r, c);
            const CString cell = DescribeCell(r, c);
            if (!cell.IsEmpty()) attributes += " " + cell;
        }
        if (!attributes.IsEmpty()) line += " ;" + attributes;
        lines.push_back(line);
    }
    return lines;
}

// ------------------------------------------------------------------ messages

LRESULT CGridCtrl::OnQueryCell(WPARAM, LPARAM lParam) {
    auto* request = reinterpret_cast<GridCellRequest*>(lParam);
    if (!request) return kGridAnswer;
    request->error.Empty();
    if (!IsValid(request->row, request->column)) {
        request->text.Empty();
        request->error = Where(*this, request->row, request->column) +
                         CString::Formatted(" does not exist (the grid has %d rows and %d columns)", GetRowCount(),
                                            GetColumnCount());
    } else {
        request->text = GetItemText(request->row, request->column);
    }
    return kGridAnswer;
}

LRESULT CGridCtrl::OnUserEditCell(WPARAM, LPARAM lParam) {
    auto* request = reinterpret_cast<GridCellRequest*>(lParam);
    if (request) request->error = UserEditCell(request->row, request->column, request->text);
    return kGridAnswer;
}

LRESULT CGridCtrl::OnDescribe(WPARAM, LPARAM lParam) {
    auto* request = reinterpret_cast<GridCellRequest*>(lParam);
    if (request) request->lines = DescribeLines();
    return kGridAnswer;
}
