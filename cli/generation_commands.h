#pragma once

#include "write_options.h"

namespace quillmark::cli {

// A real run: acceptance, the checks before device 1, the batch, the
// manifest. Returns the process exit status.
int RunGeneration(const WriteOptions& options);

// Acceptance, then the plan of the whole batch as a manifest on standard
// output; no image is written. A manifest file lists only files written,
// so the command line refuses --manifest with --dry-run.
int RunDryRun(const WriteOptions& options);

}  // namespace quillmark::cli
