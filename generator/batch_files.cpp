#include "batch_files.h"

#include <optional>

#include "file_replacement.h"
#include "path_parts.h"

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

BatchName BatchNameOf(const std::string& path, const GenerationJob& job, PlatformFiles& files) {
  const auto [directory, name] = SplitPath(path);
  const std::optional<FileIdentity> folder = files.IdentityOf(directory);
  if (!folder || folder != files.IdentityOf(job.outputDirectory))
    return BatchName::None;
  for (const MacAddress& first : PlannedDevices(job)) {
    const std::string device = first.ToFileName();
    if (name == device)
      return BatchName::DeviceFile;
    if (name == TemporaryNameFor(device))
      return BatchName::TemporaryFile;
  }
  return BatchName::None;
}

}  // namespace quillmark
