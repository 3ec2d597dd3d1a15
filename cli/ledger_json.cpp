#include "ledger_json.h"

#include "json_line.h"
#include "ledger_texts.h"
#include "mac_number.h"
#include "serial_series.h"

namespace quillmark::cli {
namespace {

using namespace ledger;

// The English name of a batch's state, as StateText says it in words:
// its last write's ending, once there is one.
std::string_view StateName(const BatchDetails& details) {
  if (details.batch.voided)
    return "voided";
  if (details.writes.empty() || details.writes.back().ending == Ending::None)
    return "reserved";
  return EndingName(details.writes.back().ending);
}

void AddRange(JsonLine& object, const MacRange& range) {
  object.Add("first_mac", MacText(range.first))
      .Add("last_mac", MacText(range.last()))
      .Add("addresses", range.count);
}

// A batch's serials: its series and first and last serial, null for none.
void AddSerials(JsonLine& object, const SerialIssue& serials, std::int64_t count) {
  const auto [first, last] = SerialRange(serials, count);
  object.AddOrNull("series", serials.series)
      .AddOrNull("first_serial", first)
      .AddOrNull("last_serial", last);
}

JsonLine WriteObject(const WriteRecord& write) {
  const bool ended = write.ending != Ending::None;
  JsonLine object;
  object.Add("write_id", write.id)
      .Add("station", write.station)
      .Add("written_by", write.writtenBy)
      .Add("folder", write.outputFolder)
      .Add("image_sha256", write.imageSha256)
      .Add("started_at", write.startedAt)
      .AddOrNull("ended_at", write.endedAt)
      .AddOrNull("ending", EndingName(write.ending));
  if (ended)
    object.Add("devices_written", write.devicesWritten).Add("devices_failed", write.devicesFailed);
  else
    object.AddNull("devices_written").AddNull("devices_failed");
  return object.AddOrNull("rerun_reason", write.rerunReason);
}

JsonLine BatchObject(const BatchDetails& details) {
  const BatchSummary& batch = details.batch;
  JsonLine object;
  object.Add("batch_id", batch.id);
  AddRange(object, batch.macs());
  object.Add("devices", batch.deviceCount)
      .Add("macs_per_device", batch.macsPerDevice)
      .AddOrNull("pool", batch.pool)
      .Add("station", batch.station)
      .AddOrNull("lot", batch.lot)
      .Add("recorded_by", batch.recordedBy)
      .Add("recorded_at", batch.recordedAt)
      .Add("state", StateName(details))
      .AddOrNull("voided_at", batch.voidedAt)
      .AddOrNull("voided_by", batch.voidedBy)
      .AddOrNull("void_reason", batch.voidReason);
  AddSerials(object, batch.serials, batch.deviceCount);
  return object;
}

JsonLine ExportRow(const BatchDetails& details, const WriteRecord* write) {
  const BatchSummary& batch = details.batch;
  JsonLine row;
  row.Add("batch_id", batch.id)
      .Add("first_mac", MacText(batch.macs().first))
      .Add("last_mac", MacText(batch.macs().last()))
      .Add("device_count", batch.deviceCount)
      .Add("macs_per_device", batch.macsPerDevice)
      .AddOrNull("pool", batch.pool)
      .Add("batch_station", batch.station)
      .AddOrNull("lot", batch.lot)
      .Add("recorded_by", batch.recordedBy)
      .Add("recorded_at", batch.recordedAt)
      .AddOrNull("voided_at", batch.voidedAt)
      .AddOrNull("voided_by", batch.voidedBy)
      .AddOrNull("void_reason", batch.voidReason);
  AddSerials(row, batch.serials, batch.deviceCount);
  if (!write) {
    for (const char* key :
         {"write_id", "write_station", "image_sha256", "output_folder", "written_by", "started_at",
          "ended_at", "devices_written", "devices_failed", "ending", "rerun_reason"})
      row.AddNull(key);
    return row;
  }
  const bool ended = write->ending != Ending::None;
  row.Add("write_id", write->id)
      .Add("write_station", write->station)
      .Add("image_sha256", write->imageSha256)
      .Add("output_folder", write->outputFolder)
      .Add("written_by", write->writtenBy)
      .Add("started_at", write->startedAt)
      .AddOrNull("ended_at", write->endedAt);
  if (ended)
    row.Add("devices_written", write->devicesWritten).Add("devices_failed", write->devicesFailed);
  else
    row.AddNull("devices_written").AddNull("devices_failed");
  return row.AddOrNull("ending", EndingName(write->ending))
      .AddOrNull("rerun_reason", write->rerunReason);
}

}  // namespace

std::string InitJson(const std::string& shownLocation, const InitReport& report) {
  const char* result = report.versionBefore == 0                     ? "created"
                       : report.versionBefore == report.versionAfter ? "current"
                                                                     : "upgraded";
  JsonLine object;
  return object.Add("location", shownLocation)
      .Add("result", result)
      .Add("schema_before", report.versionBefore)
      .Add("schema_after", report.versionAfter)
      .Line();
}

std::string PoolsJson(const std::vector<Pool>& pools) {
  std::string text;
  for (const Pool& pool : pools) {
    JsonLine object;
    object.Add("name", pool.name);
    AddRange(object, pool.macs);
    text += object.Add("created_by", pool.createdBy).Add("created_at", pool.createdAt).Line();
  }
  return text;
}

std::string BatchesJson(const std::vector<BatchDetails>& batches, bool withWrites) {
  std::string text;
  for (const BatchDetails& details : batches) {
    JsonLine object = BatchObject(details);
    if (withWrites) {
      std::vector<JsonLine> writes;
      for (const WriteRecord& write : details.writes)
        writes.push_back(WriteObject(write));
      object.Add("writes", writes);
    }
    text += object.Line();
  }
  return text;
}

std::string ExportJson(const std::vector<BatchDetails>& batches) {
  std::string text;
  for (const BatchDetails& details : batches) {
    if (details.writes.empty())
      text += ExportRow(details, nullptr).Line();
    for (const WriteRecord& write : details.writes)
      text += ExportRow(details, &write).Line();
  }
  return text;
}

std::string CheckJson(const Reservation& verdict) {
  JsonLine object;
  object.AddOrNull("batch_id", verdict.rewrite ? std::optional(verdict.batchId) : std::nullopt)
      .Add("rewrite", verdict.rewrite);
  AddRange(object, verdict.macs);
  object.AddOrNull("pool", verdict.pool);
  AddSerials(object, verdict.serials, verdict.deviceCount);
  return object.Line();
}

std::string SeriesJson(const std::vector<Series>& series) {
  std::string text;
  for (const Series& one : series) {
    JsonLine object;
    text += object.Add("name", one.name)
                .Add("template", one.templateText)
                .Add("first_number", one.firstSeq)
                .Add("last_number", one.endSeq - 1)
                .Add("created_by", one.createdBy)
                .Add("created_at", one.createdAt)
                .Line();
  }
  return text;
}

}  // namespace quillmark::cli
