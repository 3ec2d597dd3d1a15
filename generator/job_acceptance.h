#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "mac_address.h"
#include "platform_file.h"
#include "stamp_layout.h"

namespace quillmark {

// One start request's validated values and loaded image.
struct GenerationJob {
  MacAddress startMac;
  std::int32_t deviceCount = 0;
  std::int32_t macsPerDevice = 0;
  std::unique_ptr<std::uint8_t[]> imageBytes;  // none until an image is accepted
  std::int32_t imageSize = 0;
  std::string outputDirectory;  // as the user gave it, trailing separator included
  // Where each device's addresses go; none for the default records at
  // size - 0x10000.
  std::shared_ptr<const StampLayout> stamp;
};

// The five texts of a start request, exactly as typed or chosen.
struct JobRequestTexts {
  std::string startMac;
  std::string deviceCount;
  std::string macsPerDevice;
  std::string imagePath;
  std::string outputDirectory;
  std::string profilePath = {};  // a stamp profile; empty for the default records
};

enum class MessageStyle {
  Plain,    // message box without an icon
  Warning,  // exclamation icon, modal for the whole application
};

struct [[nodiscard]] JobVerdict {
  bool accepted = false;
  std::string message;  // what to show when rejected
  MessageStyle style = MessageStyle::Plain;
  // The line the command line prints before the message: the value, the
  // rule it broke, the path. Empty where the message says it all. The
  // dialog shows the message alone.
  std::string detail = {};
  // Acceptance created the output directory: a run refused later removes
  // it again while it is empty.
  bool createdOutputDirectory = false;
};

// What acceptance does about the output directory: a run creates it when
// its parent exists; reading a batch back only requires it.
// WouldCreate judges as CreateIfMissing does without creating anything
// (a dry run): a missing directory passes when its parent is a directory.
enum class OutputDirectoryRule { CreateIfMissing, MustExist, WouldCreate };

// Checks the texts and the image in a fixed order and stops at the first
// failure. On acceptance every field of job is set, the image is loaded
// and the output directory exists.
JobVerdict AcceptJobRequest(GenerationJob& job, const JobRequestTexts& texts, PlatformFiles& files,
                            OutputDirectoryRule rule = OutputDirectoryRule::CreateIfMissing);

// The first steps of acceptance alone: the start address as the caller
// read texts.startMac (none when it could not be read), the device count
// and the addresses per device, with the same messages. The ledger's
// commands judge a range by it before they ask the ledger.
JobVerdict AcceptAddressing(GenerationJob& job, const JobRequestTexts& texts,
                            const std::optional<MacAddress>& start);

// The image steps of acceptance alone: opens, reads and checks the image
// into imageBytes and imageSize, with the same messages; the file is
// closed whatever the outcome.
JobVerdict LoadJobImage(GenerationJob& job, const std::string& imagePath, PlatformFiles& files);
JobVerdict AcceptJobRequest(GenerationJob& job, const JobRequestTexts& texts);

// Reads the stamp profile at path and checks it against the job's loaded
// image and addresses per device; on acceptance job.stamp applies it. An
// empty path leaves the default records.
JobVerdict LoadJobProfile(GenerationJob& job, const std::string& path, PlatformFiles& files);

// True when the directory exists or was just created (created, when
// given, says which); one trailing separator is ignored, parents are
// never created.
bool EnsureOutputDirectory(std::string path, PlatformFiles& files, bool* created = nullptr);
// What a dry run asks instead: the directory exists, or nothing stands at
// its path and its parent is a directory, so the write could make it.
bool OutputDirectoryCouldBeMade(std::string path, PlatformFiles& files);
// Removes the directory when it is empty; a directory with anything in it
// stays as it is. True once removed.
bool RemoveEmptyOutputDirectory(std::string path, PlatformFiles& files);
bool DirectoryExists(const std::string& path, PlatformFiles& files);

}  // namespace quillmark
