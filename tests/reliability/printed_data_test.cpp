// What verify and labels print from data they read (manifest lines, file
// and folder names) shows control characters as "\x1b"-style escapes, so
// a hostile manifest or file name can neither drive the terminal nor
// inject a line.

#include <string>
#include <vector>

#include "english_mode.h"
#include "reliability_test.h"

namespace quillmark::test {
namespace {

class PrintedDataTest : public ReliabilityTest {
 protected:
  ChildResult Run(const std::vector<std::string>& args) {
    ChildOptions options;
    options.workingDirectory = m_dir.path();
    return RunCli(args, options);
  }
};

TEST_F(PrintedDataTest, ControlCharactersInManifestsAndNamesAreEscaped) {
  ASSERT_EQ(Run({"--image", "image.bin", "--out", "out", "--count", "2", "--quiet"}).exitCode, 0);
  WriteFileBytes(m_dir / "out/fw_x\ny.img", {'x'});
  const std::string title = "\x1b]0;owned\x07";
  const std::string row = "fw_045755_000000.img," + title + "\n";
  const std::string manifest = "file,mac1\n" + row;
  WriteFileBytes(m_dir / "hostile.csv",
                 std::vector<std::uint8_t>(manifest.begin(), manifest.end()));

  const ChildResult listed = Run(
      {"verify", "--image", "image.bin", "--out", "out", "--count", "2", "--allow-other-files"});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_NE(
      listed.out.find(Said("批次外文件: ", "File not in the batch: ") + "out/fw_x\\x0ay.img\n"),
      std::string::npos)
      << listed.out;

  const std::vector<std::vector<std::string>> readers = {
      {"verify", "--image", "image.bin", "--out", "out", "--manifest", "hostile.csv"},
      {"labels", "--manifest", "hostile.csv", "--pdf", "lot.pdf"},
  };
  for (const std::vector<std::string>& args : readers) {
    SCOPED_TRACE(args.front());
    const ChildResult run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("\\x1b]0;owned\\x07"), std::string::npos) << run.err;
  }

  // The label file's name, as the line saying it was written shows it.
  const std::string good = "file,mac1\nfw_045755_000000.img,04:57:55:00:00:00\n";
  WriteFileBytes(m_dir / "good.csv", std::vector<std::uint8_t>(good.begin(), good.end()));
  const ChildResult zpl =
      Run({"labels", "--manifest", "good.csv", "--zpl", title + ".zpl", "--layout", "roll-50x25"});
  EXPECT_EQ(zpl.exitCode, 0) << zpl.err;
  EXPECT_EQ(zpl.out, Said("标签已写入：1个标签：", "Labels written: 1 label: ") +
                         "\\x1b]0;owned\\x07.zpl\n");
}

}  // namespace
}  // namespace quillmark::test
