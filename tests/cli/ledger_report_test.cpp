// quillmark-cli ledger report on an SQLite file and on a PostgreSQL
// database of the tests' server: the page's numbers agree with what
// `ledger export` and `ledger list` say of the same ledger, everything
// read from the ledger is escaped, and the page replaces only a file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include "english_mode.h"

#include <algorithm>
#include <map>
#include <regex>

#include "fixture_image.h"
#include "ledger_fixture.h"
#include "mac_address.h"
#include "mac_number.h"
#include "printable_text.h"
#include "report_sample.h"

namespace quillmark::test {
namespace {

using testing::HasSubstr;
using testing::Not;

// One batch as the export describes it.
struct Exported {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::string pool;
  bool voided = false;
  bool finished = false;
};

std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (const char c : line) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  return fields;
}

std::uint64_t Mac(const std::string& text) {
  return ledger::MacNumber(*MacAddress::Parse(text));
}

// The text of the element of class cls that follows from in the page.
std::string Value(const std::string& page, std::size_t from, const std::string& cls) {
  const std::string open = "class=\"" + cls + "\">";
  const std::size_t at = page.find(open, from);
  if (at == std::string::npos)
    return "(missing)";
  const std::size_t begin = at + open.size();
  return page.substr(begin, page.find('<', begin) - begin);
}

class LedgerReportTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    m_place = std::make_unique<FreshLedgerPlace>(GetParam());
    ASSERT_EQ(m_place->error(), "");
    auto init = ledger::InitLedger(m_place->location());
    ASSERT_TRUE(init) << init.error().message;
    auto opened = ledger::OpenLedger(m_place->location());
    ASSERT_TRUE(opened) << opened.error().message;
    m_ledger = std::move(opened.value());
  }
  const std::string& Location() const { return m_place->location().target; }
  ChildResult Cli(std::vector<std::string> args) const {
    args.insert(args.begin(), "ledger");
    args.insert(args.end(), {"--ledger", Location()});
    return RunQuillmarkCli(args);
  }
  // Writes the report and returns the page.
  std::string Report(std::vector<std::string> options = {}) const {
    options.insert(options.begin(), {"report", "--html", m_dir / "report.html"});
    const ChildResult run = Cli(options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, Said("报告已写入：", "Report written: ") + (m_dir / "report.html") + "\n");
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"report.html"});
    return ReadText(m_dir / "report.html");
  }

  ScratchDir m_dir;
  std::unique_ptr<FreshLedgerPlace> m_place;
  std::unique_ptr<ledger::Ledger> m_ledger;
};

