// The station configuration through quillmark-cli: the system's and the
// user's files give the request's defaults and the ledger, options and
// QUILLMARK_LEDGER win over them, and a file in error stops every command
// that reads it with one line naming the file and its line.
#include <gmock/gmock.h>

#include <sys/stat.h>

#include <fstream>

#include "cli_fixture.h"
#include "ledger_fixture.h"
#include "scoped_environment.h"
#include "write_command.h"

namespace quillmark::test {
namespace {

using testing::ElementsAre;

constexpr std::uint64_t kStart = 0x045755000000;

class StationConfigCliTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    // Modes a station's folders should have, whatever the umask: the
    // configuration is refused when others could change it.
    for (const std::string& folder : {m_root + "/xdg", UserFolder()}) {
      ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
      ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    }
    ::unsetenv("QUILLMARK_LEDGER");
  }
  void TearDown() override { ::unsetenv("QUILLMARK_LEDGER"); }

  // The tool with this test's two files.
  ChildResult Run(const std::vector<std::string>& args, ChildOptions options = {}) {
    options.environment.push_back("XDG_CONFIG_HOME=" + m_root + "/xdg");
    options.environment.push_back("QUILLMARK_SYSTEM_CONFIG=" + SystemFile());
    return CliTest::Run(args, options);
  }

  std::string UserFolder() const { return m_root + "/xdg/quillmark"; }
  std::string UserFile() const { return UserFolder() + "/quillmark.toml"; }
  std::string SystemFile() const { return m_root + "/system.toml"; }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), 0644);
  }

  // A fresh SQLite ledger in the scratch folder.
  std::string NewLedger(const std::string& name) {
    const std::string path = m_root + "/" + name;
    EXPECT_TRUE(ledger::InitLedger({ledger::LedgerKind::SQLite, path}));
    return path;
  }
  std::vector<ledger::BatchDetails> Batches(const std::string& path) {
    auto opened = ledger::OpenLedger({ledger::LedgerKind::SQLite, path});
    EXPECT_TRUE(opened);
    if (!opened)
      return {};
    auto batches = opened.value()->Batches({});
    return batches ? batches.value() : std::vector<ledger::BatchDetails>{};
  }
};

TEST_F(StationConfigCliTest, TheFilesGiveTheDefaultsAndOptionsWinOverThem) {
  Write(SystemFile(), "count = 5\nmacs_per_device = 2\nstart_mac = \"04:57:55:00:00:10\"\n");
  Write(UserFile(), "# this operator's line\ncount = 3\n");
  const ChildResult configured = Run({"--image=image.img", "--quiet"});
  EXPECT_EQ(configured.exitCode, 0) << configured.err;
  EXPECT_THAT(m_dir.List("out"),
              ElementsAre("fw_045755_000010.img", "fw_045755_000012.img", "fw_045755_000014.img"));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000012.img")), DeviceImage(kStart + 0x12, 2));
  // verify reads the same defaults: the batch just written passes as it is.
  const ChildResult verified = Run({"verify", "--image=image.img", "--quiet"});
  EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;

  const ChildResult given =
      Run({"--image=image.img", "--quiet", "--out=given", "--count=1", "--macs-per-device=1"});
  EXPECT_EQ(given.exitCode, 0) << given.err;
  EXPECT_THAT(m_dir.List("given"), ElementsAre("fw_045755_000010.img"));
  EXPECT_EQ(ReadFileBytes(m_root + "/given/fw_045755_000010.img"), DeviceImage(kStart + 0x10, 1));
}

