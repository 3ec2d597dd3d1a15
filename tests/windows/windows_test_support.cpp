#include "windows_test_support.h"

#include <algorithm>

#include "win32_path.h"

namespace quillmark::test {

OpenedFile::OpenedFile(const std::string& path, DWORD share)
    : m_handle(::CreateFileW(ToWidePath(path).value_or(L"").c_str(), GENERIC_READ, share, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

OpenedFile::~OpenedFile() {
  if (IsOpen())
    ::CloseHandle(m_handle);
}

CurrentFolder::CurrentFolder(const std::string& path) {
  wchar_t previous[MAX_PATH * 4];
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, previous);
  m_previous.assign(previous, length < MAX_PATH * 4 ? length : 0);
  ::SetCurrentDirectoryW(ToWide(path).value_or(L"").c_str());
}

CurrentFolder::~CurrentFolder() {
  ::SetCurrentDirectoryW(m_previous.c_str());
}

std::vector<std::wstring> WideNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..")
      names.push_back(name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillmark::test

namespace quillmark::test {
namespace {

// One argument as the C runtime's command-line splitting takes it back:
// quoted when it holds a blank or a quote (or is empty), a quote and the
// backslashes before it escaped.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
    return argument;
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// A temporary file the child writes one of its streams into.
class CaptureFile {
 public:
  CaptureFile() {
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"qmk", 0, name);
    m_path = name;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    m_handle = ::CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr);
  }
  ~CaptureFile() {
    ::CloseHandle(m_handle);
    ::DeleteFileW(m_path.c_str());
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  HANDLE Handle() const { return m_handle; }
  std::string Contents() const {
    std::string bytes;
    ::SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(m_handle, buffer, sizeof buffer, &got, nullptr) && got > 0)
      bytes.append(buffer, got);
    return bytes;
  }

 private:
  std::wstring m_path;
  HANDLE m_handle;
};

}  // namespace

ProgramResult RunProgram(const std::wstring& program, const std::vector<std::string>& args,
                         DWORD timeoutMs) {
  std::wstring commandLine = Quoted(program);
  for (const std::string& argument : args)
    commandLine += L" " + Quoted(ToWide(argument).value_or(L""));
  CaptureFile out;
  CaptureFile err;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = out.Handle();
  startup.hStdError = err.Handle();
  PROCESS_INFORMATION process{};
  ProgramResult result;
  if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &process)) {
    result.ended = ::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!result.ended) {
      ::TerminateProcess(process.hProcess, 1);
      ::WaitForSingleObject(process.hProcess, INFINITE);
    }
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  ::CloseHandle(input);
  result.out = out.Contents();
  result.err = err.Contents();
  return result;
}

std::wstring ProgramBeside(const std::wstring& name) {
  wchar_t self[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

}  // namespace quillmark::test
