#include "request_options.h"

#include <string>

#include "batch_limits.h"
#include "interface_text.h"
#include "mac_address.h"
#include "text_scan.h"

namespace quillmark::cli {

namespace {

std::string DefaultNote(const char* value) {
  return Fill({"（默认 %1）", " (default %1)"}, {value});
}

}  // namespace

JobRequestTexts DialogDefaults() {
  return DefaultRequestTexts();
}

OptionRow LenientOptionRow(bool& lenient) {
  return {.name = "--lenient",
          .help = Pick({"按对话框的规则读取 --start-mac、--count、\n"
                        "--macs-per-device（如 --count=12abc 按12台处理并\n"
                        "警告一行），不拒绝；也可在工位配置中设 lenient = true",
                        "read --start-mac, --count and --macs-per-device\n"
                        "as the dialog does (--count=12abc as 12 devices,\n"
                        "with a warning) instead of refusing them; or set\n"
                        "lenient = true in the station configuration"}),
          .flag = &lenient};
}

OptionTable RequestOptionRows(JobRequestTexts& texts, bool& lenient) {
  // The rows keep views of their help texts: these live as long as the tool.
  static const std::string outHelp =
      std::string(Pick({"输出目录", "output folder"})) + DefaultNote(kDefaultOutputDirectory);
  static const std::string startHelp =
      std::string(Pick({"起始MAC地址", "first MAC address"})) + DefaultNote(kDefaultStartMac);
  static const std::string countHelp =
      Fill({"生成数量，%1到%2", "number of devices, %1 to %2"},
           {std::to_string(kMinDeviceCount), std::to_string(kMaxDeviceCount)}) +
      DefaultNote(kDefaultDeviceCount);
  static const std::string macsHelp =
      Fill({"每设备分配MAC数量，%1到%2", "MAC addresses per device, %1 to %2"},
           {std::to_string(kMinMacsPerDevice), std::to_string(kMaxMacsPerDevice)}) +
      DefaultNote(kDefaultMacsPerDevice);
  return {
      {.name = "--image",
       .valueName = "PATH",
       .help = Pick({"输入固件镜像，大小须为4、8或16 MiB（必需）",
                     "the input firmware image, of 4, 8 or 16 MiB\n(required)"}),
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
       .help = Pick({"按TOML配置写入地址（字段 mac、mac-text，校验和 crc32、\n"
                     "xor16、sum16；格式见手册页）；不给则为映像末尾前\n"
                     "0x10000 处的地址记录",
                     "write the addresses as a TOML profile says (fields\n"
                     "mac, mac-text; checksums crc32, xor16, sum16; see\n"
                     "the manual page); without it, the address record\n"
                     "0x10000 before the image's end"}),
       .value = &texts.profilePath},
      LenientOptionRow(lenient),
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

// taken: "%1 %2：按 %3 台处理", the option, its text and the number read.
void AddBentNumber(std::vector<std::string>& lines, const char* option, const std::string& text,
                   const InterfaceText& taken) {
  const std::optional<std::int32_t> value = ReadDecimalInt32(text);
  if (value && *value != 0 && std::to_string(*value) != text)
    lines.push_back(taken.Fill({option, text, std::to_string(*value)}));
}

}  // namespace

std::vector<std::string> BentInputLines(const JobRequestTexts& texts) {
  std::vector<std::string> lines;
  if (const std::optional<MacAddress> start = MacAddress::Parse(texts.startMac);
      start && start->ToColonText() != Lowercase(texts.startMac)) {
    lines.push_back(Fill({"--start-mac %1：按 %2 处理", "--start-mac %1: taken as %2"},
                         {texts.startMac, start->ToColonText()}));
  }
  AddBentNumber(lines, "--count", texts.deviceCount,
                {"%1 %2：按 %3 台处理", "%1 %2: taken as %3 {3:device|devices}"});
  AddBentNumber(
      lines, "--macs-per-device", texts.macsPerDevice,
      {"%1 %2：按每台 %3 个地址处理", "%1 %2: taken as %3 {3:address|addresses} per device"});
  return lines;
}

std::string BentInputRefusal(const JobRequestTexts& texts) {
  const std::vector<std::string> lines = BentInputLines(texts);
  if (lines.empty())
    return {};
  return Fill({"%1（请写出确切的值，或给出 --lenient 按对话框的规则读取）",
               "%1 (write the exact value, or give --lenient to read it as the dialog does)"},
              {lines.front()});
}

}  // namespace quillmark::cli
