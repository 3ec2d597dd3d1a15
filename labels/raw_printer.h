#pragma once

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

struct PrinterAddress {
  std::string host;
  int port = kRawPrinterPort;
};

// "HOST" or "HOST:PORT" ("[v6]:PORT" for an IPv6 address); none when the
// port is not 1..65535 or the host is empty.
std::optional<PrinterAddress> ParsePrinterAddress(std::string_view text);

// Sends every byte over one TCP connection, piece by piece as they are
// made, and closes it; "" or the one line that says why not all of them
// were sent.
std::string SendToPrinter(const PrinterAddress& printer, const ByteSource& bytes);

}  // namespace quillmark::labels
