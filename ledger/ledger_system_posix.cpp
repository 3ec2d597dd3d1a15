#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "interface_text.h"
#include "ledger.h"
#include "ledger_system.h"
#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_dir;
  return "";
}

// The per-user default is for its user alone: each folder missing on the
// way is made 0700 and the file 0600 (empty, for the ledger's creation to
// fill), whatever the umask. What cannot be made is left to the ledger's
// creation to report.
void CreatePrivateLedgerFile(const std::string& path) {
  std::vector<std::filesystem::path> missing;
  struct stat status {};
  for (std::filesystem::path folder = std::filesystem::path(path).parent_path();
       !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
    if (::lstat(folder.c_str(), &status) == 0)
      break;
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::mkdir(folder->c_str(), 0700) != 0)
      return;
    // The umask may have taken the owner's bits too.
    ::chmod(folder->c_str(), 0700);
  }
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0)
    return;
  ::fchmod(file, 0600);
  ::close(file);
}

}  // namespace

Result<std::string> DefaultLedgerPath() {
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
    base = data;
  } else {
    const std::string home = HomeFolder();
    if (home.empty())
      return Fault(
          LedgerFault::InvalidRequest,
          std::string(Pick({"无法确定默认账本的位置！HOME 未设置",
                            "Cannot tell where the default ledger is: HOME is not set."})));
    base = home + "/.local/share";
  }
  return base + "/quillmark/ledger.sqlite3";
}

std::optional<Result<std::string>> BuiltInLedgerPath(std::string_view word) {
  if (word == "default")
    return DefaultLedgerPath();
  return std::nullopt;
}

std::string SystemUserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return "uid " + std::to_string(::geteuid());
}

std::string DefaultStationName() {
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
    return "localhost";
  return name.data();
}

Status PrepareLedgerFile(const std::string& path) {
  if (Result<std::string> own = DefaultLedgerPath(); own && own.value() == path)
    CreatePrivateLedgerFile(path);
  return Done{};
}

Status GiveLedgerPermissions(const std::string& ledgerPath, FileHandle copyFile,
                             const std::string& shownAs) {
  struct stat ledger {};
  if (::stat(ledgerPath.c_str(), &ledger) != 0 ||
      ::fchmod(static_cast<int>(copyFile), ledger.st_mode & 0777) != 0)
    return LedgerError{LedgerFault::Unavailable,
                       BackupNotWrittenText(shownAs, FileErrorText(errno)),
                       std::nullopt,
                       {}};
  return Done{};
}

std::string PostgresRefusal() {
  return {};
}

}  // namespace quillmark::ledger
