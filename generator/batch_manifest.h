#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch_limits.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// A batch manifest, the CSV that a run writes for label printers and that
// the verifier reads back: the header "file,mac1,…,macN" (N from 1 to 4),
// then one row per device, its file name and its N consecutive addresses
// in colon form; UTF-8 without a byte-order mark, every line ending in LF.

inline constexpr std::int32_t kMaxManifestDevices = kMaxDeviceCount;

// "file,mac1,…,macN" without its LF.
std::string ManifestHeader(std::int32_t macsPerDevice);
// The row of the device whose first address is first, without its LF.
std::string ManifestRow(const MacAddress& first, std::int32_t macsPerDevice);

// One row: the device's first address (its file name is
// first.ToFileName(), its addresses first and the ones that follow it).
// Kept this small because a manifest may list 65535 devices.
struct ManifestDevice {
  MacAddress first;
  std::int32_t line = 0;  // where it stands; the header is line 1
};

// The n addresses of the device whose first address is first.
std::vector<MacAddress> DeviceAddresses(const MacAddress& first, std::int32_t macsPerDevice);

struct BatchManifest {
  std::int32_t macsPerDevice = 0;
  std::vector<ManifestDevice> devices;  // in the order of the file
};

// A manifest, or the one-line message that refuses it.
struct ManifestReading {
  std::optional<BatchManifest> manifest;
  std::string error;
};

// Accepts only what a run writes: the exact header, exactly N + 1 fields a
// row, addresses in lower-case colon form that are consecutive within a
// row and neither group nor locally administered, a file name made from
// the first address, no address twice in the file, at most 65535 rows and
// a final line end (a manifest cut short is refused, not read as fewer
// devices). A UTF-8 byte-order mark before the header and CR LF line ends,
// as a spreadsheet saves CSV, are read too. A header alone is a manifest of
// no device. The first faulty line is named.
ManifestReading ParseManifest(std::string_view text);

// Reads the file through files and parses it; a file that cannot be read,
// or is larger than any manifest can be, is refused.
ManifestReading ReadManifest(const std::string& path, PlatformFiles& files);

}  // namespace quillmark
