#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <lmcons.h>
#include <sddl.h>

#include <cstdlib>

#include "interface_text.h"
#include "ledger.h"
#include "ledger_system.h"
#include "postgres_module.h"
#include "win32_path.h"

namespace quillmark::ledger {
namespace {

// The station's ledger is written by every operator (BUILTIN\Users) and
// replaced, moved or removed by Administrators and SYSTEM alone. In its
// folder operators may list, read and create files (SQLite makes the -wal,
// -shm and -journal files beside the ledger as whoever opens it first) but
// remove none; the files they create are read and written by all of them
// and, through OWNER RIGHTS, give their creator no more than that.
constexpr wchar_t kStationFolderRights[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;BU)(A;OIIO;0x12019f;;;BU)"
    L"(A;OIIO;0x12019f;;;OW)";
constexpr wchar_t kStationFileRights[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019f;;;BU)";

std::string Environment(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0)
    return {};
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return ToUtf8(value);
}

Result<std::string> LedgerIn(const wchar_t* variable, const char* name) {
  const std::string folder = Environment(variable);
  if (folder.empty())
    return Fault(
        LedgerFault::InvalidRequest,
        Fill({"无法确定账本的位置！%1 未设置", "Cannot tell where the ledger is: %1 is not set."},
             {name}));
  return folder + "\\Quillmark\\ledger.sqlite3";
}

Result<std::string> StationLedgerPath() {
  return LedgerIn(L"ProgramData", "%ProgramData%");
}

struct SecurityDescriptor {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  explicit SecurityDescriptor(const wchar_t* sddl) {
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                nullptr))
      descriptor = nullptr;
  }
  ~SecurityDescriptor() { ::LocalFree(descriptor); }
  SecurityDescriptor(const SecurityDescriptor&) = delete;
  SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
};

// Gives the object behind handle the access list of sddl, in place of any
// it inherited.
bool SetRights(HANDLE handle, const wchar_t* sddl) {
  const SecurityDescriptor rights(sddl);
  if (rights.descriptor == nullptr)
    return false;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (!::GetSecurityDescriptorDacl(rights.descriptor, &present, &list, &defaulted) || !present)
    return false;
  return ::SetSecurityInfo(handle, SE_FILE_OBJECT,
                           DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                           nullptr, list, nullptr) == ERROR_SUCCESS;
}

bool SetRightsOf(const std::wstring& path, bool folder, const wchar_t* sddl) {
  const HANDLE handle =
      ::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  const bool set = SetRights(handle, sddl);
  ::CloseHandle(handle);
  return set;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

LedgerError RightsNotSet(const std::string& path) {
  return Fault(LedgerFault::Denied,
               Fill({"无法设置工位账本的访问权限！%1（请以管理员身份运行 ledger init station）",
                     "Cannot set the access rights of the station's ledger: %1 (run ledger init "
                     "station as an administrator)."},
                    {path}));
}

// The first `ledger init station`: the folder and the file, each with its
// rights. A ledger that exists is left as it is.
Status PrepareStationLedger(const std::string& path) {
  const std::optional<std::wstring> file = ToWidePath(path);
  if (!file)
    return Done{};
  if (::GetFileAttributesW(file->c_str()) != INVALID_FILE_ATTRIBUTES)
    return Done{};
  const std::wstring folder = FolderOf(*file);
  // %ProgramData% exists on every Windows; only the folder of our own is made.
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    return Done{};  // left to the ledger's creation to report
  if (!SetRightsOf(folder, true, kStationFolderRights))
    return RightsNotSet(path);
  const SecurityDescriptor rights(kStationFileRights);
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), rights.descriptor, FALSE};
  const HANDLE created = ::CreateFileW(file->c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0,
                                       &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (created == INVALID_HANDLE_VALUE)
    return Done{};
  const bool set = rights.descriptor != nullptr && SetRights(created, kStationFileRights);
  ::CloseHandle(created);
  if (!set) {
    ::DeleteFileW(file->c_str());
    return RightsNotSet(path);
  }
  return Done{};
}

}  // namespace

Result<std::string> DefaultLedgerPath() {
  return LedgerIn(L"LOCALAPPDATA", "%LOCALAPPDATA%");
}

std::optional<Result<std::string>> BuiltInLedgerPath(std::string_view word) {
  if (word == "default")
    return DefaultLedgerPath();
  if (word == "station")
    return StationLedgerPath();
  return std::nullopt;
}

Status PrepareLedgerFile(const std::string& path) {
  if (Result<std::string> station = StationLedgerPath(); station && station.value() == path)
    return PrepareStationLedger(path);
  // The per-user one: %LOCALAPPDATA% is its user's alone already.
  if (Result<std::string> own = DefaultLedgerPath(); own && own.value() == path) {
    if (const std::optional<std::wstring> file = ToWidePath(path))
      ::CreateDirectoryW(FolderOf(*file).c_str(), nullptr);
  }
  return Done{};
}

std::string SystemUserName() {
  wchar_t name[UNLEN + 1];
  DWORD size = UNLEN + 1;
  if (::GetUserNameW(name, &size) && size > 1)
    return ToUtf8(std::wstring_view(name, size - 1));
  return "unknown";
}

std::string DefaultStationName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (::GetComputerNameW(name, &size) && size > 0)
    return ToUtf8(std::wstring_view(name, size));
  return "localhost";
}

// The copy takes the rights of the folder it is made in.
// The copy takes its folder's access list, as every file made there does.
Status GiveLedgerPermissions(const std::string&, FileHandle, const std::string&) {
  return Done{};
}

std::string PostgresRefusal() {
  return std::string(
      Pick({"Windows版不能使用PostgreSQL账本！其libpq不含TLS，工厂账本不以明文连接；请用SQLite账本",
            "The Windows build cannot use a PostgreSQL ledger: its libpq would have no TLS, and a "
            "factory's ledger is not spoken to in clear text. Use an SQLite ledger."}));
}

// ParseLedgerLocation refuses every PostgreSQL location first; these are
// here for the code that names them.
Result<std::unique_ptr<Ledger>> OpenPostgresLedger(const LedgerLocation&) {
  return Fault(LedgerFault::Unavailable, PostgresRefusal());
}

Result<InitReport> InitPostgresLedger(const LedgerLocation&, int) {
  return Fault(LedgerFault::Unavailable, PostgresRefusal());
}

std::string ConnectionTextWithoutPassword(const std::string&) {
  return std::string(Pick({"（PostgreSQL连接字符串）", "(a PostgreSQL connection string)"}));
}

}  // namespace quillmark::ledger
