#pragma once

#include <gtest/gtest.h>

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
