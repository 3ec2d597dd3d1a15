// Writes a sample firmware image: a pseudo-random body (so no byte of a
// device's copy can pass for another by chance), the signature bytes, and
// a "link" build text with a build stamp new enough to be accepted.
//
//     quillmark-sample-image PATH [SIZE_MIB]     SIZE_MIB: 4 (default), 8 or 16
//
// The image is checked with the tool's own acceptance rules before it is
// written, and written under a temporary name then renamed, so a failed run
// never leaves a sample that looks complete.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image_checks.h"

namespace {

constexpr std::uint32_t kBuildStamp = 0x5A000000;  // newer than the oldest accepted build

std::vector<std::uint8_t> MakeSampleImage(std::uint32_t size) {
  std::vector<std::uint8_t> image(size);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (std::uint8_t& byte : image) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    byte = static_cast<std::uint8_t>(state);
  }
  image[0x1C000] = 0xD3;
  image[0x1C001] = 0x57;
  image[0x1C060] = 0x00;
  const std::uint8_t magic[] = {0x53, 0x70, 0xEB, 0x67};
  std::memcpy(&image[0x20000], magic, sizeof magic);
  for (int i = 0; i < 4; ++i)
    image[0x20158 + i] = static_cast<std::uint8_t>(kBuildStamp >> (24 - 8 * i));
  std::memcpy(&image[0x20183], "link", 5);
  return image;
}

bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr)
    return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

constexpr char kUsage[] = "usage: quillmark-sample-image PATH [4|8|16]\n";

}  // namespace

int main(int argc, char** argv) {
  // An option is never taken for a file name: --help asks for the usage,
  // and any other argument beginning with '-' is a mistyped option.
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') {
      const bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
      std::fputs(kUsage, help ? stdout : stderr);
      return help ? 0 : 2;
    }
  }
  if (argc < 2 || argc > 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string mib = argc == 3 ? argv[2] : "4";
  const std::uint32_t size = mib == "4"    ? 0x400000
                             : mib == "8"  ? 0x800000
                             : mib == "16" ? 0x1000000
                                           : 0;
  if (size == 0) {
    std::fprintf(stderr, "quillmark-sample-image: the size must be 4, 8 or 16 (MiB), not %s\n",
                 mib.c_str());
    return 2;
  }
  const std::vector<std::uint8_t> image = MakeSampleImage(size);
  if (quillmark::CheckImageContents(image.data()) != quillmark::ImageVerdict::Accepted) {
    std::fprintf(stderr, "quillmark-sample-image: the sample does not pass the image checks\n");
    return 1;
  }
  if (!WriteWhole(argv[1], image)) {
    std::fprintf(stderr, "quillmark-sample-image: cannot write %s: %s\n", argv[1],
                 std::strerror(errno));
    return 1;
  }
  return 0;
}
