#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

// An image as a firmware with a stamp profile holds it, built with the
// boot loader's own tools: a boot-loader environment made by mkenvimage
// (its CRC-32 over the whole environment) and a calibration block whose
// 16-bit words XOR to a value its checksum word keeps.
struct StampFixture {
  static constexpr std::uint64_t kEnvironment = 0x200000;
  static constexpr std::uint64_t kEnvironmentSize = 0x10000;
  static constexpr std::uint64_t kCalibration = 0x300000;
  static constexpr std::uint64_t kCalibrationEnd = 0x300844;
  static constexpr std::uint64_t kCalibrationMac = 0x300006;

  std::vector<std::uint8_t> image;
  std::uint64_t ethaddrText = 0;  // where the environment's ethaddr value stands
  std::string profileText;        // ethaddr: address 1 as text; calibration: the last address

  // The device's copy, computed here with zlib and plain loops, not with
  // the code under test. addresses: the device's, six bytes each.
  std::vector<std::uint8_t> Expected(const std::vector<std::uint8_t>& addresses) const;
};

// Builds the fixture in folder (mkenvimage writes its environment there);
// macsPerDevice addresses each device. Empty image when mkenvimage failed.
StampFixture MakeStampFixture(const std::string& folder, int macsPerDevice);

// What `fw_printenv -c CONFIG ethaddr` prints for a device file, the
// config naming the file, the environment's offset and size; its error
// output and status follow on failure.
std::string PrintEthaddr(const std::string& folder, const std::string& deviceFile);

std::uint16_t XorOfWords(const std::vector<std::uint8_t>& image, std::uint64_t start,
                         std::uint64_t end);

}  // namespace quillmark::test
