#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "expected_batch.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// What is wrong with a device's file, the first fault found.
enum class DeviceFault {
  None,            // the file is exact
  Missing,         // nothing stands under its name
  NotRegularFile,  // a link, a folder or something else stands there
  WrongSize,       // size holds its size
  Differs,         // offset holds the first byte that differs from the image
  RecordsWrong,    // heldAddresses holds what its records hold instead
  Unreadable,      // it could not be opened or read to its end
  // Its size, identity or modification time changed while it was read, by
  // its handle or its name: what was read is not what stands there.
  ChangedWhileRead,
};

struct DeviceResult {
  std::size_t index = 0;  // in the batch's device order
  MacAddress first;
  DeviceFault fault = DeviceFault::None;
  std::uint64_t size = 0;
  std::uint64_t offset = 0;
  std::vector<MacAddress> heldAddresses;
  // With a profile: the field or checksum offset lies in, if any, as the
  // interface says it and as the report writes it (the same in every
  // locale, so a report compares equal whoever ran the check).
  std::string part;
  std::string reportPart;
};

struct ReadSettings {
  // Each file's cached pages are dropped before it is read (after a
  // flush) and again afterwards, so the bytes come from the disk.
  bool fromDisk = false;
  // Bytes per read; a multiple of 64 KiB, so a device's records never
  // straddle two reads.
  std::size_t readBytes = std::size_t{1} << 20;
};

// Checks a few devices' files at a time with one buffer: the files are
// read once each, front to back, taking turns read by read, so the image
// bytes one read is compared with are still in the processor's cache when
// the next file's read is compared with them.
class DeviceGroupCheck {
 public:
  DeviceGroupCheck(const ExpectedBatch& batch, PlatformFiles& files, ReadSettings settings);

  // The results of devices [begin, end) in order; none when stop became
  // true first.
  std::optional<std::vector<DeviceResult>> Check(std::size_t begin, std::size_t end,
                                                 const std::atomic<bool>& stop);

 private:
  struct OpenDevice;

  void Open(OpenDevice& device);
  void ReadNext(OpenDevice& device, std::uint64_t offset, std::uint64_t length);
  void CompareStamped(OpenDevice& device, const std::uint8_t* data, std::uint64_t offset,
                      std::uint64_t length);
  void RecheckUnchanged(OpenDevice& device);
  void Close(OpenDevice& device);

  const ExpectedBatch& m_batch;
  PlatformFiles& m_files;
  ReadSettings m_settings;
  std::unique_ptr<std::uint8_t[]> m_buffer;
};

}  // namespace quillmark
