#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

inline constexpr std::int64_t kMacBlockSize = 0x10000;  // the last 64 KiB of an image

bool IsAcceptedImageSize(std::uint64_t size);

enum class ImageVerdict {
  Accepted,
  Unparsable,   // a signature byte differs
  BuildTooOld,  // "link" build stamp below the oldest supported one
};

// Looks only at the signature bytes and the build stamp; image must hold
// an accepted size's worth of bytes.
ImageVerdict CheckImageContents(const std::uint8_t* image);

// True when any of the size bytes from offset is one CheckImageContents
// reads (a signature byte, the "link" text or the build stamp).
bool TouchesCheckedBytes(std::uint64_t offset, std::uint64_t size);

// Which check an image that is not accepted failed, as one line: the
// offset, the byte found and the byte required, or the build stamp.
std::string ImageProblemText(const std::uint8_t* image);

}  // namespace quillmark
