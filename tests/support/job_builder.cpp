#include "job_builder.h"

#include <cstring>

#include "fixture_image.h"

namespace quillmark::test {

GenerationJob MakeJob(const std::string& start, int devices, int perDevice,
                      const std::vector<std::uint8_t>& image, std::string directory) {
  GenerationJob job;
  job.startMac = *MacAddress::Parse(start);
  job.deviceCount = devices;
  job.macsPerDevice = perDevice;
  job.imageBytes.reset(new std::uint8_t[image.size()]);
  std::memcpy(job.imageBytes.get(), image.data(), image.size());
  job.imageSize = static_cast<std::int32_t>(image.size());
  job.outputDirectory = std::move(directory);
  return job;
}

GenerationJob MakeJob(const std::string& start, int devices, int perDevice, std::uint32_t size,
                      std::string directory) {
  return MakeJob(start, devices, perDevice, MakeValidImage(size), std::move(directory));
}

}  // namespace quillmark::test
