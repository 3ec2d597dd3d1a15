#pragma once

#include <memory>
#include <string>

#include "path_parts.h"
#include "platform_file.h"

namespace quillmark {

// The output folder as one run holds it: opened once when the run is
// claimed, every file of the run created, renamed and removed relative to
// it, and locked against every other run until the object goes (or its
// process dies: the system releases the lock).
class OutputFolder {
 public:
  OutputFolder(PlatformFiles& files, FolderHandle handle, std::string path,
               std::unique_ptr<PlatformFiles> ownFiles = nullptr);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  PlatformFiles& Files() const { return m_files; }
  FolderHandle Handle() const { return m_handle; }
  // The folder's path as the run names it in its texts: absolute, taken
  // once, so nothing that moves the current directory later redirects it.
  const std::string& Path() const { return m_path; }
  // The path of a file of the run, for its texts. Linux shows the folder
  // as typed, a trailing slash and all; a Windows folder is a full path,
  // whose separator ends it only at a drive's root ("D:\").
  std::string PathOf(const std::string& name) const {
    return kPathSeparator == '\\' ? JoinPath(m_path, name) : m_path + kPathSeparator + name;
  }
  // True while the path still names the folder the run holds: a folder
  // moved away, or replaced by another, ends the run.
  bool StillInPlace() const { return m_files.FolderStillAt(m_handle, m_path); }

 private:
  std::unique_ptr<PlatformFiles> m_ownFiles;
  PlatformFiles& m_files;
  FolderHandle m_handle;
  std::string m_path;
};

// A run's claim on its output folder, or why there is none.
struct [[nodiscard]] FolderClaim {
  std::unique_ptr<OutputFolder> folder;  // null when refused
  std::string refusal;                   // the one-line text to show then
};

// Claims the folder the job names (as typed; a relative one against the
// current directory) for one run, before its first device: opens it and
// takes its exclusive lock. Refused when another run holds it, or when it
// cannot be opened at all. Where the file system keeps no locks the run
// goes ahead unlocked, as it always did there.
FolderClaim ClaimOutputFolder(PlatformFiles& files, const std::string& directory);
// The same with the system's files, which the claimed folder keeps.
FolderClaim ClaimOutputFolder(const std::string& directory);

}  // namespace quillmark
