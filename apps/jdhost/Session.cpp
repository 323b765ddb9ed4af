#include "jdhost/Session.h"

#include <cstdio>
#include <sstream>

#include "host/MapFile.h"
#include "jdhost/Cli.h"
#include "jdhost/GridVerbs.h"
#include "jdhost/HighVoltageSwitchVerb.h"
#include "jdhost/MapReport.h"
#include "platform/CDialog.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/UserActions.h"

namespace jdhost {

namespace {

// Raised by a verb that cannot go on; caught by the loop that ran the verb,
// never thrown through code outside this file.
struct StepFailure {
    std::string message;
};

[[noreturn]] void Refuse(const std::string& message) { throw StepFailure{message}; }

CString Gbk(const std::string& utf8) {
    std::string gbk;
    // The parser has checked every argument, so this only fails for texts built here.
    if (!TryUtf8ToGbk(utf8, gbk)) Refuse("\"" + utf8 + "\" cannot be written in GBK");
    return CString(std::move(gbk));
}

// A text as the transcript and messages quote it: in double quotes, with line
// breaks and quotes escaped so that one event stays on one line.
std::string Quote(const CString& gbk) {
    std::string out = "\"";
    for (char c : Utf8(gbk)) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out + "\"";
}

std::string Quote(const std::string& utf8) { return Quote(Gbk(utf8)); }

int ControlId(const std::string& word) {
    if (word == "IDOK") return IDOK;
    if (word == "IDCANCEL") return IDCANCEL;
    const auto id = ParseInt(word);
    if (!id) Refuse("\"" + word + "\" is not a control id");
    return *id;
}

void Check(const ActionResult& result) {
    if (!result.ok()) Refuse(Utf8(result.error));
}

// A colour as the transcript's pens and brushes show it, with its decimal value.
std::string ColourText(long colour) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%06lX (%ld)", colour, colour);
    return text;
}

std::string Join(const std::vector<CString>& items) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += "|";
        out += Utf8(items[i]);
    }
    return out;
}

}  // namespace

Session::Session(host::MapDocument& map, std::ostream& transcript) : m_map(map), m_out(transcript) {}

Session::~Session() = default;

const char* Session::IconWord(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONINFORMATION: return "info";
    case MB_ICONSTOP: return "stop";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    default: return "none";
    }
}

std::string Session::ResultWord(INT_PTR result) {
    if (result == IDOK) return "OK";
    if (result == IDCANCEL) return "Cancel";
    return std::to_string(result);
}

// ---------------------------------------------------------------- the run

int Session::Run(const Script& script) {
    m_script = &script;
    m_next = 0;
    m_current = nullptr;
    m_failed = false;
    m_failure.clear();
    m_failureLine = 0;
    m_answers.clear();
    m_lastBox.reset();
    m_lastPrompt.reset();
    m_open.clear();
    {
        ModalRunnerScope runner(*this);
        MessageServiceScope messages(*this);
        PlatformObserverScope observer(*this);
        ModuleOutputScope moduleOutput(*this);
        while (!m_failed && m_next < script.lines.size()) {
            Execute(script.lines[m_next++], nullptr);
        }
        if (!m_failed) EndChecks();
    }
    m_script = nullptr;
    m_current = nullptr;
    return m_failed ? kExitFailed : kExitDone;
}

void Session::EndChecks() {
    if (!m_answers.empty()) {
        const QueuedAnswer& a = m_answers.front();
        FailAt(a.line, "answer",
               std::string("expected a message box to take the answer \"") + MessageBoxAnswerName(a.answer) +
                   "\", found none shown before the script ended");
    }
}

void Session::Run(CDialog& dialog) {
    try {
        if (!m_script || m_failed) {
            dialog.EndDialog(IDCANCEL);
            return;
        }
        while (!dialog.HasEnded() && dialog.IsRunning()) {
            if (m_failed) break;
            if (m_next >= m_script->lines.size()) {
                const int last = m_script->lines.empty() ? 0 : m_script->lines.back().line;
                FailAt(last, m_script->lines.empty() ? std::string() : m_script->lines.back().verb,
                       "the script ended while the dialog " + DescribeDialog(dialog) + " is still open");
                break;
            }
            Execute(m_script->lines[m_next++], &dialog);
        }
        if (m_failed && !dialog.HasEnded()) dialog.EndDialog(IDCANCEL);
    } catch (...) {
        // Execute catches everything it raises; this only guards the loop itself.
        if (!m_failed) Fail("internal error while driving the dialog");
        dialog.EndDialog(IDCANCEL);
    }
}

