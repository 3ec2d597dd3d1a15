#pragma once

#include <string>

#include "byte_source.h"
#include "platform_file.h"

namespace quillmark::labels {

// Writes the printer's bytes to path under a hidden temporary name in its
// folder, piece by piece as they are made, and renames it there once every
// byte is on disk; a write that fails takes the hidden file with it. A path that is
// the manifest (the same file, by any name), a directory, or anything but
// a regular file (a device node, a FIFO) is refused before anything is
// written. "" or the one line that refuses it; a file already under path
// stays as it was whenever nothing new could be put there.
std::string WriteZplFile(const std::string& path, const ByteSource& bytes,
                         const std::string& manifestPath, PlatformFiles& files);

}  // namespace quillmark::labels
