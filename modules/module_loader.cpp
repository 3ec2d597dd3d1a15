#include "module_loader.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "interface_text.h"
#include "module_interface.h"
#include "quillmark_version.h"

namespace quillmark::modules {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::string FindModule(const char* fileName) {
  const std::string programFolder = ExecutableFolder();
  if (programFolder.empty())
    return {};
  for (const std::string& folder :
       {programFolder, programFolder + "/" QUILLMARK_MODULE_DIR_FROM_BIN,
        InstalledModuleFolder()}) {
    const std::string path = folder + "/" + fileName;
    if (IsRegularFile(path))
      return path;
  }
  return {};
}

LoadedModule Refuse(ModuleStatus status, std::string error) {
  return {.status = status, .entry = nullptr, .error = std::move(error)};
}

LoadedModule Open(const ModuleRequest& wanted) {
  const std::string path = FindModule(wanted.fileName);
  if (path.empty())
    return Refuse(ModuleStatus::NotInstalled,
                  Fill({"未安装%1（%2）：请安装软件包 %3",
                        "The %1 (%2) is not installed: install the package %3"},
                       {wanted.what, wanted.fileName, wanted.package}));
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
      std::strcmp(header->buildVersion, QUILLMARK_VERSION) != 0) {
    // Not closed: unloading a library may run code of another build.
    return Refuse(ModuleStatus::Unusable,
                  Fill({"%1 %2 属于另一个构建，与 quillmark %3 不符：请重新安装软件包 %4",
                        "The %1 %2 belongs to another build, not quillmark %3: reinstall the "
                        "package %4"},
                       {wanted.what, path, QUILLMARK_VERSION, wanted.package}));
  }
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