void Session::Execute(const ScriptLine& line, CDialog* dialog) {
    m_current = &line;
    const VerbInfo* verb = FindVerb(line.verb);
    try {
        if (!verb) Refuse("unknown verb");
        switch (verb->kind) {
        case VerbKind::Dialog:
            if (!dialog) Refuse("expected an open dialog, found none (dialog verbs act on the innermost open dialog)");
            ExecuteDialogVerb(line, *dialog);
            break;
        case VerbKind::Message: ExecuteMessageVerb(line); break;
        case VerbKind::Map: ExecuteMapVerb(line); break;
        case VerbKind::Command:
            if (dialog && line.verb != "expect-prompt") {
                Refuse("the dialog " + DescribeDialog(*dialog) + " is open; finish it before acting on the map");
            }
            ExecuteCommandVerb(line);
            break;
        }
    } catch (const StepFailure& f) {
        Fail(f.message);
    } catch (const std::exception& e) {
        Fail(std::string("error: ") + e.what());
    } catch (...) {
        Fail("unexpected error");
    }
}

// ---------------------------------------------------------------- dialog verbs

void Session::ExecuteDialogVerb(const ScriptLine& s, CDialog& dialog) {
    DialogDriver d(dialog);
    const auto& a = s.args;
    const std::string& v = s.verb;
    if (v == "expect-dialog") {
        const auto id = ParseInt(a[0]);
        const bool match = id ? static_cast<int>(dialog.GetTemplateId()) == *id : d.Caption() == Gbk(a[0]);
        if (!match) Refuse("expected the dialog " + (id ? a[0] : Quote(a[0])) + ", found " + DescribeDialog(dialog));
        return;
    }
    if (v == "ok") return Check(d.PressOk());
    if (v == "cancel") return Check(d.PressCancel());
    if (v == "dump") {
        Write("dump of " + DescribeDialog(dialog) + ":");
        for (const CString& l : d.DumpLines()) Write("  " + Utf8(l));
        for (const std::string& l : DumpGridLines(dialog)) Write("  " + l);
        return;
    }
    if (IsGridVerb(v)) {
        std::string error;
        if (!RunGridVerb(s, dialog, error)) Refuse(error);
        return;
    }
    if (v == "menu") {
        if (!GetShownPopupMenu()) Refuse("expected a menu to be shown, found none");
        const auto id = ParseInt(a[0]);
        return Check(id ? ChooseMenuCommand(static_cast<UINT>(*id)) : ChooseMenuItem(Gbk(a[0])));
    }

    const int id = ControlId(a[0]);
    const auto kind = d.Kind(id);
    if (!kind) Refuse("the dialog " + DescribeDialog(dialog) + " has no control " + a[0]);
    // The parser refuses indexes beyond an int; a script built in code is checked here.
    auto indexOf = [&](const std::string& word) -> std::optional<int> {
        if (const std::string problem = RowIndexProblem(word); !problem.empty()) Refuse(problem);
        return RowIndex(word);
    };
    auto rowOf = [&](const std::string& word) -> int {
        if (const auto n = indexOf(word)) return *n;
        const auto items = d.Items(id);
        if (!items) Refuse("the control " + a[0] + " (" + WindowKindName(*kind) + ") has no rows");
        const CString text = Gbk(word);
        for (size_t i = 0; i < items->size(); ++i) {
            if ((*items)[i] == text) return static_cast<int>(i);
        }
        Refuse("expected a row " + Quote(word) + " in " + a[0] + ", found rows \"" + Join(*items) + "\"");
    };

    if (v == "set") return Check(d.SetText(id, Gbk(a[1])));
    if (v == "type") return Check(d.TypeComboText(id, Gbk(a[1])));
    if (v == "select") {
        if (const auto n = indexOf(a[1])) return Check(d.SelectIndex(id, *n));
        return Check(d.SelectText(id, Gbk(a[1])));
    }
    if (v == "press") return Check(d.Click(id));
    if (v == "blur") return Check(d.Blur(id));
    if (v == "dblclick") {
        int row = -1;
        if (a.size() > 1) {
            row = rowOf(a[1]);
        } else {
            row = d.SelectedIndex(id).value_or(-1);
            if (row < 0) Refuse("expected a selected row in " + a[0] + " to double-click, found none selected");
        }
        return Check(d.DoubleClickRow(id, row));
    }
    if (v == "rclick") {
        if (a[1] == "below") return Check(d.RightClickBelowRows(id));
        return Check(d.RightClickRow(id, rowOf(a[1])));
    }

    // Expectations.
    if (v == "expect") {
        const CString found = d.Text(id).value_or(CString());
        if (found != Gbk(a[1])) Refuse("expected " + Quote(a[1]) + ", found " + Quote(found));
        return;
    }
    if (v == "expect-enabled" || v == "expect-visible") {
        const bool want = a[1] == "1";
        const bool found = (v == "expect-enabled" ? d.IsEnabled(id) : d.IsVisible(id)).value_or(false);
        const char* what = v == "expect-enabled" ? "enabled" : "visible";
        if (found != want) {
            Refuse(std::string("expected ") + a[0] + (want ? " " : " not ") + what + ", found it " +
                   (found ? "" : "not ") + what);
        }
        return;
    }
    if (v == "expect-items") {
        const auto items = d.Items(id);
        if (!items) Refuse("the control " + a[0] + " (" + WindowKindName(*kind) + ") has no items");
        const std::string found = Join(*items);
        if (found != Utf8(Gbk(a[1]))) Refuse("expected items \"" + a[1] + "\", found \"" + found + "\"");
        return;
    }
    if (v == "expect-selected") {
        if (IsButtonKind(*kind)) {
            // Check boxes and radios: 1 when checked, 0 when not.
            const int state = d.CheckState(id).value_or(0);
            if (std::to_string(state) != a[1]) {
                Refuse("expected the check state " + a[1] + ", found " + std::to_string(state));
            }
            return;
        }
        if (const auto n = indexOf(a[1])) {
            const int found = d.SelectedIndex(id).value_or(-1);
            if (found != *n) {
                Refuse("expected row #" + std::to_string(*n) + " selected, found " +
                       (found < 0 ? std::string("none") : "#" + std::to_string(found)));
            }
            return;
        }
        const CString found = d.SelectedText(id).value_or(CString());
        if (found != Gbk(a[1])) {
            Refuse("expected " + Quote(a[1]) + " selected, found " + (found.IsEmpty() ? "none" : Quote(found)));
        }
        return;
    }
    Refuse("unknown dialog verb");
}

