#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job_acceptance.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark::cli {

// The CSV that label printers and traceability systems read: the header
// "file,mac1,…,macN", then one row per device, its file name and its
// addresses in colon form; UTF-8 without a byte-order mark, every line
// ending in LF.
std::string ManifestText(const std::vector<MacAddress>& firstAddresses, std::int32_t macsPerDevice);

// The first address of every device of the job, in device order.
std::vector<MacAddress> PlannedDevices(const GenerationJob& job);

// Creates and removes a temporary file next to path, so a manifest that
// cannot be written is refused before the first device.
bool CanWriteManifest(const std::string& path, PlatformFiles& files);

// Writes under a temporary name and renames into place, so a reader never
// sees half of it. False when it is not in place.
bool WriteManifest(const std::string& path, const std::string& text, bool durable,
                   PlatformFiles& files);

}  // namespace quillmark::cli