// The order: --ledger, QUILLMARK_LEDGER, the user's file, the system's.
TEST_F(StationConfigCliTest, TheLedgerAndStationComeFromTheFilesUnlessNamedElsewhere) {
  const std::string station = NewLedger("station.sqlite3");
  const std::string mine = NewLedger("mine.sqlite3");
  const std::string other = NewLedger("other.sqlite3");
  Write(SystemFile(), "ledger = \"" + station + "\"\nstation = \"line3\"\ncount = 2\n");
  EXPECT_EQ(Run({"--image=image.img", "--quiet"}).exitCode, 0);
  ASSERT_EQ(Batches(station).size(), 1u);
  EXPECT_EQ(Batches(station)[0].batch.station, "line3");

  Write(UserFile(), "ledger = \"" + mine + "\"\n");
  EXPECT_EQ(
      Run({"--image=image.img", "--quiet", "--out=b", "--start-mac=04:57:55:00:01:00"}).exitCode,
      0);
  EXPECT_EQ(Batches(mine).size(), 1u);

  ::setenv("QUILLMARK_LEDGER", other.c_str(), 1);
  EXPECT_EQ(
      Run({"--image=image.img", "--quiet", "--out=c", "--start-mac=04:57:55:00:02:00"}).exitCode,
      0);
  EXPECT_EQ(Batches(other).size(), 1u);
  EXPECT_EQ(Run({"--image=image.img", "--quiet", "--out=d", "--start-mac=04:57:55:00:03:00",
                 "--ledger", mine, "--station=line4"})
                .exitCode,
            0);
  ASSERT_EQ(Batches(mine).size(), 2u);
  EXPECT_EQ(Batches(mine)[1].batch.station, "line4");
  EXPECT_EQ(Run({"--image=image.img", "--quiet", "--out=e", "--no-ledger"}).exitCode, 0);
  EXPECT_EQ(Batches(station).size() + Batches(mine).size() + Batches(other).size(), 4u);

  // The ledger's own commands find it the same way.
  ::unsetenv("QUILLMARK_LEDGER");
  const ChildResult listed = Run({"ledger", "list"});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(listed.out.find("04:57:55:00:03:00"), std::string::npos) << listed.out;
}

TEST_F(StationConfigCliTest, AFileInErrorStopsEveryCommandThatReadsItWithItsLine) {
  Write(UserFile(), "count = 3\ncolour = \"red\"\n");
  const std::string line =
      "quillmark-cli: " + Said("配置文件错误！", "Cannot use the station configuration: ") +
      UserFile() +
      Said(
          " 第2行：未知的键 colour（可用的键：ledger、station、pool、lot、series、label_font、"
          "layout、start_mac、count、macs_per_device、language、lenient、profile）\n",
          " line 2: unknown key colour (the keys are ledger, station, pool, lot, series, "
          "label_font, "
          "layout, start_mac, count, macs_per_device, language, lenient, profile)\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--image=image.img"},
                                               {"--image=image.img", "--dry-run", "--count=2"},
                                               {"verify", "--image=image.img"},
                                               {"ledger", "list"},
                                               {"ledger", "report", "--html=r.html"}}) {
    SCOPED_TRACE(args.front() + " " + args.back());
    const ChildResult refused = Run(args);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err, line);
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_THAT(m_dir.List(), ElementsAre("image.img", "xdg"));
  // Help stays at hand to mend it.
  EXPECT_EQ(Run({"--help"}).exitCode, 0);
  EXPECT_EQ(Run({"verify", "--help"}).exitCode, 0);
}

// A file another user could change could point root's next run at a
// ledger of theirs: refused as a file in error is, naming the fix.
TEST_F(StationConfigCliTest, AFileOthersCouldChangeStopsEveryCommandNamingTheFix) {
  const std::string ledger = NewLedger("station.sqlite3");
  Write(SystemFile(), "ledger = \"" + ledger + "\"\n");
  ASSERT_EQ(::chmod(SystemFile().c_str(), 0666), 0);
  const std::string line =
      "quillmark-cli: " + Said("配置文件错误！", "Cannot use the station configuration: ") +
      SystemFile() +
      Said("：其他用户可以修改它（请运行 chmod go-w ",
           ": other users can change it (run chmod go-w ") +
      SystemFile() + Said("）\n", ")\n");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--image=image.img"},
                                               {"verify", "--image=image.img"},
                                               {"ledger", "list"}}) {
    SCOPED_TRACE(args.front() + " " + args.back());
    const ChildResult refused = Run(args);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err, line);
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_TRUE(Batches(ledger).empty());
  ASSERT_EQ(::chmod(SystemFile().c_str(), 0644), 0);
  EXPECT_EQ(Run({"ledger", "list"}).exitCode, 0);
}

