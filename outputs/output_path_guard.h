#pragma once

#include <optional>
#include <string>
#include <vector>

#include "job_acceptance.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// A file a command reads that none of its outputs may replace, and how a
// refusal calls it ("input image", "manifest read"), in the language shown.
struct GuardedInput {
  std::string path;
  std::string role;
};

// A batch's output folder and its devices' first addresses: no output may
// take a device's file name or its temporary name there, whether or not
// the file exists yet. Where the folder is not known (labels read only a
// manifest), folder is empty and those names are refused in any folder.
struct GuardedBatch {
  std::string folder;
  std::vector<MacAddress> devices;
};

// What one output must not replace. what names the output in a refusal
// ("manifest file", "report file", "label file"), in the
// language shown.
struct OutputPathGuard {
  std::string what;
  std::vector<GuardedInput> inputs;
  std::optional<GuardedBatch> batch;
  // Paths another program makes and removes under their names (a ledger's
  // -wal, -shm and -journal): refused whether or not a file stands there
  // now, the folder compared by identity, so another spelling counts.
  std::vector<GuardedInput> names = {};
};

// The folder and devices of a job, as the writer names them.
GuardedBatch GuardedBatchOf(const GenerationJob& job);

// Before anything is written: the one line that refuses path as the
// output, or empty when it may be written. Refused are an input (compared
// by device and file number, through links), a guarded name, a device's
// file or temporary name of the batch, a directory, and anything else that is not a regular
// file (a link, a FIFO, a socket, a device node). The output's own
// temporary file, which is created next to it and renamed onto it, must
// not be an input or a name of the batch either.
[[nodiscard]] std::string CheckOutputPath(const std::string& path, const OutputPathGuard& guard,
                                          PlatformFiles& files);

}  // namespace quillmark
