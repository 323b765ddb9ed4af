#include "platform/DataExchange.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/Gbk.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"

namespace {

// The platform's prompts, word for word.
const CString& PromptReal() {
    static const CString text = FromUtf8("请输入一个数字。");
    return text;
}
const CString& PromptInt() {
    static const CString text = FromUtf8("请输入一个整数。");
    return text;
}
const CString& PromptUInt() {
    static const CString text = FromUtf8("请输入一个正整数。");
    return text;
}

std::string_view TrimBlanks(const char* text) {
    std::string_view s(text ? text : "");
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Integer digits with an optional sign; strtoll's extras (blanks inside, hex) are refused.
bool ParseInteger(const char* text, bool allowMinus, long long low, long long high, long long& value) {
    const std::string digits(TrimBlanks(text));
    if (digits.empty()) return false;
    size_t i = 0;
    if (digits[0] == '+' || (allowMinus && digits[0] == '-')) i = 1;
    if (i == digits.size()) return false;
    for (size_t k = i; k < digits.size(); ++k) {
        if (digits[k] < '0' || digits[k] > '9') return false;
    }
    errno = 0;
    const long long v = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || v < low || v > high) return false;
    value = v;
    return true;
}

void SetTextIfDifferent(HWND h, const CString& text) {
    // Comparing first spares the edit a needless EN_CHANGE, as the original does.
    if (GetWindowText(h) != text) SetWindowText(h, text);
}

[[noreturn]] void FailWith(CDataExchange* pDX, const CString& prompt) {
    AfxMessageBox(prompt, MB_ICONEXCLAMATION);
    pDX->Fail();
}

CString DialogLabel(CWnd* dlg) {
    const HWND h = dlg ? dlg->GetSafeHwnd() : nullptr;
    return IsWindow(h) ? CString::Formatted("dialog %u", h->id) : CString("a window");
}

}  // namespace

bool ParseExchangeDouble(const char* text, double& value) {
    const std::string number(TrimBlanks(text));
    if (number.empty()) return false;
    // Plain decimal notation only: strtod would also take "inf", "nan" and hex.
    for (const char c : number) {
        if (!std::strchr("0123456789+-.eE", c)) return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || !std::isfinite(v)) return false;
    if (errno == ERANGE && std::fabs(v) > 1.0) return false;
    value = v;
    return true;
}

bool ParseExchangeInt(const char* text, int& value) {
    long long v = 0;
    if (!ParseInteger(text, true, INT32_MIN, INT32_MAX, v)) return false;
    value = static_cast<int>(v);
    return true;
}

bool ParseExchangeUInt(const char* text, UINT& value) {
    long long v = 0;
    if (!ParseInteger(text, false, 0, UINT32_MAX, v)) return false;
    value = static_cast<UINT>(v);
    return true;
}

// An edit never shows "nan" or "inf": what it shows must read back as a number.
CString FormatExchangeDouble(double value) {
    return CString::Formatted("%.*g", DBL_DIG, std::isfinite(value) ? value : 0.0);
}

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int id) {
    HWND h = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->GetSafeHwnd(), id) : nullptr;
    if (!h) {
        throw PlatformError(std::string(DialogLabel(m_pDlgWnd).GetString()) + ": data exchange names control " +
                            std::to_string(id) + ", which the dialog does not have");
    }
    m_idLastControl = h;
    m_bEditLastControl = FALSE;
    return h;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND h = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return h;
}

