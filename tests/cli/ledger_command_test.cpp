// quillmark-cli ledger …: the ledger's own commands, end to end on an
// SQLite file and on a PostgreSQL database of the tests' server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "english_mode.h"

#include <filesystem>

#include "child_process.h"
#include "ledger.h"
#include "postgres_server.h"
#include "scratch_dir.h"

namespace quillmark::test {
namespace {

using testing::HasSubstr;
using testing::MatchesRegex;
using testing::Not;

ChildResult Ledger(const std::vector<std::string>& args) {
  std::vector<std::string> all{"ledger"};
  all.insert(all.end(), args.begin(), args.end());
  return RunChild(CommandLine(QUILLMARK_CLI_PATH, all));
}

// A batch as a run records it (the write command's part).
std::int64_t RecordBatch(const std::string& location, std::uint64_t first, int count) {
  auto ledger = ledger::OpenLedger(ledger::ParseLedgerLocation(location).value());
  EXPECT_TRUE(ledger) << ledger.error().message;
  ledger::BatchRequest request{first, count,       1, "", "line3-a", std::string(64, 'f'),
                               "out", std::nullopt};
  auto reserved = ledger.value()->Reserve(request);
  EXPECT_TRUE(reserved) << reserved.error().message;
  return reserved ? reserved->batchId : 0;
}

TEST(LedgerCommand, InitPoolsCheckListShowVoidAndExportOnAFile) {
  ScratchDir dir;
  const std::string file = dir / "ledger.sqlite3";
  ChildResult init = Ledger({"init", file});
  EXPECT_EQ(init.exitCode, 0) << init.err;
  const std::string version = std::to_string(ledger::kLedgerSchemaVersion);
  EXPECT_EQ(init.out, Said("账本已创建：" + file + "（结构版本 " + version + "）\n",
                           "Ledger created: " + file + " (schema version " + version + ")\n"));
  EXPECT_EQ(Ledger({"init", "--ledger", file}).out,
            Said("账本已是最新：" + file + "（结构版本 " + version + "）\n",
                 "The ledger is up to date: " + file + " (schema version " + version + ")\n"));

  ChildResult pool =
      Ledger({"pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:ff:ff", "--ledger", file});
  EXPECT_EQ(pool.exitCode, 0) << pool.err;
  EXPECT_THAT(pool.out, HasSubstr(Said("line3  04:57:55:00:00:00 至 04:57:55:00:ff:ff  65536个地址",
                                       "line3  04:57:55:00:00:00 to 04:57:55:00:ff:ff  65536 "
                                       "addresses")));
  EXPECT_EQ(Ledger({"pool", "list", "--ledger", file}).out, pool.out);

  const std::int64_t id = RecordBatch(file, 0x045755000000, 16);
  ChildResult check = Ledger({"check", "--start-mac", "next", "--count", "4", "--macs-per-device",
                              "2", "--pool", "line3", "--ledger", file});
  EXPECT_EQ(check.exitCode, 0) << check.err;
  EXPECT_EQ(check.out,
            Said("账本可以记录：新批次，04:57:55:00:00:10 至 04:57:55:00:00:17（地址池 line3）\n",
                 "The ledger can record: a new batch, 04:57:55:00:00:10 to 04:57:55:00:00:17 "
                 "(pool line3)\n"));
  ChildResult overlap = Ledger({"check", "--start-mac", "04:57:55:00:00:0f", "--ledger", file});
  EXPECT_EQ(overlap.exitCode, 1);
  EXPECT_THAT(overlap.err,
              MatchesRegex(Said("MAC地址范围与账本中的批次重叠！批次 ",
                                "The MAC address range overlaps a batch in the ledger: Batch ") +
                           std::to_string(id) +
                           Said("：04:57:55:00:00:00 至 04:57:55:00:00:0f，工位 line3-a，",
                                ": 04:57:55:00:00:00 to 04:57:55:00:00:0f, station line3-a, ") +
                           "[0-9T:Z-]+\n"));

  ChildResult voided =
      Ledger({"void", std::to_string(id), "--reason", "wrong image", "--ledger", file});
  EXPECT_EQ(voided.exitCode, 0) << voided.err;
  EXPECT_THAT(voided.out, HasSubstr(Said("  已作废\n", "  void\n")));
  EXPECT_THAT(voided.out, HasSubstr("wrong image"));
  EXPECT_THAT(Ledger({"list", "--ledger", file}).out,
              MatchesRegex(std::to_string(id) +
                           Said("  04:57:55:00:00:00 至 04:57:55:00:00:0f  16台×1  池 line3  "
                                "工位 line3-a  [0-9T:Z-]+  已作废\n",
                                "  04:57:55:00:00:00 to 04:57:55:00:00:0f  16 devices × 1 MAC  "
                                "pool line3  station line3-a  [0-9T:Z-]+  void\n")));
  const std::vector<std::string> csv = Lines(Ledger({"export", "--ledger", file}).out);
  ASSERT_EQ(csv.size(), 2u);
  EXPECT_THAT(csv[1], HasSubstr(",wrong image,"));
  EXPECT_EQ(Ledger({"show", "999", "--ledger", file}).err,
            Said("账本中没有该批次！999\n", "The ledger has no batch 999.\n"));
  EXPECT_EQ(Ledger({"void", std::to_string(id), "--ledger", file}).exitCode, 2);  // no reason
}

// The ledger stores its endings as English words; show gives a reader the
// words of the interface's language.
TEST(LedgerCommand, ShowSpeaksTheInterfaceLanguageAndMistakesAreNamed) {
  ScratchDir dir;
  const std::string file = dir / "ledger.sqlite3";
  ASSERT_EQ(Ledger({"init", file}).exitCode, 0);
  ASSERT_EQ(
      Ledger({"pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:ff:ff", "--ledger", file})
          .exitCode,
      0);
  {
    auto ledger = ledger::OpenLedger(ledger::ParseLedgerLocation(file).value());
    ASSERT_TRUE(ledger) << ledger.error().message;
    const ledger::BatchRequest request{0x045755000000,       4,    1, "line3", "line3-a",
                                       std::string(64, 'f'), "out"};
    auto reserved = ledger.value()->Reserve(request);
    ASSERT_TRUE(reserved) << reserved.error().message;
    ASSERT_TRUE(ledger.value()->RecordOutcome(reserved->writeId, {2, 0, true, false}));
  }
  const ChildResult show = Ledger({"show", "1", "--ledger", file});
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_THAT(show.out, HasSubstr(Said("\n    已停止  已写入 2  失败 0  ",
                                       "\n    stopped  written 2  failed 0  ")));
  EXPECT_THAT(show.out, HasSubstr(Said("\n    镜像 SHA-256 ", "\n    image SHA-256 ")));
  if (!EnglishTestMode()) {
    EXPECT_THAT(show.out, Not(HasSubstr("stopped")));
  }

  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string error;
  } cases[] = {
      {{"show", "abc"},
       2,
       Said(
           "quillmark-cli: ledger show 须跟一个批次号（正整数），不是 abc；用 quillmark-cli ledger "
           "--help 查看用法\n",
           "quillmark-cli: ledger show takes a batch number (a positive whole number), not abc; "
           "see quillmark-cli ledger --help for the usage\n")},
      {{"void"},
       2,
       Said("quillmark-cli: ledger void 须跟一个批次号（正整数）；用 quillmark-cli ledger --help "
            "查看用法\n",
            "quillmark-cli: ledger void takes a batch number (a positive whole number); see "
            "quillmark-cli ledger --help for the usage\n")},
      {{"shwo", "1"},
       2,
       Said("quillmark-cli: 无法识别的账本命令：shwo；用 quillmark-cli ledger --help 查看用法\n",
            "quillmark-cli: unknown ledger command: shwo; see quillmark-cli ledger --help for the "
            "usage\n")},
      {{"list", "--pool", "nosuch"},
       1,
       Said("地址池不存在！nosuch\n", "There is no such address pool: nosuch\n")},
      {{"export", "--pool", "nosuch"},
       1,
       Said("地址池不存在！nosuch\n", "There is no such address pool: nosuch\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--ledger", file});
    const ChildResult result = Ledger(args);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.err, c.error);
    EXPECT_EQ(result.out, "");
  }
  const ChildResult carry =
      Ledger({"pool", "add", "lineC", "04:57:55:ff:ff:00", "04:57:56:00:00:ff", "--ledger", file});
  EXPECT_EQ(carry.exitCode, 1);
  EXPECT_EQ(
      carry.err,
      Said("地址池越过厂商前缀！04:57:55:ff:ff:00 04:57:56:00:00:ff（前三个字节不同；确需如此请"
           "加 --allow-prefix-carry）\n",
           "The pool runs past the vendor prefix: 04:57:55:ff:ff:00 04:57:56:00:00:ff (the "
           "first three bytes differ; add --allow-prefix-carry if that is meant)\n"));
  const ChildResult allowed =
      Ledger({"pool", "add", "lineC", "04:57:55:ff:ff:00", "04:57:56:00:00:ff",
              "--allow-prefix-carry", "--ledger", file});
  EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
  EXPECT_THAT(allowed.out, HasSubstr(Said("lineC  04:57:55:ff:ff:00 至 04:57:56:00:00:ff",
                                          "lineC  04:57:55:ff:ff:00 to 04:57:56:00:00:ff")));

