#include "jdhost/GridVerbs.h"

#include <algorithm>

#include "module/GridCtrl.h"
#include "platform/CDialog.h"
#include "platform/Gbk.h"
#include "platform/UserActions.h"

namespace jdhost {

namespace {

std::optional<int> CellIndex(const std::string& word) {
    if (const auto n = RowIndex(word)) return n;
    const auto n = ParseInt(word);
    if (!n || *n < 0) return std::nullopt;
    return n;
}

// Why a ROW or COL word is refused: too large for an index, or no number at all.
std::string CellIndexProblem(const std::string& what, const std::string& word) {
    const std::string digits = word.size() > 1 && word[0] == '#' ? word.substr(1) : word;
    const bool number = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (number) return "the " + what + " index " + word + " is out of range (0 to " + std::to_string(INT32_MAX) + ")";
    return "the " + what + " \"" + word + "\" is not a number from 0";
}

std::optional<int> ControlIdOf(const std::string& word) {
    if (word == "IDOK") return IDOK;
    if (word == "IDCANCEL") return IDCANCEL;
    return ParseInt(word);
}

// The text as the transcript quotes it.
std::string Quote(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\n') out += "\\n";
        else if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out + "\"";
}

std::string ToUtf8OrHex(const CString& gbk) {
    std::string out;
    if (TryGbkToUtf8(gbk.view(), out)) return out;
    return "(text that is no GBK)";
}

// Sends a grid message; false when the window does not answer as a grid.
bool AskGrid(HWND control, UINT message, GridCellRequest& request) {
    return ::SendMessage(control, message, 0, reinterpret_cast<LPARAM>(&request)) == kGridAnswer;
}

}  // namespace

const std::vector<VerbInfo>& GridVerbs() {
    static const std::vector<VerbInfo> verbs = {
        {"set-cell", 4, 4, VerbKind::Dialog, "ID ROW COL TEXT"},
        {"expect-cell", 4, 4, VerbKind::Dialog, "ID ROW COL TEXT"},
    };
    return verbs;
}

bool IsGridVerb(const std::string& verb) { return verb == "set-cell" || verb == "expect-cell"; }

std::string CheckGridVerbArguments(const ScriptLine& line) {
    if (!IsGridVerb(line.verb) || line.args.size() != 4) return "";
    if (!CellIndex(line.args[1])) return CellIndexProblem("row", line.args[1]);
    if (!CellIndex(line.args[2])) return CellIndexProblem("column", line.args[2]);
    return "";
}

bool RunGridVerb(const ScriptLine& line, CDialog& dialog, std::string& error) {
    error.clear();
    if (!IsGridVerb(line.verb) || line.args.size() != 4) {
        error = "expected set-cell or expect-cell with 4 arguments";
        return false;
    }
    const auto id = ControlIdOf(line.args[0]);
    const auto row = CellIndex(line.args[1]);
    const auto col = CellIndex(line.args[2]);
    if (!id || !row || !col) {
        error = "expected a control id, a row and a column, found " + line.args[0] + " " + line.args[1] + " " +
                line.args[2];
        return false;
    }
    std::string gbk;
    if (!TryUtf8ToGbk(line.args[3], gbk)) {
        error = Quote(line.args[3]) + " cannot be written in GBK";
        return false;
    }
    const CString text(std::move(gbk));

    DialogDriver driver(dialog);
    HWND control = ::GetDlgItem(dialog.GetSafeHwnd(), *id);
    if (!control) {
        error = "the dialog " + std::to_string(dialog.GetTemplateId()) + " \"" + ToUtf8OrHex(driver.Caption()) +
                "\" has no control " + line.args[0];
        return false;
    }
    GridCellRequest request;
    request.row = *row;
    request.column = *col;
    if (line.verb == "set-cell") {
        request.text = text;
        if (!AskGrid(control, GVM_USEREDITCELL, request)) {
            error = "the control " + line.args[0] + " (" + WindowKindName(control->kind) + ") is no grid";
            return false;
        }
        if (!request.error.IsEmpty()) {
            error = ToUtf8OrHex(request.error);
            return false;
        }
        return true;
    }
    if (!AskGrid(control, GVM_QUERYCELL, request)) {
        error = "the control " + line.args[0] + " (" + WindowKindName(control->kind) + ") is no grid";
        return false;
    }
    if (!request.error.IsEmpty()) {
        error = ToUtf8OrHex(request.error);
        return false;
    }
    if (request.text != text) {
        error = "expected " + Quote(line.args[3]) + " in cell (" + std::to_string(*row) + ", " +
                std::to_string(*col) + "), found " + Quote(ToUtf8OrHex(request.text));
        return false;
    }
    return true;
}

std::vector<std::string> DumpGridLines(CDialog& dialog) {
    std::vector<std::string> lines;
    HWND h = dialog.GetSafeHwnd();
    if (!IsWindow(h)) return lines;
    for (const auto& child : h->children) {
        if (child->kind != WindowKind::Custom) continue;
        GridCellRequest request;
        if (!AskGrid(child.get(), GVM_DESCRIBE, request)) continue;
        for (size_t i = 0; i < request.lines.size(); ++i) {
            const std::string text = ToUtf8OrHex(request.lines[i]);
            lines.push_back(i == 0 ? std::to_string(child->id) + " " + text : "  " + text);
        }
    }
    return lines;
}

}  // namespace jdhost
