#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmark::ledger {

// Every MAC address read as a 48-bit number, octet 1 most significant.
inline constexpr std::uint64_t kMacSpace = std::uint64_t{1} << 48;

// The half-open range [first, first + count) of addresses.
struct MacRange {
  std::uint64_t first = 0;
  std::uint64_t count = 0;

  std::uint64_t end() const { return first + count; }
  std::uint64_t last() const { return first + count - 1; }
  bool Contains(const MacRange& other) const {
    return first <= other.first && other.end() <= end();
  }
  bool Overlaps(const MacRange& other) const { return first < other.end() && other.first < end(); }
  friend bool operator==(const MacRange&, const MacRange&) = default;
};

struct Pool {
  std::string name;
  MacRange macs;
  std::string createdBy;
  std::string createdAt;  // the database's clock, UTC: "2024-05-01T10:22:03Z"
};

// A series of serial numbers: its template, and the sequence numbers
// [firstSeq, endSeq) it may issue, endSeq being what the template can show.
struct Series {
  std::string name;
  std::string templateText;
  std::uint64_t firstSeq = 0;
  std::uint64_t endSeq = 0;
  std::string createdBy;
  std::string createdAt;
};

// The serials of a batch: the sequence numbers [firstSeq, firstSeq +
// device count) of its series, one per device in device order, filled into
// the series' template on the day they were issued.
struct SerialIssue {
  std::string series;  // empty: the batch has no serials
  std::string templateText;
  std::uint64_t firstSeq = 0;
  std::string date;  // "2024-05-01", the database's clock, UTC
  // The batch's own, which the template may show.
  std::string lot;
  std::string station;

  bool any() const { return !series.empty(); }
};

// A recorded batch: the addresses of count devices with n addresses each.
struct BatchSummary {
  std::int64_t id = 0;
  std::uint64_t firstMac = 0;
  std::int32_t deviceCount = 0;
  std::int32_t macsPerDevice = 0;
  std::string pool;  // empty when it lies in none
  std::string station;
  std::string lot;  // empty when the station gave none
  std::string recordedBy;
  std::string recordedAt;
  bool voided = false;
  std::string voidReason;
  std::string voidedBy;
  std::string voidedAt;
  SerialIssue serials = {};

  MacRange macs() const {
    return {firstMac, std::uint64_t(deviceCount) * std::uint64_t(macsPerDevice)};
  }
};

// How a write ended; empty while it runs, and for ever after a crash.
enum class Ending { None, Finished, Stopped, Failed };

// One time a batch's images were written.
struct WriteRecord {
  std::int64_t id = 0;
  std::int64_t batchId = 0;
  std::string station;
  std::string imageSha256;
  std::string outputFolder;
  std::string writtenBy;
  std::string startedAt;
  std::string endedAt;
  std::int32_t devicesWritten = 0;
  std::int32_t devicesFailed = 0;
  Ending ending = Ending::None;
  // Why the batch was written again on purpose (--rerun); empty for any
  // other write.
  std::string rerunReason;
};

struct BatchDetails {
  BatchSummary batch;
  std::vector<WriteRecord> writes;  // oldest first
};

// Which batches a listing shows; every field left empty shows all.
struct BatchFilter {
  std::optional<std::int64_t> id;
  std::string pool;
  std::string since;  // "2024-05-01" or "2024-05-01T10:22:03Z", UTC
};

// What a run asks of the ledger before its first device.
struct BatchRequest {
  std::optional<std::uint64_t> firstMac;  // none: the lowest free range of the pool
  std::int32_t deviceCount = 0;
  std::int32_t macsPerDevice = 0;
  std::string pool;  // empty: whichever pool holds the range
  std::string station;
  std::string imageSha256;  // 64 lower-case hexadecimal digits
  std::string outputFolder;
  // The batch this request writes again on purpose (another image, folder
  // or station, or after a write that never ended); none: only a plain
  // rerun of the same image into the same folder is taken.
  std::optional<std::int64_t> rerunBatch = std::nullopt;
  // The production lot, recorded with a new batch; empty: none.
  std::string lot = std::string();
  // Why the batch is written again on purpose, recorded with the write;
  // required with rerunBatch and only with it.
  std::string rerunReason = std::string();
  // The series a new batch takes its serials from; empty: none. Another
  // write of a batch names the series the batch has.
  std::string series = std::string();
};

// A batch recorded as reserved, or what would be recorded.
struct Reservation {
  std::int64_t batchId = 0;  // 0 in a check of a new batch
  std::int64_t writeId = 0;  // 0 in a check
  MacRange macs;
  std::string pool;
  bool rewrite = false;  // another write of a batch recorded before
  SerialIssue serials = {};
  std::int32_t deviceCount = 0;
};

struct WriteOutcome {
  std::int32_t devicesWritten = 0;
  std::int32_t devicesFailed = 0;
  bool stopped = false;
  bool finished = false;
};

}  // namespace quillmark::ledger
