#pragma once
// Our grid control: a table of text cells with fixed (header) rows and
// columns, column widths and row heights, a text colour, background colour,
// text format and state per cell, and in-place editing that tells its owner
// when an edit begins and ends. It is headless: everything lives in the
// object, so a GUI can paint it later from the same accessors.
//
// Fixed rows and columns are a matter of layout: they stay in view and are
// drawn as headers. Whether the user may edit a cell is decided by the
// grid's editable switch and the cell's read-only state alone, so a key
// shown in a fixed column can be corrected in place.
//
// The grid is a custom control (WindowKind::Custom, window class
// kGridWindowClass) of a dialog template; the dialog binds its CGridCtrl
// member with DDX_Control. Its notifications go to the parent window as
// WM_NOTIFY with an NM_GRIDVIEW.
//
// Code outside the module (the session engine) reaches a grid only through
// the window messages at the end of this file: they need nothing linked from
// the module, so they work across the module's load boundary.
#include <vector>

#include "module/ModuleResources.h"
#include "platform/CString.h"
#include "platform/CWnd.h"

// --- notifications (WM_NOTIFY with the header of the platform) --------------
// A cell of a grid notification.
struct NM_GRIDVIEW {
    NMHDR hdr;
    int iRow = -1;
    int iColumn = -1;
};

// Notification codes. Answering a negative value to GVN_BEGINLABELEDIT keeps
// the cell from being edited; answering a negative value to GVN_ENDLABELEDIT
// puts the cell's previous text back.
inline constexpr UINT GVN_BEGINLABELEDIT = 0u - 105u;
inline constexpr UINT GVN_ENDLABELEDIT = 0u - 106u;

// --- cell attributes ------------------------------------------------------------
// Text formats are the platform's text-drawing flags (DT_*); CLR_DEFAULT
// means "the grid's default colour".

// Cell states.
inline constexpr UINT GVIS_READONLY = 0x0004;   // the user cannot edit the cell
inline constexpr UINT GVIS_MODIFIED = 0x0008;   // the user changed the text

// The window class name templates give the grid's custom control.
inline constexpr const char* kGridWindowClass = "JDGridCtrl";

class JDMODULE_API CGridCtrl : public CWnd {
public:
    // What a cell starts with.
    static constexpr UINT kDefaultFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    static constexpr int kDefaultColumnWidth = 64;   // pixels
    static constexpr int kDefaultRowHeight = 20;     // pixels

    CGridCtrl() = default;
    ~CGridCtrl() override;

    // Creates a grid window of its own (outside a dialog template).
    BOOL Create(const CRect& rect, CWnd* pParent, UINT nID);

    // --- shape ---------------------------------------------------------------------
    // Counts below 0 are refused (FALSE). Shrinking drops the cells beyond the
    // new edge and cuts the fixed count to fit; growing adds default cells.
    BOOL SetRowCount(int nRows);
    BOOL SetColumnCount(int nCols);
    // A fixed count larger than the grid grows the grid to hold it.
    BOOL SetFixedRowCount(int nFixedRows);
    BOOL SetFixedColumnCount(int nFixedCols);
    int GetRowCount() const { return static_cast<int>(m_rowHeights.size()); }
    int GetColumnCount() const { return static_cast<int>(m_columnWidths.size()); }
    int GetFixedRowCount() const { return m_nFixedRows; }
    int GetFixedColumnCount() const { return m_nFixedCols; }

    // Widths and heights are pixels from 0; FALSE for a row or column that
    // does not exist or a negative size. Getters answer -1 for those.
    BOOL SetColumnWidth(int nCol, int width);
    BOOL SetRowHeight(int nRow, int height);
    int GetColumnWidth(int nCol) const;
    int GetRowHeight(int nRow) const;
    // Sum of all widths / heights.
    int GetVirtualWidth() const;
    int GetVirtualHeight() const;

    // Whether the user may drag column / row edges.
    void SetColumnResize(BOOL allow = TRUE) { m_bAllowColumnResize = allow; }
    void SetRowResize(BOOL allow = TRUE) { m_bAllowRowResize = allow; }
    BOOL GetColumnResize() const { return m_bAllowColumnResize; }
    BOOL GetRowResize() const { return m_bAllowRowResize; }

    // Whether the user may edit cells at all.
    void SetEditable(BOOL editable = TRUE) { m_bEditable = editable; }
    BOOL IsEditable() const { return m_bEditable; }

