#pragma once
// A drawing context that draws nothing and records every operation, in
// order, as a text line:
//   "rop 4 -> 13"              SetROP2(4), the previous mode was 13
//   "pen dot 1 0x0000FF"       a pen selected (style, width, COLORREF)
//   "brush solid 0x00FF00"     a brush selected ("brush null" for hollow)
//   "moveto 10 20", "lineto 30 20", "rect 7 7 13 13", "ellipse 1 2 3 4"
//   "textcolor 0x0000FF", "bkcolor 0xFFFFFF", "bkmode transparent", "text 5 6 <UTF-8 text>"
// It starts with R2_COPYPEN (13), the black pen, the white brush, black text
// on a white opaque background, at (0, 0). Objects still selected when it is
// destroyed are released.
#include <string>
#include <vector>

#include "platform/Gdi.h"

class CRecordingDC : public CDC {
public:
    CRecordingDC();
    ~CRecordingDC() override;

    const std::vector<std::string>& Lines() const { return m_lines; }
    std::string Text() const;   // the lines joined with '\n'
    void Clear() { m_lines.clear(); }

    HGDIOBJ CurrentPen() const { return m_pen; }
    HGDIOBJ CurrentBrush() const { return m_brush; }
    CPoint CurrentPosition() const { return m_position; }

protected:
    int DoSetROP2(int drawMode) override;
    int DoGetROP2() const override { return m_rop; }
    HGDIOBJ DoSelectObject(HGDIOBJ object) override;
    CPoint DoMoveTo(int x, int y) override;
    BOOL DoLineTo(int x, int y) override;
    BOOL DoRectangle(int x1, int y1, int x2, int y2) override;
    BOOL DoEllipse(int x1, int y1, int x2, int y2) override;
    COLORREF DoSetTextColor(COLORREF color) override;
    COLORREF DoGetTextColor() const override { return m_textColor; }
    COLORREF DoSetBkColor(COLORREF color) override;
    COLORREF DoGetBkColor() const override { return m_bkColor; }
    int DoSetBkMode(int mode) override;
    int DoGetBkMode() const override { return m_bkMode; }
    BOOL DoTextOut(int x, int y, const CString& text) override;

private:
    void Add(std::string line) { m_lines.push_back(std::move(line)); }
    std::vector<std::string> m_lines;
    int m_rop = R2_COPYPEN;
    HGDIOBJ m_pen = nullptr;
    HGDIOBJ m_brush = nullptr;
    CPoint m_position;
    COLORREF m_textColor = 0;
    COLORREF m_bkColor = 0xFFFFFF;
    int m_bkMode = OPAQUE;
};
