#pragma once

#include <string>

namespace quillmark {

// A path's folder and the name in it, as the file calls need them.
struct PathParts {
  std::string folder;  // "." for a bare name; a root keeps its separator ("/", "C:\")
  std::string name;
};

// Splits at the last separator (on Windows the slash counts too). A
// Windows drive's root keeps its backslash ("C:\" is the root, "C:" the
// drive's current folder); "C:name" lies in "C:.".
PathParts SplitPath(const std::string& path);

// The folder and a name in it, with one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quillmark
