#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include "platform_file.h"

namespace quillmark::test {

// Stands in for cloning where the file system cannot share data: an
// in-kernel copy of all of source's bytes into target.
inline bool CopyWholeFile(FileHandle target, FileHandle source) {
  struct stat info {};
  if (::fstat(static_cast<int>(source), &info) != 0)
    return false;
  loff_t in = 0, out = 0;
  for (off_t left = info.st_size; left > 0;) {
    const ssize_t moved = ::copy_file_range(static_cast<int>(source), &in, static_cast<int>(target),
                                            &out, static_cast<std::size_t>(left), 0);
    if (moved <= 0)
      return false;
    left -= moved;
  }
  return true;
}

}  // namespace quillmark::test
