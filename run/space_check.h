#pragma once

#include <string>

#include "interface_text.h"
#include "job_acceptance.h"
#include "platform_file.h"

namespace quillmark {

struct [[nodiscard]] SpaceVerdict {
  bool fits = true;
  bool checked = true;  // false where the volume gives no figures
  std::string message;  // one line, when the batch does not fit
};

// Said on standard error when the check could not be made.
inline constexpr InterfaceText kSpaceNotCheckedText{
    "输出目录所在的文件系统未报告空间大小，未检查空间是否足够",
    "The output folder's file system reports no sizes: whether the batch fits was not checked"};

// Before any device: the batch fits when the free space of the output
// directory's volume, plus what the files it will replace take now, holds
// every image and one more (the temporary file being written). Where the
// files share their data, the batch needs one image and, per device, the
// blocks its records are written into and its file's metadata.
SpaceVerdict CheckFreeSpace(const GenerationJob& job, PlatformFiles& files);

}  // namespace quillmark
