#include "raw_printer.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "interface_text.h"

namespace quillmark::labels {
namespace {

std::string Named(const PrinterAddress& printer) {
  const bool v6 = printer.host.find(':') != std::string::npos;
  return (v6 ? "[" + printer.host + "]" : printer.host) + ":" + std::to_string(printer.port);
}

// Connects without blocking longer than the connect timeout.
int Connect(const addrinfo& address) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          address.ai_protocol);
  if (fd < 0)
    return -1;
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (errno != EINPROGRESS || ::poll(&wait, 1, kConnectTimeoutSeconds * 1000) != 1 ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      ::close(fd);
      return -1;
    }
  }
  return fd;
}

bool SendAll(int fd, std::string_view bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd wait{fd, POLLOUT, 0};
      if (::poll(&wait, 1, kSendTimeoutSeconds * 1000) == 1 && (wait.revents & POLLOUT) != 0)
        continue;
    }
    return false;
  }
  return true;
}

}  // namespace

std::optional<PrinterAddress> ParsePrinterAddress(std::string_view text) {
  PrinterAddress printer;
  std::string_view port;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos)
      return std::nullopt;
    printer.host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':'))
      return std::nullopt;
    port = rest.empty() ? "" : rest.substr(1);
    if (rest == ":")
      return std::nullopt;
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon != std::string_view::npos && text.find(':') != colon)
      return std::nullopt;  // a bare IPv6 address needs its brackets
    printer.host = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
      port = text.substr(colon + 1);
      if (port.empty())
        return std::nullopt;
    }
  }
  if (printer.host.empty())
    return std::nullopt;
  if (!port.empty()) {
    if (port.size() > 5 || port.front() == '0')
      return std::nullopt;
    int value = 0;
    for (char c : port) {
      if (c < '0' || c > '9')
        return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
      return std::nullopt;
    printer.port = value;
  }
  return printer;
}

std::string SendToPrinter(const PrinterAddress& printer, const ByteSource& bytes) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(printer.port);
  if (::getaddrinfo(printer.host.c_str(), port.c_str(), &hints, &found) != 0)
    return Fill({"找不到打印机：%1！", "Cannot find the printer: %1."}, {Named(printer)});
  int fd = -1;
  for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next)
    fd = Connect(*a);
  ::freeaddrinfo(found);
  if (fd < 0)
    return Fill({"无法连接打印机：%1！", "Cannot connect to the printer: %1."}, {Named(printer)});
  const bool sent = bytes([fd](std::string_view piece) { return SendAll(fd, piece); });
  // An orderly close, so the printer sees the end of the data; a close
  // that fails means the last bytes may not have left this machine.
  const bool closed = ::shutdown(fd, SHUT_WR) == 0;
  ::close(fd);
  if (!sent || !closed)
    return Fill({"发送到打印机中断，标签未全部送达：%1！",
                 "Sending to the printer was cut off; not every label arrived: %1."},
                {Named(printer)});
  return {};
}

}  // namespace quillmark::labels
