#pragma once
// Message maps in the style of the platform's class library.
//
//   // header
//   class CMyDlg : public CDialog {
//       ...
//       void OnTypeChanged();
//       DECLARE_MESSAGE_MAP()
//   };
//   // source
//   BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//       ON_CBN_SELCHANGE(IDC_TYPE, &CMyDlg::OnTypeChanged)
//       ON_WM_CREATE()
//   END_MESSAGE_MAP()
//
// Every entry holds a small captureless lambda (a "thunk") that casts the
// target to the map's class and calls the member with the unpacked message
// parameters. The member pointer is cast to the exact signature the entry
// expects, so a handler with the wrong signature does not compile. Handlers
// may be private: the thunks are written inside a member of the class.
//
// Lookup starts at the object's GetMessageMap() and walks the base maps.
#include <type_traits>

#include "platform/WinDef.h"

class CCmdTarget;
class CWnd;

// Marks message handlers in class declarations, as in the original headers.
#define afx_msg

struct AFX_MSGMAP_ENTRY {
    using Thunk = LRESULT (*)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
    UINT nMessage;   // WM_COMMAND for commands and control notifications
    UINT nCode;      // notification code (WM_COMMAND only)
    UINT nID;        // first control / command id (WM_COMMAND only)
    UINT nLastID;    // last id of a range
    Thunk pfn;       // null ends the table
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The parameters of WM_CTLCOLOR, passed by pointer in lParam.
struct CtlColorParams {
    CDC* pDC = nullptr;
    CWnd* pWnd = nullptr;
    UINT nCtlColor = 0;
};

// Screen point of WM_CONTEXTMENU / client point of mouse messages, packed as
// two signed 16-bit halves of lParam.
inline constexpr int GET_X_LPARAM(LPARAM l) { return static_cast<short>(static_cast<WORD>(l & 0xFFFF)); }
inline constexpr int GET_Y_LPARAM(LPARAM l) { return static_cast<short>(static_cast<WORD>((l >> 16) & 0xFFFF)); }
inline constexpr LPARAM PointToLParam(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x)), static_cast<WORD>(static_cast<short>(y)));
}

class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the handler of a command or control notification, if the map has one.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam);

    // The entry for (message, code, id) in this object's map chain, or null.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message, UINT code, UINT id) const;

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                                   \
protected:                                                      \
    static const AFX_MSGMAP* GetThisMessageMap();               \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                   \
        using ThisClass = theClass;                                                     \
        using TheBaseClass = baseClass;                                                 \
        static_assert(std::is_base_of_v<TheBaseClass, ThisClass>,                       \
                      "BEGIN_MESSAGE_MAP: the base class must be a base of the class"); \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                   \
            {0, 0, 0, 0, nullptr}};                                                         \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
        return &messageMap;                                                                 \
    }

// --- commands and control notifications -----------------------------------
#define ON_CONTROL(code, id, memberFxn)                                                    \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(id),    \
     [](CCmdTarget* target_, WPARAM, LPARAM) -> LRESULT {                                  \
         (static_cast<ThisClass*>(target_)->*static_cast<void (ThisClass::*)()>(memberFxn))(); \
         return 0;                                                                         \
     }},

#define ON_CONTROL_RANGE(code, id, idLast, memberFxn)                                      \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), static_cast<UINT>(idLast),\
     [](CCmdTarget* target_, WPARAM wParam_, LPARAM) -> LRESULT {                          \
         (static_cast<ThisClass*>(target_)->*static_cast<void (ThisClass::*)(UINT)>(memberFxn))( \
             static_cast<UINT>(LOWORD(wParam_)));                                          \
         return 0;                                                                         \
     }},

#define ON_COMMAND(id, memberFxn) ON_CONTROL(0, id, memberFxn)
#define ON_COMMAND_RANGE(id, idLast, memberFxn) ON_CONTROL_RANGE(0, id, idLast, memberFxn)

