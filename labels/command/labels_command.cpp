#include "labels_command.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "batch_manifest.h"
#include "exit_codes.h"
#include "exit_statuses.h"
#include "interface_text.h"
#include "label_font.h"
#include "label_sheet.h"
#include "labels_request.h"
#include "memory_reuse.h"
#include "option_table.h"
#include "output_path_guard.h"
#include "printable_text.h"
#include "raw_printer.h"
#include "station_config.h"
#include "usage_error.h"
#include "utf8_text.h"
#include "zpl_file.h"
#include "zpl_labels.h"

namespace quillmark::cli {
namespace {

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
// (or empty), so a firmware image or a device's file anywhere stays. A ZPL
// file opens with its first label, or with the title's picture stored
// ahead of the labels.
bool IsReplaceableSheet(const std::string& path, std::initializer_list<std::string_view> starts,
                        PlatformFiles& files) {
  if (files.KindOf(path) != PathKind::RegularFile)
    return true;
  const FileHandle file = files.OpenForReading(path);
  if (file == kNoFile)
    return false;
  std::size_t longest = 0;
  for (const std::string_view start : starts)
    longest = std::max(longest, start.size());
  std::string head(longest, '\0');
  const std::uint64_t got =
      files.ReadAll(file, reinterpret_cast<std::uint8_t*>(head.data()), head.size());
  files.Close(file);
  head.resize(static_cast<std::size_t>(got));
  if (head.empty())
    return true;
  for (const std::string_view start : starts) {
    if (head.starts_with(start))
      return true;
  }
  return false;
}

// Why the labels did not all reach the printer, with how many did: a
// label counts once the printer's side acknowledged its last byte.
std::string PrinterFailure(const labels::PrinterAddress& printer, const labels::PrinterSend& send,
                           const std::vector<std::uint64_t>& labelEnds, std::size_t labels) {
  const std::string named = labels::PrinterName(printer);
  const auto arrived =
      std::upper_bound(labelEnds.begin(), labelEnds.end(), send.acknowledged) - labelEnds.begin();
  const std::string got = std::to_string(arrived);
  const std::string all = std::to_string(labels);  // those not yet made included
  switch (send.fault) {
    case labels::PrinterFault::None:
      return {};
    case labels::PrinterFault::NotFound:
      return Fill({"找不到打印机：%1！", "Cannot find the printer: %1."}, {named});
    case labels::PrinterFault::NoConnection:
      return Fill({"无法连接打印机：%1！", "Cannot connect to the printer: %1."}, {named});
    case labels::PrinterFault::CutOff:
      return Fill({"发送到打印机中断，已送达%1个标签（共%2个）：%3！",
                   "Sending to the printer was cut off: %1 of %2 {2:label|labels} arrived: %3."},
                  {got, all, named});
    case labels::PrinterFault::TimedOut:
      return Fill({"打印机未及时收下全部标签，已送达%1个标签（共%2个）：%3！",
                   "The printer did not take every label in time: %1 of %2 {2:label|labels} "
                   "arrived: %3."},
                  {got, all, named});
  }
  return {};
}

// The bytes, noting where each label ends ("^XZ" ends a label and nothing
// else: a field's '^' goes as a hex escape).
labels::ByteSource NotingLabelEnds(const labels::ByteSource& bytes,
                                   std::vector<std::uint64_t>& ends) {
  return [&bytes, &ends](const labels::ByteSink& put) {
    std::uint64_t offset = 0;
    return bytes([&](std::string_view piece) {
      for (std::size_t at = piece.find("^XZ"); at != std::string_view::npos;
           at = piece.find("^XZ", at + 3)) {
        const std::size_t end = piece.find('\n', at);
        ends.push_back(offset + (end == std::string_view::npos ? piece.size() : end + 1));
      }
      offset += piece.size();
      return put(piece);
    });
  };
}

// Every label is checked before a byte is written or sent, so a label that
// cannot be printed refuses the run with nothing printed; then the labels
// are made one at a time straight into the staged file or onto the socket.
int PrintZpl(const LabelsCommandLine& line, const LabelsRequest& request,
             const BatchManifest& manifest, SystemFiles& files) {
  labels::ZplRequest zpl;
  zpl.layout = request.sheet.layout;
  zpl.code = request.sheet.code;
  zpl.title = request.sheet.title;
  zpl.font = request.sheet.font;
  zpl.dotsPerMillimetre = request.dotsPerMillimetre;
  std::string error;
  {
    const labels::ZplLabels document = labels::CheckZplLabels(zpl, manifest);
    error = document.Error();
    const labels::ByteSource bytes = [&](const labels::ByteSink& put) {
      return document.WriteTo(put);
    };
    if (error.empty() && request.printer) {
      std::vector<std::uint64_t> labelEnds;
      labelEnds.reserve(manifest.devices.size());
      const labels::PrinterSend send = labels::SendToPrinter(
          *request.printer, NotingLabelEnds(bytes, labelEnds), request.printerSeconds);
      error = PrinterFailure(*request.printer, send, labelEnds, manifest.devices.size());
    } else if (error.empty()) {
      error = labels::WriteZplFile(line.zpl, bytes, line.manifest, files);
    }
  }
  labels::ReleaseFontCaches();  // the document held the font
  if (!error.empty())
    return Refuse(error);
  const std::string count = std::to_string(manifest.devices.size());
  const std::string done =
      request.printer
          ? Fill({"标签已发送：%1个标签：打印机 %2\n",
                  "Labels sent: %1 {1:label|labels}: printer %2\n"},
                 {count, EscapeControlCharacters(ToValidUtf8(line.printer))})
          : Fill({"标签已写入：%1个标签：%2\n", "Labels written: %1 {1:label|labels}: %2\n"},
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
  // A configuration in error stops the command as it stops a write: the
  // lot it names may be the title the labels lack.
  const StationConfigResult config = LoadStationConfig();
  if (!config.error.empty())
    return ReportUsageError(config.error);
  if (const std::string error = ResolveTitle(line, parsed, config.config); !error.empty())
    return ReportUsageError(error);
  if (const std::string error = ResolveFont(line, parsed, config.config); !error.empty())
    return ReportUsageError(error);
  ResolveLayout(line, parsed, config.config);
  LabelsRequest request;
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
    if (!(pdf ? IsReplaceableSheet(path, {"%PDF-"}, files)
              : IsReplaceableSheet(path, {"^XA", "~DG"}, files)))
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
      Fill({"标签已写入：%1个标签，%2页：%3\n",
            "Labels written: %1 {1:label|labels}, %2 {2:page|pages}: %3\n"},
           {std::to_string(reading.manifest->devices.size()), std::to_string(outcome.pages),
            EscapeControlCharacters(ToValidUtf8(line.pdf))});
  std::fputs(written.c_str(), stdout);
  return kExitSuccess;
}

}  // namespace quillmark::cli
