#include "serial_series.h"

#include "interface_text.h"
#include "ledger_texts.h"
#include "printable_text.h"

namespace quillmark::ledger {

std::optional<BatchSerials> BatchSerials::Of(const SerialIssue& issue) {
  if (!issue.any())
    return std::nullopt;
  serial::SerialTemplate::Parsed parsed = serial::SerialTemplate::Parse(issue.templateText);
  const std::optional<serial::SerialDate> date = serial::ParseSerialDate(issue.date);
  if (!parsed.value || !date)
    return std::nullopt;
  return BatchSerials(std::move(*parsed.value),
                      serial::SerialContext{*date, issue.lot, issue.station}, issue.firstSeq);
}

std::string BatchSerials::At(std::int64_t index) const {
  return m_template.Render(m_context, m_first + static_cast<std::uint64_t>(index));
}

std::pair<std::string, std::string> SerialRange(const SerialIssue& issue, std::int64_t count) {
  const std::optional<BatchSerials> serials = BatchSerials::Of(issue);
  if (!serials || count < 1)
    return {};
  return {serials->At(0), serials->At(count - 1)};
}

std::string SerialRangeText(const SerialIssue& issue, std::int64_t count) {
  const auto [first, last] = SerialRange(issue, count);
  if (first.empty())
    return "";
  return Fill({"序列号 %1 至 %2（系列 %3）", "serials %1 to %2 (series %3)"},
              {first, last, EscapeControlCharacters(issue.series)});
}

std::string SeriesListing(const std::vector<Series>& series) {
  std::string text;
  for (const Series& one : series) {
    text += Fill(
        {"%1  %2  序号 %3 至 %4  %5  %6\n", "%1  %2  numbers %3 to %4  %5  %6\n"},
        {EscapeControlCharacters(one.name), one.templateText, std::to_string(one.firstSeq),
         std::to_string(one.endSeq - 1), EscapeControlCharacters(one.createdBy), one.createdAt});
  }
  return text;
}

LedgerError UnknownSeriesError(const std::string& name) {
  return Fault(LedgerFault::UnknownSeries,
               Fill({"账本中没有序列号系列 %1", "The ledger has no serial series %1"},
                    {EscapeControlCharacters(name)}));
}

LedgerError SeriesFullError(const Series& series, std::int64_t wanted) {
  return Fault(LedgerFault::SeriesFull,
               Fill({"序列号系列 %1 剩余的序号不够！需要 %2 个（模板 %3 最多到序号 %4）",
                     "The serial series %1 has too few numbers left: %2 needed (the template %3 "
                     "goes up to number %4)"},
                    {EscapeControlCharacters(series.name), std::to_string(wanted),
                     series.templateText, std::to_string(series.endSeq - 1)}));
}

LedgerError SeriesNameTakenError(const std::string& name) {
  return Fault(LedgerFault::SeriesConflict,
               Fill({"序列号系列 %1 已经存在", "The serial series %1 exists already"},
                    {EscapeControlCharacters(name)}));
}

LedgerError SeriesNameError() {
  return Fault(LedgerFault::SeriesConflict,
               std::string(Pick({"序列号系列名须为 1 到 64 个字节，不含控制字符",
                                 "A serial series' name takes 1 to 64 bytes, without control "
                                 "characters"})));
}

LedgerError SeriesTemplateError(const std::string& why) {
  return Fault(LedgerFault::SeriesConflict, why);
}

LedgerError SerialOverlapError(const BatchSummary& batch) {
  LedgerError error =
      Fault(LedgerFault::SerialOverlap,
            Fill({"序列号与账本中的批次重叠！%1", "The serials overlap a batch in the ledger: %1"},
                 {BatchText(batch)}));
  error.batch = batch;
  return error;
}

LedgerError SeriesMismatchError(const BatchSummary& batch, const std::string& requested) {
  const std::string had = batch.serials.any() ? EscapeControlCharacters(batch.serials.series)
                                              : std::string(Pick({"（无）", "(none)"}));
  const std::string asked = requested.empty() ? std::string(Pick({"（无）", "(none)"}))
                                              : EscapeControlCharacters(requested);
  LedgerError error =
      Fault(LedgerFault::SeriesMismatch,
            Fill({"批次 %1 的序列号系列是 %2，这次写入给的是 %3：同一批设备的序列号不变",
                  "Batch %1 has its serials from series %2, and this write names %3: the same "
                  "devices keep their serials"},
                 {std::to_string(batch.id), had, asked}));
  error.batch = batch;
  return error;
}

}  // namespace quillmark::ledger
