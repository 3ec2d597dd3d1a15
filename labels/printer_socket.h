#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "raw_printer.h"

namespace quillmark::labels {

using PrinterClock = std::chrono::steady_clock;

// One TCP connection to a printer over the platform's sockets: the seam
// between the job's accounting (raw_printer.cpp) and the system. This is
// the POSIX version (printer_socket_posix.cpp); a Winsock one fills the
// same calls with WSAPoll, shutdown(SD_SEND) and SIO_TCP_INFO's
// BytesInFlight for the bytes not yet acknowledged.
class PrinterSocket {
 public:
  PrinterSocket() = default;
  ~PrinterSocket();
  PrinterSocket(const PrinterSocket&) = delete;
  PrinterSocket& operator=(const PrinterSocket&) = delete;

  // Connects to the first of the host's addresses that answers in time;
  // NotFound or NoConnection when none does.
  PrinterFault Connect(const PrinterAddress& printer, PrinterClock::time_point until);

  // Hands all of bytes to the system, adding to handedOver as it goes;
  // TimedOut when no room comes for `stall`, or at the job's deadline.
  PrinterFault Send(std::string_view bytes, PrinterClock::duration stall,
                    PrinterClock::time_point deadline, std::uint64_t& handedOver);

  // Ends the sending side, so the printer sees the end of the data.
  PrinterFault CloseSending();

  // Waits until every byte handed over, and the end of the data, is
  // acknowledged by the peer; TimedOut when none is for `stall`, or at the
  // job's deadline. What the printer sends back is read and dropped.
  PrinterFault WaitAcknowledged(PrinterClock::duration stall, PrinterClock::time_point deadline);

  // Bytes handed over and not yet acknowledged, the end of the data
  // included once it is sent; none when the system cannot say.
  std::optional<std::uint64_t> Unacknowledged() const;

  // Makes the close that follows drop whatever is not yet acknowledged.
  void Abort();

 private:
  int m_fd = -1;
};

}  // namespace quillmark::labels
