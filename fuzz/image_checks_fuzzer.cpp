// Arbitrary image contents near the checked offsets, one of the three
// image sizes or any other size, and optionally a short read: the request
// is accepted exactly when a reference reading of the signature and build
// stamp rules says so, with the expected message otherwise, and never
// reads outside the image (AddressSanitizer watches the buffer).
//
// Input: a mode byte (bits 0-1: 4, 8 or 16 MiB, or 3 for a size taken
// from the next 8 bytes; bit 2: a short read, its length from the next 4
// bytes), a fill byte for the window 0x1C000-0x20200, then the bytes at
// 0x1C000 (up to 0x100) and at 0x20000 (up to 0x200).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "job_acceptance.h"
#include "window_files.h"

namespace quillmark::fuzz {
namespace {

constexpr std::uint64_t kWindowStart = 0x1C000;
constexpr std::uint64_t kWindowEnd = 0x20200;
constexpr std::uint64_t kLowPart = 0x100;   // at 0x1C000
constexpr std::uint64_t kHighPart = 0x200;  // at 0x20000

class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  std::uint64_t Take(int byteCount) {
    std::uint64_t value = 0;
    for (int i = 0; i < byteCount; ++i)
      value |= std::uint64_t{TakeByte()} << (8 * i);
    return value;
  }
  std::uint8_t TakeByte() { return m_at < m_size ? m_data[m_at++] : 0; }
  std::size_t Left() const { return m_size - m_at; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
};

WindowFiles::Region ReadWindow(InputReader& input) {
  WindowFiles::Region window{
      kWindowStart, std::vector<std::uint8_t>(kWindowEnd - kWindowStart, input.TakeByte())};
  for (std::uint64_t i = 0; i < kLowPart && input.Left() > 0; ++i)
    window.bytes[i] = input.TakeByte();
  for (std::uint64_t i = 0; i < kHighPart && input.Left() > 0; ++i)
    window.bytes[0x20000 - kWindowStart + i] = input.TakeByte();
  return window;
}

// The acceptance rules for the image bytes, read off the window alone.
std::string ReferenceVerdict(const std::vector<std::uint8_t>& window) {
  const auto at = [&](std::uint64_t offset) { return window[offset - kWindowStart]; };
  const bool signature = at(0x1C000) == 0xD3 && at(0x1C001) == 0x57 && at(0x1C060) == 0x00 &&
                         at(0x20000) == 0x53 && at(0x20001) == 0x70 && at(0x20002) == 0xEB &&
                         at(0x20003) == 0x67;
  if (!signature)
    return "无法解析的文件！";
  const bool linkText = at(0x20183) == 'l' && at(0x20184) == 'i' && at(0x20185) == 'n' &&
                        at(0x20186) == 'k' && at(0x20187) == 0;
  const std::uint32_t stamp = std::uint32_t{at(0x20158)} << 24 | std::uint32_t{at(0x20159)} << 16 |
                              std::uint32_t{at(0x2015A)} << 8 | at(0x2015B);
  return linkText && stamp < 0x59F54B00 ? "解析文件出错！" : "";
}

}  // namespace
}  // namespace quillmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::Require;
  fuzz::InputReader input(data, size);
  const std::uint8_t mode = input.TakeByte();
  const std::uint64_t kSizes[] = {0x400000, 0x800000, 0x1000000};

  fuzz::WindowFiles files;
  files.hasImage = true;
  files.imageSize = (mode & 3) == 3 ? input.Take(8) : kSizes[mode & 3];
  const bool acceptedSize =
      files.imageSize == kSizes[0] || files.imageSize == kSizes[1] || files.imageSize == kSizes[2];
  if (mode & 4)
    files.deliveredBytes = acceptedSize ? input.Take(4) % files.imageSize : input.Take(4);
  files.regions.push_back(fuzz::ReadWindow(input));
  const std::vector<std::uint8_t>& window = files.regions.front().bytes;

  std::string expected;
  if (!acceptedSize)
    expected = "文件大小错误！" + std::to_string(files.imageSize);
  else if (files.deliveredBytes)
    expected = "读取文件出错！" + std::to_string(*files.deliveredBytes) + "/" +
               std::to_string(files.imageSize);
  else
    expected = fuzz::ReferenceVerdict(window);

  GenerationJob job;
  const JobRequestTexts texts{"04:57:55:00:00:00",
                              "1",
                              "1",
                              fuzz::WindowFiles::kImagePath,
                              fuzz::WindowFiles::kOutputDirectory,
                              ""};
  const JobVerdict verdict = AcceptJobRequest(job, texts, files);

  Require(files.openFiles == 0, "the image file is closed whatever the outcome");
  Require(acceptedSize ? files.largestAllocation == files.imageSize : files.allocations == 0,
          "memory only for an accepted size, exactly the image's");
  Require(verdict.accepted == expected.empty(), "accepted exactly when the rules say so");
  Require(verdict.message == expected, "the message the rules give");
  Require(verdict.style == MessageStyle::Plain, "image rejections are plain messages");
  Require(verdict.accepted == (job.imageBytes != nullptr), "an image is held only when accepted");
  if (verdict.accepted) {
    Require(static_cast<std::uint64_t>(job.imageSize) == files.imageSize, "the image size is kept");
    Require(
        std::memcmp(job.imageBytes.get() + fuzz::kWindowStart, window.data(), window.size()) == 0,
        "the loaded image holds the bytes that were read");
  }
  return 0;
}
