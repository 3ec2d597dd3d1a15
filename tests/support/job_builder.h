#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job_acceptance.h"

namespace quillmark::test {

// An accepted job, built without acceptance: devices of perDevice
// addresses each from start, a copy of image, writing into directory.
GenerationJob MakeJob(const std::string& start, int devices, int perDevice,
                      const std::vector<std::uint8_t>& image, std::string directory);
// The same with a fresh valid image of size bytes.
GenerationJob MakeJob(const std::string& start, int devices, int perDevice, std::uint32_t size,
                      std::string directory);

}  // namespace quillmark::test
