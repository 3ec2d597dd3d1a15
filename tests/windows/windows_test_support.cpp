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
