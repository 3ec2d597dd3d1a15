#include "labels_command.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "batch_manifest.h"
#include "command_line.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "interface_text.h"
#include "label_font.h"
#include "label_sheet.h"
#include "memory_reuse.h"
#include "option_table.h"
#include "output_path_guard.h"
#include "printable_text.h"
#include "raw_printer.h"
#include "roll_layout.h"
#include "utf8_text.h"
#include "zpl_file.h"
#include "zpl_labels.h"

namespace quillmark::cli {
namespace {

// "a4-3x8、letter-3x10、roll-50x25", from the layouts the library knows.
std::string StockNames() {
  std::string names;
  for (const labels::LabelLayout& layout : labels::KnownLayouts())
    names += std::string(names.empty() ? "" : Pick({"、", ", "})) + std::string(layout.name);
  return names;
}

// "roll-WxH（卷标，宽20–110、高10–110毫米）"
std::string RollName() {
  return Fill(
      {"roll-WxH（卷标，宽%1–%2、高%3–%4毫米）", "roll-WxH (a roll, %1-%2 mm wide, %3-%4 mm high)"},
      {std::to_string(labels::kMinRollWidth), std::to_string(labels::kMaxRollWidth),
       std::to_string(labels::kMinRollHeight), std::to_string(labels::kMaxRollHeight)});
}

std::string LayoutNames() {
  return StockNames() + std::string(Pick({"、", ", "})) + RollName();
}

struct LabelsCommandLine {
  std::string manifest;
  std::string pdf;
  std::string zpl;
  std::string printer;
  std::string dpi = "203";
  std::string layout = std::string(labels::kDefaultLayoutName);
  std::string code = "qr";
  std::string title;
  std::string firstCell = "1";
  bool help = false;
  // Three lines, so the help fits 80 columns.
  std::string layoutHelp =
      Fill({"标签纸：%1、\n%2\n（默认 %3）", "label stock: %1,\n%2\n(default %3)"},
           {StockNames(), RollName(), labels::kDefaultLayoutName});
};

OptionTable LabelsOptionTable(LabelsCommandLine& line) {
  return {
      {.name = "--manifest",
       .valueName = "FILE",
       .help = Pick({"写入时生成的清单（file,mac1,…,macN），必需",
                     "the manifest the run wrote (file,mac1,...,macN);\nrequired"}),
       .value = &line.manifest,
       .required = true},
      {.name = "--pdf",
       .valueName = "FILE",
       .help = Pick({"输出的PDF文件", "the PDF file to write"}),
       .value = &line.pdf},
      {.name = "--zpl",
       .valueName = "FILE",
       .help = Pick({"输出的ZPL文件（热敏标签打印机的语言，只用于卷标）",
                     "the ZPL file to write (the language of thermal\nlabel printers; rolls "
                     "only)"}),
       .value = &line.zpl},
      {.name = "--printer",
       .valueName = "HOST[:PORT]",
       .help = Pick({"把ZPL直接发到打印机的原始端口（默认 9100）；\n"
                     "连接限时5秒，打印机10秒不收数据即算中断；\n"
                     "--pdf、--zpl、--printer 须给出且只给一个",
                     "send the ZPL straight to the printer's raw port\n(default 9100); 5 "
                     "seconds to connect, and a\nprinter taking no data for 10 seconds cuts "
                     "the\nsend off; give exactly one of --pdf, --zpl and\n--printer"}),
       .value = &line.printer},
      {.name = "--dpi",
       .valueName = "N",
       .help = Pick({"ZPL的打印机分辨率：203（默认）、300、600",
                     "the printer's resolution for ZPL: 203 (default),\n300, 600"}),
       .value = &line.dpi},
      {.name = "--layout", .valueName = "NAME", .help = line.layoutHelp, .value = &line.layout},
      {.name = "--code",
       .valueName = "KIND",
       .help = Pick({"条码：qr（默认，全部地址）、code128（第一个地址）、\ndatamatrix（全部地址）",
                     "the code: qr (default, every address), code128\n(the first address), "
                     "datamatrix (every address)"}),
       .value = &line.code},
      {.name = "--title",
       .valueName = "TEXT",
       .help = Pick({"每个标签底部的小字，如产品和批次",
                     "small text at the foot of each label, such as\nthe product and lot"}),
       .value = &line.title},
      {.name = "--first-cell",
       .valueName = "N",
       .help = Pick({"第一张纸从第N个标签位开始（默认 1）",
                     "start the first sheet at label position N\n(default 1)"}),
       .value = &line.firstCell},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &line.help},
  };
}

// A cell number as typed: decimal digits only, within the sheet.
std::optional<int> ReadCell(const std::string& text, int cells) {
  if (text.empty() || text.size() > 6)
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > cells)
    return std::nullopt;
  return value;
}

bool HasControlCharacter(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f)
      return true;
  }
  return false;
}

struct Request {
  labels::LabelSheetRequest sheet;
  std::optional<labels::LabelLayout> roll;  // a roll size not among the stock layouts
  std::optional<labels::PrinterAddress> printer;
  int dotsPerMillimetre = 0;
  std::string error;  // a usage error
};

