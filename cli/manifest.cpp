#include "manifest.h"

#include "batch_manifest.h"
#include "file_replacement.h"
#include "interface_text.h"
#include "output_path_guard.h"
#include "path_parts.h"

namespace quillmark::cli {
namespace {

struct ManifestLocation {
  std::string directory;  // "." for a bare file name; a root keeps its separator
  std::string fileName;
};

// Either separator on Windows, and "C:\" stays the drive's root.
ManifestLocation Locate(const std::string& path) {
  PathParts parts = SplitPath(path);
  return {std::move(parts.folder), std::move(parts.name)};
}

bool IsUsableFileName(const std::string& name) {
  return !name.empty() && name != "." && name != "..";
}

}  // namespace

std::string ManifestText(const std::vector<MacAddress>& firstAddresses,
                         std::int32_t macsPerDevice) {
  std::string text = ManifestHeader(macsPerDevice) + '\n';
  for (const MacAddress& first : firstAddresses)
    text += ManifestRow(first, macsPerDevice) + '\n';
  return text;
}

std::string ManifestPathRefusal(const std::string& path, const std::string& imagePath,
                                const GenerationJob& job, PlatformFiles& files) {
  const OutputPathGuard guard{std::string(Pick({"清单文件", "manifest file"})),
                              {{imagePath, std::string(Pick({"输入映像", "input image"}))}},
                              GuardedBatchOf(job)};
  return CheckOutputPath(path, guard, files);
}

bool CanWriteManifest(const std::string& path, PlatformFiles& files) {
  const ManifestLocation location = Locate(path);
  // A directory under the name would only refuse the final rename.
  if (!IsUsableFileName(location.fileName) || files.IsDirectory(path))
    return false;
  const std::string tempPath = TemporaryPathFor(location.directory, location.fileName);
  files.Remove(tempPath);
  const FileHandle probe = files.CreateExclusive(tempPath);
  if (probe == kNoFile)
    return false;
  const bool closed = files.Close(probe);
  return files.Remove(tempPath) && closed;
}

ManifestWrite WriteManifest(const std::string& path, const std::string& text, bool durable,
                            PlatformFiles& files) {
  const ManifestLocation location = Locate(path);
  if (!IsUsableFileName(location.fileName))
    return ManifestWrite::Failed;
  const ReplaceOutcome outcome =
      ReplaceFileWith(files, path, TemporaryPathFor(location.directory, location.fileName),
                      reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), durable);
  if (outcome != ReplaceOutcome::Replaced) {
    // A failed create or rename leaves the older file in place.
    const PathKind older = files.KindOf(path);
    if (older == PathKind::None || (older == PathKind::RegularFile && files.Remove(path)))
      return ManifestWrite::Failed;
    return ManifestWrite::FailedOlderRemains;
  }
  const bool flushed = !durable || files.FlushDirectory(location.directory);
  return flushed ? ManifestWrite::Written : ManifestWrite::Failed;
}

}  // namespace quillmark::cli
