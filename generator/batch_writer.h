#pragma once

#include <cstdint>
#include <string>

#include "job_acceptance.h"
#include "mac_address.h"
#include "output_folder.h"
#include "platform_file.h"
#include "status_texts.h"

namespace quillmark {

struct BatchOutcome;

// What the batch writer needs of whoever runs it (the dialog, the
// command-line tool). All calls come from the writer's own thread.
class BatchHost {
 public:
  // The whole text of the status line, and what kind of text it is.
  virtual void SetStatus(StatusKind kind, std::string text) = 0;
  // The writer's last call: finished is true only when every device's
  // file was written; the host then shows kRunFinishedText. Every file of
  // the run is closed by then and the folder no longer used, so the host
  // may release the folder here.
  virtual void OnRunFinished(bool finished) = 0;
  // Asked before every device; true ends the run before that device.
  virtual bool StopRequested() = 0;
  // After each device: its file stands complete under its name, or not.
  virtual void OnDeviceDone(const MacAddress& firstAddress, bool written);
  // The writer's last call, with the run's count; by default it passes
  // on to OnRunFinished, which a host that shows the count calls itself.
  virtual void OnRunEnded(const BatchOutcome& outcome);

 protected:
  ~BatchHost() = default;
};

struct WriterOptions {
  bool durable = false;  // each file on disk before its rename, the directory at the end
  // Clone each file from one private copy of the image where the file
  // system shares data between files; off, every file is written whole.
  bool cloning = true;
  // Batches of more bytes than this are written with steady memory use:
  // each file goes to the disk while the next is written and then leaves
  // the cache, instead of filling the cache until the system throttles.
  std::uint64_t steadyMemoryAbove = std::uint64_t{4} << 30;
  // Files written at once, one thread each: the next devices' files are
  // written ahead while the current one is announced and renamed, which
  // the host never sees. One writes each file in its turn.
  int lanes = 2;
};

struct BatchOutcome {
  std::int32_t devicesWritten = 0;
  std::int32_t devicesFailed = 0;      // attempted and left without a file
  std::int32_t devicesNotReached = 0;  // after a stop or a failed creation
  bool stopped = false;                // the host asked the run to stop
  bool creationFailed = false;         // a device's file could not be created, which ended the run
  // A durable run could not force the folder's new names to the disk: the
  // files are written, but the run failed, since a power cut may lose them.
  bool folderFlushFailed = false;
  bool finished = false;  // every device's file was written, and durably where asked
};

// Writes one image per device of an accepted job into the output folder
// the caller claimed for this run (ClaimOutputFolder). The MAC records go
// into the job's image bytes in place.
BatchOutcome GenerationWorker(GenerationJob& job, BatchHost& host, OutputFolder& folder,
                              WriterOptions options = {});

}  // namespace quillmark
