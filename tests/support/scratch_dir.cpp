#include "scratch_dir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace quillmark::test {

ScratchDir::ScratchDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillmark-test-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr)
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
  if (m_path.empty())
    return;
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(m_path, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> ScratchDir::List(const std::string& sub) const {
  std::vector<std::string> names;
  std::error_code ignored;
  const std::string folder = sub.empty() ? m_path : m_path + "/" + sub;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillmark::test
