#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch_files.h"
#include "job_acceptance.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark::cli {

// The batch manifest (batch_manifest.h) of the devices with these first
// addresses, for label printers and traceability systems.
std::string ManifestText(const std::vector<MacAddress>& firstAddresses, std::int32_t macsPerDevice);

// Before device 1: the message that refuses path as the manifest, or
// empty (CheckOutputPath with the image and the batch guarded).
[[nodiscard]] std::string ManifestPathRefusal(const std::string& path, const std::string& imagePath,
                                              const GenerationJob& job, PlatformFiles& files);

// Creates and removes a temporary file next to path, so a manifest that
// cannot be written is refused before the first device.
bool CanWriteManifest(const std::string& path, PlatformFiles& files);
// Why it cannot, for the line before the refusal: the path and the
// reason; "" when it can.
std::string ManifestWriteProblem(const std::string& path, PlatformFiles& files);

enum class ManifestWrite {
  Written,
  Failed,             // not (durably) written; no other run's file stands under the path
  FailedOlderRemains  // not written, and an older file under the path could not be removed
};

// Writes under a temporary name and renames into place, so a reader never
// sees half of it. When it cannot be put in place, an older manifest
// under the path goes too: the path never holds another run's manifest.
ManifestWrite WriteManifest(const std::string& path, const std::string& text, bool durable,
                            PlatformFiles& files);

}  // namespace quillmark::cli
