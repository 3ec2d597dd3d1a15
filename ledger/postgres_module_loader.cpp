#include "interface_text.h"
#include "module_loader.h"
#include "postgres_module.h"

namespace quillmark::ledger {
namespace {

Result<const PostgresModuleEntry*> LoadPostgresModule() {
  const modules::LoadedModule module = modules::LoadModule({
      .fileName = kPostgresModuleFile,
      .entrySymbol = kPostgresModuleEntry,
      .what = {"PostgreSQL账本模块", "PostgreSQL ledger module"},
      .package = "quillmark-postgresql",
  });
  if (module.status != modules::ModuleStatus::Loaded)
    return Fault(LedgerFault::Unavailable, module.error);
  // The header is the table's first member; its fields matched this build.
  return static_cast<const PostgresModuleEntry*>(module.entry);
}

}  // namespace

Result<std::unique_ptr<Ledger>> OpenPostgresLedger(const LedgerLocation& location) {
  Result<const PostgresModuleEntry*> entry = LoadPostgresModule();
  if (!entry)
    return entry.error();
  return entry.value()->open(location);
}

Result<InitReport> InitPostgresLedger(const LedgerLocation& location, int targetVersion) {
  Result<const PostgresModuleEntry*> entry = LoadPostgresModule();
  if (!entry)
    return entry.error();
  return entry.value()->init(location, targetVersion);
}

// Without the module no parser is at hand, and a connection string may hold
// a password: nothing of it is shown.
std::string ConnectionTextWithoutPassword(const std::string& conninfo) {
  Result<const PostgresModuleEntry*> entry = LoadPostgresModule();
  if (!entry)
    return std::string(Pick({"（PostgreSQL连接字符串，未安装 quillmark-postgresql 无法显示）",
                             "(a PostgreSQL connection string, which cannot be shown without "
                             "quillmark-postgresql installed)"}));
  return entry.value()->connectionTextWithoutPassword(conninfo);
}

}  // namespace quillmark::ledger
