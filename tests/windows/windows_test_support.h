#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace quillmark::test {

// A file held open by another program (an editor, a virus scanner), with
// the sharing it allows others.
class OpenedFile {
 public:
  OpenedFile(const std::string& path, DWORD share);
  ~OpenedFile();
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_handle;
};

// The process's current folder moved for one scope.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path);
  ~CurrentFolder();
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::wstring m_previous;
};

// The names in a folder, sorted, as the system spells them.
std::vector<std::wstring> WideNames(const std::wstring& folder);

}  // namespace quillmark::test
