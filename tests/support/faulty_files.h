#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform_file.h"

namespace quillmark::test {

// The system's files with the faults a test cannot aim at one file by
// other means: a write cut short or a close that reports an error for one
// chosen device, cloning answered as a script says, no unnamed files. It
// counts what the writer did, so a test can tell which way the files went
// and that no handle stayed open. The batch writer's lanes call it from
// several threads at once.
class FaultyFiles : public SystemFiles {
 public:
  enum class Fault {
    None,
    ShortWrite,  // every write to the chosen file stops one byte short
    CloseError,  // closing the chosen file reports an error
  };

  // Set up before the run.
  Fault fault = Fault::None;
  std::string faultyName = "_000001.img";  // the fault hits the file whose name holds this
  // Clones are carried out by copying (a stand-in where the file system
  // cannot share data); otherwise the file system answers.
  bool cloneByCopy = false;
  // When set, answers each clone request (counted from 1, the writer's
  // trial with two empty files included); a clone it allows is copied.
  std::function<CloneResult(int request)> cloneAnswer;
  bool noUnnamedFiles = false;
  bool shortSourceWrite = false;  // the private copy of the image is written short
  bool folderFlushFails = false;  // forcing a folder's entries to the disk reports an error

  FileHandle CreateExclusiveIn(FolderHandle folder, const std::string& name) override;
  FileHandle CreateUnnamedIn(FolderHandle folder) override;
  CloneResult CloneFile(FileHandle target, FileHandle source) override;
  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override;
  std::uint64_t WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                        std::uint64_t size) override;
  FileHandle Duplicate(FileHandle file) override;
  void ReleaseWhenWritten(FileHandle file) override;
  bool Close(FileHandle file) override;
  bool FlushFolder(FolderHandle folder) override;

  // What happened.
  int created() const { return m_created; }            // named files created
  int cloneRequests() const { return m_requests; }     // clone requests, answered or not
  int clones() const { return m_clones; }              // clones carried out
  int sourceWrites() const { return m_sourceWrites; }  // writes to the private copy
  int wholeWrites() const { return m_wholeWrites; }    // device files written whole
  int released() const { return m_released; }          // files sent out of the cache
  int openFiles() const { return m_openFiles; }        // handles open now

 private:
  FileHandle Opened(FileHandle file);
  std::uint64_t Cut(FileHandle file, std::uint64_t size) const;

  std::atomic<FileHandle> m_faulty{kNoFile};
  std::atomic<FileHandle> m_source{kNoFile};  // the first unnamed file: the image's copy
  std::atomic<int> m_created{0};
  std::atomic<int> m_requests{0};
  std::atomic<int> m_clones{0};
  std::atomic<int> m_sourceWrites{0};
  std::atomic<int> m_wholeWrites{0};
  std::atomic<int> m_released{0};
  std::atomic<int> m_openFiles{0};
};

}  // namespace quillmark::test
