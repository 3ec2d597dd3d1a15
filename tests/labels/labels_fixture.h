#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch_manifest.h"
#include "child_process.h"
#include "cli_command.h"
#include "fixture_image.h"
#include "mac_address.h"
#include "scratch_dir.h"

namespace quillmark::test {

// One device of a test manifest as a scanner must read it back.
struct ExpectedDevice {
  std::string fileName;
  std::vector<std::string> addresses;  // colon form
};

// The text of a manifest of count devices from start, as a run writes it,
// and the devices it lists.
inline std::string ManifestText(const std::string& start, int count, std::int32_t macsPerDevice,
                                std::vector<ExpectedDevice>* devices = nullptr) {
  std::string text = ManifestHeader(macsPerDevice) + "\n";
  MacAddress first = *MacAddress::Parse(start);
  for (int i = 0; i < count; ++i) {
    text += ManifestRow(first, macsPerDevice) + "\n";
    ExpectedDevice device{first.ToFileName(), {}};
    for (const MacAddress& address : DeviceAddresses(first, macsPerDevice))
      device.addresses.push_back(address.ToColonText());
    if (devices != nullptr)
      devices->push_back(device);
    for (std::int32_t j = 0; j < macsPerDevice; ++j)
      first.Increment();
  }
  return text;
}

inline void WriteText(const std::string& path, const std::string& text) {
  WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// A listening socket on 127.0.0.1 at a port the system picks; with a
// receive buffer, its connections take no more than that many bytes
// before they are read (the kernel doubles it).
inline int ListenOnLoopback(int* port, int receiveBuffer = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 ||
      (receiveBuffer > 0 &&
       ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0) ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0)
      ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// A scratch folder the tool runs in.
class LabelsTest : public testing::Test {
 protected:
  ChildResult Labels(std::vector<std::string> args, ChildOptions options = {}) {
    args.insert(args.begin(), "labels");
    options.workingDirectory = m_dir.path();
    return RunChild(CliCommand(args), options);
  }

  ScratchDir m_dir;
};

}  // namespace quillmark::test
