#include "device_batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "fixture_image.h"

namespace quillmark::test {
namespace {

std::uint64_t AddressOf(const DeviceBatch& batch, int device) {
  return (batch.start + std::uint64_t(device) * batch.macsPerDevice) & 0xFFFFFFFFFFFFull;
}

std::string Hex6(std::uint64_t value) {
  char text[7];
  std::snprintf(text, sizeof text, "%06llx", static_cast<unsigned long long>(value & 0xFFFFFF));
  return text;
}

// The device a final name belongs to, or -1.
int DeviceOfName(const DeviceBatch& batch, const std::string& name) {
  for (int device = 0; device < batch.deviceCount; ++device) {
    if (batch.FileName(device) == name)
      return device;
  }
  return -1;
}

bool IsTemporaryName(const DeviceBatch& batch, const std::string& name) {
  for (int device = 0; device < batch.deviceCount; ++device) {
    if (batch.TemporaryName(device) == name)
      return true;
  }
  return false;
}

}  // namespace

std::string DeviceBatch::FileName(int device) const {
  const std::uint64_t address = AddressOf(*this, device);
  return "fw_" + Hex6(address >> 24) + "_" + Hex6(address) + ".img";
}

std::string DeviceBatch::TemporaryName(int device) const {
  return "." + FileName(device) + ".part";
}

std::vector<std::uint8_t> DeviceBatch::DeviceImage(int device) const {
  const std::uint64_t address = AddressOf(*this, device);
  std::vector<std::uint8_t> first;
  for (int shift = 40; shift >= 0; shift -= 8)
    first.push_back(static_cast<std::uint8_t>(address >> shift));
  return ExpectedDeviceImage(image, first, macsPerDevice);
}

std::vector<std::string> DeviceBatch::Args(const std::string& imagePath,
                                           const std::string& outDir) const {
  char startText[18];
  std::snprintf(startText, sizeof startText, "%02x:%02x:%02x:%02x:%02x:%02x",
                unsigned(start >> 40 & 0xff), unsigned(start >> 32 & 0xff),
                unsigned(start >> 24 & 0xff), unsigned(start >> 16 & 0xff),
                unsigned(start >> 8 & 0xff), unsigned(start & 0xff));
  return {"--image=" + imagePath, "--out=" + outDir, std::string("--start-mac=") + startText,
          "--count=" + std::to_string(deviceCount),
          "--macs-per-device=" + std::to_string(macsPerDevice)};
}

FolderState InspectOutputFolder(const std::string& folder, const DeviceBatch& batch) {
  FolderState state;
  for (const std::string& name : ListNames(folder)) {
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      state.problems.push_back(name + ": not a regular file");
      continue;
    }
    if (IsTemporaryName(batch, name)) {
      state.temporaryFiles.push_back(name);
      continue;
    }
    const int device = DeviceOfName(batch, name);
    if (device < 0)
      state.problems.push_back(name + ": no device of the batch has this name");
    else if (ReadFileBytes(path) != batch.DeviceImage(device))
      state.problems.push_back(name + ": not the device's exact image");
    else
      state.exactDevices.push_back(device);
  }
  std::sort(state.exactDevices.begin(), state.exactDevices.end());
  return state;
}

std::vector<std::string> ListNames(const std::string& folder) {
  return ListNamesAt(AT_FDCWD, folder);
}

std::vector<std::string> ListNamesAt(int parent, const std::string& folder) {
  std::vector<std::string> names;
  const int fd = ::openat(parent, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(fd >= 0 ? ::fdopendir(fd) : nullptr, &::closedir);
  if (!dir) {
    if (fd >= 0)
      ::close(fd);
    return names;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quillmark::test
