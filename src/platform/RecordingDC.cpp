#include "platform/RecordingDC.h"

#include "platform/Gbk.h"

namespace {
std::string Hex(COLORREF c) { return CString::Formatted("0x%06X", static_cast<unsigned>(c)).str(); }
}  // namespace

CRecordingDC::CRecordingDC() {
    m_pen = GetStockObject(BLACK_PEN);
    m_brush = GetStockObject(WHITE_BRUSH);
    AcquireSelectedGdiObject(m_pen);
    AcquireSelectedGdiObject(m_brush);
}

CRecordingDC::~CRecordingDC() {
    ReleaseSelectedGdiObject(m_pen);
    ReleaseSelectedGdiObject(m_brush);
}

std::string CRecordingDC::Text() const {
    std::string text;
    for (const std::string& line : m_lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

int CRecordingDC::DoSetROP2(int drawMode) {
    const int previous = m_rop;
    m_rop = drawMode;
    Add("rop " + std::to_string(drawMode) + " -> " + std::to_string(previous));
    return previous;
}

HGDIOBJ CRecordingDC::DoSelectObject(HGDIOBJ object) {
    if (!IsGdiObject(object) || object->deletePending) {
        Add("select invalid object");
        return nullptr;
    }
    HGDIOBJ& slot = object->kind == GdiObjectState::Kind::Pen ? m_pen : m_brush;
    HGDIOBJ previous = slot;
    AcquireSelectedGdiObject(object);
    slot = object;
    Add(DescribeGdiObject(object).str());
    // The previous object may be freed here when its deletion was deferred;
    // then there is nothing to hand back.
    const bool previousSurvives = IsGdiObject(previous) && !(previous->deletePending && previous->selectedCount == 1);
    ReleaseSelectedGdiObject(previous);
    return previousSurvives ? previous : nullptr;
}

CPoint CRecordingDC::DoMoveTo(int x, int y) {
    const CPoint previous = m_position;
    m_position = CPoint(x, y);
    Add("moveto " + std::to_string(x) + " " + std::to_string(y));
    return previous;
}

BOOL CRecordingDC::DoLineTo(int x, int y) {
    m_position = CPoint(x, y);
    Add("lineto " + std::to_string(x) + " " + std::to_string(y));
    return TRUE;
}

BOOL CRecordingDC::DoRectangle(int x1, int y1, int x2, int y2) {
    Add("rect " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
        std::to_string(y2));
    return TRUE;
}

BOOL CRecordingDC::DoEllipse(int x1, int y1, int x2, int y2) {
    Add("ellipse " + std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
        std::to_string(y2));
    return TRUE;
}

COLORREF CRecordingDC::DoSetTextColor(COLORREF color) {
    const COLORREF previous = m_textColor;
    m_textColor = color;
    Add("textcolor " + Hex(color));
    return previous;
}

COLORREF CRecordingDC::DoSetBkColor(COLORREF color) {
    const COLORREF previous = m_bkColor;
    m_bkColor = color;
    Add("bkcolor " + Hex(color));
    return previous;
}

int CRecordingDC::DoSetBkMode(int mode) {
    const int previous = m_bkMode;
    m_bkMode = mode;
    Add(std::string("bkmode ") + (mode == TRANSPARENT ? "transparent" : mode == OPAQUE ? "opaque" : "?"));
    return previous;
}

BOOL CRecordingDC::DoTextOut(int x, int y, const CString& text) {
    std::string utf8;
    if (!TryGbkToUtf8(text.view(), utf8)) utf8 = "<text that is not GBK>";
    Add("text " + std::to_string(x) + " " + std::to_string(y) + " " + utf8);
    return TRUE;
}
