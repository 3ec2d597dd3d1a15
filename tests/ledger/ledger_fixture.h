#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "ledger.h"
#include "scratch_dir.h"

namespace quillmark::test {

enum class Backend { SQLite, PostgreSQL };

std::string BackendName(const testing::TestParamInfo<Backend>& info);
void PrintTo(Backend backend, std::ostream* out);

// A fresh place for a ledger on one back end, nothing made there yet: a
// file in a scratch folder, or a new database on the shared server.
class FreshLedgerPlace {
 public:
  explicit FreshLedgerPlace(Backend backend);
  ~FreshLedgerPlace();  // drops the database, so a long run does not fill the disk
  FreshLedgerPlace(const FreshLedgerPlace&) = delete;
  FreshLedgerPlace& operator=(const FreshLedgerPlace&) = delete;
  const ledger::LedgerLocation& location() const { return m_location; }
  const std::string& error() const { return m_error; }
  // Runs SQL on the ledger past the library (as the database's superuser
  // on PostgreSQL); returns the database's error text, empty on success.
  std::string RawSql(const std::string& sql) const;
  // A table's name as the back end spells it ("quillmark.batches").
  std::string Table(const std::string& name) const;
  // Empty when the free ranges the triggers keep are exactly every pool
  // less its batches, as computed afresh; else the database's complaint.
  std::string FreeRangesDisagree() const;

 private:
  Backend m_backend;
  ScratchDir m_dir;
  ledger::LedgerLocation m_location;
  std::string m_database;
  std::string m_error;
};

// A current, empty ledger on the back end the test runs for.
class LedgerTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override;

  // A batch request from station "line3-a" with a fixed image digest.
  static ledger::BatchRequest Request(std::uint64_t first, std::int32_t count, std::int32_t n = 1);
  static ledger::BatchRequest NextRequest(const std::string& pool, std::int32_t count,
                                          std::int32_t n = 1);
  // Reserves and expects success.
  ledger::Reservation Reserve(const ledger::BatchRequest& request);
  ledger::Pool AddPool(const std::string& name, std::uint64_t first, std::uint64_t count);
  std::vector<ledger::BatchDetails> AllBatches();

  std::unique_ptr<FreshLedgerPlace> m_place;
  std::unique_ptr<ledger::Ledger> m_ledger;
};

inline constexpr std::uint64_t kVendor = 0x045755000000;  // 04:57:55:00:00:00
inline const std::string kDigest(64, 'a');

}  // namespace quillmark::test
