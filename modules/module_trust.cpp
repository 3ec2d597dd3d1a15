#include "module_trust.h"

#include <sys/stat.h>
#include <unistd.h>

#include "interface_text.h"

namespace quillmark::modules {
namespace {

bool TrustedOwner(uid_t owner) {
  return owner == 0 || owner == ::geteuid();
}

std::string OwnerReason(const std::string& path, const struct stat& status) {
  if (TrustedOwner(status.st_uid))
    return {};
  return Fill({"%1 属于另一个用户（uid %2）", "%1 belongs to another user (uid %2)"},
              {path, std::to_string(status.st_uid)});
}

std::string WritableReason(const std::string& path) {
  return Fill({"%1 可被其他用户写入", "%1 can be written by other users"}, {path});
}

}  // namespace

std::string UntrustedFileReason(const std::string& path, const struct stat& status) {
  if (!S_ISREG(status.st_mode))
    return Fill({"%1 不是普通文件", "%1 is not a regular file"}, {path});
  if (std::string reason = OwnerReason(path, status); !reason.empty())
    return reason;
  if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return WritableReason(path);
  return {};
}

std::string UntrustedFolderReason(const std::string& folder) {
  std::string path = folder.empty() ? "/" : folder;
  for (bool own = true;; own = false) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
      return Fill({"%1 不是可读取的文件夹", "%1 is not a folder that can be read"}, {path});
    if (std::string reason = OwnerReason(path, status); !reason.empty())
      return reason;
    const bool othersWrite = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    if (othersWrite && (own || (status.st_mode & S_ISVTX) == 0))
      return WritableReason(path);
    if (path == "/")
      return {};
    const std::size_t slash = path.rfind('/');
    path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
  }
}

}  // namespace quillmark::modules
