#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "device_file_writer.h"

namespace quillmark {

// The most record bytes a device carries (four addresses).
inline constexpr std::size_t kMaxRecordBytes = 24;
// More lanes than this gain nothing: the memory bus is the limit.
inline constexpr int kMaxLanes = 4;

// One thread tells another that something is ready; each signal is taken
// once. A mutex and a condition variable: std::binary_semaphore loses a
// wake-up under mingw-w64's threads and stops a batch for good.
class Handover {
 public:
  void Signal();
  void Wait();

 private:
  std::mutex m_mutex;
  std::condition_variable m_signalled;
  bool m_ready = false;
};

// One device's file on its way: what to stage and how it went.
struct DeviceTicket {
  std::string tempName;
  std::array<std::uint8_t, kMaxRecordBytes> records{};
  StagedFile staged = StagedFile::CreateFailed;
};

// Stages the next devices' files on the writer's lanes, one thread each,
// while the batch writer announces and renames them in device order: the
// host sees the same sequence as if each file were written in its turn,
// and a file staged ahead of a stop or a failure is dropped unseen. With
// one lane nothing runs ahead: a device is staged when it is finished.
class WriteAhead {
 public:
  explicit WriteAhead(DeviceFileWriter& writer);
  ~WriteAhead();
  WriteAhead(const WriteAhead&) = delete;
  WriteAhead& operator=(const WriteAhead&) = delete;

  // Devices that can be in progress at once.
  int Depth() const { return m_depth; }
  // Starts staging a device; devices are begun in order, at most Depth()
  // of them unfinished.
  void Begin(std::int32_t device, DeviceTicket ticket);
  // Waits until the device's file is staged.
  const DeviceTicket& Finish(std::int32_t device);
  // For a begun device whose turn will not come: waits for its file if
  // one is being staged; null when nothing was started for it.
  const DeviceTicket* Abandon(std::int32_t device);

 private:
  struct Lane {
    DeviceTicket ticket;
    Handover go;
    Handover done;
    bool busy = false;
    bool quit = false;
    std::thread thread;
  };

  void Serve(int index);
  void StopLanes();
  bool Threaded() const { return m_depth > 1; }
  Lane& LaneOf(std::int32_t device) { return m_lanes[static_cast<std::size_t>(device % m_depth)]; }

  DeviceFileWriter& m_writer;
  std::array<Lane, kMaxLanes> m_lanes;
  int m_depth = 1;  // above one, each lane runs on a thread of its own
};

}  // namespace quillmark