void CheckRequest(const LabelsCommandLine& line, const ParsedOptions& parsed, Request& request) {
  const int outputs = (parsed.Given("--pdf") ? 1 : 0) + (parsed.Given("--zpl") ? 1 : 0) +
                      (parsed.Given("--printer") ? 1 : 0);
  if (!parsed.Given("--manifest") || outputs == 0) {
    request.error = WithHelpPointer(
        Fill({"缺少必需的选项 --manifest 或 --pdf、--zpl、--printer",
              "a required option is missing: --manifest, or one of --pdf, --zpl and --printer"},
             {}));
    return;
  }
  if (outputs > 1) {
    request.error = Pick(
        {"--pdf、--zpl、--printer 只能给出一个", "give only one of --pdf, --zpl and --printer"});
    return;
  }
  const bool zpl = !parsed.Given("--pdf");
  request.sheet.layout = labels::FindLayout(line.layout);
  if (request.sheet.layout == nullptr) {
    request.roll = labels::ParseRollLayout(line.layout);
    if (request.roll)
      request.sheet.layout = &*request.roll;
  }
  if (request.sheet.layout == nullptr) {
    request.error = Fill({"未知的标签纸：%1（可用 %2）", "unknown label stock: %1 (known: %2)"},
                         {line.layout, LayoutNames()});
    return;
  }
  if (zpl && !labels::IsRollLayout(*request.sheet.layout)) {
    request.error = Fill({"ZPL只用于卷标（roll-WxH），不用于整张标签纸：%1",
                          "ZPL is for rolls (roll-WxH) only, not for sheets: %1"},
                         {line.layout});
    return;
  }
  request.dotsPerMillimetre = labels::DotsPerMillimetre(line.dpi == "203"   ? 203
                                                        : line.dpi == "300" ? 300
                                                        : line.dpi == "600" ? 600
                                                                            : 0);
  if (request.dotsPerMillimetre == 0 || (!zpl && parsed.Given("--dpi"))) {
    request.error =
        zpl ? Fill({"分辨率须为203、300或600：%1", "the resolution must be 203, 300 or 600: %1"},
                   {line.dpi})
            : std::string(Pick(
                  {"--dpi 只用于 --zpl 和 --printer", "--dpi is only for --zpl and --printer"}));
    return;
  }
  if (parsed.Given("--printer")) {
    request.printer = labels::ParsePrinterAddress(line.printer);
    if (!request.printer) {
      request.error = Fill({"打印机地址须为HOST或HOST:PORT（端口1–65535）：%1",
                            "the printer's address must be HOST or HOST:PORT (port 1-65535): %1"},
                           {line.printer});
      return;
    }
  }
  const std::optional<labels::CodeKind> code = labels::ParseCodeKind(line.code);
  if (!code) {
    request.error = Fill({"未知的条码：%1（可用 qr、code128、datamatrix）",
                          "unknown code: %1 (known: qr, code128, datamatrix)"},
                         {line.code});
    return;
  }
  request.sheet.code = *code;
  const int cells = request.sheet.layout->CellCount();
  const std::optional<int> cell = ReadCell(line.firstCell, cells);
  if (!cell) {
    request.error =
        Fill({"起始标签位须为1到%1：%2", "the first label position must be 1 to %1: %2"},
             {std::to_string(cells), line.firstCell});
    return;
  }
  request.sheet.firstCell = *cell;
  if (!labels::DecodeUtf8(line.title) || HasControlCharacter(line.title)) {
    request.error = Pick({"标题须为不含控制字符的UTF-8文本",
                          "the title must be UTF-8 text without control characters"});
    return;
  }
  request.sheet.title = line.title;
}

// Refusals quote manifest lines and paths: shown, never obeyed.
int Refuse(const std::string& line) {
  std::fprintf(stderr, "%s\n", EscapeControlCharacters(ToValidUtf8(line)).c_str());
  return kExitRejected;
}

// The sheet replaces neither the manifest it prints nor a device's file
// or temporary name, wherever the batch was written.
OutputPathGuard SheetGuard(const LabelsCommandLine& line, const BatchManifest& manifest) {
  GuardedBatch batch;
  batch.devices.reserve(manifest.devices.size());
  for (const ManifestDevice& device : manifest.devices)
    batch.devices.push_back(device.first);
  return {std::string(Pick({"标签文件", "label file"})),
          {{line.manifest, std::string(Pick({"清单文件", "manifest"}))}},
          std::move(batch)};
}

// Labels know neither the image nor the batch's folder: a file already
// under the sheet's name may be replaced only when it is an earlier sheet
// (or empty), so a firmware image or a device's file anywhere stays.
bool IsReplaceableSheet(const std::string& path, std::string_view start, PlatformFiles& files) {
  if (files.KindOf(path) != PathKind::RegularFile)
    return true;
  const FileHandle file = files.OpenForReading(path);
  if (file == kNoFile)
    return false;
  std::string head(start.size(), '\0');
  const std::uint64_t got =
      files.ReadAll(file, reinterpret_cast<std::uint8_t*>(head.data()), head.size());
  files.Close(file);
  return got == 0 || (got == head.size() && head == start);
}

