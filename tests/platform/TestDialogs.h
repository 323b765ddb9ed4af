#pragma once
// A small dialog built on the platform layer for the tests: its template has
// one control of every kind, its data exchange uses every DDX routine, its map
// binds every notification, and a subclassed list box forwards the commands
// of its pop-up menu to the dialog. Handlers append to an event log.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/CComboBox.h"
#include "platform/CDialog.h"
#include "platform/CListBox.h"
#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/Gdi.h"
#include "platform/Services.h"

namespace testdlg {

// Resource ids of the test templates.
inline constexpr UINT IDD_TEST = 9100;
inline constexpr UINT IDD_CHILD = 9101;
inline constexpr UINT IDD_BROKEN_CREATE = 9103;
inline constexpr UINT IDR_TEST_MENU = 9102;
inline constexpr int IDC_NAME = 100;       // edit, CString
inline constexpr int IDC_KR = 101;         // edit, double
inline constexpr int IDC_COUNT = 102;      // edit, int
inline constexpr int IDC_CODE = 103;       // edit, UINT
inline constexpr int IDC_TYPE = 104;       // drop list, index
inline constexpr int IDC_CAPACITY = 105;   // drop-down, string
inline constexpr int IDC_SORTED = 106;     // sorted drop list, exact string
inline constexpr int IDC_MODELS = 107;     // list box with pop-up menu (control object)
inline constexpr int IDC_PICK = 108;       // list box, string; no context-menu handler of its own
inline constexpr int IDC_SPARE = 109;      // check box
inline constexpr int IDC_RUNNING = 110;    // radio, starts the group
inline constexpr int IDC_STOPPED = 111;    // radio
inline constexpr int IDC_NESTED = 112;     // push button: runs the child dialog
inline constexpr int IDC_LABEL = 113;      // static
inline constexpr int IDC_RESULT = 114;     // read-only edit, double
inline constexpr int IDC_DISABLED = 115;   // push button, disabled
inline constexpr int IDC_HIDDEN = 116;     // edit, hidden
inline constexpr int IDC_AFTER = 117;      // check box starting a new group (ends the radio group)
inline constexpr int IDC_CHILD_VALUE = 200;
inline constexpr UINT ID_MENU_DETAILS = 9201;
inline constexpr UINT ID_MENU_STOCK = 9202;
inline constexpr UINT ID_MENU_DELETE = 9203;

// Registers the templates once per process.
void EnsureTestResources();

class CTestListBox : public CListBox {
public:
    HMENU m_hMenu = nullptr;
    HWND m_hOwner = nullptr;
    std::vector<CPoint> m_rightButtonPoints;   // client points of WM_RBUTTONDOWN

protected:
    void OnRButtonDown(UINT flags, CPoint point) { m_rightButtonPoints.push_back(point); }
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnMenuCommand(UINT id);
    DECLARE_MESSAGE_MAP()
};

class CChildDlg : public CDialog {
public:
    explicit CChildDlg(CWnd* parent) : CDialog(IDD_CHILD, parent) {}
    double m_dValue = 0.0;
    size_t m_openDepthAtInit = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
};

class CTestDlg : public CDialog {
public:
    CTestDlg();
    ~CTestDlg() override;

    // Members exchanged with the controls.
    CString m_strName = "T1";
    double m_dKr = 0.3574;
    int m_nCount = 3;
    UINT m_uCode = 42;
    int m_nType = 1;
    CString m_strCapacity = "1600";
    CString m_strSorted = "b";
    CString m_strPick = "y";
    int m_bSpare = 1;
    int m_nState = 1;
    int m_bAfter = 0;
    double m_dResult = 1.0;
    CTestListBox m_models;

    std::vector<std::string> m_events;
    INT_PTR m_childResult = 0;
    HMENU m_hContextMenu = nullptr;
    bool m_menuDestroyedOnDestroy = false;
    CString m_nameSeenOnDestroy;
    CBrush m_resultBrush{RGB(0, 128, 0)};

    void Log(const std::string& event) { m_events.push_back(event); }
    int Count(const std::string& event) const;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    int OnCreate(LPCREATESTRUCT cs);
    void OnDestroy();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnNameChange() { Log("EN_CHANGE name"); }
    void OnNameKillFocus() { Log("EN_KILLFOCUS name"); }
    void OnKrChange() { Log("EN_CHANGE kr"); }
    void OnKrKillFocus() { Log("EN_KILLFOCUS kr"); }
    void OnTypeSelChange();
    void OnCapacityEditChange() { Log("CBN_EDITCHANGE capacity"); }
    void OnCapacityKillFocus() { Log("CBN_KILLFOCUS capacity"); }
    void OnCapacitySelChange() { Log("CBN_SELCHANGE capacity"); }
    void OnModelsSelChange();
    void OnModelsDblClk();
    void OnSpareClicked();
    void OnStateClicked(UINT id);
    void OnNested();
    void OnMenuDetails();
    void OnMenuRange(UINT id);
    DECLARE_MESSAGE_MAP()
};

// A dialog whose window creation fails.
class CBrokenCreateDlg : public CDialog {
public:
    CBrokenCreateDlg() : CDialog(IDD_BROKEN_CREATE) {}
    bool m_initCalled = false;

protected:
    BOOL OnInitDialog() override {
        m_initCalled = true;
        return CDialog::OnInitDialog();
    }
    int OnCreate(LPCREATESTRUCT) { return -1; }
    DECLARE_MESSAGE_MAP()
};

// Runs each dialog that opens with the next script in the queue; a dialog
// opening with no script left is cancelled.
class ScriptedRunner : public IModalRunner {
public:
    using Script = std::function<void(CDialog&)>;
    void Then(Script script) { m_scripts.push_back(std::move(script)); }
    void Run(CDialog& dialog) override {
        ++m_runs;
        if (m_scripts.empty()) return;
        Script script = std::move(m_scripts.front());
        m_scripts.pop_front();
        script(dialog);
    }
    size_t Remaining() const { return m_scripts.size(); }
    int Runs() const { return m_runs; }

private:
    std::deque<Script> m_scripts;
    int m_runs = 0;
};

}  // namespace testdlg
