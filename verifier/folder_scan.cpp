#include "folder_scan.h"

#include <algorithm>

#include "batch_files.h"
#include "image_checks.h"
#include "mac_records.h"
#include "stamp_layout.h"

namespace quillmark {
namespace {

// The addresses a file of an image's size holds as records: the first
// record and those after it that go on from it one by one, as a device
// file's do (the image's own bytes after the last record seldom would).
void AddRecordsHeld(PlatformFiles& files, FileHandle file, std::uint64_t size,
                    std::vector<MacAddress>& held) {
  std::uint8_t bytes[24];
  if (!IsAcceptedImageSize(size) ||
      files.ReadAt(file, MacRecordsOffset(size), bytes, sizeof bytes) != sizeof bytes)
    return;
  std::optional<MacAddress> previous;
  for (std::size_t j = 0; j < 4; ++j) {
    const MacAddress address = ReadMacRecords(bytes + kMacRecordSize * j, 1).front();
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
// where the default layout puts them; a link is followed, as a reader of
// the folder would.
std::vector<MacAddress> AddressesHeld(const ExpectedBatch& batch, const std::string& path,
                                      PlatformFiles& files) {
  std::vector<MacAddress> held;
  const PathKind kind = files.KindOf(path);
  if (kind != PathKind::RegularFile && kind != PathKind::Link)
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

// The batch's device files by identity, found once and only when the
// folder holds a link: a link to one of them is a second name for a
// device, whatever it is called and whatever the device file holds.
class DeviceIdentities {
 public:
  DeviceIdentities(const ExpectedBatch& batch, PlatformFiles& files)
      : m_batch(batch), m_files(files) {}

  std::optional<MacAddress> FirstAddressOf(const FileIdentity& identity) {
    if (!m_found) {
      m_found = true;
      for (const MacAddress& first : m_batch.devices) {
        if (const std::optional<FileIdentity> known =
                m_files.IdentityOf(m_batch.PathOf(first.ToFileName())))
          m_devices.emplace_back(*known, first);
      }
    }
    for (const auto& [known, first] : m_devices) {
      if (known == identity)
        return first;
    }
    return std::nullopt;
  }

 private:
  const ExpectedBatch& m_batch;
  PlatformFiles& m_files;
  bool m_found = false;
  std::vector<std::pair<FileIdentity, MacAddress>> m_devices;
};

std::optional<MacAddress> BatchAddressHeld(const ExpectedBatch& batch,
                                           const BatchAddressIndex& index, const std::string& name,
                                           PlatformFiles& files, DeviceIdentities& devices) {
  const std::string path = batch.PathOf(name);
  const std::optional<MacAddress> named = AddressOfFileName(name);
  if (named && index.DeviceHolding(*named))
    return named;
  if (files.KindOf(path) == PathKind::Link) {
    if (const std::optional<FileIdentity> identity = files.IdentityOf(path)) {
      if (const std::optional<MacAddress> first = devices.FirstAddressOf(*identity))
        return first;
    }
  }
  for (const MacAddress& address : AddressesHeld(batch, path, files)) {
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
  DeviceIdentities devices(batch, files);
  for (const std::string& name : *names) {
    const bool temporary = HasDeviceTemporaryShape(name);
    if (!temporary && index.DeviceNamed(name))
      continue;
    // A temporary file is never taken for a device, whatever addresses it
    // holds: it is a note of an interrupted run, not a second device.
    if (temporary) {
      scan.findings.push_back(FolderFinding{name, true, std::nullopt});
      continue;
    }
    // Any other file may stand there, unless it is a second copy of one
    // of the batch's addresses; only a device's name makes it worth a line
    // without one.
    const std::optional<MacAddress> held = BatchAddressHeld(batch, index, name, files, devices);
    if (held || HasDeviceFileShape(name))
      scan.findings.push_back(FolderFinding{name, false, held});
  }
  return scan;
}

}  // namespace quillmark