// QUILLMARK_LANGUAGE, else the configuration's language key, else the
// locale: a service under C.UTF-8 speaks what the station chose, the label
// module as well as the tool.
ChildOptions WithEnvironment(std::vector<std::string> environment) {
  ChildOptions options;
  options.environment = std::move(environment);
  return options;
}

TEST_F(StationConfigCliTest, TheLanguageIsTheVariablesThenTheFilesThenTheLocales) {
  struct Case {
    const char* file;
    std::vector<std::string> environment;
    bool english;
  };
  const Case cases[] = {
      {"", {"LC_ALL=C.UTF-8"}, false},
      {"language = \"en\"\n", {"LC_ALL=C.UTF-8"}, true},
      {"language = \"en\"\n", {"LC_ALL=C.UTF-8", "QUILLMARK_LANGUAGE=zh"}, false},
      {"language = \"zh\"\n", {"LC_ALL=en_US.UTF-8"}, false},
      {"language = \"auto\"\n", {"LC_ALL=en_US.UTF-8"}, true},
      {"language = \"zh\"\n", {"LC_ALL=C", "QUILLMARK_LANGUAGE=auto"}, false},
      {"", {"LC_ALL=C", "QUILLMARK_LANGUAGE=en"}, true},
  };
  for (const Case& c : cases) {
    Write(SystemFile(), c.file);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--image=image.img", "--count=0"},
          std::vector<std::string>{"labels", "--help"}}) {
      SCOPED_TRACE(std::string(c.file) + c.environment.back() + " " + args.front());
      const ChildResult run = Run(args, WithEnvironment(c.environment));
      EXPECT_NE(run.out + run.err, "");
      EXPECT_EQ(FirstChineseLine(run.out + run.err).empty(), c.english) << run.out << run.err;
    }
  }
  // Named wrongly, it is refused before anything runs, help included.
  Write(SystemFile(), "language = \"en\"\n");
  for (const char* value : {"english", "EN"}) {
    const ChildResult refused =
        Run({"--help"}, WithEnvironment({"LC_ALL=C", std::string("QUILLMARK_LANGUAGE=") + value}));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "quillmark-cli: QUILLMARK_LANGUAGE=" + std::string(value) +
                               " is not valid: it must be zh, en or auto\n");
  }
  Write(SystemFile(), "language = \"English\"\n");
  const ChildResult wrongKey = Run({"--image=image.img"}, WithEnvironment({"LC_ALL=C"}));
  EXPECT_EQ(wrongKey.exitCode, 2);
  EXPECT_EQ(wrongKey.err, "quillmark-cli: 配置文件错误！" + SystemFile() +
                              " 第1行：language 应是 \"zh\"、\"en\" 或 \"auto\"（按区域设置）\n");
}

// lenient = true asks for the dialog's reading in every command that reads
// the request's values; without it they are refused.
TEST_F(StationConfigCliTest, LenientInTheFileReadsValuesAsTheDialogDoes) {
  const std::string ledger = NewLedger("ledger.sqlite3");
  const std::string warning = Said("--count 2abc：按 2 台处理", "--count 2abc: taken as 2 devices");
  const std::vector<std::vector<std::string>> commands = {
      {"--image=image.img", "--count=2abc", "--quiet"},
      {"verify", "--image=image.img", "--count=2abc", "--quiet"},
      {"ledger", "check", "--ledger", ledger, "--start-mac=04:57:55:00:00:00", "--count=2abc"}};
  for (const char* file : {"lenient = false\n", ""}) {
    Write(SystemFile(), file);
    for (const std::vector<std::string>& args : commands) {
      SCOPED_TRACE(args.front());
      const ChildResult refused = Run(args);
      EXPECT_EQ(refused.exitCode, 2);
      EXPECT_EQ(refused.err.rfind("quillmark-cli: " + warning + Said("（", " ("), 0), 0u)
          << refused.err;
    }
  }
  EXPECT_THAT(m_dir.List(), ElementsAre("image.img", "ledger.sqlite3", "system.toml", "xdg"));
  Write(SystemFile(), "lenient = true\n");
  for (const std::vector<std::string>& args : commands) {
    SCOPED_TRACE(args.front());
    const ChildResult read = Run(args);
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.err, warning + "\n");
  }
  EXPECT_THAT(m_dir.List("out"), ElementsAre("fw_045755_000000.img", "fw_045755_000001.img"));
}

