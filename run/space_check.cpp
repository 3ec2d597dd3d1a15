#include "space_check.h"

#include <climits>
#include <cstdint>
#include <cstdio>

#include "device_file_writer.h"
#include "interface_text.h"
#include "mac_records.h"

namespace quillmark {
namespace {

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

long long AsPrintable(std::uint64_t bytes) {
  return bytes > static_cast<std::uint64_t>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(bytes);
}

// Bytes the files under the devices' names take now; each is freed when
// its device's file is renamed over it.
std::uint64_t ReplaceableBytes(const GenerationJob& job, const std::string& directory,
                               PlatformFiles& files) {
  std::uint64_t total = 0;
  MacAddress address = job.startMac;
  for (std::int32_t device = 0; device < job.deviceCount; ++device) {
    const std::string path = directory + kPathSeparator + address.ToFileName();
    total = SaturatingAdd(total, files.ExistingFileSize(path).value_or(0));
    for (std::int32_t j = 0; j < job.macsPerDevice; ++j)
      address.Increment();
  }
  return total;
}

}  // namespace

SpaceVerdict CheckFreeSpace(const GenerationJob& job, PlatformFiles& files) {
  const std::string directory = files.AbsolutePath(job.outputDirectory);
  const std::optional<std::uint64_t> available = files.AvailableBytes(directory);
  // Without a figure the run goes ahead: the writer still reports a full
  // disk per file and leaves no partial image under a device's name.
  if (!available)
    return {.fits = true, .checked = false, .message = ""};
  const std::uint64_t imageSize = static_cast<std::uint64_t>(job.imageSize);
  const std::uint64_t devices = static_cast<std::uint64_t>(job.deviceCount);
  std::uint64_t needed = devices * imageSize + imageSize;
  const std::uint64_t recordOffset = MacRecordsOffset(imageSize);
  const std::uint64_t recordSize = MacRecordsSize(job.macsPerDevice);
  const std::optional<std::uint64_t> perDevice =
      job.stamp ? SharedFileBytes(files, directory, *job.stamp)
                : SharedFileBytes(files, directory, recordOffset, recordSize);
  if (perDevice) {
    // Every file shares the image's data with one private copy.
    needed = imageSize + devices * *perDevice;
  }
  if (*available >= needed)
    return {};
  const std::uint64_t counted = SaturatingAdd(*available, ReplaceableBytes(job, directory, files));
  if (counted >= needed)
    return {};

  // The figures are the very two the check compared, so the line never
  // reads as if the batch fitted.
  const std::string neededText = std::to_string(AsPrintable(needed));
  const std::string countedText = std::to_string(AsPrintable(counted));
  return {.fits = false,
          .checked = true,
          .message = perDevice
                         ? Fill({"输出目录空间不足！需要%1字节（一个映像及每台设备自己的数据块），"
                                 "可用%2字节（剩余空间及本批将替换的文件）",
                                 "Not enough space in the output folder: %1 bytes needed "
                                 "(one image and each device's own blocks), %2 available "
                                 "(free space and the files the batch replaces)."},
                                {neededText, countedText})
                         : Fill({"输出目录空间不足！需要%1字节（整批映像及一个正在写入的映像），"
                                 "可用%2字节（剩余空间及本批将替换的文件）",
                                 "Not enough space in the output folder: %1 bytes needed "
                                 "(the batch and the one image being written), %2 available "
                                 "(free space and the files the batch replaces)."},
                                {neededText, countedText})};
}

}  // namespace quillmark
