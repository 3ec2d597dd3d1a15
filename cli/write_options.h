#pragma once

#include <string>

#include "job_acceptance.h"
#include "request_options.h"

namespace quillmark::cli {

// What the write command (quillmark-cli without a subcommand) was asked.
struct WriteOptions {
  JobRequestTexts texts = DialogDefaults();
  bool hasManifest = false;
  std::string manifestPath;
  bool dryRun = false;
  bool quiet = false;
  bool durable = false;
};

}  // namespace quillmark::cli
