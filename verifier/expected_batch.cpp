#include "expected_batch.h"

#include <algorithm>

#include "platform_file.h"

namespace quillmark {
namespace {

int LowerHexValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

ExpectedBatch BatchWithImageOf(const GenerationJob& job) {
  ExpectedBatch batch;
  batch.image = job.imageBytes.get();
  batch.imageSize = static_cast<std::uint64_t>(job.imageSize);
  batch.outputDirectory = job.outputDirectory;
  batch.stamp = job.stamp.get();
  return batch;
}

}  // namespace

std::string ExpectedBatch::PathOf(const std::string& fileName) const {
  return outputDirectory + kPathSeparator + fileName;
}

ExpectedBatch BatchOfJob(const GenerationJob& job) {
  ExpectedBatch batch = BatchWithImageOf(job);
  batch.macsPerDevice = job.macsPerDevice;
  batch.devices.reserve(static_cast<std::size_t>(std::max(job.deviceCount, 0)));
  MacAddress address = job.startMac;
  for (std::int32_t device = 0; device < job.deviceCount; ++device) {
    batch.devices.push_back(address);
    for (std::int32_t j = 0; j < job.macsPerDevice; ++j)
      address.Increment();
  }
  return batch;
}

ExpectedBatch BatchOfManifest(const GenerationJob& job, const BatchManifest& manifest) {
  ExpectedBatch batch = BatchWithImageOf(job);
  batch.macsPerDevice = manifest.macsPerDevice;
  batch.devices.reserve(manifest.devices.size());
  for (const ManifestDevice& device : manifest.devices)
    batch.devices.push_back(device.first);
  return batch;
}

BatchAddressIndex::BatchAddressIndex(const ExpectedBatch& batch)
    : m_macsPerDevice(static_cast<std::uint64_t>(batch.macsPerDevice)) {
  m_sorted.reserve(batch.devices.size());
  for (std::size_t i = 0; i < batch.devices.size(); ++i)
    m_sorted.push_back(Entry{MacNumber(batch.devices[i]), i});
  std::sort(m_sorted.begin(), m_sorted.end(),
            [](const Entry& a, const Entry& b) { return a.first < b.first; });
}

std::optional<std::size_t> BatchAddressIndex::DeviceHolding(const MacAddress& address) const {
  const std::uint64_t number = MacNumber(address);
  // The last device starting at or below the address.
  auto after =
      std::upper_bound(m_sorted.begin(), m_sorted.end(), number,
                       [](std::uint64_t value, const Entry& e) { return value < e.first; });
  if (after == m_sorted.begin())
    return std::nullopt;
  const Entry& candidate = *(after - 1);
  if (number - candidate.first >= m_macsPerDevice)
    return std::nullopt;
  return candidate.device;
}

std::optional<std::size_t> BatchAddressIndex::DeviceNamed(const std::string& fileName) const {
  const std::optional<MacAddress> address = AddressOfFileName(fileName);
  if (!address)
    return std::nullopt;
  const std::uint64_t number = MacNumber(*address);
  const auto entry =
      std::lower_bound(m_sorted.begin(), m_sorted.end(), number,
                       [](const Entry& e, std::uint64_t value) { return e.first < value; });
  if (entry == m_sorted.end() || entry->first != number)
    return std::nullopt;
  return entry->device;
}

std::uint64_t MacNumber(const MacAddress& address) {
  std::uint64_t value = 0;
  for (const std::int32_t octet : address.octets)
    value = value << 8 | static_cast<std::uint64_t>(octet & 0xff);
  return value;
}

std::optional<MacAddress> AddressOfFileName(const std::string& fileName) {
  // "fw_" + 6 digits + "_" + 6 digits + ".img"
  if (fileName.size() != 20 || fileName.compare(0, 3, "fw_") != 0 || fileName[9] != '_' ||
      fileName.compare(16, 4, ".img") != 0)
    return std::nullopt;
  MacAddress address;
  for (int octet = 0; octet < 6; ++octet) {
    const std::size_t at = 3 + static_cast<std::size_t>(octet) * 2 + (octet >= 3 ? 1 : 0);
    const int high = LowerHexValue(fileName[at]);
    const int low = LowerHexValue(fileName[at + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    address.octets[static_cast<std::size_t>(octet)] = high * 16 + low;
  }
  return address;
}

}  // namespace quillmark
