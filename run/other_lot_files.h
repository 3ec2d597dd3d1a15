#pragma once

#include <cstdint>
#include <string>

#include "job_acceptance.h"
#include "platform_file.h"

namespace quillmark {

// The "fw_*.img" files in the job's output folder that are no device of
// this batch: files of another lot, which a station flashing the folder
// would flash with it. None when the folder is missing or unlisted.
std::int32_t CountOtherLotFiles(const GenerationJob& job, PlatformFiles& files);

// The warning before device 1: the run goes on, a rerun in place too.
std::string OtherLotFilesText(const std::string& outputDirectory, std::int32_t count);

// The warning for a batch whose last address leaves the first three bytes
// (the vendor prefix) of its start; empty when it stays inside them.
std::string PrefixCarryText(const GenerationJob& job);

}  // namespace quillmark
