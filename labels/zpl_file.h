#pragma once

#include <string>
#include <string_view>

#include "platform_file.h"

namespace quillmark::labels {

// Writes the printer's bytes to path under a hidden temporary name in its
// folder and renames it there once every byte is on disk. A path that is
// the manifest (the same file, by any name), a directory, or anything but
// a regular file (a device node, a FIFO) is refused before anything is
// written. "" or the one line that refuses it; a file already under path
// stays as it was whenever nothing new could be put there.
std::string WriteZplFile(const std::string& path, std::string_view bytes,
                         const std::string& manifestPath, PlatformFiles& files);

}  // namespace quillmark::labels
