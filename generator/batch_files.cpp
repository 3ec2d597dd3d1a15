#include "batch_files.h"

#include <optional>

#include "file_replacement.h"
#include "path_parts.h"

namespace quillmark {

void ForEachPlannedDevice(const GenerationJob& job,
                          const std::function<bool(const MacAddress& first)>& visit) {
  MacAddress address = job.startMac;
  for (std::int32_t device = 0; device < job.deviceCount; ++device) {
    if (!visit(address))
      return;
    for (std::int32_t i = 0; i < job.macsPerDevice; ++i)
      address.Increment();
  }
}

std::vector<MacAddress> PlannedDevices(const GenerationJob& job) {
  std::vector<MacAddress> devices;
  devices.reserve(static_cast<std::size_t>(job.deviceCount > 0 ? job.deviceCount : 0));
  ForEachPlannedDevice(job, [&](const MacAddress& first) {
    devices.push_back(first);
    return true;
  });
  return devices;
}

BatchName BatchNameOf(const std::string& path, const GenerationJob& job, PlatformFiles& files) {
  const PathParts parts = SplitPath(path);
  const std::string& name = parts.name;
  const std::optional<FileIdentity> folder = files.IdentityOf(parts.folder);
  if (!folder || folder != files.IdentityOf(job.outputDirectory))
    return BatchName::None;
  BatchName found = BatchName::None;
  ForEachPlannedDevice(job, [&](const MacAddress& first) {
    const std::string device = first.ToFileName();
    if (name == device)
      found = BatchName::DeviceFile;
    else if (name == TemporaryNameFor(device))
      found = BatchName::TemporaryFile;
    return found == BatchName::None;
  });
  return found;
}

}  // namespace quillmark
