// On a terminal the saving texts share one progress line; every error
// text and the final text still stand on lines of their own.
#include <sys/stat.h>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

// What a terminal shows of each line: the text after the last carriage
// return, without the erase-to-end sequence.
std::vector<std::string> VisibleLines(const std::string& output) {
  std::vector<std::string> visible;
  for (std::string line : Lines(output)) {
    const std::size_t carriageReturn = line.rfind('\r');
    if (carriageReturn != std::string::npos)
      line.erase(0, carriageReturn + 1);
    for (std::size_t erase; (erase = line.find("\x1b[K")) != std::string::npos;) {
      line.erase(erase, 3);
    }
    visible.push_back(line);
  }
  return visible;
}

using TerminalTest = CliTest;

TEST_F(TerminalTest, ProgressUpdatesInPlaceAndTheFinalTextHasItsOwnLine) {
  ChildOptions options;
  options.terminal = true;
  const ChildResult result = Run({"--image=image.img", "--count=3"}, options);
  EXPECT_EQ(result.exitCode, 0);
  const std::vector<std::string> lines = VisibleLines(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  EXPECT_EQ(lines[0].rfind(Saving("04:57:55:00:00:02") + "  3/3", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], kFinishedLine);
}

TEST_F(TerminalTest, AnErrorReplacesTheProgressLineAndKeepsItsOwn) {
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir((m_dir / "out/fw_045755_000001.img").c_str(), 0777), 0);
  ChildOptions options;
  options.terminal = true;
  const ChildResult result = Run({"--image=image.img", "--count=3"}, options);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(VisibleLines(result.out),
            std::vector<std::string>{CreationFailedText(Out("fw_045755_000001.img"))});
}

}  // namespace
}  // namespace quillmark::test
