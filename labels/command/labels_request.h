#pragma once

// The labels subcommand's command line: its options, and the request they
// make once checked.

#include <optional>
#include <string>

#include "interface_text.h"
#include "label_layout.h"
#include "label_sheet.h"
#include "option_table.h"
#include "raw_printer.h"
#include "station_config.h"

namespace quillmark::cli {

// "a4-3x8、letter-3x10、roll-50x25、roll-WxH（…）", from the layouts the library
// knows.
std::string LayoutNames();
// The stock layouts' names, and the roll's pattern with its limits.
std::string StockNames();
std::string RollName();

struct LabelsCommandLine {
  std::string manifest;
  std::string pdf;
  std::string zpl;
  std::string printer;
  std::string printerTimeout = std::to_string(labels::kDefaultJobSeconds);
  std::string dpi = "203";
  std::string layout;  // empty until given or resolved (ResolveLayout)
  std::string code = "qr";
  std::string title;
  std::string lot;
  std::string font;
  std::string firstCell = "1";
  bool help = false;
  // Three lines, so the help fits 80 columns.
  std::string layoutHelp =
      Fill({"标签纸：%1、\n%2\n（默认取工位配置的 layout，再取 %3；\n--zpl、--printer 为 %4）",
            "label stock: %1,\n%2\n(by default the station configuration's\nlayout, else %3; "
            "%4 for --zpl\nand --printer)"},
           {StockNames(), RollName(), labels::kDefaultLayoutName, labels::kDefaultRollLayoutName});
  std::string fontHelp =
      Fill({"标签字体的家族名（默认取工位配置的 label_font，\n再取 %1）",
            "the label font's family name (by default the\nstation configuration's label_font, "
            "else\n%1)"},
           {labels::kDefaultLabelFont});
  std::string printerTimeoutHelp =
      Fill({"发送到打印机的总时限，直到打印机确认\n收到最后一个字节（默认 %1 秒）",
            "how long the whole send to the printer may take,\nuntil the printer "
            "acknowledges its last byte\n(default %1 seconds)"},
           {std::to_string(labels::kDefaultJobSeconds)});
};

OptionTable LabelsOptionTable(LabelsCommandLine& line);

struct LabelsRequest {
  labels::LabelSheetRequest sheet;
  std::optional<labels::LabelLayout> roll;  // a roll size not among the stock layouts
  std::optional<labels::PrinterAddress> printer;
  int printerSeconds = labels::kDefaultJobSeconds;  // the whole send's limit
  int dotsPerMillimetre = 0;
  std::string error;  // a usage error
};

// The title: --title when given (even empty), else the lot (--lot when
// given, else the station configuration's), else none. The lot is judged
// as the write judges it before the ledger records it. Returns a usage
// error or "".
std::string ResolveTitle(LabelsCommandLine& line, const ParsedOptions& parsed,
                         const StationConfig& config);

// The font: --font when given, else the station configuration's
// label_font, else the family the packages install. Returns a usage error
// or "".
std::string ResolveFont(LabelsCommandLine& line, const ParsedOptions& parsed,
                        const StationConfig& config);

// The stock: --layout when given, else the station configuration's
// layout, else roll-50x25 for ZPL (--zpl, --printer) and a4-3x8 for a PDF.
void ResolveLayout(LabelsCommandLine& line, const ParsedOptions& parsed,
                   const StationConfig& config);

// The options as a request, or the usage error that refuses them.
void CheckRequest(const LabelsCommandLine& line, const ParsedOptions& parsed,
                  LabelsRequest& request);

}  // namespace quillmark::cli