#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_CBN_SETFOCUS(id, memberFxn) ON_CONTROL(CBN_SETFOCUS, id, memberFxn)
#define ON_CBN_DBLCLK(id, memberFxn) ON_CONTROL(CBN_DBLCLK, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_LBN_KILLFOCUS(id, memberFxn) ON_CONTROL(LBN_KILLFOCUS, id, memberFxn)
#define ON_LBN_SETFOCUS(id, memberFxn) ON_CONTROL(LBN_SETFOCUS, id, memberFxn)

// --- window messages --------------------------------------------------------
// LRESULT OnMyMessage(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                      \
    {static_cast<UINT>(message), 0, 0, 0,                                                   \
     [](CCmdTarget* target_, WPARAM wParam_, LPARAM lParam_) -> LRESULT {                   \
         return (static_cast<ThisClass*>(target_)->*static_cast<LRESULT (ThisClass::*)(WPARAM, LPARAM)>(memberFxn))( \
             wParam_, lParam_);                                                             \
     }},

// int OnCreate(LPCREATESTRUCT)
#define ON_WM_CREATE()                                                                      \
    {WM_CREATE, 0, 0, 0, [](CCmdTarget* target_, WPARAM, LPARAM lParam_) -> LRESULT {       \
         return (static_cast<ThisClass*>(target_)->*static_cast<int (ThisClass::*)(LPCREATESTRUCT)>( \
                     &ThisClass::OnCreate))(reinterpret_cast<LPCREATESTRUCT>(lParam_));     \
     }},

// void OnDestroy()
#define ON_WM_DESTROY()                                                                     \
    {WM_DESTROY, 0, 0, 0, [](CCmdTarget* target_, WPARAM, LPARAM) -> LRESULT {              \
         (static_cast<ThisClass*>(target_)->*static_cast<void (ThisClass::*)()>(&ThisClass::OnDestroy))(); \
         return 0;                                                                          \
     }},

// HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor)
#define ON_WM_CTLCOLOR()                                                                    \
    {WM_CTLCOLOR, 0, 0, 0, [](CCmdTarget* target_, WPARAM, LPARAM lParam_) -> LRESULT {     \
         auto* params_ = reinterpret_cast<CtlColorParams*>(lParam_);                        \
         return reinterpret_cast<LRESULT>(                                                  \
             (static_cast<ThisClass*>(target_)->*static_cast<HBRUSH (ThisClass::*)(CDC*, CWnd*, UINT)>( \
                  &ThisClass::OnCtlColor))(params_->pDC, params_->pWnd, params_->nCtlColor)); \
     }},

// void OnContextMenu(CWnd* pWnd, CPoint screenPoint)
#define ON_WM_CONTEXTMENU()                                                                 \
    {WM_CONTEXTMENU, 0, 0, 0, [](CCmdTarget* target_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
         (static_cast<ThisClass*>(target_)->*static_cast<void (ThisClass::*)(CWnd*, CPoint)>( \
              &ThisClass::OnContextMenu))(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_)), \
                                          CPoint(GET_X_LPARAM(lParam_), GET_Y_LPARAM(lParam_))); \
         return 0;                                                                          \
     }},

// void OnRButtonDown(UINT nFlags, CPoint clientPoint)
#define ON_WM_RBUTTONDOWN()                                                                 \
    {WM_RBUTTONDOWN, 0, 0, 0, [](CCmdTarget* target_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
         (static_cast<ThisClass*>(target_)->*static_cast<void (ThisClass::*)(UINT, CPoint)>( \
              &ThisClass::OnRButtonDown))(static_cast<UINT>(wParam_),                       \
                                          CPoint(GET_X_LPARAM(lParam_), GET_Y_LPARAM(lParam_))); \
         return 0;                                                                          \
     }},

// BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message)
#define ON_WM_SETCURSOR()                                                                   \
    {WM_SETCURSOR, 0, 0, 0, [](CCmdTarget* target_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
         return (static_cast<ThisClass*>(target_)->*static_cast<BOOL (ThisClass::*)(CWnd*, UINT, UINT)>( \
                     &ThisClass::OnSetCursor))(CWnd::FromHandle(reinterpret_cast<HWND>(wParam_)), \
                                               LOWORD(static_cast<std::uintptr_t>(lParam_)), \
                                               HIWORD(static_cast<std::uintptr_t>(lParam_))); \
     }},
