#include "sqlite_access.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "interface_text.h"
#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

bool Allowed(const std::string& path, int mode) {
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

std::string Why(int error) {
  return error == EACCES || error == EPERM ? std::string(Pick({"权限不足", "permission denied"}))
                                           : std::string(std::strerror(error));
}

// "the ledger: why", or "the ledger: the file that refused: why".
std::string What(const std::string& ledger, const std::string& file, int error) {
  return (file == ledger ? ledger : ledger + ": " + file) + ": " + Why(error);
}

LedgerError Unreadable(const std::string& ledger, const std::string& file, int error) {
  return Fault(LedgerFault::Denied,
               Fill({"无法读取账本！%1（须能读取账本及其 -wal 与 -shm 文件）",
                     "The ledger cannot be read: %1 (reading it needs the ledger and its -wal and "
                     "-shm files readable)"},
                    {What(ledger, file, error)}));
}

LedgerError Unwritable(const std::string& ledger, const std::string& file, int error) {
  return Fault(LedgerFault::Denied,
               Fill({"无法写入账本！%1（写入须能写账本、其 -wal 与 -shm 文件及所在目录；"
                     "几个账户共用账本请用 ledger init --group）",
                     "The ledger cannot be written: %1 (writing needs the ledger, its -wal and "
                     "-shm files and its folder writable; for a ledger several accounts share, "
                     "see ledger init --group)"},
                    {What(ledger, file, error)}));
}

// Whether the effective user may read (and write) the file.
std::optional<LedgerError> Judge(const std::string& ledger, const std::string& file, bool write) {
  if (Allowed(file, write ? R_OK | W_OK : R_OK))
    return std::nullopt;
  const int error = errno;
  if (write && Allowed(file, R_OK))
    return Unwritable(ledger, file, error);
  return Unreadable(ledger, file, error);
}

std::optional<gid_t> GroupId(const std::string& group) {
  std::vector<char> buffer(16384);
  struct group entry {};
  struct group* found = nullptr;
  if (::getgrnam_r(group.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->gr_gid;
  if (group.empty() || group.size() > 9 ||
      group.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return static_cast<gid_t>(std::stoul(group));
}

Status SetGroupFailure(const std::string& path, const std::string& group) {
  return Fault(LedgerFault::Failed,
               Fill({"无法将 %1 交给组 %2：%3", "Cannot give %1 to the group %2: %3"},
                    {path, group, Why(errno)}));
}

// Gives the folder or file to the group with the mode; chmod after chown,
// which may clear the setgid bit.
bool GiveToGroup(const std::string& path, gid_t gid, mode_t mode) {
  return ::chown(path.c_str(), static_cast<uid_t>(-1), gid) == 0 &&
         ::chmod(path.c_str(), mode) == 0;
}

// Whether the folder holds nothing but the ledger's own files.
bool HoldsOnlyTheLedger(const std::filesystem::path& folder, const std::string& name) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string entryName = entry.path().filename().string();
    if (entryName != name && entryName != name + "-wal" && entryName != name + "-shm" &&
        entryName != name + "-journal")
      return false;
  }
  return !error;
}

}  // namespace

std::optional<LedgerError> SqliteAccessProblem(const std::string& path, bool write) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    if (errno == ENOENT)
      return LedgerMissingError(path);
    return Unreadable(path, path, errno);
  }
  if (std::optional<LedgerError> refused = Judge(path, path, write))
    return refused;
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty())
    folder = ".";
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string file = path + suffix;
    if (::stat(file.c_str(), &status) == 0) {
      if (std::optional<LedgerError> refused = Judge(path, file, write))
        return refused;
    } else if (errno == ENOENT && !Allowed(folder, W_OK)) {
      // SQLite makes the file at the first connection; an account that
      // may not write in the folder cannot.
      const int error = errno;
      if (write)
        return Unwritable(path, folder, error);
      return Fault(LedgerFault::Denied,
                   Fill({"无法读取账本！%1：%2 不存在，且不能在目录 %3 中创建（%4）；"
                         "有写权限的账户运行一次账本命令（如 ledger init）即会创建它",
                         "The ledger cannot be read: %1: %2 is missing and cannot be made in the "
                         "folder %3 (%4); any ledger command run once by an account that may "
                         "write (such as ledger init) makes it"},
                        {path, file, folder, Why(error)}));
    }
  }
  return std::nullopt;
}

Status PrepareSharedLedgerFiles(const std::string& path, const std::string& group) {
  const std::optional<gid_t> gid = GroupId(group);
  if (!gid)
    return Fault(LedgerFault::InvalidRequest,
                 Fill({"没有这个组：%1", "There is no such group: %1"}, {group}));
  const std::filesystem::path ledgerFolder = std::filesystem::path(path).parent_path();
  std::vector<std::filesystem::path> missing;
  struct stat status {};
  for (std::filesystem::path folder = ledgerFolder; !folder.empty() && folder != folder.root_path();
       folder = folder.parent_path()) {
    if (::lstat(folder.c_str(), &status) == 0)
      break;
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::mkdir(folder->c_str(), 0700) != 0 || !GiveToGroup(*folder, *gid, 02770))
      return SetGroupFailure(folder->string(), group);
  }
  // A folder that holds other files too is left as it is: its owner
  // decides who may write in it.
  if (missing.empty() && !ledgerFolder.empty() &&
      HoldsOnlyTheLedger(ledgerFolder, std::filesystem::path(path).filename().string()) &&
      !GiveToGroup(ledgerFolder, *gid, 02770))
    return SetGroupFailure(ledgerFolder.string(), group);
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0)
    return SetGroupFailure(path, group);
  const bool given = ::fchown(file, static_cast<uid_t>(-1), *gid) == 0 && ::fchmod(file, 0660) == 0;
  ::close(file);
  if (!given)
    return SetGroupFailure(path, group);
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string companion = path + suffix;
    if (::lstat(companion.c_str(), &status) == 0 && !GiveToGroup(companion, *gid, 0660))
      return SetGroupFailure(companion, group);
  }
  return Done{};
}

}  // namespace quillmark::ledger
