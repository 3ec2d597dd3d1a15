#pragma once

#include <string>
#include <vector>

namespace quillmark::test {

// A fresh folder under the system's temporary folder, removed with all
// its contents when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }
  // Names in the folder (or a sub-folder), sorted, without "." and "..".
  std::vector<std::string> List(const std::string& sub = "") const;

 private:
  std::string m_path;
};

}  // namespace quillmark::test
