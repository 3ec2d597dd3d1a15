#include "folder_scan.h"

#include <algorithm>

#include "image_checks.h"

namespace quillmark {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsTemporaryName(const std::string& name) {
  return StartsWith(name, ".fw_") && EndsWith(name, ".img.part");
}

bool IsDeviceLikeName(const std::string& name) {
  return StartsWith(name, "fw_") && EndsWith(name, ".img");
}

// The addresses a file of an image's size holds as records: the first
// record and those after it that go on from it one by one, as a device
// file's do (the image's own bytes after the last record seldom would).
std::vector<MacAddress> RecordsHeld(const std::string& path, PlatformFiles& files) {
  std::vector<MacAddress> held;
  if (files.KindOf(path) != PathKind::RegularFile)
    return held;
  const FileHandle file = files.OpenForReading(path);
  if (file == kNoFile)
    return held;
  const std::optional<std::uint64_t> size = files.SizeOf(file);
  std::uint8_t bytes[24];
  if (size && IsAcceptedImageSize(*size) &&
      files.ReadAt(file, *size - kMacBlockSize, bytes, sizeof bytes) == sizeof bytes) {
    for (std::size_t j = 0; j < 4; ++j) {
      MacAddress address;
      for (std::size_t octet = 0; octet < 6; ++octet)
        address.octets[octet] = bytes[6 * j + octet];
      if (!held.empty()) {
        MacAddress next = held.back();
        next.Increment();
        if (address != next)
          break;
      }
      held.push_back(address);
    }
  }
  files.Close(file);
  return held;
}

std::optional<MacAddress> BatchAddressHeld(const ExpectedBatch& batch,
                                           const BatchAddressIndex& index, const std::string& name,
                                           PlatformFiles& files) {
  std::vector<MacAddress> held = RecordsHeld(batch.PathOf(name), files);
  if (const std::optional<MacAddress> named = AddressOfFileName(name))
    held.insert(held.begin(), *named);
  for (const MacAddress& address : held) {
    if (index.DeviceHolding(address))
      return address;
  }
  return std::nullopt;
}

}  // namespace

FolderScan ScanOutputFolder(const ExpectedBatch& batch, const BatchAddressIndex& index,
                            PlatformFiles& files) {
  FolderScan scan;
  std::optional<std::vector<std::string>> names = files.ListDirectory(batch.outputDirectory);
  if (!names)
    return scan;
  scan.listed = true;
  std::sort(names->begin(), names->end());
  for (const std::string& name : *names) {
    const bool temporary = IsTemporaryName(name);
    if (!temporary && (!IsDeviceLikeName(name) || index.DeviceNamed(name)))
      continue;
    // A temporary file is never taken for a device, whatever addresses it
    // holds: it is a note of an interrupted run, not a second device.
    scan.findings.push_back(FolderFinding{
        name, temporary, temporary ? std::nullopt : BatchAddressHeld(batch, index, name, files)});
  }
  return scan;
}

}  // namespace quillmark
