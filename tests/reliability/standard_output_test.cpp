// Every command checks its standard output: when a write, the flush or
// the close of it fails (a full disk, here the full device), the command
// says so in one line on standard error and does not exit with success.

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <string>
#include <vector>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

class StandardOutputTest : public ReliabilityTest {
 protected:
  ChildResult Run(const std::vector<std::string>& args, const std::string& output = "") {
    ChildOptions options;
    options.workingDirectory = m_dir.path();
    options.outputPath = output;
    return RunCli(args, options);
  }
};

TEST_F(StandardOutputTest, EveryCommandOnAFullOutputFailsWithOneLine) {
  const std::vector<std::string> batch = {"--image", "image.bin", "--out", "out", "--count", "3"};
  std::vector<std::string> write = batch;
  write.insert(write.end(), {"--manifest", "list.csv", "--ledger", "ledger.sqlite3"});
  ASSERT_EQ(Run({"ledger", "init", "ledger.sqlite3"}).exitCode, 0);
  ASSERT_EQ(Run({"ledger", "pool", "add", "line3", "04:57:55:00:00:00", "04:57:55:00:ff:ff",
                 "--ledger", "ledger.sqlite3"})
                .exitCode,
            0);
  const ChildResult written = Run(write);
  ASSERT_EQ(written.exitCode, 0) << written.err;
  // A node with the full device's numbers, in the scratch folder: the
  // machine's own node is never written at.
  const std::string fullDevice = m_dir / "full";
  ASSERT_EQ(::mknod(fullDevice.c_str(), S_IFCHR | 0666, ::makedev(1, 7)), 0);

  struct Case {
    const char* name;
    std::vector<std::string> args;
  };
  std::vector<std::string> verify = {"verify"};
  verify.insert(verify.end(), batch.begin(), batch.end());
  std::vector<std::string> dryRun = batch;
  dryRun.push_back("--dry-run");
  const std::vector<Case> cases = {
      {"write", {"--image", "image.bin", "--out", "again", "--count", "2"}},
      {"dry run", dryRun},
      {"verify", verify},
      {"labels", {"labels", "--manifest", "list.csv", "--pdf", "lot.pdf"}},
      {"ledger export", {"ledger", "export", "--ledger", "ledger.sqlite3"}},
      {"ledger list", {"ledger", "list", "--ledger", "ledger.sqlite3"}},
      {"ledger show", {"ledger", "show", "1", "--ledger", "ledger.sqlite3"}},
      {"ledger pool list", {"ledger", "pool", "list", "--ledger", "ledger.sqlite3"}},
      {"ledger check",
       {"ledger", "check", "--start-mac", "04:57:55:00:10:00", "--ledger", "ledger.sqlite3"}},
      {"help", {"verify", "--help"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The same command on a working output succeeds, so only the output
    // can make it fail.
    const ChildResult fine = Run(c.args);
    ASSERT_EQ(fine.exitCode, 0) << fine.err;
    ASSERT_NE(fine.out, "");

    // The full device is opened for writing only, never replaced.
    const ChildResult full = Run(c.args, fullDevice);
    EXPECT_EQ(full.exitCode, 3);
    EXPECT_EQ(full.err, Said("标准输出写入出错！\n", "Writing to standard output failed.\n"));
  }
}

}  // namespace
}  // namespace quillmark::test
