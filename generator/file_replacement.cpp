#include "file_replacement.h"

#include "path_parts.h"

namespace quillmark {

std::string TemporaryNameFor(const std::string& fileName) {
  return '.' + fileName + ".part";
}

std::string TemporaryPathFor(const std::string& directory, const std::string& fileName) {
  return JoinPath(directory, TemporaryNameFor(fileName));
}

StagedFile FinishStaging(PlatformFiles& files, FolderHandle folder, FileHandle file,
                         const std::string& tempName, bool written, bool durable) {
  const bool flushed = !durable || (written && files.FlushToDisk(file));
  const bool closed = files.Close(file);
  if (written && flushed && closed)
    return StagedFile::Complete;
  files.RemoveIn(folder, tempName);
  return StagedFile::WriteFailed;
}

ReplaceOutcome CommitStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName) {
  switch (staged) {
    case StagedFile::CreateFailed:
      return RefuseStagedFile(files, folder, staged, name, tempName);
    case StagedFile::WriteFailed:
      files.RemoveIn(folder, name);
      return ReplaceOutcome::WriteFailed;
    case StagedFile::Complete:
      break;
  }
  if (!files.RenameIn(folder, tempName, name))
    return RefuseStagedFile(files, folder, staged, name, tempName);
  return ReplaceOutcome::Replaced;
}

ReplaceOutcome RefuseStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName) {
  DropStagedFile(files, folder, staged, tempName);
  // Removes a file only: a folder standing under the name stays.
  files.RemoveIn(folder, name);
  return ReplaceOutcome::CreateFailed;
}

void DropStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                    const std::string& tempName) {
  if (staged == StagedFile::Complete)
    files.RemoveIn(folder, tempName);
}

namespace {

// Temporary names tried before an output is given up: a hundred taken is
// no longer leftovers of interrupted runs but something at work in the
// folder.
constexpr int kTemporaryNames = 100;

std::string NumberedTemporaryName(const std::string& name, int number) {
  return number == 0 ? TemporaryNameFor(name) : '.' + name + '.' + std::to_string(number) + ".part";
}

bool IsUsableName(const std::string& name) {
  return !name.empty() && name != "." && name != "..";
}

}  // namespace

StagedOutput::StagedOutput(PlatformFiles& files, const std::string& path) : m_files(files) {
  PathParts parts = SplitPath(path);
  m_name = std::move(parts.name);
  if (!IsUsableName(m_name))
    return;
  m_folder = files.OpenFolder(parts.folder);
  if (m_folder == kNoFolder)
    return;
  for (int number = 0; number < kTemporaryNames; ++number) {
    const std::string tempName = NumberedTemporaryName(m_name, number);
    m_file = files.CreateExclusiveIn(m_folder, tempName);
    if (m_file != kNoFile) {
      m_tempName = tempName;
      if (const std::optional<FileState> state = files.StateOf(m_file))
        m_identity = state->identity;
      return;
    }
    // Only a name that is taken gives way to the next; anything else
    // (no permission, a read-only volume) fails alike under every name.
    if (!files.StateIn(m_folder, tempName))
      return;
  }
}

StagedOutput::~StagedOutput() {
  if (m_file != kNoFile)
    Discard();
  if (m_folder != kNoFolder)
    m_files.CloseFolder(m_folder);
}

bool StagedOutput::StillOurs(const std::string& name) {
  if (!m_identity)
    return true;  // the platform cannot tell; its names are taken as they are
  const std::optional<FileState> now = m_files.StateIn(m_folder, name);
  return now && now->identity == *m_identity;
}

bool StagedOutput::CloseFile() {
  const bool closed = m_files.Close(m_file);
  m_file = kNoFile;
  return closed;
}

bool StagedOutput::Discard() {
  if (m_file == kNoFile)
    return true;
  const bool closed = CloseFile();
  // Something another put under the name stays.
  const bool removed = !StillOurs(m_tempName) || m_files.RemoveIn(m_folder, m_tempName);
  return closed && removed;
}

OutputWrite StagedOutput::Commit(bool written, bool durable) {
  if (m_file == kNoFile)
    return OutputWrite::NotCreated;
  const bool flushed = !durable || (written && m_files.FlushToDisk(m_file));
  if (!written || !flushed) {
    Discard();
    return OutputWrite::NotWritten;
  }
  if (!CloseFile()) {
    if (StillOurs(m_tempName))
      m_files.RemoveIn(m_folder, m_tempName);
    return OutputWrite::NotWritten;
  }
  if (!StillOurs(m_tempName))
    return OutputWrite::Displaced;
  if (!m_files.RenameIn(m_folder, m_tempName, m_name)) {
    if (StillOurs(m_tempName))
      m_files.RemoveIn(m_folder, m_tempName);
    return OutputWrite::NotPlaced;
  }
  return !durable || m_files.FlushFolder(m_folder) ? OutputWrite::Written
                                                   : OutputWrite::FolderNotFlushed;
}

OutputWrite WriteOutputFile(PlatformFiles& files, const std::string& path, std::string_view data,
                            bool durable) {
  StagedOutput output(files, path);
  if (!output.Created())
    return OutputWrite::NotCreated;
  const bool written =
      files.WriteAll(output.File(), reinterpret_cast<const std::uint8_t*>(data.data()),
                     data.size()) == data.size();
  return output.Commit(written, durable);
}

}  // namespace quillmark
