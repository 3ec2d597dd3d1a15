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

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool HasDeviceFileShape(const std::string& name) {
  return name.rfind("fw_", 0) == 0 && EndsWith(name, ".img") && name.size() >= 7;
}

bool HasDeviceTemporaryShape(const std::string& name) {
  const std::string suffix = ".part";
  return name.size() > 1 + suffix.size() && name[0] == '.' && EndsWith(name, suffix) &&
         HasDeviceFileShape(name.substr(1, name.size() - 1 - suffix.size()));
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
