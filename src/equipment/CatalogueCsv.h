#pragma once
// The catalogue tables as CSV: reading a table (or one row), writing it as
// UTF-8 CSV with a header row of column names, and importing such a file in
// one transaction. Used by `jdhost catalogue`.
//
// The file: UTF-8, RFC 4180, first line the column names (those of the
// table, any subset in any order, Model required, each at most once), one
// model per line. An empty unquoted field is NULL, "" an empty text. Numbers
// are plain decimals, flags 0 or 1.
#include <cstddef>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "equipment/Export.h"

namespace jdcat {

enum class Kind { Transformer, Feeder, HighVoltage };

// "transformer", "feeder", "hv"; nullopt for anything else.
JDBASE_API std::optional<Kind> ParseKind(std::string_view name);
JDBASE_API const char* KindName(Kind kind);
JDBASE_API const char* TableName(Kind kind);
JDBASE_API std::vector<Kind> AllKinds();

// The catalogue could not be opened or read (the operation failed; the
// message is UTF-8 and says why).
class CatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The CSV is not acceptable; the message names the file, the row (and its
// line) and the column of the first bad value. Nothing was changed.
class CsvInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using Value = std::optional<std::string>;  // nullopt = NULL; texts are UTF-8
struct Table {
    std::vector<std::string> columns;  // in the table's order, ID first
    std::vector<std::string> types;    // declared types, as the schema has them
    std::vector<std::vector<Value>> rows;
};

// All rows in ID order, or the row with that id (an empty table when there is
// none). Opens the catalogue as every library routine does (the per-user file
// is created when missing). Throws CatalogueError.
JDBASE_API Table ReadTable(Kind kind, std::optional<long long> id = std::nullopt);

// Every row in ID order, one at a time, without holding the table: `each`
// gets the values of `columns` formatted as ReadTable gives them, a view
// with no data (data() == nullptr) for NULL and for a column the table does
// not have. The views last until `each` returns. Returns the number of rows.
// Throws CatalogueError.
JDBASE_API size_t ForEachRow(Kind kind, const std::vector<std::string>& columns,
                             const std::function<void(const std::vector<std::string_view>& row)>& each);

// Room for the text of any real.
struct RealBuffer {
    char text[40];
};
// A real as lists and exports write it: "%.15g" when that reads back as the
// same number, else "%.17g". The text lives in `buffer`.
JDBASE_API std::string_view FormatReal(double value, RealBuffer& buffer);

// RFC 4180 with a header row: fields that hold a comma, a quote, a line break
// or blanks at either end are quoted; an empty text is "" and NULL is left
// empty; reals are written with the fewest digits that read back exactly.
// Lines end with CRLF? No: with LF, as the seed files do.
JDBASE_API std::string FormatCsv(const Table& table);

struct ImportResult {
    int added = 0;     // rows without ID, or with an ID the table did not have
    int replaced = 0;  // rows whose ID the table had
    int removed = 0;   // rows deleted first (replaceAll)
};

// Checks every row, then writes all of them in one transaction: a row with an
// ID replaces the row of that ID (or is added under it), a row without one is
// added under a new ID. With replaceAll the table is emptied first, so it
// holds exactly the file's rows afterwards. The header must name columns of
// the table, each once; Model is required. Throws CsvInputError for bad input
// (nothing changed) and CatalogueError when the catalogue fails.
JDBASE_API ImportResult ImportCsv(Kind kind, const std::string& csvText, const std::string& fileName,
                                  bool replaceAll);

}  // namespace jdcat
