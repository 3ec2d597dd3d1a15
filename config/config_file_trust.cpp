#include "config_file_trust.h"

#include "interface_text.h"
#include "printable_text.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace quillmark {

#ifdef _WIN32

ConfigFileTrust JudgeConfigFile(const std::string&) {
  return {};
}

#else

namespace {

std::string Resolved(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr)
    return {};
  std::string text(resolved);
  std::free(resolved);
  return text;
}

std::string Refusal(const std::string& path, const std::string& why) {
  return EscapeControlCharacters(
      Fill({"配置文件错误！%1：%2", "Cannot use the station configuration: %1: %2"}, {path, why}));
}

bool OwnerTrusted(const struct stat& info) {
  return info.st_uid == 0 || info.st_uid == ::geteuid();
}

// Why the object at an absolute, resolved path is not to be believed, or "".
std::string Judge(const std::string& shown, const std::string& target, bool folder) {
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0)
    return Refusal(shown, std::string(Pick({"无法读取", "cannot be read"})));
  const std::string word = ShellWord(target);
  if (!OwnerTrusted(info))
    return Refusal(shown, folder ? Fill({"所在目录 %1 的所有者既不是 root 也不是当前用户"
                                         "（请运行 chown root %2）",
                                         "the folder %1 belongs to neither root nor the user "
                                         "running this (run chown root %2)"},
                                        {target, word})
                                 : Fill({"其所有者既不是 root 也不是当前用户（请运行 chown "
                                         "root %1）",
                                         "it belongs to neither root nor the user running "
                                         "this (run chown root %1)"},
                                        {word}));
  const bool sticky = folder && (info.st_mode & S_ISVTX) != 0;
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !sticky)
    return Refusal(shown, folder ? Fill({"所在目录 %1 可被其他用户修改（请运行 chmod go-w %2）",
                                         "the folder %1 can be changed by other users (run "
                                         "chmod go-w %2)"},
                                        {target, word})
                                 : Fill({"其他用户可以修改它（请运行 chmod go-w %1）",
                                         "other users can change it (run chmod go-w %1)"},
                                        {word}));
  return "";
}

// The folders from the one holding the resolved path up to "/".
std::string JudgeFolders(const std::string& shown, std::string resolved) {
  while (resolved.size() > 1) {
    const std::size_t slash = resolved.rfind('/');
    resolved = slash == 0 ? std::string("/") : resolved.substr(0, slash);
    if (std::string refusal = Judge(shown, resolved, true); !refusal.empty())
      return refusal;
  }
  return "";
}

}  // namespace

ConfigFileTrust JudgeConfigFile(const std::string& path) {
  ConfigFileTrust trust;
  const std::string resolved = Resolved(path);
  struct stat info {};
  if (resolved.empty() || ::stat(resolved.c_str(), &info) != 0) {
    trust.refusal = Refusal(path, std::string(Pick({"无法读取", "cannot be read"})));
    return trust;
  }
  trust.refusal = Judge(path, resolved, false);
  if (trust.refusal.empty())
    trust.refusal = JudgeFolders(path, resolved);
  // A link is only as safe as the folder it stands in.
  struct stat link {};
  if (trust.refusal.empty() && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = Resolved(slash == std::string::npos ? "."
                                        : slash == 0               ? "/"
                                                                   : path.substr(0, slash));
    trust.refusal = folder.empty()
                        ? Refusal(path, std::string(Pick({"无法读取", "cannot be read"})))
                        : JudgeFolders(path, folder + "/link");
  }
  trust.identity = FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                                static_cast<std::uint64_t>(info.st_ino)};
  return trust;
}

#endif

}  // namespace quillmark
