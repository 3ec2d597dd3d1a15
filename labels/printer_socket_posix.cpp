#include <linux/sockios.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "printer_socket.h"

namespace quillmark::labels {
namespace {

// The wait for the acknowledgements looks again this often: the count of
// bytes not yet acknowledged wakes no poll.
constexpr std::chrono::milliseconds kAcknowledgementLook{20};

int MillisecondsUntil(PrinterClock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - PrinterClock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1 << 30));
}

// Connects without blocking longer than the connect timeout.
int ConnectOne(const addrinfo& address, PrinterClock::time_point until) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          address.ai_protocol);
  if (fd < 0)
    return -1;
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    // A printer that took the connection and reset it at once was reached:
    // the send then fails as cut off, not as a connection never made.
    if (errno != EINPROGRESS || ::poll(&wait, 1, MillisecondsUntil(until)) != 1 ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        (error != 0 && error != ECONNRESET)) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

}  // namespace

PrinterSocket::~PrinterSocket() {
  if (m_fd >= 0)
    ::close(m_fd);
}

void PrinterSocket::Abort() {
  // A reset, not a close: a close would leave the system sending what is
  // still queued, and the printer would print labels reported as lost.
  const linger reset{1, 0};
  if (m_fd >= 0)
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

PrinterFault PrinterSocket::Connect(const PrinterAddress& printer, PrinterClock::time_point until) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(printer.port);
  if (::getaddrinfo(printer.host.c_str(), port.c_str(), &hints, &found) != 0)
    return PrinterFault::NotFound;
  for (const addrinfo* a = found; a != nullptr && m_fd < 0; a = a->ai_next)
    m_fd = ConnectOne(*a, until);
  ::freeaddrinfo(found);
  return m_fd < 0 ? PrinterFault::NoConnection : PrinterFault::None;
}

PrinterFault PrinterSocket::Send(std::string_view bytes, PrinterClock::duration stall,
                                 PrinterClock::time_point deadline, std::uint64_t& handedOver) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      handedOver += static_cast<std::uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
      return PrinterFault::CutOff;
    pollfd wait{m_fd, POLLOUT, 0};
    const int ready =
        ::poll(&wait, 1, MillisecondsUntil(std::min(PrinterClock::now() + stall, deadline)));
    if (ready == 0)
      return PrinterFault::TimedOut;
    if (ready < 0 && errno != EINTR)
      return PrinterFault::CutOff;
  }
  return PrinterFault::None;
}

PrinterFault PrinterSocket::CloseSending() {
  return ::shutdown(m_fd, SHUT_WR) == 0 ? PrinterFault::None : PrinterFault::CutOff;
}

PrinterFault PrinterSocket::WaitAcknowledged(PrinterClock::duration stall,
                                             PrinterClock::time_point deadline) {
  std::optional<std::uint64_t> left = Unacknowledged();
  auto progressAt = PrinterClock::now();
  bool peerEnded = false;  // the printer closed its side: nothing more to read
  for (;;) {
    if (!left)
      return PrinterFault::CutOff;
    if (*left == 0)
      return PrinterFault::None;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
      return PrinterFault::CutOff;
    const auto now = PrinterClock::now();
    if (now >= deadline || now - progressAt >= stall)
      return PrinterFault::TimedOut;
    const int look = std::min(MillisecondsUntil(std::min(progressAt + stall, deadline)),
                              static_cast<int>(kAcknowledgementLook.count()));
    // A printer that closed its side may still read ours: only a reset
    // (an unread byte at its close) or the time cuts the wait short.
    pollfd wait{m_fd, POLLIN, 0};
    if (::poll(peerEnded ? nullptr : &wait, peerEnded ? 0 : 1, look) > 0) {
      if ((wait.revents & POLLERR) != 0)
        return PrinterFault::CutOff;
      if ((wait.revents & (POLLIN | POLLHUP)) != 0) {
        char dropped[4096];
        const ssize_t n = ::recv(m_fd, dropped, sizeof dropped, 0);
        if (n < 0 && errno != EINTR && errno != EAGAIN)
          return PrinterFault::CutOff;
        peerEnded = n == 0;
      }
    }
    const std::optional<std::uint64_t> nowLeft = Unacknowledged();
    if (nowLeft && *nowLeft < *left)
      progressAt = PrinterClock::now();
    left = nowLeft;
  }
}

std::optional<std::uint64_t> PrinterSocket::Unacknowledged() const {
  int queued = 0;
  if (m_fd < 0 || ::ioctl(m_fd, SIOCOUTQ, &queued) != 0 || queued < 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(queued);
}

}  // namespace quillmark::labels
