#include "output_folder.h"

#include "status_texts.h"

namespace quillmark {

OutputFolder::OutputFolder(PlatformFiles& files, FolderHandle handle, std::string path,
                           std::unique_ptr<PlatformFiles> ownFiles)
    : m_ownFiles(std::move(ownFiles)), m_files(files), m_handle(handle), m_path(std::move(path)) {}

OutputFolder::~OutputFolder() {
  m_files.CloseFolder(m_handle);
}

namespace {

FolderClaim Claim(PlatformFiles& files, const std::string& directory,
                  std::unique_ptr<PlatformFiles> ownFiles) {
  // Opened by the text as typed, which also reaches a folder whose
  // absolute path is too long to use; the absolute path names it in the
  // run's texts and finds it again to check it is still there.
  const FolderHandle handle = files.OpenFolder(directory);
  const std::string path = files.AbsolutePath(directory);
  if (handle == kNoFolder)
    return FolderClaim{nullptr, std::string(kOutputDirectoryErrorText)};
  if (files.LockFolder(handle) == FolderLock::Busy) {
    files.CloseFolder(handle);
    return FolderClaim{nullptr, FolderBusyText(directory)};
  }
  return FolderClaim{std::make_unique<OutputFolder>(files, handle, path, std::move(ownFiles)), {}};
}

}  // namespace

FolderClaim ClaimOutputFolder(PlatformFiles& files, const std::string& directory) {
  return Claim(files, directory, nullptr);
}

FolderClaim ClaimOutputFolder(const std::string& directory) {
  auto files = std::make_unique<SystemFiles>();
  PlatformFiles& system = *files;
  return Claim(system, directory, std::move(files));
}

}  // namespace quillmark
