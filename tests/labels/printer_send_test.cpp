// Labels count as sent only once the printer's side has acknowledged
// them: printers on the loopback that take the connection and then never
// read, reset it, or read too slowly for the job's time.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "english_mode.h"
#include "labels_fixture.h"

namespace quillmark::test {
namespace {

constexpr int kLabels = 3000;  // 552 KB: far more than the loopback's buffers take unread

struct PrinterCase {
  const char* name;
  // What the printer does with the connection until the run has ended.
  std::function<void(int connection, const std::atomic<bool>& ended)> serve;
  std::vector<std::string> extra;  // options of the run
  std::string fault;               // the text before the count
};

void WaitForEnd(const std::atomic<bool>& ended) {
  while (!ended)
    ::poll(nullptr, 0, 20);
}

void NeverReads(int, const std::atomic<bool>& ended) {
  WaitForEnd(ended);
}

void ResetsAtOnce(int connection, const std::atomic<bool>& ended) {
  const linger reset{1, 0};
  ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(connection);
  WaitForEnd(ended);
}

// 4 KB every 200 ms: never silent for the 10 seconds that count as a
// stall, and 27 s for the whole job.
void ReadsSlowly(int connection, const std::atomic<bool>& ended) {
  char buffer[4096];
  for (ssize_t n = 1; n > 0 && !ended;) {
    ::poll(nullptr, 0, 200);
    pollfd ready{connection, POLLIN, 0};
    if (::poll(&ready, 1, 0) == 1)
      n = ::read(connection, buffer, sizeof buffer);
  }
  WaitForEnd(ended);
}

// The number in "N of 3000 labels arrived" (Chinese: "已送达N个标签").
std::optional<std::size_t> CountAfter(const std::string& text, const std::string& prefix) {
  if (!text.starts_with(prefix))
    return std::nullopt;
  std::size_t at = prefix.size();
  std::size_t value = 0;
  bool any = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, any = true)
    value = value * 10 + static_cast<std::size_t>(text[at] - '0');
  return any ? std::optional<std::size_t>(value) : std::nullopt;
}

TEST_F(LabelsTest, PrinterThatDoesNotTakeEveryLabelFailsWithTheLabelsThatArrived) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", kLabels, 1));
  const std::vector<std::string> job = {"--manifest", "lot.csv", "--layout",
                                        "roll-50x25", "--code",  "code128"};
  const std::string timedOut =
      Said("打印机未及时收下全部标签，已送达", "The printer did not take every label in time: ");
  const std::string cutOff =
      Said("发送到打印机中断，已送达", "Sending to the printer was cut off: ");
  const PrinterCase cases[] = {
      {"never reads", NeverReads, {"--printer-timeout", "2"}, timedOut},
      {"resets at once", ResetsAtOnce, {}, cutOff},
      {"reads slowly", ReadsSlowly, {"--printer-timeout", "2"}, timedOut},
  };
  for (const PrinterCase& c : cases) {
    SCOPED_TRACE(c.name);
    int port = 0;
    const int listener = ListenOnLoopback(&port, 16384);
    ASSERT_GE(listener, 0);
    std::atomic<bool> ended{false};
    std::thread printer([&] {
      const int connection = ::accept(listener, nullptr, nullptr);
      c.serve(connection, ended);
      ::close(connection);
    });
    const std::string host = "127.0.0.1:" + std::to_string(port);
    std::vector<std::string> args = job;
    args.insert(args.end(), {"--printer", host});
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ChildResult run = Labels(args);
    ended = true;
    printer.join();
    ::close(listener);

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    const std::string& prefix = c.fault;
    const std::optional<std::size_t> arrived = CountAfter(run.err, prefix);
    ASSERT_TRUE(arrived) << run.err;
    // The labels whose last byte was acknowledged: never all of them.
    EXPECT_LT(*arrived, static_cast<std::size_t>(kLabels));
    const std::string count = std::to_string(*arrived);
    EXPECT_EQ(run.err, prefix + count + Said("个标签（共3000个）：", " of 3000 labels arrived: ") +
                           host + Said("！\n", ".\n"));
  }
}

TEST_F(LabelsTest, PrinterTimeoutIsForThePrinterOnlyAndFromOneSecondToADay) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 1));
  const std::string limits = Said("打印机时限须为1到86400秒：",
                                  "the printer timeout must be 1 to "
                                  "86400 seconds: ");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--zpl", "a.zpl", "--printer-timeout", "5"},
       Said("--printer-timeout 只用于 --printer", "--printer-timeout is only for --printer")},
      {{"--printer", "127.0.0.1", "--printer-timeout", "0"}, limits + "0"},
      {{"--printer", "127.0.0.1", "--printer-timeout", "86401"}, limits + "86401"},
      {{"--printer", "127.0.0.1", "--printer-timeout", "1.5"}, limits + "1.5"},
  };
  for (const auto& [extra, error] : cases) {
    std::vector<std::string> args = {"--manifest", "lot.csv", "--layout", "roll-50x25"};
    args.insert(args.end(), extra.begin(), extra.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 2) << error;
    EXPECT_EQ(run.err, "quillmark-cli: " + error + "\n");
  }
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv"}));
}

}  // namespace
}  // namespace quillmark::test
