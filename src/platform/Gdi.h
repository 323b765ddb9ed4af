#pragma once
// Drawing objects and the drawing context interface. The module draws its
// highlights through CDC; a recording context (RecordingDC.h) serves tests
// and the headless host, a painter-backed one can serve a GUI.
#include <memory>

#include "platform/CString.h"
#include "platform/WinDef.h"

class CGdiObject;

struct GdiObjectState {
    enum class Kind { Pen, Brush };
    Kind kind = Kind::Pen;
    int style = PS_SOLID;     // pens: PS_*; brushes: 0 solid, 1 null (hollow)
    int width = 1;
    COLORREF color = 0;
    bool stock = false;       // never deleted
    int selectedCount = 0;    // contexts that have it selected
    bool deletePending = false;
    CGdiObject* owner = nullptr;              // the object that created it
    std::unique_ptr<CGdiObject> wrapper;      // permanent wrapper for FromHandle
    GdiObjectState();
    ~GdiObjectState();
};

inline constexpr int BS_SOLID = 0;
inline constexpr int BS_NULL = 1;

HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HGDIOBJ GetStockObject(int index);   // WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN, NULL_PEN
// Deleting an object still selected into a context is deferred until it is
// deselected (the platform leaves that undefined; we neither crash nor leak).
BOOL DeleteObject(HGDIOBJ object);
bool IsGdiObject(HGDIOBJ object);
// For context implementations: count a selection in and out, so that a
// deferred DeleteObject completes when the last context lets go.
void AcquireSelectedGdiObject(HGDIOBJ object);
void ReleaseSelectedGdiObject(HGDIOBJ object);
// "pen dot 1 0x0000FF", "brush solid 0x00FF00", "brush null".
CString DescribeGdiObject(HGDIOBJ object);

class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();   // deletes an object it created
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ m_hObject = nullptr;
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL DeleteObject();
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    static CGdiObject* FromHandle(HGDIOBJ object);
};

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color);
    operator HPEN() const { return m_hObject; }  // NOLINT
    static CPen* FromHandle(HPEN pen);
};

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color);
    operator HBRUSH() const { return m_hObject; }  // NOLINT
    static CBrush* FromHandle(HBRUSH brush);
};

// The drawing context. Implementations provide the Do* operations; the
// public overloads are shared.
class CDC {
public:
    CDC() = default;
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() { return this; }
    static CDC* FromHandle(HDC dc) { return dc; }

    int SetROP2(int drawMode) { return DoSetROP2(drawMode); }   // returns the previous mode
    int GetROP2() const { return DoGetROP2(); }
    CPen* SelectObject(CPen* pen);        // returns the previous pen
    CBrush* SelectObject(CBrush* brush);  // returns the previous brush
    HGDIOBJ SelectObject(HGDIOBJ object) { return DoSelectObject(object); }
    CGdiObject* SelectStockObject(int index);
    CPoint MoveTo(int x, int y) { return DoMoveTo(x, y); }   // returns the previous position
    CPoint MoveTo(POINT p) { return DoMoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y) { return DoLineTo(x, y); }
    BOOL LineTo(POINT p) { return DoLineTo(p.x, p.y); }
    BOOL Rectangle(int x1, int y1, int x2, int y2) { return DoRectangle(x1, y1, x2, y2); }
    BOOL Rectangle(LPCRECT r) { return DoRectangle(r->left, r->top, r->right, r->bottom); }
    BOOL Ellipse(int x1, int y1, int x2, int y2) { return DoEllipse(x1, y1, x2, y2); }
    COLORREF SetTextColor(COLORREF color) { return DoSetTextColor(color); }   // previous
    COLORREF GetTextColor() const { return DoGetTextColor(); }
    COLORREF SetBkColor(COLORREF color) { return DoSetBkColor(color); }       // previous
    COLORREF GetBkColor() const { return DoGetBkColor(); }
    int SetBkMode(int mode) { return DoSetBkMode(mode); }                      // previous
    int GetBkMode() const { return DoGetBkMode(); }
    BOOL TextOut(int x, int y, const CString& text) { return DoTextOut(x, y, text); }

protected:
    virtual int DoSetROP2(int drawMode) = 0;
    virtual int DoGetROP2() const = 0;
    virtual HGDIOBJ DoSelectObject(HGDIOBJ object) = 0;   // null for an invalid object
    virtual CPoint DoMoveTo(int x, int y) = 0;
    virtual BOOL DoLineTo(int x, int y) = 0;
    virtual BOOL DoRectangle(int x1, int y1, int x2, int y2) = 0;
    virtual BOOL DoEllipse(int x1, int y1, int x2, int y2) = 0;
    virtual COLORREF DoSetTextColor(COLORREF color) = 0;
    virtual COLORREF DoGetTextColor() const = 0;
    virtual COLORREF DoSetBkColor(COLORREF color) = 0;
    virtual COLORREF DoGetBkColor() const = 0;
    virtual int DoSetBkMode(int mode) = 0;
    virtual int DoGetBkMode() const = 0;
    virtual BOOL DoTextOut(int x, int y, const CString& text) = 0;
};
