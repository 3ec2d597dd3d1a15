#pragma once

#include <QLabel>
#include <QProgressBar>
#include <atomic>

namespace quillmark {

// The run's progress as the dialog shows it: a bar of the devices done
// while the run goes on and, once a device has failed, how many devices
// of the batch have no file ("失败 5 / 10"), until the next run starts.
class RunProgress {
 public:
  RunProgress(QProgressBar* bar, QLabel* failureCount);

  // On the dialog's thread, when a run starts and when it has ended.
  void Begin(int deviceCount);
  void End(bool finished);
  // On the worker's thread, after each device.
  void DeviceDone(bool written);

 private:
  void ShowFailures(int failed);

  QProgressBar* m_bar;
  QLabel* m_failureCount;
  int m_deviceCount = 0;
  bool m_running = false;  // between Begin and End
  std::atomic<int> m_written{0};
  std::atomic<int> m_failed{0};
  std::atomic<bool> m_updateQueued{false};
};

}  // namespace quillmark
