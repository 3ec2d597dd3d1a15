#include "ledger_csv.h"

#include "ledger_texts.h"
#include "mac_number.h"
#include "serial_series.h"

namespace quillmark::ledger {
namespace {

constexpr const char* kHeader =
    "batch_id,first_mac,last_mac,device_count,macs_per_device,pool,batch_station,recorded_by,"
    "recorded_at,voided_at,voided_by,void_reason,write_id,write_station,image_sha256,"
    "output_folder,written_by,started_at,ended_at,devices_written,devices_failed,ending,lot,"
    "rerun_reason,series,first_serial,last_serial\n";

std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string BatchFields(const BatchSummary& batch) {
  const MacRange macs = batch.macs();
  return std::to_string(batch.id) + "," + MacText(macs.first) + "," + MacText(macs.last()) + "," +
         std::to_string(batch.deviceCount) + "," + std::to_string(batch.macsPerDevice) + "," +
         Field(batch.pool) + "," + Field(batch.station) + "," + Field(batch.recordedBy) + "," +
         batch.recordedAt + "," + batch.voidedAt + "," + Field(batch.voidedBy) + "," +
         Field(batch.voidReason);
}

std::string WriteFields(const WriteRecord& write) {
  const bool ended = write.ending != Ending::None;
  return std::to_string(write.id) + "," + Field(write.station) + "," + write.imageSha256 + "," +
         Field(write.outputFolder) + "," + Field(write.writtenBy) + "," + write.startedAt + "," +
         write.endedAt + "," + (ended ? std::to_string(write.devicesWritten) : "") + "," +
         (ended ? std::to_string(write.devicesFailed) : "") + "," +
         std::string(EndingName(write.ending));
}

}  // namespace

std::string ExportCsv(const std::vector<BatchDetails>& batches) {
  std::string csv = kHeader;
  for (const BatchDetails& details : batches) {
    // The lot, the rerun's reason and the serials last, in the order they
    // came, so that columns read by their place before stay put.
    const std::string batch = BatchFields(details.batch);
    const std::string lot = "," + Field(details.batch.lot);
    const auto [firstSerial, lastSerial] =
        SerialRange(details.batch.serials, details.batch.deviceCount);
    const std::string serials = "," + Field(details.batch.serials.series) + "," +
                                Field(firstSerial) + "," + Field(lastSerial) + "\n";
    if (details.writes.empty())
      csv += batch + ",,,,,,,,,," + lot + "," + serials;
    for (const WriteRecord& write : details.writes)
      csv += batch + "," + WriteFields(write) + lot + "," + Field(write.rerunReason) + serials;
  }
  return csv;
}

}  // namespace quillmark::ledger
