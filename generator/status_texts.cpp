#include "status_texts.h"

namespace quillmark {

std::string FolderBusyText(const std::string& directory) {
  return "输出目录正被另一个运行使用！" + directory;
}

std::string ImageIsTemporaryFileText(const std::string& imagePath) {
  return "输入映像不能使用本批临时文件的名称！" + imagePath;
}

std::string RunEndCountText(std::int32_t written, std::int32_t failed, std::int32_t notReached) {
  return "已写入 " + std::to_string(written) + "，失败 " + std::to_string(failed) + "，未处理 " +
         std::to_string(notReached);
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
