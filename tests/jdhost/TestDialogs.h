#pragma once
// A small dialog of our own, built like the module's setting dialogs (a
// template, DDX, a message map, a subclassed list box with a context menu that
// forwards its commands to the owner, a nested dialog opened from a button,
// message boxes), and a command host that opens it. The session tests drive it
// through every dialog verb.
#include <string>
#include <vector>

#include "host/MapDocument.h"
#include "jdhost/CommandHost.h"
#include "platform/CDialog.h"
#include "platform/CListBox.h"
#include "platform/Menu.h"

namespace testdlg {

// Template and control ids.
inline constexpr UINT IDD_TEST = 7000;
inline constexpr int IDC_NAME = 7001;        // edit
inline constexpr int IDC_TYPE = 7002;        // drop list: 动力变压器, 移动变电站
inline constexpr int IDC_CAPACITY = 7003;    // drop-down combo: 2000, 1000
inline constexpr int IDC_MODELS = 7004;      // list box with the context menu
inline constexpr int IDC_DETAILS = 7005;     // button, enabled for 移动变电站: opens IDD_NOTE
inline constexpr int IDC_RESULT = 7006;      // read-only edit where handlers report
inline constexpr int IDC_SPARE = 7007;       // check box: enables IDC_KR
inline constexpr int IDC_KR = 7008;          // edit with a range check on focus loss
inline constexpr int IDC_RUNNING = 7009;     // radio group: 运行 (0), 停止 (1)
inline constexpr int IDC_STOPPED = 7010;
inline constexpr int IDC_HIDDEN = 7012;      // hidden label
inline constexpr UINT IDD_NOTE = 7020;
inline constexpr int IDC_NOTE = 7021;        // edit of the nested dialog
inline constexpr UINT IDR_MODEL_MENU = 7100;
inline constexpr UINT ID_MODEL_SHOW = 7101;
inline constexpr UINT ID_MODEL_DELETE = 7102;

// The field the dialog writes on OK: name, type, capacity, state ("0"/"1"), note.
inline constexpr LONG kTestField = 151;

// Registers the templates and the menu once per process.
void RegisterTestResources();

class CModelListBox : public CListBox {
public:
    HMENU m_hMenu = nullptr;
    HWND m_hOwner = nullptr;

    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnMenuCommand(UINT id);
    DECLARE_MESSAGE_MAP()
};

class CNoteDlg : public CDialog {
public:
    explicit CNoteDlg(CWnd* parent = nullptr) : CDialog(IDD_NOTE, parent) {}
    CString m_strNote;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class CTestDlg : public CDialog {
public:
    CTestDlg(host::MapDocument& map, LONG entityId);
    ~CTestDlg() override;

    host::MapDocument& m_map;
    LONG m_nEntityId;
    CString m_strName;
    CString m_strResult;
    CString m_strKr;
    int m_bSpare = 0;
    int m_nState = 0;
    CModelListBox m_modelList;
    CString m_strNote;
    HMENU m_hContextMenu = nullptr;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    int OnCreate(LPCREATESTRUCT cs);
    void OnTypeChanged();
    void OnSpareClicked();
    void OnKrKillFocus();
    void OnDetails();
    void OnModelDblClk();
    void OnModelShow();
    void OnModelDelete();
    DECLARE_MESSAGE_MAP()
};

// Opens CTestDlg on Launch for the object picked last (or the first object),
// reports a prompt on launch and after a pick, and records what it was asked.
class TestCommandHost : public jdhost::ICommandHost {
public:
    TestCommandHost(host::MapDocument& map, jdhost::IHostEvents& events) : m_map(map), m_events(events) {}

    bool Launch(std::string& error) override;
    bool Pick(const std::vector<LONG>& entityIds, std::string& error) override;
    bool SetCtrl(bool down, std::string& error) override;
    bool Click(std::string& error) override;
    bool Key(int code, std::string& error) override;
    bool Repaint(std::string& error) override;

    std::vector<std::string> calls;   // "launch", "pick 1 2", "ctrl 1", "click", "key 27", "repaint"
    std::vector<INT_PTR> results;     // DoModal results of the dialogs it opened
    LONG picked = 0;

private:
    host::MapDocument& m_map;
    jdhost::IHostEvents& m_events;
};

// A map with two transformers (#1 "1#变压器", #2 "2#变压器") and a motor (#3).
host::MapDocument MakeTestMap();

}  // namespace testdlg
