#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace quillmark::cli {
namespace {

constexpr std::array<std::string_view, 6> kValueOptions = {
    "--image", "--out", "--start-mac", "--count", "--macs-per-device", "--manifest"};

bool TakesValue(std::string_view name) {
  return std::find(kValueOptions.begin(), kValueOptions.end(), name) != kValueOptions.end();
}

// CLI11 reads "--opt=" as "--opt" and then takes the next argument as the
// value. Handing it "--opt" and the value as two arguments keeps every
// value as given: it always takes the argument after a value option
// verbatim, empty, blank or starting with "-".
std::vector<std::string> SplitAttachedValues(int argc, const char* const* argv) {
  std::vector<std::string> args;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const std::size_t equals = arg.find('=');
    if (!optionsEnded && equals != std::string_view::npos && TakesValue(arg.substr(0, equals))) {
      args.emplace_back(arg.substr(0, equals));
      args.emplace_back(arg.substr(equals + 1));
      continue;
    }
    if (arg == "--")
      optionsEnded = true;
    args.emplace_back(arg);
  }
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  return args;
}

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string joined;
  for (const std::string& arg : args)
    joined += (joined.empty() ? "" : " ") + arg;
  return joined;
}

ParsedCommandLine UsageError(std::string text) {
  ParsedCommandLine parsed;
  parsed.action = CommandLineAction::UsageError;
  parsed.error = std::move(text) + "；用 --help 查看用法";
  return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  CliOptions& options = parsed.options;
  JobRequestTexts& texts = options.texts;
  bool help = false;
  bool version = false;

  CLI::App app;
  app.set_help_flag();  // the Chinese help below takes its place
  app.allow_extras();   // unknown arguments are reported in Chinese below
  CLI::Option* image = app.add_option("--image", texts.imagePath);
  app.add_option("--out", texts.outputDirectory);
  app.add_option("--start-mac", texts.startMac);
  app.add_option("--count", texts.deviceCount);
  app.add_option("--macs-per-device", texts.macsPerDevice);
  CLI::Option* manifest = app.add_option("--manifest", options.manifestPath);
  app.add_flag("--dry-run", options.dryRun);
  app.add_flag("--quiet", options.quiet);
  app.add_flag("--durable", options.durable);
  app.add_flag("--version", version);
  app.add_flag("--help", help);

  try {
    std::vector<std::string> args = SplitAttachedValues(argc, argv);
    app.parse(args);
  } catch (const CLI::ArgumentMismatch& error) {
    return UsageError(std::string("每个选项须带一个值，且只能给出一次（") + error.what() + "）");
  } catch (const CLI::ParseError& error) {
    return UsageError(std::string("命令行错误：") + error.what());
  }
  if (!app.remaining().empty()) {
    return UsageError("无法识别的参数：" + JoinArguments(app.remaining()));
  }
  options.hasManifest = manifest->count() > 0;
  if (help) {
    parsed.action = CommandLineAction::ShowHelp;
  } else if (version) {
    parsed.action = CommandLineAction::ShowVersion;
  } else if (image->count() == 0) {
    return UsageError("缺少必需的选项 --image");
  } else {
    parsed.action = CommandLineAction::Run;
  }
  return parsed;
}

std::string HelpText() {
  return "用法: quillmark-cli --image PATH [--out DIR] [--start-mac TEXT] [--count TEXT]\n"
         "                     [--macs-per-device TEXT] [--manifest FILE] [--dry-run]\n"
         "                     [--quiet] [--durable] [--version] [--help]\n"
         "\n"
         "为一批网络设备生成固件：每台设备一份输入映像的副本，写入该设备连续的\n"
         "MAC地址，文件以设备的第一个地址命名（fw_045755_000000.img）。\n"
         "\n"
         "选项:\n"
         "  --image PATH            输入固件映像，大小须为4、8或16 MiB（必需）\n"
         "  --out DIR               输出目录（默认 out）\n"
         "  --start-mac TEXT        起始MAC地址（默认 04:57:55:00:00:00）\n"
         "  --count TEXT            生成数量，1到65535（默认 255）\n"
         "  --macs-per-device TEXT  每设备分配MAC数量，1到4（默认 1）\n"
         "  --manifest FILE         运行结束时写入CSV清单：表头 file,mac1,…,macN，\n"
         "                          每个完整写入的文件一行（中途停止时也写入）\n"
         "  --dry-run               只检查请求，在标准输出打印整批的清单，不写映像文件\n"
         "  --quiet                 只打印错误信息和结束信息\n"
         "  --durable               每个文件先写入磁盘再改名，结束时同步输出目录\n"
         "  --version               打印版本\n"
         "  --help                  打印本帮助\n"
         "\n"
         "值为空、含空白或以“-”开头时，请写成 --count=VALUE 的形式。\n"
         "数值按对话框的规则读取：--count=12abc 生成12台设备。\n"
         "\n"
         "退出状态:\n"
         "  0    每台设备的文件都已写入\n"
         "  1    请求被拒绝（信息在标准错误输出），未写入任何设备文件\n"
         "  2    命令行用法错误\n"
         "  3    运行中出现错误（最后一行是最后一个错误）\n"
         "  130  被SIGINT停止；143 被SIGTERM停止\n";
}

std::string VersionText() {
  return "quillmark-cli " QUILLMARK_VERSION "\n";
}

}  // namespace quillmark::cli
