#include "folder_scan.h"

#include <algorithm>

#include "image_checks.h"
#include "stamp_layout.h"

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
void AddRecordsHeld(PlatformFiles& files, FileHandle file, std::uint64_t size,
                    std::vector<MacAddress>& held) {
  std::uint8_t bytes[24];
  if (!IsAcceptedImageSize(size) ||
      files.ReadAt(file, size - kMacBlockSize, bytes, sizeof bytes) != sizeof bytes)
    return;
  std::optional<MacAddress> previous;
  for (std::size_t j = 0; j < 4; ++j) {
    MacAddress address;
    for (std::size_t octet = 0; octet < 6; ++octet)
      address.octets[octet] = bytes[6 * j + octet];
    if (previous) {
      MacAddress next = *previous;
      next.Increment();
      if (address != next)
        break;
    }
    held.push_back(address);
    previous = address;
  }
}

// With a profile, a file of the batch's image size written with the same
// profile holds its addresses in the profile's fields, not (only) in the
// records: each field is read where the profile puts it.
void AddFieldsHeld(const StampLayout& stamp, PlatformFiles& files, FileHandle file,
                   std::vector<MacAddress>& held) {
  for (const StampField& field : stamp.Fields()) {
    std::uint8_t bytes[17];
    const std::uint64_t length = field.Size();
    if (length > sizeof bytes || files.ReadAt(file, field.offset, bytes, length) != length)
      continue;
    if (const auto octets = OctetsInField(field, bytes)) {
      MacAddress address;
      std::copy(octets->begin(), octets->end(), address.octets.begin());
      held.push_back(address);
    }
  }
}

// The addresses a file holds where the batch's devices carry theirs, and
// where the default layout puts them.
std::vector<MacAddress> AddressesHeld(const ExpectedBatch& batch, const std::string& path,
                                      PlatformFiles& files) {
  std::vector<MacAddress> held;
  if (files.KindOf(path) != PathKind::RegularFile)
    return held;
  const FileHandle file = files.OpenForReading(path);
  if (file == kNoFile)
    return held;
  if (const std::optional<std::uint64_t> size = files.SizeOf(file)) {
    if (batch.stamp && *size == batch.imageSize)
      AddFieldsHeld(*batch.stamp, files, file, held);
    AddRecordsHeld(files, file, *size, held);
  }
  files.Close(file);
  return held;
}

std::optional<MacAddress> BatchAddressHeld(const ExpectedBatch& batch,
                                           const BatchAddressIndex& index, const std::string& name,
                                           PlatformFiles& files) {
  std::vector<MacAddress> held = AddressesHeld(batch, batch.PathOf(name), files);
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
