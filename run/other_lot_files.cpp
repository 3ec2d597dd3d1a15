#include "other_lot_files.h"

#include <set>

#include "batch_files.h"
#include "interface_text.h"

namespace quillmark {

std::int32_t CountOtherLotFiles(const GenerationJob& job, PlatformFiles& files) {
  const std::optional<std::vector<std::string>> names = files.ListDirectory(job.outputDirectory);
  if (!names)
    return 0;
  // The folder's device-like names are few beside a whole range's: the
  // batch's names are struck from them one at a time, never all kept.
  std::set<std::string> others;
  for (const std::string& name : *names) {
    if (HasDeviceFileShape(name))
      others.insert(name);
  }
  ForEachPlannedDevice(job, [&](const MacAddress& first) {
    others.erase(first.ToFileName());
    return !others.empty();
  });
  return static_cast<std::int32_t>(others.size());
}

std::string OtherLotFilesText(const std::string& outputDirectory, std::int32_t count) {
  return Fill(
      {"警告：输出目录 %1 中已有%2个不属于本批的 fw_*.img 文件，烧录整个目录时会一起烧录",
       "Warning: the output folder %1 already holds %2 fw_*.img {2:file|files} not of this batch; "
       "flashing the whole folder would flash them too"},
      {outputDirectory, std::to_string(count)});
}

std::string PrefixCarryText(const GenerationJob& job) {
  std::uint64_t start = 0;
  for (const std::int32_t octet : job.startMac.octets)
    start = start << 8 | static_cast<std::uint64_t>(octet & 0xff);
  const std::uint64_t size =
      static_cast<std::uint64_t>(job.deviceCount) * static_cast<std::uint64_t>(job.macsPerDevice);
  const std::uint64_t last = (start + size - 1) & 0xffffffffffffULL;
  if (size == 0 || (last >> 24) == (start >> 24))
    return "";
  MacAddress lastAddress;
  for (std::size_t i = 0; i < 6; ++i)
    lastAddress.octets[i] = static_cast<std::int32_t>((last >> (40 - 8 * i)) & 0xff);
  return Fill({"警告：本批地址越过起始地址的前三个字节（厂商前缀）：%1 至 %2",
               "Warning: the batch's addresses run past the first three bytes of the start "
               "address (the vendor prefix): %1 to %2"},
              {job.startMac.ToColonText(), lastAddress.ToColonText()});
}

}  // namespace quillmark
