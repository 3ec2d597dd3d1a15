#include "request_options.h"

#include <string>

#include "batch_limits.h"

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
  };
}

}  // namespace quillmark::cli
