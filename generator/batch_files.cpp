#include "batch_files.h"

#include <optional>

#include "file_replacement.h"

namespace quillmark {

std::vector<MacAddress> PlannedDevices(const GenerationJob& job) {
  std::vector<MacAddress> devices;
  devices.reserve(static_cast<std::size_t>(job.deviceCount > 0 ? job.deviceCount : 0));
  MacAddress address = job.startMac;
  for (std::int32_t device = 0; device < job.deviceCount; ++device) {
    devices.push_back(address);
    for (std::int32_t i = 0; i < job.macsPerDevice; ++i)
      address.Increment();
  }
  return devices;
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const std::size_t slash = path.rfind(kPathSeparator);
  if (slash == std::string::npos)
    return {".", path};
  return {slash == 0 ? std::string(1, kPathSeparator) : path.substr(0, slash),
          path.substr(slash + 1)};
}

bool IsFileOfTheBatch(const std::string& path, const GenerationJob& job, PlatformFiles& files) {
  const auto [directory, name] = SplitPath(path);
  const std::optional<FileIdentity> folder = files.IdentityOf(directory);
  if (!folder || folder != files.IdentityOf(job.outputDirectory))
    return false;
  for (const MacAddress& first : PlannedDevices(job)) {
    const std::string device = first.ToFileName();
    if (name == device || name == TemporaryNameFor(device))
      return true;
  }
  return false;
}

}  // namespace quillmark
