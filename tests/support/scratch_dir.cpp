#include "scratch_dir.h"

#include <algorithm>
#include <filesystem>
#include <random>

namespace quillmark::test {

ScratchDir::ScratchDir() {
  // TMPDIR, else /tmp (on Windows, the user's temporary folder).
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error)
    return;
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate =
        base / ("quillmark-test-" + std::to_string(random() % 100000000));
    if (std::filesystem::create_directory(candidate, error)) {
      m_path = candidate.string();
      return;
    }
  }
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
