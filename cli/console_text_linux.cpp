#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "console_text.h"
#include "signals.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

// Writes what the stream cannot take at once only while no stop is
// asked: a reader that stopped reading (a stalled pipe, a terminal held
// with Ctrl+S) must not keep a run from ending the documented way. Once a
// stop is asked, what the stream does not take at once is dropped.
bool WriteUnlessStopped(int fd, std::string_view bytes) {
  const int notice = StopNoticeDescriptor();
  std::size_t at = 0;
  while (at < bytes.size()) {
    const bool stopping = StopSignal() != 0;
    pollfd wait[2] = {{fd, POLLOUT, 0}, {notice, POLLIN, 0}};
    const int ready = ::poll(wait, stopping || notice < 0 ? 1 : 2, stopping ? 0 : -1);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready < 0)
      return false;
    if ((wait[0].revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) == 0) {
      if (stopping)
        return false;
      continue;  // the stop arrived: the next look writes only what fits
    }
    // No more than a pipe takes whole once it has room, so the write
    // itself never waits.
    const ssize_t n =
        ::write(fd, bytes.data() + at, std::min<std::size_t>(bytes.size() - at, PIPE_BUF));
    if (n > 0)
      at += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR && errno != EAGAIN)
      return false;
  }
  return true;
}

}  // namespace

void PrepareStandardStreams() {}

bool WriteText(std::FILE* stream, std::string_view text) {
  const std::string valid = ToValidUtf8(text);
  // What the C library still holds goes first, in order.
  if (std::fflush(stream) != 0)
    return false;
  return WriteUnlessStopped(::fileno(stream), valid);
}

bool StandardOutputIsConsole() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace quillmark::cli
