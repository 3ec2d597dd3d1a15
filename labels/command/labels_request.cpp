#include "labels_request.h"

#include "interface_text.h"
#include "label_code.h"
#include "label_font.h"
#include "note_text.h"
#include "printable_text.h"
#include "roll_layout.h"
#include "zpl_labels.h"

namespace quillmark::cli {
namespace {

// A number as typed: decimal digits only, from 1 to most.
std::optional<int> ReadCount(const std::string& text, int most) {
  if (text.empty() || text.size() > 6)
    return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > most)
    return std::nullopt;
  return value;
}

}  // namespace

std::string StockNames() {
  std::string names;
  for (const labels::LabelLayout& layout : labels::KnownLayouts())
    names += std::string(names.empty() ? "" : Pick({"、", ", "})) + std::string(layout.name);
  return names;
}

std::string RollName() {
  return Fill(
      {"roll-WxH（卷标，宽%1–%2、高%3–%4毫米）", "roll-WxH (a roll, %1-%2 mm wide, %3-%4 mm high)"},
      {std::to_string(labels::kMinRollWidth), std::to_string(labels::kMaxRollWidth),
       std::to_string(labels::kMinRollHeight), std::to_string(labels::kMaxRollHeight)});
}

std::string LayoutNames() {
  return StockNames() + std::string(Pick({"、", ", "})) + RollName();
}

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
      {.name = "--printer-timeout",
       .valueName = "SECONDS",
       .help = line.printerTimeoutHelp,
       .value = &line.printerTimeout},
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
       .help = Pick({"每个标签底部的小字，如产品和批次（默认取批号）",
                     "small text at the foot of each label, such as\nthe product and lot (by "
                     "default the lot)"}),
       .value = &line.title,
       .emptyMeansNone = true},
      {.name = "--lot",
       .valueName = "TEXT",
       .help = Pick({"生产批号，未给 --title 时作标题（默认取工位配置）",
                     "the production lot, the title when --title is\nnot given (by default the "
                     "station\nconfiguration's)"}),
       .value = &line.lot,
       .emptyMeansNone = true},
      {.name = "--font", .valueName = "FAMILY", .help = line.fontHelp, .value = &line.font},
      {.name = "--first-cell",
       .valueName = "N",
       .help = Pick({"第一张纸从第N个标签位开始（默认 1）",
                     "start the first sheet at label position N\n(default 1)"}),
       .value = &line.firstCell},
      {.name = "--help", .help = Pick({"打印本帮助", "print this help"}), .flag = &line.help},
  };
}

std::string ResolveTitle(LabelsCommandLine& line, const ParsedOptions& parsed,
                         const StationConfig& config) {
  const std::string lot = parsed.Given("--lot") ? line.lot : config.lot.value_or("");
  // The write's rules: a lot it would refuse is not printed either.
  if (std::string problem = LotProblem(lot); !problem.empty())
    return problem;
  if (!parsed.Given("--title"))
    line.title = lot;
  return "";
}

std::string ResolveFont(LabelsCommandLine& line, const ParsedOptions& parsed,
                        const StationConfig& config) {
  if (!parsed.Given("--font"))
    line.font = config.labelFont.value_or(std::string(labels::kDefaultLabelFont));
  if (line.font.empty() || !IsValidUtf8(line.font) || HasControlCharacters(line.font))
    return Fill({"字体须为不含控制字符的非空UTF-8文本：%1",
                 "the font must be non-empty UTF-8 text without control characters: %1"},
                {EscapeControlCharacters(EscapeInvalidUtf8(line.font))});
  return "";
}

void ResolveLayout(LabelsCommandLine& line, const ParsedOptions& parsed,
                   const StationConfig& config) {
  if (parsed.Given("--layout"))
    return;
  const bool zpl = parsed.Given("--zpl") || parsed.Given("--printer");
  line.layout = config.labelLayout.value_or(
      std::string(zpl ? labels::kDefaultRollLayoutName : labels::kDefaultLayoutName));
}

void CheckRequest(const LabelsCommandLine& line, const ParsedOptions& parsed,
                  LabelsRequest& request) {
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
    request.error = Fill({"ZPL只用于卷标（roll-WxH，如 --layout %2），不用于整张标签纸：%1",
                          "ZPL is for rolls (roll-WxH, such as --layout %2) only, not for "
                          "sheets: %1"},
                         {line.layout, labels::kDefaultRollLayoutName});
    return;
  }
  request.dotsPerMillimetre = labels::DotsPerMillimetre(line.dpi);
  if (request.dotsPerMillimetre == 0 || (!zpl && parsed.Given("--dpi"))) {
    request.error =
        zpl ? Fill({"分辨率须为203、300或600：%1", "the resolution must be 203, 300 or 600: %1"},
                   {line.dpi})
            : std::string(Pick(
                  {"--dpi 只用于 --zpl 和 --printer", "--dpi is only for --zpl and --printer"}));
    return;
  }
  if (parsed.Given("--printer-timeout") && !parsed.Given("--printer")) {
    request.error =
        Pick({"--printer-timeout 只用于 --printer", "--printer-timeout is only for --printer"});
    return;
  }
  const std::optional<int> seconds = ReadCount(line.printerTimeout, labels::kMaxJobSeconds);
  if (!seconds) {
    request.error =
        Fill({"打印机时限须为1到%1秒：%2", "the printer timeout must be 1 to %1 seconds: %2"},
             {std::to_string(labels::kMaxJobSeconds), line.printerTimeout});
    return;
  }
  request.printerSeconds = *seconds;
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
  const std::optional<int> cell = ReadCount(line.firstCell, cells);
  if (!cell) {
    request.error =
        Fill({"起始标签位须为1到%1：%2", "the first label position must be 1 to %1: %2"},
             {std::to_string(cells), line.firstCell});
    return;
  }
  request.sheet.firstCell = *cell;
  if (!labels::DecodeUtf8(line.title) || HasControlCharacters(line.title)) {
    request.error = Pick({"标题须为不含控制字符的UTF-8文本",
                          "the title must be UTF-8 text without control characters"});
    return;
  }
  request.sheet.title = line.title;
  request.sheet.font = line.font;
}

}  // namespace quillmark::cli
