#include "manifest.h"

#include "batch_files.h"
#include "batch_manifest.h"
#include "file_replacement.h"
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
  const PathKind kind = files.KindOf(path);
  if (kind != PathKind::None && kind != PathKind::RegularFile && kind != PathKind::Directory)
    return "清单文件已存在且不是普通文件！" + path;
  const std::optional<FileIdentity> existing = files.IdentityOf(path);
  if (existing && existing == files.IdentityOf(imagePath))
    return "清单文件不能是输入映像！" + path;
  if (BatchNameOf(path, job, files) != BatchName::None)
    return "清单文件不能使用本批设备文件的名称！" + path;
  // Its temporary file replaces whatever stands under that name.
  const ManifestLocation location = Locate(path);
  const std::optional<FileIdentity> temporary =
      files.IdentityOf(TemporaryPathFor(location.directory, location.fileName));
  if (temporary && temporary == files.IdentityOf(imagePath))
    return "清单文件的临时文件不能是输入映像！" +
           TemporaryPathFor(location.directory, location.fileName);
  return "";
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
