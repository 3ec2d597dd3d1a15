#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_manifest.h"
#include "job_acceptance.h"
#include "mac_address.h"

namespace quillmark {

// The files a batch should have left in its output directory: one per
// device, the image with the device's addresses as records at
// size - 0x10000.
struct ExpectedBatch {
  const std::uint8_t* image = nullptr;  // borrowed; imageSize bytes
  std::uint64_t imageSize = 0;
  std::int32_t macsPerDevice = 1;
  std::vector<MacAddress> devices;  // first addresses, in device order
  std::string outputDirectory;      // as given; joined to a name with one separator
  // With a stamp profile each device's copy is the image stamped with its
  // addresses, and has no records unless the profile names them.
  const StampLayout* stamp = nullptr;  // borrowed from the job

  std::string PathOf(const std::string& fileName) const;
};

// Every device of an accepted job, as the writer would write them.
ExpectedBatch BatchOfJob(const GenerationJob& job);
// The devices a manifest lists, with the image and directory of job.
ExpectedBatch BatchOfManifest(const GenerationJob& job, const BatchManifest& manifest);

// Finds which device of a batch holds an address.
class BatchAddressIndex {
 public:
  explicit BatchAddressIndex(const ExpectedBatch& batch);
  // The device holding the address among its records, if any.
  std::optional<std::size_t> DeviceHolding(const MacAddress& address) const;
  // The device whose file name this is, if any.
  std::optional<std::size_t> DeviceNamed(const std::string& fileName) const;

 private:
  struct Entry {
    std::uint64_t first;
    std::size_t device;
  };
  std::vector<Entry> m_sorted;
  std::uint64_t m_macsPerDevice;
};

// The address as a 48-bit number, octet 1 most significant.
std::uint64_t MacNumber(const MacAddress& address);
// The address a device file's name carries ("fw_045755_000000.img"), if
// the name has exactly that form.
std::optional<MacAddress> AddressOfFileName(const std::string& fileName);

}  // namespace quillmark
