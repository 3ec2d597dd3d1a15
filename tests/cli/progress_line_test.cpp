// The terminal's progress line, drawn on a clock the test moves: at most
// one draw per interval however many devices pass, and never a count
// left unshown at the end.
#include "progress_line.h"

#include <gtest/gtest.h>

#include "english_mode.h"

#include <chrono>
#include <string>
#include <vector>

namespace quillmark::cli {
namespace {

using std::chrono::milliseconds;

class ProgressLineTest : public testing::Test {
 protected:
  ProgressLine MakeLine(std::int32_t total) {
    return ProgressLine(
        total, [this] { return m_now; },
        [this](const std::string& text) { m_drawn.push_back(text); });
  }

  std::chrono::steady_clock::time_point m_now{};
  std::vector<std::string> m_drawn;
};

TEST_F(ProgressLineTest, ManyDevicesWithinOneIntervalAreDrawnOnce) {
  const std::string saving = test::Said("保存MAC固件: ", "Saving device image: ");
  ProgressLine line = MakeLine(65535);
  for (int done = 0; done < 5000; ++done)
    line.Show(saving + "a", done);
  EXPECT_EQ(m_drawn, std::vector<std::string>{"\r" + saving + "a  0/65535\x1b[K"});

  m_now += ProgressLine::kRedrawInterval - milliseconds(1);
  line.Show(saving + "b", 5000);
  EXPECT_EQ(m_drawn.size(), 1u);
  m_now += milliseconds(1);
  line.Show(saving + "c", 5001);
  ASSERT_EQ(m_drawn.size(), 2u);
  // 5001 devices in 0.2 s.
  EXPECT_EQ(m_drawn.back(), "\r" + saving + "c  5001/65535  25005.0" +
                                test::Said("台/秒", " devices/s") + "\x1b[K");
}

TEST_F(ProgressLineTest, TheLastStateIsDrawnBeforeTheLineEnds) {
  ProgressLine line = MakeLine(3);
  line.Show("x", 0);
  line.Show("y", 2);
  line.Show("z", 3);
  line.End();
  ASSERT_EQ(m_drawn.size(), 3u);
  EXPECT_EQ(m_drawn[1], "\rz  3/3\x1b[K");
  EXPECT_EQ(m_drawn[2], "\n");
  line.End();  // nothing more to end
  EXPECT_EQ(m_drawn.size(), 3u);
}

// A line of its own takes the progress line's place at once, whatever the
// clock says, and the progress comes back on the next device.
TEST_F(ProgressLineTest, ALineOfItsOwnIsNeverHeldBack) {
  ProgressLine line = MakeLine(3);
  line.Show("a", 0);
  line.Show("b", 1);
  line.PrintLine("fault");
  line.Show("c", 2);
  line.End();
  EXPECT_EQ(m_drawn, (std::vector<std::string>{"\ra  0/3\x1b[K", "\rfault\x1b[K\n",
                                               "\rc  2/3\x1b[K", "\n"}));
}

TEST_F(ProgressLineTest, WithoutAProgressLineLinesStandAlone) {
  ProgressLine line = MakeLine(3);
  line.PrintLine("one");
  line.End();
  line.PrintLine("two");
  EXPECT_EQ(m_drawn, (std::vector<std::string>{"one\n", "two\n"}));
}

}  // namespace
}  // namespace quillmark::cli
