#include "stamp_fixture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "child_process.h"
#include "fixture_image.h"

namespace quillmark::test {
namespace {

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string ColonText(const std::uint8_t* octets) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", octets[0], octets[1], octets[2],
                octets[3], octets[4], octets[5]);
  return text;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

std::uint16_t XorOfWords(const std::vector<std::uint8_t>& image, std::uint64_t start,
                         std::uint64_t end) {
  std::uint16_t value = 0;
  for (std::uint64_t at = start; at < end; at += 2)
    value ^= static_cast<std::uint16_t>(image[at] << 8 | image[at + 1]);
  return value;
}

StampFixture MakeStampFixture(const std::string& folder, int macsPerDevice) {
  StampFixture fixture;
  fixture.image = MakeValidImage(0x400000);
  const std::string envText = folder + "/env.txt";
  const std::string envImage = folder + "/env.bin";
  WriteText(envText, "bootdelay=3\nethaddr=00:11:22:33:44:55\nbootcmd=run boot\n");
  const ChildResult made =
      RunChild({"mkenvimage", "-s", Hex(StampFixture::kEnvironmentSize), "-o", envImage, envText});
  const std::vector<std::uint8_t> environment =
      made.exitCode == 0 ? ReadFileBytes(envImage) : std::vector<std::uint8_t>{};
  if (environment.size() != StampFixture::kEnvironmentSize)
    return {};
  std::memcpy(fixture.image.data() + StampFixture::kEnvironment, environment.data(),
              environment.size());
  const std::string key = "ethaddr=";
  const auto found = std::search(environment.begin(), environment.end(), key.begin(), key.end());
  fixture.ethaddrText = StampFixture::kEnvironment +
                        static_cast<std::uint64_t>(found - environment.begin()) + key.size();

  // A calibration block: a length word, the checksum word, a MAC; the
  // checksum makes the XOR of all words 0xFFFF, as such blocks do.
  std::uint8_t* calibration = fixture.image.data() + StampFixture::kCalibration;
  calibration[0] = 0x08;
  calibration[1] = 0x44;
  calibration[2] = calibration[3] = 0;
  const std::uint16_t rest =
      XorOfWords(fixture.image, StampFixture::kCalibration, StampFixture::kCalibrationEnd);
  const std::uint16_t checksum = static_cast<std::uint16_t>(rest ^ 0xFFFF);
  calibration[2] = static_cast<std::uint8_t>(checksum >> 8);
  calibration[3] = static_cast<std::uint8_t>(checksum);

  fixture.profileText =
      "# a boot-loader environment and a calibration block\n"
      "[[field]]\n"
      "type = \"mac-text\"\n"
      "offset = " +
      Hex(fixture.ethaddrText) +
      "\n"
      "address = 1\n"
      "separator = \":\"\n"
      "\n"
      "[[field]]\n"
      "type = \"mac\"\n"
      "offset = " +
      Hex(StampFixture::kCalibrationMac) +
      "\n"
      "address = " +
      std::to_string(macsPerDevice) +
      "\n"
      "\n"
      "[[checksum]]\n"
      "type = \"crc32\"\n"
      "offset = 0x200000\n"
      "start = 0x200004\n"
      "end = 0x210000\n"
      "\n"
      "[[checksum]]\n"
      "type = \"xor16\"\n"
      "offset = 0x300002\n"
      "start = 0x300000\n"
      "end = 0x300844\n";
  return fixture;
}

std::vector<std::uint8_t> StampFixture::Expected(const std::vector<std::uint8_t>& addresses) const {
  std::vector<std::uint8_t> device = image;
  const std::string text = ColonText(addresses.data());
  std::memcpy(device.data() + ethaddrText, text.data(), text.size());
  std::memcpy(device.data() + kCalibrationMac, addresses.data() + addresses.size() - 6, 6);
  const uLong crc =
      crc32(0L, device.data() + kEnvironment + 4, static_cast<uInt>(kEnvironmentSize - 4));
  for (int i = 0; i < 4; ++i)
    device[kEnvironment + i] = static_cast<std::uint8_t>(crc >> (8 * i));
  device[kCalibration + 2] = device[kCalibration + 3] = 0;
  const std::uint16_t word =
      static_cast<std::uint16_t>(XorOfWords(device, kCalibration, kCalibrationEnd) ^
                                 XorOfWords(image, kCalibration, kCalibrationEnd));
  device[kCalibration + 2] = static_cast<std::uint8_t>(word >> 8);
  device[kCalibration + 3] = static_cast<std::uint8_t>(word);
  return device;
}

std::string PrintEthaddr(const std::string& folder, const std::string& deviceFile) {
  const std::string config = folder + "/fw_env.config";
  WriteText(config, deviceFile + " " + Hex(StampFixture::kEnvironment) + " " +
                        Hex(StampFixture::kEnvironmentSize) + "\n");
  const ChildResult printed = RunChild({"fw_printenv", "-c", config, "ethaddr"});
  if (printed.exitCode != 0 || !printed.err.empty())
    return printed.out + printed.err + " (status " + std::to_string(printed.exitCode) + ")";
  return printed.out;
}

}  // namespace quillmark::test
