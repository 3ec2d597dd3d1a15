#pragma once

#include <memory>
#include <string>

#include "ledger.h"
#include "module_interface.h"

// The PostgreSQL back end's entry table: only a ledger location that is a
// connection string opens the module, so libpq and what it links load on
// the stations that use a shared ledger and nowhere else.
namespace quillmark::ledger {

inline constexpr const char* kPostgresModuleFile = "quillmark-postgresql.so";
inline constexpr const char* kPostgresModuleEntry = "quillmark_postgresql_module";

struct PostgresModuleEntry {
  modules::ModuleHeader header;  // first: checked before anything else
  Result<std::unique_ptr<Ledger>> (*open)(const LedgerLocation& location);
  Result<InitReport> (*init)(const LedgerLocation& location, int targetVersion);
  std::string (*connectionTextWithoutPassword)(const std::string& conninfo);
};

// The connection string without its password, as libpq reads it; in the
// module (ConnectionTextWithoutPassword is the program's way to it).
std::string PqConnectionTextWithoutPassword(const std::string& conninfo);

// Through the module; without it, or with one of another build, an
// Unavailable fault whose text names the package to install.
Result<std::unique_ptr<Ledger>> OpenPostgresLedger(const LedgerLocation& location);
Result<InitReport> InitPostgresLedger(const LedgerLocation& location, int targetVersion);

}  // namespace quillmark::ledger
