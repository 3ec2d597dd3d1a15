#include "request_options.h"

namespace quillmark::cli {

JobRequestTexts DialogDefaults() {
  return JobRequestTexts{"04:57:55:00:00:00", "255", "1", "", "out", ""};
}

OptionTable RequestOptionRows(JobRequestTexts& texts) {
  return {
      {.name = "--image",
       .valueName = "PATH",
       .help = "输入固件映像，大小须为4、8或16 MiB（必需）",
       .value = &texts.imagePath,
       .required = true},
      {.name = "--out",
       .valueName = "DIR",
       .help = "输出目录（默认 out）",
       .value = &texts.outputDirectory},
      {.name = "--start-mac",
       .valueName = "TEXT",
       .help = "起始MAC地址（默认 04:57:55:00:00:00）",
       .value = &texts.startMac},
      {.name = "--count",
       .valueName = "TEXT",
       .help = "生成数量，1到65535（默认 255）",
       .value = &texts.deviceCount},
      {.name = "--macs-per-device",
       .valueName = "TEXT",
       .help = "每设备分配MAC数量，1到4（默认 1）",
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
