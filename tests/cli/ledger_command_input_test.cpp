// quillmark-cli ledger …: what its commands take. An address is read
// exactly as the ledger shows it, a start is judged by the write's own
// rules, an impossible date is one line, and the per-user ledger is made
// for its user alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cli_fixture.h"
#include "ledger.h"

namespace quillmark::test {
namespace {

class LedgerInputCommandTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ::unsetenv("QUILLMARK_LEDGER");
    ASSERT_EQ(Ledger({"init", m_file}).exitCode, 0);
  }

  ChildResult Ledger(std::vector<std::string> args) {
    args.insert(args.begin(), "ledger");
    if (args[1] != "init")
      args.insert(args.end(), {"--ledger", m_file});
    return Run(args);
  }

  std::string m_file = m_dir / "ledger.sqlite3";
};

TEST_F(LedgerInputCommandTest, AnAddressIsSixTwoDigitOctetsAndNothingElse) {
  const std::string last = "04:57:55:00:ff:ff";
  const std::string refusal = Said("地址池范围输入错误！", "Invalid pool range: ");
  for (const char* bad :
       {"04:57:55:00:00:00x", "04:57:55:00:00:00:00", "04:57:55:000:00:00", "04:57:55:00:00:0",
        "4:57:55:00:00:00", " 04:57:55:00:00:00", "04:57:55:00:00:0g", "0x4:57:55:00:00:00",
        "04-57-55-00-00-00", "04:57:55:00:00:+0", ""}) {
    SCOPED_TRACE(bad);
    const ChildResult first = Ledger({"pool", "add", "p", bad, last});
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_EQ(first.err, refusal + bad + " " + last + "\n");
    const ChildResult end = Ledger({"pool", "add", "p", "04:57:55:00:00:00", bad});
    EXPECT_EQ(end.exitCode, 1);
    EXPECT_EQ(end.err, refusal + "04:57:55:00:00:00 " + bad + "\n");
  }
  EXPECT_EQ(Ledger({"pool", "list"}).out, "");
  const ChildResult upper = Ledger({"pool", "add", "p", "04:57:55:00:00:0A", "04:57:55:00:FF:FF"});
  EXPECT_EQ(upper.exitCode, 0) << upper.err;
  EXPECT_THAT(upper.out, testing::HasSubstr(Said("p  04:57:55:00:00:0a 至 04:57:55:00:ff:ff",
                                                 "p  04:57:55:00:00:0a to 04:57:55:00:ff:ff")));
}

