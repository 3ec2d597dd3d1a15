#pragma once

#include <optional>
#include <string>

#include "platform_file.h"

namespace quillmark {

// Whether a configuration file can be believed, as ssh and sudo judge
// theirs: a file another user could change would let that user point the
// next run, root's included, at a ledger or a range of their choosing.
struct ConfigFileTrust {
  std::string refusal;  // one line naming the file and the fix; empty when trusted
  // The file judged: what is read must be this file. Empty where the
  // platform has no owner and mode to judge (Windows, whose folders carry
  // access lists instead: the check is left to how they are set up).
  std::optional<FileIdentity> identity;
};

// On POSIX systems the file and every folder above it (its links
// followed, and the folders of the link itself) must belong to root or to
// the user running this, and none may be writable by its group or others;
// a folder with the sticky bit (/tmp) may be, as no one else can replace
// what is in it.
ConfigFileTrust JudgeConfigFile(const std::string& path);

}  // namespace quillmark
