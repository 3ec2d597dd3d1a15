#include "output_path_guard.h"
#include "interface_text.h"

#include "batch_files.h"
#include "file_replacement.h"
#include "path_parts.h"

namespace quillmark {
namespace {

// The role of the input path leads to, or empty.
std::string InputAt(const std::string& path, const OutputPathGuard& guard, PlatformFiles& files) {
  const std::optional<FileIdentity> identity = files.IdentityOf(path);
  if (!identity)
    return "";
  for (const GuardedInput& input : guard.inputs) {
    if (files.IdentityOf(input.path) == identity)
      return input.role;
  }
  return "";
}

// The role of the guarded name path takes, or empty.
std::string GuardedNameAt(const std::string& path, const OutputPathGuard& guard,
                          PlatformFiles& files) {
  const PathParts parts = SplitPath(path);
  for (const GuardedInput& name : guard.names) {
    const PathParts guarded = SplitPath(name.path);
    if (guarded.name != parts.name)
      continue;
    const std::optional<FileIdentity> folder = files.IdentityOf(parts.folder);
    if (folder && folder == files.IdentityOf(guarded.folder))
      return name.role;
  }
  return "";
}

// True when path names a device's file or temporary file in the batch's
// folder (the folder compared by identity, so another spelling counts),
// or in any folder when the batch's is not known.
bool IsBatchName(const std::string& path, const GuardedBatch& batch, PlatformFiles& files) {
  const PathParts parts = SplitPath(path);
  if (!batch.folder.empty()) {
    const std::optional<FileIdentity> folder = files.IdentityOf(parts.folder);
    if (!folder || folder != files.IdentityOf(batch.folder))
      return false;
  }
  for (const MacAddress& first : batch.devices) {
    const std::string device = first.ToFileName();
    if (parts.name == device || parts.name == TemporaryNameFor(device))
      return true;
  }
  return false;
}

// The refusal for a path the output or its temporary file would replace.
std::string ReplacementRefusal(const std::string& path, const std::string& subject,
                               const OutputPathGuard& guard, PlatformFiles& files) {
  std::string role = InputAt(path, guard, files);
  if (role.empty())
    role = GuardedNameAt(path, guard, files);
  if (!role.empty())
    return Fill({"%1不能是%2！%3", "The %1 must not be the %2: %3"}, {subject, role, path});
  if (guard.batch && IsBatchName(path, *guard.batch, files))
    return Fill({"%1不能使用本批设备文件的名称！%2",
                 "The %1 must not take the name of a device file of this batch: %2"},
                {subject, path});
  return "";
}

}  // namespace

GuardedBatch GuardedBatchOf(const GenerationJob& job) {
  return {job.outputDirectory, PlannedDevices(job)};
}

std::string CheckOutputPath(const std::string& path, const OutputPathGuard& guard,
                            PlatformFiles& files) {
  if (std::string refusal = ReplacementRefusal(path, guard.what, guard, files); !refusal.empty())
    return refusal;
  switch (files.KindOf(path)) {
    case PathKind::None:
    case PathKind::RegularFile:
      break;
    case PathKind::Directory:
      return Fill({"%1不能是目录！%2", "The %1 must not be a directory: %2"}, {guard.what, path});
    case PathKind::Link:
    case PathKind::Other:
    case PathKind::Unknown:
      return Fill({"%1已存在且不是普通文件！%2", "The %1 exists and is not a regular file: %2"},
                  {guard.what, path});
  }
  const PathParts parts = SplitPath(path);
  return ReplacementRefusal(TemporaryPathFor(parts.folder, parts.name),
                            Fill({"%1的临时文件", "temporary file of the %1"}, {guard.what}), guard,
                            files);
}

}  // namespace quillmark
