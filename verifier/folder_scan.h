#pragma once

#include <optional>
#include <string>
#include <vector>

#include "expected_batch.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// A file in the output directory that is not one of the batch's devices.
struct FolderFinding {
  std::string name;
  bool temporary = false;  // a hidden ".fw_….img.part" of an interrupted run
  // One of the batch's addresses that it holds, by its name, its records
  // or (with a profile) its fields: a second device would get it. Such a finding fails the check;
  // a temporary file never has one (it is a note, whatever it holds).
  std::optional<MacAddress> batchAddress;
};

struct FolderScan {
  bool listed = false;                  // false when the directory could not be listed
  std::vector<FolderFinding> findings;  // sorted by name
};

// Looks for what else stands in the batch's directory: hidden temporary
// files of a run, "fw_*.img" files that are not the batch's devices, and
// any file, whatever its name, that holds one of the batch's addresses (a
// link to a device's file, a copy, an image of another layout with the
// same records). Anything else there is none of its business.
FolderScan ScanOutputFolder(const ExpectedBatch& batch, const BatchAddressIndex& index,
                            PlatformFiles& files);

}  // namespace quillmark
