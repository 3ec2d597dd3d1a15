#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <string>

#include "console_text.h"
#include "signals.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

// A pipe's own description of the stream that never blocks, so a write
// takes all the room there is (poll reports room only for a whole page);
// -1 for anything else, written after a poll says it has room. The
// stream's own description stays as the caller set it up.
int NonBlockingTwin(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
    return -1;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
}

int TwinOf(int fd) {
  static const int twins[3] = {-1, NonBlockingTwin(STDOUT_FILENO), NonBlockingTwin(STDERR_FILENO)};
  return fd == STDOUT_FILENO || fd == STDERR_FILENO ? twins[fd] : -1;
}

// How long, from the first look after a stop, a stream may still keep a
// write waiting: a reader that drains its pipe after the signal (a
// script collecting the JSON events) loses nothing, and one that never
// does holds the stop back no longer than this.
constexpr std::chrono::seconds kStopGrace{5};

// Milliseconds a write may still wait once a stop is asked.
int StopGraceLeft() {
  using Clock = std::chrono::steady_clock;
  static std::atomic<Clock::rep> seenAt{0};
  Clock::rep none = 0;
  const Clock::rep now = Clock::now().time_since_epoch().count();
  seenAt.compare_exchange_strong(none, now);
  const Clock::rep first = none == 0 ? now : none;
  const auto end = Clock::time_point(Clock::duration(first)) + kStopGrace;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
  return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// Writes what the stream cannot take at once only while no stop is
// asked: a reader that stopped reading (a stalled pipe, a terminal held
// with Ctrl+S) must not keep a run from ending the documented way. Once a
// stop is asked and its grace is over, what the stream does not take at
// once is dropped.
bool WriteUnlessStopped(int fd, std::string_view bytes) {
  const int notice = StopNoticeDescriptor();
  const int twin = TwinOf(fd);
  std::size_t at = 0;
  bool room = twin >= 0;  // a twin tries first and waits only when refused
  while (at < bytes.size()) {
    if (!room) {
      const bool stopping = StopSignal() != 0;
      pollfd wait[2] = {{fd, POLLOUT, 0}, {notice, POLLIN, 0}};
      const int ready =
          ::poll(wait, stopping || notice < 0 ? 1 : 2, stopping ? StopGraceLeft() : -1);
      if (ready < 0 && errno == EINTR)
        continue;
      if (ready < 0)
        return false;
      if ((wait[0].revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) == 0) {
        if (stopping)
          return false;
        continue;  // the stop arrived: the next look writes only what fits
      }
    }
    // Without a twin, no more than a pipe takes whole once it has room,
    // so the write itself never waits.
    const std::size_t most =
        twin >= 0 ? bytes.size() - at : std::min<std::size_t>(bytes.size() - at, PIPE_BUF);
    const ssize_t n = ::write(twin >= 0 ? twin : fd, bytes.data() + at, most);
    room = twin >= 0 && n > 0;
    if (n > 0)
      at += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR && errno != EAGAIN)
      return false;
  }
  return true;
}

// Writes go around the C library's buffer, so a failed one leaves no mark
// on ferror(stdout): the failure is kept here for the exit status.
std::atomic<bool> g_standardOutputFailed{false};

}  // namespace

void PrepareStandardStreams() {}

bool WriteText(std::FILE* stream, std::string_view text) {
  const std::string valid = ToValidUtf8(text);
  // What the C library still holds goes first, in order.
  if (std::fflush(stream) != 0)
    return false;
  const bool written = WriteUnlessStopped(::fileno(stream), valid);
  if (!written && stream == stdout)
    g_standardOutputFailed = true;
  return written;
}

bool StandardOutputWriteFailed() {
  return g_standardOutputFailed;
}

bool StandardOutputIsConsole() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace quillmark::cli
