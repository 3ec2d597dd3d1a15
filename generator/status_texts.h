#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interface_text.h"
#include "mac_address.h"

namespace quillmark {

// The texts a run shows, in one place: the core builds them, the front
// ends and the tests take them from here and never copy them.

// What kind of text the batch writer sets in the status line, so a host
// can treat them differently without reading the text.
enum class StatusKind {
  Saving,          // a device's file is about to be written
  CreationFailed,  // a device's file could not be created; the run ends
  WriteFailed,     // a file's bytes did not all arrive; the run goes on
};

inline constexpr InterfaceText kSavingPrefix{"保存MAC固件: ", "Saving device image: "};
inline constexpr InterfaceText kCreationFailedPrefix{"创建文件出错: ", "Cannot create file: "};
inline constexpr InterfaceText kWriteFailedPrefix{"写入文件出错: ", "Cannot write file: "};
// Shown by the host when a run finished with every device written.
inline constexpr InterfaceText kRunFinishedText{"运行结束", "Run finished"};

// Refusals before a run's first device, shown as the request's other
// rejections are (a message box, a line on standard error).
//
// The output folder is missing or cannot be opened.
inline constexpr InterfaceText kOutputDirectoryErrorText{"输出目录错误！",
                                                         "The output folder cannot be used."};
// "输出目录正被另一个运行使用！" and the folder as the job names it: another
// run holds the folder.
std::string FolderBusyText(const std::string& directory);

// "输入映像不能使用本批临时文件的名称！" and the image's path: the image
// stands under a temporary name of the batch in its output folder.
std::string ImageIsTemporaryFileText(const std::string& imagePath);

// How a run ended, the one count every front end and the ledger give:
// "已写入 3，失败 1，未处理 4" (failed: attempted and left without a file).
std::string RunEndCountText(std::int32_t written, std::int32_t failed, std::int32_t notReached);

// "保存MAC固件: 04:57:55:00:00:00"
std::string SavingText(const MacAddress& firstAddress);
// "创建文件出错: " and the full path of the file.
std::string CreationFailedText(const std::string& path);
// "写入文件出错: " and the full path of the file (or of the folder).
std::string WriteFailedText(const std::string& path);

}  // namespace quillmark
