// An SQLite ledger the accounts of a station share: made by root with
// `ledger init --group`, written by an operator of the group, read by a
// supervisor who may only read it. The other accounts are unprivileged
// ids run through setpriv, so no account is added to the machine.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <filesystem>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

using testing::HasSubstr;

constexpr int kOperator = 4242;
constexpr int kGroup = 4243;
constexpr int kSupervisor = 4244;

class LedgerSharedTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(::geteuid(), 0u) << "the test gives files to other accounts";
    ASSERT_EQ(::chmod(m_dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((m_dir / "home").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((m_dir / "reports").c_str(), 0755), 0);
    ASSERT_EQ(::chown((m_dir / "reports").c_str(), kSupervisor, kSupervisor), 0);
    m_ledger = m_root + "/shared/ledger.sqlite3";
  }

  // quillmark-cli as the account (its own group, and the shared one for
  // the operator), with the ledger given.
  ChildResult As(int uid, std::vector<std::string> args) {
    args.push_back("--ledger=" + m_ledger);
    std::vector<std::string> argv = CliCommand(args);
    const std::string groups = uid == kOperator ? std::to_string(kGroup) : "";
    argv.insert(argv.begin(),
                {"setpriv", "--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid),
                 groups.empty() ? "--clear-groups" : "--groups=" + groups});
    ChildOptions options;
    options.workingDirectory = m_root + "/home";
    options.environment = {"HOME=" + m_root + "/home", "XDG_CONFIG_HOME=" + m_root + "/home",
                           "XDG_DATA_HOME=" + m_root + "/home"};
    return RunChild(argv, options);
  }

  static struct stat Stat(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
  }

  std::string m_ledger;
};

TEST_F(LedgerSharedTest, TheGroupWritesAndAReaderReadsWithoutWriting) {
  const ChildResult init = Run({"ledger", "init", m_ledger, "--group", std::to_string(kGroup)});
  ASSERT_EQ(init.exitCode, 0) << init.err;
  EXPECT_EQ(Stat(m_root + "/shared").st_mode & 07777, 02770u);
  EXPECT_EQ(Stat(m_root + "/shared").st_gid, unsigned(kGroup));
  EXPECT_EQ(Stat(m_ledger).st_mode & 0777, 0660u);
  EXPECT_EQ(Stat(m_ledger).st_gid, unsigned(kGroup));

  // The operator writes; the -wal and -shm SQLite makes are the group's
  // too, and stay when the last connection closes.
  const ChildResult pool =
      As(kOperator, {"ledger", "pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:0f:ff"});
  ASSERT_EQ(pool.exitCode, 0) << pool.err;
  for (const char* suffix : {"-wal", "-shm"}) {
    SCOPED_TRACE(suffix);
    EXPECT_EQ(Stat(m_ledger + suffix).st_mode & 0777, 0660u);
    EXPECT_EQ(Stat(m_ledger + suffix).st_gid, unsigned(kGroup));
  }
  ASSERT_EQ(Run({"--image=image.img", "--out=out", "--start-mac=next", "--pool=line3", "--count=3",
                 "--ledger=" + m_ledger})
                .exitCode,
            0);

  // Outside the group nothing can be read, and the refusal says why.
  const ChildResult stranger = As(kSupervisor, {"ledger", "list"});
  EXPECT_EQ(stranger.exitCode, 1);
  EXPECT_THAT(stranger.err,
              HasSubstr(Said("无法读取账本！", "The ledger cannot be read: ") + m_ledger + ": "));
  EXPECT_THAT(stranger.err, HasSubstr(Said("权限不足", "permission denied")));
  EXPECT_THAT(stranger.err, testing::Not(HasSubstr("ledger init first")));

  // Readable by all (the folder and files, not writable): every command
  // that only reads works, and one that writes is refused naming the file.
  ASSERT_EQ(::chmod((m_root + "/shared").c_str(), 02775), 0);
  for (const char* file : {"", "-wal", "-shm"})
    ASSERT_EQ(::chmod((m_ledger + file).c_str(), 0664), 0);
  const std::vector<std::vector<std::string>> reads = {
      {"ledger", "list"},
      {"ledger", "show", "1"},
      {"ledger", "export"},
      {"ledger", "pool", "list"},
      {"ledger", "check", "--start-mac", "next", "--pool", "line3", "--count", "2"},
      {"ledger", "report", "--html", m_root + "/reports/report.html"},
  };
  for (const std::vector<std::string>& args : reads) {
    SCOPED_TRACE(args[1]);
    const ChildResult read = As(kSupervisor, args);
    EXPECT_EQ(read.exitCode, 0) << read.err;
  }
  EXPECT_THAT(As(kSupervisor, {"ledger", "export"}).out, HasSubstr("04:57:55:00:00:02"));
  const ChildResult write =
      As(kSupervisor, {"ledger", "pool", "add", "line4", "04:57:55:10:00:00", "04:57:55:10:00:ff"});
  EXPECT_EQ(write.exitCode, 1);
  EXPECT_THAT(write.err, HasSubstr(Said("无法写入账本！", "The ledger cannot be written: ") +
                                   m_ledger + ": " + Said("权限不足", "permission denied")));

  // Without its -wal, a reader who may not make it is told which file is
  // missing; an account that may write makes it again.
  ASSERT_EQ(::unlink((m_ledger + "-wal").c_str()), 0);
  const ChildResult missing = As(kSupervisor, {"ledger", "list"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_THAT(missing.err, HasSubstr(m_ledger + "-wal"));
  ASSERT_EQ(As(kOperator, {"ledger", "list"}).exitCode, 0);
  ASSERT_EQ(::chmod((m_ledger + "-wal").c_str(), 0664), 0);
  EXPECT_EQ(As(kSupervisor, {"ledger", "list"}).exitCode, 0);
}

TEST_F(LedgerSharedTest, AnUnknownGroupIsRefusedBeforeAnythingIsMade) {
  const ChildResult init = Run({"ledger", "init", m_ledger, "--group", "no-such-group-h38"});
  EXPECT_EQ(init.exitCode, 1);
  EXPECT_THAT(init.err,
              HasSubstr(Said("没有这个组：", "There is no such group: ") + "no-such-group-h38"));
  EXPECT_FALSE(std::filesystem::exists(m_root + "/shared"));
}

}  // namespace
}  // namespace quillmark::test
