#include "device_check.h"

#include <algorithm>
#include <cstring>

#include "interface_language.h"
#include "mac_records.h"

namespace quillmark {

struct DeviceGroupCheck::OpenDevice {
  DeviceResult result;
  std::string path;
  FileHandle file = kNoFile;
  std::optional<FileState> opened;   // as it was when opened, where the platform can say
  std::uint8_t records[24] = {};     // what its records must hold
  std::vector<std::uint8_t> window;  // with a profile: the image from its window on, stamped
  bool done = false;
};

namespace {

std::uint64_t RecordOffset(const ExpectedBatch& batch) {
  return MacRecordsOffset(batch.imageSize);
}

std::uint64_t RecordLength(const ExpectedBatch& batch) {
  return MacRecordsSize(batch.macsPerDevice);
}

// The first offset where data differs from expected, both length bytes
// long and standing at offset in the file.
std::optional<std::uint64_t> FirstDifference(const std::uint8_t* data, const std::uint8_t* expected,
                                             std::uint64_t offset, std::uint64_t length) {
  if (length == 0 || std::memcmp(data, expected, length) == 0)
    return std::nullopt;
  std::uint64_t i = 0;
  while (data[i] == expected[i])
    ++i;
  return offset + i;
}

}  // namespace

DeviceGroupCheck::DeviceGroupCheck(const ExpectedBatch& batch, PlatformFiles& files,
                                   ReadSettings settings)
    : m_batch(batch),
      m_files(files),
      m_settings(settings),
      m_buffer(new std::uint8_t[settings.readBytes]) {}

std::optional<std::vector<DeviceResult>> DeviceGroupCheck::Check(std::size_t begin, std::size_t end,
                                                                 const std::atomic<bool>& stop) {
  std::vector<OpenDevice> devices(end - begin);
  for (std::size_t i = 0; i < devices.size(); ++i) {
    devices[i].result.index = begin + i;
    devices[i].result.first = m_batch.devices[begin + i];
    Open(devices[i]);
  }
  bool stopped = false;
  for (std::uint64_t offset = 0; offset < m_batch.imageSize && !stopped;
       offset += m_settings.readBytes) {
    const std::uint64_t length =
        std::min<std::uint64_t>(m_settings.readBytes, m_batch.imageSize - offset);
    for (OpenDevice& device : devices) {
      if (stop.load(std::memory_order_relaxed)) {
        stopped = true;
        break;
      }
      if (!device.done)
        ReadNext(device, offset, length);
    }
  }
  std::vector<DeviceResult> results;
  for (OpenDevice& device : devices) {
    if (!stopped)
      RecheckUnchanged(device);
    Close(device);
    results.push_back(std::move(device.result));
  }
  if (stopped)
    return std::nullopt;
  return results;
}

void DeviceGroupCheck::Open(OpenDevice& device) {
  device.done = true;
  device.path = m_batch.PathOf(device.result.first.ToFileName());
  const std::string& path = device.path;
  switch (m_files.KindOf(path)) {
    case PathKind::None:
      device.result.fault = DeviceFault::Missing;
      return;
    case PathKind::RegularFile:
      break;
    case PathKind::Unknown:
      device.result.fault = DeviceFault::Unreadable;
      return;
    default:
      device.result.fault = DeviceFault::NotRegularFile;
      return;
  }
  device.file = m_files.OpenForReading(path);
  device.opened = device.file == kNoFile ? std::nullopt : m_files.StateOf(device.file);
  const std::optional<std::uint64_t> size =
      device.file == kNoFile ? std::nullopt : m_files.SizeOf(device.file);
  if (!size || (m_settings.fromDisk && !m_files.DropCachedPages(device.file))) {
    device.result.fault = DeviceFault::Unreadable;
  } else if (*size != m_batch.imageSize) {
    device.result.fault = DeviceFault::WrongSize;
    device.result.size = *size;
  } else {
    MacAddress address = device.result.first;
    WriteMacRecords(device.records, m_batch.macsPerDevice, address);
    if (m_batch.stamp) {
      const std::uint64_t start = m_batch.stamp->WindowStart();
      device.window.assign(m_batch.image + start, m_batch.image + m_batch.imageSize);
      m_batch.stamp->Stamp(device.window.data(), device.records);
    }
    device.done = false;
  }
}

// A stamped device's file is the image before the window and its own
// stamped window from there on.
void DeviceGroupCheck::CompareStamped(OpenDevice& device, const std::uint8_t* data,
                                      std::uint64_t offset, std::uint64_t length) {
  const std::uint64_t windowStart = m_batch.stamp->WindowStart();
  const std::uint64_t end = offset + length;
  const std::uint64_t split = std::clamp(windowStart, offset, end);
  std::optional<std::uint64_t> differs =
      FirstDifference(data, m_batch.image + offset, offset, split - offset);
  if (!differs) {
    differs = FirstDifference(data + (split - offset), device.window.data() + (split - windowStart),
                              split, end - split);
  }
  if (!differs) {
    device.done = end == m_batch.imageSize;
    return;
  }
  device.done = true;
  device.result.fault = DeviceFault::Differs;
  device.result.offset = *differs;
  device.result.part = m_batch.stamp->PartAt(*differs, CurrentInterfaceLanguage());
  device.result.reportPart = m_batch.stamp->PartNameAt(*differs);
}

void DeviceGroupCheck::ReadNext(OpenDevice& device, std::uint64_t offset, std::uint64_t length) {
  std::uint8_t* data = m_buffer.get();
  if (m_files.ReadAll(device.file, data, length) != length) {
    device.result.fault = DeviceFault::Unreadable;
    device.done = true;
    return;
  }
  if (m_batch.stamp) {
    CompareStamped(device, data, offset, length);
    return;
  }
  const std::uint64_t recordStart = RecordOffset(m_batch);
  const std::uint64_t recordEnd = recordStart + RecordLength(m_batch);
  const std::uint64_t end = offset + length;
  // Up to three stretches: image, records, image.
  const std::uint64_t imageEnd = std::clamp(recordStart, offset, end);
  const std::uint64_t tailStart = std::clamp(recordEnd, offset, end);
  std::optional<std::uint64_t> differs =
      FirstDifference(data, m_batch.image + offset, offset, imageEnd - offset);
  if (!differs && imageEnd < tailStart) {
    differs = FirstDifference(data + (imageEnd - offset), device.records + (imageEnd - recordStart),
                              imageEnd, tailStart - imageEnd);
  }
  if (!differs) {
    differs = FirstDifference(data + (tailStart - offset), m_batch.image + tailStart, tailStart,
                              end - tailStart);
  }
  if (!differs) {
    device.done = end == m_batch.imageSize;
    return;
  }
  device.done = true;
  if (*differs >= recordStart && *differs < recordEnd) {
    device.result.fault = DeviceFault::RecordsWrong;
    device.result.heldAddresses =
        ReadMacRecords(data + (recordStart - offset), m_batch.macsPerDevice);
  } else {
    device.result.fault = DeviceFault::Differs;
    device.result.offset = *differs;
  }
}

// A file that compared exact is proven only if it is still the file that
// was opened, as it was then, and still stands under its name: an append,
// a write, a replacement or a removal meanwhile would otherwise pass.
void DeviceGroupCheck::RecheckUnchanged(OpenDevice& device) {
  if (device.result.fault != DeviceFault::None || !device.opened)
    return;
  if (m_files.StateOf(device.file) != device.opened ||
      m_files.StateAt(device.path) != device.opened)
    device.result.fault = DeviceFault::ChangedWhileRead;
}

void DeviceGroupCheck::Close(OpenDevice& device) {
  device.window = {};
  if (device.file == kNoFile)
    return;
  // Takes out of the cache again what this reading brought in.
  if (m_settings.fromDisk)
    m_files.DropCachedPages(device.file);
  m_files.Close(device.file);
  device.file = kNoFile;
}

}  // namespace quillmark
