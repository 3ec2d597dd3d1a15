// The check characters of the serials the ledger issues, judged by an
// independent checker: python3-stdnum accepts every serial a batch took
// and refuses each of them with any one character changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "cli_fixture.h"
#include "json_lines.h"
#include "ledger_fixture.h"

namespace quillmark::test {
namespace {

std::string Unquoted(const std::string& json) {
  return json.size() >= 2 && json.front() == '"' ? json.substr(1, json.size() - 2) : json;
}

class SerialCheckTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_place = std::make_unique<FreshLedgerPlace>(Backend::SQLite);
    ASSERT_EQ(m_place->error(), "");
  }

  ChildResult Ledger(std::vector<std::string> args) {
    args.insert(args.begin(), "ledger");
    args.insert(args.end(), {"--ledger", m_place->location().target});
    return Run(args);
  }

  std::unique_ptr<FreshLedgerPlace> m_place;
};

TEST_F(SerialCheckTest, EveryCheckKindPassesAnIndependentChecker) {
  ASSERT_EQ(Ledger({"init"}).exitCode, 0);
  ASSERT_EQ(Ledger({"pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:ff:ff"}).exitCode, 0);
  // Each kind with a first number that makes the batches cross a carry
  // of the sequence, and with the date, a literal and the lot around it.
  struct Kind {
    std::string check;
    std::string templateText;
    std::string first;
    std::size_t length;
    // The sequence field of the first batch's first and last device, and
    // of the second batch's one device.
    std::vector<std::string> sequence;
  };
  const std::vector<Kind> kinds = {
      {"luhn", "35{yy}{ww}{seq:6}{check:luhn}", "995", 13, {"000995", "001001", "001002"}},
      {"mod11-10",
       "{yyyy}{mm}{dd}{seq:5}{check:mod11-10}",
       "9996",
       14,
       {"09996", "10002", "10003"}},
      // 1085 is 32 * 33 + 29 in the base-33 digits without I, O and Q.
      {"mod37-36",
       "QM{lot}{yy}{ww}{seq36:4}{check:mod37-36}",
       "1085",
       14,
       {"00ZW", "0102", "0103"}},
  };
  for (const Kind& kind : kinds) {
    const ChildResult added = Ledger(
        {"series", "add", kind.check, "--template", kind.templateText, "--first", kind.first});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    for (const char* count : {"7", "1"}) {
      const ChildResult written =
          Run({"--image=image.img", "--ledger", m_place->location().target, "--start-mac=next",
               "--pool=line3", "--count", count, "--lot=L42", "--series", kind.check,
               "--out=out-" + kind.check + count, "--quiet"});
      ASSERT_EQ(written.exitCode, 0) << written.err;
    }
  }

  // Every batch's first and last serial, from the export; the 7-device
  // batch's last and the next batch's first are neighbours.
  const std::vector<JsonObject> rows = ParseJsonLines(Ledger({"export", "--json"}).out);
  ASSERT_EQ(rows.size(), 6u);
  std::vector<std::string> args = {"/usr/bin/python3",
                                   QUILLMARK_SOURCE_DIR "/tests/cli/serial_check.py"};
  std::set<std::string> serials;
  std::map<std::string, std::size_t> batches;
  for (const JsonObject& row : rows) {
    const std::string series = Unquoted(row.at("series"));
    const auto kind = std::find_if(kinds.begin(), kinds.end(),
                                   [&](const Kind& one) { return one.check == series; });
    ASSERT_NE(kind, kinds.end()) << series;
    const std::size_t batch = batches[series]++;
    for (const char* column : {"first_serial", "last_serial"}) {
      const std::string serial = Unquoted(row.at(column));
      ASSERT_EQ(serial.size(), kind->length) << serial;
      const std::string& sequence =
          kind->sequence[batch == 0 && column == std::string("last_serial") ? 1 : batch * 2];
      EXPECT_EQ(serial.substr(serial.size() - 1 - sequence.size(), sequence.size()), sequence)
          << serial;
      serials.insert(serial);
      args.insert(args.end(), {kind->check, serial});
    }
  }
  EXPECT_EQ(batches,
            (std::map<std::string, std::size_t>{{"luhn", 2}, {"mod11-10", 2}, {"mod37-36", 2}}));
  // A batch of one device has one serial, the other batches two.
  EXPECT_EQ(serials.size(), 9u);
  const ChildResult checked = RunChild(args);
  EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
  EXPECT_EQ(checked.out, "");
}

}  // namespace
}  // namespace quillmark::test
