#include "report_sample.h"

#include <fstream>
#include <sstream>

#include "child_process.h"

namespace quillmark::test {
namespace {

using namespace ledger;

struct Step {
  std::uint64_t first;
  std::int32_t count;
  std::int32_t n;
  const char* station;
  std::vector<WriteOutcome> writes;  // one Reserve each; none: reserved and never ended
  const char* voidReason;
  const char* lot;
};

}  // namespace

std::string FillSampleLedger(Ledger& ledger) {
  for (const Pool& pool :
       {Pool{"line3", {kLine3, 4096}, "", ""}, Pool{"line4", {kLine4, 256}, "", ""},
        Pool{"spare", {0x045755200000, 16}, "", ""}}) {
    Result<Pool> added = ledger.AddPool(pool.name, pool.macs);
    if (!added)
      return added.error().message;
  }
  const std::vector<Step> steps = {
      {kLine3, 100, 1, "line3-a", {{100, 0, false, true}}, nullptr, ""},
      {kLine3 + 100, 50, 2, "line3-b", {}, nullptr, ""},
      {kLine3 + 300, 40, 1, "line3-a", {{40, 0, false, true}}, "wrong image", ""},
      {kLine3 + 400, 20, 1, "line3-b", {{5, 0, true, false}, {20, 0, false, true}}, nullptr, ""},
      {kLine3 + 500, 10, 1, "line3-a", {{0, 10, false, false}}, nullptr, ""},
      {kLine4 + 16, 32, 1, "line4-a", {{32, 0, false, true}}, nullptr, "lot-0413"},
  };
  for (const Step& step : steps) {
    BatchRequest request{step.first,
                         step.count,
                         step.n,
                         "",
                         step.station,
                         std::string(64, 'c'),
                         std::string("/srv/") + step.station};
    request.lot = step.lot;
    Result<Reservation> reserved = ledger.Reserve(request);
    if (!reserved)
      return reserved.error().message;
    for (std::size_t i = 0; i < step.writes.size(); ++i) {
      if (i > 0) {
        reserved = ledger.Reserve(request);
        if (!reserved)
          return reserved.error().message;
      }
      Status recorded = ledger.RecordOutcome(reserved->writeId, step.writes[i]);
      if (!recorded)
        return recorded.error().message;
    }
    if (step.voidReason != nullptr) {
      Result<BatchSummary> voided = ledger.Void(reserved->batchId, step.voidReason);
      if (!voided)
        return voided.error().message;
    }
  }
  return "";
}

ChildResult RunQuillmarkCli(const std::vector<std::string>& args, const ChildOptions& options) {
  return RunChild(CommandLine(QUILLMARK_CLI_PATH, args), options);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace quillmark::test
