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

// How a program run to its end went: its exit status and the bytes it
// wrote to its standard output and error (files, not a console).
struct ProgramResult {
  bool ended = false;  // false when it had to be killed after the time-out
  DWORD exitCode = 0;
  std::string out;
  std::string err;
};

// Runs a program with these arguments (UTF-8, quoted as the C runtime
// splits them) and waits for it at most timeoutMs; one still running then
// is killed.
ProgramResult RunProgram(const std::wstring& program, const std::vector<std::string>& args,
                         DWORD timeoutMs = 120000);

// A program in this test program's folder.
std::wstring ProgramBeside(const std::wstring& name);

}  // namespace quillmark::test