  const ChildResult pool = Ledger({"list", "--pool", "line3", "--ledger", file});
  EXPECT_EQ(pool.exitCode, 0) << pool.err;
  EXPECT_THAT(pool.out, HasSubstr(Said("  池 line3  ", "  pool line3  ")));
}

TEST(LedgerCommand, AMissingLedgerIsNeitherGuessedNorCreated) {
  ScratchDir dir;
  ::unsetenv("QUILLMARK_LEDGER");
  ChildResult none = Ledger({"list"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err, Said("未指定账本！用 --ledger 或环境变量 QUILLMARK_LEDGER\n",
                           "No ledger given: name one with --ledger or the environment variable "
                           "QUILLMARK_LEDGER.\n"));
  const std::string missing = dir / "typo.sqlite3";
  ::setenv("QUILLMARK_LEDGER", missing.c_str(), 1);
  ChildResult typo = Ledger({"list"});
  ::unsetenv("QUILLMARK_LEDGER");
  EXPECT_EQ(typo.exitCode, 1);
  EXPECT_THAT(typo.err, HasSubstr(Said("账本不存在！", "There is no ledger: ") + missing));
  EXPECT_FALSE(std::filesystem::exists(missing));
  // A word the ledger does not know is a usage error before any ledger is
  // looked at, whether the ledger is there or not.
  EXPECT_EQ(Ledger({"frobnicate", "--ledger", missing}).exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LedgerCommand, NoCommandIsAUsageErrorOnStandardError) {
  const ChildResult bare = Ledger({});
  EXPECT_EQ(bare.exitCode, 2);
  EXPECT_EQ(bare.out, "");
  EXPECT_EQ(bare.err, Said("quillmark-cli: 缺少账本命令；用 quillmark-cli ledger --help 查看用法\n",
                           "quillmark-cli: the ledger command is missing; see quillmark-cli ledger "
                           "--help for the usage\n"));
}

TEST(LedgerCommand, APostgresLedgerIsShownWithoutItsPassword) {
  PostgresServer& server = SharedPostgresServer();
  ASSERT_TRUE(server.running()) << server.error();
  const std::string database = server.CreateDatabase();
  ASSERT_FALSE(database.empty()) << server.error();
  const std::string location = server.ConnectionString(database) + " password=s3cret";
  ChildResult init = Ledger({"init", location});
  EXPECT_EQ(init.exitCode, 0) << init.err;
  EXPECT_THAT(init.out, HasSubstr(Said("账本已创建：", "Ledger created: ") +
                                  "user=quillmark_test dbname=" + database));
  EXPECT_THAT(init.out + init.err, Not(HasSubstr("s3cret")));
  ::setenv("QUILLMARK_LEDGER", location.c_str(), 1);
  RecordBatch(location, 0x045755000000, 8);
  ChildResult list = Ledger({"list"});
  ::unsetenv("QUILLMARK_LEDGER");
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_THAT(list.out,
              HasSubstr(Said("04:57:55:00:00:00 至 04:57:55:00:00:07  8台×1",
                             "04:57:55:00:00:00 to 04:57:55:00:00:07  8 devices × 1 MAC")));
}

}  // namespace
}  // namespace quillmark::test
