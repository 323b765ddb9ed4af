#pragma once
// Making and moving whole catalogues: `jdhost catalogue init TARGET` and
// `jdhost catalogue copy FROM TO`. A target is a file path (SQLite) or a
// PostgreSQL connection URI ("postgresql://…").
#include <string>

#include "equipment/CatalogueCsv.h"
#include "equipment/Export.h"

namespace jdcat {

// Creates the catalogue at `target` from the shipped schema and seed: a new
// file, or the tables in the server's database, in one transaction. Throws
// CatalogueError when the target already holds a catalogue (nothing is
// changed then) or cannot be reached.
JDBASE_API void InitCatalogue(const std::string& target);

struct CopyResult {
    int models = 0;     // rows of the three Para_ tables
    int stock = 0;      // stock rows
    int listItems = 0;  // voltage and capacity list items
    int settings = 0;
};

// Replaces everything `to` holds (models, stock, lists, settings) with what
// `from` holds, in one transaction on `to`: a failure leaves `to` as it was.
// A `to` that does not exist yet is created first, as InitCatalogue does.
// IDs keep their values; `to` hands out new IDs above all of them. Throws
// CatalogueError.
JDBASE_API CopyResult CopyCatalogue(const std::string& from, const std::string& to);

}  // namespace jdcat
