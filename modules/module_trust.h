#pragma once

#include <string>

struct stat;

// Whether a module can only have been put where it is by root or the user
// running the program, as the dynamic loader demands of what a privileged
// program loads: otherwise a user who can write the file or any folder on
// its way could make root run their code.
namespace quillmark::modules {

// Why the opened module file with this status may have been written by
// another user; empty when it cannot.
std::string UntrustedFileReason(const std::string& path, const struct stat& status);

// The same for FOLDER, a real path (no links), and every folder above it.
// Above the module's own folder a folder others can write is taken when it
// has the sticky bit (/tmp): there nobody can move or replace the entry of
// another user.
std::string UntrustedFolderReason(const std::string& folder);

}  // namespace quillmark::modules
