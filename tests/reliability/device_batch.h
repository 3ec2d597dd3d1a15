#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

// One batch as the tool is asked for it, and what it must produce.
struct DeviceBatch {
  std::vector<std::uint8_t> image;
  std::uint64_t start = 0x045755000000;  // the first address as a 48-bit number
  int macsPerDevice = 1;
  int deviceCount = 1;

  std::string FileName(int device) const;  // device counted from 0
  std::string TemporaryName(int device) const;
  std::vector<std::uint8_t> DeviceImage(int device) const;
  std::vector<std::string> Args(const std::string& imagePath, const std::string& outDir) const;
};

// What an output folder holds, judged against a batch.
struct FolderState {
  std::vector<int> exactDevices;            // complete, exact images under their names
  std::vector<std::string> temporaryFiles;  // hidden names of files still being written
  std::vector<std::string> problems;        // anything else: wrong bytes, links, strays
};

FolderState InspectOutputFolder(const std::string& folder, const DeviceBatch& batch);

// The names in a folder, sorted, without "." and ".."; empty when it is missing.
std::vector<std::string> ListNames(const std::string& folder);
// The same for a folder named relative to an open one (paths past PATH_MAX).
std::vector<std::string> ListNamesAt(int parent, const std::string& folder);

}  // namespace quillmark::test