// ---------------------------------------------------------------- message boxes

void Session::ExecuteMessageVerb(const ScriptLine& s) {
    if (s.verb == "answer") {
        m_answers.push_back({ParseMessageBoxAnswer(s.args[0].c_str()), s.line});
        return;
    }
    if (s.verb == "expect-no-message") {
        if (!m_lastBox) return;
        const ShownBox box = *m_lastBox;
        m_lastBox.reset();
        Refuse(std::string("expected no message box since the last check, found the ") + IconWord(box.type) +
               " box " + Quote(box.text));
    }
    // expect-message TEXT [icon]
    if (!m_lastBox) Refuse("expected the message " + Quote(s.args[0]) + ", found no message box since the last check");
    const ShownBox box = *m_lastBox;
    m_lastBox.reset();
    if (box.text != Gbk(s.args[0])) Refuse("expected the message " + Quote(s.args[0]) + ", found " + Quote(box.text));
    if (s.args.size() == 2 && s.args[1] != IconWord(box.type)) {
        Refuse("expected the icon " + s.args[1] + " on " + Quote(box.text) + ", found " + IconWord(box.type));
    }
}

int Session::SafeAnswer(UINT type) {
    for (const int answer : {IDNO, IDCANCEL, IDABORT, IDOK}) {
        if (MessageBoxAnswerFits(type, answer)) return answer;
    }
    return MessageBoxDefaultAnswer(type);
}

int Session::Show(const CString& text, const CString& caption, UINT type) {
    if (m_failed || !m_script) return SafeAnswer(type);
    if (!m_answers.empty()) {
        const QueuedAnswer a = m_answers.front();
        m_answers.pop_front();
        if (!MessageBoxAnswerFits(type, a.answer)) {
            Fail(std::string("expected a box that can answer \"") + MessageBoxAnswerName(a.answer) + "\" (queued at line " +
                 std::to_string(a.line) + "), found the " + MessageBoxButtonsName(type) + " box " + Quote(text));
            return SafeAnswer(type);
        }
        return a.answer;
    }
    if ((type & MB_TYPEMASK) == MB_OK) return IDOK;  // nothing to choose
    Fail(std::string("expected an answer for the ") + MessageBoxButtonsName(type) + " box " + Quote(text) +
         ", found none queued (write `answer ...` before the action that shows it)");
    return SafeAnswer(type);
}

// ---------------------------------------------------------------- map verbs

