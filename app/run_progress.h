#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <atomic>
#include <optional>

#include "batch_writer.h"

namespace quillmark {

// "失败 5 / 10": devices without a file, of the batch, in the dialog's
// language.
QString FailureCountText(int failed, int deviceCount);
// The widest texts the failure count can show in the dialog's language,
// so its label is sized to hold every one of them.
QStringList WidestFailureCountTexts();

// The run's progress as the dialog shows it: a bar of the devices done
// while the run goes on and, once a device has failed, how many devices
// of the batch have no file ("失败 5 / 10"), until the next run starts.
class RunProgress {
 public:
  RunProgress(QProgressBar* bar, QLabel* failureCount);

  // On the dialog's thread, when a run starts and when it has ended.
  void Begin(int deviceCount);
  // The writer's count of the run's end; a run that ends without one
  // (its worker never started) reached none of its devices.
  void End(bool finished, const std::optional<BatchOutcome>& count);
  // On the worker's thread, after each device.
  void DeviceDone(bool written);

 private:
  // notReached is known once the run has ended.
  void ShowFailures(int written, int attempted, std::optional<int> notReached);

  QProgressBar* m_bar;
  QLabel* m_failureCount;
  int m_deviceCount = 0;
  bool m_running = false;  // between Begin and End
  std::atomic<int> m_written{0};
  std::atomic<int> m_failed{0};
  std::atomic<bool> m_updateQueued{false};
};

}  // namespace quillmark
