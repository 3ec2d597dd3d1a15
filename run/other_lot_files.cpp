#include "other_lot_files.h"

#include <set>

#include "batch_files.h"

namespace quillmark {

std::int32_t CountOtherLotFiles(const GenerationJob& job, PlatformFiles& files) {
  const std::optional<std::vector<std::string>> names = files.ListDirectory(job.outputDirectory);
  if (!names)
    return 0;
  std::set<std::string> batchNames;
  for (const MacAddress& first : PlannedDevices(job))
    batchNames.insert(first.ToFileName());
  std::int32_t count = 0;
  for (const std::string& name : *names) {
    const bool deviceLike = name.size() >= 7 && name.compare(0, 3, "fw_") == 0 &&
                            name.compare(name.size() - 4, 4, ".img") == 0;
    if (deviceLike && batchNames.count(name) == 0)
      ++count;
  }
  return count;
}

std::string OtherLotFilesText(const std::string& outputDirectory, std::int32_t count) {
  return "警告：输出目录 " + outputDirectory + " 中已有" + std::to_string(count) +
         "个不属于本批的 fw_*.img 文件，烧录整个目录时会一起烧录";
}

}  // namespace quillmark
