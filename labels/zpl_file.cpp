#include "zpl_file.h"

#include "file_replacement.h"
#include "label_texts.h"

namespace quillmark::labels {

std::string WriteZplFile(const std::string& path, const ByteSource& bytes,
                         const std::string& manifestPath, PlatformFiles& files) {
  const std::string unwritable = UnwritableLabelFileText(path);
  const PathKind kind = files.KindOf(path);
  // A link is replaced by the rename, never written through.
  if (kind != PathKind::None && kind != PathKind::RegularFile && kind != PathKind::Link)
    return unwritable;
  const std::optional<FileIdentity> target = files.IdentityOf(path);
  if (target && target == files.IdentityOf(manifestPath))
    return Fill({"标签文件不能是清单文件！%1", "The label file must not be the manifest: %1"},
                {path});
  // Written under a temporary name of its own and renamed once whole; an
  // older file stays until then.
  StagedOutput output(files, path);
  if (!output.Created())
    return unwritable;
  const bool written = bytes([&](std::string_view piece) {
    return files.WriteAll(output.File(), reinterpret_cast<const std::uint8_t*>(piece.data()),
                          piece.size()) == piece.size();
  });
  const bool replaced = output.Commit(written, false) == OutputWrite::Written;
  return replaced ? std::string() : unwritable;
}

}  // namespace quillmark::labels
