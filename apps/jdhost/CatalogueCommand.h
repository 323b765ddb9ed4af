#pragma once
// `jdhost catalogue`: list, show, export and import the models of the
// equipment catalogue (transformers, feeder switches, high-voltage switches)
// as UTF-8 CSV (the file format: equipment/CatalogueCsv.h), and make a new
// catalogue from the shipped seed. The command line itself is declared in
// Cli.cpp; these are the actions it runs.
//
// Exit codes as jdhost: 0 done, 1 the operation failed (catalogue unreadable,
// no such model), 2 bad usage or bad input (nothing changed).
#include <ostream>
#include <string>
#include <vector>

namespace jdhost {

// Runs `catalogue ARGS...` (the arguments after the word "catalogue") through
// the jdhost command line.
int RunCatalogueCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A catalogue named with --catalogue or $JDHOST_CATALOGUE must exist: only
// the per-user one is made on first use. False (with a message saying how
// to make one) when the named file is missing. `namedPath` is the
// --catalogue value, empty when none was given.
bool NamedCatalogueExists(const std::string& namedPath, std::ostream& err);

// The actions. KIND texts are checked here (transformer, feeder or hv).
int CatalogueList(const std::string& kind, std::ostream& out, std::ostream& err);
int CatalogueShow(const std::string& kind, const std::string& id, std::ostream& out, std::ostream& err);
int CatalogueExport(const std::string& kind, const std::string& file, std::ostream& out, std::ostream& err);
int CatalogueImport(const std::string& kind, const std::string& file, bool replaceAll, std::ostream& out,
                    std::ostream& err);
// Creates a catalogue at `path` from the shipped schema and seed; refuses a
// path where something exists already. A "postgresql://" URI makes the
// tables in that server database instead, which must hold no catalogue yet.
int CatalogueInit(const std::string& path, std::ostream& out, std::ostream& err);
// Replaces everything `to` holds with what `from` holds (models, stock,
// lists, settings), in one transaction on `to`; either may be a file or a
// server URI, and a missing `to` is made first.
int CatalogueCopy(const std::string& from, const std::string& to, std::ostream& out, std::ostream& err);

}  // namespace jdhost
