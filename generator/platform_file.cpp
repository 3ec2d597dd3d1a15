#include "platform_file.h"

#include <new>

namespace quillmark {

std::unique_ptr<std::uint8_t[]> PlatformFiles::AllocateImage(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

}  // namespace quillmark
