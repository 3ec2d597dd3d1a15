#include "verify_texts.h"

#include <cinttypes>
#include <cstdio>

#include "interface_text.h"

namespace quillmark {
namespace {

std::string Hex(std::uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%" PRIx64, value);
  return text;
}

std::string AddressList(const std::vector<MacAddress>& addresses) {
  std::string text;
  for (const MacAddress& address : addresses)
    text += (text.empty() ? "" : " ") + address.ToColonText();
  return text;
}

// The addresses a device's records must hold, from its first on.
std::vector<MacAddress> ExpectedAddresses(MacAddress first, std::int32_t count) {
  std::vector<MacAddress> addresses;
  for (std::int32_t i = 0; i < count; ++i) {
    addresses.push_back(first);
    first.Increment();
  }
  return addresses;
}

}  // namespace

std::string CheckingText(const MacAddress& first) {
  return Fill({"校验MAC固件: %1", "Checking device image: %1"}, {first.ToColonText()});
}

std::string DeviceFaultText(const ExpectedBatch& batch, const DeviceResult& result) {
  const std::string path = batch.PathOf(result.first.ToFileName());
  switch (result.fault) {
    case DeviceFault::None:
      return {};
    case DeviceFault::Missing:
      return Fill({"文件缺失: %1", "File missing: %1"}, {path});
    case DeviceFault::NotRegularFile:
      return Fill({"不是普通文件: %1", "Not a regular file: %1"}, {path});
    case DeviceFault::WrongSize:
      return Fill({"文件大小错误: %1 %2", "Wrong file size: %1 %2 bytes"},
                  {path, std::to_string(result.size)});
    case DeviceFault::Differs:
      if (result.part.empty())
        return Fill({"文件内容不符: %1 偏移%2", "File content differs: %1 at offset %2"},
                    {path, Hex(result.offset)});
      return Fill({"文件内容不符: %1 偏移%2（%3）", "File content differs: %1 at offset %2 (%3)"},
                  {path, Hex(result.offset), result.part});
    case DeviceFault::RecordsWrong:
      return Fill(
          {"MAC记录错误: %1 找到 %2，应为 %3", "Wrong MAC records: %1 holds %2, expected %3"},
          {path, AddressList(result.heldAddresses),
           AddressList(ExpectedAddresses(result.first, batch.macsPerDevice))});
    case DeviceFault::Unreadable:
      return Fill({"读取文件出错: %1", "Cannot read file: %1"}, {path});
    case DeviceFault::ChangedWhileRead:
      return Fill({"文件在校验期间被改动！%1", "File changed while being verified: %1"}, {path});
  }
  return {};
}

std::string FindingText(const ExpectedBatch& batch, const FolderFinding& finding) {
  const std::string path = batch.PathOf(finding.name);
  if (finding.batchAddress)
    return Fill({"MAC地址重复: %1 %2", "Duplicate MAC address: %1 holds %2"},
                {path, finding.batchAddress->ToColonText()});
  if (finding.temporary)
    return Fill({"残留临时文件: %1", "Leftover temporary file: %1"}, {path});
  return Fill({"批次外文件: %1", "File not in the batch: %1"}, {path});
}

std::string UnlistedFolderText(const ExpectedBatch& batch) {
  return Fill({"读取输出目录出错: %1", "Cannot read the output folder: %1"},
              {batch.outputDirectory});
}

std::optional<std::uint64_t> CommonDifferingOffset(
    const std::map<std::uint64_t, std::int32_t>& devicesByOffset, std::int32_t devicesChecked) {
  for (const auto& [offset, devices] : devicesByOffset) {
    if (devices >= 2 && devices * 2 > devicesChecked)
      return offset;
  }
  return std::nullopt;
}

std::string WrongImageText(std::uint64_t offset) {
  return Fill({"大多数设备在同一偏移%1处不符：给出的镜像可能不是写入时用的镜像",
               "Most devices differ at the same offset %1: the image given may not be the one "
               "written"},
              {Hex(offset)});
}

std::string MoreFailuresText(std::size_t count) {
  return Fill({"……另有%1项失败", "... and %1 more failures"}, {std::to_string(count)});
}

std::string SummaryText(const VerifyOutcome& outcome, std::size_t deviceCount) {
  const std::string checked = std::to_string(outcome.devicesChecked);
  std::string text =
      outcome.stopped
          ? Fill({"校验已停止：已校验%1台（共%2台）",
                  "Check stopped: %1 of %2 {2:device|devices} checked"},
                 {checked, std::to_string(deviceCount)})
          : Fill({"校验结束：已校验%1台", "Check finished: %1 {1:device|devices} checked"},
                 {checked});
  text += Fill({"，完好%1台，失败%2台", ", %1 exact, %2 failed"},
               {std::to_string(outcome.devicesExact), std::to_string(outcome.devicesFailed)});
  if (outcome.duplicateFiles > 0)
    text += Fill({"，MAC地址重复文件%1个", ", %1 {1:file|files} with a duplicate MAC address"},
                 {std::to_string(outcome.duplicateFiles)});
  if (outcome.otherFiles > 0)
    text += Fill({"，批次外文件%1个", ", %1 {1:file|files} not in the batch"},
                 {std::to_string(outcome.otherFiles)});
  return text;
}

}  // namespace quillmark
