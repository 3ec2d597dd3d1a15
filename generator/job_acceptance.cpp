#include "job_acceptance.h"

#include <cinttypes>
#include <cstdio>

#include "batch_files.h"
#include "batch_limits.h"
#include "image_checks.h"
#include "interface_text.h"
#include "status_texts.h"
#include "text_scan.h"

namespace quillmark {
namespace {

JobVerdict Reject(std::string message, MessageStyle style = MessageStyle::Plain) {
  return JobVerdict{false, std::move(message), style};
}

JobVerdict RejectWith(std::string message, std::string detail) {
  JobVerdict verdict{false, std::move(message), MessageStyle::Plain};
  verdict.detail = std::move(detail);
  return verdict;
}

std::string StartMacRule(const std::optional<MacAddress>& start) {
  if (!start)
    return std::string(Pick({"须为6个十六进制字节，以冒号分隔（如 04:57:55:00:00:00）",
                             "give 6 hexadecimal bytes separated by colons (such as "
                             "04:57:55:00:00:00)"}));
  if ((start->octets[0] & 3) != 0)
    return std::string(Pick({"第一个字节须为单播、全球管理地址",
                             "the first byte must make a unicast, globally administered address"}));
  return std::string(
      Pick({"第二、三字节不能同时为ff", "the second and third bytes must not both be ff"}));
}

// Why the output directory cannot be made, for the detail line.
std::string OutputDirectoryProblem(const std::string& path, PlatformFiles& files,
                                   OutputDirectoryRule rule) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && IsPathSeparator(trimmed.back()))
    trimmed.pop_back();
  if (trimmed.empty())
    return std::string(Pick({"（空）：须给出输出目录", "(empty): give an output folder"}));
  const PathKind kind = files.KindOf(trimmed);
  if (kind != PathKind::None && kind != PathKind::Directory)
    return Fill({"%1：已存在且不是目录", "%1: exists and is not a folder"}, {path});
  if (kind == PathKind::None && rule == OutputDirectoryRule::MustExist)
    return Fill({"%1：不存在（校验不创建目录）", "%1: does not exist (a check creates no folder)"},
                {path});
  if (kind == PathKind::None && !OutputDirectoryCouldBeMade(trimmed, files))
    return Fill({"%1：上级目录不存在", "%1: its parent folder does not exist"}, {path});
  return Fill({"%1：无法创建", "%1: cannot be created"}, {path});
}

bool ReadCount(const std::string& text, std::int32_t low, std::int32_t high, std::int32_t& count) {
  const std::optional<std::int32_t> value = ReadDecimalInt32(text);
  count = value.value_or(0);
  return value && *value >= low && *value <= high;
}

// Reads and checks the image behind an open file. The file stays open;
// the caller closes it whatever the outcome.
JobVerdict LoadImage(GenerationJob& job, const std::string& imagePath, FileHandle file,
                     PlatformFiles& files) {
  const std::optional<std::uint64_t> size = files.SizeOf(file);
  if (!size || !IsAcceptedImageSize(*size)) {
    // The whole 64-bit size is shown, so a 4 GiB + 4 MiB file is not
    // mistaken for a 4 MiB image.
    const std::string bytes = std::to_string(size.value_or(0));
    return RejectWith(Fill({"文件大小错误！%1", "Wrong image size: %1 bytes."}, {bytes}),
                      Fill({"%1字节：须为4194304、8388608或16777216",
                            "%1 bytes: an image must be 4194304, 8388608 or 16777216 bytes long"},
                           {bytes}));
  }
  std::unique_ptr<std::uint8_t[]> bytes = files.AllocateImage(*size);
  if (!bytes) {
    JobVerdict verdict =
        Reject(std::string(Pick({"内存不足。", "Not enough memory."})), MessageStyle::Warning);
    verdict.detail =
        Fill({"%1字节：整个镜像须能放入内存", "%1 bytes: the whole image must fit in memory"},
             {std::to_string(*size)});
    return verdict;
  }

  const std::uint64_t read = files.ReadAll(file, bytes.get(), *size);
  if (read != *size) {
    return RejectWith(Fill({"读取文件出错！%1/%2", "Cannot read the image: read %1 of %2 bytes."},
                           {std::to_string(static_cast<std::int64_t>(read)),
                            std::to_string(static_cast<std::int64_t>(*size))}),
                      Fill({"%1：只读到%2字节（共%3字节），读取出错或文件在读取时变短",
                            "%1: only %2 of %3 bytes were read; reading failed or the file "
                            "became shorter while it was read"},
                           {imagePath, std::to_string(read), std::to_string(*size)}));
  }
  switch (CheckImageContents(bytes.get())) {
    case ImageVerdict::Unparsable:
      return RejectWith(std::string(Pick({"无法解析的文件！", "The image cannot be parsed."})),
                        ImageProblemText(bytes.get()));
    case ImageVerdict::BuildTooOld:
      return RejectWith(std::string(Pick({"解析文件出错！", "The image is refused."})),
                        ImageProblemText(bytes.get()));
    case ImageVerdict::Accepted:
      break;
  }
  job.imageBytes = std::move(bytes);
  job.imageSize = static_cast<std::int32_t>(*size);
  return JobVerdict{true, {}, MessageStyle::Plain};
}

}  // namespace