TEST_P(LedgerReportTest, NumbersAgreeWithTheExportAndTheListing) {
  ASSERT_EQ(FillSampleLedger(*m_ledger), "");
  const std::string page = Report({"--since", "2000-01-01"});

  // Every batch once, and the devices each station wrote, from the export.
  std::map<std::string, Exported> batches;
  std::map<std::string, std::int64_t> perStation;  // devices first written, not rewrites
  std::map<std::string, std::int64_t> reached;     // per batch, the most a write got to
  const std::vector<std::string> csv = Lines(Cli({"export"}).out);
  for (std::size_t i = 1; i < csv.size(); ++i) {
    const std::vector<std::string> f = CsvFields(csv[i]);
    ASSERT_EQ(f.size(), 27u) << csv[i];  // the lot, a rerun's reason and the serials last
    Exported& batch = batches[f[0]];
    batch = {Mac(f[1]), Mac(f[2]), f[5], !f[9].empty(), batch.finished || f[21] == "finished"};
    if (const std::int64_t written = f[19].empty() ? 0 : std::stoll(f[19]);
        written > reached[f[0]]) {
      perStation[f[13]] += written - reached[f[0]];
      reached[f[0]] = written;
    }
  }
  auto pools = m_ledger->Pools();
  ASSERT_TRUE(pools);
  for (const ledger::Pool& pool : pools.value()) {
    SCOPED_TRACE(pool.name);
    std::uint64_t used = 0;
    std::uint64_t kinds[3] = {};  // finished, reserved, voided
    std::vector<std::pair<std::uint64_t, std::uint64_t>> taken;
    for (const auto& [id, batch] : batches) {
      if (batch.pool != pool.name)
        continue;
      used += batch.last - batch.first + 1;
      kinds[batch.voided ? 2 : batch.finished ? 0 : 1] += batch.last - batch.first + 1;
      taken.emplace_back(batch.first, batch.last + 1);
    }
    std::sort(taken.begin(), taken.end());
    taken.emplace_back(pool.macs.end(), pool.macs.end());
    std::uint64_t cursor = pool.macs.first;
    const std::string none = Said("无", "none");
    std::string nextFree = none;
    std::pair<std::uint64_t, std::uint64_t> largest{0, 0};
    for (const auto& [first, end] : taken) {
      if (first > cursor && nextFree == none)
        nextFree = ledger::MacText(cursor);
      if (first - cursor > largest.second - largest.first)
        largest = {cursor, first};
      cursor = end;
    }
    const std::size_t section = page.find("<h3>" + pool.name + Said("　", "  "));
    ASSERT_NE(section, std::string::npos);
    EXPECT_EQ(Value(page, section, "used"), std::to_string(used));
    EXPECT_EQ(Value(page, section, "free"), std::to_string(pool.macs.count - used));
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.1f%%",
                  100.0 * double(used) / double(pool.macs.count));
    EXPECT_EQ(Value(page, section, "percent"), percent);
    EXPECT_EQ(Value(page, section, "next-free"), nextFree);
    EXPECT_THAT(Value(page, section, "largest-free"),
                HasSubstr(ledger::MacText(largest.first) + Said(" 至 ", " to ") +
                          ledger::MacText(largest.second - 1)));
    const std::string legend = page.substr(section, page.find("</ul>", section) - section);
    EXPECT_THAT(legend, HasSubstr(Said("已完成 ", "finished ") + std::to_string(kinds[0])));
    EXPECT_THAT(legend, HasSubstr(Said("已预留未完成 ", "reserved, not finished ") +
                                  std::to_string(kinds[1])));
    EXPECT_THAT(legend, HasSubstr(Said("已作废 ", "void ") + std::to_string(kinds[2])));
  }
  // The sample's own figures, so the comparison above cannot pass on an
  // empty export.
  EXPECT_EQ(Value(page, page.find("<h3>line3"), "used"), "270");
  EXPECT_EQ(Value(page, page.find("<h3>line3"), "next-free"), "04:57:55:00:00:c8");
  EXPECT_EQ(perStation.size(), 3u);
  EXPECT_EQ(perStation["line3-b"], 20);  // stopped at 5, then rerun to all 20
  for (const auto& [station, devices] : perStation) {
    EXPECT_THAT(page, HasSubstr(station + " <span class=\"station-total\">" +
                                std::to_string(devices) + "</span>"));
  }

  // The table lists what `ledger list` lists, newest first.
  std::vector<std::string> listed;
  for (const std::string& line : Lines(Cli({"list", "--since", "2000-01-01"}).out))
    listed.insert(listed.begin(), line.substr(0, line.find(' ')));
  std::vector<std::string> rows;
  const std::regex row("<tr><td>([0-9]+)</td>");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), row); it != std::sregex_iterator();
       ++it)
    rows.push_back((*it)[1]);
  EXPECT_EQ(rows, listed);
  EXPECT_EQ(rows.size(), 6u);
  EXPECT_THAT(page, HasSubstr(Said("已作废：", "void: ") + "wrong image"));

  // One pool, and a period that holds nothing yet.
  const std::string line4 = Report({"--pool", "line4", "--since", "2999-01-01"});
  EXPECT_THAT(line4, HasSubstr("<h3>line4" + Said("　", "  ")));
  EXPECT_THAT(line4, Not(HasSubstr("<h3>line3")));
  EXPECT_THAT(line4, HasSubstr(Said("此期间没有批次。", "No batches in this period.")));
  EXPECT_THAT(line4,
              HasSubstr(Said("此期间没有写入设备。", "No devices were written in this period.")));
}

