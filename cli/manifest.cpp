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
  // Every row has one length: sized once, the text never holds a doubled
  // buffer on top of itself (12 MiB at the whole address range).
  if (!firstAddresses.empty())
    text.reserve(text.size() + firstAddresses.size() *
                                   (ManifestRow(firstAddresses.front(), macsPerDevice).size() + 1));
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

std::string ManifestWriteProblem(const std::string& path, PlatformFiles& files) {
  const ManifestLocation location = Locate(path);
  if (!IsUsableFileName(location.fileName))
    return Fill({"%1：须以文件名结尾", "%1: must end in a file name"}, {path});
  // A directory under the name would only refuse the final rename.
  if (files.IsDirectory(path))
    return Fill({"%1：是目录", "%1: is a folder"}, {path});
  if (!files.IsDirectory(location.directory))
    return Fill({"%1：所在目录不存在", "%1: its folder does not exist"}, {path});
  // A trial file of its own, under a temporary name no other file holds.
  StagedOutput probe(files, path);
  if (!probe.Created())
    return Fill({"%1：无法在所在目录中创建文件（无写权限或只读）",
                 "%1: no file can be made in its folder (no write permission or read-only)"},
                {path});
  if (!probe.Discard())
    return Fill({"%1：所在目录中的试写文件无法写完或删除",
                 "%1: a trial file in its folder could not be written out or removed"},
                {path});
  return "";
}

bool CanWriteManifest(const std::string& path, PlatformFiles& files) {
  return ManifestWriteProblem(path, files).empty();
}

ManifestWrite WriteManifest(const std::string& path, const std::string& text, bool durable,
                            PlatformFiles& files) {
  const ManifestLocation location = Locate(path);
  if (!IsUsableFileName(location.fileName))
    return ManifestWrite::Failed;
  switch (WriteOutputFile(files, path, text, durable)) {
    case OutputWrite::Written:
      return ManifestWrite::Written;
    case OutputWrite::FolderNotFlushed:
      return ManifestWrite::Failed;
    default:
      break;
  }
  // The older file would pass for this run's: it goes too.
  const PathKind older = files.KindOf(path);
  if (older == PathKind::None || (older == PathKind::RegularFile && files.Remove(path)))
    return ManifestWrite::Failed;
  return ManifestWrite::FailedOlderRemains;
}

}  // namespace quillmark::cli
