#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "cli_command.h"
#include "english_mode.h"
#include "fixture_image.h"
#include "scratch_dir.h"
#include "status_lines.h"

namespace quillmark::test {

// A scratch folder holding a valid 4 MiB image as "image.img"; the tool
// runs with this folder as its current directory.
class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_dir.path().empty());
    WriteFileBytes(m_dir / "image.img", m_image);
    // The tool resolves against the real current directory.
    std::unique_ptr<char, void (*)(void*)> real(::realpath(m_dir.path().c_str(), nullptr),
                                                &std::free);
    ASSERT_NE(real, nullptr);
    m_root = real.get();
  }

  ChildResult Run(const std::vector<std::string>& args, ChildOptions options = {}) {
    if (options.workingDirectory.empty() && options.workingDirectoryFd < 0)
      options.workingDirectory = m_root;
    return RunChild(CliCommand(args), options);
  }

  // The image a device whose first address is first (a 48-bit number)
  // must receive.
  std::vector<std::uint8_t> DeviceImage(std::uint64_t first, int macsPerDevice) const {
    std::vector<std::uint8_t> octets;
    for (int i = 0; i < 6; ++i)
      octets.push_back(static_cast<std::uint8_t>(first >> (40 - 8 * i)));
    return ExpectedDeviceImage(m_image, octets, macsPerDevice);
  }

  std::string Out(const std::string& name) const { return m_root + "/out/" + name; }

  ScratchDir m_dir;
  std::string m_root;
  std::vector<std::uint8_t> m_image = MakeValidImage(k4MiB);
};

}  // namespace quillmark::test