// The whole ZPL is made before a byte is written or sent: a label that
// cannot be printed refuses the run with nothing printed.
int PrintZpl(const LabelsCommandLine& line, const Request& request, const BatchManifest& manifest,
             SystemFiles& files) {
  labels::ZplRequest zpl;
  zpl.layout = request.sheet.layout;
  zpl.code = request.sheet.code;
  zpl.title = request.sheet.title;
  zpl.dotsPerMillimetre = request.dotsPerMillimetre;
  const labels::ZplOutcome made = labels::MakeZplLabels(zpl, manifest);
  labels::ReleaseFontCaches();
  if (!made.made)
    return Refuse(made.error);
  const std::string error = request.printer
                                ? labels::SendToPrinter(*request.printer, made.zpl)
                                : labels::WriteZplFile(line.zpl, made.zpl, line.manifest, files);
  if (!error.empty())
    return Refuse(error);
  const std::string count = std::to_string(manifest.devices.size());
  const std::string done =
      request.printer
          ? Fill({"标签已发送：%1个标签：打印机 %2\n", "Labels sent: %1 label(s): printer %2\n"},
                 {count, EscapeControlCharacters(ToValidUtf8(line.printer))})
          : Fill({"标签已写入：%1个标签：%2\n", "Labels written: %1 label(s): %2\n"},
                 {count, EscapeControlCharacters(ToValidUtf8(line.zpl))});
  std::fputs(done.c_str(), stdout);
  return kExitSuccess;
}

}  // namespace

std::string LabelsHelpText() {
  LabelsCommandLine line;
  const OptionTable table = LabelsOptionTable(line);
  return Synopsis("quillmark-cli labels", table) +
         std::string(Pick({"\n"
                           "按清单打印设备标签：每台设备一个标签，顺序同清单；第一个地址用大字，\n"
                           "其余地址用小字，条码和一行小字（标题与文件名）。\n"
                           "\n"
                           "选项:\n",
                           "\n"
                           "Prints the devices' labels from a manifest: one label per device,\n"
                           "in the manifest's order; the first address in large type, the\n"
                           "others in small type, a code and a line of small text (the title\n"
                           "and the file name).\n"
                           "\n"
                           "Options:\n"})) +
         HelpRows(table) + "\n" + ExitStatusSection(ExitTable::Labels);
}

int RunLabelsCommand(const std::vector<std::string>& args) {
  LabelsCommandLine line;
  const OptionTable table = LabelsOptionTable(line);
  const ParsedOptions parsed = ParseOptions(table, args);
  if (!parsed.ok)
    return ReportUsageError(parsed.error);
  if (line.help) {
    std::fputs(LabelsHelpText().c_str(), stdout);
    return kExitSuccess;
  }
  Request request;
  CheckRequest(line, parsed, request);
  if (!request.error.empty())
    return ReportUsageError(request.error);

  SystemFiles files;
  const ManifestReading reading = ReadManifest(line.manifest, files);
  if (!reading.manifest)
    return Refuse(reading.error);
  if (reading.manifest->devices.empty())
    return Refuse(Fill({"清单中没有设备，没有可打印的标签！%1",
                        "The manifest lists no devices, so there are no labels to print: %1"},
                       {line.manifest}));
  if (!request.printer) {
    const bool pdf = parsed.Given("--pdf");
    const std::string& path = pdf ? line.pdf : line.zpl;
    if (const std::string refusal =
            CheckOutputPath(path, SheetGuard(line, *reading.manifest), files);
        !refusal.empty()) {
      return Refuse(refusal);
    }
    if (!IsReplaceableSheet(path, pdf ? "%PDF-" : "^XA", files))
      return Refuse(pdf ? Fill({"标签文件已存在且不是PDF文件！%1",
                                "The label file exists and is not a PDF file: %1"},
                               {path})
                        : Fill({"标签文件已存在且不是ZPL文件！%1",
                                "The label file exists and is not a ZPL file: %1"},
                               {path}));
  }
  KeepFreedMemoryForReuse();
  if (!parsed.Given("--pdf"))
    return PrintZpl(line, request, *reading.manifest, files);
  const labels::LabelSheetOutcome outcome =
      labels::WriteLabelSheet(line.pdf, request.sheet, *reading.manifest, files);
  labels::ReleaseFontCaches();
  if (!outcome.written)
    return Refuse(outcome.error);
  const std::string written =
      Fill({"标签已写入：%1个标签，%2页：%3\n", "Labels written: %1 label(s), %2 page(s): %3\n"},
           {std::to_string(reading.manifest->devices.size()), std::to_string(outcome.pages),
            EscapeControlCharacters(ToValidUtf8(line.pdf))});
  std::fputs(written.c_str(), stdout);
  return kExitSuccess;
}

}  // namespace quillmark::cli
