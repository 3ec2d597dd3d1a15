#include "raw_printer.h"

#include <algorithm>

#include "printer_socket.h"

namespace quillmark::labels {
namespace {

// Bytes known to have arrived: those sent, less what the system still
// holds unacknowledged (the end of the data, once sent, counts as a byte).
std::uint64_t Acknowledged(const PrinterSocket& socket, std::uint64_t sent, bool ended) {
  const std::uint64_t handedOver = sent + (ended ? 1 : 0);
  const std::optional<std::uint64_t> left = socket.Unacknowledged();
  if (!left || *left >= handedOver)
    return 0;
  return std::min(sent, handedOver - *left);
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

std::string PrinterName(const PrinterAddress& printer) {
  const bool v6 = printer.host.find(':') != std::string::npos;
  return (v6 ? "[" + printer.host + "]" : printer.host) + ":" + std::to_string(printer.port);
}

// A send that fits in the socket buffers is not yet printed: the job is
// done only once the printer's side has acknowledged its last byte.
PrinterSend SendToPrinter(const PrinterAddress& printer, const ByteSource& bytes, int jobSeconds) {
  const auto start = PrinterClock::now();
  const auto deadline = start + std::chrono::seconds(jobSeconds);
  const std::chrono::seconds stall(kSendTimeoutSeconds);
  PrinterSocket socket;
  PrinterSend result;
  result.fault = socket.Connect(
      printer, std::min(deadline, start + std::chrono::seconds(kConnectTimeoutSeconds)));
  if (result.fault != PrinterFault::None)
    return result;
  std::uint64_t sent = 0;
  const bool all = bytes([&](std::string_view piece) {
    result.fault = socket.Send(piece, stall, deadline, sent);
    return result.fault == PrinterFault::None;
  });
  bool ended = false;
  if (!all && result.fault == PrinterFault::None)
    result.fault = PrinterFault::CutOff;  // the source could not make its bytes
  if (result.fault == PrinterFault::None) {
    result.fault = socket.CloseSending();
    ended = result.fault == PrinterFault::None;
  }
  if (result.fault == PrinterFault::None)
    result.fault = socket.WaitAcknowledged(stall, deadline);
  if (result.fault == PrinterFault::None) {
    result.acknowledged = sent;
    return result;
  }
  result.acknowledged = Acknowledged(socket, sent, ended);
  socket.Abort();
  return result;
}

}  // namespace quillmark::labels
