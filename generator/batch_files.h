#pragma once

#include <string>
#include <vector>

#include "job_acceptance.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// The first address of every device of the job, in device order.
std::vector<MacAddress> PlannedDevices(const GenerationJob& job);

// True when path names, in the job's output folder, a device's file of the
// batch or its temporary file: a name a run replaces or removes, so no
// other file the run needs (the input image, the manifest) may live there.
bool IsFileOfTheBatch(const std::string& path, const GenerationJob& job, PlatformFiles& files);

}  // namespace quillmark
