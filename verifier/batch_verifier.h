#pragma once

#include <cstdint>

#include "device_check.h"
#include "expected_batch.h"
#include "folder_scan.h"
#include "platform_file.h"

namespace quillmark {

// What the verifier needs of whoever runs it (the dialog, the
// command-line tool). All calls come from the thread that runs
// VerifyBatch.
class VerifyHost {
 public:
  // Each device's result, in device order.
  virtual void OnDeviceChecked(const DeviceResult& result) = 0;
  // After the last device: what else stands in the directory, in name
  // order; not called when the run was stopped.
  virtual void OnFolderScanned(const FolderScan& scan) = 0;
  // Asked between devices; true ends the check: the devices not finished
  // by then stay unchecked, and the folder is not looked at.
  virtual bool StopRequested() = 0;

 protected:
  ~VerifyHost() = default;
};

struct VerifierOptions {
  ReadSettings read;
  // Devices checked at once, one thread each; one checks them in turn on
  // the calling thread.
  int lanes = 2;
  // Devices one thread reads together, read by read.
  int filesAtOnce = 4;
};

struct VerifyOutcome {
  std::int32_t devicesChecked = 0;
  std::int32_t devicesExact = 0;
  std::int32_t devicesFailed = 0;
  std::int32_t duplicateFiles = 0;  // other files holding one of the batch's addresses
  // "fw_*.img" files of no device of the batch holding none of its
  // addresses: another lot a station flashing the folder would flash too.
  std::int32_t otherFiles = 0;
  bool folderListed = false;
  bool stopped = false;

  // Every device checked and exact, the folder listed and no duplicate.
  bool Passed() const;
};

VerifyOutcome VerifyBatch(const ExpectedBatch& batch, VerifyHost& host, PlatformFiles& files,
                          VerifierOptions options = {});

}  // namespace quillmark