// What a developer keeps in their own configuration, or the machine in
// its system file, stays out of every tool a test starts: only a test that
// names the files reads them.
TEST_F(StationConfigCliTest, TheDevelopersOwnFilesReachNoToolUnlessATestNamesThem) {
  Write(UserFile(), "start_mac = \"04:57:55:0a:00:00\"\nmacs_per_device = 2\n");
  Write(SystemFile(), "count = 3\n");
  const ScopedEnvironment home("HOME", m_root.c_str());
  const ScopedEnvironment xdg("XDG_CONFIG_HOME", (m_root + "/xdg").c_str());
  const ScopedEnvironment system("QUILLMARK_SYSTEM_CONFIG", SystemFile().c_str());
  const std::vector<std::string> plan = {"--image=image.img", "--dry-run"};

  const ChildResult isolated = CliTest::Run(plan);
  ASSERT_EQ(isolated.exitCode, 0) << isolated.err;
  const std::vector<std::string> lines = Lines(isolated.out);
  ASSERT_EQ(lines.size(), 256u);  // the header and the tool's own 255 devices
  EXPECT_EQ(lines[1], "fw_045755_000000.img,04:57:55:00:00:00");

  const ChildResult named = Run(plan);
  ASSERT_EQ(named.exitCode, 0) << named.err;
  EXPECT_THAT(
      Lines(named.out),
      ElementsAre("file,mac1,mac2", "fw_045755_0a0000.img,04:57:55:0a:00:00,04:57:55:0a:00:01",
                  "fw_045755_0a0002.img,04:57:55:0a:00:02,04:57:55:0a:00:03",
                  "fw_045755_0a0004.img,04:57:55:0a:00:04,04:57:55:0a:00:05"));
}

// The lot is the write's when --lot is not given; station and pool go
// only with a ledger.
TEST(StationConfigParseTest, TheConfiguredLotStationAndPoolMeetTheOptions) {
  StationConfig config;
  config.lot = "WO-7";
  config.station = "line3";
  config.pool = "lineA";
  config.ledger = "/srv/ledger.sqlite3";
  ::unsetenv("QUILLMARK_LEDGER");
  const cli::ParsedCommandLine plain = cli::ParseWriteCommandLine({"--image=a.img"}, config);
  ASSERT_EQ(plain.action, cli::CommandLineAction::Run) << plain.error;
  EXPECT_EQ(plain.options.lot, "WO-7");
  EXPECT_TRUE(plain.options.useLedger);
  EXPECT_EQ(plain.options.ledgerLocation, "/srv/ledger.sqlite3");
  EXPECT_EQ(plain.options.station, "line3");
  EXPECT_EQ(plain.options.pool, "lineA");

  const cli::ParsedCommandLine next =
      cli::ParseWriteCommandLine({"--image=a.img", "--start-mac=next"}, config);
  EXPECT_EQ(next.action, cli::CommandLineAction::Run) << next.error;
  EXPECT_TRUE(next.options.NextFreeStart());

  const cli::ParsedCommandLine off =
      cli::ParseWriteCommandLine({"--image=a.img", "--no-ledger"}, config);
  ASSERT_EQ(off.action, cli::CommandLineAction::Run) << off.error;
  EXPECT_FALSE(off.options.useLedger);
  EXPECT_EQ(off.options.station, "");
  EXPECT_EQ(off.options.pool, "");
}

}  // namespace
}  // namespace quillmark::test