JobVerdict AcceptJobRequest(GenerationJob& job, const JobRequestTexts& texts, PlatformFiles& files,
                            OutputDirectoryRule rule) {
  job.imageBytes.reset();
  job.stamp.reset();
  job.outputDirectory = texts.outputDirectory;

  if (JobVerdict addressing = AcceptAddressing(job, texts, MacAddress::Parse(texts.startMac));
      !addressing.accepted)
    return addressing;

  JobVerdict verdict = LoadJobImage(job, texts.imagePath, files);
  if (!verdict.accepted)
    return verdict;
  // Before the directory is made: a profile that does not fit the image
  // leaves nothing behind.
  if (JobVerdict profile = LoadJobProfile(job, texts.profilePath, files); !profile.accepted)
    return profile;

  // The image stays loaded when only the directory fails; the next
  // request releases it first.
  bool created = false;
  bool directoryReady = false;
  switch (rule) {
    case OutputDirectoryRule::CreateIfMissing:
      directoryReady = EnsureOutputDirectory(job.outputDirectory, files, &created);
      break;
    case OutputDirectoryRule::MustExist:
      directoryReady = DirectoryExists(job.outputDirectory, files);
      break;
    case OutputDirectoryRule::WouldCreate:
      directoryReady = OutputDirectoryCouldBeMade(job.outputDirectory, files);
      break;
  }
  if (!directoryReady) {
    return RejectWith(std::string(kOutputDirectoryErrorText),
                      OutputDirectoryProblem(job.outputDirectory, files, rule));
  }
  // The run would remove the image as a stale temporary file, leaving no
  // trace of it. (An image under a device's own name is replaced by that
  // device's image, which a rerun in place relies on.)
  if (rule != OutputDirectoryRule::MustExist &&
      BatchNameOf(texts.imagePath, job, files) == BatchName::TemporaryFile) {
    return Reject(ImageIsTemporaryFileText(texts.imagePath));
  }
  verdict.createdOutputDirectory = created;
  return verdict;
}

JobVerdict AcceptAddressing(GenerationJob& job, const JobRequestTexts& texts,
                            const std::optional<MacAddress>& start) {
  if (!start || !start->IsValidStart())
    return RejectWith(std::string(Pick({"起始MAC地址输入错误！", "Invalid start MAC address."})),
                      Fill({"%1：%2", "%1: %2"}, {texts.startMac, StartMacRule(start)}));
  job.startMac = *start;

  if (!ReadCount(texts.deviceCount, kMinDeviceCount, kMaxDeviceCount, job.deviceCount)) {
    return RejectWith(std::string(Pick({"生成数量输入错误！", "Invalid device count."})),
                      Fill({"%1：须为%2到%3", "%1: give a number from %2 to %3"},
                           {texts.deviceCount, std::to_string(kMinDeviceCount),
                            std::to_string(kMaxDeviceCount)}));
  }
  if (!ReadCount(texts.macsPerDevice, kMinMacsPerDevice, kMaxMacsPerDevice, job.macsPerDevice)) {
    return RejectWith(std::string(Pick({"每设备分配MAC数量错误！",
                                        "Invalid number of MAC addresses per device."})),
                      Fill({"%1：须为%2到%3", "%1: give a number from %2 to %3"},
                           {texts.macsPerDevice, std::to_string(kMinMacsPerDevice),
                            std::to_string(kMaxMacsPerDevice)}));
  }
  return JobVerdict{true, {}, MessageStyle::Plain};
}

