// verify proves the files as they stand after it read them: a device's
// file changed while verify is inside it (a byte appended, the file
// replaced by a rename, the file removed) fails the check, naming the
// file, where the bytes read alone would have passed it.
#include <gmock/gmock.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

class ChangedWhileReadTest : public ReliabilityTest {
 protected:
  void SetUp() override {
    m_batch.deviceCount = 3;
    const ChildResult written = RunCli(m_batch.Args(ImagePath(), OutDir()));
    ASSERT_EQ(written.exitCode, 0) << written.err;
  }

  std::string LastPath() const { return OutDir() + "/" + m_batch.FileName(2); }

  // verify of the batch, held after its last read of the last device's
  // file while change runs.
  ChildResult VerifyChangedMidway(const std::function<void(const std::string&)>& change) {
    ChildProcess probe(
        CommandLine(QUILLMARK_VERIFY_PAUSE_PROBE,
                    {m_batch.FileName(2), "--image=" + ImagePath(), "--out=" + OutDir(),
                     "--start-mac=04:57:55:00:00:00", "--count=3", "--quiet"}));
    const std::optional<std::string> line = probe.ReadLine(kChildTimeout);
    if (!line || *line != "paused" || !probe.WaitUntilStopped()) {
      ADD_FAILURE() << "verify did not stop inside the file";
      return probe.Finish(kChildTimeout);
    }
    change(LastPath());
    probe.Resume();
    return probe.Finish(kChildTimeout);
  }
};

TEST_F(ChangedWhileReadTest, AFileLeftAloneStillPasses) {
  const ChildResult result = VerifyChangedMidway([](const std::string&) {});
  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  EXPECT_EQ(result.out,
            "paused\n" + Said("校验结束：已校验3台，完好3台，失败0台：通过\n",
                              "Check finished: 3 devices checked, 3 exact, 0 failed: passed\n"));
}

TEST_F(ChangedWhileReadTest, AChangeWhileTheFileIsReadFailsNamingIt) {
  const std::vector<std::uint8_t> exact = m_batch.DeviceImage(2);
  const struct Case {
    const char* what;
    std::function<void(const std::string&)> change;
  } cases[] = {
      {"a byte appended",
       [](const std::string& path) {
         std::ofstream(path, std::ios::app | std::ios::binary) << 'x';
       }},
      {"replaced by a rename with a different-size image",
       [](const std::string& path) {
         WriteFileBytes(path + ".new", MakeValidImage(2 * k4MiB));
         ASSERT_EQ(::rename((path + ".new").c_str(), path.c_str()), 0);
       }},
      {"removed", [](const std::string& path) { ASSERT_EQ(::unlink(path.c_str()), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(LastPath(), exact);
    const ChildResult result = VerifyChangedMidway(c.change);
    EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
    EXPECT_THAT(result.out, testing::HasSubstr(Said("文件在校验期间被改动！",
                                                    "File changed while being verified: ") +
                                               LastPath() + "\n"));
    EXPECT_THAT(result.out, testing::HasSubstr(Said("完好2台，失败1台", "2 exact, 1 failed")));
  }
}

}  // namespace
}  // namespace quillmark::test
