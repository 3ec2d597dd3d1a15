#include "sqlite_access.h"

#include "interface_text.h"

namespace quillmark::ledger {

// Windows answers for its files through their access lists, which SQLite's
// own error names when it is refused.
std::optional<LedgerError> SqliteAccessProblem(const std::string&, bool) {
  return std::nullopt;
}

Status PrepareSharedLedgerFiles(const std::string&, const std::string&) {
  return Fault(LedgerFault::InvalidRequest,
               std::string(Pick({"Windows上没有 --group：工位共用的账本是 station（ledger init "
                                 "station），其访问控制列表让工位的用户写入",
                                 "--group is not for Windows: the ledger a station's users share "
                                 "is station (ledger init station), whose access list lets them "
                                 "write it"})));
}

}  // namespace quillmark::ledger
