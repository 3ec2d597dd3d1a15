#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "byte_source.h"

namespace quillmark::labels {

// A printer's raw port: ZPL sent there is printed as it arrives.
inline constexpr int kRawPrinterPort = 9100;
// How long a connection may take, and how long the printer may take to
// accept more bytes before it counts as silent.
inline constexpr int kConnectTimeoutSeconds = 5;
inline constexpr int kSendTimeoutSeconds = 10;
// How long a whole job may take, from the connection to the printer's
// acknowledgement of its last byte, unless the command line says
// otherwise: a printer that takes a few bytes now and then is never
// silent, and must not be waited on forever.
inline constexpr int kDefaultJobSeconds = 300;
inline constexpr int kMaxJobSeconds = 86400;

struct PrinterAddress {
  std::string host;
  int port = kRawPrinterPort;
};

// "HOST" or "HOST:PORT" ("[v6]:PORT" for an IPv6 address); none when the
// port is not 1..65535 or the host is empty.
std::optional<PrinterAddress> ParsePrinterAddress(std::string_view text);

enum class PrinterFault {
  None,          // every byte acknowledged by the printer's side
  NotFound,      // the host name has no address
  NoConnection,  // nobody took the connection in time
  CutOff,        // the connection was reset or failed
  TimedOut,      // the printer was silent too long, or the job's time ran out
};

struct PrinterSend {
  PrinterFault fault = PrinterFault::None;
  // Bytes the printer's side acknowledged: only these are known to have
  // arrived (bytes sent may still sit in this machine's buffers).
  std::uint64_t acknowledged = 0;
};

// Sends every byte over one TCP connection, piece by piece as they are
// made, then closes the sending side and waits until the printer's side
// has acknowledged every byte, all within jobSeconds of the start.
PrinterSend SendToPrinter(const PrinterAddress& printer, const ByteSource& bytes,
                          int jobSeconds = kDefaultJobSeconds);

// "host:port", "[v6]:port" for an IPv6 address.
std::string PrinterName(const PrinterAddress& printer);

}  // namespace quillmark::labels
