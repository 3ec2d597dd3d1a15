#include "batch_writer.h"

#include <optional>

#include "device_file_writer.h"
#include "file_replacement.h"
#include "mac_records.h"
#include "write_ahead.h"

namespace quillmark {
namespace {

// Keeps the status line's last text, so a failure a later text replaced
// can be shown again at the end of the run.
class StatusLine {
 public:
  explicit StatusLine(BatchHost& host) : m_host(host) {}
  void Set(StatusKind kind, std::string text) {
    m_current = text;
    m_host.SetStatus(kind, std::move(text));
  }
  void Fail(StatusKind kind, std::string text) {
    m_lastFailure = text;
    m_lastFailureKind = kind;
    Set(kind, std::move(text));
  }
  void ShowLastFailureAgain() {
    if (!m_lastFailure.empty() && m_current != m_lastFailure)
      Set(m_lastFailureKind, m_lastFailure);
  }

 private:
  BatchHost& m_host;
  std::string m_current;
  std::string m_lastFailure;
  StatusKind m_lastFailureKind = StatusKind::WriteFailed;
};

// A file written ahead stands on the disk beside the one before it for a
// moment: one more image per lane than writing each file in its turn.
// Where the volume could not hold that beside the whole batch, nothing is
// written ahead, so a nearly full disk fails no device it would not
// otherwise fail (the command-line tool's free-space check counts on it).
int LanesTheSpaceAllows(PlatformFiles& files, const std::string& directory,
                        std::uint64_t batchBytes, std::uint64_t imageSize, int lanes) {
  if (lanes < 2)
    return 1;
  const std::optional<std::uint64_t> available = files.AvailableBytes(directory);
  const std::uint64_t extra = imageSize * static_cast<std::uint64_t>(lanes);
  return available && *available >= extra && *available - extra >= batchBytes ? lanes : 1;
}

// Clones are a few system calls each and copy nothing: on a second lane
// they only add handovers and contend for the folder's lock (on XFS, 65535
// clones took twice the CPU time on two lanes that they take on one).
bool FilesWillBeClones(const OutputFolder& folder, const DeviceFileWriter::Options& writing) {
  if (!writing.allowCloning)
    return false;
  if (writing.stamp)
    return SharedFileBytesIn(folder.Files(), folder.Handle(), *writing.stamp).has_value();
  return SharedFileBytesIn(folder.Files(), folder.Handle(), writing.recordOffset,
                           writing.recordSize)
      .has_value();
}

// How the writer makes the files of this job.
DeviceFileWriter::Options WritingOptions(const GenerationJob& job, const OutputFolder& folder,
                                         const WriterOptions& options) {
  const std::uint64_t imageSize = static_cast<std::uint64_t>(job.imageSize);
  const std::uint64_t batchBytes = static_cast<std::uint64_t>(job.deviceCount) * imageSize;
  DeviceFileWriter::Options writing;
  writing.recordOffset = MacRecordsOffset(imageSize);
  writing.recordSize = MacRecordsSize(job.macsPerDevice);
  if (job.stamp) {
    writing.stamp = job.stamp.get();
    writing.recordOffset = job.stamp->WindowStart();
  }
  writing.durable = options.durable;
  writing.allowCloning = options.cloning;
  // A durable run waits for every file anyway.
  writing.steadyMemory = !options.durable && batchBytes > options.steadyMemoryAbove;
  if (options.lanes > 1 && !FilesWillBeClones(folder, writing)) {
    writing.lanes =
        LanesTheSpaceAllows(folder.Files(), folder.Path(), batchBytes, imageSize, options.lanes);
  }
  return writing;
}

// The device loop. Returns with every file of the run closed and every
// lane's thread ended, so the host's last call finds nothing in use.
BatchOutcome WriteDevices(GenerationJob& job, BatchHost& host, OutputFolder& folder,
                          const WriterOptions& options, StatusLine& status) {
  const std::int32_t recordsPerDevice = job.macsPerDevice;
  const std::int32_t deviceCount = job.deviceCount;
  PlatformFiles& files = folder.Files();
  const FolderHandle handle = folder.Handle();
  MacAddress running = job.startMac;
  std::uint8_t* const macBlock =
      job.imageBytes.get() + MacRecordsOffset(static_cast<std::uint64_t>(job.imageSize));

  DeviceFileWriter writer(files, handle, job.imageBytes.get(),
                          static_cast<std::uint64_t>(job.imageSize),
                          WritingOptions(job, folder, options));
  WriteAhead ahead(writer);

  // Devices are begun ahead of their turn, in order, from their own copy
  // of the records. A device is begun only once the one Depth() before it
  // is renamed: at most Depth() temporary files stand at any moment.
  MacAddress nextToBegin = job.startMac;
  std::int32_t begun = 0;
  const auto beginNext = [&] {
    DeviceTicket ticket;
    ticket.tempName = TemporaryNameFor(nextToBegin.ToFileName());
    WriteMacRecords(ticket.records.data(), recordsPerDevice, nextToBegin);
    ahead.Begin(begun++, std::move(ticket));
  };

  BatchOutcome outcome;
  std::int32_t device = 0;
  for (; device < deviceCount; ++device) {
    if (host.StopRequested()) {
      outcome.stopped = true;
      break;
    }
    if (device == 0) {
      // Prepared with the first device, so a run stopped before it costs nothing.
      writer.Start();
      while (begun < deviceCount && begun < ahead.Depth())
        beginNext();
    }
    const MacAddress first = running;
    // A profile's fields are stamped into each lane's own copy instead.
    if (job.stamp) {
      for (std::int32_t j = 0; j < recordsPerDevice; ++j)
        running.Increment();
    } else {
      WriteMacRecords(macBlock, recordsPerDevice, running);
    }
    status.Set(StatusKind::Saving, SavingText(first));
    const std::string name = first.ToFileName();
    const DeviceTicket& ticket = ahead.Finish(device);
    // A folder moved away or replaced since the run began takes no more
    // files: the run ends as if this one could not be created.
    const ReplaceOutcome result =
        folder.StillInPlace()
            ? CommitStagedFile(files, handle, ticket.staged, name, ticket.tempName)
            : RefuseStagedFile(files, handle, ticket.staged, name, ticket.tempName);
    host.OnDeviceDone(first, result == ReplaceOutcome::Replaced);
    if (result == ReplaceOutcome::Replaced) {
      ++outcome.devicesWritten;
    } else {
      ++outcome.devicesFailed;
    }
    if (result == ReplaceOutcome::CreateFailed) {
      status.Fail(StatusKind::CreationFailed, CreationFailedText(folder.PathOf(name)));
      outcome.creationFailed = true;
      ++device;
      break;
    }
    if (result == ReplaceOutcome::WriteFailed)
      status.Fail(StatusKind::WriteFailed, WriteFailedText(folder.PathOf(name)));
    if (begun < deviceCount)
      beginNext();
  }
  outcome.devicesNotReached = deviceCount - device;
  // Files staged ahead of a stop or a failed creation are not the run's.
  for (; device < begun; ++device) {
    if (const DeviceTicket* ticket = ahead.Abandon(device))
      DropStagedFile(files, handle, ticket->staged, ticket->tempName);
  }
  return outcome;
}

}  // namespace

void BatchHost::OnDeviceDone(const MacAddress&, bool) {}

void BatchHost::OnRunEnded(const BatchOutcome& outcome) {
  OnRunFinished(outcome.finished);
}

BatchOutcome GenerationWorker(GenerationJob& job, BatchHost& host, OutputFolder& folder,
                              WriterOptions options) {
  StatusLine status(host);
  BatchOutcome outcome = WriteDevices(job, host, folder, options, status);
  if (options.durable && outcome.devicesWritten > 0 &&
      !folder.Files().FlushFolder(folder.Handle())) {
    // A failure of the run, not of one more device: the counts still add
    // up to the batch.
    outcome.folderFlushFailed = true;
    status.Fail(StatusKind::WriteFailed, WriteFailedText(folder.Path()));
  }
  outcome.finished = !outcome.stopped && !outcome.creationFailed && !outcome.folderFlushFailed &&
                     outcome.devicesFailed == 0;
  if (!outcome.finished)
    status.ShowLastFailureAgain();
  host.OnRunEnded(outcome);
  return outcome;
}

}  // namespace quillmark