TEST_P(LedgerReportTest, EveryValueFromTheLedgerIsEscaped) {
  struct Case {
    std::string raw;
    std::string shown;
  };
  const std::vector<Case> cases = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b <i>", "a&amp;b &lt;i&gt;"},
      {"\"double\" 'single'", "&quot;double&quot; &#39;single&#39;"},
      {"red\x1b[31m", "red\\x1b[31m"},
      {"two\nlines\r\t", "two\\x0alines\\x0d\\x09"},
      {"c1 \xc2\x9b", "c1 \\xc2\\x9b"},
  };
  ASSERT_TRUE(m_ledger->AddPool("<b>&\"'pool", {kLine3, 4096}));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const std::string& raw = cases[i].raw;
    // The ledger refuses a station or a reason with control characters;
    // a folder keeps them.
    const std::string station = HasControlCharacters(raw) ? "plain" : raw;
    auto reserved = m_ledger->Reserve(
        {kLine3 + 16 * i, 4, 1, "", station, std::string(64, 'd'), "/srv/" + raw});
    ASSERT_TRUE(reserved) << reserved.error().message;
    ASSERT_TRUE(m_ledger->RecordOutcome(reserved->writeId, {4, 0, false, true}));
    if (!HasControlCharacters(raw)) {
      // Written again on purpose: the reason beside the count of rewrites.
      ledger::BatchRequest rerun{kLine3 + 16 * i, 4, 1, "", station, std::string(64, 'e'),
                                 "/srv/" + raw};
      rerun.rerunBatch = reserved->batchId;
      rerun.rerunReason = "again " + raw;
      ASSERT_TRUE(m_ledger->Reserve(rerun));
      ASSERT_TRUE(m_ledger->Void(reserved->batchId, "reason " + raw));
    }
  }
  const std::string page = Report({"--since", "2000-01-01"});
  const std::string user = m_ledger->Batches({}).value().at(0).writes.at(0).writtenBy;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_THAT(page, HasSubstr("<td>/srv/" + c.shown + "</td>"));  // folder
    if (!HasControlCharacters(c.raw)) {
      EXPECT_THAT(page, HasSubstr("<td>" + c.shown + "</td>"));  // station
      EXPECT_THAT(page, HasSubstr(Said("已作废：", "void: ") + "reason " + c.shown + "</td>"));
      EXPECT_THAT(page, HasSubstr("<td>1<br><span class=\"rerun\">" + user + Said("：", ": ") +
                                  "again " + c.shown + "</span></td>"));
      EXPECT_THAT(page, HasSubstr(c.shown + " <span class=\"station-total\">4</span>"));
    }
  }
  EXPECT_THAT(page, HasSubstr("<h3>&lt;b&gt;&amp;&quot;&#39;pool" + Said("　", "  ")));
  EXPECT_THAT(page, Not(HasSubstr("<script")));
  EXPECT_THAT(page, Not(HasSubstr("<b>")));
  EXPECT_THAT(page, Not(HasSubstr("<i>")));
  EXPECT_THAT(page, Not(HasSubstr("\xc2\x9b")));
  EXPECT_EQ(std::count_if(page.begin(), page.end(),
                          [](char c) { return (c >= 0 && c < 0x20 && c != '\n') || c == 0x7f; }),
            0);
}

