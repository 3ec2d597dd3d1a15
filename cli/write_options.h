#pragma once

#include <string>

#include "job_acceptance.h"

namespace quillmark::cli {

// What the write command (quillmark-cli without a subcommand) was asked.
struct WriteOptions {
  // The dialog's defaults; the image has none.
  JobRequestTexts texts{"04:57:55:00:00:00", "255", "1", "", "out"};
  bool hasManifest = false;
  std::string manifestPath;
  bool dryRun = false;
  bool quiet = false;
  bool durable = false;
};

}  // namespace quillmark::cli