void Session::ExecuteMapVerb(const ScriptLine& s) {
    const auto& a = s.args;
    if (s.verb == "save") {
        std::string error;
        if (!host::SaveMapFile(a[0], m_map, error)) Refuse("cannot save " + a[0] + ": " + error);
        Write("saved " + a[0]);
        return;
    }
    std::string error;
    const host::MapObject* object = FindObject(m_map, a[0], error);
    if (!object) Refuse(error);
    if (s.verb == "records") {
        std::optional<LONG> field;
        if (a.size() == 2) field = *ParseInt(a[1]);
        std::ostringstream text;
        const bool found = PrintRecords(text, *object, field);
        Write(text.str());
        if (!found) Refuse("expected a field " + a[1] + " on " + DescribeObject(*object) + ", found none");
        return;
    }
    if (s.verb == "expect-name") {
        if (object->name != Gbk(a[1])) {
            Refuse("expected the name " + Quote(a[1]) + " on #" + std::to_string(object->entityId) + ", found " +
                   Quote(object->name));
        }
        return;
    }
    if (s.verb == "expect-label") {
        const int index = *ParseInt(a[1]);
        if (static_cast<size_t>(index) >= object->labels.size()) {
            Refuse("expected " + Quote(a[2]) + " in label " + a[1] + " of " + DescribeObject(*object) + ", found " +
                   std::to_string(object->labels.size()) + (object->labels.size() == 1 ? " label" : " labels"));
        }
        const CString& found = object->labels[static_cast<size_t>(index)].text;
        if (found != Gbk(a[2])) {
            Refuse("expected " + Quote(a[2]) + " in label " + a[1] + " of " + DescribeObject(*object) + ", found " +
                   Quote(found));
        }
        return;
    }
    if (s.verb == "expect-colour") {
        const long want = *ParseColour(a[1]);
        if (object->colour != want) {
            Refuse("expected the colour " + ColourText(want) + " on " + DescribeObject(*object) + ", found " +
                   ColourText(object->colour));
        }
        return;
    }
    // expect-record OBJECT FIELD SUB TEXT
    const LONG field = *ParseInt(a[1]);
    const int sub = *ParseInt(a[2]);
    const auto it = object->fields.find(field);
    if (it == object->fields.end()) {
        Refuse("expected " + Quote(a[3]) + " in field " + a[1] + "[" + a[2] + "] of " + DescribeObject(*object) +
               ", found no field " + a[1]);
    }
    if (static_cast<size_t>(sub) >= it->second.size()) {
        Refuse("expected " + Quote(a[3]) + " in field " + a[1] + "[" + a[2] + "] of " + DescribeObject(*object) +
               ", found only " + std::to_string(it->second.size()) + " values in the field");
    }
    const CString& found = it->second[static_cast<size_t>(sub)];
    if (found != Gbk(a[3])) {
        Refuse("expected " + Quote(a[3]) + " in field " + a[1] + "[" + a[2] + "] of " + DescribeObject(*object) +
               ", found " + Quote(found));
    }
}

// ---------------------------------------------------------------- command verbs

void Session::ExecuteCommandVerb(const ScriptLine& s) {
    if (!m_commandHost) Refuse("no command module is loaded");
    const auto& a = s.args;
    std::string error;
    bool ok = true;
    if (s.verb == "launch") {
        ok = m_commandHost->Launch(error);
    } else if (s.verb == "pick") {
        std::vector<LONG> ids;
        for (const std::string& name : a) {
            const host::MapObject* object = FindObject(m_map, name, error);
            if (!object) Refuse(error);
            ids.push_back(object->entityId);
        }
        ok = m_commandHost->Pick(ids, error);
    } else if (s.verb == "ctrl") {
        ok = m_commandHost->SetCtrl(a[0] == "down", error);
    } else if (s.verb == "click") {
        ok = m_commandHost->Click(error);
    } else if (s.verb == "key") {
        ok = m_commandHost->Key(a[0] == "esc" ? VK_ESCAPE : *ParseInt(a[0]), error);
    } else if (s.verb == "repaint") {
        ok = m_commandHost->Repaint(error);
    } else if (s.verb == "set-feeder-switch") {
        const host::MapObject* object = FindObject(m_map, a[0], error);
        if (!object) Refuse(error);
        ok = m_commandHost->SetFeederSwitch(object->entityId, error);
    } else if (s.verb == "set-hv-switch") {
        const host::MapObject* object = FindHighVoltageDevice(m_map, a[0], error);
        if (!object) Refuse(error);
        ok = m_commandHost->SetHighVoltageSwitch(object->entityId, error);
    } else if (s.verb == "expect-prompt") {
        if (!m_lastPrompt) Refuse("expected the prompt " + Quote(a[0]) + ", found no prompt shown");
        if (*m_lastPrompt != Gbk(a[0])) Refuse("expected the prompt " + Quote(a[0]) + ", found " + Quote(*m_lastPrompt));
        return;
    }
    // A failure inside the host's call (an expectation in a dialog it opened)
    // is already recorded; the host's own refusal comes second.
    if (!ok && !m_failed) Refuse(error.empty() ? "the command module refused " + s.verb : error);
}

