#pragma once
// The session engine: runs a script against a map, acting as the platform's
// modal runner, message-box service and observer for the length of the run.
//
// The script is read by one cursor shared by every level: the top-level loop
// takes lines until something opens a modal dialog; that dialog's Run takes
// the following lines and applies dialog verbs to it until it ends, then
// returns to the code that opened it; a dialog opened from one of its
// handlers does the same one level deeper. A failure (an expectation not met,
// an action the dialog refused, a script that ends with a dialog open) stops
// the run: every open dialog is ended with IDCANCEL, later message boxes get
// their safe answer (SafeAnswer), later dialogs end at once, so that the code that
// opened them unwinds normally. No exception leaves Run(CDialog&).
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/MapDocument.h"
#include "jdhost/CommandHost.h"
#include "jdhost/Script.h"
#include "platform/ModuleOutput.h"
#include "platform/Services.h"

class DialogDriver;

namespace jdhost {

class Session : public IModalRunner,
                public IMessageService,
                public IPlatformObserver,
                public IModuleOutputObserver,
                public IHostEvents {
public:
    // The map is the document the module edits; the transcript receives UTF-8 lines.
    Session(host::MapDocument& map, std::ostream& transcript);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Command verbs go here; without one they fail ("no command module is loaded").
    void SetCommandHost(ICommandHost* host) { m_commandHost = host; }

    // Runs the script from its first line: kExitDone, or kExitFailed with
    // failure() naming the file, the line, what was expected and what was found.
    int Run(const Script& script);

    bool failed() const { return m_failed; }
    // "FILE: line N: VERB: message", empty while nothing failed.
    const std::string& failure() const { return m_failure; }
    int failureLine() const { return m_failureLine; }

    // IModalRunner: drives one dialog with the following script lines.
    void Run(CDialog& dialog) override;
    // IMessageService: answers from the `answer` queue.
    int Show(const CString& text, const CString& caption, UINT type) override;
    // IPlatformObserver: the transcript.
    void OnDialogOpened(CDialog& dialog) override;
    void OnDialogClosed(CDialog& dialog, INT_PTR result) override;
    void OnMessageBox(const MessageBoxRecord& box) override;
    void OnMenuShown(const PopupMenuRecord& menu) override;
    void OnDiagnostic(const CString& text) override;
    // IModuleOutputObserver: the module's own lines, as `module: ...`.
    void OnModuleOutput(const CString& text) override;
    // IHostEvents: the command host reports prompts and its own lines here.
    void ReportPrompt(const CString& text) override;
    void ReportLine(const std::string& text) override;

    // Names of icons and results as the transcript and the scripts write them.
    static const char* IconWord(UINT type);      // info, stop, question, warning, none
    static std::string ResultWord(INT_PTR result);  // OK, Cancel, or the number
    // The answer a box gets once the run has failed: the one that changes
    // nothing (No, else Cancel, else Abort, else OK), so that the code that
    // unwinds never writes because of a box nobody answered.
    static int SafeAnswer(UINT type);

private:
    struct QueuedAnswer {
        int answer = 0;
        int line = 0;
    };
    struct OpenDialog {
        CDialog* dialog = nullptr;
        UINT id = 0;
        CString caption;
    };
    struct ShownBox {
        CString text;
        CString caption;
        UINT type = 0;
        int answer = 0;
    };

    void Execute(const ScriptLine& line, CDialog* dialog);
    void ExecuteDialogVerb(const ScriptLine& line, CDialog& dialog);
    void ExecuteMessageVerb(const ScriptLine& line);
    void ExecuteMapVerb(const ScriptLine& line);
    void ExecuteCommandVerb(const ScriptLine& line);

    // Records the first failure at the line being executed (later ones are dropped).
    void Fail(const std::string& message);
    void FailAt(int line, const std::string& verb, const std::string& message);
    void EndChecks();

    void Write(const std::string& text);          // one or more lines at the current depth
    std::string DescribeDialog(const CDialog& dialog) const;

    host::MapDocument& m_map;
    std::ostream& m_out;
    ICommandHost* m_commandHost = nullptr;

    const Script* m_script = nullptr;
    size_t m_next = 0;                 // index of the next script line to run
    const ScriptLine* m_current = nullptr;
    bool m_failed = false;
    std::string m_failure;
    int m_failureLine = 0;

    std::deque<QueuedAnswer> m_answers;
    std::optional<ShownBox> m_lastBox;   // since the last expect-message
    std::optional<CString> m_lastPrompt;
    std::vector<OpenDialog> m_open;      // as the observer saw them, outermost first
};

}  // namespace jdhost
