#pragma once

#include <cstdint>
#include <vector>

#include "mac_address.h"

namespace quillmark {

// Where a device's addresses stand in its image: one six-byte record an
// address, octet 1 first, from the start of the image's last 64 KiB.
inline constexpr std::uint64_t kMacRecordSize = 6;

std::uint64_t MacRecordsOffset(std::uint64_t imageSize);
std::uint64_t MacRecordsSize(std::int32_t macsPerDevice);

// Writes count records from address on, leaving address at the one after
// the last.
void WriteMacRecords(std::uint8_t* records, std::int32_t count, MacAddress& address);

// The count addresses the records hold.
std::vector<MacAddress> ReadMacRecords(const std::uint8_t* records, std::int32_t count);

}  // namespace quillmark
