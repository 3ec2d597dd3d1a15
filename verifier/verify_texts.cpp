#include "verify_texts.h"

#include <cinttypes>
#include <cstdio>

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
  return "校验MAC固件: " + first.ToColonText();
}

std::string DeviceFaultText(const ExpectedBatch& batch, const DeviceResult& result) {
  const std::string path = batch.PathOf(result.first.ToFileName());
  switch (result.fault) {
    case DeviceFault::None:
      return {};
    case DeviceFault::Missing:
      return "文件缺失: " + path;
    case DeviceFault::NotRegularFile:
      return "不是普通文件: " + path;
    case DeviceFault::WrongSize:
      return "文件大小错误: " + path + " " + std::to_string(result.size);
    case DeviceFault::Differs:
      return "文件内容不符: " + path + " 偏移" + Hex(result.offset) +
             (result.part.empty() ? "" : "（" + result.part + "）");
    case DeviceFault::RecordsWrong:
      return "MAC记录错误: " + path + " 找到 " + AddressList(result.heldAddresses) + "，应为 " +
             AddressList(ExpectedAddresses(result.first, batch.macsPerDevice));
    case DeviceFault::Unreadable:
      return "读取文件出错: " + path;
    case DeviceFault::ChangedWhileRead:
      return "文件在校验期间被改动！" + path;
  }
  return {};
}

std::string FindingText(const ExpectedBatch& batch, const FolderFinding& finding) {
  const std::string path = batch.PathOf(finding.name);
  if (finding.batchAddress)
    return "MAC地址重复: " + path + " " + finding.batchAddress->ToColonText();
  return (finding.temporary ? "残留临时文件: " : "批次外文件: ") + path;
}

std::string UnlistedFolderText(const ExpectedBatch& batch) {
  return "读取输出目录出错: " + batch.outputDirectory;
}

std::string MoreFailuresText(std::size_t count) {
  return "……另有" + std::to_string(count) + "项失败";
}

std::string SummaryText(const VerifyOutcome& outcome, std::size_t deviceCount) {
  std::string text = outcome.stopped ? "校验已停止：" : "校验结束：";
  text += "已校验" + std::to_string(outcome.devicesChecked) + "台";
  if (outcome.stopped)
    text += "（共" + std::to_string(deviceCount) + "台）";
  text += "，完好" + std::to_string(outcome.devicesExact) + "台，失败" +
          std::to_string(outcome.devicesFailed) + "台";
  if (outcome.duplicateFiles > 0)
    text += "，MAC地址重复文件" + std::to_string(outcome.duplicateFiles) + "个";
  if (outcome.otherFiles > 0)
    text += "，批次外文件" + std::to_string(outcome.otherFiles) + "个";
  return text;
}

}  // namespace quillmark
