#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job_acceptance.h"
#include "mac_address.h"
#include "platform_file.h"

namespace quillmark {

// The first address of every device of the job, in device order.
std::vector<MacAddress> PlannedDevices(const GenerationJob& job);

// The same addresses one at a time, for a caller that keeps none of them:
// at the whole address range a list is over a megabyte. visit returns
// false to stop early.
void ForEachPlannedDevice(const GenerationJob& job,
                          const std::function<bool(const MacAddress& first)>& visit);

// Whether a file name has the shape of a device's file (fw_*.img), of
// this batch or any other, or of such a file's temporary name
// (.fw_*.img.part).
bool HasDeviceFileShape(const std::string& name);
bool HasDeviceTemporaryShape(const std::string& name);

// What path names in the job's output folder: a device's file of the
// batch, which the run replaces, or a device's temporary file, which the
// run removes and recreates.
enum class BatchName { None, DeviceFile, TemporaryFile };
BatchName BatchNameOf(const std::string& path, const GenerationJob& job, PlatformFiles& files);

}  // namespace quillmark
