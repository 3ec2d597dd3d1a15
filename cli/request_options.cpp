#include "request_options.h"

#include <string>

#include "batch_limits.h"
#include "mac_address.h"
#include "text_scan.h"

namespace quillmark::cli {

namespace {

std::string DefaultNote(const char* value) {
  return std::string("（默认 ") + value + "）";
}

}  // namespace

JobRequestTexts DialogDefaults() {
  return DefaultRequestTexts();
}

OptionTable RequestOptionRows(JobRequestTexts& texts) {
  // The rows keep views of their help texts: these live as long as the tool.
  static const std::string outHelp = "输出目录" + DefaultNote(kDefaultOutputDirectory);
  static const std::string startHelp = "起始MAC地址" + DefaultNote(kDefaultStartMac);
  static const std::string countHelp = "生成数量，" + std::to_string(kMinDeviceCount) + "到" +
                                       std::to_string(kMaxDeviceCount) +
                                       DefaultNote(kDefaultDeviceCount);
  static const std::string macsHelp = "每设备分配MAC数量，" + std::to_string(kMinMacsPerDevice) +
                                      "到" + std::to_string(kMaxMacsPerDevice) +
                                      DefaultNote(kDefaultMacsPerDevice);
  return {
      {.name = "--image",
       .valueName = "PATH",
       .help = "输入固件镜像，大小须为4、8或16 MiB（必需）",
       .value = &texts.imagePath,
       .required = true},
      {.name = "--out", .valueName = "DIR", .help = outHelp, .value = &texts.outputDirectory},
      {.name = "--start-mac", .valueName = "TEXT", .help = startHelp, .value = &texts.startMac},
      {.name = "--count", .valueName = "TEXT", .help = countHelp, .value = &texts.deviceCount},
      {.name = "--macs-per-device",
       .valueName = "TEXT",
       .help = macsHelp,
       .value = &texts.macsPerDevice},
      {.name = "--profile",
       .valueName = "FILE",
       .help = "按TOML配置写入地址（字段 mac、mac-text，校验和 crc32、\n"
               "xor16、sum16；格式见手册页）；不给则为映像末尾前\n"
               "0x10000 处的地址记录",
       .value = &texts.profilePath},
  };
}

}  // namespace quillmark::cli

namespace quillmark::cli {
namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

void AddBentNumber(std::vector<std::string>& lines, const char* option, const std::string& text,
                   const char* before, const char* after) {
  const std::optional<std::int32_t> value = ReadDecimalInt32(text);
  if (value && *value != 0 && std::to_string(*value) != text) {
    lines.push_back(std::string(option) + " " + text + "：按" + before + std::to_string(*value) +
                    after + "处理");
  }
}

}  // namespace

std::vector<std::string> BentInputLines(const JobRequestTexts& texts) {
  std::vector<std::string> lines;
  if (const std::optional<MacAddress> start = MacAddress::Parse(texts.startMac);
      start && start->ToColonText() != Lowercase(texts.startMac)) {
    lines.push_back("--start-mac " + texts.startMac + "：按 " + start->ToColonText() + " 处理");
  }
  AddBentNumber(lines, "--count", texts.deviceCount, " ", " 台");
  AddBentNumber(lines, "--macs-per-device", texts.macsPerDevice, "每台 ", " 个地址");
  return lines;
}

}  // namespace quillmark::cli
