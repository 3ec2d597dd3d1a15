#include <windows.h>

#include "interface_text.h"
#include "printable_text.h"
#include "station_key.h"
#include "win32_path.h"

namespace quillmark::secrets {
namespace {

SecretResult<StationKey> Refused(const std::string& path, std::string_view why) {
  return SecretResult<StationKey>::Failed(EscapeControlCharacters(
      Fill({"站点密钥文件错误！%1：%2", "Cannot use the station key: %1: %2"}, {path, why})));
}

std::string SystemError(DWORD code) {
  return Fill({"系统错误 %1", "system error %1"}, {std::to_string(code)});
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : m_handle(handle) {}
  ~Handle() {
    if (m_handle != INVALID_HANDLE_VALUE)
      ::CloseHandle(m_handle);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return m_handle; }
  bool Close() {
    const HANDLE handle = m_handle;
    m_handle = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE m_handle;
};

}  // namespace

SecretResult<StationKey> CreateStationKey(const std::string& path, SecretSource& source) {
  StationKey key;
  if (std::string why = source.Read(key); !why.empty())
    return Refused(path, why);
  const std::optional<std::wstring> wide = ToWidePath(path);
  if (!wide)
    return Refused(path, Pick({"文件名不是有效的 UTF-8", "the name is not valid UTF-8"}));
  // CREATE_NEW fails on anything under the name, a link included.
  Handle file(::CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return Refused(path, SystemError(::GetLastError()));
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file.get(), key.data(), static_cast<DWORD>(key.size()), &written, nullptr) != 0 &&
      written == key.size() && ::FlushFileBuffers(file.get()) != 0;
  const DWORD error = ::GetLastError();
  if (!file.Close() || !ok) {
    ::DeleteFileW(wide->c_str());
    return Refused(path, SystemError(error));
  }
  return SecretResult<StationKey>::Of(key);
}

SecretResult<StationKey> ReadStationKey(const std::string& path) {
  const std::optional<std::wstring> wide = ToWidePath(path);
  if (!wide)
    return Refused(path, Pick({"文件名不是有效的 UTF-8", "the name is not valid UTF-8"}));
  Handle file(::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return Refused(path, SystemError(::GetLastError()));
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file.get(), &info) == 0)
    return Refused(path, SystemError(::GetLastError()));
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
    return Refused(path, Pick({"不是普通文件", "it is not a regular file"}));
  StationKey key;
  if (info.nFileSizeHigh != 0 || info.nFileSizeLow != key.size())
    return Refused(path,
                   Fill({"应为 %1 字节", "it should hold %1 bytes"}, {std::to_string(key.size())}));
  DWORD read = 0;
  if (::ReadFile(file.get(), key.data(), static_cast<DWORD>(key.size()), &read, nullptr) == 0 ||
      read != key.size())
    return Refused(path, SystemError(::GetLastError()));
  return SecretResult<StationKey>::Of(key);
}

}  // namespace quillmark::secrets
