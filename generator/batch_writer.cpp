#include "batch_writer.h"

#include "device_file_writer.h"
#include "file_replacement.h"
#include "image_checks.h"

namespace quillmark {
namespace {

constexpr int kRecordSize = 6;

void WriteRecord(std::uint8_t* record, const MacAddress& address) {
  for (int i = 0; i < kRecordSize; ++i)
    record[i] = static_cast<std::uint8_t>(address.octets[i]);
}

// Keeps the status line's last text, so a failure a later text replaced
// can be shown again at the end of the run.
class StatusLine {
 public:
  explicit StatusLine(BatchHost& host) : m_host(host) {}
  void Set(std::string text) {
    m_current = text;
    m_host.SetStatus(std::move(text));
  }
  void Fail(std::string text) {
    m_lastFailure = text;
    Set(std::move(text));
  }
  void ShowLastFailureAgain() {
    if (!m_lastFailure.empty() && m_current != m_lastFailure)
      Set(m_lastFailure);
  }

 private:
  BatchHost& m_host;
  std::string m_current;
  std::string m_lastFailure;
};

}  // namespace

void BatchHost::OnDeviceDone(const MacAddress&, bool) {}

BatchOutcome GenerationWorker(GenerationJob& job, BatchHost& host, PlatformFiles& files,
                              WriterOptions options) {
  const std::int32_t recordsPerDevice = job.macsPerDevice;
  const std::int32_t deviceCount = job.deviceCount;
  std::uint8_t* const image = job.imageBytes.get();
  const std::uint64_t imageSize = static_cast<std::uint64_t>(job.imageSize);
  // Resolved once, so nothing that moves the current directory during the
  // run (the image picker does) can redirect it.
  const std::string directory = files.AbsolutePath(host.GetOutputDirectory());
  MacAddress running = job.startMac;
  const std::uint64_t recordOffset = imageSize - kMacBlockSize;
  std::uint8_t* const macBlock = image + recordOffset;

  DeviceFileWriter::Options writing;
  writing.recordOffset = recordOffset;
  writing.recordSize = static_cast<std::uint64_t>(kRecordSize) * recordsPerDevice;
  writing.durable = options.durable;
  writing.allowCloning = options.cloning;
  // A durable run waits for every file anyway.
  writing.steadyMemory = !options.durable && static_cast<std::uint64_t>(deviceCount) * imageSize >
                                                 options.steadyMemoryAbove;
  DeviceFileWriter writer(files, directory, image, imageSize, writing);

  StatusLine status(host);
  BatchOutcome outcome;
  bool creationFailed = false;
  for (std::int32_t device = 0; device < deviceCount; ++device) {
    if (host.StopRequested()) {
      outcome.stopped = true;
      break;
    }
    const MacAddress first = running;
    for (std::int32_t j = 0; j < recordsPerDevice; ++j) {
      WriteRecord(macBlock + kRecordSize * j, running);
      running.Increment();
    }
    status.Set("保存MAC固件: " + first.ToColonText());
    const std::string fileName = first.ToFileName();
    const std::string path = directory + kPathSeparator + fileName;
    const ReplaceOutcome result = writer.Write(path, TemporaryPathFor(directory, fileName));
    host.OnDeviceDone(first, result == ReplaceOutcome::Replaced);
    if (result == ReplaceOutcome::Replaced) {
      ++outcome.devicesWritten;
      continue;
    }
    ++outcome.devicesFailed;
    if (result == ReplaceOutcome::CreateFailed) {
      status.Fail("创建文件出错: " + path);
      creationFailed = true;
      break;
    }
    status.Fail("写入文件出错: " + path);
  }
  if (options.durable && outcome.devicesWritten > 0 && !files.FlushDirectory(directory)) {
    ++outcome.devicesFailed;
    status.Fail("写入文件出错: " + directory);
  }
  outcome.finished = !outcome.stopped && !creationFailed && outcome.devicesFailed == 0;
  if (!outcome.finished)
    status.ShowLastFailureAgain();
  host.OnRunFinished(outcome.finished);
  return outcome;
}

BatchOutcome GenerationWorker(GenerationJob& job, BatchHost& host, WriterOptions options) {
  SystemFiles files;
  return GenerationWorker(job, host, files, options);
}

}  // namespace quillmark