TEST_P(LedgerReportTest, FooterShowsTheLocationWithoutItsPassword) {
  std::string location = Location();
  if (GetParam() == Backend::PostgreSQL)
    location += " password=sekret-42";  // the test server trusts its socket
  const ChildResult run =
      RunQuillmarkCli({"ledger", "report", "--html", m_dir / "report.html", "--ledger", location});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string page = ReadText(m_dir / "report.html");
  EXPECT_THAT(page, Not(HasSubstr("sekret")));
  EXPECT_THAT(page, HasSubstr("<span class=\"location\">" +
                              ledger::ParseLedgerLocation(location)->Display() + "</span>"));
  EXPECT_THAT(page, HasSubstr(Said("程序版本：", "Program version: ")));
  EXPECT_THAT(page, HasSubstr(Said("账本中没有地址池。", "The ledger has no address pools.")));
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerReportTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

// The page replaces a file, never a folder, a device node, a FIFO or the
// ledger itself; what it refuses is left as it was.
TEST(LedgerReportOutput, RefusesWhatIsNotAFileAndTheLedgerItself) {
  ScratchDir dir;
  const std::string ledgerFile = dir / "ledger.sqlite3";
  ASSERT_EQ(RunQuillmarkCli({"ledger", "init", ledgerFile}).exitCode, 0);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  ASSERT_EQ(::mknod((dir / "node").c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
  // A ledger in use has its write-ahead log beside it.
  auto open = ledger::OpenLedger(ledger::ParseLedgerLocation(ledgerFile).value());
  ASSERT_TRUE(open);
  ASSERT_TRUE(open.value()->AddPool("line3", {kLine3, 4096}));
  const std::string ledgerBytes = ReadText(ledgerFile);
  // The journal is not there in WAL mode, and SQLite would delete a page
  // under its name.
  for (const std::string name : {"folder", "fifo", "node", "ledger.sqlite3", "ledger.sqlite3-wal",
                                 "ledger.sqlite3-journal", "folder/.."}) {
    SCOPED_TRACE(name);
    const ChildResult run =
        RunQuillmarkCli({"ledger", "report", "--html", dir / name, "--ledger", ledgerFile});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(dir / name));
  }
  EXPECT_EQ(ReadText(ledgerFile), ledgerBytes);
  EXPECT_EQ(dir.List(),
            (std::vector<std::string>{"fifo", "folder", "ledger.sqlite3", "ledger.sqlite3-shm",
                                      "ledger.sqlite3-wal", "node"}));
  auto pools = open.value()->Pools();
  ASSERT_TRUE(pools);
  EXPECT_EQ(pools->size(), 1u);

  // An older report is replaced whole; nothing is left under the hidden name.
  WriteFileBytes(dir / "folder/report.html", {'o', 'l', 'd'});
  const std::string report = dir / "folder/report.html";
  EXPECT_EQ(
      RunQuillmarkCli({"ledger", "report", "--html", report, "--ledger", ledgerFile}).exitCode, 0);
  EXPECT_THAT(ReadText(report), HasSubstr("</html>\n"));
  EXPECT_EQ(dir.List("folder"), std::vector<std::string>{"report.html"});

  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  } refusals[] = {
      {{"--ledger", ledgerFile}, 2, "--html"},
      {{"--html", report, "--ledger", ledgerFile, "--pool", "nosuch"}, 1, "nosuch"},
      {{"--html", report, "--ledger", ledgerFile, "--since", "yesterday"}, 1, "yesterday"},
      {{"--html", report, "--ledger", dir / "missing.sqlite3"}, 1, ""},
  };
  for (const auto& refusal : refusals) {
    std::vector<std::string> args{"ledger", "report"};
    args.insert(args.end(), refusal.args.begin(), refusal.args.end());
    const ChildResult run = RunQuillmarkCli(args);
    EXPECT_EQ(run.exitCode, refusal.exitCode) << run.err;
    EXPECT_THAT(run.err, HasSubstr(refusal.err));
    EXPECT_THAT(ReadText(report), HasSubstr("</html>\n"));  // the older report stays
  }
}

// A page the disk will not take leaves the older report as it was, and
// nothing under a hidden name; a file already under the hidden name is
// not the report's to remove.
TEST(LedgerReportOutput, APageNotWrittenKeepsTheOlderReportAndNoOtherFileGoes) {
  ScratchDir dir;
  const std::string ledgerFile = dir / "ledger.sqlite3";
  ASSERT_EQ(RunQuillmarkCli({"ledger", "init", ledgerFile}).exitCode, 0);
  // A station holds the ledger's shared memory at its size, so the limit
  // meets the page alone.
  sqlite3* station = nullptr;
  ASSERT_EQ(sqlite3_open(ledgerFile.c_str(), &station), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(station, "SELECT count(*) FROM pools", nullptr, nullptr, nullptr),
            SQLITE_OK);
  ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0755), 0);
  const std::string report = dir / "folder/report.html";
  WriteFileBytes(report, {'o', 'l', 'd'});
  WriteFileBytes(dir / "folder/.report.html.part", {'m', 'i', 'n', 'e'});

  ChildOptions limited;
  limited.fileSizeLimit = 1024;
  const ChildResult cut =
      RunQuillmarkCli({"ledger", "report", "--html", report, "--ledger", ledgerFile}, limited);
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(cut.err, Said("写入报告文件出错！", "Writing the report failed: ") + report + "\n");
  EXPECT_EQ(ReadText(report), "old");
  EXPECT_EQ(ReadText(dir / "folder/.report.html.part"), "mine");
  EXPECT_EQ(dir.List("folder"), (std::vector<std::string>{".report.html.part", "report.html"}));

  const ChildResult whole =
      RunQuillmarkCli({"ledger", "report", "--html", report, "--ledger", ledgerFile});
  EXPECT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_THAT(ReadText(report), HasSubstr("</html>\n"));
  EXPECT_EQ(ReadText(dir / "folder/.report.html.part"), "mine");
  EXPECT_EQ(dir.List("folder"), (std::vector<std::string>{".report.html.part", "report.html"}));
  sqlite3_close(station);
}

}  // namespace
}  // namespace quillmark::test
