#include "win32_path.h"

#include <windows.h>

#include <vector>

namespace quillmark {
namespace {

// CreateDirectoryW's limit, a little below MAX_PATH: from here on a path
// takes the \\?\ form.
constexpr std::size_t kClassicPathLimit = MAX_PATH - 12;

std::optional<std::wstring> FullWidePath(const std::wstring& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0)
      return std::nullopt;
    if (length < buffer.size())
      return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
}

}  // namespace

std::optional<std::wstring> ToWide(std::string_view utf8) {
  if (utf8.empty())
    return std::wstring();
  const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0)
    return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), length);
  return wide;
}

std::string ToUtf8(std::wstring_view wide) {
  if (wide.empty())
    return std::string();
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
  if (length <= 0)
    return std::string();
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
  return utf8;
}

std::optional<std::wstring> ToWidePath(const std::string& path) {
  // A NUL would end the name early: the call would reach another file.
  if (path.find('\0') != std::string::npos)
    return std::nullopt;
  std::optional<std::wstring> wide = ToWide(path);
  if (!wide || wide->size() < kClassicPathLimit || wide->rfind(L"\\\\?\\", 0) == 0)
    return wide;
  // The \\?\ form is taken as it stands, so it needs the full path with
  // backslashes only.
  const std::optional<std::wstring> full = FullWidePath(*wide);
  if (!full)
    return std::nullopt;
  if (full->rfind(L"\\\\", 0) == 0)
    return full->rfind(L"\\\\.\\", 0) == 0 ? *full : L"\\\\?\\UNC\\" + full->substr(2);
  return L"\\\\?\\" + *full;
}

std::optional<std::string> FullPath(const std::string& path) {
  if (path.find('\0') != std::string::npos)
    return std::nullopt;
  const std::optional<std::wstring> wide = ToWide(path);
  if (!wide || wide->empty())
    return std::nullopt;
  const std::optional<std::wstring> full = FullWidePath(*wide);
  if (!full)
    return std::nullopt;
  return ToUtf8(*full);
}

HANDLE OpenForQuery(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return INVALID_HANDLE_VALUE;
  return ::CreateFileW(name->c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace quillmark
