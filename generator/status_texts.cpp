#include "status_texts.h"

namespace quillmark {

std::string FolderBusyText(const std::string& directory) {
  return Fill({"输出目录正被另一个运行使用！%1",
               "The output folder is in use by another run; wait for it to end: %1"},
              {directory});
}

std::string ImageIsTemporaryFileText(const std::string& imagePath) {
  return Fill({"输入映像不能使用本批临时文件的名称！%1",
               "The input image must not have the name of one of this batch's temporary files: %1"},
              {imagePath});
}

std::string RunEndCountText(std::int32_t written, std::int32_t failed, std::int32_t notReached) {
  return Fill({"已写入 %1，失败 %2，未处理 %3", "%1 written, %2 failed, %3 not reached"},
              {std::to_string(written), std::to_string(failed), std::to_string(notReached)});
}

std::string SavingText(const MacAddress& firstAddress) {
  return std::string(kSavingPrefix) + firstAddress.ToColonText();
}

std::string CreationFailedText(const std::string& path) {
  return std::string(kCreationFailedPrefix) + path;
}

std::string WriteFailedText(const std::string& path) {
  return std::string(kWriteFailedPrefix) + path;
}

}  // namespace quillmark
