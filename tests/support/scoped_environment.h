#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace quillmark::test {

// An environment variable of the test's own process set (or unset, for
// nullptr) while the object lives, and put back as it was after.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name))
      m_old = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(m_old ? m_old->c_str() : nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Set(const char* value) {
    if (value)
      ::setenv(m_name.c_str(), value, 1);
    else
      ::unsetenv(m_name.c_str());
  }

  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace quillmark::test
