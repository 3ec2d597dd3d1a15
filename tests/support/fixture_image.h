#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

inline constexpr std::uint32_t k4MiB = 0x400000;
inline constexpr std::uint32_t k8MiB = 0x800000;
inline constexpr std::uint32_t k16MiB = 0x1000000;

// An image that passes every check: the signature bytes set and a
// recognisable pattern elsewhere, so a misplaced byte shows.
std::vector<std::uint8_t> MakeValidImage(std::uint32_t size);

// Sets the "link" build text and its big-endian build stamp.
void SetLinkStamp(std::vector<std::uint8_t>& image, const char* text, std::uint32_t stamp);

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// The whole file as text, or "" when it cannot be read.
std::string ReadFileText(const std::string& path);

// The image with the records of addresses first, first+1, ... (count of
// them) at the start of its last 64 KiB.
std::vector<std::uint8_t> ExpectedDeviceImage(std::vector<std::uint8_t> image,
                                              const std::vector<std::uint8_t>& firstAddress,
                                              int count);

}  // namespace quillmark::test
