#pragma once

#include <cstdint>
#include <string>

#include "platform_file.h"

namespace quillmark {

enum class ReplaceOutcome {
  Replaced,      // every byte is in place under the final name
  CreateFailed,  // the file could not be created or renamed into place
  WriteFailed,   // short write, failed flush or close; nothing is left under the final name
};

// The hidden name a file is written under until all of it is there.
std::string TemporaryPathFor(const std::string& directory, const std::string& fileName);

// Writes data under tempPath and renames it onto path only once all of it
// is written, so a reader (or a crash) never finds a partial file under
// path. With durable, the data reaches the disk before the rename.
ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable);

}  // namespace quillmark