void CDataExchange::Fail() {
    if (m_bEditLastControl && IsWindow(m_idLastControl)) ::SetFocus(m_idLastControl);
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND h = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = GetWindowText(h);
    } else {
        SetTextIfDifferent(h, value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    HWND h = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        int parsed = 0;
        if (!ParseExchangeInt(GetWindowText(h), parsed)) FailWith(pDX, PromptInt());
        value = parsed;
    } else {
        SetTextIfDifferent(h, CString::Formatted("%d", value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, UINT& value) {
    HWND h = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        UINT parsed = 0;
        if (!ParseExchangeUInt(GetWindowText(h), parsed)) FailWith(pDX, PromptUInt());
        value = parsed;
    } else {
        SetTextIfDifferent(h, CString::Formatted("%u", value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, double& value) {
    HWND h = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        double parsed = 0.0;
        if (!ParseExchangeDouble(GetWindowText(h), parsed)) FailWith(pDX, PromptReal());
        value = parsed;
    } else {
        SetTextIfDifferent(h, FormatExchangeDouble(value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, float& value) {
    HWND h = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        double parsed = 0.0;
        if (!ParseExchangeDouble(GetWindowText(h), parsed) || std::fabs(parsed) > FLT_MAX) {
            FailWith(pDX, PromptReal());
        }
        value = static_cast<float>(parsed);
    } else {
        SetTextIfDifferent(h, CString::Formatted("%.*g", FLT_DIG, static_cast<double>(value)));
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = h->check;
    } else {
        // Anything but the three states counts as unchecked, as the original warns and does.
        h->check = (value == BST_CHECKED || value == BST_INDETERMINATE) ? value : BST_UNCHECKED;
    }
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
    HWND first = pDX->PrepareCtrl(id);
    HWND parent = first->parent;
    if (!parent) return;
    auto& siblings = parent->children;
    size_t start = 0;
    while (start < siblings.size() && siblings[start].get() != first) ++start;
    // The group runs from the first button to the next control that starts a group.
    int found = -1;
    int index = 0;
    for (size_t k = start; k < siblings.size(); ++k) {
        WindowState& c = *siblings[k];
        if (k > start && (c.style & CTL_GROUP)) break;
        if (c.kind != WindowKind::RadioButton) continue;
        if (pDX->m_bSaveAndValidate) {
            if (c.check != BST_UNCHECKED && found < 0) found = index;
        } else {
            c.check = (index == value) ? BST_CHECKED : BST_UNCHECKED;
        }
        ++index;
    }
    if (pDX->m_bSaveAndValidate) value = found;
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        index = ListGetCurSel(h);
    } else {
        ListSetCurSel(h, index);
    }
}

void DDX_CBString(CDataExchange* pDX, int id, CString& value) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = GetWindowText(h);
    } else if (h->kind == WindowKind::DropDown) {
        SetTextIfDifferent(h, value);
    } else {
        ListSelectString(h, -1, value);
    }
}

void DDX_CBStringExact(CDataExchange* pDX, int id, CString& value) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = GetWindowText(h);
        return;
    }
    const int index = ListFindStringExact(h, -1, value);
    if (index != CB_ERR) {
        ListSetCurSel(h, index);
    } else if (h->kind == WindowKind::DropDown) {
        SetTextIfDifferent(h, value);
    }
}

void DDX_LBIndex(CDataExchange* pDX, int id, int& index) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        index = ListGetCurSel(h);
    } else {
        ListSetCurSel(h, index);
    }
}

void DDX_LBString(CDataExchange* pDX, int id, CString& value) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value.Empty();
        const int sel = ListGetCurSel(h);
        if (sel != LB_ERR) ListGetText(h, sel, value);
    } else {
        ListSelectString(h, -1, value);
    }
}

void DDX_LBStringExact(CDataExchange* pDX, int id, CString& value) {
    HWND h = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value.Empty();
        const int sel = ListGetCurSel(h);
        if (sel != LB_ERR) ListGetText(h, sel, value);
    } else {
        const int index = ListFindStringExact(h, -1, value);
        if (index != LB_ERR) ListSetCurSel(h, index);
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.GetSafeHwnd() != nullptr) return;   // attached on an earlier exchange
    HWND h = pDX->PrepareCtrl(id);
    if (!control.Attach(h)) {
        throw PlatformError(std::string(DialogLabel(pDX->m_pDlgWnd).GetString()) + ": control " +
                            std::to_string(id) + " is already attached to another object");
    }
}
