#include "job_acceptance.h"

#include <cinttypes>
#include <cstdio>

#include "batch_files.h"
#include "batch_limits.h"
#include "image_checks.h"
#include "status_texts.h"
#include "text_scan.h"

namespace quillmark {
namespace {

JobVerdict Reject(std::string message, MessageStyle style = MessageStyle::Plain) {
  return JobVerdict{false, std::move(message), style};
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

bool ReadCount(const std::string& text, std::int32_t low, std::int32_t high, std::int32_t& count) {
  const std::optional<std::int32_t> value = ReadDecimalInt32(text);
  count = value.value_or(0);
  return value && *value >= low && *value <= high;
}

// Reads and checks the image behind an open file. The file stays open;
// the caller closes it whatever the outcome.
JobVerdict LoadImage(GenerationJob& job, FileHandle file, PlatformFiles& files) {
  const std::optional<std::uint64_t> size = files.SizeOf(file);
  if (!size || !IsAcceptedImageSize(*size)) {
    // The whole 64-bit size is shown, so a 4 GiB + 4 MiB file is not
    // mistaken for a 4 MiB image.
    return Reject(Format("文件大小错误！%" PRIu64, size.value_or(0)));
  }
  std::unique_ptr<std::uint8_t[]> bytes = files.AllocateImage(*size);
  if (!bytes)
    return Reject("内存不足。", MessageStyle::Warning);

  const std::uint64_t read = files.ReadAll(file, bytes.get(), *size);
  if (read != *size) {
    return Reject(Format("读取文件出错！%" PRId64 "/%" PRId64, static_cast<std::int64_t>(read),
                         static_cast<std::int64_t>(*size)));
  }
  switch (CheckImageContents(bytes.get())) {
    case ImageVerdict::Unparsable:
      return Reject("无法解析的文件！");
    case ImageVerdict::BuildTooOld:
      return Reject("解析文件出错！");
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

  std::optional<MacAddress> start = MacAddress::Parse(texts.startMac);
  if (!start || !start->IsValidStart())
    return Reject("起始MAC地址输入错误！");
  job.startMac = *start;

  if (!ReadCount(texts.deviceCount, kMinDeviceCount, kMaxDeviceCount, job.deviceCount)) {
    return Reject("生成数量输入错误！");
  }
  if (!ReadCount(texts.macsPerDevice, kMinMacsPerDevice, kMaxMacsPerDevice, job.macsPerDevice)) {
    return Reject("每设备分配MAC数量错误！");
  }

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
  const bool directoryReady = rule == OutputDirectoryRule::CreateIfMissing
                                  ? EnsureOutputDirectory(job.outputDirectory, files, &created)
                                  : DirectoryExists(job.outputDirectory, files);
  if (!directoryReady)
    return Reject(std::string(kOutputDirectoryErrorText));
  // The run would remove the image as a stale temporary file, leaving no
  // trace of it. (An image under a device's own name is replaced by that
  // device's image, which a rerun in place relies on.)
  if (rule == OutputDirectoryRule::CreateIfMissing &&
      BatchNameOf(texts.imagePath, job, files) == BatchName::TemporaryFile) {
    return Reject(ImageIsTemporaryFileText(texts.imagePath));
  }
  verdict.createdOutputDirectory = created;
  return verdict;
}

JobVerdict LoadJobImage(GenerationJob& job, const std::string& imagePath, PlatformFiles& files) {
  const FileHandle file = files.OpenForReading(imagePath);
  if (file == kNoFile)
    return Reject("读取文件错误！");
  JobVerdict verdict = LoadImage(job, file, files);
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
    return Reject("配置文件错误！" + path + "：无法读取（须是不超过1 MiB的普通文件）");
  StampProfileResult profile = ReadStampProfile(text, path);
  if (profile.profile) {
    profile = CheckStampProfile(std::move(*profile.profile), path, job.imageBytes.get(),
                                static_cast<std::uint64_t>(job.imageSize), job.macsPerDevice);
  }
  if (!profile.profile)
    return Reject(profile.error);
  job.stamp = std::make_shared<const StampLayout>(std::move(*profile.profile),
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

bool RemoveEmptyOutputDirectory(std::string path, PlatformFiles& files) {
  if (!path.empty() && IsPathSeparator(path.back()))
    path.pop_back();
  return !path.empty() && files.RemoveEmptyDirectory(path);
}

bool DirectoryExists(const std::string& path, PlatformFiles& files) {
  return files.IsDirectory(path);
}

}  // namespace quillmark
