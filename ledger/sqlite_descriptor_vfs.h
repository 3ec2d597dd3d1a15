#pragma once

#include <memory>
#include <string>

namespace quillmark::ledger {

// An SQLite database reached through a file descriptor the caller holds,
// never through a name: what SQLite writes cannot be sent elsewhere by a
// link or another file put under the name meanwhile. Only the main
// database file is opened, with no journal and no locks beside it (the
// file is the caller's alone until it is put in place); SQLite never
// opens, looks at or removes another file for it.
//
// While the object lives, sqlite3_open_v2(Name(), …, Vfs()) opens the
// database in the descriptor, which stays the caller's to close.
class DescriptorDatabase {
 public:
  explicit DescriptorDatabase(int fd);
  ~DescriptorDatabase();
  DescriptorDatabase(const DescriptorDatabase&) = delete;
  DescriptorDatabase& operator=(const DescriptorDatabase&) = delete;

  const std::string& Name() const { return m_name; }
  static const char* Vfs();
  // The errno of the last read, write, truncation or flush of the file
  // that failed; 0 when none did.
  int LastError() const;

  struct Target;

 private:
  std::unique_ptr<Target> m_target;
  std::string m_name;
};

}  // namespace quillmark::ledger