// Without pools the ledger itself has nothing against these ranges; the
// check must still refuse what the write would, in the write's words.
TEST_F(LedgerInputCommandTest, CheckRefusesWhatTheWriteRefusesInItsWords) {
  const struct {
    std::vector<std::string> check;  // after "check"
    std::vector<std::string> write;  // the same request to the write
  } cases[] = {
      {{"--start-mac", "01:00:5e:00:00:01"}, {"--start-mac=01:00:5e:00:00:01"}},
      {{"--start-mac", "02:00:00:00:00:00"}, {"--start-mac=02:00:00:00:00:00"}},
      {{"--start-mac", "04:ff:ff:ff:ff:ff"}, {"--start-mac=04:ff:ff:ff:ff:ff"}},
      {{"--start-mac", "ff:ff:ff:ff:ff:ff", "--count", "2"},
       {"--start-mac=ff:ff:ff:ff:ff:ff", "--count=2"}},
      {{"--start-mac", "04:57:55:00:00:00", "--count", "0"}, {"--count=0"}},
      {{"--start-mac", "04:57:55:00:00:00", "--count", "65536"}, {"--count=65536"}},
      {{"--start-mac", "04:57:55:00:00:00", "--macs-per-device", "5"}, {"--macs-per-device=5"}},
      {{"--start-mac", "next", "--count", "0", "--pool", "p"}, {"--count=0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.check));
    std::vector<std::string> check{"check"};
    check.insert(check.end(), c.check.begin(), c.check.end());
    const ChildResult checked = Ledger(check);
    std::vector<std::string> write{"--image=image.img", "--dry-run", "--no-ledger"};
    write.insert(write.end(), c.write.begin(), c.write.end());
    const ChildResult written = Run(write);
    EXPECT_EQ(written.exitCode, 1);
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_EQ(checked.err, written.err);
    EXPECT_EQ(checked.out, "");
  }
  const ChildResult group = Ledger({"check", "--start-mac", "01:00:5e:00:00:01"});
  EXPECT_EQ(group.err,
            Said("01:00:5e:00:00:01：第一个字节须为单播、全球管理地址\n起始MAC地址输入错误！\n",
                 "01:00:5e:00:00:01: the first byte must make a unicast, globally administered "
                 "address\nInvalid start MAC address.\n"));
  // The write reads the start as it always has; the ledger's own command
  // takes exactly what the ledger shows.
  const ChildResult trailing = Ledger({"check", "--start-mac", "04:57:55:00:00:00x"});
  EXPECT_EQ(trailing.exitCode, 1);
  EXPECT_EQ(trailing.err,
            Said("04:57:55:00:00:00x：须为6个十六进制字节，以冒号分隔（如 04:57:55:00:00:00）\n"
                 "起始MAC地址输入错误！\n",
                 "04:57:55:00:00:00x: give 6 hexadecimal bytes separated by colons (such as "
                 "04:57:55:00:00:00)\nInvalid start MAC address.\n"));
  const ChildResult fine = Ledger({"check", "--start-mac", "04:57:55:00:00:00", "--count", "16"});
  EXPECT_EQ(fine.exitCode, 0) << fine.err;
  EXPECT_EQ(fine.out, Said("账本可以记录：新批次，04:57:55:00:00:00 至 04:57:55:00:00:0f\n",
                           "The ledger can record: a new batch, 04:57:55:00:00:00 to "
                           "04:57:55:00:00:0f\n"));
}

// Asked to read as the dialog does (--lenient), a number the write bends
// gets the write's warning, once, and the same number.
TEST_F(LedgerInputCommandTest, CheckWarnsOfABentNumberAsTheWriteDoes) {
  const ChildResult checked = Ledger({"check", "--start-mac", "04:57:55:00:00:00", "--count", "1e3",
                                      "--macs-per-device", "2.5", "--lenient"});
  EXPECT_EQ(checked.exitCode, 0) << checked.err;
  const std::string warnings =
      Said("--count 1e3：按 1 台处理\n--macs-per-device 2.5：按每台 2 个地址处理\n",
           "--count 1e3: taken as 1 device\n--macs-per-device 2.5: taken as 2 addresses per "
           "device\n");
  EXPECT_EQ(checked.err, warnings);
  EXPECT_EQ(checked.out, Said("账本可以记录：新批次，04:57:55:00:00:00 至 04:57:55:00:00:01\n",
                              "The ledger can record: a new batch, 04:57:55:00:00:00 to "
                              "04:57:55:00:00:01\n"));
  const ChildResult written = Run({"--image=image.img", "--dry-run", "--no-ledger", "--count=1e3",
                                   "--macs-per-device=2.5", "--lenient"});
  EXPECT_EQ(written.exitCode, 0) << written.err;
  EXPECT_EQ(written.err, warnings);
}

TEST_F(LedgerInputCommandTest, AnEmptyValueIsAUsageErrorNamingTheOption) {
  const struct {
    std::vector<std::string> args;  // the empty option last
    const char* option;
  } cases[] = {
      {{"ledger", "list", "--ledger"}, "--ledger"},
      {{"ledger", "list", "--ledger", m_file, "--pool"}, "--pool"},
      {{"ledger", "list", "--ledger", m_file, "--since"}, "--since"},
      {{"ledger", "void", "1", "--ledger", m_file, "--reason"}, "--reason"},
      {{"ledger", "check", "--ledger", m_file, "--start-mac"}, "--start-mac"},
      {{"ledger", "check", "--ledger", m_file, "--start-mac", "next", "--count"}, "--count"},
      {{"ledger", "check", "--ledger", m_file, "--macs-per-device"}, "--macs-per-device"},
      {{"ledger", "report", "--ledger", m_file, "--html"}, "--html"},
      {{"ledger", "report", "--html", "r.html", "--ledger"}, "--ledger"},
      {{"ledger", "report", "--html", "r.html", "--ledger", m_file, "--pool"}, "--pool"},
      {{"ledger", "report", "--html", "r.html", "--ledger", m_file, "--since"}, "--since"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.push_back("");
    SCOPED_TRACE(testing::PrintToString(args));
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "quillmark-cli: " +
                  Said(std::string("选项 ") + c.option + " 的值不能为空；用 --help 查看用法\n",
                       std::string("option ") + c.option +
                           " needs a value that is not empty; see --help for the usage\n"));
  }
}

TEST_F(LedgerInputCommandTest, AnImpossibleDateIsOneLineBeforeTheLedgerIsAsked) {
  const std::string refusal =
      Said("日期格式错误！2024-13-45（应为 2024-05-01 或 2024-05-01T10:22:03Z）\n",
           "Invalid date: 2024-13-45 (write 2024-05-01 or 2024-05-01T10:22:03Z)\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"list", "--since", "2024-13-45"},
        {"list", "--since", "2024-13-45", "--pool", "nosuch"},
        {"export", "--since", "2024-13-45"},
        {"report", "--html", m_dir / "r.html", "--since", "2024-13-45"}}) {
    SCOPED_TRACE(args.front());
    const ChildResult result = Ledger(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, refusal);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img", "ledger.sqlite3"}));
}

mode_t ModeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 07777;
}

// Whatever the umask: the ledger of one user holds what that user's
// station wrote, and no one else need read or change it.
TEST(DefaultLedgerTest, IsMadeForItsUserAloneAndWhatExistsIsLeftAsItIs) {
  ScratchDir dir;
  ::unsetenv("QUILLMARK_LEDGER");
  const mode_t umask = ::umask(0);
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  const ChildResult fresh = RunCli({"ledger", "init", "default"});
  ASSERT_EQ(::mkdir((dir / "kept").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir((dir / "kept/quillmark").c_str(), 0750), 0);
  ::setenv("XDG_DATA_HOME", (dir / "kept").c_str(), 1);
  const ChildResult inKept = RunCli({"ledger", "init", "default"});
  const mode_t madeInKept = ModeOf(dir / "kept/quillmark/ledger.sqlite3");
  ::chmod((dir / "kept/quillmark/ledger.sqlite3").c_str(), 0640);
  const ChildResult again = RunCli({"ledger", "init", "default"});
  ::unsetenv("XDG_DATA_HOME");
  ::umask(umask);

  EXPECT_EQ(fresh.exitCode, 0) << fresh.err;
  EXPECT_EQ(ModeOf(dir / "data"), 0700u);
  EXPECT_EQ(ModeOf(dir / "data/quillmark"), 0700u);
  EXPECT_EQ(ModeOf(dir / "data/quillmark/ledger.sqlite3"), 0600u);
  EXPECT_EQ(inKept.exitCode, 0) << inKept.err;
  EXPECT_EQ(madeInKept, 0600u);
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(ModeOf(dir / "kept/quillmark"), 0750u);
  EXPECT_EQ(ModeOf(dir / "kept/quillmark/ledger.sqlite3"), 0640u);
  auto opened = ledger::OpenLedger(
      ledger::ParseLedgerLocation(dir / "data/quillmark/ledger.sqlite3").value());
  EXPECT_TRUE(opened) << opened.error().message;
}

}  // namespace
}  // namespace quillmark::test
