#pragma once
// Session verbs for grid controls:
//
//   set-cell ID ROW COL TEXT      a user's edit of one cell (click the cell,
//                                 type TEXT, Enter), with the notifications
//                                 such an edit gives the dialog
//   expect-cell ID ROW COL TEXT   the cell holds TEXT (compared byte for byte in GBK)
//
// ROW and COL count from 0 (row 0 is normally the fixed header row); `#N`
// is accepted as well as N. The grid is reached through window messages
// (module/GridCtrl.h), so nothing of the command module is linked here.
#include <string>
#include <vector>

#include "jdhost/Script.h"

class CDialog;

namespace jdhost {

// Entries to append to the verb table (VerbKind::Dialog: the first argument
// is a control id, which the table's check already covers).
const std::vector<VerbInfo>& GridVerbs();
bool IsGridVerb(const std::string& verb);

// The form checks of the parser: "" when ROW and COL are numbers from 0,
// else what is wrong (the parser adds the line and usage).
std::string CheckGridVerbArguments(const ScriptLine& line);

// Runs a grid verb on the innermost dialog. False with `error` (UTF-8, ready
// for the failure message) when the control is missing or no grid, the cell
// does not exist, the user could not edit it, or an expectation failed.
bool RunGridVerb(const ScriptLine& line, CDialog& dialog, std::string& error);

// The dump lines of every grid control of the dialog (UTF-8), to print after
// the dialog's own dump lines: "3028 grid 2 rows x 11 columns, ..." then one
// line per row. Empty when the dialog has no grid.
std::vector<std::string> DumpGridLines(CDialog& dialog);

}  // namespace jdhost
