#include "verify_report.h"

#include <cinttypes>
#include <cstdio>

#include "utf8_text.h"

namespace quillmark::cli {
namespace {

// A field as CSV needs it: quoted, with its quotes doubled, when it holds
// a comma, a quote or a line break.
std::string CsvField(const std::string& raw) {
  const std::string text = ToValidUtf8(raw);
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (const char c : text)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

const char* ResultName(DeviceFault fault) {
  switch (fault) {
    case DeviceFault::None:
      return "exact";
    case DeviceFault::Missing:
      return "missing";
    case DeviceFault::NotRegularFile:
      return "not-regular-file";
    case DeviceFault::WrongSize:
      return "wrong-size";
    case DeviceFault::Differs:
      return "differs";
    case DeviceFault::RecordsWrong:
      return "records-wrong";
    case DeviceFault::Unreadable:
      return "unreadable";
    case DeviceFault::ChangedWhileRead:
      return "changed-while-read";
  }
  return "unreadable";
}

std::string Detail(const DeviceResult& result) {
  switch (result.fault) {
    case DeviceFault::WrongSize:
      return std::to_string(result.size);
    case DeviceFault::Differs: {
      char text[32];
      std::snprintf(text, sizeof text, "0x%" PRIx64, result.offset);
      // With a profile, the field or checksum the offset lies in.
      return result.reportPart.empty() ? std::string(text) : text + (" " + result.reportPart);
    }
    case DeviceFault::RecordsWrong: {
      std::string text;
      for (const MacAddress& address : result.heldAddresses)
        text += (text.empty() ? "" : " ") + address.ToColonText();
      return text;
    }
    default:
      return {};
  }
}

}  // namespace

VerifyReport::VerifyReport() : m_text("file,result,detail\n") {}

void VerifyReport::AddDevice(const DeviceResult& result) {
  AddRow(result.first.ToFileName(), ResultName(result.fault), Detail(result));
}

void VerifyReport::AddUnchecked(const MacAddress& first) {
  AddRow(first.ToFileName(), "unchecked", {});
}

void VerifyReport::AddFolderScan(const ExpectedBatch& batch, const FolderScan& scan) {
  if (!scan.listed)
    AddRow(batch.outputDirectory, "folder-unreadable", {});
  for (const FolderFinding& finding : scan.findings) {
    if (finding.batchAddress)
      AddRow(finding.name, "duplicate", finding.batchAddress->ToColonText());
    else
      AddRow(finding.name, finding.temporary ? "leftover" : "extra", {});
  }
}

void VerifyReport::AddRow(const std::string& file, const char* result, const std::string& detail) {
  m_text += CsvField(file) + ',' + result + ',' + CsvField(detail) + '\n';
}

}  // namespace quillmark::cli
