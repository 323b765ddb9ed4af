#pragma once
// Dialog data exchange: DDX_ routines pair a control with a member.
// Loading (m_bSaveAndValidate FALSE) writes the member into the control;
// saving reads and checks the control's text. A text that is not a number
// shows the platform's message ("请输入一个数字。" / "请输入一个整数。",
// exclamation icon), puts the focus on that edit and fails the exchange: the
// member keeps its value and the controls after it are not exchanged.
// Loading never rewrites an edit whose text is already equal, so no EN_CHANGE
// fires then. Doubles are written with "%.*g" and DBL_DIG digits.
#include <type_traits>

#include "platform/CWnd.h"

static_assert(std::is_same_v<LONG, int>, "DDX_Text(int&) serves LONG members");
static_assert(std::is_same_v<DWORD, UINT>, "DDX_Text(UINT&) serves DWORD members");

// Thrown by CDataExchange::Fail and caught by UpdateData.
class CUserException {};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

    // The control `id` of the dialog; throws PlatformError when the template has none.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Ends the exchange as failed (focus to the last prepared edit); never returns.
    [[noreturn]] void Fail();

    HWND m_idLastControl = nullptr;
    BOOL m_bEditLastControl = FALSE;
};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);        // also LONG, BOOL
void DDX_Text(CDataExchange* pDX, int id, UINT& value);       // also DWORD
void DDX_Text(CDataExchange* pDX, int id, double& value);
void DDX_Text(CDataExchange* pDX, int id, float& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
// value: index of the checked radio button in the group that starts at `id`, -1 none.
void DDX_Radio(CDataExchange* pDX, int id, int& value);
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
void DDX_CBString(CDataExchange* pDX, int id, CString& value);
void DDX_CBStringExact(CDataExchange* pDX, int id, CString& value);
void DDX_LBIndex(CDataExchange* pDX, int id, int& index);
void DDX_LBString(CDataExchange* pDX, int id, CString& value);
void DDX_LBStringExact(CDataExchange* pDX, int id, CString& value);
// Attaches the member control object to the dialog's control (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// The number parsing of the exchange, exposed for tests and drivers: blanks
// around the number are allowed, anything else is not.
bool ParseExchangeDouble(const char* text, double& value);
bool ParseExchangeInt(const char* text, int& value);
bool ParseExchangeUInt(const char* text, UINT& value);
// The text a double member shows: "%.*g" with DBL_DIG digits.
CString FormatExchangeDouble(double value);
