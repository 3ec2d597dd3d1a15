#include "batch_verifier.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillmark {
namespace {

// The devices of the batch, handed out a group at a time to the lanes;
// finished results wait here until the calling thread hands them to the
// host in device order.
class SharedWork {
 public:
  SharedWork(std::size_t deviceCount, std::size_t groupSize)
      : m_deviceCount(deviceCount), m_groupSize(groupSize) {}

  // The next group to check, or false when none is left or it stopped.
  bool Take(std::size_t& begin, std::size_t& end) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_next >= m_deviceCount || stop.load())
      return false;
    begin = m_next;
    end = std::min(m_deviceCount, begin + m_groupSize);
    m_next = end;
    ++m_groupsOut;
    return true;
  }

  void Finish(std::optional<std::vector<DeviceResult>> results) {
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_groupsOut;
    if (results) {
      for (DeviceResult& result : *results)
        m_ready.emplace(result.index, std::move(result));
    }
    m_changed.notify_all();
  }

  // Hands the results that follow on from the ones handed out to
  // deliver, until it returns false; with wait, first waits a little for
  // one.
  template <class Deliver>
  void DeliverReady(Deliver&& deliver, bool wait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (wait) {
      m_changed.wait_for(lock, std::chrono::milliseconds(50),
                         [&] { return m_ready.count(m_delivered) > 0 || Over(); });
    }
    while (true) {
      const auto found = m_ready.find(m_delivered);
      if (found == m_ready.end())
        return;
      DeviceResult result = std::move(found->second);
      m_ready.erase(found);
      lock.unlock();
      if (!deliver(result))
        return;
      lock.lock();
      ++m_delivered;
    }
  }

  // No group is being checked and none will be.
  bool Over() const { return m_groupsOut == 0 && (m_next >= m_deviceCount || stop.load()); }
  // Nothing more will be handed out: all of it was, or it stopped.
  bool Done() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delivered == m_deviceCount || stop.load();
  }

  std::atomic<bool> stop{false};

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::size_t m_deviceCount;
  std::size_t m_groupSize;
  std::size_t m_next = 0;
  std::size_t m_groupsOut = 0;
  std::size_t m_delivered = 0;
  std::map<std::size_t, DeviceResult> m_ready;
};

class Lane {
 public:
  Lane(const ExpectedBatch& batch, PlatformFiles& files, ReadSettings settings, SharedWork& work)
      : m_check(batch, files, settings), m_work(work) {}

  // Checks one group; false when none was left.
  bool CheckOneGroup() {
    std::size_t begin = 0;
    std::size_t end = 0;
    if (!m_work.Take(begin, end))
      return false;
    m_work.Finish(m_check.Check(begin, end, m_work.stop));
    return true;
  }

 private:
  DeviceGroupCheck m_check;
  SharedWork& m_work;
};

}  // namespace

bool VerifyOutcome::Passed() const {
  return !stopped && devicesFailed == 0 && duplicateFiles == 0 && folderListed;
}

VerifyOutcome VerifyBatch(const ExpectedBatch& batch, VerifyHost& host, PlatformFiles& files,
                          VerifierOptions options) {
  SharedWork work(batch.devices.size(), static_cast<std::size_t>(std::max(options.filesAtOnce, 1)));
  VerifyOutcome outcome;
  const auto pollStop = [&] {
    if (!work.stop.load() && host.StopRequested())
      work.stop.store(true);
    return work.stop.load();
  };
  // A result not handed to the host before a stop counts as unchecked.
  const auto deliver = [&](const DeviceResult& result) {
    if (pollStop())
      return false;
    ++outcome.devicesChecked;
    ++(result.fault == DeviceFault::None ? outcome.devicesExact : outcome.devicesFailed);
    host.OnDeviceChecked(result);
    return true;
  };

  // The helpers check groups on their own threads; the calling thread
  // checks groups too and hands results to the host between them. A
  // helper that cannot be started leaves its share to the others.
  std::vector<std::thread> helpers;
  for (int i = 1; i < options.lanes; ++i) {
    try {
      helpers.emplace_back([&] {
        Lane lane(batch, files, options.read, work);
        while (lane.CheckOneGroup()) {
        }
      });
    } catch (const std::system_error&) {
      break;
    }
  }
  {
    Lane own(batch, files, options.read, work);
    do {
      work.DeliverReady(deliver, false);
    } while (!pollStop() && own.CheckOneGroup());
  }
  while (!work.Done()) {
    pollStop();
    work.DeliverReady(deliver, true);
  }
  for (std::thread& helper : helpers)
    helper.join();

  outcome.stopped = work.stop.load();
  if (outcome.stopped)
    return outcome;
  const BatchAddressIndex index(batch);
  const FolderScan scan = ScanOutputFolder(batch, index, files);
  outcome.folderListed = scan.listed;
  outcome.duplicateFiles = static_cast<std::int32_t>(
      std::count_if(scan.findings.begin(), scan.findings.end(),
                    [](const FolderFinding& f) { return f.batchAddress.has_value(); }));
  outcome.otherFiles = static_cast<std::int32_t>(std::count_if(
      scan.findings.begin(), scan.findings.end(),
      [](const FolderFinding& f) { return !f.temporary && !f.batchAddress.has_value(); }));
  host.OnFolderScanned(scan);
  return outcome;
}

}  // namespace quillmark
