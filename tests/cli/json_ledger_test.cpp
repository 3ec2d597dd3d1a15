// --json for the ledger's commands and for a write that records its
// batch: one object per pool, batch or exported row, each line read by
// python3's json module; refusals stay on standard error alone.
#include <gmock/gmock.h>

#include <set>
#include <sstream>

#include "cli_fixture.h"
#include "json_lines.h"
#include "ledger_fixture.h"

namespace quillmark::test {
namespace {

using testing::HasSubstr;

class JsonLedgerTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_place = std::make_unique<FreshLedgerPlace>(Backend::SQLite);
    ASSERT_EQ(m_place->error(), "");
  }

  const std::string& Location() const { return m_place->location().target; }

  ChildResult Ledger(std::vector<std::string> args) {
    args.insert(args.begin(), "ledger");
    args.insert(args.end(), {"--ledger", Location(), "--json"});
    return Run(args);
  }
  ChildResult Write(std::vector<std::string> args) {
    args.insert(args.begin(), {"--image=image.img", "--ledger", Location(), "--json"});
    return Run(args);
  }

  std::unique_ptr<FreshLedgerPlace> m_place;
};

TEST_F(JsonLedgerTest, EveryLedgerCommandPrintsOneObjectPerRow) {
  const ChildResult init = Ledger({"init"});
  ASSERT_EQ(init.exitCode, 0) << init.err;
  std::vector<JsonObject> lines = ParseJsonLines(init.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("result"), Quoted("created"));
  EXPECT_EQ(lines[0].at("schema_after"), std::to_string(ledger::kLedgerSchemaVersion));

  const ChildResult pool =
      Ledger({"pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:ff:ff"});
  ASSERT_EQ(pool.exitCode, 0) << pool.err;
  lines = ParseJsonLines(pool.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("name"), Quoted("line3"));
  EXPECT_EQ(lines[0].at("last_mac"), Quoted("04:57:55:00:ff:ff"));
  EXPECT_EQ(lines[0].at("addresses"), "65536");
  EXPECT_EQ(Ledger({"pool", "list"}).out, pool.out);

  // A write names the batch it recorded; a dry run of it again names it
  // as the batch it would write again.
  const ChildResult first = Write({"--count=2", "--station=line3-a", "--pool=line3"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  lines = ParseJsonLines(first.out);
  ASSERT_EQ(lines.size(), 3u) << first.out;
  EXPECT_EQ(lines[2].at("ledger"), "true");
  EXPECT_EQ(lines[2].at("batch_id"), "1");
  const ChildResult again = Write({"--count=2", "--station=line3-a", "--pool=line3", "--dry-run"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(ParseJsonLines(again.out).back().at("batch_id"), "1");
  // Beyond ASCII, but no Chinese in the English run, whose check takes any
  // Chinese on the tool's output for an untranslated text.
  const std::string word = EnglishTestMode() ? "\u00e9tiquette" : "标签";
  const ChildResult rerun = Write({"--count=2", "--station=line3-a", "--pool=line3", "--out=again",
                                   "--rerun=1", "--reason=new \"image\" " + word});
  ASSERT_EQ(rerun.exitCode, 0) << rerun.err;
  const ChildResult next = Write(
      {"--start-mac=next", "--count=3", "--station=line3-a", "--pool=line3", "--out=next\x01"});
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(next.err, "");
  lines = ParseJsonLines(next.out);
  ASSERT_EQ(lines.size(), 4u) << next.out;
  EXPECT_EQ(lines[0].at("file"), Quoted("fw_045755_000002.img"));
  EXPECT_EQ(lines[3].at("first_mac"), Quoted("04:57:55:00:00:02"));
  EXPECT_EQ(lines[3].at("batch_id"), "2");

  const ChildResult check =
      Ledger({"check", "--start-mac", "next", "--count", "4", "--pool", "line3"});
  ASSERT_EQ(check.exitCode, 0) << check.err;
  lines = ParseJsonLines(check.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], (JsonObject{{"batch_id", "null"},
                                  {"rewrite", "false"},
                                  {"first_mac", Quoted("04:57:55:00:00:05")},
                                  {"last_mac", Quoted("04:57:55:00:00:08")},
                                  {"addresses", "4"},
                                  {"pool", Quoted("line3")},
                                  {"series", "null"},
                                  {"first_serial", "null"},
                                  {"last_serial", "null"}}));

  // A folder with a control character and a reason with quotes and a
  // backslash (the ledger refuses reasons with control characters or
  // bytes that are not UTF-8).
  const ChildResult voided = Ledger({"void", "2", "--reason", "bad \"label\" \\ " + word});
  ASSERT_EQ(voided.exitCode, 0) << voided.err;
  lines = ParseJsonLines(voided.out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("state"), Quoted("voided"));
  EXPECT_EQ(lines[0].at("void_reason"), Quoted("bad \\\"label\\\" \\\\ " + word));

  lines = ParseJsonLines(Ledger({"list"}).out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].at("batch_id"), "1");
  EXPECT_EQ(lines[0].at("state"), Quoted("finished"));
  EXPECT_EQ(lines[0].at("devices"), "2");
  EXPECT_EQ(lines[0].at("station"), Quoted("line3-a"));
  EXPECT_EQ(lines[1].at("state"), Quoted("voided"));

  lines = ParseJsonLines(Ledger({"show", "1"}).out);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_THAT(lines[0].at("writes"), HasSubstr("\"ending\":\"finished\""));
  EXPECT_THAT(lines[0].at("writes"), HasSubstr("\"devices_written\":2"));
  EXPECT_THAT(lines[0].at("writes"), HasSubstr("\"folder\":" + Quoted(m_root + "/out")));
  EXPECT_THAT(lines[0].at("writes"), HasSubstr("\"rerun_reason\":null}"));
  EXPECT_THAT(lines[0].at("writes"),
              HasSubstr("\"rerun_reason\":" + Quoted("new \\\"image\\\" " + word) + "}"));

  // The export's rows under the CSV's column names.
  const ChildResult csv = Run({"ledger", "export", "--ledger", Location()});
  lines = ParseJsonLines(Ledger({"export"}).out);
  ASSERT_EQ(lines.size(), Lines(csv.out).size() - 1);
  std::set<std::string> columns;
  std::stringstream header(Lines(csv.out).front());
  for (std::string column; std::getline(header, column, ',');)
    columns.insert(column);
  for (const JsonObject& row : lines) {
    std::set<std::string> keys;
    for (const auto& [key, value] : row)
      keys.insert(key);
    EXPECT_EQ(keys, columns);
  }
  EXPECT_EQ(lines[2].at("void_reason"), Quoted("bad \\\"label\\\" \\\\ " + word));
  EXPECT_EQ(lines[2].at("output_folder"), Quoted(m_root + "/next\\u0001"));
  EXPECT_EQ(lines[2].at("devices_written"), "3");
  EXPECT_EQ(lines[0].at("voided_at"), "null");
  EXPECT_EQ(lines[0].at("rerun_reason"), "null");
  EXPECT_EQ(lines[1].at("rerun_reason"), Quoted("new \\\"image\\\" " + word));

  const ChildResult missing = Ledger({"show", "99"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err,
            EnglishTestMode() ? "The ledger has no batch 99.\n" : "账本中没有该批次！99\n");
}

}  // namespace
}  // namespace quillmark::test
