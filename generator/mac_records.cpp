#include "mac_records.h"

#include "image_checks.h"

namespace quillmark {

std::uint64_t MacRecordsOffset(std::uint64_t imageSize) {
  return imageSize - static_cast<std::uint64_t>(kMacBlockSize);
}

std::uint64_t MacRecordsSize(std::int32_t macsPerDevice) {
  return kMacRecordSize * static_cast<std::uint64_t>(macsPerDevice);
}

void WriteMacRecords(std::uint8_t* records, std::int32_t count, MacAddress& address) {
  for (std::int32_t j = 0; j < count; ++j, address.Increment()) {
    for (std::uint64_t octet = 0; octet < kMacRecordSize; ++octet)
      records[kMacRecordSize * j + octet] = static_cast<std::uint8_t>(address.octets[octet]);
  }
}

std::vector<MacAddress> ReadMacRecords(const std::uint8_t* records, std::int32_t count) {
  std::vector<MacAddress> addresses(static_cast<std::size_t>(count));
  for (std::size_t j = 0; j < addresses.size(); ++j) {
    for (std::size_t octet = 0; octet < kMacRecordSize; ++octet)
      addresses[j].octets[octet] = records[kMacRecordSize * j + octet];
  }
  return addresses;
}

}  // namespace quillmark