void Session::ReportPrompt(const CString& text) {
    m_lastPrompt = text;
    Write("prompt " + Quote(text));
}

void Session::ReportLine(const std::string& text) { Write(text); }

// ---------------------------------------------------------------- failures

void Session::Fail(const std::string& message) {
    if (m_current) {
        FailAt(m_current->line, m_current->verb, message);
    } else {
        FailAt(0, std::string(), message);
    }
}

void Session::FailAt(int line, const std::string& verb, const std::string& message) {
    if (m_failed) return;
    m_failed = true;
    m_failureLine = line;
    const std::string file = m_script ? m_script->fileName : std::string("script");
    m_failure = file + ": line " + std::to_string(line) + ": " + (verb.empty() ? std::string() : verb + ": ") + message;
    Write("FAILED " + m_failure);
    if (!m_open.empty()) Write("ending the open dialogs with Cancel");
}

// ---------------------------------------------------------------- transcript

void Session::Write(const std::string& text) {
    const std::string indent(2 * m_open.size(), ' ');
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        m_out << indent << text.substr(start, end - start) << "\n";
        start = end + 1;
    }
    m_out.flush();
}

std::string Session::DescribeDialog(const CDialog& dialog) const {
    CString caption;
    if (dialog.m_hWnd) {
        caption = dialog.GetWindowText();
    } else {
        for (const OpenDialog& o : m_open) {
            if (o.dialog == &dialog) caption = o.caption;
        }
    }
    return std::to_string(dialog.GetTemplateId()) + " " + Quote(caption);
}

void Session::OnDialogOpened(CDialog& dialog) {
    Write("dialog " + DescribeDialog(dialog) + " opened");
    m_open.push_back({&dialog, dialog.GetTemplateId(), dialog.GetWindowText()});
}

void Session::OnDialogClosed(CDialog& dialog, INT_PTR result) {
    std::string description = std::to_string(dialog.GetTemplateId()) + " \"\"";
    for (size_t i = m_open.size(); i-- > 0;) {
        if (m_open[i].dialog == &dialog) {
            description = std::to_string(m_open[i].id) + " " + Quote(m_open[i].caption);
            m_open.erase(m_open.begin() + static_cast<long>(i));
            break;
        }
    }
    Write("dialog " + description + " closed: " + ResultWord(result));
}

void Session::OnMessageBox(const MessageBoxRecord& box) {
    m_lastBox = ShownBox{box.text, box.caption, box.type, box.answer};
    std::string line = std::string("message box [") + IconWord(box.type) + ", " + MessageBoxButtonsName(box.type) + "] ";
    if (!box.caption.IsEmpty()) line += Quote(box.caption) + ": ";
    line += Quote(box.text) + " -> " + MessageBoxAnswerName(box.answer);
    Write(line);
}

void Session::OnMenuShown(const PopupMenuRecord& menu) {
    std::string line = "menu shown";
    if (CWnd* owner = CWnd::FromHandle(menu.owner)) line += " on " + std::to_string(owner->GetDlgCtrlID());
    line += ":";
    const int count = GetMenuItemCount(menu.menu);
    for (int i = 0; i < count; ++i) {
        CString caption;
        GetMenuString(menu.menu, static_cast<UINT>(i), caption, MF_BYPOSITION);
        const UINT id = GetMenuItemID(menu.menu, i);
        line += i ? " | " : " ";
        if (id != 0 && id != static_cast<UINT>(-1)) line += std::to_string(id) + " ";
        line += Utf8(caption);
        const UINT state = GetMenuState(menu.menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state != static_cast<UINT>(-1) && (state & MF_GRAYED)) line += " (grayed)";
    }
    Write(line);
}

void Session::OnDiagnostic(const CString& text) { Write("platform: " + Utf8(text)); }

void Session::OnModuleOutput(const CString& text) { Write("module: " + Utf8(text)); }

}  // namespace jdhost