    // --- cells -----------------------------------------------------------------------
    // Setters answer FALSE for a cell that does not exist; getters answer the
    // empty text, 0, or CLR_DEFAULT.
    bool IsValid(int nRow, int nCol) const;
    bool IsCellFixed(int nRow, int nCol) const;
    BOOL SetItemText(int nRow, int nCol, const char* text);
    CString GetItemText(int nRow, int nCol) const;
    BOOL SetItemFormat(int nRow, int nCol, UINT format);
    UINT GetItemFormat(int nRow, int nCol) const;
    BOOL SetItemFgColour(int nRow, int nCol, COLORREF colour = CLR_DEFAULT);
    COLORREF GetItemFgColour(int nRow, int nCol) const;
    BOOL SetItemBkColour(int nRow, int nCol, COLORREF colour = CLR_DEFAULT);
    COLORREF GetItemBkColour(int nRow, int nCol) const;
    BOOL SetItemState(int nRow, int nCol, UINT state);
    UINT GetItemState(int nRow, int nCol) const;
    // Whether any cell was changed by the user since the flags were last cleared.
    bool IsModified() const;
    void ClearModified();

    // The cell the user last acted on; (-1, -1) when none.
    int GetFocusRow() const { return m_nFocusRow; }
    int GetFocusColumn() const { return m_nFocusCol; }

    // --- editing ---------------------------------------------------------------------
    // Starts editing a cell as the user's click or typing does: the owner
    // hears GVN_BEGINLABELEDIT and may refuse. FALSE when the grid is not
    // editable, the cell is read-only or absent, another edit is open, or the
    // owner refused.
    BOOL EditCell(int nRow, int nCol);
    bool IsEditing() const { return m_nEditRow >= 0; }
    int GetEditRow() const { return m_nEditRow; }
    int GetEditColumn() const { return m_nEditCol; }
    // The text in the open editor (starts as the cell's text).
    void SetEditText(const char* text);
    CString GetEditText() const { return m_strEditText; }
    // Ends the open edit. Accepting stores the editor's text (marking the cell
    // modified when it changed) and then tells the owner GVN_ENDLABELEDIT; a
    // negative answer restores the previous text. Cancelling keeps the text
    // and still tells the owner that editing ended. FALSE when no edit is open.
    BOOL EndEditCell(bool accept = true);

    // --- the user's actions ------------------------------------------------------------
    // A user's edit of one cell: clicks the cell (the focus moves to the grid
    // with the notifications that brings), begins the edit, replaces the text
    // and presses Enter. Returns an empty text on success, else a GBK text
    // saying why the user could not do it (nothing changed then). Handlers
    // that throw are reported as failures too.
    CString UserEditCell(int nRow, int nCol, const CString& text);
    // A user dragging a column's right edge / a row's bottom edge.
    CString UserSetColumnWidth(int nCol, int width);
    CString UserSetRowHeight(int nRow, int height);

    // One line per row for dumps: "row 0 fixed: 型号 | 设备编号 | ..." and
    // the non-default attributes of cells after the texts.
    std::vector<CString> DescribeLines() const;

protected:
    LRESULT OnQueryCell(WPARAM wParam, LPARAM lParam);
    LRESULT OnUserEditCell(WPARAM wParam, LPARAM lParam);
    LRESULT OnDescribe(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    struct Cell {
        CString text;
        UINT format = kDefaultFormat;
        COLORREF fg = CLR_DEFAULT;
        COLORREF bk = CLR_DEFAULT;
        UINT state = 0;
    };
    Cell* CellAt(int nRow, int nCol);
    const Cell* CellAt(int nRow, int nCol) const;
    LRESULT Notify(UINT code, int nRow, int nCol);
    CString DescribeCell(int nRow, int nCol) const;

    // m_cells[row][column]; the two size vectors give the shape.
    std::vector<std::vector<Cell>> m_cells;
    std::vector<int> m_rowHeights;
    std::vector<int> m_columnWidths;
    int m_nFixedRows = 0;
    int m_nFixedCols = 0;
    BOOL m_bEditable = FALSE;
    BOOL m_bAllowColumnResize = TRUE;
    BOOL m_bAllowRowResize = TRUE;
    int m_nFocusRow = -1;
    int m_nFocusCol = -1;
    int m_nEditRow = -1;
    int m_nEditCol = -1;
    CString m_strEditText;
};

// --- messages for code outside the module ------------------------------------------
// Sent to a grid window with lParam = GridCellRequest*. A grid answers
// kGridAnswer; any other window answers something else (0 by default), which
// tells the sender the control is no grid.
inline constexpr UINT GVM_QUERYCELL = WM_USER + 0x0701;      // in: row, column; out: text, or error
inline constexpr UINT GVM_USEREDITCELL = WM_USER + 0x0702;   // in: row, column, text; out: error ("" = done)
inline constexpr UINT GVM_DESCRIBE = WM_USER + 0x0703;       // out: lines
inline constexpr LRESULT kGridAnswer = 0x47524944;          // "GRID"

struct GridCellRequest {
    int row = 0;
    int column = 0;
    CString text;                 // GBK
    CString error;                // GBK; empty on success
    std::vector<CString> lines;   // GVM_DESCRIBE
};
