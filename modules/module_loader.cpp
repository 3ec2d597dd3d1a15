#include "module_loader.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "interface_text.h"
#include "module_build_stamp.h"
#include "module_file.h"
#include "module_interface.h"
#include "module_trust.h"
#include "quillmark_version.h"

namespace quillmark::modules {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string FindModule(const char* fileName) {
  std::vector<std::string> folders;
  // Without /proc the program's own folder is unknown; the installed folder
  // is still where a packaged module is.
  if (const std::string programFolder = ExecutableFolder(); !programFolder.empty())
    folders = {programFolder, programFolder + "/" QUILLMARK_MODULE_DIR_FROM_BIN};
  folders.push_back(InstalledModuleFolder());
  for (const std::string& folder : folders) {
    const std::string path = folder + "/" + fileName;
    if (IsRegularFile(path))
      return path;
  }
  return {};
}

std::string RealPath(const std::string& path) {
  std::array<char, PATH_MAX> resolved{};
  return ::realpath(path.c_str(), resolved.data()) ? std::string(resolved.data()) : std::string();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

class Descriptor {
 public:
  explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
  ~Descriptor() {
    if (m_descriptor >= 0)
      ::close(m_descriptor);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_descriptor; }

 private:
  int m_descriptor;
};

LoadedModule Refuse(ModuleStatus status, std::string error) {
  return {.status = status, .entry = nullptr, .error = std::move(error)};
}

LoadedModule OtherBuild(const ModuleRequest& wanted, const std::string& path) {
  return Refuse(ModuleStatus::Unusable,
                Fill({"%1 %2 属于另一个构建，与 quillmark %3 不符：请重新安装软件包 %4",
                      "The %1 %2 belongs to another build, not quillmark %3: reinstall the "
                      "package %4"},
                     {wanted.what, path, QUILLMARK_VERSION, wanted.package}));
}

// Everything that can be known of the file without running any of it: who
// can have put it there, that it is whole, and that it is of this build.
// The real path is checked and later opened, so a link swapped meanwhile
// changes nothing; nobody but root and this user can change what it names.
LoadedModule CheckFile(const ModuleRequest& wanted, const std::string& found,
                       const std::string& path) {
  std::string reason = UntrustedFolderReason(FolderOf(path));
  if (const std::string linkFolder = RealPath(FolderOf(found));
      reason.empty() && linkFolder != FolderOf(path))
    reason = UntrustedFolderReason(linkFolder);
  const Descriptor file(
      reason.empty() ? ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC) : -1);
  struct stat status {};
  if (reason.empty() && (file.get() < 0 || ::fstat(file.get(), &status) != 0))
    reason = Fill({"%1 无法打开：%2", "%1 cannot be opened: %2"}, {path, std::strerror(errno)});
  if (reason.empty())
    reason = UntrustedFileReason(path, status);
  if (!reason.empty())
    return Refuse(
        ModuleStatus::Unusable,
        Fill({"不使用%1 %2：%3；模块及其上各级文件夹须属于 root 或当前用户，且只有所有者可写",
              "The %1 %2 is not used: %3; a module and every folder above it must "
              "belong to root or the running user and be writable only by their owner"},
             {wanted.what, found, reason}));
  const ModuleFile contents = ReadModuleFile(file.get());
  if (!contents.whole)
    return Refuse(ModuleStatus::Unusable,
                  Fill({"%1 %2 已损坏或不完整：请重新安装软件包 %3",
                        "The %1 %2 is damaged or incomplete: reinstall the package %3"},
                       {wanted.what, found, wanted.package}));
  if (contents.buildId != std::string_view(kModuleBuildId, sizeof kModuleBuildId))
    return OtherBuild(wanted, found);
  return {.status = ModuleStatus::Loaded, .entry = nullptr, .error = {}};
}

LoadedModule Open(const ModuleRequest& wanted) {
  const std::string found = FindModule(wanted.fileName);
  if (found.empty())
    return Refuse(ModuleStatus::NotInstalled,
                  Fill({"未安装%1（%2）：请安装软件包 %3",
                        "The %1 (%2) is not installed: install the package %3"},
                       {wanted.what, wanted.fileName, wanted.package}));
  const std::string path = RealPath(found);
  if (path.empty())
    return Refuse(ModuleStatus::Unusable,
                  Fill({"%1 %2 无法打开：%3", "The %1 %2 cannot be opened: %3"},
                       {wanted.what, found, std::strerror(errno)}));
  if (LoadedModule checked = CheckFile(wanted, found, path); checked.status != ModuleStatus::Loaded)
    return checked;
  // RTLD_LOCAL: the module's own copies of shared code never stand in for
  // the program's.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    return Refuse(ModuleStatus::Unusable,
                  Fill({"%1无法加载：%2；请重新安装软件包 %3",
                        "The %1 cannot be loaded: %2; reinstall the package %3"},
                       {wanted.what, reason ? reason : path, wanted.package}));
  }
  using EntryFunction = const ModuleHeader* (*)();
  auto function = reinterpret_cast<EntryFunction>(::dlsym(handle, wanted.entrySymbol));
  const ModuleHeader* header = function ? function() : nullptr;
  if (header == nullptr || header->interfaceNumber != kModuleInterface ||
      header->buildVersion == nullptr ||
      std::strcmp(header->buildVersion, QUILLMARK_VERSION) != 0 || header->buildId == nullptr ||
      std::strcmp(header->buildId, kModuleBuildId) != 0)
    return OtherBuild(wanted, found);  // not closed: unloading may run its code
  return {.status = ModuleStatus::Loaded, .entry = header, .error = {}};
}

}  // namespace

std::string ExecutableFolder() {
  std::array<char, 4096> path{};
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0)
    return {};
  std::string folder(path.data(), static_cast<std::size_t>(length));
  const std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string InstalledModuleFolder() {
  return QUILLMARK_MODULE_DIR;
}

LoadedModule LoadModule(const ModuleRequest& wanted) {
  // dlopen of a loaded file only counts it again: each call is cheap and
  // gets the same entry.
  return Open(wanted);
}

}  // namespace quillmark::modules
