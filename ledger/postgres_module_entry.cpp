// The one symbol the PostgreSQL module exports.
#include "module_build_stamp.h"
#include "postgres_ledger.h"
#include "postgres_module.h"
#include "quillmark_version.h"

namespace {

QUILLMARK_MODULE_BUILD_STAMP(kBuildStamp);

using quillmark::ledger::PostgresLedger;

const quillmark::ledger::PostgresModuleEntry kEntry = {
    .header = {.interfaceNumber = quillmark::modules::kModuleInterface,
               .buildVersion = QUILLMARK_VERSION,
               .buildId = kBuildStamp},
    .open = &PostgresLedger::Open,
    .init = &PostgresLedger::Init,
    .connectionTextWithoutPassword = &quillmark::ledger::PqConnectionTextWithoutPassword,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const quillmark::modules::ModuleHeader*
quillmark_postgresql_module() {
  return &kEntry.header;
}
