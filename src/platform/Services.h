#pragma once
// The services a headless platform needs from whoever drives it: something
// that runs a modal dialog until it ends, something that answers message
// boxes, and observers that want to hear what happened (a session
// transcript). Each service has one process-wide current instance with a
// setter and an RAII scope that swaps an instance in and restores the old one.
#include <deque>
#include <functional>
#include <vector>

#include "platform/CString.h"
#include "platform/WinDef.h"

class CDialog;
struct PopupMenuRecord;

// Runs a modal dialog: returns when the dialog has ended (EndDialog). With no
// runner set, every dialog ends at once with IDCANCEL.
class IModalRunner {
public:
    virtual ~IModalRunner() = default;
    virtual void Run(CDialog& dialog) = 0;
};
IModalRunner* GetModalRunner();
IModalRunner* SetModalRunner(IModalRunner* runner);   // returns the previous one

class ModalRunnerScope {
public:
    explicit ModalRunnerScope(IModalRunner& runner) : m_previous(SetModalRunner(&runner)) {}
    ~ModalRunnerScope() { SetModalRunner(m_previous); }
    ModalRunnerScope(const ModalRunnerScope&) = delete;
    ModalRunnerScope& operator=(const ModalRunnerScope&) = delete;

private:
    IModalRunner* m_previous;
};

// Shows a message box and returns the button pressed (IDOK, IDYES, ...).
class IMessageService {
public:
    virtual ~IMessageService() = default;
    virtual int Show(const CString& text, const CString& caption, UINT type) = 0;
};
// Never null: without a service set, the default HeadlessMessageService answers.
IMessageService* GetMessageService();
IMessageService* SetMessageService(IMessageService* service);  // null restores the default

class MessageServiceScope {
public:
    explicit MessageServiceScope(IMessageService& service) : m_previous(SetMessageService(&service)) {}
    ~MessageServiceScope() { SetMessageService(m_previous); }
    MessageServiceScope(const MessageServiceScope&) = delete;
    MessageServiceScope& operator=(const MessageServiceScope&) = delete;

private:
    IMessageService* m_previous;
};

// Every message box of the program goes through these. A null caption is empty.
int AfxMessageBox(const char* text, UINT type = MB_OK);
int ShowMessageBox(const char* text, const char* caption, UINT type);

struct MessageBoxRecord {
    CString text;
    CString caption;
    UINT type = MB_OK;
    int answer = IDOK;
};

// Names for transcripts and scripts: "information", "stop", "question",
// "exclamation", "" (no icon); "ok", "okcancel", "yesno", "yesnocancel",
// "retrycancel", "abortretryignore"; answers "ok", "cancel", "yes", "no",
// "abort", "retry", "ignore".
const char* MessageBoxIconName(UINT type);
const char* MessageBoxButtonsName(UINT type);
const char* MessageBoxAnswerName(int answer);
int ParseMessageBoxAnswer(const char* name);   // 0 when unknown
// Whether a box of this type has a button giving this answer.
bool MessageBoxAnswerFits(UINT type, int answer);
// The default button's answer (MB_DEFBUTTONn respected): OK, Yes, Abort, Retry.
int MessageBoxDefaultAnswer(UINT type);

// Records every box and answers from a queue, else with the box's default
// button. A queued answer the box cannot give (e.g. "no" for an OK box) is
// consumed, recorded as an error and replaced by the default.
class HeadlessMessageService : public IMessageService {
public:
    int Show(const CString& text, const CString& caption, UINT type) override;

    void QueueAnswer(int answer) { m_answers.push_back(answer); }
    void ClearQueue() { m_answers.clear(); }
    size_t PendingAnswers() const { return m_answers.size(); }

    const std::vector<MessageBoxRecord>& Records() const { return m_records; }
    void ClearRecords() { m_records.clear(); }
    // Mismatch errors, GBK text naming the box and the refused answer.
    const std::vector<CString>& Errors() const { return m_errors; }
    void ClearErrors() { m_errors.clear(); }

private:
    std::deque<int> m_answers;
    std::vector<MessageBoxRecord> m_records;
    std::vector<CString> m_errors;
};
// The instance that answers when no service is set.
HeadlessMessageService& GetDefaultMessageService();

// Hears what the user would have seen. All callbacks have empty defaults.
class IPlatformObserver {
public:
    virtual ~IPlatformObserver() = default;
    // After the window and controls exist and WM_CREATE succeeded, before OnInitDialog.
    virtual void OnDialogOpened(CDialog& /*dialog*/) {}
    // After the window is destroyed, with the result DoModal returns.
    virtual void OnDialogClosed(CDialog& /*dialog*/, INT_PTR /*result*/) {}
    virtual void OnMessageBox(const MessageBoxRecord& /*box*/) {}
    virtual void OnMenuShown(const PopupMenuRecord& /*menu*/) {}
    virtual void OnMenuCommand(HWND /*owner*/, UINT /*commandId*/) {}
    virtual void OnDiagnostic(const CString& /*text*/) {}
};
void AddPlatformObserver(IPlatformObserver* observer);
void RemovePlatformObserver(IPlatformObserver* observer);

class PlatformObserverScope {
public:
    explicit PlatformObserverScope(IPlatformObserver& observer) : m_observer(&observer) {
        AddPlatformObserver(m_observer);
    }
    ~PlatformObserverScope() { RemovePlatformObserver(m_observer); }
    PlatformObserverScope(const PlatformObserverScope&) = delete;
    PlatformObserverScope& operator=(const PlatformObserverScope&) = delete;

private:
    IPlatformObserver* m_observer;
};

// For the platform's own use: calls every observer still registered at the
// moment of its call (an observer may remove itself or others).
void ForEachPlatformObserver(const std::function<void(IPlatformObserver&)>& fn);
