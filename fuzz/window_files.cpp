#include "window_files.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fuzz_check.h"

namespace quillmark::fuzz {

FileHandle WindowFiles::OpenForReading(const std::string& path) {
  if (!hasImage || path != kImagePath)
    return kNoFile;
  Require(openFiles == 0, "the image is opened once per request");
  ++openFiles;
  return kImageHandle;
}

std::optional<std::uint64_t> WindowFiles::SizeOf(FileHandle file) {
  Require(file == kImageHandle && openFiles == 1, "size asked of the open image");
  return imageSize;
}

std::uint64_t WindowFiles::ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) {
  Require(file == kImageHandle && openFiles == 1, "read from the open image");
  Require(size == imageSize, "one read request of the whole image");
  const std::uint64_t delivered = std::min(size, deliveredBytes.value_or(size));
  for (const Region& region : regions) {
    if (region.offset >= delivered)
      continue;
    const std::uint64_t count =
        std::min<std::uint64_t>(region.bytes.size(), delivered - region.offset);
    std::memcpy(buffer + region.offset, region.bytes.data(), count);
  }
  return delivered;
}

bool WindowFiles::Close(FileHandle file) {
  Require(file == kImageHandle && openFiles == 1, "only the open image is closed");
  --openFiles;
  return true;
}

std::unique_ptr<std::uint8_t[]> WindowFiles::AllocateImage(std::size_t size) {
  ++allocations;
  largestAllocation = std::max<std::uint64_t>(largestAllocation, size);
  // Left uninitialised on purpose: filling 16 MiB would cost more than the
  // checks themselves.
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace quillmark::fuzz
