#pragma once
// `jdhost catalogue`: list, show, export and import the models of the
// equipment catalogue (transformers, feeder switches, high-voltage switches)
// as UTF-8 CSV (the file format: equipment/CatalogueCsv.h).
#include <ostream>
#include <string>
#include <vector>

namespace jdhost {

// The usage text of the subcommand.
std::string CatalogueUsageText();

// Runs `catalogue ARGS...` (the arguments after the word "catalogue").
// Accepts --catalogue PATH among them as well; otherwise the path set by the
// caller, $JDHOST_CATALOGUE or the per-user catalogue is used. Exit codes as
// jdhost: 0 done, 1 the operation failed (catalogue unreadable, no such
// model), 2 bad usage or bad input (nothing changed).
int RunCatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace jdhost
