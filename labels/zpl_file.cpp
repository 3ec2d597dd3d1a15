#include "zpl_file.h"

#include "file_replacement.h"
#include "label_texts.h"

namespace quillmark::labels {

std::string WriteZplFile(const std::string& path, const ByteSource& bytes,
                         const std::string& manifestPath, PlatformFiles& files) {
  const std::string unwritable = UnwritableLabelFileText(path);
  const std::size_t slash = path.rfind(kPathSeparator);
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  if (fileName.empty())
    return unwritable;
  const PathKind kind = files.KindOf(path);
  // A link is replaced by the rename, never written through.
  if (kind != PathKind::None && kind != PathKind::RegularFile && kind != PathKind::Link)
    return unwritable;
  const std::optional<FileIdentity> target = files.IdentityOf(path);
  if (target && target == files.IdentityOf(manifestPath))
    return Fill({"标签文件不能是清单文件！%1", "The label file must not be the manifest: %1"},
                {path});
  const FolderHandle folder = files.OpenFolder(directory);
  if (folder == kNoFolder)
    return unwritable;
  const std::string tempName = TemporaryNameFor(fileName);
  const StagedFile staged = StageFile(
      files, folder, tempName,
      [&](FileHandle file) {
        return bytes([&](std::string_view piece) {
          return files.WriteAll(file, reinterpret_cast<const std::uint8_t*>(piece.data()),
                                piece.size()) == piece.size();
        });
      },
      false);
  const bool replaced =
      staged == StagedFile::Complete &&
      CommitStagedFile(files, folder, staged, fileName, tempName) == ReplaceOutcome::Replaced;
  files.CloseFolder(folder);
  return replaced ? std::string() : unwritable;
}

}  // namespace quillmark::labels
