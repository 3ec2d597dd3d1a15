#include "faulty_files.h"

#include "image_checks.h"
#include "whole_copy.h"

namespace quillmark::test {

FileHandle FaultyFiles::Opened(FileHandle file) {
  m_openFiles += file != kNoFile;
  return file;
}

std::uint64_t FaultyFiles::Cut(FileHandle file, std::uint64_t size) const {
  if (file == m_source && shortSourceWrite)
    return size / 2;
  return fault == Fault::ShortWrite && file == m_faulty ? size - 1 : size;
}

FileHandle FaultyFiles::CreateExclusiveIn(FolderHandle folder, const std::string& name) {
  ++m_created;
  const FileHandle file = Opened(SystemFiles::CreateExclusiveIn(folder, name));
  if (name.find(faultyName) != std::string::npos)
    m_faulty = file;
  return file;
}

FileHandle FaultyFiles::CreateUnnamedIn(FolderHandle folder) {
  if (noUnnamedFiles)
    return kNoFile;
  const FileHandle file = Opened(SystemFiles::CreateUnnamedIn(folder));
  FileHandle none = kNoFile;
  m_source.compare_exchange_strong(none, file);
  return file;
}

CloneResult FaultyFiles::CloneFile(FileHandle target, FileHandle source) {
  const int request = ++m_requests;
  CloneResult result = CloneResult::Cloned;
  if (cloneAnswer)
    result = cloneAnswer(request);
  else if (!cloneByCopy)
    result = SystemFiles::CloneFile(target, source);
  if ((cloneAnswer || cloneByCopy) && result == CloneResult::Cloned &&
      !CopyWholeFile(target, source))
    result = CloneResult::Failed;
  m_clones += result == CloneResult::Cloned;
  return result;
}

std::uint64_t FaultyFiles::WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) {
  if (file == m_source)
    ++m_sourceWrites;
  else if (size > static_cast<std::uint64_t>(kMacBlockSize))  // its last block included
    ++m_wholeWrites;
  return SystemFiles::WriteAll(file, data, Cut(file, size));
}

std::uint64_t FaultyFiles::WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                                   std::uint64_t size) {
  return SystemFiles::WriteAt(file, offset, data, Cut(file, size));
}

FileHandle FaultyFiles::Duplicate(FileHandle file) {
  return Opened(SystemFiles::Duplicate(file));
}

void FaultyFiles::ReleaseWhenWritten(FileHandle file) {
  ++m_released;
  SystemFiles::ReleaseWhenWritten(file);
}

bool FaultyFiles::Close(FileHandle file) {
  --m_openFiles;
  // Forgotten before the number can come back for another file.
  if (file == m_source)
    m_source = kNoFile;
  if (file != m_faulty)
    return SystemFiles::Close(file);
  m_faulty = kNoFile;
  return SystemFiles::Close(file) && fault != Fault::CloseError;
}

bool FaultyFiles::FlushFolder(FolderHandle folder) {
  return SystemFiles::FlushFolder(folder) && !folderFlushFails;
}

}  // namespace quillmark::test
