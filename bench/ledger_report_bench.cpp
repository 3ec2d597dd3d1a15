// The ledger report's cost with a large pool:
//   quillmark-ledger-report-bench FOLDER [QUILLMARK_CLI]
// makes an SQLite ledger in FOLDER (which must be empty) holding one pool
// of 100,000 batches (most finished, some reserved, stopped or voided, with
// gaps between some), then times reading and rendering the report
// in-process (median of 5) and, given the program, one whole
// `quillmark-cli ledger report` run, and prints the page's size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ledger.h"
#include "ledger_report.h"
#include "report_html.h"
#include "sqlite_handle.h"

namespace {

using namespace quillmark::ledger;
using Clock = std::chrono::steady_clock;

constexpr int kBatches = 100000;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Batch i is 8 devices at 0x046000000000 + 10 i: a two-address gap after
// each. Every batch gets one write: 1 in 13 never ended, 1 in 29 stopped;
// 1 in 97 is voided. Inserted in a few statements; the database's rules
// still check each row.
bool Fill(const std::string& file) {
  Result<SqliteDatabase> db = SqliteDatabase::Open(file, false);
  const std::string last = std::to_string(kBatches - 1);
  const std::string numbers =
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i <= " + last + ") ";
  return db &&
         db->Exec(numbers +
                  "INSERT INTO batches (id, first_mac, device_count, macs_per_device, pool,"
                  " station, recorded_by) SELECT i, 4810363371520 + 10 * i, 8, 1, 'line3',"
                  " 'line3-' || (i % 4), 'bench' FROM n") &&
         db->Exec(numbers +
                  "INSERT INTO batch_writes (batch_id, station, image_sha256, output_folder,"
                  " written_by, ended_at, devices_written, devices_failed, ending)"
                  " SELECT i, 'line3-' || (i % 4), '" +
                  std::string(64, 'e') +
                  "', '/srv/line3/lot-' || i, 'bench',"
                  " CASE WHEN i % 13 = 0 THEN NULL ELSE strftime('%Y-%m-%dT%H:%M:%SZ', 'now') END,"
                  " CASE WHEN i % 13 = 0 THEN NULL WHEN i % 29 = 0 THEN 3 ELSE 8 END,"
                  " CASE WHEN i % 13 = 0 THEN NULL ELSE 0 END,"
                  " CASE WHEN i % 13 = 0 THEN NULL WHEN i % 29 = 0 THEN 'stopped'"
                  " ELSE 'finished' END FROM n") &&
         db->Exec(numbers +
                  "INSERT INTO voids (batch_id, reason, voided_by) SELECT i, 'wrong image',"
                  " 'bench' FROM n WHERE i % 97 = 0");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s FOLDER [QUILLMARK_CLI]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string file = folder + "/ledger.sqlite3";
  Result<LedgerLocation> location = ParseLedgerLocation(file);
  if (!location || !InitLedger(location.value()))
    return 1;
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location.value());
  if (!opened || !opened.value()->AddPool("line3", MacRange{0x046000000000, 0x1000000}) ||
      !Fill(file)) {
    std::fprintf(stderr, "cannot make the ledger in %s\n", folder.c_str());
    return 1;
  }
  const std::string today = "9999-12-31";
  std::vector<double> times;
  std::size_t size = 0;
  for (int round = 0; round < 5; ++round) {
    const auto start = Clock::now();
    Result<std::unique_ptr<Ledger>> ledger = OpenLedger(location.value());
    Result<LedgerReport> report =
        ledger ? BuildReport(*ledger.value(), ReportRequest{"", "2000-01-01", today})
               : Result<LedgerReport>(ledger.error());
    if (!report)
      return 1;
    const std::string page =
        RenderReportHtml(report.value(), ReportFooter{file, "", ""}, ChineseReportTexts());
    times.push_back(Seconds(Clock::now() - start));
    size = page.size();
  }
  std::sort(times.begin(), times.end());
  std::printf("report of %d batches in one pool: median %.3f s of 5 (max %.3f s), page %zu bytes\n",
              kBatches, times[2], times.back(), size);
  if (argc == 3) {
    const std::string command = std::string(argv[2]) +
                                " ledger report --since 2000-01-01 --ledger " + file + " --html " +
                                folder + "/report.html >/dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
      return 1;
    std::ifstream page(folder + "/report.html", std::ios::binary | std::ios::ate);
    std::printf("quillmark-cli ledger report: %.3f s, %lld bytes\n", Seconds(Clock::now() - start),
                static_cast<long long>(page.tellg()));
  }
  return 0;
}
