#include "fixture_image.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace quillmark::test {

std::vector<std::uint8_t> MakeValidImage(std::uint32_t size) {
  std::vector<std::uint8_t> image(size);
  for (std::uint32_t i = 0; i < size; ++i)
    image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 12));
  image[0x1C000] = 0xD3;
  image[0x1C001] = 0x57;
  image[0x1C060] = 0x00;
  const std::uint8_t magic[] = {0x53, 0x70, 0xEB, 0x67};
  std::memcpy(&image[0x20000], magic, sizeof magic);
  image[0x20183] = 'x';  // no "link" text unless a test sets one
  return image;
}

void SetLinkStamp(std::vector<std::uint8_t>& image, const char* text, std::uint32_t stamp) {
  std::memcpy(&image[0x20183], text, std::strlen(text) + 1);
  image[0x20158] = static_cast<std::uint8_t>(stamp >> 24);
  image[0x20159] = static_cast<std::uint8_t>(stamp >> 16);
  image[0x2015A] = static_cast<std::uint8_t>(stamp >> 8);
  image[0x2015B] = static_cast<std::uint8_t>(stamp);
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (file && !bytes.empty())
    std::fwrite(bytes.data(), 1, bytes.size(), file.get());
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file)
    return bytes;
  std::uint8_t chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  return bytes;
}

std::string ReadFileText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> ExpectedDeviceImage(std::vector<std::uint8_t> image,
                                              const std::vector<std::uint8_t>& firstAddress,
                                              int count) {
  // Computed as a 48-bit number, independently of MacAddress::Increment.
  std::uint64_t value = 0;
  for (std::uint8_t octet : firstAddress)
    value = value << 8 | octet;
  std::size_t offset = image.size() - 0x10000;
  for (int j = 0; j < count; ++j) {
    const std::uint64_t address = (value + j) & 0xFFFFFFFFFFFFull;
    for (int i = 0; i < 6; ++i)
      image[offset++] = static_cast<std::uint8_t>(address >> (40 - 8 * i));
  }
  return image;
}

}  // namespace quillmark::test
