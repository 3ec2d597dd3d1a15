#include "path_parts.h"

#include "platform_file.h"

namespace quillmark {
namespace {

constexpr bool kDriveLetters = kPathSeparator == '\\';

// Length of a leading "X:" on Windows, else 0.
std::size_t DrivePrefix(const std::string& path) {
  if (!kDriveLetters || path.size() < 2 || path[1] != ':')
    return 0;
  const char letter = path[0];
  return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z') ? 2 : 0;
}

std::size_t LastSeparator(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsPathSeparator(path[i - 1]))
      return i - 1;
  }
  return std::string::npos;
}

}  // namespace

PathParts SplitPath(const std::string& path) {
  const std::size_t drive = DrivePrefix(path);
  const std::size_t separator = LastSeparator(path);
  if (separator == std::string::npos) {
    if (drive == 0)
      return {".", path};
    return {path.substr(0, drive) + '.', path.substr(drive)};
  }
  // The root's separator (of the drive, if one is named) stays with it.
  const bool root = separator == drive;
  return {path.substr(0, root ? separator + 1 : separator), path.substr(separator + 1)};
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || IsPathSeparator(folder.back()))
    return folder + name;
  if (DrivePrefix(folder) == folder.size())
    return folder + name;
  return folder + kPathSeparator + name;
}

}  // namespace quillmark
