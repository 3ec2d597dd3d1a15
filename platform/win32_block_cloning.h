#pragma once

#include <windows.h>

#include <string>

#include "platform_file.h"

namespace quillmark {

// True when the folder's volume says it can share blocks between files
// (ReFS on Windows Server 2016 and later, Windows 11's Dev Drive).
bool VolumeSharesBlocks(const std::string& directory);

// Makes target, a new empty file on the same volume, share all of
// source's blocks. Refused where the volume cannot; target is then
// empty again.
CloneResult CloneBlocks(HANDLE target, HANDLE source);

}  // namespace quillmark