JobVerdict LoadJobImage(GenerationJob& job, const std::string& imagePath, PlatformFiles& files) {
  const FileHandle file = files.OpenForReading(imagePath);
  if (file == kNoFile)
    return RejectWith(std::string(Pick({"读取文件错误！", "Cannot read the image."})),
                      Fill({"%1：无法打开（不存在、不是文件或无权读取）",
                            "%1: cannot be opened (it does not exist, is not a file or may not be "
                            "read)"},
                           {imagePath}));
  JobVerdict verdict = LoadImage(job, imagePath, file, files);
  files.Close(file);
  return verdict;
}

JobVerdict AcceptJobRequest(GenerationJob& job, const JobRequestTexts& texts) {
  SystemFiles files;
  return AcceptJobRequest(job, texts, files);
}

JobVerdict LoadJobProfile(GenerationJob& job, const std::string& path, PlatformFiles& files) {
  job.stamp.reset();
  if (path.empty())
    return JobVerdict{true, {}, MessageStyle::Plain};
  if (!StampProfilesSupported())
    return Reject(ReadStampProfile({}, path).error);
  // A profile is a few lines; anything past this is not one.
  constexpr std::uint64_t kLargestProfile = 1 << 20;
  std::string text;
  bool read = false;
  if (const FileHandle file = files.OpenForReading(path); file != kNoFile) {
    const std::optional<std::uint64_t> size = files.SizeOf(file);
    if (size && *size <= kLargestProfile) {
      text.resize(*size);
      read = files.ReadAll(file, reinterpret_cast<std::uint8_t*>(text.data()), *size) == *size;
    }
    files.Close(file);
  }
  if (!read)
    return Reject(Fill({"配置文件错误！%1：无法读取（须是不超过1 MiB的普通文件）",
                        "Cannot use the stamp profile: %1 cannot be read (it must be a regular "
                        "file of at most 1 MiB)."},
                       {path}));
  StampProfileResult profile = ReadStampProfile(text, path);
  if (profile.profile) {
    profile = CheckStampProfile(std::move(*profile.profile), path, job.imageBytes.get(),
                                static_cast<std::uint64_t>(job.imageSize), job.macsPerDevice,
                                TouchesCheckedBytes);
  }
  if (!profile.profile)
    return Reject(profile.error);
  job.stamp = std::make_shared<const StampLayout>(std::move(*profile.profile), job.imageBytes.get(),
                                                  static_cast<std::uint64_t>(job.imageSize));
  return JobVerdict{true, {}, MessageStyle::Plain};
}

bool EnsureOutputDirectory(std::string path, PlatformFiles& files, bool* created) {
  if (path.empty())
    return false;
  if (IsPathSeparator(path.back()))
    path.pop_back();
  if (path.empty())
    return false;
  if (DirectoryExists(path, files))
    return true;
  const bool made = files.MakeDirectory(path);
  if (created != nullptr)
    *created = made;
  return made;
}

bool OutputDirectoryCouldBeMade(std::string path, PlatformFiles& files) {
  while (path.size() > 1 && IsPathSeparator(path.back()))
    path.pop_back();
  if (path.empty())
    return false;
  if (DirectoryExists(path, files))
    return true;
  if (files.KindOf(path) != PathKind::None)
    return false;
  std::size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1]))
    --cut;
  if (cut == 0)
    return true;  // a folder in the working directory
  std::string parent = path.substr(0, cut);
  while (parent.size() > 1 && IsPathSeparator(parent.back()))
    parent.pop_back();
  return DirectoryExists(parent, files);
}

bool RemoveEmptyOutputDirectory(std::string path, PlatformFiles& files) {
  if (!path.empty() && IsPathSeparator(path.back()))
    path.pop_back();
  return !path.empty() && files.RemoveEmptyDirectory(path);
}

bool DirectoryExists(const std::string& path, PlatformFiles& files) {
  return files.IsDirectory(path);
}

}  // namespace quillmark
