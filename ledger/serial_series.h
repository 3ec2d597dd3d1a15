#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ledger_result.h"
#include "ledger_types.h"
#include "serial_template.h"

namespace quillmark::ledger {

// The serials of one batch, device by device, from what the ledger
// recorded: its series' template, first number and day, and the batch's
// lot and station.
class BatchSerials {
 public:
  // None when the issue names no series, or its template or day no longer
  // reads (which the ledger never records).
  static std::optional<BatchSerials> Of(const SerialIssue& issue);
  // The serial of device index (from 0) of the batch.
  std::string At(std::int64_t index) const;
  serial::CheckKind check() const { return m_template.check(); }

 private:
  BatchSerials(serial::SerialTemplate parsed, serial::SerialContext context, std::uint64_t first)
      : m_template(std::move(parsed)), m_context(std::move(context)), m_first(first) {}
  serial::SerialTemplate m_template;
  serial::SerialContext m_context;
  std::uint64_t m_first = 0;
};

// "SN000001 至 SN000010（系列 line3）" for a batch of count devices; "" for
// a batch without serials.
std::string SerialRangeText(const SerialIssue& issue, std::int64_t count);
// The first and the last serial, for exports; empty for none.
std::pair<std::string, std::string> SerialRange(const SerialIssue& issue, std::int64_t count);

std::string SeriesListing(const std::vector<Series>& series);

LedgerError UnknownSeriesError(const std::string& name);
LedgerError SeriesFullError(const Series& series, std::int64_t wanted);
LedgerError SeriesNameTakenError(const std::string& name);
LedgerError SeriesNameError();
LedgerError SeriesTemplateError(const std::string& why);
LedgerError SerialOverlapError(const BatchSummary& batch);
// Another write of a batch names another series than the batch took its
// serials from (or none where it has some).
LedgerError SeriesMismatchError(const BatchSummary& batch, const std::string& requested);

}  // namespace quillmark::ledger
